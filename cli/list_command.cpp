#include "cli/list_command.h"

#include <cstdio>

#include "base/utf.h"
#include "block/block_device_types.h"
#include "cli/device_readout.h"
#include "cli/exit_codes.h"
#include "cli/hex_text.h"

int RunList(IHidBackend& backend, IClock& clock, const IdentityLookup& lookup, EventOutput& out)
{
    const std::vector<FoundController> controllers = ScanControllers(backend, lookup);
    for (const FoundController& c : controllers) {
        const std::string path = Utf16ToUtf8(c.path);
        const std::string ids = Hex(c.vendorId, 4) + ":" + Hex(c.productId, 4);
        const std::string family(FamilyName(c.variant));
        nlohmann::json event = {{"event", "found"}, {"path", path},      {"vendor", c.vendorId},
                                {"product", c.productId}, {"family", family}, {"openable", c.openable}};
        if (!c.openable) {
            const std::string advice = OpenFailureAdvice(c.openError);
            event["reason"] = advice;
            out.Data(path + "  " + ids + "  " + family + "  cannot be opened: " + advice, event);
            continue;
        }
        const DeviceReadout readout = ReadDevice(backend, clock, c);
        std::string line = path + "  " + ids + "  " + family + "  " + VersionText(readout);
        event["version"] = VersionText(readout);
        if (readout.answered)
            event["versionWord"] = readout.device.cur_devVersion;
        if (c.variant == kProtocolBlock) {
            const DeviceDescription& d = readout.device;
            const bool special = IsSpecialDeviceType(d.currentDeviceType);
            line += "  type 0x" + Hex(d.currentDeviceType, 4) + (special ? " (special)" : "") +
                    "  image at 0x" + Hex(d.memoryMap.imageBase, 8) + "  version word at 0x" +
                    Hex(d.memoryMap.versionAddress, 8);
            event["deviceType"] = d.currentDeviceType;
            event["special"] = special;
            event["imageBase"] = d.memoryMap.imageBase;
            event["versionAddress"] = d.memoryMap.versionAddress;
        }
        out.Data(line, event);
    }
    if (controllers.empty()) {
        out.Message("No supported controller is attached.",
                    {{"event", "failed"}, {"reason", "no-controller"}});
        return kExitNoController;
    }
    return kExitDone;
}
