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

void WebClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable&,
                         std::uint64_t deadlineMs)
{
    const std::uint64_t now = NowMs();
    if (deadlineMs <= now)
        return;
    lock.unlock();
    web_sleep(static_cast<std::uint32_t>(deadlineMs - now));
    lock.lock();
}
