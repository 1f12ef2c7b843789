#pragma once
// The longest a whole update of a simulated controller may take on the fake
// clock, from the host's time-outs and retry counts as a reader of the
// protocols states them: written out here, not taken from the host, so that
// a changed wait shows up. The fault matrix and the whole-update fuzz target
// judge every run by it.
#include <cstddef>
#include <cstdint>

#include "block/block_device_types.h"

namespace update_bound {

constexpr std::uint64_t kPollMs = 10;
constexpr std::uint64_t kWriteWindowMs = 100 * kPollMs;
constexpr std::uint64_t kBlockTries = 5;
constexpr std::uint64_t kEraseSettleMs = 1000;
constexpr std::uint64_t kEraseResendMs = kEraseSettleMs + 3 * (kPollMs + 200);
constexpr std::uint64_t kErasePollMs = kEraseSettleMs + 20 * (kPollMs + 500);
constexpr std::uint64_t kStreamSilenceMs = 10000;
// Reads that overshoot, queued reports dropped before a request.
constexpr std::uint64_t kSlackMs = 100;

// A request sent up to `sends` times for `span` ms in all, then the drain of
// answers its other sends may still get (at most the span and a window more).
constexpr std::uint64_t WithDrain(std::uint64_t span) { return span + span + kWriteWindowMs; }

// Stream: `reports` output reports, `injectedMs` of delays added to answers.
constexpr std::uint64_t StreamUpdateMs(std::size_t reports, std::uint64_t injectedMs)
{
    return kStreamSilenceMs + injectedMs + reports * kPollMs + kSlackMs;
}

// Block: an image of `blocks` blocks to a device of deviceType; every wait
// there is bounded by its tries, whatever the faults.
constexpr std::uint64_t BlockUpdateMs(std::uint32_t deviceType, std::uint64_t blocks)
{
    const bool special = IsSpecialDeviceType(deviceType);
    const std::uint64_t erase = special ? kErasePollMs : WithDrain(kEraseResendMs);
    const std::uint64_t block = WithDrain(kBlockTries * kWriteWindowMs);
    const std::uint64_t version = (special ? kErasePollMs : 0) + kWriteWindowMs;
    return erase + blocks * block + version + kPollMs + kSlackMs;
}

}  // namespace update_bound
