#pragma once
// Diagnostic lines to the debugger through OutputDebugStringW. Any thread.
#include "base/diagnostics.h"

class DebugOutputSink final : public IDiagnosticSink {
public:
    void Write(const std::u16string& line) override;
};
