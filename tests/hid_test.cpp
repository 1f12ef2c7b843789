#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "base/clock.h"
#include "hid/hid.h"
#include "sim/fake_clock.h"
#include "sim/virtual_hid_bus.h"
#include "support/recording_sink.h"

namespace {

SimDeviceConfig Device(const char16_t* path, std::uint16_t vid, std::uint16_t pid)
{
    return SimDeviceConfig{path, vid, pid, nullptr};
}

class HidTest : public ::testing::Test {
protected:
    FakeClock clock;
    VirtualHidBus bus{clock};
    RecordingSink sink;
};

struct PairCase {
    std::uint16_t vid, pid;
    bool accepted;
    std::uint32_t variant;
};

class SupportedPairTest : public HidTest, public ::testing::WithParamInterface<PairCase> {};

TEST_P(SupportedPairTest, AcceptsOnlyTheThreePairs)
{
    const PairCase c = GetParam();
    bus.Plug(Device(u"\\\\?\\hid#dev", c.vid, c.pid));
    CHid hid(bus);
    hid.ProtocolVariant = 7;
    HidHandle handle = kInvalidHidHandle;
    EXPECT_EQ(hid.FindHid(&handle), c.accepted ? 1 : 0);
    EXPECT_EQ(hid.ProtocolVariant.load(), c.accepted ? c.variant : 7u);
    if (c.accepted) {
        EXPECT_NE(handle, kInvalidHidHandle);
        EXPECT_EQ(hid.m_DevicePath, u"\\\\?\\hid#dev");
        EXPECT_TRUE(sink.Contains(u"m_DevicePath:\\\\?\\hid#dev\n"));
        bus.Close(handle);
    } else {
        EXPECT_TRUE(hid.m_DevicePath.empty());
    }
    EXPECT_EQ(bus.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Pairs, SupportedPairTest,
                         ::testing::Values(PairCase{0x0483, 0x5750, true, 0},
                                           PairCase{0x5A3C, 0x5750, true, 0},
                                           PairCase{0x5A3C, 0x4C21, true, 1},
                                           PairCase{0x0483, 0x4C21, false, 0},
                                           PairCase{0x5A3C, 0x4C22, false, 0},
                                           PairCase{0x1234, 0x5750, false, 0}));

TEST_F(HidTest, FirstEnumeratedControllerWins)
{
    bus.Plug(Device(u"block", 0x5A3C, 0x4C21));
    bus.PlugAt(0, Device(u"stream", 0x0483, 0x5750));
    CHid hid(bus);
    EXPECT_EQ(hid.ProbeHid(), 1);
    EXPECT_EQ(hid.m_DevicePath, u"stream");
    EXPECT_EQ(hid.ProtocolVariant.load(), kProtocolStream);
}

TEST_F(HidTest, UnusableInterfacesArePassedOver)
{
    auto refused = bus.Plug(Device(u"refused", 0x0483, 0x5750));
    auto noAttributes = bus.Plug(Device(u"noattr", 0x0483, 0x5750));
    bus.Plug(Device(u"good", 0x5A3C, 0x4C21));
    bus.SetRefuseOpen(refused, HidOpenMode::ReadWriteOverlapped, true);
    bus.SetFailAttributes(noAttributes, true);
    CHid hid(bus);
    EXPECT_EQ(hid.ProbeHid(), 1);
    EXPECT_EQ(hid.m_DevicePath, u"good");
    EXPECT_EQ(hid.ProtocolVariant.load(), kProtocolBlock);
    EXPECT_EQ(bus.OpenHandleCount(), 0u) << "a probe leaves no handle open";
}

TEST_F(HidTest, LongerLaterPathIsFetchedWithItsOwnBuffer)
{
    bus.Plug(Device(u"a", 0x1111, 0x2222));
    bus.Plug(Device(u"a-much-longer-interface-path-than-the-first", 0x0483, 0x5750));
    CHid hid(bus);
    HidHandle handle;
    ASSERT_EQ(hid.FindHid(&handle), 1);
    EXPECT_EQ(hid.m_DevicePath, u"a-much-longer-interface-path-than-the-first");
    EXPECT_EQ(bus.PathFetchCount(), 3) << "first path, failed fetch, fetch with a new buffer";
    bus.Close(handle);
}

TEST_F(HidTest, PathThatNeverFitsIsTriedThreeTimesThenSkipped)
{
    auto stuck = bus.Plug(Device(u"stuck", 0x0483, 0x5750));
    bus.Plug(Device(u"next", 0x5A3C, 0x5750));
    bus.SetFailPathFetch(stuck, true);
    CHid hid(bus);
    EXPECT_EQ(hid.ProbeHid(), 1);
    EXPECT_EQ(hid.m_DevicePath, u"next");
    EXPECT_EQ(bus.PathFetchCount(), 4);
}

TEST_F(HidTest, NotFoundKeepsEarlierValuesAndRegistersOnce)
{
    CHid hid(bus);
    hid.m_NotifyWindow = 42;
    hid.ProtocolVariant = 1;
    hid.m_DevicePath = u"earlier";
    EXPECT_EQ(hid.ProbeHid(), 0);
    EXPECT_EQ(hid.ProbeHid(), 0);
    EXPECT_EQ(hid.m_Present.load(), 0u);
    EXPECT_EQ(hid.ProtocolVariant.load(), 1u);
    EXPECT_EQ(hid.m_DevicePath, u"earlier");
    EXPECT_EQ(bus.RegistrationCount(), 1);
    EXPECT_EQ(hid.m_NotifyRegistered, 1u);
}

TEST_F(HidTest, FailedRegistrationIsNotRetried)
{
    bus.SetFailRegistration(true);
    CHid hid(bus);
    hid.ProbeHid();
    hid.ProbeHid();
    EXPECT_EQ(bus.RegistrationCount(), 1);
    EXPECT_EQ(hid.m_NotifyHandle, kNoNotifyHandle);
}

TEST_F(HidTest, DestructionUnregistersAndClosesHandles)
{
    bus.Plug(Device(u"dev", 0x0483, 0x5750));
    {
        CHid hid(bus);
        ASSERT_EQ(hid.ProbeHid(), 1);
        ASSERT_EQ(hid.OpenHid(), 1);
        EXPECT_EQ(bus.OpenHandleCount(), 2u);
        EXPECT_EQ(bus.ActiveRegistrations(), 1);
    }
    EXPECT_EQ(bus.OpenHandleCount(), 0u);
    EXPECT_EQ(bus.ActiveRegistrations(), 0);
}

TEST_F(HidTest, ShortWriteLeavesEarlierBytesBehindIt)
{
    auto dev = bus.Plug(Device(u"dev", 0x0483, 0x5750));
    CHid hid(bus);
    ASSERT_EQ(hid.ProbeHid(), 1);
    ASSERT_EQ(hid.OpenHid(), 1);
    std::uint8_t longMessage[20];
    std::memset(longMessage, 0xAA, sizeof longMessage);
    const std::uint8_t shortMessage[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_NE(hid.WriteHid(longMessage, 20), 0);
    ASSERT_NE(hid.WriteHid(shortMessage, 6), 0);
    auto log = bus.OutputLog(dev);
    ASSERT_EQ(log.size(), 2u);
    const HidReport& r = log[1];
    EXPECT_EQ(r[0], 0);
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(r[i], i);
    for (int i = 7; i <= 20; ++i)
        EXPECT_EQ(r[i], 0xAA) << i;
    for (int i = 21; i <= 64; ++i)
        EXPECT_EQ(r[i], 0) << i;
}

TEST_F(HidTest, WriteOnClosedLinkFailsButUpdatesReportOut)
{
    CHid hid(bus);
    const std::uint8_t message[3] = {9, 8, 7};
    EXPECT_EQ(hid.WriteHid(message, 3), 0);
    EXPECT_EQ(hid.ReportOut[1], 9);
    EXPECT_EQ(hid.ReportOut[3], 7);
}

TEST_F(HidTest, ReadBeforeOpenReturns128AndLeavesDestination)
{
    CHid hid(bus);
    std::uint8_t destination[64];
    std::memset(destination, 0x5C, sizeof destination);
    EXPECT_EQ(hid.ReadHid(destination, 64), kReadNotOpen);
    for (std::uint8_t b : destination)
        EXPECT_EQ(b, 0x5C);
}

TEST_F(HidTest, ReadDeliversBytesOneToSixtyFour)
{
    auto dev = bus.Plug(Device(u"dev", 0x0483, 0x5750));
    CHid hid(bus);
    ASSERT_EQ(hid.ProbeHid(), 1);
    ASSERT_EQ(hid.OpenHid(), 1);
    HidReport report;
    for (std::size_t i = 0; i < report.size(); ++i)
        report[i] = static_cast<std::uint8_t>(0x80 + i);
    bus.InjectInput(dev, report, 50);
    std::uint8_t destination[64] = {};
    EXPECT_EQ(hid.ReadHid(destination, 64), kReadOk);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(destination[i], report[i + 1]) << i;
}

TEST_F(HidTest, OpenSetsReadTimeoutTo200)
{
    bus.Plug(Device(u"dev", 0x0483, 0x5750));
    CHid hid(bus);
    EXPECT_EQ(hid.m_ReadTimeout, 10u);
    ASSERT_EQ(hid.ProbeHid(), 1);
    ASSERT_EQ(hid.OpenHid(), 1);
    EXPECT_EQ(hid.m_ReadTimeout, 200u);
    const std::uint64_t before = clock.NowMs();
    std::uint8_t destination[64] = {};
    EXPECT_EQ(hid.ReadHid(destination, 64), kReadTimeout);
    EXPECT_EQ(clock.NowMs() - before, 200u);
}

TEST(HidRealClockTest, TimeoutTakesAboutTheReadTimeoutAndLeavesDestination)
{
    VirtualHidBus bus(SystemClock::Instance());
    bus.Plug(SimDeviceConfig{u"dev", 0x0483, 0x5750, nullptr});
    CHid hid(bus);
    ASSERT_EQ(hid.ProbeHid(), 1);
    ASSERT_EQ(hid.OpenHid(), 1);
    std::uint8_t destination[64];
    std::memset(destination, 0x33, sizeof destination);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(hid.ReadHid(destination, 64), kReadTimeout);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(195));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    for (std::uint8_t b : destination)
        EXPECT_EQ(b, 0x33);
}

struct OpenFailureCase {
    HidOpenMode refused;
    bool writeHandleOpen;
};

class OpenFailureTest : public HidTest, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailureTest, OpenFailsAtEitherStep)
{
    auto dev = bus.Plug(Device(u"dev", 0x0483, 0x5750));
    CHid hid(bus);
    ASSERT_EQ(hid.ProbeHid(), 1);
    bus.SetRefuseOpen(dev, GetParam().refused, true);
    EXPECT_EQ(hid.OpenHid(), 0);
    EXPECT_EQ(hid.m_ReadHandle, kInvalidHidHandle);
    EXPECT_EQ(hid.m_WriteHandle != kInvalidHidHandle, GetParam().writeHandleOpen);
    std::uint8_t destination[64] = {};
    EXPECT_EQ(hid.ReadHid(destination, 64), kReadNotOpen);
}

INSTANTIATE_TEST_SUITE_P(Steps, OpenFailureTest,
                         ::testing::Values(OpenFailureCase{HidOpenMode::WriteOverlapped, false},
                                           OpenFailureCase{HidOpenMode::ReadOverlapped, true}));

TEST_F(HidTest, UnpluggedControllerIsReportedAsGone)
{
    auto dev = bus.Plug(Device(u"dev", 0x0483, 0x5750));
    CHid hid(bus);
    ASSERT_EQ(hid.ProbeHid(), 1);
    ASSERT_EQ(hid.OpenHid(), 1);
    bus.Unplug(dev);
    std::uint8_t destination[64] = {};
    EXPECT_EQ(hid.ReadHid(destination, 64), kReadDeviceGone);
    EXPECT_TRUE(hid.DeviceGone());
    EXPECT_EQ(hid.WriteHid(destination, 5), 0);
    EXPECT_EQ(hid.LastWriteError(), 1167u);
    EXPECT_EQ(hid.ProbeHid(), 0);
}

}  // namespace
