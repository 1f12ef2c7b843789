// Device events from the udev monitor thread of the hidraw backend.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "hid/hid.h"
#include "linux/fake_hidraw_system.h"
#include "platform/linux/hidraw_backend.h"

namespace {

// How long to watch for an event that must not come.
constexpr std::chrono::milliseconds kQuietWait{300};

struct Event {
    NotifyWindow window;
    std::uint32_t code;
    bool operator==(const Event&) const = default;
};

class EventLog {
public:
    void Add(NotifyWindow window, std::uint32_t code)
    {
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            m_Events.push_back({window, code});
        }
        m_Changed.notify_all();
    }
    // The events once count have arrived, or what came within the wait.
    std::vector<Event> WaitFor(std::size_t count,
                               std::chrono::milliseconds wait = std::chrono::seconds(3))
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Changed.wait_for(lock, wait, [&] { return m_Events.size() >= count; });
        return m_Events;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::vector<Event> m_Events;
};

class HidrawNotification : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend.SetNotifier([this](NotifyWindow window, std::uint32_t code) { log.Add(window, code); });
    }
    EventLog log;
    FakeHidrawSystem system;
    HidrawBackend backend{system};
};

TEST_F(HidrawNotification, DeliversAddAndRemoveOnly)
{
    const NotifyHandle handle = backend.RegisterNotification(0x102);
    ASSERT_NE(handle, kNoNotifyHandle);
    for (const char* action : {"add", "change", "bind", "remove", "add"})
        system.SendEvent(action);
    EXPECT_EQ(log.WaitFor(3),
              (std::vector<Event>{{0x102, 0x8000}, {0x102, 0x8004}, {0x102, 0x8000}}));
    backend.UnregisterNotification(handle);
}

TEST_F(HidrawNotification, NothingArrivesAfterUnregistering)
{
    const NotifyHandle handle = backend.RegisterNotification(7);
    system.SendEvent("add");
    ASSERT_EQ(log.WaitFor(1).size(), 1u);
    const auto start = std::chrono::steady_clock::now();
    backend.UnregisterNotification(handle);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    system.SendEvent("remove");
    backend.UnregisterNotification(handle);  // a second time does nothing
    EXPECT_EQ(log.WaitFor(2, kQuietWait).size(), 1u);
}

TEST_F(HidrawNotification, FailedMonitorGivesNoHandle)
{
    system.FailMonitor();
    EXPECT_EQ(backend.RegisterNotification(1), kNoNotifyHandle);
    EXPECT_EQ(backend.LastErrorCode(), static_cast<std::uint32_t>(EPERM));
}

// The link registers at its first probe and stops the thread when it goes;
// a backend going with a registration still made stops it as well.
TEST_F(HidrawNotification, OwnersStopTheThread)
{
    {
        CHid link(backend);
        link.m_NotifyWindow = 9;
        link.ProbeHid();
        system.SendEvent("add");
        ASSERT_EQ(log.WaitFor(1), (std::vector<Event>{{9, 0x8000}}));
    }
    system.SendEvent("add");
    EXPECT_EQ(log.WaitFor(2, kQuietWait).size(), 1u);

    EventLog other;
    {
        HidrawBackend second(system);
        second.SetNotifier([&](NotifyWindow w, std::uint32_t code) { other.Add(w, code); });
        ASSERT_NE(second.RegisterNotification(3), kNoNotifyHandle);
    }
    system.SendEvent("add");
    EXPECT_TRUE(other.WaitFor(1, kQuietWait).empty());
}

}  // namespace
