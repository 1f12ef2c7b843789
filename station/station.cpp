#include "station/station.h"

#include "hid/hid.h"
#include "hid/hid_interfaces.h"

Station::Station(IHidBackend& backend, IClock& clock, UnitDescriber describe, IStationEvents& events,
                 IUnitLog* log, StationSettings settings)
    : m_Backend(backend),
      m_Clock(clock),
      m_Describe(std::move(describe)),
      m_Events(events),
      m_Log(log),
      m_Settings(std::move(settings)),
      m_Loose(m_Settings.package, m_Settings.packageTrace, UnitCopyOf),
      m_Packages(m_Settings.packages ? *m_Settings.packages : m_Loose),
      m_Wake(clock.MakeWait())
{
}

Station::~Station()
{
    // Run has joined every unit it took; a station that never ran took none.
    RequestStop();
}

void Station::RequestStop()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_StopRequested = true;
    for (auto& [id, running] : m_Running)
        running.run->RequestStop();
    for (auto& [key, proving] : m_Proofs)
        proving.proof->RequestStop();
    m_Wake->Notify();
}

void Station::NoteDeviceChange()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    ++m_Changes;
    m_Wake->Notify();
}

StationCounters Station::Counters() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Counters;
}

StationEnd Station::Run()
{
    StationEnd end = StationEnd::Stopped;
    for (;;) {
        std::uint64_t seen = 0;
        bool stop = false;
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            seen = m_Changes;
            stop = m_StopRequested;
        }
        if (!Reap()) {
            end = StationEnd::LogFailed;
            break;
        }
        if (stop)
            break;
        const bool full = m_Settings.maxUnits > 0 && m_Taken >= m_Settings.maxUnits;
        if (full && m_Running.empty()) {
            end = StationEnd::MaxReached;
            break;
        }
        if (!full) {
            const std::vector<AttachedUnit> arrived = m_Ledger.Reconcile(ListUnits(), m_Clock.NowMs());
            m_Packages.Refresh(!arrived.empty());
            for (const AttachedUnit& unit : arrived)
                if (Room())
                    Take(unit);
            for (const ReturningUnit& returning : m_Ledger.TakeReturning())
                StartProof(returning);
        }
        WaitForChange(seen);
    }
    // Whatever ends the station, the units it took end and are booked.
    while (!m_Running.empty() || !m_Proofs.empty()) {
        WaitForFinished();
        if (!Reap())
            end = StationEnd::LogFailed;
    }
    return end;
}

std::vector<AttachedUnit> Station::ListUnits()
{
    std::vector<AttachedUnit> units;
    ForEachHidInterface(m_Backend, [&](const std::u16string& path) {
        const auto identity = m_Describe(path);
        AttachedUnit unit;
        // One that is not ours is never opened.
        if (identity && IsSupportedController(identity->vendorId, identity->productId, &unit.variant)) {
            unit.path = path;
            unit.identity = *identity;
            units.push_back(std::move(unit));
        }
        return false;
    });
    return units;
}

void Station::Take(const AttachedUnit& unit)
{
    UnitRecord record;
    record.id = ++m_Taken;
    record.unit = unit;
    record.startMs = m_Clock.NowMs();
    auto run = std::make_unique<UnitRun>(m_Backend, m_Clock, record, m_Packages, m_Settings.verify,
                                         [this](int id, int percent) { m_Events.UnitProgress(id, percent); });
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        ++m_Counters.running;
        if (m_StopRequested)
            run->RequestStop();
    }
    m_Events.UnitTaken(record);
    UnitRun& body = *run;
    std::lock_guard<std::mutex> guard(m_Mutex);
    Running& running = m_Running[record.id];
    running.run = std::move(run);
    running.thread = std::thread([this, &body] {
        UnitRecord done = body.Run();
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Finished.push_back(std::move(done));
        m_Wake->Notify();
    });
}

void Station::StartProof(const ReturningUnit& returning)
{
    const std::string key = returning.unit.Key();
    auto proof = std::make_unique<UnitProof>(m_Backend, m_Clock, returning.unit, returning.givenVersion);
    UnitProof& body = *proof;
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (m_StopRequested)
        body.RequestStop();
    Proving& proving = m_Proofs[key];
    proving.proof = std::move(proof);
    proving.unit = returning.unit;
    proving.thread = std::thread([this, &body, key] {
        const bool same = body.Run();
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Proven.emplace_back(key, same);
        m_Wake->Notify();
    });
}

void Station::SettleProofs()
{
    for (;;) {
        std::pair<std::string, bool> proven;
        decltype(m_Proofs)::node_type ended;
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            if (m_Proven.empty())
                return;
            proven = std::move(m_Proven.front());
            m_Proven.pop_front();
            ended = m_Proofs.extract(proven.first);
        }
        ended.mapped().thread.join();
        bool stopped = false;
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            stopped = m_StopRequested;
        }
        if (!m_Ledger.ProofDone(proven.first, proven.second))
            continue;
        if (Room() && !stopped)
            Take(ended.mapped().unit);
        else
            m_Ledger.Finished(proven.first, UnitOutcome::Failed, m_Clock.NowMs());
    }
}

bool Station::Reap()
{
    SettleProofs();
    bool logged = true;
    for (;;) {
        UnitRecord record;
        StationCounters counters;
        decltype(m_Running)::node_type ended;
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            if (m_Finished.empty())
                return logged;
            record = std::move(m_Finished.front());
            m_Finished.pop_front();
            --m_Counters.running;
            m_Counters.Count(record.outcome);
            counters = m_Counters;
            ended = m_Running.extract(record.id);
        }
        ended.mapped().thread.join();
        m_Ledger.Finished(record.unit.Key(), record.outcome, m_Clock.NowMs(), record.versionAfter);
        m_Events.UnitFinished(record, counters);
        if (m_Log && !m_Log->Append(record))
            logged = false;
    }
}

void Station::WaitForChange(std::uint64_t seen)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    const std::uint64_t deadline = m_Clock.NowMs() + kStationRecheckMs;
    while (m_Changes == seen && !m_StopRequested && m_Finished.empty() && m_Proven.empty() &&
           m_Clock.NowMs() < deadline)
        m_Wake->WaitUntil(lock, deadline);
}

void Station::WaitForFinished()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    const std::uint64_t deadline = m_Clock.NowMs() + kStationRecheckMs;
    while (m_Finished.empty() && m_Proven.empty() && m_Clock.NowMs() < deadline)
        m_Wake->WaitUntil(lock, deadline);
}
