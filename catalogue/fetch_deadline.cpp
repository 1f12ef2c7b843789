#include <algorithm>
#include <limits>

#include "catalogue/fetcher.h"

std::uint32_t FetchDeadlineMs(std::size_t maxBytes, std::uint32_t stallTimeoutMs)
{
    constexpr std::uint64_t kMsPerS = 1000;
    const std::uint64_t perBytes = (std::uint64_t{maxBytes} + kSlowestHonestBytesPerS - 1) / kSlowestHonestBytesPerS;
    const std::uint64_t ms = std::uint64_t{kDeadlineStallLimits} * stallTimeoutMs + perBytes * kMsPerS;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, std::numeric_limits<std::uint32_t>::max()));
}

FetchResult PastDeadline(const FetchLimits& limits)
{
    FetchResult result;
    result.problem = FetchProblem::PastDeadline;
    result.deadlineMs = limits.deadlineMs;
    return result;
}
