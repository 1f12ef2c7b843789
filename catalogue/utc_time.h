#pragma once
// The catalogue's times: RFC 3339 in UTC to the second, "2026-12-01T00:00:00Z",
// as seconds since 1970. One strict form, so two readers never disagree.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using UtcSeconds = std::int64_t;

inline constexpr UtcSeconds kSecondsPerDay = 86400;

std::optional<UtcSeconds> ParseUtcTime(std::string_view text);
std::string UtcTimeText(UtcSeconds time);
