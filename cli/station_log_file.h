#pragma once
// The station's record on disk: appended to, a header per station start,
// and every entry flushed to the disk before the next unit is taken, so a
// shift's record survives a crash of the station.
#include <cstdio>
#include <functional>
#include <string>

#include "station/station.h"

class StationLogFile final : public IUnitLog {
public:
    // The entry text of a unit (a plain line or a JSON event).
    using Format = std::function<std::string(const UnitRecord& record)>;

    explicit StationLogFile(Format format) : m_Format(std::move(format)) {}
    ~StationLogFile() override;
    StationLogFile(const StationLogFile&) = delete;
    StationLogFile& operator=(const StationLogFile&) = delete;

    // Opens path for appending and writes header; false (with the system's
    // reason in Problem()) when either fails.
    bool Open(const std::string& path, const std::string& header);
    bool Append(const UnitRecord& record) override;
    const std::string& Problem() const { return m_Problem; }

private:
    bool WriteDurably(const std::string& line);

    Format m_Format;
    std::FILE* m_File = nullptr;
    std::string m_Problem;
};
