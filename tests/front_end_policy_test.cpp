// The wait object every clock makes, and the deferral of device changes the
// dialog and the page share.
#include <gtest/gtest.h>

#include <thread>

#include "base/clock.h"
#include "engine/device_change_policy.h"
#include "sim/fake_clock.h"

TEST(ClockWait, SystemWaitEndsOnNotifyLongBeforeItsDeadline)
{
    SystemClock& clock = SystemClock::Instance();
    auto wait = clock.MakeWait();
    std::mutex mutex;
    bool ready = false;
    std::thread notifier([&] {
        std::lock_guard<std::mutex> guard(mutex);
        ready = true;
        wait->Notify();
    });
    const std::uint64_t start = clock.NowMs();
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!ready)
            wait->WaitUntil(lock, start + 60'000);
    }
    notifier.join();
    EXPECT_LT(clock.NowMs() - start, 30'000u);
}

TEST(ClockWait, FakeWaitAdvancesToItsDeadlineButNeverBack)
{
    FakeClock clock;
    auto wait = clock.MakeWait();
    std::mutex mutex;
    std::unique_lock<std::mutex> lock(mutex);
    const std::uint64_t start = clock.NowMs();
    wait->WaitUntil(lock, start + 250);
    EXPECT_EQ(clock.NowMs(), start + 250);
    wait->WaitUntil(lock, start + 10);
    EXPECT_EQ(clock.NowMs(), start + 250);
    EXPECT_TRUE(lock.owns_lock());
}

TEST(DeviceChangeDeferral, OneChangeAfterAnUpdateUnlessItStopped)
{
    struct Case {
        int changes;
        bool stopped;
        bool handled;
    };
    for (const Case c : {Case{0, false, false}, Case{1, false, true}, Case{3, false, true},
                         Case{2, true, false}}) {
        DeviceChangeDeferral deferral;
        EXPECT_FALSE(deferral.Defer()) << "nothing runs yet";
        deferral.Begin();
        for (int i = 0; i < c.changes; ++i)
            EXPECT_TRUE(deferral.Defer());
        EXPECT_EQ(deferral.End(c.stopped), c.handled) << c.changes << " changes, stopped " << c.stopped;
        EXPECT_FALSE(deferral.Active());
        deferral.Begin();
        EXPECT_FALSE(deferral.End(false)) << "notes do not outlive their update";
    }
}
