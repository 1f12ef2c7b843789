#pragma once
// A message-mode named pipe standing in for a HID interface: the backend
// opens its client end by path like an interface path, and the test plays
// the device on the server end (overlapped, so it can send while the
// backend waits).
#include "platform/win32/windows_api.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "hid/hid_backend.h"

using PipeReport = std::array<std::uint8_t, kHidReportBytes>;

// Report bytes R0..R64 with distinct values, seed apart.
PipeReport NumberedReport(std::uint8_t seed);

class PipeDevice {
public:
    // inBufferBytes: what the pipe holds of the backend's writes before a
    // further write has to wait for the device to read.
    explicit PipeDevice(DWORD inBufferBytes = 4096);
    ~PipeDevice();
    PipeDevice(const PipeDevice&) = delete;
    PipeDevice& operator=(const PipeDevice&) = delete;

    // The client path, "\\.\pipe\...", unique per device.
    const std::u16string& Path() const { return m_Path; }
    // Completes the connection after the client end has been opened.
    bool Accept();
    // One whole message, as a device sends one input report.
    bool Send(const PipeReport& report);
    // One message from the client (an output report). False when none came.
    bool Receive(PipeReport& report, DWORD timeoutMs);
    // The device leaves: the server end is closed.
    void Leave();

private:
    std::u16string m_Path;
    HANDLE m_Server = INVALID_HANDLE_VALUE;
};
