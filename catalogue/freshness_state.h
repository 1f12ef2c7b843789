#pragma once
// What a program remembers of the catalogues it has accepted, per
// repository, so that a replayed older catalogue or a frozen one can be
// told from the current one. Kept as a small JSON text, the same in every
// front end (a file natively, IndexedDB in the page):
//
//   {"format": 1, "type": "catalogue-state", "repositories": {
//     "pads": {"version": 7, "keySetVersion": 0, "sha256": "<64 hex digits>",
//              "latestSigned": "2026-12-01T00:00:00Z"}},
//    "keyChains": {"<threshold>-<root key numbers in hex>": "<a key set's text>"}}
//
// The text is read with the catalogue's care: bounded in size, nesting and
// entries; anything else in it makes the whole state unusable, and the
// program falls back to the floors of its build.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"

inline constexpr int kFreshnessStateFormat = 1;
inline constexpr const char* kFreshnessStateType = "catalogue-state";
inline constexpr std::size_t kMaxFreshnessStateBytes = 64u << 10;
inline constexpr std::size_t kMaxRememberedRepositories = 64;
// Longer names would let one catalogue fill the state.
inline constexpr std::size_t kMaxRepositoryNameBytes = 128;

struct RepositoryMemory {
    std::uint64_t version = 0;        // the highest accepted
    std::uint64_t keySetVersion = 0;  // of the keys that signed it
    Sha256Digest sha256{};            // of the accepted catalogue of that version
    UtcSeconds latestSigned = 0;      // the latest "published" seen
    bool operator==(const RepositoryMemory&) const = default;
};

// A key set is remembered as the next walk's start only up to this size,
// so that the state stays within its own limit.
inline constexpr std::size_t kMaxRememberedKeySetBytes = 8u << 10;
inline constexpr std::size_t kMaxRememberedKeyChains = 4;
inline constexpr std::size_t kMaxKeyChainAnchorBytes = 512;

struct FreshnessState {
    std::map<std::string, RepositoryMemory, std::less<>> repositories;
    // Per set of root keys (KeyChainAnchor): the last key set walked to, as
    // published. The next walk starts there, so root keys stolen after they
    // were rotated out cannot fork the chain.
    std::map<std::string, std::string, std::less<>> keyChains;
    bool operator==(const FreshnessState&) const = default;
};

// nullopt when text is not such a state (too large, malformed, a field
// missing or of the wrong kind, too many repositories).
std::optional<FreshnessState> ParseFreshnessState(std::string_view text);
std::string FreshnessStateJson(const FreshnessState& state);
