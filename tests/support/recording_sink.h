#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "base/diagnostics.h"

// Collects diagnostic lines; installs itself for its lifetime.
class RecordingSink final : public IDiagnosticSink {
public:
    RecordingSink() { SetDiagnosticSink(this); }
    ~RecordingSink() override { SetDiagnosticSink(nullptr); }
    void Write(const std::u16string& line) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Lines.push_back(line);
    }
    std::vector<std::u16string> Lines() const
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        return m_Lines;
    }
    bool Contains(const std::u16string& line) const
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        for (const auto& l : m_Lines)
            if (l == line)
                return true;
        return false;
    }
    int Count(const std::u16string& line) const
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        int n = 0;
        for (const auto& l : m_Lines)
            n += (l == line);
        return n;
    }

private:
    mutable std::mutex m_Mutex;
    std::vector<std::u16string> m_Lines;
};
