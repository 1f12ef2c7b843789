// The controller's side of clean exchanges, for the targets that fuzz what
// the host reads: from there the fuzzer reaches the faults.
#include "fuzz/seeds/update_seeds.h"

#include <array>
#include <cstdint>
#include <string>

#include "base/little_endian.h"
#include "block/block_frame.h"
#include "block/device_memory_map.h"
#include "stream/stream_frame.h"

using namespace stream_frame;

namespace {

void AddFrame(std::vector<std::uint8_t>& bytes, const Frame& frame)
{
    std::uint8_t report[kReportBytes] = {};
    PutReport(frame.View(), report);
    bytes.insert(bytes.end(), report, report + kReportBytes);
}

// One answer, on time (the control byte), then its 64 bytes.
void AddAck(std::vector<std::uint8_t>& bytes, BlockCommand command, std::uint32_t word = 0)
{
    std::uint8_t data[4];
    PutLe32(data, word);
    const auto ack = MakeBlockAck(BlockCode(command), data, sizeof data);
    bytes.push_back(1);
    bytes.insert(bytes.end(), ack.begin(), ack.end());
}

}  // namespace

std::vector<Seed> StreamInputSeeds()
{
    std::vector<std::uint8_t> update{0};
    AddFrame(update, BuildIdentity({1, 0, 0}));
    for (int i = 0; i < 6; ++i)
        AddFrame(update, BuildDeviceCommand(SET_FIRMWARE_DATA));
    std::vector<std::uint8_t> failure{0};
    AddFrame(failure, BuildIdentity({200, 0, 0}));
    AddFrame(failure, BuildDeviceCommand(SET_FIRMWARE_DATA));
    AddFrame(failure, BuildDeviceCommand(FAILURE_REPORT_A));
    std::vector<std::uint8_t> version{3};
    AddFrame(version, BuildVersionReply(0x8C));
    AddFrame(version, BuildDeviceCommand(SET_FIRMWARE_DATA));
    return {{"update", update}, {"failure_report", failure}, {"version_then_request", version}};
}

std::vector<Seed> BlockAnswersSeeds()
{
    // The step (bits 0-2) and the device type (bits 3-4: 0x0042, 0x3009,
    // 0x5111, 0x6007) of the target's configuration byte.
    const std::array<BlockCommand, 6> single = {BlockCommand::ReadInfo,   BlockCommand::ReadMemory,
                                                BlockCommand::Erase,      BlockCommand::Erase,
                                                BlockCommand::WriteImage, BlockCommand::Finish};
    std::vector<Seed> seeds;
    for (std::uint8_t type = 0; type < 4; ++type) {
        const std::uint8_t high = static_cast<std::uint8_t>(type << 3);
        for (std::uint8_t step = 0; step < single.size(); ++step) {
            std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(step | high)};
            AddAck(bytes, single[step]);
            seeds.push_back({"step" + std::to_string(step) + "_type" + std::to_string(type), bytes});
        }
        std::vector<std::uint8_t> version{static_cast<std::uint8_t>(6 | high)};
        if (type >= 2)
            AddAck(version, BlockCommand::Erase);  // the special types erase first
        AddAck(version, BlockCommand::WriteMemory);
        seeds.push_back({"version_word_type" + std::to_string(type), version});
        std::vector<std::uint8_t> identify{static_cast<std::uint8_t>(7 | high)};
        AddAck(identify, BlockCommand::ReadInfo, 0x5111);
        AddAck(identify, BlockCommand::ReadMemory, 0x8C);
        seeds.push_back({"identify_type" + std::to_string(type), identify});
    }
    return seeds;
}

std::vector<Seed> WholeUpdateSeeds()
{
    // A configuration byte alone: a clean update of the stream controller,
    // or of a block controller of each type.
    return {{"stream", {0}},     {"block_0042", {1}}, {"block_5111", {3}},
            {"block_3009", {5}}, {"block_6007", {7}},
            // Every answer of a block update late by 1040 ms.
            {"block_late", {1, 0xD1, 0xD1, 0xD1, 0xD1, 0xD1, 0xD1, 0xD1}}};
}
