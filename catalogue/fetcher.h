#pragma once
// Fetching a catalogue, its signature and packages: one backend per platform
// (libcurl on Linux, WinHTTP on Windows; the page uses fetch).
//
// Rules every backend keeps:
// - only http:// and https:// URLs, and a redirect only to one of those
//   (at most kMaxRedirects of them); anything else is BadScheme;
// - a body longer than maxBytes is refused as TooLarge as soon as that is
//   known (Content-Length or the bytes received), never read whole;
// - connecting may take connectTimeoutMs, and the transfer ends as TimedOut
//   when no byte arrives for stallTimeoutMs (counted from the start until
//   the first byte);
// - the whole transfer ends as PastDeadline once deadlineMs has passed
//   since it began, however steadily bytes come (FetchDeadlineMs);
// - a stop request ends the transfer within kStopLatencyMs as Stopped.
// Fetch blocks the calling thread until one of those ends it; any thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/stop_signal.h"

inline constexpr int kMaxRedirects = 5;
inline constexpr std::uint32_t kStopLatencyMs = 100;

inline constexpr std::uint32_t kDefaultStallTimeoutMs = 15000;

struct FetchLimits {
    std::size_t maxBytes = 0;
    std::uint32_t connectTimeoutMs = 10000;
    std::uint32_t stallTimeoutMs = kDefaultStallTimeoutMs;
    // Told the body's bytes so far after each piece (may be empty); on the
    // fetching thread.
    std::function<void(std::size_t received)> received;
    std::uint32_t deadlineMs = 0;  // 0: none
};

// A download may take twice the stall limit (to connect and get going) and
// a second more for each 64 KiB it may bring. 64 KiB/s (about 0.5 Mbit/s)
// is a slow link that still serves honestly; anything slower, such as a
// server trickling a byte now and then to hold a program, is given up on.
// By default a catalogue (4 MiB at most) so gets about 95 s, its signature
// and key sets about 30 s, a package 30 s and a second per 64 KiB listed.
inline constexpr std::uint32_t kDeadlineStallLimits = 2;
inline constexpr std::size_t kSlowestHonestBytesPerS = 64u << 10;
std::uint32_t FetchDeadlineMs(std::size_t maxBytes, std::uint32_t stallTimeoutMs);

enum class FetchProblem {
    None,
    BadScheme,   // not http(s), or a redirect to another scheme
    HttpStatus,  // an answer other than 200 (httpStatus says which)
    TooLarge,
    TimedOut,      // stalled
    PastDeadline,  // took longer than deadlineMs in all
    Stopped,
    Network,     // no connection, a broken one, a bad certificate
};

struct FetchResult {
    FetchProblem problem = FetchProblem::None;
    int httpStatus = 0;
    std::vector<std::uint8_t> body;  // whole, when problem is None
    std::string detail;              // the backend's words, for diagnostics
    std::uint32_t deadlineMs = 0;    // with PastDeadline: the deadline passed
};

// The result of a transfer that passed limits' deadline.
FetchResult PastDeadline(const FetchLimits& limits);

class IFetcher {
public:
    virtual ~IFetcher() = default;
    virtual FetchResult Fetch(const std::string& url, const FetchLimits& limits, const StopSignal& stop) = 0;
};

// Words for a user: "the server answered 404".
std::string FetchProblemText(const FetchResult& result);
