#pragma once
// The update's record choice and rules applied to a package's headers
// without the file: a catalogue's listing is judged by the same lookup,
// compatibility rule and driver check that SelectFirmwarePackage applies to
// the file once it is downloaded (and there the file's verdict wins).
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/device_description.h"
#include "engine/firmware_selection.h"
#include "engine/protocol_driver.h"
#include "package/package_header.h"

struct RecordChoice {
    SelectionRefusal refusal = SelectionRefusal::None;  // None: the record fits
    std::size_t index = 0;                              // the record the update would take
};

// driver is the one speaking protocolVariant; records in file order.
RecordChoice ChooseListedRecord(const ProtocolDriver& driver, std::uint32_t protocolVariant,
                                const DeviceDescription& device, std::span<const PackageHeader> records);
