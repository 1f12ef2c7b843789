#pragma once
// Diagnostic lines to a file, each line with a millisecond timestamp.
#include <cstdio>
#include <mutex>
#include <string>

#include "base/diagnostics.h"

class TimestampedLog final : public IDiagnosticSink {
public:
    TimestampedLog() = default;
    ~TimestampedLog() override;
    TimestampedLog(const TimestampedLog&) = delete;
    TimestampedLog& operator=(const TimestampedLog&) = delete;

    // Truncates the file. False when it cannot be written.
    bool Open(const std::string& path);
    void Write(const std::u16string& line) override;

private:
    std::mutex m_Mutex;
    std::FILE* m_File = nullptr;
};
