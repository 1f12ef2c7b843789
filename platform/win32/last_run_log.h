#pragma once
// Where the dialog program keeps the log of its last run:
// %LOCALAPPDATA%\controller-updater\last-run.log.
#include <string>

// Creates the folder. Empty when there is no usable place.
std::u16string PrepareLastRunLogPath();
