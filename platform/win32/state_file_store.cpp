#include "platform/win32/state_file_store.h"

#include "platform/win32/windows_api.h"

#include <vector>

#include "base/utf.h"
#include "catalogue/freshness_state.h"
#include "platform/win32/user_state_folder.h"
#include "platform/win32/win32_text.h"

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : m_Handle(handle) {}
    ~Handle()
    {
        if (m_Handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_Handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return m_Handle; }
    bool Close()
    {
        const HANDLE handle = m_Handle;
        m_Handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != FALSE;
    }

private:
    HANDLE m_Handle;
};

std::string ErrorText(const std::u16string& path, DWORD error)
{
    return Utf16ToUtf8(path) + ": Windows error " + std::to_string(error);
}

std::u16string Folder(const std::u16string& path)
{
    const std::size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? u"." : path.substr(0, slash);
}

}  // namespace

std::u16string StateFileStore::DefaultPath()
{
    std::vector<wchar_t> buffer(32768, L'\0');
    const std::u16string name = Utf8ToUtf16(kTrustStoreEnvironment);
    const DWORD length = GetEnvironmentVariableW(WidePtr(name), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length > 0 && length < buffer.size())
        return FromWide(buffer.data(), length);
    const std::u16string folder = UserStateFolder();
    return folder.empty() ? std::u16string() : folder + u"\\" + Utf8ToUtf16(kTrustStoreFileName);
}

std::string StateFileStore::Where() const
{
    return Utf16ToUtf8(m_Path);
}

TrustStoreLoad StateFileStore::Load()
{
    TrustStoreLoad load;
    if (m_Path.empty())
        return load;
    Handle file(CreateFileW(WidePtr(m_Path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            load.status = TrustStoreStatus::Failed;
            load.detail = ErrorText(m_Path, error);
        }
        return load;
    }
    std::vector<char> buffer(kMaxFreshnessStateBytes + 1);
    std::size_t used = 0;
    while (used < buffer.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer.data() + used, static_cast<DWORD>(buffer.size() - used), &got, nullptr)) {
            load.status = TrustStoreStatus::Failed;
            load.detail = ErrorText(m_Path, GetLastError());
            return load;
        }
        if (got == 0)
            break;
        used += got;
    }
    if (used > kMaxFreshnessStateBytes) {
        load.status = TrustStoreStatus::Failed;
        load.detail = Utf16ToUtf8(m_Path) + ": larger than the state may be";
        return load;
    }
    load.status = TrustStoreStatus::Read;
    load.text.assign(buffer.data(), used);
    return load;
}

std::string StateFileStore::Save(std::string_view text)
{
    if (m_Path.empty())
        return "there is no state folder (LOCALAPPDATA is unset)";
    const std::u16string folder = Folder(m_Path);
    if (!CreateDirectoryW(WidePtr(folder), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return ErrorText(folder, GetLastError());
    const std::u16string temporary = m_Path + u".new";
    Handle file(CreateFileW(WidePtr(temporary), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return ErrorText(temporary, GetLastError());
    DWORD written = 0;
    const bool whole = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                       written == text.size() && FlushFileBuffers(file.Get());
    if (!whole || !file.Close() ||
        !MoveFileExW(WidePtr(temporary), WidePtr(m_Path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const std::string error = ErrorText(m_Path, GetLastError());
        DeleteFileW(WidePtr(temporary));
        return error;
    }
    return {};
}
