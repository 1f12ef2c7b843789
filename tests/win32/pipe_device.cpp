#include "pipe_device.h"

#include "platform/win32/win32_text.h"

namespace {

std::atomic<int> g_pipeCount{0};

// Runs one overlapped request on the server end to completion.
bool Complete(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD timeoutMs, DWORD& transferred)
{
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return false;
    if (WaitForSingleObject(overlapped.hEvent, timeoutMs) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != 0;
}

class Request {
public:
    Request() { m_Overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Request() { CloseHandle(m_Overlapped.hEvent); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    OVERLAPPED& Overlapped() { return m_Overlapped; }

private:
    OVERLAPPED m_Overlapped{};
};

}  // namespace

PipeReport NumberedReport(std::uint8_t seed)
{
    PipeReport report;
    for (std::size_t i = 0; i < report.size(); ++i)
        report[i] = static_cast<std::uint8_t>(seed + i * 3);
    return report;
}

PipeDevice::PipeDevice(DWORD inBufferBytes)
{
    const std::wstring name = L"\\\\.\\pipe\\updater-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++g_pipeCount);
    m_Path = FromWide(name.c_str());
    m_Server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                inBufferBytes, 0, nullptr);
}

PipeDevice::~PipeDevice() { Leave(); }

bool PipeDevice::Accept()
{
    Request request;
    if (ConnectNamedPipe(m_Server, &request.Overlapped()))
        return true;
    if (GetLastError() == ERROR_PIPE_CONNECTED)
        return true;
    DWORD transferred = 0;
    return Complete(m_Server, request.Overlapped(), FALSE, 5000, transferred);
}

bool PipeDevice::Send(const PipeReport& report)
{
    Request request;
    DWORD transferred = 0;
    const BOOL started = WriteFile(m_Server, report.data(), kHidReportBytes, nullptr, &request.Overlapped());
    return Complete(m_Server, request.Overlapped(), started, 5000, transferred) &&
           transferred == kHidReportBytes;
}

bool PipeDevice::Receive(PipeReport& report, DWORD timeoutMs)
{
    Request request;
    DWORD transferred = 0;
    const BOOL started = ReadFile(m_Server, report.data(), kHidReportBytes, nullptr, &request.Overlapped());
    return Complete(m_Server, request.Overlapped(), started, timeoutMs, transferred) &&
           transferred == kHidReportBytes;
}

void PipeDevice::Leave()
{
    if (m_Server != INVALID_HANDLE_VALUE) {
        CloseHandle(m_Server);
        m_Server = INVALID_HANDLE_VALUE;
    }
}
