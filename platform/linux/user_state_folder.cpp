#include "platform/linux/user_state_folder.h"

#include <sys/stat.h>

#include <cerrno>

std::string UserStateFolder(const EnvironmentLookup& getenv)
{
    std::string base;
    // The XDG rules: a relative value is invalid and must be ignored.
    if (const char* state = getenv("XDG_STATE_HOME"); state && state[0] == '/')
        base = state;
    else if (const char* home = getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/.local/state";
    else
        return {};
    return base + "/controller-updater";
}

bool MakeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}
