#pragma once
// The platform operations the HID link needs, one method per operation.
// Implementations: Win32 (SetupAPI + hid.dll), Linux (hidraw + libudev) and the
// in-process virtual bus of the simulator. Platform error codes stop here:
// every method reports through its return value in the terms below.
#include <cstddef>
#include <cstdint>
#include <string>

using HidHandle = std::intptr_t;
inline constexpr HidHandle kInvalidHidHandle = -1;

using HidInterfaceList = std::intptr_t;
inline constexpr HidInterfaceList kInvalidInterfaceList = -1;

// Opaque reference to the window (or notification target) that receives
// device-change events; the dialog view supplies it.
using NotifyWindow = std::intptr_t;
using NotifyHandle = std::intptr_t;
inline constexpr NotifyHandle kNoNotifyHandle = 0;

inline constexpr std::size_t kHidReportBytes = 65;  // report ID 0 + 64 payload bytes
// The longest a Write waits for the system to take a report (see Write).
inline constexpr std::uint32_t kHidWriteTimeoutMs = 1000;

// Device-change event codes, as the dialog receives them.
inline constexpr std::uint32_t kDbtDevNodesChanged = 0x0007;
inline constexpr std::uint32_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;

enum class HidOpenMode {
    ReadWriteOverlapped,  // discovery: read+write access, shared, overlapped
    WriteOverlapped,      // output reports: write access, shared, overlapped
    ReadOverlapped,       // input reports: read access, shared, overlapped
};

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

enum class HidReadStatus {
    Report,      // a whole report was delivered into the buffer
    Timeout,     // nothing arrived in time; the request was cancelled and has finished
    DeviceGone,  // the device was removed (or the handle refers to no device any more)
    Error,       // any other I/O failure
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;

    // --- Enumeration (the UI thread or the one worker thread; never both) ---
    // Snapshot of the present HID interfaces in system order, or
    // kInvalidInterfaceList when the system cannot list them.
    virtual HidInterfaceList OpenInterfaceList() = 0;
    // True when the list has an interface at index; false past its end.
    virtual bool HasInterface(HidInterfaceList list, std::uint32_t index) = 0;
    // Size in characters (terminating zero included) that the interface's
    // path needs; 0 when it cannot be learnt.
    virtual std::size_t InterfacePathSize(HidInterfaceList list, std::uint32_t index) = 0;
    // Fetches the path into a buffer of bufferChars characters. Fails (false,
    // path untouched) when the path and its terminator do not fit.
    virtual bool InterfacePath(HidInterfaceList list, std::uint32_t index,
                               std::size_t bufferChars, std::u16string& path) = 0;
    virtual void CloseInterfaceList(HidInterfaceList list) = 0;

    // --- Handles (the thread that owns the link) ---
    // kInvalidHidHandle when the path cannot be opened in that mode.
    virtual HidHandle Open(const std::u16string& path, HidOpenMode mode) = 0;
    // False when the attributes cannot be read.
    virtual bool GetAttributes(HidHandle handle, HidAttributes& attributes) = 0;
    // Writes one whole 65-byte report on a WriteOverlapped handle, waiting at
    // most kHidWriteTimeoutMs for the system to take it (where a driver holds
    // the request past that, its backend documents the bound). True once the
    // system has taken all 65 bytes. False when it refused them, took only
    // part, or timed out: a request still pending is then cancelled and this
    // call returns only after the system has finished with it, so report is
    // free again on return. A time-out is a failed write like any other;
    // LastErrorCode() then gives the platform's time-out code (ERROR_TIMEOUT,
    // ETIMEDOUT), otherwise the platform's reason. One write per handle at a
    // time, on the thread that owns the link.
    virtual bool Write(HidHandle handle, const std::uint8_t* report) = 0;
    // Reads one input report (65 bytes, report ID first) into report, waiting
    // at most timeoutMs. A request that times out is cancelled and this call
    // returns only after the system has finished with it, so the buffer is
    // free again on return. On anything but Report the buffer is untouched.
    virtual HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) = 0;
    virtual void Close(HidHandle handle) = 0;
    // The platform's code for the last failed call on this thread, for
    // diagnostic lines only (GetLastError / errno).
    virtual std::uint32_t LastErrorCode() = 0;

    // --- Device-change notifications (the UI thread) ---
    // Registers window for arrival/removal events of HID interfaces;
    // kNoNotifyHandle when that fails. Events reach the dialog's
    // OnDeviceChange on the UI thread with codes 7, 0x8000 and 0x8004.
    virtual NotifyHandle RegisterNotification(NotifyWindow window) = 0;
    virtual void UnregisterNotification(NotifyHandle handle) = 0;
};
