#pragma once
// The seam where a protocol plugs into the engine. A session holds one
// driver per protocol and runs the one its link's ProtocolVariant names;
// a driver's state is its own and lives as long as the session.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/device_description.h"
#include "engine/update_result.h"
#include "package/package_header.h"

class UpdateSession;

class ProtocolDriver {
public:
    virtual ~ProtocolDriver() = default;

    // The link's ProtocolVariant this driver speaks (hid/hid.h).
    virtual std::uint32_t Variant() const = 0;

    // UI thread, link open: learns what the controller tells about itself
    // into session.device and shows its version (or the instructions). Bounded.
    virtual void Identify(UpdateSession& session) = 0;
    // Between updates: no update is running, and what a controller asks
    // meanwhile is answered as after a finished image.
    virtual void EnterIdle() = 0;
    // The link is open for a new update; nothing of the last one's transfer
    // carries over.
    virtual void PrepareUpdate() = 0;
    // The update worker's body: selection, transfer, and the outcome shown.
    virtual UpdateResult RunUpdate(UpdateSession& session) = 0;

    // The device type whose package record applies, or none: the first.
    virtual std::optional<std::uint32_t> RecordType(const DeviceDescription& device) const = 0;
    // Whether the confirmed record may go to this device.
    virtual bool RecordFits(const DeviceDescription& device, const PackageHeader& header) const = 0;
};

// A session's drivers, built by protocols/standard_protocols.h.
using ProtocolDrivers = std::vector<std::unique_ptr<ProtocolDriver>>;
