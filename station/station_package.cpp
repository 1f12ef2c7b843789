#include "station/station_package.h"

#include "package/package_validation.h"

StationPackage CheckStationPackage(const std::u16string& path)
{
    StationPackage package;
    bool opened = false;
    package.records = InspectPackage(path, opened);
    if (!opened) {
        package.problem = "the package cannot be opened";
        return package;
    }
    if (package.records.empty()) {
        package.problem = "the package has no record";
        return package;
    }
    for (const InspectedRecord& record : package.records)
        if (record.problem != RecordProblem::None) {
            package.problem = "the record at offset " + std::to_string(record.offset) +
                              " is broken: " + std::string(RecordProblemName(record.problem));
            return package;
        }
    package.usable = true;
    return package;
}
