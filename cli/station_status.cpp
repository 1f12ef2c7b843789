#include "cli/station_status.h"

#include <cstdio>

#include "station/unit_line.h"

void StationStatus::Show(const StationCounters& counters)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Counters = counters;
    DrawLocked();
}

void StationStatus::Running(int change)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Counters.running += change;
    DrawLocked();
}

void StationStatus::Print(const std::function<void()>& write, const StationCounters& counters, bool redraw)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    ClearLocked();
    write();
    m_Counters = counters;
    if (redraw)
        DrawLocked();
}

void StationStatus::DrawLocked()
{
    if (!m_Terminal)
        return;
    std::fprintf(stderr, "\r\033[K%s", CountersLine(m_Counters).c_str());
    std::fflush(stderr);
    m_Drawn = true;
}

void StationStatus::ClearLocked()
{
    if (!m_Drawn)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_Drawn = false;
}
