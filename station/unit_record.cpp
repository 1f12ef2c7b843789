#include "station/unit_record.h"

const char* OutcomeName(UnitOutcome outcome)
{
    switch (outcome) {
    case UnitOutcome::Running: return "running";
    case UnitOutcome::Updated: return "updated";
    case UnitOutcome::UpToDate: return "up to date";
    case UnitOutcome::Failed: return "failed";
    case UnitOutcome::Refused: return "refused";
    }
    return "";
}

void StationCounters::Count(UnitOutcome outcome)
{
    switch (outcome) {
    case UnitOutcome::Updated: ++updated; break;
    case UnitOutcome::UpToDate: ++upToDate; break;
    case UnitOutcome::Failed: ++failed; break;
    case UnitOutcome::Refused: ++refused; break;
    case UnitOutcome::Running: break;
    }
}
