#include "cli/event_output.h"

EventOutput::EventOutput(bool json, bool progressOnTerminal, std::FILE* data, std::FILE* messages)
    : m_Json(json), m_Terminal(progressOnTerminal), m_Data(data), m_Messages(messages)
{
}

EventOutput::EventOutput(LineSink lines)
    : m_Json(false), m_Terminal(false), m_Data(nullptr), m_Messages(nullptr), m_Sink(std::move(lines))
{
}

void EventOutput::PutLocked(std::FILE* file, const std::string& line)
{
    if (m_Sink)
        return m_Sink(line);
    std::fprintf(file, "%s\n", line.c_str());
    std::fflush(file);
}

void EventOutput::WriteJson(const nlohmann::json& event)
{
    // Names and paths may hold any bytes; never throw on them.
    const std::string line = event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fprintf(m_Data, "%s\n", line.c_str());
    std::fflush(m_Data);
}

void EventOutput::EndProgressLocked()
{
    for (auto& [name, line] : m_Lines) {
        const std::string end = line.Finish();
        std::fputs(end.c_str(), m_Messages);
    }
}

void EventOutput::Data(const std::string& line, const nlohmann::json& event)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (m_Json)
        return WriteJson(event);
    EndProgressLocked();
    PutLocked(m_Data, line);
}

void EventOutput::Message(const std::string& line, const nlohmann::json& event)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (m_Json)
        return WriteJson(event);
    EndProgressLocked();
    PutLocked(m_Messages, line);
}

void EventOutput::Progress(const std::string& controller, const ProgressSample& sample)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (m_Sink)
        return;
    if (m_Json) {
        WriteJson({{"event", "progress"}, {"controller", controller}, {"percent", sample.percent},
                   {"bytes", sample.bytes}, {"total", sample.total}});
        return;
    }
    auto [it, added] = m_Lines.try_emplace(controller, m_Terminal && !m_Concurrent);
    std::string text = it->second.Update(sample);
    if (text.empty())
        return;
    if (m_Concurrent)
        text = controller + ": " + text;
    std::fputs(text.c_str(), m_Messages);
    std::fflush(m_Messages);
}
