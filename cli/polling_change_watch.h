#pragma once
// Device changes by listing the bus at an interval and comparing: for a
// platform whose notifications need a window the console program does not
// have (Windows: a bounded SetupAPI poll). The thread sleeps between lists
// and its sleep ends at once when the watch is released.
#include <cstdint>
#include <functional>
#include <memory>

#include "hid/hid_backend.h"

inline constexpr std::uint32_t kDevicePollMs = 500;

// Calls onChange (on the watch's thread) whenever the list of interfaces
// differs from the last one, until the result is released.
std::shared_ptr<void> WatchByPolling(IHidBackend& backend, std::function<void()> onChange,
                                     std::uint32_t intervalMs = kDevicePollMs);
