#include "sim/sim_stream_controller.h"
#include "base/little_endian.h"

#include <cstdio>

using namespace stream_frame;

SimStreamController::SimStreamController(SimStreamConfig config)
    : m_Config(config), m_Version(config.versionWord)
{
}

// Collects the report's frame bytes; a frame longer than its first piece is
// completed by the pieces that follow.
void SimStreamController::OnOutputReport(const std::uint8_t* report65, SimDevicePort& port)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    const std::uint8_t* report = report65 + 1;
    std::size_t count = report[kReportCount];
    if (count > kReportBytes - kReportFrame)
        count = kReportBytes - kReportFrame;
    const std::uint8_t* bytes = report + kReportFrame;
    m_Partial.insert(m_Partial.end(), bytes, bytes + count);
    if (m_Partial.size() < kBody)
        return;
    const std::size_t whole = kBody + FrameBodyLength(m_Partial);
    if (whole > kFrameBufferBytes) {
        m_Partial.clear();  // no host frame is that long
        return;
    }
    if (m_Partial.size() < whole)
        return;
    m_Partial.resize(whole);
    std::vector<std::uint8_t> frame;
    frame.swap(m_Partial);
    m_Frames.push_back(frame);
    OnFrame(frame, port);
}

void SimStreamController::OnFrame(const std::vector<std::uint8_t>& frame, SimDevicePort& port)
{
    if (m_Gone || FrameLead(frame) != 0)
        return;
    switch (FrameType(frame)) {
    case UPDATE_START:
        Send(BuildIdentity({m_Config.firmwareType, m_Config.subModel, m_Config.model}), port);
        break;
    case COMMAND_FRAME:
        OnCommand(frame, port);
        break;
    default:
        break;  // READ_FAILED needs no answer
    }
}

void SimStreamController::OnCommand(const std::vector<std::uint8_t>& frame, SimDevicePort& port)
{
    if (frame.size() <= kCommand)
        return;  // no command byte: nothing to act on
    switch (frame[kCommand]) {
    case GET_VERSION:
        Send(BuildVersionReply(m_Version), port);
        break;
    case START_UPDATE:
        if (frame.size() >= kPayload + kStartPayloadBytes)
            m_Start = ParseStartPayload(std::span(frame).subspan(kPayload));
        m_Received.clear();
        m_ChunkSizes.clear();
        RequestNext(port);
        break;
    case IMAGE_DATA:
        OnImageData(frame, port);
        break;
    case END_UPDATE:
        Install();
        break;
    default:
        break;
    }
}

// A bare frame is a chunk of no bytes. Any other must hold its payload length
// and the bytes that length counts; one that does not is dropped unanswered,
// as the wire gives no way to tell what was meant.
void SimStreamController::OnImageData(const std::vector<std::uint8_t>& frame, SimDevicePort& port)
{
    std::size_t n = 0;
    if (frame.size() > kShortFrameBytes) {
        if (frame.size() < kPayload)
            return;
        n = GetLe16(&frame[kPayloadLength]);
        if (n > frame.size() - kPayload)
            return;
        m_Received.insert(m_Received.end(), frame.begin() + kPayload, frame.begin() + kPayload + n);
    }
    m_ChunkSizes.push_back(n);
    RequestNext(port);
}

// The request after chunk k, unless a fault replaces it.
void SimStreamController::RequestNext(SimDevicePort& port)
{
    const std::size_t chunks = m_ChunkSizes.size();
    if (m_Config.unplugAfterChunks && *m_Config.unplugAfterChunks == chunks) {
        m_Gone = true;
        port.Unplug();
        return;
    }
    if (m_Config.silentAfterChunks && *m_Config.silentAfterChunks == chunks)
        m_Mute = true;
    if (m_Config.failureReport && m_Config.failAfterChunks == chunks) {
        Send(BuildDeviceCommand(*m_Config.failureReport), port);
        return;
    }
    ++m_Requests;
    Send(BuildDeviceCommand(SET_FIRMWARE_DATA), port);
}

void SimStreamController::Send(const Frame& frame, SimDevicePort& port)
{
    if (m_Config.silent || m_Mute)
        return;
    std::uint8_t report[kReportBytes] = {};
    PutReport(frame.View(), report);
    port.SendInput(report, m_Config.answerDelayMs);
}

void SimStreamController::Install()
{
    if (!m_Start)
        return;
    m_Installed = m_Received;
    if (m_Installed.size() > m_Start->imageSize)
        m_Installed.resize(m_Start->imageSize);
    m_Version = m_Start->versionWord;
    m_IsInstalled = true;
}

std::uint32_t SimStreamController::VersionWord() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Version;
}

bool SimStreamController::Installed() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_IsInstalled;
}

std::vector<std::uint8_t> SimStreamController::InstalledImage() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Installed;
}

std::vector<std::uint8_t> SimStreamController::ReceivedBytes() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Received;
}

std::vector<std::size_t> SimStreamController::ChunkSizes() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_ChunkSizes;
}

std::vector<std::vector<std::uint8_t>> SimStreamController::Frames() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Frames;
}

std::optional<StartPayload> SimStreamController::StartPayloadReceived() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Start;
}

int SimStreamController::Count(std::uint8_t type, std::optional<std::uint8_t> command) const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    int n = 0;
    for (const auto& frame : m_Frames)
        n += FrameType(frame) == type &&
             (!command || (frame.size() > kCommand && frame[kCommand] == *command));
    return n;
}

int SimStreamController::RequestsSent() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Requests;
}

SimDeviceConfig MakeSimStreamDevice(std::shared_ptr<SimStreamController> model,
                                    std::uint16_t vendorId, std::uint16_t productId)
{
    char path[128];
    std::snprintf(path, sizeof path,
                  "\\\\?\\hid#vid_%04x&pid_%04x#7&2f1c9a3e&0&0000#"
                  "{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  vendorId, productId);
    std::u16string widePath(path, path + std::char_traits<char>::length(path));
    return SimDeviceConfig{widePath, vendorId, productId, std::move(model)};
}
