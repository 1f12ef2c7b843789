// The station over simulated fleets: each plug-in gets its outcome once,
// re-enumeration after an update is not a new unit, faults stay with their
// unit, and the record matches the counters.
#include <gtest/gtest.h>

#include <random>

#include "station_rig.h"

namespace {

using Outcomes = std::vector<UnitOutcome>;
constexpr UnitOutcome kUpdated = UnitOutcome::Updated;
constexpr UnitOutcome kFailed = UnitOutcome::Failed;

// The fleet's plug-ins spread over this much time.
constexpr std::uint64_t kPlugSpreadMs = 10'000;

std::size_t Total(const std::map<std::string, Outcomes>& expected)
{
    std::size_t total = 0;
    for (const auto& [port, outcomes] : expected)
        total += outcomes.size();
    return total;
}

StationCounters CountLog(const std::vector<UnitRecord>& log)
{
    StationCounters counted;
    for (const UnitRecord& record : log)
        counted.Count(record.outcome);
    return counted;
}

}  // namespace

TEST(StationFleet, ThirtyTwoControllersOfBothFamiliesEachGetTheirOutcomeOnce)
{
    StationRig rig;
    std::map<std::string, Outcomes> expected;
    std::map<std::string, std::string> failedBecause;  // the first failure's reason
    std::mt19937 random(22);
    std::uniform_int_distribution<std::uint64_t> plugAt(0, kPlugSpreadMs);
    const std::uint64_t start = SystemClock::Instance().NowMs();
    for (int i = 0; i < 32; ++i) {
        const std::string port = "1-" + std::to_string(i / 8 + 1) + "." + std::to_string(i % 8 + 1);
        SimulatedController controller{i % 2 ? DemoKind::Block : DemoKind::Stream, ""};
        Outcomes outcomes{kUpdated};
        if (i % 8 == 3) {
            controller.fault = "current";
            outcomes = {UnitOutcome::UpToDate};
        } else if (i == 4 || i == 20) {
            controller.fault = "old";
            outcomes = {UnitOutcome::Refused};
        } else if (i == 6 || i == 22) {
            controller.fault = "fail";
            outcomes = {kFailed};
            failedBecause[port] = "controller-failure";
        } else if (i == 8 || i == 9 || i == 25) {
            rig.pullMidUpdate[port] = controller;
            outcomes = {kFailed, kUpdated};
            failedBecause[port] = "unplugged";
        }
        expected[port] = outcomes;
        const std::string serial = i % 3 ? "SN" + std::to_string(1000 + i) : "";
        rig.fleet.At(start + plugAt(random), [&rig, port, controller, serial] { rig.fleet.Plug(port, controller, serial); });
    }
    rig.Start();
    ASSERT_TRUE(rig.WaitFinished(Total(expected)));
    std::this_thread::sleep_for(kSettle);
    EXPECT_EQ(rig.Stop(), StationEnd::Stopped);

    EXPECT_EQ(rig.OutcomesByPort(), expected);
    const StationCounters& c = rig.counters;
    EXPECT_EQ(c.Finished(), static_cast<int>(Total(expected)));
    EXPECT_EQ(c.running, 0);
    const StationCounters logged = CountLog(rig.log);
    EXPECT_EQ(std::tie(logged.updated, logged.upToDate, logged.failed, logged.refused),
              std::tie(c.updated, c.upToDate, c.failed, c.refused));
    std::map<std::string, std::string> reasons;
    for (const UnitRecord& record : rig.finished) {
        if (record.outcome == kUpdated) {
            EXPECT_EQ(record.versionAfter, 0x8Cu) << record.unit.identity.port;
        }
        if (record.outcome == kFailed)
            reasons.try_emplace(record.unit.identity.port, record.reason);
    }
    EXPECT_EQ(reasons, failedBecause) << "each failure says which it was";
}

TEST(StationFleet, HubFaultsAreEachHandledOnceAndAForeignDeviceIsNeverOpened)
{
    StationRig rig;
    rig.Start();
    const std::uint64_t t = SystemClock::Instance().NowMs() + 50;
    rig.fleet.At(t, [&] { rig.fleet.PlugForeign("2-1.1"); });
    rig.fleet.At(t + 5, [&] { rig.fleet.Plug("2-1.2", {DemoKind::Stream, ""}); });
    rig.fleet.At(t + 12, [&] { rig.fleet.Plug("2-1.3", {DemoKind::Block, ""}); });  // within 10 ms
    rig.fleet.At(t + 20, [&] { rig.fleet.Plug("2-1.4", {DemoKind::Block, ""}); });
    rig.fleet.At(t + 60, [&] { rig.fleet.Unplug("2-1.4"); });  // there for 40 ms
    rig.fleet.At(t + 30, [&] { rig.fleet.Plug("2-1.5", {DemoKind::Stream, "silent"}); });
    // The flicker may count as a unit too, so wait for each of the others by name.
    for (const char* port : {"2-1.2", "2-1.3", "2-1.5"})
        ASSERT_TRUE(rig.WaitFinishedOn(port)) << port;
    std::this_thread::sleep_for(kSettle);
    rig.Stop();

    auto byPort = rig.OutcomesByPort();
    EXPECT_EQ(byPort["2-1.2"], Outcomes{kUpdated});
    EXPECT_EQ(byPort["2-1.3"], Outcomes{kUpdated});
    EXPECT_EQ(byPort["2-1.5"], Outcomes{kFailed}) << "stopped answering";
    for (const UnitRecord& record : rig.finished) {
        if (record.unit.identity.port == "2-1.5") {
            EXPECT_EQ(record.reason, "no-answer");
        }
    }
    EXPECT_LE(byPort["2-1.4"].size(), 1u) << "the flicker is at most one unit";
    EXPECT_EQ(rig.fleet.Opens("2-1.1"), 0);
}

TEST(StationFleet, AFailedLogWriteStopsTakingUnits)
{
    StationRig rig;
    rig.failLogAfter = 1;
    rig.fleet.Plug("3-1", {DemoKind::Stream, "current"});
    rig.Start();
    ASSERT_TRUE(rig.WaitFinished(1));
    rig.fleet.Plug("3-2", {DemoKind::Block, "current"});
    ASSERT_TRUE(rig.WaitFinished(2)) << "the second unit's entry is the first that fails";
    EXPECT_EQ(rig.WaitEnd(), StationEnd::LogFailed);
    rig.fleet.Plug("3-3", {DemoKind::Stream, ""});
    std::this_thread::sleep_for(kSettle);
    EXPECT_EQ(rig.finished.size(), 2u);
    EXPECT_EQ(rig.fleet.Opens("3-3"), 0);
}

TEST(StationFleet, MaxEndsTheStationOnceItsUnitsHaveEnded)
{
    StationRig rig(2);
    for (const char* port : {"4-1", "4-2", "4-3"})
        rig.fleet.Plug(port, {DemoKind::Block, ""});
    rig.Start();
    EXPECT_EQ(rig.WaitEnd(), StationEnd::MaxReached);
    EXPECT_EQ(rig.counters.updated, 2);
}

TEST(StationFleet, AStopEndsRunningUnitsAtASafePoint)
{
    StationRig rig;
    rig.fleet.Plug("5-1", {DemoKind::Stream, "silent"});
    rig.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(rig.Stop(), StationEnd::Stopped);
    ASSERT_EQ(rig.finished.size(), 1u);
    EXPECT_EQ(rig.finished[0].outcome, kFailed);
    EXPECT_EQ(rig.finished[0].reason, "stopped");
}

// A controller on the port of one just updated, within the re-enumeration
// window, is asked its version: the updated one coming back proves itself
// (no second line), a swapped-in one still on the old version is updated.
TEST(StationFleet, ASwappedControllerIsUpdatedAndARestartedOneIsNotCountedTwice)
{
    for (const char* serial : {"", "S"}) {
        StationRig rig;
        rig.fleet.Plug("6-1", {DemoKind::Stream, ""}, serial);
        rig.Start();
        ASSERT_TRUE(rig.WaitFinished(1)) << serial;
        // Its restart into the new firmware comes and goes.
        std::this_thread::sleep_for(std::chrono::milliseconds(SimStationFleet::kRestartMs + 1500));
        ASSERT_EQ(rig.OutcomesByPort()["6-1"], std::vector{kUpdated}) << "restart taken as a unit" << serial;
        rig.fleet.Unplug("6-1");
        rig.fleet.At(SystemClock::Instance().NowMs() + 600,
                     [&rig, serial] { rig.fleet.Plug("6-1", {DemoKind::Stream, ""}, serial); });
        ASSERT_TRUE(rig.WaitFinished(2, 30)) << "the swapped-in controller was missed; serial '" << serial << "'";
        EXPECT_EQ(rig.OutcomesByPort()["6-1"], (std::vector{kUpdated, kUpdated})) << serial;
    }
}
