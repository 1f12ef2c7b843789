#pragma once
// The station's counters on one status line of a terminal (stderr), redrawn
// in place; other output is written with the line taken away first. Off a
// terminal it shows nothing. Any thread.
#include <functional>
#include <mutex>

#include "station/unit_record.h"

class StationStatus {
public:
    explicit StationStatus(bool terminal) : m_Terminal(terminal) {}

    void Show(const StationCounters& counters);
    // One more (or fewer) running unit.
    void Running(int change);
    // Runs write with the line taken away, then shows counters (unless
    // redraw is false: the last output).
    void Print(const std::function<void()>& write, const StationCounters& counters, bool redraw = true);

private:
    void DrawLocked();
    void ClearLocked();

    std::mutex m_Mutex;
    bool m_Terminal;
    bool m_Drawn = false;
    StationCounters m_Counters;
};
