#pragma once
// Station mode on the page: with the switch on, each granted controller that
// connects is taken once per plug-in (the station's ledger) and updated with
// the chosen package, one unit at a time on the page's one thread.
//
// WebHID tells neither the USB port nor the serial number, so a unit is
// known by its model and a slot: the lowest slot of its model that no
// present controller holds when it connects. A controller that comes back
// in that slot within the ledger's re-enumeration window after an update is
// asked its version first: the same unit only when it runs the version it
// was given, so another controller of that model swapped in is updated.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "hid/hid_backend.h"
#include "station/unit_ledger.h"
#include "station/unit_record.h"

class UnitRun;
class UnitProof;

class WebStation {
public:
    using ProgressCallback = std::function<void(int percent)>;
    WebStation(IHidBackend& backend, IClock& clock, ProgressCallback progress);

    struct Present {
        int id;  // the page's device id
        std::uint16_t vendorId;
        std::uint16_t productId;
    };
    // The granted controllers present now, in the order they connected; new
    // plug-ins join the queue. Never suspends, so the page may call it while
    // a unit runs.
    void Reconcile(const std::vector<Present>& present);
    // Runs the next queued unit that is still present with the package at
    // path; nothing once the queue is empty.
    std::optional<UnitRecord> RunNext(const std::u16string& package);
    std::size_t Queued() const { return m_Queue.size(); }
    // Ends the running unit at its next safe point.
    void RequestStop();
    const StationCounters& Counters() const { return m_Counters; }

private:
    std::string SlotFor(const Present& device, const std::map<int, std::string>& taken) const;
    void TakeNewUnits();

    IHidBackend& m_Backend;
    IClock& m_Clock;
    ProgressCallback m_Progress;
    std::map<int, std::string> m_Slots;  // present device id -> its port slot
    std::vector<AttachedUnit> m_Present;  // as of the last reconciliation
    UnitLedger m_Ledger;
    struct QueuedUnit {
        AttachedUnit unit;
        std::optional<std::uint32_t> givenVersion;  // a returning unit, to be proven
    };
    // Whether a unit there may run: present, and not a returning one that
    // proved to be the unit updated before.
    bool Takes(const QueuedUnit& queued);

    std::deque<QueuedUnit> m_Queue;
    StationCounters m_Counters;
    UnitRun* m_Running = nullptr;
    UnitProof* m_Proving = nullptr;
    int m_NextId = 1;
};
