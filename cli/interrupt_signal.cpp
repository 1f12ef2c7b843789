#include "cli/interrupt_signal.h"

#include <atomic>
#include <csignal>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

std::atomic<bool> g_Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#if defined(_WIN32)
// Set from the handler's thread (the runtime runs SIGINT on its own thread).
HANDLE WakeEvent()
{
    static HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}
void Wake() { SetEvent(WakeEvent()); }
#else
// A pipe the handler writes one byte to: write(2) is safe in a handler.
int g_WakePipe[2] = {-1, -1};
void Wake()
{
    if (g_WakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = write(g_WakePipe[1], &byte, 1);
    }
}
#endif

extern "C" void OnInterrupt(int signalNumber)
{
    g_Interrupted.store(true);
    Wake();
#if defined(_WIN32)
    // The Windows runtime resets a handler before calling it.
    std::signal(signalNumber, OnInterrupt);
#else
    (void)signalNumber;
#endif
}

}  // namespace

#if defined(_WIN32)
void InstallInterruptHandlers()
{
    WakeEvent();
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}
#else
void InstallInterruptHandlers()
{
    if (g_WakePipe[0] < 0 && pipe(g_WakePipe) == 0)
        for (int fd : g_WakePipe)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
#endif

bool InterruptRequested() { return g_Interrupted.load(); }

void WakeInterruptWaiter() { Wake(); }

#if defined(_WIN32)
bool WaitForInterrupt(std::uint32_t timeoutMs)
{
    if (!InterruptRequested())
        WaitForSingleObject(WakeEvent(), timeoutMs);
    return InterruptRequested();
}
#else
bool WaitForInterrupt(std::uint32_t timeoutMs)
{
    if (InterruptRequested())
        return true;
    // Without the pipe (none could be made) it still sleeps the whole time.
    pollfd waiting{g_WakePipe[0], POLLIN, 0};
    if (poll(&waiting, g_WakePipe[0] < 0 ? 0 : 1, static_cast<int>(timeoutMs)) > 0) {
        char drained[16];
        while (read(g_WakePipe[0], drained, sizeof drained) > 0) {
        }
    }
    return InterruptRequested();
}
#endif
