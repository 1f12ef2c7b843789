#pragma once
// Station mode: every supported controller that is plugged in is updated
// with the package, once per plug-in, each in its own session and thread, in
// parallel with the others. The same logic under every front end; a front
// end supplies how to name a unit without opening it, where events go and
// the record that must survive a crash.
//
// Threads: Run on one thread (the station thread); RequestStop,
// NoteDeviceChange and Counters from any thread.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "base/clock.h"
#include "hid/hid_backend.h"
#include "station/attached_unit.h"
#include "station/unit_ledger.h"
#include "station/unit_packages.h"
#include "station/unit_proof.h"
#include "station/unit_record.h"
#include "station/unit_run.h"

class IStationEvents {
public:
    virtual ~IStationEvents() = default;
    // Station thread: a unit was taken; its record says running.
    virtual void UnitTaken(const UnitRecord& record) = 0;
    // The unit's thread: how far its transfer is (0..100).
    virtual void UnitProgress(int id, int percent) = 0;
    // Station thread: a unit has its outcome; counters include it.
    virtual void UnitFinished(const UnitRecord& record, const StationCounters& counters) = 0;
};

// The record of a shift, one entry per unit.
class IUnitLog {
public:
    virtual ~IUnitLog() = default;
    // Appends the unit and makes it durable before returning (a crash of
    // the station afterwards keeps it). False when it could not be written.
    // Station thread.
    virtual bool Append(const UnitRecord& record) = 0;
};

struct StationSettings {
    StationSettings(std::u16string packageFile, int units) : package(std::move(packageFile)), maxUnits(units) {}

    std::u16string package;  // checked by the front end before Run
    int maxUnits = 0;        // stop taking units after this many; 0: no limit
    // Where units' packages come from instead of package (a catalogue);
    // outlives the station.
    IUnitPackages* packages = nullptr;
    bool verify = false;     // block units read their image back before finishing
    UnitTrace packageTrace;  // what each unit's record says of package
};

enum class StationEnd {
    Stopped,     // RequestStop: running units were stopped at a safe point
    MaxReached,  // maxUnits were taken and have ended
    LogFailed,   // the record could not be written: no new unit was taken
};

// How long the station sleeps without a device change before it lists the
// bus again anyway (a notification may be lost; nothing else needs a timer).
inline constexpr std::uint32_t kStationRecheckMs = 10'000;

class Station {
public:
    // log may be null (no record asked for).
    Station(IHidBackend& backend, IClock& clock, UnitDescriber describe, IStationEvents& events, IUnitLog* log,
            StationSettings settings);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Takes and updates units until a stop, maxUnits or a failed log write,
    // then waits for the running units to end. Once.
    StationEnd Run();
    // Stops taking units; running ones end at their next safe point.
    void RequestStop();
    // Lists the bus now rather than at the next recheck.
    void NoteDeviceChange();
    StationCounters Counters() const;

private:
    struct Running {
        std::unique_ptr<UnitRun> run;
        std::thread thread;
    };

    struct Proving {
        std::unique_ptr<UnitProof> proof;
        std::thread thread;
        AttachedUnit unit;
    };

    std::vector<AttachedUnit> ListUnits();
    void StartProof(const ReturningUnit& returning);
    // Settles the proofs that ended: a unit proven is left alone, anything
    // else is taken as a new plug-in (when there is room for it).
    void SettleProofs();
    bool Room() const { return m_Settings.maxUnits == 0 || m_Taken < m_Settings.maxUnits; }
    void Take(const AttachedUnit& unit);
    // Books the units that ended; false when the log failed.
    bool Reap();
    // Bounded waits, woken by a change, a finished unit or the stop.
    void WaitForChange(std::uint64_t seen);
    void WaitForFinished();

    IHidBackend& m_Backend;
    IClock& m_Clock;
    UnitDescriber m_Describe;
    IStationEvents& m_Events;
    IUnitLog* m_Log;
    StationSettings m_Settings;
    LoosePackage m_Loose;
    IUnitPackages& m_Packages;
    UnitLedger m_Ledger;  // station thread only
    std::map<int, Running> m_Running;  // changed by the station thread under m_Mutex
    std::map<std::string, Proving> m_Proofs;  // by key; changed by the station thread under m_Mutex
    int m_Taken = 0;

    mutable std::mutex m_Mutex;
    std::unique_ptr<IClockWait> m_Wake;  // device changes, finished units, the stop
    std::uint64_t m_Changes = 0;         // guarded by m_Mutex
    bool m_StopRequested = false;        // guarded by m_Mutex
    std::deque<UnitRecord> m_Finished;   // guarded by m_Mutex
    std::deque<std::pair<std::string, bool>> m_Proven;  // key, same; guarded by m_Mutex
    StationCounters m_Counters;          // guarded by m_Mutex
};
