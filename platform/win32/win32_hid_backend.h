#pragma once
// IHidBackend over SetupAPI and the HID class driver (hid.dll): interface
// enumeration, file handles on interface paths, overlapped input reads and
// output writes, each with a time-out, and device-interface notifications.
//
// Results per method (threads as IHidBackend says: enumeration and handles on
// the thread that owns the link, notifications on the UI thread):
// - OpenInterfaceList: a SetupAPI device information set of the present HID
//   interfaces, or kInvalidInterfaceList when SetupAPI refuses one.
// - HasInterface: SetupDiEnumDeviceInterfaces succeeded for that index.
// - InterfacePathSize: characters (terminator included) the detail query
//   asks for; 0 when the query does not report a size.
// - InterfacePath: false when the system refuses the fetch, which it does
//   when the path does not fit bufferChars (ERROR_INSUFFICIENT_BUFFER).
// - Open: CreateFileW with the access, sharing and flags of the mode.
// - GetAttributes: HidD_GetAttributes.
// - Write: one overlapped WriteFile of 65 bytes, waited for up to
//   kHidWriteTimeoutMs. True only when all 65 bytes were taken (a short
//   count fails with ERROR_WRITE_FAULT). A request still pending after that
//   is cancelled and waited for as a read is (below): if the cancel ended it,
//   the write fails with ERROR_TIMEOUT; if it completed meanwhile, it counts.
// - Read: one overlapped ReadFile of 65 bytes. A time-out is a wait on the
//   request's event that ran out: the request is then cancelled (CancelIoEx)
//   and waited for (GetOverlappedResult with bWait) before Read returns, so
//   nothing writes into the report buffer afterwards. A report that
//   completes the request while it is being cancelled is delivered rather
//   than lost. Completion codes of removed devices (and of a pipe whose
//   other end has gone) read as DeviceGone.
// - LastErrorCode: GetLastError of the last failing call of this backend on
//   the calling thread.
// - RegisterNotification: RegisterDeviceNotificationW on a window handle
//   for the HID interface class; UnregisterNotification undoes it.
#include "hid/hid_backend.h"

class Win32HidBackend final : public IHidBackend {
public:
    HidInterfaceList OpenInterfaceList() override;
    bool HasInterface(HidInterfaceList list, std::uint32_t index) override;
    std::size_t InterfacePathSize(HidInterfaceList list, std::uint32_t index) override;
    bool InterfacePath(HidInterfaceList list, std::uint32_t index, std::size_t bufferChars,
                       std::u16string& path) override;
    void CloseInterfaceList(HidInterfaceList list) override;

    HidHandle Open(const std::u16string& path, HidOpenMode mode) override;
    bool GetAttributes(HidHandle handle, HidAttributes& attributes) override;
    bool Write(HidHandle handle, const std::uint8_t* report) override;
    HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) override;
    void Close(HidHandle handle) override;
    std::uint32_t LastErrorCode() override;

    NotifyHandle RegisterNotification(NotifyWindow window) override;
    void UnregisterNotification(NotifyHandle handle) override;
};
