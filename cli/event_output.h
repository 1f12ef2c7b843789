#pragma once
// Where the subcommands report: plain lines (messages on stderr, data on
// stdout) or, with --json, one JSON object per line on stdout. Any thread.
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/progress_line.h"

class EventOutput {
public:
    using LineSink = std::function<void(const std::string& line)>;

    EventOutput(bool json, bool progressOnTerminal, std::FILE* data = stdout,
                std::FILE* messages = stderr);
    // Plain lines, data and messages alike, handed to lines (a window's log
    // pane); progress is left out.
    explicit EventOutput(LineSink lines);

    bool Json() const { return m_Json; }
    // A data line (plain mode) or the event (JSON mode).
    void Data(const std::string& line, const nlohmann::json& event);
    // A message line (plain mode, stderr) or the event (JSON mode).
    void Message(const std::string& line, const nlohmann::json& event);
    // Several transfers at once get plain lines, never a redrawn one.
    void SetConcurrent(bool concurrent) { m_Concurrent = concurrent; }
    void Progress(const std::string& controller, const ProgressSample& sample);

private:
    void WriteJson(const nlohmann::json& event);
    void EndProgressLocked();
    void PutLocked(std::FILE* file, const std::string& line);

    std::mutex m_Mutex;
    bool m_Json;
    bool m_Terminal;
    bool m_Concurrent = false;
    std::FILE* m_Data;
    std::FILE* m_Messages;
    LineSink m_Sink;
    std::map<std::string, ProgressLine> m_Lines;
};
