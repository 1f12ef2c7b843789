#include "platform/win32/user_state_folder.h"

#include "platform/win32/windows_api.h"

#include <vector>

#include "platform/win32/win32_text.h"

std::u16string UserStateFolder()
{
    std::vector<wchar_t> buffer(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size())
        return {};
    return FromWide(buffer.data(), length) + u"\\controller-updater";
}
