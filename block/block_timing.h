#pragma once
// The block host's waits and retries, each named once; the spans derived
// from them are computed here, not restated where they are used.
#include <cstdint>

#include "engine/transfer_timing.h"

// A write waits this many polls (reads of the transfer's time-out) for its
// acknowledgement: one try's window.
inline constexpr int kWritePolls = 100;
inline constexpr std::uint64_t kWriteWindowMs = std::uint64_t{kWritePolls} * kTransferReadTimeoutMs;
// A block is sent this many times before the update fails.
inline constexpr int kBlockTries = 5;
// A read request is polled this many times, re-sent after each miss.
inline constexpr int kReadTries = 5;

// An erase: the settle pause, then polls with a re-send (ordinary devices)
// or polls alone (special ones), each followed by its pause.
inline constexpr std::uint32_t kEraseSettleMs = 1000;
inline constexpr int kEraseResendPolls = 3;
inline constexpr std::uint32_t kEraseResendPauseMs = 200;
inline constexpr int kErasePolls = 20;
inline constexpr std::uint32_t kErasePollPauseMs = 500;
