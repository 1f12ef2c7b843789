#pragma once
// The exit codes of the subcommands; --help and the README list them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoController = 3;
inline constexpr int kExitPackageRefused = 4;
inline constexpr int kExitCancelled = 5;
inline constexpr int kExitLogFailed = 6;  // station: its record cannot be written
inline constexpr int kExitInterrupted = 130;
