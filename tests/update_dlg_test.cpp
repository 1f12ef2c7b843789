// The main dialog: start-up, device notifications and the update click, with
// a simulated stream controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "text/text_table.h"
#include "text/wformat.h"
#include "package/package_writer.h"
#include "sim/sim_stream_controller.h"
#include "support/dialog_fixture.h"
#include "support/test_paths.h"

namespace {

const std::u16string kVersionTitleSuffix = u"(ZudoVor V1.40)";

std::u16string TempPath() { return TestFilePath(); }

class UpdateDlg : public DialogFixture {
protected:
    void Plug(std::initializer_list<std::uint32_t> events = {kDbtDeviceArrival})
    {
        id = bus.Plug(MakeSimStreamDevice(device), events);
    }
    std::u16string Package(std::uint32_t desVersion = 150)
    {
        PackageRecordSpec record;
        record.header.desVersion = desVersion;
        record.image = MakeDemoImage(200, 3);
        const auto path = TempPath();
        EXPECT_TRUE(WritePackageFile(path, std::vector<PackageRecordSpec>{record}));
        return path;
    }
    int VersionQueries() const { return device->Count(COMMAND_FRAME, GET_VERSION); }
    int UpdateStarts() const { return device->Count(UPDATE_START); }

    std::shared_ptr<SimStreamController> device = std::make_shared<SimStreamController>();
    VirtualHidBus::DeviceId id = 0;
};

TEST_F(UpdateDlg, StartsWithoutController)
{
    StartDialog();
    EXPECT_FALSE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(view.ControlText(kIdUpdateButton), LoadText(12));
    EXPECT_EQ(view.ControlText(kIdHintLabel), LoadText(14));
    EXPECT_EQ(view.ControlText(kIdDoneLabel), LoadText(4));
    EXPECT_FALSE(view.ControlVisible(kIdDoneLabel));
    EXPECT_EQ(view.ProgressRange(), (std::pair<std::uint16_t, std::uint16_t>{0, 100}));
    EXPECT_EQ(view.ProgressPos(), 0);
    EXPECT_EQ(view.Title(), LoadText(6));
    EXPECT_EQ(dlg->Session().device.cur_devVersion, VersionProbeSentinel);
}

// A controller still asking for image data: every report it gets is first
// answered by a data request.
class StillAskingController final : public ISimDeviceModel {
public:
    explicit StillAskingController(std::shared_ptr<SimStreamController> inner) : m_Inner(std::move(inner)) {}
    void OnOutputReport(const std::uint8_t* report65, SimDevicePort& port) override
    {
        std::uint8_t request[64] = {};
        stream_frame::PutReport(stream_frame::BuildDeviceCommand(SET_FIRMWARE_DATA).View(), request);
        port.SendInput(request);
        m_Inner->OnOutputReport(report65, port);
    }

private:
    std::shared_ptr<SimStreamController> m_Inner;
};

// The dialog waits as after a finished image from the end of its first
// attach on: a data request is then told END_UPDATE, silently.
TEST_F(UpdateDlg, WaitsAsAfterAFinishedImageOnceStarted)
{
    SimDeviceConfig config = MakeSimStreamDevice(device);
    config.model = std::make_shared<StillAskingController>(device);
    id = bus.Plug(config, {});
    StartDialog();
    EXPECT_EQ(device->Count(COMMAND_FRAME, END_UPDATE), 0);
    dlg->OnDeviceChange(kDbtDeviceArrival, 0);
    EXPECT_EQ(device->Count(COMMAND_FRAME, END_UPDATE), 1);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_TRUE(sink.Contains(u"END_UPDATE without an image sent by this update\n"));
}

TEST_F(UpdateDlg, StartsWithControllerAndPlainTitle)
{
    Plug({});
    StartDialog();
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(VersionQueries(), 1) << "the version is read before the dialog shows";
    EXPECT_EQ(dlg->Session().device.cur_devVersion, 140u);
    const auto titles = view.Titles();
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], LoadText(6) + kVersionTitleSuffix);
    EXPECT_EQ(titles[1], LoadText(6));
}

struct ChangeCase {
    const char* name;
    std::uint32_t event;
    bool present;
    bool buttonBefore;
    bool buttonAfter;
    enum { Unchanged, Plain, Version } title;
    bool attaches;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class DeviceChange : public UpdateDlg, public testing::WithParamInterface<ChangeCase> {};

TEST_P(DeviceChange, FollowsTheRuleOfItsCode)
{
    const ChangeCase& c = GetParam();
    Plug({});
    StartDialog();
    if (!c.present)
        bus.Unplug(id, {});
    view.EnableControl(kIdUpdateButton, c.buttonBefore);
    view.SetTitle(u"marker");
    const int queriesBefore = VersionQueries();
    const std::size_t linesBefore = sink.Lines().size();

    EXPECT_TRUE(dlg->OnDeviceChange(c.event, 0));

    EXPECT_EQ(view.ControlEnabled(kIdUpdateButton), c.buttonAfter);
    const std::u16string titles[] = {u"marker", LoadText(6), LoadText(6) + kVersionTitleSuffix};
    EXPECT_EQ(view.Title(), titles[c.title]);
    EXPECT_EQ(VersionQueries() - queriesBefore, c.attaches ? 1 : 0);
    const auto lines = sink.Lines();
    const bool removalLine = std::find(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore),
                                       lines.end(), LoadText(6)) != lines.end();
    EXPECT_EQ(removalLine, (c.event & 0xFFFF) == 0x8004 && !c.present);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DeviceChange,
    testing::Values(
        ChangeCase{"NodesChangedPresent", 0x0007, true, false, true, ChangeCase::Version, true},
        ChangeCase{"NodesChangedAbsent", 0x0007, false, true, false, ChangeCase::Plain, false},
        ChangeCase{"ArrivalPresent", 0x8000, true, false, true, ChangeCase::Version, true},
        ChangeCase{"ArrivalAbsent", 0x8000, false, true, true, ChangeCase::Unchanged, false},
        ChangeCase{"RemovalPresent", 0x8004, true, false, false, ChangeCase::Unchanged, false},
        ChangeCase{"RemovalAbsent", 0x8004, false, true, false, ChangeCase::Plain, false},
        ChangeCase{"HighBitsIgnored", 0x12348000, true, false, true, ChangeCase::Version, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateDlg, OtherEventCodesDoNotProbe)
{
    Plug({});
    StartDialog();
    view.SetTitle(u"marker");
    const int fetches = bus.PathFetchCount();
    for (std::uint32_t code : {0x0000u, 0x0018u, 0x8001u, 0x8003u, 0x8006u, 0x0007FFFFu})
        EXPECT_TRUE(dlg->OnDeviceChange(code, 0));
    EXPECT_EQ(bus.PathFetchCount(), fetches);
    EXPECT_EQ(VersionQueries(), 1);
    EXPECT_EQ(view.Title(), u"marker");
}

TEST_F(UpdateDlg, PluggingAndUnpluggingFollowTheController)
{
    StartDialog();
    RouteNotificationsToDialog();
    Plug();
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(view.Title(), LoadText(6) + kVersionTitleSuffix);
    bus.Unplug(id);
    EXPECT_FALSE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(view.Title(), LoadText(6));
}

TEST_F(UpdateDlg, ClickWhoseLinkWillNotOpenOnlyHidesTheDoneLabel)
{
    Plug({});
    StartDialog();
    view.ShowControl(kIdDoneLabel, true);
    bus.SetRefuseOpen(id, HidOpenMode::WriteOverlapped, true);
    const auto positions = view.ProgressPositions();
    dlg->OnUpdateClicked();
    EXPECT_FALSE(dlg->WorkerActive());
    EXPECT_FALSE(view.ControlVisible(kIdDoneLabel));
    EXPECT_EQ(view.ProgressPositions(), positions);
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(UpdateStarts(), 0);
}

TEST_F(UpdateDlg, DoneLabelStaysUntilTheNextClick)
{
    Plug({});
    StartDialog();
    view.QueueFile(Package());
    view.QueueMessageAnswer(kIdOk);
    ClickAndWait();
    EXPECT_TRUE(view.ControlVisible(kIdDoneLabel));
    dlg->OnDeviceChange(kDbtDevNodesChanged, 0);
    EXPECT_TRUE(view.ControlVisible(kIdDoneLabel));
    view.QueueFile(std::nullopt);
    ClickAndWait();
    EXPECT_FALSE(view.ControlVisible(kIdDoneLabel));
}

TEST_F(UpdateDlg, NotificationDuringUpdateAttachesTheReenumeratedController)
{
    Plug({});
    StartDialog();
    RouteNotificationsToDialog();
    int queriesDuringUpdate = -1;
    view.OnMessageBox([&](const ShownMessage& m) {
        if (m.text != u"\n Firmware upgraded! \n")
            return;
        // The controller restarts with its new firmware while the user reads.
        bus.Unplug(id);
        Plug();
        queriesDuringUpdate = VersionQueries();
    });
    view.QueueFile(Package(150));
    view.QueueMessageAnswer(kIdOk);
    ClickAndWait();
    EXPECT_EQ(queriesDuringUpdate, 1) << "no version query while the worker owns the link";
    EXPECT_EQ(VersionQueries(), 2);
    EXPECT_EQ(view.Title(), LoadText(6) + u"(ZudoVor V1.50)");
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
}

TEST_F(UpdateDlg, SecondClickDuringAnUpdateStartsNothing)
{
    Plug({});
    StartDialog();
    view.OnMessageBox([&](const ShownMessage& m) {
        if (m.buttons == MessageButtons::OkCancel)
            dlg->OnUpdateClicked();
    });
    view.QueueFile(Package());
    view.QueueMessageAnswer(kIdOk);
    ClickAndWait();
    EXPECT_EQ(UpdateStarts(), 1);
    EXPECT_EQ(view.FileRequests().size(), 1u);
    EXPECT_TRUE(device->Installed());
}

TEST_F(UpdateDlg, ClosingDuringAnUpdateEndsTheWorkerQuietly)
{
    Plug({});
    StartDialog();
    std::atomic<bool> confirming{false};
    // The user closes the dialog while the confirmation is still open.
    view.OnMessageBox([&](const ShownMessage& m) {
        if (m.buttons != MessageButtons::OkCancel || m.text == LoadText(2))
            return;
        confirming = true;
        while (!dlg->Session().StopRequested())
            std::this_thread::yield();
    });
    view.QueueFile(Package());
    view.QueueMessageAnswer(kIdOk);
    dlg->OnUpdateClicked();
    while (!confirming)
        std::this_thread::yield();
    EXPECT_TRUE(dlg->OnCloseRequested());
    EXPECT_FALSE(dlg->WorkerActive());
    const auto messages = view.Messages();
    ASSERT_EQ(messages.size(), 2u) << "the confirmation and the question to stop, nothing after";
    EXPECT_EQ(messages[1].text, LoadText(2));
    EXPECT_TRUE(sink.Contains(u"Exit Usb_UpdateThread\n"));
    EXPECT_EQ(device->Count(COMMAND_FRAME, START_UPDATE), 0) << "no transfer begins";
    EXPECT_FALSE(device->Installed());
}

}  // namespace
