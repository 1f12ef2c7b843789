#pragma once
// Diagnostic lines: one formatted wide string per call, no levels. The sink is
// the platform's debug-output channel; tests swap in a recorder.
#include <string>

class IDiagnosticSink {
public:
    virtual ~IDiagnosticSink() = default;
    // Receives one diagnostic line exactly as formatted (line breaks included).
    // Called from any thread; implementations must be thread-safe.
    virtual void Write(const std::u16string& line) = 0;
};

// Installs the sink (nullptr drops every line). Not owned.
void SetDiagnosticSink(IDiagnosticSink* sink);
// Writes one line to the current sink. Any thread.
void DebugOut(const std::u16string& line);
