#include "platform/win32/last_run_log.h"

#include "platform/win32/windows_api.h"

#include <vector>

#include "platform/win32/win32_text.h"

std::u16string PrepareLastRunLogPath()
{
    std::vector<wchar_t> buffer(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size())
        return {};
    const std::u16string directory = FromWide(buffer.data(), length) + u"\\controller-updater";
    if (!CreateDirectoryW(WidePtr(directory), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return directory + u"\\last-run.log";
}
