#pragma once
// The block protocol's driver: identification by device type, memory map
// and version word; the update erases, writes, optionally reads back, then
// stores the version word and sends Finish. It keeps no state of its own.
#include <cstdint>

#include "engine/protocol_driver.h"

class BlockDriver final : public ProtocolDriver {
public:
    std::uint32_t Variant() const override;
    void Identify(UpdateSession& session) override;
    void EnterIdle() override {}
    void PrepareUpdate() override {}
    UpdateResult RunUpdate(UpdateSession& session) override;
    // A special device type gets the record of its own type.
    std::optional<std::uint32_t> RecordType(const DeviceDescription& device) const override;
    // A special device type must get a record meant for a special type.
    bool RecordFits(const DeviceDescription& device, const PackageHeader& header) const override;
};
