#include "cli/interrupt_signal.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> g_Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int signalNumber)
{
    g_Interrupted.store(true);
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
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}
#else
void InstallInterruptHandlers()
{
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
#endif

bool InterruptRequested() { return g_Interrupted.load(); }
