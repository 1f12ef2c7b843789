#pragma once
// The progress of one transfer as text: redrawn in place on a terminal,
// otherwise a plain line at every tenth.
#include <cstdint>
#include <string>

struct ProgressSample {
    int percent = 0;
    std::uint64_t bytes = 0;
    std::uint64_t total = 0;
    std::uint64_t elapsedMs = 0;
};

// " 42%  12.3 / 29.0 KiB  5.1 KiB/s  3 s left"
std::string FormatProgress(const ProgressSample& sample);

class ProgressLine {
public:
    explicit ProgressLine(bool terminal) : m_Terminal(terminal) {}
    // The text to write for this sample (possibly empty).
    std::string Update(const ProgressSample& sample);
    // What ends the line before other output follows.
    std::string Finish();

private:
    bool m_Terminal;
    bool m_Drawn = false;
    int m_LastTenth = -1;
};
