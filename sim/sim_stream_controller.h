#pragma once
// A simulated stream-protocol controller in its update mode. It answers the
// version query, identifies itself on UPDATE_START, asks for the image chunk
// by chunk after START_UPDATE and installs it on END_UPDATE. Answers go out
// through the port with an optional delay, so it runs on a fake clock in the
// tests and on the system clock in the demo mode.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/sim_device_model.h"
#include "sim/virtual_hid_bus.h"
#include "stream/stream_frame.h"

struct SimStreamConfig {
    std::uint32_t versionWord = 0x0000008C;  // 1.40 release
    std::uint8_t firmwareType = 1;           // 1 and 200 can be updated
    std::uint16_t model = 0;
    std::uint8_t subModel = 0;

    // --- Fault injection ---
    // Instead of the request that follows chunk failAfterChunks (0: instead
    // of the first request), send this failure report (21 or 24).
    std::optional<std::uint8_t> failureReport;
    std::uint32_t failAfterChunks = 0;
    // Leave the bus instead of the request that follows chunk unplugAfterChunks.
    std::optional<std::uint32_t> unplugAfterChunks;
    // Never answer anything.
    bool silent = false;
    // Stop answering instead of the request that follows chunk silentAfterChunks.
    std::optional<std::uint32_t> silentAfterChunks;
    // Every answer becomes readable this long after the report that caused it.
    std::uint32_t answerDelayMs = 0;
};

class SimStreamController final : public ISimDeviceModel {
public:
    explicit SimStreamController(SimStreamConfig config = {});

    void OnOutputReport(const std::uint8_t* report65, SimDevicePort& port) override;

    // --- What happened (any thread) ---
    std::uint32_t VersionWord() const;
    bool Installed() const;
    std::vector<std::uint8_t> InstalledImage() const;
    // Every IMAGE_DATA payload byte received since START_UPDATE, in order.
    std::vector<std::uint8_t> ReceivedBytes() const;
    // Payload length of each IMAGE_DATA frame since START_UPDATE.
    std::vector<std::size_t> ChunkSizes() const;
    // Every whole frame received (pieces reassembled), in order.
    std::vector<std::vector<std::uint8_t>> Frames() const;
    std::optional<stream_frame::StartPayload> StartPayloadReceived() const;
    int Count(std::uint8_t type, std::optional<std::uint8_t> command = std::nullopt) const;
    int RequestsSent() const;

private:
    void OnFrame(const std::vector<std::uint8_t>& frame, SimDevicePort& port);
    void OnCommand(const std::vector<std::uint8_t>& frame, SimDevicePort& port);
    void OnImageData(const std::vector<std::uint8_t>& frame, SimDevicePort& port);
    void RequestNext(SimDevicePort& port);
    void Send(const stream_frame::Frame& frame, SimDevicePort& port);
    void Install();

    const SimStreamConfig m_Config;
    mutable std::mutex m_Mutex;
    std::uint32_t m_Version;
    std::vector<std::uint8_t> m_Partial;  // a frame whose pieces are still coming
    std::vector<std::vector<std::uint8_t>> m_Frames;
    std::optional<stream_frame::StartPayload> m_Start;
    std::vector<std::uint8_t> m_Received;
    std::vector<std::size_t> m_ChunkSizes;
    std::vector<std::uint8_t> m_Installed;
    bool m_IsInstalled = false;
    int m_Requests = 0;
    bool m_Gone = false;
    bool m_Mute = false;
};

// The bus entry of a simulated stream controller, with an interface path as
// the system shows one.
SimDeviceConfig MakeSimStreamDevice(std::shared_ptr<SimStreamController> model,
                                    std::uint16_t vendorId = 0x0483,
                                    std::uint16_t productId = 0x5750);
