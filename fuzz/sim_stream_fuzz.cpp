// Fuzz target: the simulated stream controller that the demo mode runs,
// fed arbitrary output reports. Whatever arrives, it must neither crash nor
// answer with a malformed report, and what it kept must add up.
#include <memory>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/sim_harness.h"
#include "sim/sim_stream_controller.h"
#include "stream/stream_frame.h"

using namespace stream_frame;

namespace {

constexpr std::uint32_t kDelayMs = 7;

// Bits 0-1 pick a fault, 2-4 the chunk it follows, 5 a delay on every answer,
// 6-7 the identity.
SimStreamConfig ConfigFrom(std::uint8_t bits)
{
    SimStreamConfig config;
    const std::uint32_t chunk = (bits >> 2) & 7u;
    switch (bits & 3u) {
    case 1:
        config.failureReport = (chunk & 1u) ? FAILURE_REPORT_B : FAILURE_REPORT_A;
        config.failAfterChunks = chunk;
        break;
    case 2:
        config.unplugAfterChunks = chunk;
        break;
    case 3:
        config.silentAfterChunks = chunk;
        break;
    default:
        break;
    }
    if (bits & 0x20u)
        config.answerDelayMs = kDelayMs;
    static constexpr StreamIdentity kIdentities[4] = {{1, 0, 0}, {200, 2, 261}, {1, 1, 261}, {7, 0, 0}};
    const StreamIdentity identity = kIdentities[bits >> 6];
    config.firmwareType = identity.firmwareType;
    config.subModel = identity.subModel;
    config.model = identity.model;
    return config;
}

// Every answer is one whole frame in one report.
void CheckAnswer(const HidReport& report)
{
    FUZZ_CHECK(report[0] == 0);
    const std::uint8_t* payload = report.data() + 1;
    const std::size_t count = payload[kReportCount];
    FUZZ_CHECK(count >= kBody && count <= kReportBytes - kReportFrame);
    const std::span<const std::uint8_t> frame(payload + kReportFrame, count);
    FUZZ_CHECK(FrameLead(frame) == 0);
    FUZZ_CHECK(kBody + FrameBodyLength(frame) == count);
}

void CheckKept(const SimStreamController& device)
{
    for (const std::vector<std::uint8_t>& frame : device.Frames()) {
        FUZZ_CHECK(frame.size() >= kBody && frame.size() <= kFrameBufferBytes);
        FUZZ_CHECK(kBody + FrameBodyLength(frame) == frame.size());
    }
    std::size_t chunkTotal = 0;
    for (std::size_t chunk : device.ChunkSizes()) {
        FUZZ_CHECK(chunk <= static_cast<std::size_t>(kMaxPayload));
        chunkTotal += chunk;
    }
    FUZZ_CHECK(chunkTotal == device.ReceivedBytes().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < kSimConfigBytes)
        return 0;
    const SimStreamConfig config = ConfigFrom(data[0]);
    auto device = std::make_shared<SimStreamController>(config);
    {
        SimHarness harness(MakeSimStreamDevice(device));
        ForEachReport(data, size, [&](const std::uint8_t* payload, std::size_t count) {
            if (!harness.Write(payload, count))
                return false;
            for (const HidReport& answer : harness.Answers(config.answerDelayMs))
                CheckAnswer(answer);
            return true;
        });
    }
    CheckKept(*device);
    return 0;
}
