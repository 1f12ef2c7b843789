#include "engine/record_choice.h"

RecordChoice ChooseListedRecord(const ProtocolDriver& driver, std::uint32_t protocolVariant,
                                const DeviceDescription& device, std::span<const PackageHeader> records)
{
    RecordChoice choice;
    if (records.empty()) {
        choice.refusal = SelectionRefusal::NoRecord;
        return choice;
    }
    // As FindPackageRecord: the first record of the named type, else the first.
    if (const auto type = driver.RecordType(device)) {
        std::size_t i = 0;
        while (i < records.size() && records[i].deviceType != *type)
            ++i;
        if (i == records.size()) {
            choice.refusal = SelectionRefusal::NoRecord;
            return choice;
        }
        choice.index = i;
    }
    const PackageHeader& header = records[choice.index];
    if (header.imageSize == 0)
        choice.refusal = SelectionRefusal::BrokenRecord;
    else if (!PackageCompatibilityRule(protocolVariant, device.deviceModel, device.deviceSubModel,
                                       header.desVersion))
        choice.refusal = SelectionRefusal::Incompatible;
    else if (!driver.RecordFits(device, header))
        choice.refusal = SelectionRefusal::WrongRecordType;
    return choice;
}
