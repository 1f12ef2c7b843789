#include "platform/win32/win32_hid_backend.h"

// clang-format off
#include "platform/win32/windows_api.h"
#include <dbt.h>
#include <setupapi.h>
// clang-format on
extern "C" {
#include <hidsdi.h>  // declared without C linkage in some SDKs
}

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/win32/win32_text.h"

namespace {

thread_local DWORD t_lastError = 0;

constexpr DWORD kErrorNoSuchDevice = 433;  // not in every SDK's headers

// Records the thread's error code for LastErrorCode and returns it.
DWORD NoteError()
{
    t_lastError = GetLastError();
    return t_lastError;
}

HDEVINFO AsDeviceSet(HidInterfaceList list) { return reinterpret_cast<HDEVINFO>(list); }
HANDLE AsHandle(HidHandle handle) { return reinterpret_cast<HANDLE>(handle); }

GUID HidClassGuid()
{
    GUID guid;
    HidD_GetHidGuid(&guid);
    return guid;
}

bool EnumInterface(HidInterfaceList list, std::uint32_t index, SP_DEVICE_INTERFACE_DATA& data)
{
    const GUID guid = HidClassGuid();
    data = {};
    data.cbSize = sizeof data;
    if (SetupDiEnumDeviceInterfaces(AsDeviceSet(list), nullptr, &guid, index, &data))
        return true;
    NoteError();
    return false;
}

constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

struct OpenParameters {
    DWORD access;
    DWORD flags;
};

OpenParameters ParametersOf(HidOpenMode mode)
{
    switch (mode) {
    case HidOpenMode::ReadWriteOverlapped:
        return {GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OVERLAPPED};
    case HidOpenMode::WriteOverlapped:
        return {GENERIC_WRITE, FILE_FLAG_OVERLAPPED};
    case HidOpenMode::ReadOverlapped:
        break;
    }
    return {GENERIC_READ, FILE_FLAG_OVERLAPPED};
}

// The completion codes meaning that the handle's device has left.
bool IsGoneCode(DWORD code)
{
    switch (code) {
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case kErrorNoSuchDevice:
    case ERROR_BROKEN_PIPE:
    case ERROR_PIPE_NOT_CONNECTED:
        return true;
    default:
        return false;
    }
}

// The outcome of a request that has finished (successfully or not).
HidReadStatus Finished(BOOL ok, DWORD transferred, const std::uint8_t* buffer,
                       std::uint8_t* report, bool cancelled)
{
    if (ok && transferred == kHidReportBytes) {
        std::memcpy(report, buffer, kHidReportBytes);
        return HidReadStatus::Report;
    }
    if (ok)
        return HidReadStatus::Error;  // not one whole report
    const DWORD code = NoteError();
    if (cancelled && code == ERROR_OPERATION_ABORTED)
        return HidReadStatus::Timeout;
    return IsGoneCode(code) ? HidReadStatus::DeviceGone : HidReadStatus::Error;
}

// How a started request ended: the wait's result and the request's own.
struct Ended {
    DWORD wait;
    BOOL ok;
    DWORD transferred;
};

// Waits up to timeoutMs for the started request. When it has not finished by
// then (or the wait fails) cancels it and waits until it has finished, so the
// system has let go of its buffer and overlapped on return. GetLastError()
// then holds the request's completion code.
Ended Await(HANDLE file, OVERLAPPED& overlapped, DWORD timeoutMs)
{
    Ended ended{WaitForSingleObject(overlapped.hEvent, timeoutMs), FALSE, 0};
    if (ended.wait == WAIT_OBJECT_0) {
        ended.ok = GetOverlappedResult(file, &overlapped, &ended.transferred, FALSE);
        return ended;
    }
    if (ended.wait == WAIT_FAILED)
        NoteError();
    CancelIoEx(file, &overlapped);
    ended.ok = GetOverlappedResult(file, &overlapped, &ended.transferred, TRUE);
    return ended;
}

HidReadStatus AwaitRead(HANDLE file, OVERLAPPED& overlapped, const std::uint8_t* buffer,
                        std::uint8_t* report, std::uint32_t timeoutMs)
{
    const Ended ended = Await(file, overlapped, timeoutMs);
    const bool cancelled = ended.wait != WAIT_OBJECT_0;
    const HidReadStatus status = Finished(ended.ok, ended.transferred, buffer, report, cancelled);
    if (ended.wait == WAIT_FAILED && status != HidReadStatus::Report)
        return HidReadStatus::Error;
    return status;
}

// True when the whole report went out; otherwise records why not.
bool AwaitWrite(HANDLE file, OVERLAPPED& overlapped)
{
    const Ended ended = Await(file, overlapped, kHidWriteTimeoutMs);
    if (ended.ok && ended.transferred == kHidReportBytes)
        return true;  // even when it finished while being cancelled
    if (ended.ok)
        t_lastError = ERROR_WRITE_FAULT;  // only part of the report
    else if (ended.wait == WAIT_TIMEOUT && GetLastError() == ERROR_OPERATION_ABORTED)
        t_lastError = ERROR_TIMEOUT;
    else if (ended.wait != WAIT_FAILED)
        NoteError();  // the request's own failure; a failed wait is already noted
    return false;
}

}  // namespace

HidInterfaceList Win32HidBackend::OpenInterfaceList()
{
    const GUID guid = HidClassGuid();
    HDEVINFO set = SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        NoteError();
        return kInvalidInterfaceList;
    }
    return reinterpret_cast<HidInterfaceList>(set);
}

bool Win32HidBackend::HasInterface(HidInterfaceList list, std::uint32_t index)
{
    SP_DEVICE_INTERFACE_DATA data;
    return EnumInterface(list, index, data);
}

std::size_t Win32HidBackend::InterfacePathSize(HidInterfaceList list, std::uint32_t index)
{
    SP_DEVICE_INTERFACE_DATA data;
    if (!EnumInterface(list, index, data))
        return 0;
    DWORD required = 0;
    if (!SetupDiGetDeviceInterfaceDetailW(AsDeviceSet(list), &data, nullptr, 0, &required, nullptr))
        NoteError();  // ERROR_INSUFFICIENT_BUFFER is the expected answer
    if (required <= kPathOffset)
        return 0;
    return (required - kPathOffset + sizeof(wchar_t) - 1) / sizeof(wchar_t);
}

bool Win32HidBackend::InterfacePath(HidInterfaceList list, std::uint32_t index,
                                    std::size_t bufferChars, std::u16string& path)
{
    SP_DEVICE_INTERFACE_DATA data;
    if (bufferChars == 0 || !EnumInterface(list, index, data))
        return false;
    const std::size_t bytes = kPathOffset + bufferChars * sizeof(wchar_t);
    // Kept in DWORDs so the record is aligned.
    std::vector<DWORD> storage((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(AsDeviceSet(list), &data, detail, static_cast<DWORD>(bytes),
                                          nullptr, nullptr)) {
        NoteError();
        return false;
    }
    const std::size_t length = wcsnlen(detail->DevicePath, bufferChars);
    if (length == bufferChars)
        return false;  // no terminator inside the caller's buffer
    path = FromWide(detail->DevicePath, length);
    return true;
}

void Win32HidBackend::CloseInterfaceList(HidInterfaceList list)
{
    if (list != kInvalidInterfaceList)
        SetupDiDestroyDeviceInfoList(AsDeviceSet(list));
}

HidHandle Win32HidBackend::Open(const std::u16string& path, HidOpenMode mode)
{
    const OpenParameters parameters = ParametersOf(mode);
    HANDLE file = CreateFileW(WidePtr(path), parameters.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, parameters.flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        NoteError();
        return kInvalidHidHandle;
    }
    return reinterpret_cast<HidHandle>(file);
}

bool Win32HidBackend::GetAttributes(HidHandle handle, HidAttributes& attributes)
{
    HIDD_ATTRIBUTES raw{};
    raw.Size = sizeof raw;
    if (!HidD_GetAttributes(AsHandle(handle), &raw)) {
        NoteError();
        return false;
    }
    attributes.vendorId = raw.VendorID;
    attributes.productId = raw.ProductID;
    attributes.versionNumber = raw.VersionNumber;
    return true;
}

bool Win32HidBackend::Write(HidHandle handle, const std::uint8_t* report)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        NoteError();
        return false;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    HANDLE file = AsHandle(handle);
    bool written = false;
    if (WriteFile(file, report, kHidReportBytes, nullptr, &overlapped) || GetLastError() == ERROR_IO_PENDING)
        written = AwaitWrite(file, overlapped);
    else
        NoteError();  // refused at once
    CloseHandle(event);
    return written;
}

HidReadStatus Win32HidBackend::Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        NoteError();
        return HidReadStatus::Error;
    }
    std::uint8_t buffer[kHidReportBytes] = {};
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    HANDLE file = AsHandle(handle);
    HidReadStatus status;
    if (ReadFile(file, buffer, kHidReportBytes, nullptr, &overlapped) || GetLastError() == ERROR_IO_PENDING) {
        status = AwaitRead(file, overlapped, buffer, report, timeoutMs);
    } else {
        status = Finished(FALSE, 0, buffer, report, false);  // refused at once
    }
    CloseHandle(event);
    return status;
}

void Win32HidBackend::Close(HidHandle handle)
{
    if (handle != kInvalidHidHandle)
        CloseHandle(AsHandle(handle));
}

std::uint32_t Win32HidBackend::LastErrorCode() { return t_lastError; }

NotifyHandle Win32HidBackend::RegisterNotification(NotifyWindow window)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    static_assert(sizeof filter == 32, "the filter record is 32 bytes");
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = HidClassGuid();
    HDEVNOTIFY handle = RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(window), &filter,
                                                    DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!handle) {
        NoteError();
        return kNoNotifyHandle;
    }
    return reinterpret_cast<NotifyHandle>(handle);
}

void Win32HidBackend::UnregisterNotification(NotifyHandle handle)
{
    if (handle != kNoNotifyHandle)
        UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(handle));
}
