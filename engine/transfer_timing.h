#pragma once
// The link's pace during a transfer, for every protocol.
#include <cstdint>

// The read time-out while a transfer runs: one poll of the controller.
inline constexpr std::uint32_t kTransferReadTimeoutMs = 10;
