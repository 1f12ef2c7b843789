#include "platform/win32/last_run_log.h"

#include "platform/win32/windows_api.h"

#include "platform/win32/user_state_folder.h"
#include "platform/win32/win32_text.h"

std::u16string PrepareLastRunLogPath()
{
    const std::u16string directory = UserStateFolder();
    if (directory.empty() ||
        (!CreateDirectoryW(WidePtr(directory), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS))
        return {};
    return directory + u"\\last-run.log";
}
