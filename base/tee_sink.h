#pragma once
// One diagnostic line to two sinks: the platform's own channel and a log
// file, so adding the file changes nothing about the channel.
#include "base/diagnostics.h"

class TeeSink final : public IDiagnosticSink {
public:
    // Either may be null (that side drops the line). Not owned.
    TeeSink(IDiagnosticSink* first, IDiagnosticSink* second) : m_First(first), m_Second(second) {}

    void Write(const std::u16string& line) override
    {
        if (m_First)
            m_First->Write(line);
        if (m_Second)
            m_Second->Write(line);
    }

private:
    IDiagnosticSink* m_First;
    IDiagnosticSink* m_Second;
};
