#pragma once
// Input layout of the key_chain target: texts separated by NUL bytes (which
// no key set or signify file holds): the catalogue's .sig, then for key set
// 1, 2, ... its N.keys.json and its .sig. The walk starts from the roots
// below; the verifier says yes to a signature whose first byte is odd, so
// the fuzzer decides which signatures count.
#include <array>
#include <cstdint>

#include "catalogue/signify_format.h"
#include "catalogue/utc_time.h"

inline constexpr char kKeyChainTextSeparator = '\0';
inline constexpr std::size_t kKeyChainFuzzRoots = 3;
inline constexpr std::size_t kKeyChainFuzzRootThreshold = 2;
// 2027-01-15T08:00:00Z: the walk's "now".
inline constexpr UtcSeconds kKeyChainFuzzNow = 1'800'000'000;

// Root i: key number and key all bytes i + 1.
inline SignifyPublicKey KeyChainFuzzRoot(std::size_t i)
{
    SignifyPublicKey key;
    key.number.fill(static_cast<std::uint8_t>(i + 1));
    key.key.fill(static_cast<std::uint8_t>(i + 1));
    return key;
}
