#pragma once
// SIGINT and SIGTERM only raise a flag; the thread waiting for the updates
// turns it into a stop request at their next safe point. The handlers stay
// installed, so a second Ctrl-C is just another raised flag.
#include <cstdint>

// How often a waiting thread looks at the flag.
inline constexpr std::uint32_t kInterruptWatchIntervalMs = 20;

void InstallInterruptHandlers();
bool InterruptRequested();
#include <cstdint>
// Blocks until an interrupt, WakeInterruptWaiter() or timeoutMs; true when
// an interrupt was raised. For one waiting thread; it sleeps, never polls.
bool WaitForInterrupt(std::uint32_t timeoutMs);
// Ends a WaitForInterrupt early without raising anything. Any thread.
void WakeInterruptWaiter();
