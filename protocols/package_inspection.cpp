#include "protocols/package_inspection.h"

#include <cstdio>

#include "block/block_device_types.h"

namespace {

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Stream controllers and non-special block ones take the first record; a
// special block device takes the first record of its own type.
void MarkChoices(std::vector<InspectedRecord>& records)
{
    if (records.empty())
        return;
    records.front().chosenFor = {"stream", "block (other types)"};
    for (std::uint32_t type : SpecialDeviceTypes) {
        for (InspectedRecord& record : records) {
            if (record.headerRead && record.header.deviceType == type) {
                record.chosenFor.push_back("block type " + Hex(type));
                break;
            }
        }
    }
}

}  // namespace

std::vector<InspectedRecord> InspectPackage(const std::u16string& path, bool& opened)
{
    std::vector<InspectedRecord> records;
    PackageFile file;
    opened = file.Open(path);
    if (!opened)
        return records;
    const std::int64_t length = file.Length();
    for (std::int64_t offset = 0; offset < length;) {
        InspectedRecord record;
        record.offset = offset;
        record.headerRead = offset <= INT32_MAX &&
                            ReadPackageHeader(file, static_cast<std::int32_t>(offset), record.header);
        record.problem = record.headerRead ? ValidatePackageRecord(length, offset, record.header)
                                           : RecordProblem::HeaderCutShort;
        records.push_back(record);
        if (record.problem != RecordProblem::None && record.problem != RecordProblem::EmptyImage)
            break;
        offset += static_cast<std::int64_t>(kPackageHeaderSize) + record.header.imageSize;
    }
    MarkChoices(records);
    return records;
}
