#include "base/diagnostics.h"

#include <atomic>

namespace {
std::atomic<IDiagnosticSink*> g_sink{nullptr};
}

void SetDiagnosticSink(IDiagnosticSink* sink) { g_sink.store(sink); }

void DebugOut(const std::u16string& line)
{
    if (IDiagnosticSink* sink = g_sink.load())
        sink->Write(line);
}
