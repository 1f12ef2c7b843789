#pragma once
// One input or output report on a hidraw descriptor, each wait also ending
// when cancelFd (an eventfd) becomes readable. errno is read here and handed
// back in `error`; nothing above the backend sees it.
#include <cstdint>

#include "base/clock.h"
#include "hid/hid_backend.h"

// Waits up to timeoutMs for one input report and delivers it as 65 bytes,
// report ID first. The kernel gives an unnumbered report without its ID byte
// (64 bytes for our controllers): it is delivered as ID 0 and the bytes read,
// zero-filled to 65. A read of 65 bytes is a numbered report and is delivered
// as it came. Nothing stays outstanding on return: Timeout means poll saw no
// report in time, and the buffer is untouched on anything but Report.
// DeviceGone: hang-up, error condition, end of file, ENODEV, ENXIO or EIO.
// Error with ECANCELED: cancelFd was signalled. error is 0 on Report and
// Timeout. Any thread; one read per descriptor at a time.
HidReadStatus ReadHidrawReport(int fd, int cancelFd, std::uint8_t* report,
                               std::uint32_t timeoutMs, IClock& clock, int& error);

// Writes the 65 bytes as one report: report ID, then the payload. hidraw takes
// the first byte as the report ID; for ID 0 (a device without numbered
// reports) the USB HID driver drops it and sends the 64 payload bytes on the
// interrupt OUT endpoint (or as SET_REPORT when there is none), and write()
// still counts 65. Waits in poll() up to timeoutMs (measured on clock, not
// extended by signals) for POLLOUT before each write(); a descriptor that
// stays unwritable that long fails with ETIMEDOUT, and one whose write()
// says EAGAIN is waited for again within the same time. hidraw itself always
// polls writable and its write() returns once the USB driver has sent the
// report or given up (usbhid: after 5 s, ETIMEDOUT); nothing can cut that
// short. False on failure or a short write (EIO), error then says why;
// ECANCELED when cancelFd was signalled. Any thread.
bool WriteHidrawReport(int fd, int cancelFd, const std::uint8_t* report, std::uint32_t timeoutMs,
                       IClock& clock, int& error);

// ENODEV, ENXIO and EIO: the device behind the descriptor has gone.
bool IsDeviceGoneError(int error);
