#pragma once
// Where a program keeps what it remembers of catalogues (the JSON text of
// catalogue/freshness_state.h) between runs: one backend per platform (a
// file natively, IndexedDB in the page). The core reads and writes text
// only, so every backend keeps the same bytes.
//
// Threads: any thread, one call at a time per store. Results are return
// values; a call waits for nothing but its own file (or storage) I/O.
#include <string>
#include <string_view>

// Beside the program's other state, under the user's state folder.
inline constexpr const char* kTrustStoreFileName = "catalogue-state.json";
// Names another file for the state (tests, several setups on one account).
inline constexpr const char* kTrustStoreEnvironment = "CONTROLLER_UPDATER_STATE";

enum class TrustStoreStatus {
    Read,    // text holds what was stored
    Absent,  // nothing stored yet (first run, deleted)
    Failed,  // there but unreadable, or larger than the state may be
};

struct TrustStoreLoad {
    TrustStoreStatus status = TrustStoreStatus::Absent;
    std::string text;
    std::string detail;  // with Failed: the cause in words
};

class ITrustStore {
public:
    virtual ~ITrustStore() = default;
    // At most kMaxFreshnessStateBytes + 1 bytes are read.
    virtual TrustStoreLoad Load() = 0;
    // Replaces what is stored as one step: after a crash either the old or
    // the new text is there, whole. Empty when done, else the cause in words.
    virtual std::string Save(std::string_view text) = 0;
    // Where it is kept, for messages.
    virtual std::string Where() const = 0;
};
