// Which plug-ins the station takes: each once, a re-enumeration after an
// update is the same unit, a failure is retried only after a re-plug.
#include <gtest/gtest.h>

#include <optional>

#include "station/unit_ledger.h"

namespace {

AttachedUnit Unit(const std::string& port, const std::string& serial = "")
{
    AttachedUnit unit;
    unit.path = u"/dev/x";
    unit.identity.port = port;
    unit.identity.serial = serial;
    return unit;
}

std::vector<std::string> Keys(const std::vector<AttachedUnit>& units)
{
    std::vector<std::string> keys;
    for (const AttachedUnit& unit : units)
        keys.push_back(unit.Key());
    return keys;
}

}  // namespace

TEST(UnitLedger, TakesEachPlugInOnce)
{
    UnitLedger ledger;
    const AttachedUnit a = Unit("1-1"), b = Unit("1-2", "S2");
    EXPECT_EQ(Keys(ledger.Reconcile({a, b, b}, 0)), Keys({a, b})) << "two interfaces of one unit";
    EXPECT_TRUE(ledger.Reconcile({a, b}, 10).empty());
    EXPECT_EQ(ledger.Running(), 2u);
    ledger.Finished(a.Key(), UnitOutcome::UpToDate, 20);
    EXPECT_TRUE(ledger.Reconcile({a, b}, 30).empty()) << "a unit left alone stays alone while plugged in";
    EXPECT_EQ(ledger.Running(), 1u);
    // Another serial on the same port is another unit.
    EXPECT_EQ(Keys(ledger.Reconcile({a, b, Unit("1-1", "X")}, 40)), Keys({Unit("1-1", "X")}));
}

// Back within the window, a controller is asked its version: the same unit
// only when it runs the one it was given; anything else is a new plug-in.
// It may restart before its run is booked, and be back by then or not yet.
TEST(UnitLedger, AControllerBackAfterAnUpdateIsTheSameUnitOnlyWhenItProvesIt)
{
    constexpr std::uint32_t kGiven = 140;
    enum class During { Stayed, GoneAndBack, StillGone };  // while its run went on
    struct Case {
        const char* name;
        During during;
        std::uint64_t backAfterMs;
        std::optional<bool> proofSame;  // none: taken without a proof
        bool taken;
    };
    constexpr std::uint64_t kWindow = kReEnumerationWindowMs;
    for (const Case c : {Case{"back at once, proven", During::Stayed, 100, true, false},
                         Case{"restarted before the run ended, proven", During::GoneAndBack, 0, true, false},
                         Case{"still away when the run ended, proven", During::StillGone, 100, true, false},
                         Case{"back just inside the window, proven", During::Stayed, kWindow - 1, true, false},
                         Case{"another controller swapped in", During::Stayed, 600, false, true},
                         Case{"swapped in before the run ended", During::GoneAndBack, 0, false, true},
                         Case{"back as the window ends: a new plug-in", During::Stayed, kWindow, {}, true}}) {
        UnitLedger ledger;
        const AttachedUnit a = Unit("1-1");
        ledger.Reconcile({a}, 0);
        if (c.during != During::Stayed)
            ledger.Reconcile({}, 5);
        if (c.during == During::GoneAndBack)
            ledger.Reconcile({a}, 6);
        ledger.Finished(a.Key(), UnitOutcome::Updated, 10, kGiven);
        ledger.Reconcile({}, 20);
        bool taken = !ledger.Reconcile({a}, 20 + c.backAfterMs).empty();
        const auto returning = ledger.TakeReturning();
        ASSERT_EQ(returning.size(), c.proofSame ? 1u : 0u) << c.name;
        if (c.proofSame) {
            EXPECT_EQ(returning[0].givenVersion, kGiven) << c.name;
            taken = ledger.ProofDone(a.Key(), *c.proofSame);
        }
        EXPECT_EQ(taken, c.taken) << c.name;
        EXPECT_EQ(ledger.Running(), c.taken ? 1u : 0u) << c.name;
    }
}

TEST(UnitLedger, FailedOrRefusedUnitsAreTakenAgainOnlyAfterAReplug)
{
    for (const UnitOutcome outcome : {UnitOutcome::Failed, UnitOutcome::Refused, UnitOutcome::UpToDate}) {
        UnitLedger ledger;
        const AttachedUnit a = Unit("2-4");
        ledger.Reconcile({a}, 0);
        ledger.Finished(a.Key(), outcome, 10);
        EXPECT_TRUE(ledger.Reconcile({a}, 20'000).empty()) << OutcomeName(outcome);
        ledger.Reconcile({}, 20'001);
        EXPECT_EQ(ledger.Reconcile({a}, 20'002).size(), 1u) << OutcomeName(outcome);
    }
}

TEST(UnitLedger, AUnitReplugedWhileItsUpdateFailsIsTakenAgain)
{
    UnitLedger ledger;
    const AttachedUnit a = Unit("3-1");
    ledger.Reconcile({a}, 0);
    ledger.Reconcile({}, 5);   // pulled mid-update
    ledger.Reconcile({a}, 7);  // and back before the session noticed
    ledger.Finished(a.Key(), UnitOutcome::Failed, 9);
    EXPECT_EQ(ledger.Reconcile({a}, 10).size(), 1u);
    // Pulled and not back: gone, and the next plug-in is new.
    ledger.Reconcile({}, 11);
    ledger.Finished(a.Key(), UnitOutcome::Failed, 12);
    EXPECT_EQ(ledger.Reconcile({a}, 13).size(), 1u);
}
