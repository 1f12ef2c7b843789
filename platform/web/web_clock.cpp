#include "platform/web/web_clock.h"

#include <emscripten.h>

#include "platform/web/web_host.h"

std::uint64_t WebClock::NowMs() { return static_cast<std::uint64_t>(emscripten_get_now()); }

bool WebClock::SleepMs(std::uint32_t ms, const StopSignal& stop)
{
    if (stop.Requested())
        return false;
    return web_sleep(ms) != 0 && !stop.Requested();
}

namespace {

class WebWait final : public IClockWait {
public:
    explicit WebWait(WebClock& clock) : m_Clock(clock) {}
    void Notify() override {}
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::uint64_t deadlineMs) override
    {
        const std::uint64_t now = m_Clock.NowMs();
        if (deadlineMs <= now)
            return;
        lock.unlock();
        web_sleep(static_cast<std::uint32_t>(deadlineMs - now));
        lock.lock();
    }

private:
    WebClock& m_Clock;
};

}  // namespace

std::unique_ptr<IClockWait> WebClock::MakeWait() { return std::make_unique<WebWait>(*this); }
