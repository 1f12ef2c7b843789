#include "platform/web/web_station.h"

#include "base/utf.h"
#include "hid/hid.h"
#include "station/unit_line.h"
#include "station/unit_proof.h"
#include "station/unit_run.h"

namespace {

std::u16string DevicePath(int id) { return Utf8ToUtf16("webhid:" + std::to_string(id)); }

}  // namespace

WebStation::WebStation(IHidBackend& backend, IClock& clock, ProgressCallback progress)
    : m_Backend(backend), m_Clock(clock), m_Progress(std::move(progress))
{
}

std::string WebStation::SlotFor(const Present& device, const std::map<int, std::string>& taken) const
{
    const std::string model = UnitVidPid({device.vendorId, device.productId, {}, {}});
    for (int slot = 0;; ++slot) {
        const std::string port = "webhid " + model + " slot " + std::to_string(slot);
        bool used = false;
        for (const auto& [id, held] : taken)
            used = used || held == port;
        if (!used)
            return port;
    }
}

void WebStation::Reconcile(const std::vector<Present>& present)
{
    std::map<int, std::string> slots;
    std::vector<AttachedUnit> units;
    for (const Present& device : present) {
        AttachedUnit unit;
        if (!IsSupportedController(device.vendorId, device.productId, &unit.variant))
            continue;  // not ours: never taken, never opened
        const auto kept = m_Slots.find(device.id);
        slots[device.id] = kept != m_Slots.end() ? kept->second : SlotFor(device, slots);
        unit.path = DevicePath(device.id);
        unit.identity = {device.vendorId, device.productId, slots[device.id], {}};
        units.push_back(std::move(unit));
    }
    m_Slots = std::move(slots);
    m_Present = std::move(units);
    TakeNewUnits();
}

void WebStation::TakeNewUnits()
{
    for (const AttachedUnit& unit : m_Ledger.Reconcile(m_Present, m_Clock.NowMs()))
        m_Queue.push_back({unit, std::nullopt});
    for (const ReturningUnit& returning : m_Ledger.TakeReturning())
        m_Queue.push_back({returning.unit, returning.givenVersion});
}

bool WebStation::Takes(const QueuedUnit& queued)
{
    const std::string key = queued.unit.Key();
    bool present = false;
    for (const AttachedUnit& now : m_Present)
        present = present || now.path == queued.unit.path;
    if (!present) {
        // Gone before its turn, nothing sent: not counted. Plugged in
        // again meanwhile, that plug-in is a new unit.
        if (queued.givenVersion)
            m_Ledger.ProofDone(key, false);
        else
            m_Ledger.Finished(key, UnitOutcome::Failed, m_Clock.NowMs());
        TakeNewUnits();
        return false;
    }
    if (!queued.givenVersion)
        return true;
    UnitProof proof(m_Backend, m_Clock, queued.unit, *queued.givenVersion);
    m_Proving = &proof;
    const bool same = proof.Run();
    m_Proving = nullptr;
    return m_Ledger.ProofDone(key, same);
}

std::optional<UnitRecord> WebStation::RunNext(const std::u16string& package)
{
    while (!m_Queue.empty()) {
        const QueuedUnit queued = m_Queue.front();
        m_Queue.pop_front();
        if (!Takes(queued))
            continue;
        const AttachedUnit& unit = queued.unit;
        UnitRecord record;
        record.id = m_NextId++;
        record.unit = unit;
        LoosePackage loose(package, {});
        UnitRun run(m_Backend, m_Clock, std::move(record), loose, false,
                    [this](int, int percent) { m_Progress(percent); });
        m_Running = &run;
        record = run.Run();
        m_Running = nullptr;
        m_Ledger.Finished(unit.Key(), record.outcome, m_Clock.NowMs(), record.versionAfter);
        m_Counters.Count(record.outcome);
        return record;
    }
    return std::nullopt;
}

void WebStation::RequestStop()
{
    if (m_Running)
        m_Running->RequestStop();
    if (m_Proving)
        m_Proving->RequestStop();
}
