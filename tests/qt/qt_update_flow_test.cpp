// Whole runs of the Qt dialog: an update of each simulated controller family
// clicked and answered like a user would, closing while an update runs, and
// udev events reaching the dialog on the UI thread.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <mutex>
#include <thread>

#include "text/text_table.h"
#include "app/update_dlg.h"
#include "text/wformat.h"
#include "linux/fake_hidraw_system.h"
#include "package/package_writer.h"
#include "platform/linux/hidraw_backend.h"
#include "platform/qt/qt_dialog_view.h"
#include "platform/qt/qt_front_end.h"
#include "qt/modal_script.h"
#include "sim/demo_setup.h"
#include "sim/sim_stream_controller.h"
#include "support/dialog_fixture.h"
#include "protocols/standard_protocols.h"

namespace {

const std::u16string kSuccessBox = u"\n Firmware upgraded! \n";
const std::u16string kStopQuestion = u"The new firmware is updating,and it is turned off";

QString TempFile(const char* name) { return QStringLiteral(UPDATER_TEST_TMPDIR "/") + name; }

class QtUpdateFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
            SetUiLanguage(&language);
        bus.SetNotifier([this](NotifyWindow window, std::uint32_t event) {
            if (window == view.NotifyTarget())
                view.PostDeviceChange(event);
        });
        ticker.setInterval(10);
    }
    void TearDown() override
    {
        bus.SetNotifier({});
        SetUiLanguage(nullptr);
    }
    // Calls step on every tick while the dialog runs; a step that opens a
    // nested loop (a message box) is not entered again meanwhile.
    void EveryTick(std::function<void()> step)
    {
        QObject::connect(&ticker, &QTimer::timeout, [this, step = std::move(step)] {
            if (inStep)
                return;
            inStep = true;
            step();
            inStep = false;
        });
    }
    void Run(CUpdateDlg& dlg)
    {
        view.RunModal(dlg, [this] { ticker.start(); });
        ticker.stop();
    }
    QPushButton* Button() { return view.findChild<QPushButton*>(QStringLiteral("updateButton")); }
    std::vector<std::u16string> BoxTexts() const
    {
        std::vector<std::u16string> texts;
        for (const SeenBox& box : script.Boxes())
            texts.push_back(box.text);
        return texts;
    }
    // A stream controller that goes quiet after the first chunk, so an update
    // keeps running until the dialog is closed; the file dialog and the
    // confirmation are scripted. Null when the package cannot be written.
    std::shared_ptr<SimStreamController> PlugQuietStreamController(const char* name)
    {
        const QString package = TempFile(name);
        if (!WritePackageFile(package.toStdU16String(), DemoStreamPackage()))
            return nullptr;
        SimStreamConfig config;
        config.silentAfterChunks = 1;
        auto device = std::make_shared<SimStreamController>(config);
        bus.Plug(MakeSimStreamDevice(device));
        script.ChooseFile(package);
        script.PressButton(QMessageBox::Ok);  // confirmation
        return device;
    }

    FixedLanguage language{kLangEnUs};
    VirtualHidBus bus{SystemClock::Instance()};
    QtDialogView view;
    ModalScript script;
    QTimer ticker;
    bool inStep = false;
};

struct FamilyCase {
    const char* name;
    DemoKind kind;
    std::vector<PackageRecordSpec> (*package)();
};

void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.name; }

class QtDemoUpdate : public QtUpdateFlow, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(QtDemoUpdate, ClickChooseConfirmAndSucceed)
{
    const QString package = TempFile(GetParam().name) + QStringLiteral(".dat");
    ASSERT_TRUE(WritePackageFile(package.toStdU16String(), GetParam().package()));
    PlugDemoController(bus, GetParam().kind);
    script.ChooseFile(package);
    script.PressButton(QMessageBox::Ok);  // confirmation
    script.PressButton(QMessageBox::Ok);  // success
    CUpdateDlg dlg(bus, view, SystemClock::Instance(), StandardProtocolDrivers());

    bool clicked = false;
    bool doneShown = false;
    int progress = -1;
    bool buttonEnabled = false;
    EveryTick([&] {
        if (!clicked) {
            clicked = Button()->isEnabled();
            if (clicked)
                Button()->click();
            return;
        }
        if (dlg.WorkerActive() || !script.Done())
            return;
        doneShown = view.findChild<QLabel*>(QStringLiteral("doneLabel"))->isVisible();
        progress = view.findChild<QProgressBar*>(QStringLiteral("progressBar"))->value();
        buttonEnabled = Button()->isEnabled();
        const QString shot = QStringLiteral(UPDATER_ARTIFACT_DIR "/qt_dialog_") +
                             QString::fromLatin1(GetParam().name) + QStringLiteral(".png");
        EXPECT_TRUE(view.grab().save(shot));
        view.close();
    });
    Run(dlg);

    EXPECT_EQ(script.UnexpectedWindows(), 0);
    ASSERT_EQ(script.FileDialogs().size(), 1u);
    EXPECT_EQ(script.FileDialogs()[0].nameFilters,
              QStringList{QStringLiteral("File type(*.dat) (*.dat)")});
    ASSERT_EQ(script.Boxes().size(), 2u);
    EXPECT_EQ(script.Boxes()[0].buttons, 2);
    EXPECT_EQ(script.Boxes()[1].text, kSuccessBox);
    EXPECT_EQ(script.Boxes()[1].caption, u"Tarvik Update v2.31");
    EXPECT_TRUE(doneShown);
    EXPECT_EQ(progress, 0);
    EXPECT_TRUE(buttonEnabled);
}

INSTANTIATE_TEST_SUITE_P(Families, QtDemoUpdate,
                         ::testing::Values(FamilyCase{"stream", DemoKind::Stream, &DemoStreamPackage},
                                           FamilyCase{"block", DemoKind::Block, &DemoBlockPackage}),
                         [](const ::testing::TestParamInfo<FamilyCase>& info) { return info.param.name; });

// The controller goes quiet after the first chunk, so the update keeps
// running until the dialog is closed.
TEST_F(QtUpdateFlow, ClosingWhileAnUpdateRunsAsksAndStopsIt)
{
    auto device = PlugQuietStreamController("quiet.dat");
    ASSERT_TRUE(device);
    CUpdateDlg dlg(bus, view, SystemClock::Instance(), StandardProtocolDrivers());

    int phase = 0;
    bool openAfterCancel = false;
    bool runningAfterCancel = false;
    EveryTick([&] {
        if (phase == 0) {
            Button()->click();
            phase = 1;
        } else if (phase == 1 && script.Done() && device->ChunkSizes().size() >= 1) {
            script.PressButton(QMessageBox::Cancel);
            view.close();
            openAfterCancel = view.isVisible();
            runningAfterCancel = dlg.WorkerActive();
            phase = 2;
        } else if (phase == 2) {
            script.PressButton(QMessageBox::Ok);
            phase = 3;
            view.close();
        }
    });
    Run(dlg);

    EXPECT_TRUE(openAfterCancel);
    EXPECT_TRUE(runningAfterCancel);
    EXPECT_FALSE(dlg.WorkerActive());
    EXPECT_EQ(script.UnexpectedWindows(), 0);
    ASSERT_EQ(script.Boxes().size(), 3u);
    EXPECT_EQ(BoxTexts()[1], kStopQuestion);
    EXPECT_EQ(BoxTexts()[2], kStopQuestion);
    EXPECT_EQ(script.Boxes()[2].buttons, 2);
}

// A second close request while the first is being answered (here while its
// question is open) is ignored: it neither asks again nor joins the worker
// a second time.
TEST_F(QtUpdateFlow, AClosingRequestDuringAnotherIsIgnored)
{
    auto device = PlugQuietStreamController("quiet2.dat");
    ASSERT_TRUE(device);
    CUpdateDlg dlg(bus, view, SystemClock::Instance(), StandardProtocolDrivers());

    int phase = 0;
    EveryTick([&] {
        if (phase == 0) {
            Button()->click();
            phase = 1;
        } else if (phase == 1 && script.Done() && device->ChunkSizes().size() >= 1) {
            phase = 2;
            script.PressButton(QMessageBox::Ok);
            QTimer::singleShot(0, &view, [this] { view.reject(); });  // Esc while asking
            view.close();
        }
    });
    Run(dlg);

    EXPECT_EQ(phase, 2);
    EXPECT_FALSE(dlg.WorkerActive());
    EXPECT_EQ(script.UnexpectedWindows(), 0);
    ASSERT_EQ(script.Boxes().size(), 2u);
    EXPECT_EQ(BoxTexts()[1], kStopQuestion);
}

// Records the thread that writes each diagnostic line.
class ThreadRecordingSink final : public IDiagnosticSink {
public:
    ThreadRecordingSink() { SetDiagnosticSink(this); }
    ~ThreadRecordingSink() override { SetDiagnosticSink(nullptr); }
    void Write(const std::u16string& line) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Lines.push_back({line, std::this_thread::get_id()});
    }
    std::optional<std::thread::id> ThreadOf(const std::u16string& line) const
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        for (const auto& [text, thread] : m_Lines)
            if (text == line)
                return thread;
        return std::nullopt;
    }

private:
    mutable std::mutex m_Mutex;
    std::vector<std::pair<std::u16string, std::thread::id>> m_Lines;
};

// The removal rule writes text 6 as a diagnostic line from OnDeviceChange,
// which shows on which thread the event was handled.
TEST_F(QtUpdateFlow, UdevEventsReachTheDialogOnTheUiThread)
{
    FakeHidrawSystem system;
    HidrawBackend backend(system);
    ThreadRecordingSink sink;
    const std::u16string removalLine = LoadText(6);
    bool seen = false;
    EveryTick([&] {
        if (!sink.ThreadOf(removalLine))
            return;
        seen = true;
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    QtRunOptions run;
    run.setNotifier = [&](DeviceEventPoster poster) { backend.SetNotifier(std::move(poster)); };
    run.afterInit = [&] {
        ticker.start();
        system.SendEvent("remove");
    };
    RunQtDialog(backend, SystemClock::Instance(), run);
    ticker.stop();

    ASSERT_TRUE(seen);
    EXPECT_EQ(sink.ThreadOf(removalLine), std::this_thread::get_id());
}

}  // namespace
