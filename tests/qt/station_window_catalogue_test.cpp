// The station window fed by a catalogue (the command line's test site,
// catalogue_fixtures.sh, read from its folder): each family gets its own
// package with the trace on its row, a refused catalogue keeps the station
// from starting, and the verify switch reads block units back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/sim_station_fleet.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "platform/qt/station_window.h"

namespace {

const std::string kSite = UPDATER_CATALOGUE_SITE;  // catalogue_fixtures.sh's folder

bool PumpUntil(const std::function<bool()>& done, int ms = 30'000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct Plugged {
    std::string port;
    SimulatedController controller;
    UnitOutcome outcome;
    const char* package;  // the file its row's trace names
};

struct WindowCase {
    const char* name;
    const char* catalogue;  // on the site
    bool verify;
    std::vector<Plugged> units;
    std::vector<QString> logHas;  // besides each unit's line
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

const QString kRefused = StationTexts::For(false).catalogueRefused;

class StationWindowCatalogue : public ::testing::TestWithParam<WindowCase> {};

TEST_P(StationWindowCatalogue, UnitsGetTheCataloguesPackagesOrNoneStart)
{
    const WindowCase& c = GetParam();
    GcryptVerifier crypto;
    const CatalogueServices services{nullptr, &crypto, nullptr};
    SimStationFleet fleet(SystemClock::Instance());
    StationWindowSetup setup;
    setup.backend = &fleet.Backend();
    setup.clock = &SystemClock::Instance();
    setup.describe = fleet.Describer();
    setup.watch = [&](std::function<void()> onChange) {
        fleet.OnChange(std::move(onChange));
        return std::shared_ptr<void>(nullptr, [&](void*) { fleet.OnChange(nullptr); });
    };
    setup.unitEnded = [&](const UnitRecord& r) {
        if (r.outcome == UnitOutcome::Updated)
            fleet.ReEnumerate(r.unit.identity.port);
    };
    setup.package = u"no-package.dat";  // the catalogue stands in for it
    setup.services = &services;
    setup.catalogue.catalogue = kSite + "/site/" + c.catalogue;
    setup.catalogue.trust = {kSite + "/a.pub"};
    setup.verify = c.verify;
    StationWindow window(setup);
    for (const Plugged& unit : c.units)
        fleet.Plug(unit.port, unit.controller);
    window.Start();
    ASSERT_TRUE(window.Running());
    EXPECT_TRUE(window.CatalogueField()->isReadOnly());
    EXPECT_FALSE(window.VerifySwitch()->isEnabled());

    QTableWidget& table = *window.Table();
    const auto finished = [&] {
        int done = 0;
        for (int row = 0; row < table.rowCount(); ++row)
            done += !table.item(row, StationWindow::kBefore)->text().isEmpty();
        return done;
    };
    const auto log = [&] { return window.LogPane()->toPlainText(); };
    if (c.units.empty()) {
        ASSERT_TRUE(PumpUntil([&] { return !window.Running(); }));
    } else {
        ASSERT_TRUE(PumpUntil([&] { return finished() == static_cast<int>(c.units.size()); })) << log().toStdString();
        window.Stop();
        ASSERT_TRUE(PumpUntil([&] { return !window.Running(); }));
    }
    EXPECT_FALSE(window.CatalogueField()->isReadOnly());
    EXPECT_TRUE(window.VerifySwitch()->isEnabled());

    ASSERT_EQ(table.rowCount(), static_cast<int>(c.units.size()));
    const StationTexts texts = StationTexts::For(false);
    for (int row = 0; row < table.rowCount(); ++row) {
        const std::string port = table.item(row, StationWindow::kPort)->text().toStdString();
        const auto unit = std::find_if(c.units.begin(), c.units.end(), [&](const Plugged& u) { return u.port == port; });
        ASSERT_NE(unit, c.units.end()) << port;
        EXPECT_EQ(table.item(row, StationWindow::kOutcome)->text(), texts.Outcome(unit->outcome)) << port;
        const QRegularExpression trace(QStringLiteral("^%1 sha256 [0-9a-f]{64}, catalogue test version \\d+$")
                                           .arg(QRegularExpression::escape(unit->package)));
        EXPECT_TRUE(trace.match(table.item(row, StationWindow::kSource)->text()).hasMatch())
            << port << ": " << table.item(row, StationWindow::kSource)->text().toStdString();
    }
    const QString said = log();
    EXPECT_EQ(said.contains(kRefused), c.units.empty()) << said.toStdString();
    for (const QString& words : c.logHas)
        EXPECT_TRUE(said.contains(words)) << words.toStdString() << " not in\n" << said.toStdString();
}

const Plugged kStream{"1-1", {DemoKind::Stream, ""}, UnitOutcome::Updated, "demo_stream.dat"};
const Plugged kBlock{"1-2", {DemoKind::Block, ""}, UnitOutcome::Updated, "demo_block.dat"};
const Plugged kCorrupt{"1-3", {DemoKind::Block, "corrupt"}, UnitOutcome::Failed, "demo_block.dat"};

INSTANTIATE_TEST_SUITE_P(
    Cases, StationWindowCatalogue,
    ::testing::Values(
        WindowCase{"both_families", "good.json", false, {kStream, kBlock}, {"test version"}},
        WindowCase{"untrusted", "untrusted.json", false, {}, {"signature is not from a trusted key"}},
        WindowCase{"verify", "good.json", true, {kStream, kBlock, kCorrupt},
                   {"verified  [demo_block.dat", "not verified  [demo_stream.dat",
                    "the image read back differs  [demo_block.dat"}}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

}  // namespace
