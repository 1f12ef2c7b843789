// Device changes found by listing the bus: each plug and unplug is noticed
// within a few intervals, and releasing the watch ends its thread at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cli/polling_change_watch.h"
#include "sim/virtual_hid_bus.h"

TEST(PollingChangeWatch, NoticesPlugAndUnplugAndStopsAtOnce)
{
    VirtualHidBus bus(SystemClock::Instance());
    std::atomic<int> changes{0};
    auto waitFor = [&](int count) {
        for (int i = 0; i < 200 && changes.load() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return changes.load();
    };
    auto watch = WatchByPolling(bus, [&] { ++changes; }, 20);
    const auto id = bus.Plug({u"sim/a", 0x0483, 0x5750, nullptr}, {});
    EXPECT_EQ(waitFor(1), 1);
    bus.Unplug(id, {});
    EXPECT_EQ(waitFor(2), 2);
    const auto start = std::chrono::steady_clock::now();
    watch.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}
