#include "protocols/package_inspection.h"

#include <cstdio>

#include "block/block_device_types.h"
#include "hid/hid.h"
#include "protocols/standard_protocols.h"

namespace {

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// A controller inspect speaks for, by the protocol and device type its
// driver sees.
struct Candidate {
    std::string label;
    std::uint32_t variant;
    DeviceDescription device;
};

std::vector<Candidate> Candidates()
{
    std::vector<Candidate> list = {{"stream", kProtocolStream, {}}, {"block (other types)", kProtocolBlock, {}}};
    for (std::uint32_t type : SpecialDeviceTypes) {
        DeviceDescription device;
        device.currentDeviceType = type;
        list.push_back({"block type " + Hex(type), kProtocolBlock, device});
    }
    return list;
}

// The record each controller's driver takes, by the lookup an update makes.
void MarkChoices(const std::u16string& path, std::vector<InspectedRecord>& records)
{
    const ProtocolDrivers drivers = StandardProtocolDrivers();
    for (const Candidate& candidate : Candidates()) {
        for (const auto& driver : drivers) {
            if (driver->Variant() != candidate.variant)
                continue;
            const auto type = driver->RecordType(candidate.device);
            const std::int64_t offset = type ? FindPackageRecord(path, *type) : 0;
            for (InspectedRecord& record : records)
                if (record.offset == offset &&
                    (!record.headerRead || driver->RecordFits(candidate.device, record.header)))
                    record.chosenFor.push_back(candidate.label);
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
    file.Close();  // the lookup opens the file itself
    MarkChoices(path, records);
    return records;
}
