#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "text/text_table.h"
#include "block/block_frame.h"
#include "block/device_memory_map.h"
#include "sim/sim_block_controller.h"
#include "support/session_fixture.h"
#include "protocols/standard_protocols.h"

namespace {

// Each controller plugged in is found and attached by the same session.
class BlockIdentifyTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        session = std::make_unique<UpdateSession>(bus, clock, ui, StandardProtocolDrivers());
        view.SetTitle(LoadText(6));
    }
    VirtualHidBus::DeviceId Plug(const SimBlockConfig& config)
    {
        device = std::make_shared<SimBlockController>(config);
        const auto id = bus.Plug(MakeSimBlockDevice(device));
        EXPECT_EQ(session->HidLink.ProbeHid(), 1);
        session->Attach();
        return id;
    }
    std::shared_ptr<SimBlockController> device;
};

struct IdentifyCase {
    const char* name;
    std::uint32_t deviceType;
    std::uint32_t version;
    bool ignoreReadInfo;
    DeviceMemoryMap map;
    std::uint32_t currentDeviceType;
    std::u16string titleSuffix;
};

class IdentifyCaseTest : public BlockIdentifyTest, public ::testing::WithParamInterface<IdentifyCase> {};

TEST_P(IdentifyCaseTest, ChoosesMapAndShowsVersion)
{
    const IdentifyCase& c = GetParam();
    SimBlockConfig config;
    config.deviceType = c.deviceType;
    config.versionWord = c.version;
    config.faults.ignoreReadInfo = c.ignoreReadInfo;
    Plug(config);
    EXPECT_EQ(session->device.memoryMap, c.map);
    EXPECT_EQ(session->device.currentDeviceType, c.currentDeviceType);
    EXPECT_EQ(session->device.cur_devVersion, c.version);
    EXPECT_EQ(view.Title(), LoadText(6) + c.titleSuffix);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(device->FramesOf(BlockCommand::ReadMemory).back().fields.address, c.map.versionAddress);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, IdentifyCaseTest,
    ::testing::Values(
        IdentifyCase{"t3009", 0x3009, 0x89, false, {0x08003400, 0x08003434}, 0x3009, u"(ZudoVor V1.37)"},
        IdentifyCase{"t5111_beta", 0x5111, 0x00020089, false, {0x01018000, 0x01017040}, 0x5111,
                     u"(ZudoVor V1.37 beta2)"},
        IdentifyCase{"t6006", 0x6006, 0x1F4, false, {0x01018000, 0x01017040}, 0x6006, u"(ZudoVor V5.00)"},
        IdentifyCase{"other_type", 0x1234, 0xFFFF, false, {0x08014000, 0x08014034}, 0x1234,
                     u"(ZudoVor V655.35)"},
        IdentifyCase{"zero_release_beta1", 0x3010, 0x00010000, false, {0x01018000, 0x01017040}, 0x3010,
                     u"(ZudoVor V0.00 beta1)"},
        IdentifyCase{"high_beta", 0, 0xFFFE0001, false, {0x08014000, 0x08014034}, 0, u"(ZudoVor V0.01 beta65534)"},
        // No type: the default map, and the version read there.
        IdentifyCase{"read_info_unanswered", 0, 0x8C, true, {0x08014000, 0x08014034}, 0, u"(ZudoVor V1.40)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BlockIdentifyTest, NoFirmwareShowsTheInstructionsAndKeepsTheTitle)
{
    SimBlockConfig config;
    config.versionWord = 0xFFFFFFFF;
    Plug(config);
    EXPECT_EQ(view.Title(), LoadText(6));
    EXPECT_EQ(session->device.cur_devVersion, 0xFFFFFFFFu);
    const auto messages = view.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, LoadText(14));
    EXPECT_EQ(messages[0].caption, LoadText(6));
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
}

TEST_F(BlockIdentifyTest, UnreadableVersionEndsSilently)
{
    SimBlockConfig config;
    config.deviceType = 0x3009;
    config.faults.ignoreReadMemory = true;
    Plug(config);
    EXPECT_EQ(session->device.memoryMap, kMemoryMap3009);
    EXPECT_EQ(view.Title(), LoadText(6));
    EXPECT_EQ(session->device.cur_devVersion, VersionProbeSentinel);
    EXPECT_TRUE(view.Messages().empty());
}

// The map is chosen afresh each time, while an unread type keeps the old value.
TEST_F(BlockIdentifyTest, NextDeviceWithoutTypeGetsTheDefaultMapAndKeepsTheOldType)
{
    SimBlockConfig first;
    first.deviceType = 0x3009;
    bus.Unplug(Plug(first));
    ASSERT_EQ(session->device.memoryMap, kMemoryMap3009);
    SimBlockConfig second = first;
    second.faults.ignoreReadInfo = true;
    Plug(second);
    EXPECT_EQ(session->device.memoryMap, kDefaultMemoryMap);
    EXPECT_EQ(session->device.currentDeviceType, 0x3009u);
    // That device keeps its word elsewhere: the default address reads erased.
    EXPECT_EQ(session->device.cur_devVersion, 0xFFFFFFFFu);
}

}  // namespace
