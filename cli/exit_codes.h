#pragma once
// The exit codes of the subcommands; --help and docs/command-line.md list them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoController = 3;
inline constexpr int kExitPackageRefused = 4;
inline constexpr int kExitCancelled = 5;
inline constexpr int kExitCatalogueRefused = 6;
inline constexpr int kExitLogFailed = 7;  // station: its record cannot be written
// check --catalogue: some controller has a newer fitting package.
inline constexpr int kExitUpdateAvailable = 10;
// catalogue status: fewer days to expiry than --warn-days, or expired.
inline constexpr int kExitCatalogueExpiring = 11;
inline constexpr int kExitInterrupted = 130;
