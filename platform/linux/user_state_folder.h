#pragma once
// The program's folder for what it keeps between runs:
// $XDG_STATE_HOME/controller-updater, or $HOME/.local/state/controller-updater
// when XDG_STATE_HOME is unset or not absolute.
#include <functional>
#include <string>

using EnvironmentLookup = std::function<const char*(const char* name)>;

// Empty when neither variable gives an absolute path.
std::string UserStateFolder(const EnvironmentLookup& getenv);

// Creates path and the folders on the way (mode 0700). False when one
// cannot be made.
bool MakeFolders(const std::string& path);
