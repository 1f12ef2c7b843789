#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "block/block_primitives.h"
#include "block/device_memory_map.h"
#include "block_test_helpers.h"
#include "protocols/standard_protocols.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using SimBlockTest = BlockLinkFixture;

Bytes Pattern(std::size_t count, std::uint8_t first)
{
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

struct FlashCase {
    const char* name;
    std::uint32_t deviceType;  // the device's
    std::uint32_t hostType;    // what the host believes (decides the CRC)
    std::uint32_t address;
    Bytes before;              // written first as image bytes (empty: none)
    Bytes data;                // then this
    bool isImage;
    bool acknowledged;
    Bytes memory;              // at address afterwards
};

class FlashModelTest : public BlockLinkFixture, public ::testing::WithParamInterface<FlashCase> {};

TEST_P(FlashModelTest, WritesFollowTheFlashRules)
{
    const FlashCase& c = GetParam();
    SimBlockConfig config;
    config.deviceType = c.deviceType;
    OpenSim(config);
    session->device.currentDeviceType = c.hostType;
    ASSERT_EQ(BlockErasePoll(*session, c.address & ~0xFFFu, 0x1000), (c.address >> 24) != 0x09);
    if (!c.before.empty()) {
        ASSERT_EQ(BlockWrite(*session, c.before.data(), c.address, static_cast<std::uint32_t>(c.before.size()), 100, true), 1);
    }
    const int refusedBefore = device->RefusedWrites();
    EXPECT_EQ(BlockWrite(*session, c.data.data(), c.address, static_cast<std::uint32_t>(c.data.size()), 100, c.isImage),
              c.acknowledged ? 1 : 0);
    EXPECT_EQ(device->RefusedWrites() - refusedBefore, c.acknowledged ? 0 : 1);
    EXPECT_EQ(device->Memory(c.address, static_cast<std::uint32_t>(c.memory.size())), c.memory);
}

const Bytes kA = Pattern(46, 0x10);
const Bytes kB = Pattern(46, 0x80);

INSTANTIATE_TEST_SUITE_P(
    Rules, FlashModelTest,
    ::testing::Values(
        FlashCase{"into_erased", 0, 0, 0x08014000, {}, kA, true, true, kA},
        FlashCase{"over_other_data", 0, 0, 0x08014000, kA, kB, true, false, kA},
        FlashCase{"same_data_again", 0, 0, 0x08014000, kA, kA, true, true, kA},
        FlashCase{"outside_regions", 0, 0, 0x09000000, {}, kA, true, false, Bytes(46, 0xFF)},
        FlashCase{"special_with_crc", 0x5111, 0x5111, 0x01018000, {}, kA, true, true, kA},
        // The host took the device for another type and sent no CRC.
        FlashCase{"special_without_crc", 0x5111, 0, 0x01018000, {}, kA, true, false, Bytes(46, 0xFF)},
        // Other types: the version word is rewritten in place.
        FlashCase{"memory_in_place", 0, 0, 0x08014034, kA, {1, 2, 3, 4}, false, true, {1, 2, 3, 4}},
        FlashCase{"memory_special_needs_erase", 0x3010, 0x3010, 0x01018000, kA, {1, 2, 3, 4}, false, false,
                  {0x10, 0x11, 0x12, 0x13}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimBlockTest, EraseSetsExactlyTheRangeAndIsRecorded)
{
    OpenSim();
    ASSERT_EQ(BlockErasePoll(*session, 0x08000000, 0x100), 1);
    ASSERT_EQ(BlockWrite(*session, kA.data(), 0x08000000, 46, 46, true), 1);
    ASSERT_EQ(BlockWrite(*session, kA.data(), 0x080000D2, 46, 46, true), 1);  // 0xD2..0xFF
    ASSERT_EQ(BlockEraseResend(*session, 0x08000001, 0xD1), 1);
    Bytes expected(0x100, 0xFF);
    expected[0] = kA[0];
    std::copy(kA.begin(), kA.end(), expected.begin() + 0xD2);
    EXPECT_EQ(device->Memory(0x08000000, 0x100), expected);
    EXPECT_EQ(device->EraseRequests(), (std::vector<SimEraseRequest>{{0x08000000, 0x100}, {0x08000001, 0xD1}}));
    EXPECT_EQ(BlockErasePoll(*session, 0x0803FFFF, 2), 0);  // runs past the region
}

// The demo mode runs the model in real time.
TEST(SimBlockDevice, AnswersWithARealClock)
{
    VirtualHidBus bus{SystemClock::Instance()};
    HeadlessView view;
    ViewUi ui{view};
    SimBlockConfig config;
    config.deviceType = 0x6006;
    config.faults.answerDelayMs = 20;
    auto device = std::make_shared<SimBlockController>(config);
    bus.Plug(MakeSimBlockDevice(device));
    UpdateSession session(bus, SystemClock::Instance(), ui, StandardProtocolDrivers());
    ASSERT_EQ(session.HidLink.ProbeHid(), 1);
    ASSERT_EQ(session.HidLink.OpenHid(), 1);
    std::uint8_t dest[4] = {};
    EXPECT_EQ(BlockReadInfo(session, dest, 4), 1);
    EXPECT_EQ(GetLe32(dest), 0x6006u);
}

}  // namespace
