#pragma once
// The program's folder for what it keeps between runs:
// %LOCALAPPDATA%\controller-updater.
#include <string>

// Empty when LOCALAPPDATA is unset.
std::u16string UserStateFolder();
