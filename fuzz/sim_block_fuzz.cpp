// Fuzz target: the simulated block controller that the demo mode runs, fed
// arbitrary output reports. Whatever arrives, it must neither crash nor
// answer anything but an acknowledgement of the request just written.
#include <algorithm>
#include <memory>

#include "block/block_frame.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/sim_harness.h"
#include "sim/sim_block_controller.h"

namespace {

constexpr std::uint32_t kDelayMs = 3;

// Bits 0-2 pick the device type, 3 repeats every answer, 4 delays it,
// 5-7 pick a fault.
SimBlockConfig ConfigFrom(std::uint8_t bits)
{
    SimBlockConfig config;
    config.deviceType = kBlockFuzzDeviceTypes[bits & 7u];
    SimBlockFaults& faults = config.faults;
    faults.repeatAnswers = (bits & 0x08u) != 0;
    if (bits & 0x10u)
        faults.answerDelayMs = kDelayMs;
    switch (bits >> 5) {
    case 1:
        faults.ignoreReadInfo = faults.ignoreReadMemory = true;
        break;
    case 2:
        faults.ignoreErase = true;
        break;
    case 3:
        faults.ignoreVersionWrite = true;
        break;
    case 4:
    case 5:
        faults.dropWritesFrom = 1;
        faults.dropWriteCount = 2;
        faults.dropStoresData = (bits >> 5) == 5;
        break;
    case 6:
        faults.unplugAtWrite = 3;
        break;
    case 7:
        faults.ignoreFinish = true;
        break;
    default:
        break;
    }
    return config;
}

void CheckAnswers(const std::vector<HidReport>& answers, const std::uint8_t* request, int copies)
{
    if (answers.empty())
        return;
    FUZZ_CHECK(HasBlockMarker(request));
    FUZZ_CHECK(answers.size() == static_cast<std::size_t>(copies));
    for (const HidReport& answer : answers) {
        FUZZ_CHECK(answer[0] == 0);
        FUZZ_CHECK(IsBlockAck(0, answer.data() + 1, ParseBlockFrame(request).command));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < kSimConfigBytes)
        return 0;
    const SimBlockConfig config = ConfigFrom(data[0]);
    const int copies = config.faults.repeatAnswers ? 2 : 1;
    auto device = std::make_shared<SimBlockController>(config);
    std::size_t written = 0;
    {
        SimHarness harness(MakeSimBlockDevice(device));
        ForEachReport(data, size, [&](const std::uint8_t* payload, std::size_t count) {
            if (!harness.Write(payload, count))
                return false;
            ++written;
            // The frame as the device saw it: zero-padded to 64 bytes.
            std::uint8_t request[kBlockFrameBytes] = {};
            std::copy(payload, payload + count, request);
            CheckAnswers(harness.Answers(config.faults.answerDelayMs), request, copies);
            return true;
        });
    }
    const std::vector<SimReceivedFrame> frames = device->Frames();
    FUZZ_CHECK(frames.size() == written);
    for (const SimReceivedFrame& frame : frames)
        FUZZ_CHECK(frame.Data().size() <= kBlockMaxData);
    return 0;
}
