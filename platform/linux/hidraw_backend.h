#pragma once
// The HID link's platform operations on Linux: hidraw device files found
// through libudev (or a stand-in system for tests). An interface path is the
// node's device file, "/dev/hidrawN", as UTF-16.
//
// errno stops here: callers see the results below, and LastErrorCode() gives
// the errno of the last failure for diagnostic lines.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "base/clock.h"
#include "hid/hid_backend.h"
#include "platform/linux/hidraw_system.h"

class HidrawMonitorThread;

class HidrawBackend final : public IHidBackend {
public:
    // Receives each device event for a registered window, on that
    // registration's monitor thread. It must not block and must not call
    // UnregisterNotification; the program posts the event to its UI thread.
    using Notifier = std::function<void(NotifyWindow window, std::uint32_t event)>;

    // clock bounds the read and write waits (their time-outs are measured on it).
    explicit HidrawBackend(IHidrawSystem& system, IClock& clock = SystemClock::Instance());
    // Stops every monitor thread and closes every handle still open.
    ~HidrawBackend() override;
    HidrawBackend(const HidrawBackend&) = delete;
    HidrawBackend& operator=(const HidrawBackend&) = delete;

    // Any thread; takes effect for the next event. A call already under way
    // on a monitor thread may still finish afterwards: unregister first when
    // the old notifier's target is going away.
    void SetNotifier(Notifier notifier);

    // --- Enumeration: any thread; a list is used by one thread at a time ---
    // A snapshot of the hidraw nodes present now (udev's enumeration of
    // subsystem "hidraw"), sorted by ascending node number (/dev/hidraw2
    // before /dev/hidraw10): the kernel's numbering, stable while the devices
    // stay. kInvalidInterfaceList when udev cannot list. Does not wait.
    HidInterfaceList OpenInterfaceList() override;
    // True while index is inside the snapshot; false for a closed list.
    bool HasInterface(HidInterfaceList list, std::uint32_t index) override;
    // Characters of the node path plus its terminator; 0 for a bad index.
    std::size_t InterfacePathSize(HidInterfaceList list, std::uint32_t index) override;
    // The node path. False, path untouched, when bufferChars is below
    // InterfacePathSize (LastErrorCode ENOBUFS) or the index is bad.
    bool InterfacePath(HidInterfaceList list, std::uint32_t index, std::size_t bufferChars,
                       std::u16string& path) override;
    // Forgets the snapshot; later calls with it fail.
    void CloseInterfaceList(HidInterfaceList list) override;

    // --- Handles: the thread that owns the link; Close from any thread ---
    // open(2) with O_CLOEXEC and: ReadWriteOverlapped O_RDWR | O_NONBLOCK,
    // WriteOverlapped O_WRONLY | O_NONBLOCK, ReadOverlapped O_RDONLY |
    // O_NONBLOCK (reads and writes wait in poll). kInvalidHidHandle on
    // failure (EACCES without the udev rule). Does not wait.
    HidHandle Open(const std::u16string& path, HidOpenMode mode) override;
    // HIDIOCGRAWINFO vendor and product; versionNumber is 0 (hidraw has
    // none). False when the handle is unknown or the ioctl fails.
    bool GetAttributes(HidHandle handle, HidAttributes& attributes) override;
    // The report ID byte, then the 64 payload bytes, exactly as given (see
    // hidraw_io.h for what the kernel sends). Waits in poll() up to
    // kHidWriteTimeoutMs (on the clock) for the node to take it; still
    // unwritable then: false, ETIMEDOUT. A hidraw node always polls writable,
    // and its write() returns once the USB driver has sent the report or
    // given up (usbhid: 5 s, ETIMEDOUT), so on a real device that driver
    // time-out is the bound. False on failure (errno in LastErrorCode) or
    // when Close from another thread cuts the wait short (ECANCELED).
    bool Write(HidHandle handle, const std::uint8_t* report) override;
    // Waits in poll() up to timeoutMs (measured on the clock). Report: 65
    // bytes, report ID 0 first for unnumbered reports. Timeout: no report
    // came; nothing is left outstanding, the buffer is untouched and free at
    // once. DeviceGone: the node hung up or reports ENODEV/ENXIO/EIO. Error:
    // other failures, an unknown handle, or Close of the handle from another
    // thread while it waited (ECANCELED).
    HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) override;
    // Forgets the handle and ends a read or write waiting on it at once; the
    // descriptor is closed when the last of them has let go. Any thread.
    void Close(HidHandle handle) override;
    // errno of the last failed call on the calling thread. Any thread.
    std::uint32_t LastErrorCode() override;

    // --- Device-change notifications: the UI thread ---
    // Starts a thread on a new udev monitor of subsystem "hidraw" that passes
    // "add" as 0x8000 and "remove" as 0x8004 to the notifier with window
    // (other actions are dropped). The thread sleeps in poll() until an event
    // or Unregister; it never wakes on a timer. kNoNotifyHandle when no
    // monitor or thread can be made. Does not wait for events.
    NotifyHandle RegisterNotification(NotifyWindow window) override;
    // Stops and joins that thread; no event of it is delivered afterwards.
    // Not from the notifier. Unknown handles are ignored.
    void UnregisterNotification(NotifyHandle handle) override;

private:
    struct OpenDevice;

    std::shared_ptr<OpenDevice> FindHandle(HidHandle handle);
    // The node's path as UTF-16; false for an unknown list or index.
    bool NodePath(HidInterfaceList list, std::uint32_t index, std::u16string& path);
    void Deliver(NotifyWindow window, std::uint32_t event);

    IHidrawSystem& m_System;
    IClock& m_Clock;
    std::mutex m_Mutex;
    std::map<HidInterfaceList, std::vector<HidrawNode>> m_Lists;
    std::map<HidHandle, std::shared_ptr<OpenDevice>> m_Handles;
    std::map<NotifyHandle, std::unique_ptr<HidrawMonitorThread>> m_Monitors;
    Notifier m_Notifier;
    std::intptr_t m_NextId = 1;
};

// Ascending node number, then the path: the order OpenInterfaceList uses.
bool HidrawNodeBefore(const HidrawNode& a, const HidrawNode& b);
