#include "cli/polling_change_watch.h"

#include <set>
#include <string>
#include <thread>

#include "base/stop_signal.h"
#include "hid/hid_interfaces.h"

namespace {

class PollingWatch {
public:
    PollingWatch(IHidBackend& backend, std::function<void()> onChange, std::uint32_t intervalMs)
        : m_Backend(backend), m_OnChange(std::move(onChange)), m_IntervalMs(intervalMs)
    {
        m_Last = List();
        m_Thread = std::thread([this] { Run(); });
    }
    ~PollingWatch()
    {
        m_Stop.Request();
        m_Thread.join();
    }

private:
    std::set<std::u16string> List()
    {
        std::set<std::u16string> paths;
        ForEachHidInterface(m_Backend, [&](const std::u16string& path) {
            paths.insert(path);
            return false;
        });
        return paths;
    }
    void Run()
    {
        while (m_Stop.SleepFor(m_IntervalMs)) {
            std::set<std::u16string> now = List();
            if (now != m_Last) {
                m_Last = std::move(now);
                m_OnChange();
            }
        }
    }

    IHidBackend& m_Backend;
    std::function<void()> m_OnChange;
    std::uint32_t m_IntervalMs;
    std::set<std::u16string> m_Last;
    StopSignal m_Stop;
    std::thread m_Thread;
};

}  // namespace

std::shared_ptr<void> WatchByPolling(IHidBackend& backend, std::function<void()> onChange, std::uint32_t intervalMs)
{
    return std::make_shared<PollingWatch>(backend, std::move(onChange), intervalMs);
}
