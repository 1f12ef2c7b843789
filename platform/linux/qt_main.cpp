// controller-updater-qt: the dialog when a display is there, else the
// console replay.
#include "platform/linux/console_replay.h"

int main(int argc, char** argv) { return RunConsoleReplay(argc, argv); }
