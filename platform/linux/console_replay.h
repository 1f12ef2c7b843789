#pragma once
// The Linux front end without subcommands: one update as the dialog runs it,
// from the console (or, in controller-updater-qt, the dialog itself when a
// display is there and --console is not given). argv as main's.
int RunConsoleReplay(int argc, char** argv);
