#include "platform/linux/last_run_log.h"

std::string PrepareLastRunLogPath(const EnvironmentLookup& getenv)
{
    const std::string directory = UserStateFolder(getenv);
    if (directory.empty() || !MakeFolders(directory))
        return {};
    return directory + "/last-run.log";
}
