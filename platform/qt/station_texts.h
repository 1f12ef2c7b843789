#pragma once
// The station window's texts, in English and Chinese; the window takes the
// language the dialog would show.
#include <QString>

#include "station/unit_record.h"

struct StationTexts {
    QString title, package, records, version, start, stop, saveLog, port, family, before, after, progress,
        outcome, counters, waiting, logFailed, catalogue, cataloguePlaceholder, verify, source, catalogueRefused;
    QString Outcome(UnitOutcome outcome) const;
    // "Updated 3  Up to date 1  Failed 0  Refused 0  Running 2"
    QString Counters(const StationCounters& counters) const;

    static StationTexts For(bool chinese);

private:
    bool m_Chinese = false;
};
