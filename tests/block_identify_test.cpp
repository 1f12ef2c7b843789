#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/process_state.h"
#include "app/text_table.h"
#include "app/update_dlg.h"
#include "block/block_identify.h"
#include "block/device_memory_map.h"
#include "hid/hid.h"
#include "sim/fake_clock.h"
#include "sim/headless_view.h"
#include "sim/sim_block_controller.h"
#include "sim/virtual_hid_bus.h"

namespace {

const std::u16string kTitle = u"Tarvik Update v2.31";

class BlockIdentifyTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProcessState(); }
    void TearDown() override { dlg.reset(); }

    // Opens the link as AttachDevice does (200 ms reads), then identifies.
    void Identify(const SimBlockConfig& config)
    {
        device = std::make_shared<SimBlockController>(config);
        if (!deviceId)
            deviceId = bus.Plug(MakeSimBlockDevice(device));
        if (!dlg)
            dlg = std::make_unique<CUpdateDlg>(bus, view, clock);
        ASSERT_EQ(dlg->HidLink.ProbeHid(), 1);
        cur_devVersion = VersionProbeSentinel;
        ASSERT_EQ(dlg->HidLink.OpenHid(), 1);
        ASSERT_EQ(dlg->HidLink.m_ReadTimeout, 200u);
        IdentifyBlockDevice();
    }
    void Replug()
    {
        bus.Unplug(deviceId);
        deviceId = 0;
    }

    FakeClock clock;
    VirtualHidBus bus{clock};
    HeadlessView view;
    std::unique_ptr<CUpdateDlg> dlg;
    std::shared_ptr<SimBlockController> device;
    VirtualHidBus::DeviceId deviceId = 0;
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
    Identify(config);
    EXPECT_EQ(dlg->memoryMap, c.map);
    EXPECT_EQ(dlg->currentDeviceType, c.currentDeviceType);
    EXPECT_EQ(cur_devVersion.load(), c.version);
    EXPECT_EQ(view.Title(), kTitle + c.titleSuffix);
    EXPECT_TRUE(view.Messages().empty());
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
    view.SetTitle(u"before");
    SimBlockConfig config;
    config.versionWord = 0xFFFFFFFF;
    Identify(config);
    EXPECT_EQ(view.Title(), u"before");
    EXPECT_EQ(cur_devVersion.load(), 0xFFFFFFFFu);
    const auto messages = view.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, LoadText(14));
    EXPECT_EQ(messages[0].caption, kTitle);
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
}

TEST_F(BlockIdentifyTest, UnreadableVersionEndsSilently)
{
    view.SetTitle(u"before");
    SimBlockConfig config;
    config.deviceType = 0x3009;
    config.faults.ignoreReadMemory = true;
    Identify(config);
    EXPECT_EQ(dlg->memoryMap, kMemoryMap3009);
    EXPECT_EQ(view.Title(), u"before");
    EXPECT_EQ(cur_devVersion.load(), VersionProbeSentinel);
    EXPECT_TRUE(view.Messages().empty());
}

// The map is chosen afresh each time, while an unread type keeps the old value.
TEST_F(BlockIdentifyTest, NextDeviceWithoutTypeGetsTheDefaultMapAndKeepsTheOldType)
{
    SimBlockConfig first;
    first.deviceType = 0x3009;
    Identify(first);
    ASSERT_EQ(dlg->memoryMap, kMemoryMap3009);
    Replug();
    SimBlockConfig second;
    second.deviceType = 0x3009;
    second.faults.ignoreReadInfo = true;
    Identify(second);
    EXPECT_EQ(dlg->memoryMap, kDefaultMemoryMap);
    EXPECT_EQ(dlg->currentDeviceType, 0x3009u);
    // The 0x3009 device keeps its word elsewhere: the default address reads erased.
    EXPECT_EQ(device->FramesOf(BlockCommand::ReadMemory).back().fields.address, 0x08014034u);
    EXPECT_EQ(cur_devVersion.load(), 0xFFFFFFFFu);
}

TEST_F(BlockIdentifyTest, TypeStartsAtZero)
{
    dlg = std::make_unique<CUpdateDlg>(bus, view, clock);
    EXPECT_EQ(dlg->currentDeviceType, 0u);
    EXPECT_EQ(dlg->memoryMap, kDefaultMemoryMap);
}

}  // namespace
