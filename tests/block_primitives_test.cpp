#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "block/block_frame.h"
#include "block/block_primitives.h"
#include "block/device_memory_map.h"
#include "block_test_helpers.h"
#include "hid/hid.h"
#include "support/headless_view.h"
#include "sim/sim_block_controller.h"
#include "sim/virtual_hid_bus.h"

namespace {

using Events = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

using BlockPrimitivesTest = BlockLinkFixture;

struct TimingCase {
    const char* name;
    std::function<int(UpdateSession&)> call;
    std::uint32_t deviceType;
    std::optional<std::uint32_t> answerDelayMs;  // none: a device that never answers
    int result;
    Events events;
};

class TimingTest : public BlockPrimitivesTest, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(TimingTest, SendsPollsAndPausesExactly)
{
    const TimingCase& c = GetParam();
    if (c.answerDelayMs) {
        SimBlockConfig config;
        config.faults.answerDelayMs = *c.answerDelayMs;
        OpenSim(config);
    } else {
        Open(nullptr);
    }
    session->device.currentDeviceType = c.deviceType;
    session->device.memoryMap = MemoryMapForType(c.deviceType);
    EXPECT_EQ(c.call(*session), c.result);
    EXPECT_EQ(trace.Events(), c.events);
    // Unanswered, every poll waits its whole time-out.
    if (!c.answerDelayMs) {
        EXPECT_EQ(clock.NowMs() - start, ExpectedElapsed(c.events));
    }
}

std::uint8_t g_Dest[64];
const Bytes kFour = {1, 2, 3, 4};

constexpr auto kSilent = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Primitives, TimingTest,
    ::testing::Values(
        // Four frames, three polls: 1000 + 3 x (10 + 200) ms.
        TimingCase{"erase_resend", [](UpdateSession& d) { return BlockEraseResend(d, 0x08014000, 100); }, 0, kSilent,
                   0, Concat({"send 4", "sleep 1000"}, Repeat(3, {"poll", "send 4", "sleep 200"}))},
        // The answer to the first copy arrives after the first poll.
        TimingCase{"erase_resend_answered", [](UpdateSession& d) { return BlockEraseResend(d, 0x08014000, 100); }, 0,
                   1100, 1, {"send 4", "sleep 1000", "poll", "send 4", "sleep 200", "poll"}},
        TimingCase{"erase_poll", [](UpdateSession& d) { return BlockErasePoll(d, 0x01018000, 0x8000); }, 0, kSilent,
                   0, Concat({"send 4", "sleep 1000"}, Repeat(20, {"poll", "sleep 500"}))},
        TimingCase{"erase_poll_answered", [](UpdateSession& d) { return BlockErasePoll(d, 0x01018000, 0x8000); }, 0,
                   2000, 1, {"send 4", "sleep 1000", "poll", "sleep 500", "poll", "sleep 500", "poll"}},
        TimingCase{"write_image", [](UpdateSession& d) { return BlockWrite(d, kFour.data(), 0x08014000, 4, 4, true); },
                   0, kSilent, 0, Concat({"send 3"}, Repeat(100, {"poll"}))},
        TimingCase{"write_memory",
                   [](UpdateSession& d) { return BlockWrite(d, kFour.data(), 0x08014000, 4, 4, false); }, 0, kSilent,
                   0, Concat({"send 2"}, Repeat(100, {"poll"}))},
        // A failed read is answered with an immediate re-send, the fifth too.
        TimingCase{"read_memory", [](UpdateSession& d) { return BlockReadMemory(d, g_Dest, 4, 0x08014034); }, 0,
                   kSilent, 0, Concat({"send 5"}, Repeat(5, {"poll", "send 5"}))},
        TimingCase{"read_memory_answered", [](UpdateSession& d) { return BlockReadMemory(d, g_Dest, 4, 0x08014034); },
                   0, kPollMs + 5, 1, {"send 5", "poll", "send 5", "poll"}},
        TimingCase{"read_info", [](UpdateSession& d) { return BlockReadInfo(d, g_Dest, 4); }, 0, kSilent, 0,
                   Concat({"send 8"}, Repeat(5, {"poll", "send 8"}))},
        TimingCase{"finish", [](UpdateSession& d) { return BlockFinish(d); }, 0, kSilent, 0, {"send 7", "poll"}},
        TimingCase{"version_word_default", [](UpdateSession& d) { return WriteVersionWord(d); }, 0, kSilent, 0,
                   Concat({"send 2"}, Repeat(100, {"poll"}))},
        // Its erase fails: nothing else is sent.
        TimingCase{"version_word_special", [](UpdateSession& d) { return WriteVersionWord(d); }, 0x5111, kSilent, 0,
                   Concat({"send 4", "sleep 1000"}, Repeat(20, {"poll", "sleep 500"}))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BlockPrimitivesTest, ReadAnsweredByAnotherCommandIsNotSentAgain)
{
    Open(nullptr);
    for (int i = 0; i < 5; ++i)
        QueueAnswer(BlockCommand::ReadInfo);
    std::uint8_t dest[4] = {9, 9, 9, 9};
    EXPECT_EQ(BlockReadMemory(*session, dest, 4, 0x08014034), 0);
    EXPECT_EQ(trace.Events(), Concat({"send 5"}, Repeat(5, {"poll"})));
    EXPECT_EQ(Bytes(dest, dest + 4), Bytes(4, 9));  // untouched on failure
}

TEST_F(BlockPrimitivesTest, ReadAboveTheFrameDeliversExactly46Bytes)
{
    OpenSim();
    Bytes pattern(46);
    std::iota(pattern.begin(), pattern.end(), 0x20);
    ASSERT_EQ(BlockWrite(*session, pattern.data(), 0x08000100, 46, 46, false), 1);
    std::uint8_t dest[64];
    std::fill(std::begin(dest), std::end(dest), 0xEE);
    ASSERT_EQ(BlockReadMemory(*session, dest, 60, 0x08000100), 1);
    EXPECT_EQ(Bytes(dest, dest + 46), pattern);
    EXPECT_EQ(Bytes(dest + 46, dest + 64), Bytes(18, 0xEE));
    const auto read = device->FramesOf(BlockCommand::ReadMemory).back().fields;
    EXPECT_EQ(read.length, 46);
    EXPECT_EQ(read.size, 60u);
}

struct EchoCase {
    const char* name;
    bool isImage;
    BlockCommand answer;
    int result;
};

class WriteEchoTest : public BlockPrimitivesTest, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(WriteEchoTest, OnlyTheEchoOfTheCommandSentAcknowledges)
{
    const EchoCase& c = GetParam();
    Open(nullptr);
    QueueAnswer(c.answer);
    EXPECT_EQ(BlockWrite(*session, kFour.data(), 0x08014000, 4, 4, c.isImage), c.result);
    EXPECT_EQ(trace.Events().size(), c.result ? 2u : 101u);
}

INSTANTIATE_TEST_SUITE_P(Echoes, WriteEchoTest,
                         ::testing::Values(EchoCase{"image_by_3", true, BlockCommand::WriteImage, 1},
                                           EchoCase{"image_not_by_2", true, BlockCommand::WriteMemory, 0},
                                           EchoCase{"memory_by_2", false, BlockCommand::WriteMemory, 1},
                                           EchoCase{"memory_not_by_3", false, BlockCommand::WriteImage, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// An answer already queued when a request goes out was meant for an earlier
// request; taking it would count a block the device never got as written.
TEST_F(BlockPrimitivesTest, AnswerQueuedBeforeTheRequestIsNotItsAcknowledgement)
{
    Open(nullptr);
    QueueAnswer(BlockCommand::WriteImage, 0);
    EXPECT_EQ(BlockWrite(*session, kFour.data(), 0x08014000, 4, 4, true), 0);
    EXPECT_EQ(trace.Events(), Concat({"send 3"}, Repeat(100, {"poll"})));
}

struct CrcCase {
    const char* name;
    std::uint32_t deviceType;
    bool crc;
};

class FrameCrcTest : public BlockPrimitivesTest, public ::testing::WithParamInterface<CrcCase> {};

// Writes carry a CRC exactly for the special types; other frames never do.
TEST_P(FrameCrcTest, CrcOnlyOnWritesOfSpecialTypes)
{
    const CrcCase& c = GetParam();
    Open(nullptr);
    session->device.currentDeviceType = c.deviceType;
    const Bytes data = {0x61, 0x62, 0x63};  // "abc"
    BlockWrite(*session, data.data(), 0x100, 3, 3, true);
    BlockWrite(*session, data.data(), 0x100, 3, 3, false);
    std::uint8_t dest[4];
    BlockReadMemory(*session, dest, 4, 0x100);
    BlockReadInfo(*session, dest, 4);
    BlockErasePoll(*session, 0x100, 3);
    BlockFinish(*session);
    const std::uint16_t writeCrc = c.crc ? 0x5749 : 0;
    std::set<std::uint16_t> commands;
    for (const HidReport& report : Sent()) {
        const BlockFrameFields f = ParseBlockFrame(report.data() + 1);
        const bool write = f.command == 2 || f.command == 3;
        EXPECT_EQ(f.crc, write ? writeCrc : 0) << "command " << f.command;
        commands.insert(f.command);
    }
    EXPECT_EQ(commands, (std::set<std::uint16_t>{2, 3, 4, 5, 7, 8}));
}

INSTANTIATE_TEST_SUITE_P(Types, FrameCrcTest,
                         ::testing::Values(CrcCase{"default", 0, false}, CrcCase{"t3009", 0x3009, false},
                                           CrcCase{"t3010", 0x3010, true}, CrcCase{"t3011", 0x3011, true},
                                           CrcCase{"t5111", 0x5111, true}, CrcCase{"t5112", 0x5112, true},
                                           CrcCase{"t6006", 0x6006, true}, CrcCase{"t6007", 0x6007, true},
                                           CrcCase{"t6008", 0x6008, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Only 17 + n bytes are handed over; the output report keeps what an
// earlier, longer frame left behind them.
TEST_F(BlockPrimitivesTest, ShortFrameLeavesEarlierReportBytes)
{
    Open(nullptr);
    Bytes data(46);
    std::iota(data.begin(), data.end(), 0x40);
    EXPECT_EQ(SendBlockCommand(*session, data.data(), 46, 0x08014000, 1000, 3, 0, false), 1);
    EXPECT_EQ(SendBlockCommand(*session, nullptr, 0, 0, 0, 7, 0, false), 1);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][0], 0);
    EXPECT_EQ(Bytes(sent[0].begin() + 18, sent[0].begin() + 64), data);
    const Bytes finish = {0x05, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(sent[1].begin() + 1, sent[1].begin() + 18), finish);
    EXPECT_EQ(Bytes(sent[1].begin() + 18, sent[1].begin() + 64), data);
}

}  // namespace
