#include "station/unit_ledger.h"

#include <set>

std::vector<AttachedUnit> UnitLedger::Reconcile(const std::vector<AttachedUnit>& present, std::uint64_t nowMs)
{
    std::set<std::string> seen;
    std::vector<AttachedUnit> fresh;
    for (const AttachedUnit& unit : present) {
        const std::string key = unit.Key();
        if (!seen.insert(key).second)
            continue;  // another interface of the same unit
        auto found = m_Units.find(key);
        if (found != m_Units.end() && found->second.state == State::Away && nowMs >= found->second.awayUntil)
            m_Units.erase(found), found = m_Units.end();
        if (found != m_Units.end() && found->second.state == State::Away) {
            found->second.unit = unit;
            if (!Prove(key, found->second))
                found = m_Units.end();
        }
        if (found == m_Units.end()) {
            m_Units[key] = Entry{State::Running, UnitOutcome::Running, true, false, 0, std::nullopt, unit};
            fresh.push_back(unit);
            continue;
        }
        Entry& entry = found->second;
        if (!entry.present && entry.state == State::Running)
            entry.replugged = true;
        entry.present = true;
    }
    for (auto it = m_Units.begin(); it != m_Units.end();) {
        Entry& entry = it->second;
        const bool gone = seen.count(it->first) == 0;
        if (gone && (entry.state == State::Running || entry.state == State::Proving)) {
            entry.present = false;
        } else if (gone && entry.state == State::Done && entry.outcome == UnitOutcome::Updated) {
            entry.state = State::Away;
            entry.present = false;
            entry.awayUntil = nowMs + kReEnumerationWindowMs;
        } else if (gone && !(entry.state == State::Away && nowMs < entry.awayUntil)) {
            it = m_Units.erase(it);  // unplugged: its next plug-in is a new unit
            continue;
        }
        ++it;
    }
    return fresh;
}

std::vector<ReturningUnit> UnitLedger::TakeReturning()
{
    std::vector<ReturningUnit> returning;
    returning.swap(m_Returning);
    return returning;
}

bool UnitLedger::Prove(const std::string& key, Entry& entry)
{
    if (!entry.given) {
        m_Units.erase(key);
        return false;
    }
    entry.state = State::Proving;
    entry.present = true;
    m_Returning.push_back({entry.unit, *entry.given});
    return true;
}

void UnitLedger::Finished(const std::string& key, UnitOutcome outcome, std::uint64_t nowMs,
                          std::optional<std::uint32_t> givenVersion)
{
    auto found = m_Units.find(key);
    if (found == m_Units.end())
        return;
    Entry& entry = found->second;
    // Unplugged and plugged in again while its update failed: that plug-in
    // is a new unit, taken at the next reconciliation.
    if (outcome == UnitOutcome::Failed && (entry.replugged || !entry.present)) {
        m_Units.erase(found);
        return;
    }
    entry.outcome = outcome;
    entry.given = outcome == UnitOutcome::Updated ? givenVersion : std::nullopt;
    if (!entry.present && outcome == UnitOutcome::Updated) {
        entry.state = State::Away;
        entry.awayUntil = nowMs + kReEnumerationWindowMs;
    } else if (!entry.present) {
        m_Units.erase(found);
    } else if (entry.replugged && outcome == UnitOutcome::Updated) {
        // Away and back while it ran: what is there now must prove itself.
        if (Prove(key, entry))
            return;
        // No version to prove it by: the controller there is a new plug-in.
    } else {
        entry.state = State::Done;
    }
}

bool UnitLedger::ProofDone(const std::string& key, bool same)
{
    auto found = m_Units.find(key);
    if (found == m_Units.end() || found->second.state != State::Proving)
        return false;
    Entry& entry = found->second;
    if (same) {
        entry.state = State::Done;
        return false;
    }
    if (!entry.present) {
        m_Units.erase(found);
        return false;
    }
    entry = Entry{State::Running, UnitOutcome::Running, true, false, 0, std::nullopt, entry.unit};
    return true;
}

std::size_t UnitLedger::Running() const
{
    std::size_t running = 0;
    for (const auto& [key, entry] : m_Units)
        running += entry.state == State::Running;
    return running;
}
