// The station window offscreen: one row per unit with its outcome's text
// and colour, the counters, and the log pane saved as shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>

#include <filesystem>

#include "cli/sim_station_fleet.h"
#include "package/package_writer.h"
#include "platform/qt/station_window.h"
#include "support/test_paths.h"

namespace {

bool PumpUntil(const std::function<bool()>& done, int ms = 30'000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Runs the test from a folder of its own, restoring the previous one after.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder) : m_Previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(m_Previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::filesystem::path m_Previous;
};

}  // namespace

TEST(StationWindow, RowsCountersAndOutcomeColours)
{
    for (const bool chinese : {false, true}) {
        std::vector<PackageRecordSpec> records = DemoStreamPackage();
        for (const PackageRecordSpec& record : DemoBlockPackage())
            records.push_back(record);
        // The package named as from a user's home folder, so the window (and
        // its screenshot, copied to docs/station.png) shows a path like
        // theirs, not the build tree's.
        const std::filesystem::path home(TestFilePath(chinese ? "_zh" : "_en", ""));
        std::filesystem::create_directories(home / "firmware");
        const WorkingFolder inHome(home);
        const std::u16string package = u"firmware/pad-1.40.dat";
        ASSERT_TRUE(WritePackageFile(package, records));

        SimStationFleet fleet(SystemClock::Instance());
        StationWindowSetup setup;
        setup.backend = &fleet.Backend();
        setup.clock = &SystemClock::Instance();
        setup.describe = fleet.Describer();
        setup.watch = [&](std::function<void()> onChange) {
            fleet.OnChange(std::move(onChange));
            return std::shared_ptr<void>(nullptr, [&](void*) { fleet.OnChange(nullptr); });
        };
        setup.package = package;
        setup.chinese = chinese;
        setup.unitEnded = [&](const UnitRecord& r) {
            if (r.outcome == UnitOutcome::Updated)
                fleet.ReEnumerate(r.unit.identity.port);
        };
        StationWindow window(setup);
        window.show();
        fleet.Plug("1-1", {DemoKind::Block, ""}, "A100");
        fleet.Plug("1-2", {DemoKind::Stream, "current"});
        fleet.Plug("1-3", {DemoKind::Stream, "old"});
        fleet.Plug("1-4", {DemoKind::Stream, "fail"});
        window.Start();
        const auto finishedRows = [&] {
            int finished = 0;
            for (int row = 0; row < window.Table()->rowCount(); ++row)
                finished += window.Table()->item(row, StationWindow::kBefore)->text().size() > 0;
            return finished;
        };
        ASSERT_TRUE(PumpUntil([&] { return finishedRows() == 4; }));
        PumpUntil([] { return false; }, 3 * SimStationFleet::kRestartMs);  // the update's re-enumeration
        EXPECT_EQ(window.Table()->rowCount(), 4) << "a re-enumeration is no new row";

        const StationTexts texts = StationTexts::For(chinese);
        std::map<QString, UnitOutcome> expected = {{"1-1  A100", UnitOutcome::Updated},
                                                   {"1-2", UnitOutcome::UpToDate},
                                                   {"1-3", UnitOutcome::Refused},
                                                   {"1-4", UnitOutcome::Failed}};
        for (int row = 0; row < 4; ++row) {
            const QString port = window.Table()->item(row, StationWindow::kPort)->text();
            ASSERT_TRUE(expected.count(port)) << port.toStdString();
            const QTableWidgetItem* outcome = window.Table()->item(row, StationWindow::kOutcome);
            EXPECT_EQ(outcome->text(), texts.Outcome(expected[port])) << port.toStdString();
            EXPECT_EQ(outcome->background().color(), StationWindow::OutcomeColour(expected[port]));
            EXPECT_FALSE(outcome->icon().isNull());
        }
        StationCounters counters;
        counters.updated = counters.upToDate = counters.refused = counters.failed = 1;
        EXPECT_EQ(window.CountersLabel()->text(), texts.Counters(counters));

        const QString saved = QString::fromStdU16String(TestFilePath(chinese ? "_zh" : "_en", ".log"));
        ASSERT_TRUE(window.SaveLog(saved));
        QFile file(saved);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(file.readAll()).trimmed(), window.LogPane()->toPlainText().trimmed());
        EXPECT_EQ(window.LogPane()->toPlainText().count("\n"), 4) << "a waiting line and four units";
        window.Stop();
        ASSERT_TRUE(PumpUntil([&] { return !window.Running(); }));
        if (!chinese) {
            EXPECT_TRUE(window.grab().save(QStringLiteral(UPDATER_ARTIFACT_DIR "/station_window.png")));
        }
    }
}
