// The version query run when a stream controller is attached.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "text/text_table.h"
#include "sim/sim_stream_controller.h"
#include "stream/stream_frame.h"
#include "support/dialog_fixture.h"

namespace {

using Report64 = std::array<std::uint8_t, 64>;

Report64 ReportOf(const stream_frame::Frame& frame)
{
    Report64 r{};
    stream_frame::PutReport(frame.View(), r.data());
    return r;
}

// Answers GET_VERSION (or UPDATE_START) with a fixed run of reports, or
// leaves the bus.
class ScriptedController final : public ISimDeviceModel {
public:
    ScriptedController(std::vector<Report64> answers, bool unplug = false, bool onStart = false)
        : m_Answers(std::move(answers)), m_Unplug(unplug), m_OnStart(onStart)
    {
    }
    void OnOutputReport(const std::uint8_t* report65, SimDevicePort& port) override
    {
        const auto frame = stream_frame::ReportFrame(report65 + 1);
        const bool start = frame[stream_frame::kType] == UPDATE_START;
        const bool query = frame[stream_frame::kType] == COMMAND_FRAME &&
                           frame[stream_frame::kCommand] == GET_VERSION;
        if (!(m_OnStart ? start : query))
            return;
        if (m_Unplug)
            port.Unplug();
        for (const auto& answer : m_Answers)
            port.SendInput(answer.data());
    }

private:
    std::vector<Report64> m_Answers;
    bool m_Unplug;
    bool m_OnStart;
};

class StreamAttach : public DialogFixture {
protected:
    // Plugs the controller into a running dialog, as a user would.
    void PlugIntoDialog(std::shared_ptr<ISimDeviceModel> model)
    {
        StartDialog();
        RouteNotificationsToDialog();
        id = bus.Plug(SimDeviceConfig{u"\\\\?\\hid#vid_0483&pid_5750#1", 0x0483, 0x5750,
                                      std::move(model)});
    }
    VirtualHidBus::DeviceId id = 0;
};

struct TitleCase {
    const char* name;
    std::uint32_t version;
    const char16_t* suffix;
};

void PrintTo(const TitleCase& c, std::ostream* os) { *os << c.name; }

class StreamVersionTitle : public StreamAttach, public testing::WithParamInterface<TitleCase> {};

TEST_P(StreamVersionTitle, ShowsTheVersionAfterTextSix)
{
    const TitleCase& c = GetParam();
    SimStreamConfig config;
    config.versionWord = c.version;
    PlugIntoDialog(std::make_shared<SimStreamController>(config));
    EXPECT_EQ(view.Title(), LoadText(6) + c.suffix);
    EXPECT_EQ(dlg->Session().device.cur_devVersion, c.version);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
}

INSTANTIATE_TEST_SUITE_P(
    Versions, StreamVersionTitle,
    testing::Values(TitleCase{"Release137", 137, u"(ZudoVor V1.37)"},
                    TitleCase{"Beta2Of137", (2u << 16) | 137, u"(ZudoVor V1.37 beta2)"},
                    TitleCase{"Release1000", 1000, u"(ZudoVor V10.00)"},
                    TitleCase{"Zero", 0, u"(ZudoVor V0.00)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamAttach, NoFirmwareShowsTheInstructionsAndLeavesTheTitle)
{
    SimStreamConfig config;
    config.versionWord = 0xFFFFFFFF;
    PlugIntoDialog(std::make_shared<SimStreamController>(config));
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].text, LoadText(14));
    EXPECT_EQ(view.Title(), LoadText(6));
    EXPECT_EQ(dlg->Session().device.cur_devVersion, 0xFFFFFFFFu);
    EXPECT_TRUE(sink.Contains(u"cur_devVersion 0xffffffff\n"));
}

TEST_F(StreamAttach, SilentControllerIsGivenUpAfterThreeSeconds)
{
    SimStreamConfig config;
    config.silent = true;
    auto device = std::make_shared<SimStreamController>(config);
    StartDialog();
    RouteNotificationsToDialog();
    const auto before = clock.NowMs();
    id = bus.Plug(MakeSimStreamDevice(device));
    const auto waited = clock.NowMs() - before;
    EXPECT_GE(waited, 3000u);
    EXPECT_LT(waited, 3200u);
    EXPECT_EQ(device->Count(READ_FAILED), 15);
    EXPECT_TRUE(sink.Contains(u"GET_VERSION: no reply\n"));
    EXPECT_TRUE(sink.Contains(u"recv() failed with error code 0x102\n"));
    EXPECT_EQ(dlg->Session().device.cur_devVersion, VersionProbeSentinel);
    EXPECT_EQ(view.Title(), LoadText(6));
    EXPECT_TRUE(view.Messages().empty());
}

TEST_F(StreamAttach, ReportsOutsideTheProtocolAreIgnored)
{
    using namespace stream_frame;
    Report64 wrongLead = ReportOf(BuildVersionReply(500));
    wrongLead[1 + kLead] = 0x01;
    Report64 otherType = ReportOf(BuildVersionReply(501));
    otherType[1 + kType] = 0x17;
    const Report64 otherCommand = ReportOf(BuildDeviceCommand(9));
    Report64 identityWrongLead = ReportOf(BuildIdentity({2, 0, 0}));
    identityWrongLead[1 + kLead] = 0x05;
    PlugIntoDialog(std::make_shared<ScriptedController>(std::vector<Report64>{
        wrongLead, otherType, otherCommand, identityWrongLead, ReportOf(BuildVersionReply(137))}));
    EXPECT_EQ(dlg->Session().device.cur_devVersion, 137u);
    EXPECT_EQ(view.Title(), LoadText(6) + u"(ZudoVor V1.37)");
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(sink.Count(u"cur_devVersion 0x89\n"), 1);
}

// A data request when no image was sent (at attach, or right after the
// update click) still gets END_UPDATE, which the controller may rely on,
// but never the success box; after the click it is a failure.
TEST_F(StreamAttach, DataRequestWithoutAnImageGetsEndUpdateButNoSuccess)
{
    using namespace stream_frame;
    const std::vector<std::uint8_t> endUpdate{0x00, 0x05, 0x00, 0x16, 0x01, 0x00, 0x02};
    for (const bool atClick : {false, true}) {
        SCOPED_TRACE(atClick ? "after the click" : "at attach");
        const std::vector<Report64> attachAnswers{ReportOf(BuildDeviceCommand(SET_FIRMWARE_DATA)),
                                                  ReportOf(BuildVersionReply(140))};
        const std::vector<Report64> startAnswers{ReportOf(BuildDeviceCommand(SET_FIRMWARE_DATA))};
        PlugIntoDialog(std::make_shared<ScriptedController>(
            atClick ? startAnswers : attachAnswers, false, atClick));
        if (atClick)
            ClickAndWait();
        const auto log = bus.OutputLog(id);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(std::vector<std::uint8_t>(log.back().begin(), log.back().begin() + 7), endUpdate);
        const auto messages = view.Messages();
        if (atClick) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, LoadText(7) + u"\n");
        } else {
            EXPECT_TRUE(messages.empty());
        }
        EXPECT_FALSE(view.ControlVisible(kIdDoneLabel));
        EXPECT_TRUE(view.FileRequests().empty());
        bus.Unplug(id, {});
        dlg.reset();
    }
}

TEST_F(StreamAttach, ControllerLeavingDuringTheQueryEndsItAtOnce)
{
    StartDialog();
    const auto before = clock.NowMs();
    id = bus.Plug(SimDeviceConfig{u"leaving", 0x0483, 0x5750,
                                  std::make_shared<ScriptedController>(std::vector<Report64>{}, true)},
                  {});
    dlg->OnDeviceChange(kDbtDeviceArrival, 0);
    EXPECT_LT(clock.NowMs() - before, 500u);
    EXPECT_EQ(dlg->Session().device.cur_devVersion, VersionProbeSentinel);
    EXPECT_TRUE(sink.Contains(u"GET_VERSION: no reply\n"));
}

TEST_F(StreamAttach, LinkThatWillNotOpenSkipsTheQuery)
{
    auto device = std::make_shared<SimStreamController>();
    StartDialog();
    id = bus.Plug(MakeSimStreamDevice(device), {});
    bus.SetRefuseOpen(id, HidOpenMode::ReadOverlapped, true);
    dlg->OnDeviceChange(kDbtDeviceArrival, 0);
    EXPECT_EQ(device->Count(COMMAND_FRAME, GET_VERSION), 0);
    EXPECT_EQ(dlg->Session().device.cur_devVersion, VersionProbeSentinel);
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(view.Title(), LoadText(6));
}

}  // namespace
