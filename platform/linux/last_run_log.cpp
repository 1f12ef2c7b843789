#include "platform/linux/last_run_log.h"

#include <sys/stat.h>

#include <cerrno>

namespace {

bool MakeDirectories(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

}  // namespace

std::string PrepareLastRunLogPath(const EnvironmentLookup& getenv)
{
    std::string base;
    // The XDG rules: a relative value is invalid and must be ignored.
    if (const char* state = getenv("XDG_STATE_HOME"); state && state[0] == '/') {
        base = state;
    } else if (const char* home = getenv("HOME"); home && home[0] == '/') {
        base = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    const std::string directory = base + "/controller-updater";
    if (!MakeDirectories(directory))
        return {};
    return directory + "/last-run.log";
}
