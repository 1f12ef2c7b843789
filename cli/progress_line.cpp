#include "cli/progress_line.h"

#include <cstdio>

std::string FormatProgress(const ProgressSample& s)
{
    const double kib = 1024.0;
    const double seconds = static_cast<double>(s.elapsedMs) / 1000.0;
    const double rate = seconds > 0 ? static_cast<double>(s.bytes) / seconds : 0.0;
    char left[32] = "";
    if (rate > 0 && s.total >= s.bytes)
        std::snprintf(left, sizeof left, "  %.0f s left", static_cast<double>(s.total - s.bytes) / rate);
    char line[160];
    std::snprintf(line, sizeof line, "%3d%%  %.1f / %.1f KiB  %.1f KiB/s%s", s.percent,
                  static_cast<double>(s.bytes) / kib, static_cast<double>(s.total) / kib, rate / kib,
                  left);
    return line;
}

std::string ProgressLine::Update(const ProgressSample& sample)
{
    if (m_Terminal) {
        m_Drawn = true;
        // Back to the line's start, then clear what a longer line left.
        // Appended in steps: g++ 12 at -O3 misreads "\r" + string as an
        // overlapping copy (-Wrestrict).
        std::string line = "\r";
        line += FormatProgress(sample);
        line += "\x1b[K";
        return line;
    }
    const int tenth = sample.percent / 10;
    if (tenth == m_LastTenth)
        return {};
    m_LastTenth = tenth;
    return FormatProgress(sample) + "\n";
}

std::string ProgressLine::Finish()
{
    if (!m_Drawn)
        return {};
    m_Drawn = false;
    return "\n";
}
