#pragma once
// Where the dialog programs keep the log of their last run:
// $XDG_STATE_HOME/controller-updater/last-run.log, or under
// $HOME/.local/state when XDG_STATE_HOME is unset or not absolute.
#include <functional>
#include <string>

using EnvironmentLookup = std::function<const char*(const char* name)>;

// Creates the folders on the way. Empty when there is no usable place.
std::string PrepareLastRunLogPath(const EnvironmentLookup& getenv);
