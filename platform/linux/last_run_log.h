#pragma once
// Where the dialog programs keep the log of their last run: last-run.log in
// the user's state folder (platform/linux/user_state_folder.h).
#include <string>

#include "platform/linux/user_state_folder.h"

// Creates the folders on the way. Empty when there is no usable place.
std::string PrepareLastRunLogPath(const EnvironmentLookup& getenv);
