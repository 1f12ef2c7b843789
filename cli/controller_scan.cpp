#include "cli/controller_scan.h"

#include <cerrno>

#include "hid/hid.h"
#include "hid/hid_interfaces.h"

std::vector<FoundController> ScanControllers(IHidBackend& backend, const IdentityLookup& lookup)
{
    std::vector<FoundController> found;
    ForEachHidInterface(backend, [&](const std::u16string& path) {
        FoundController entry;
        entry.path = path;
        HidAttributes attributes;
        const HidHandle handle = backend.Open(entry.path, HidOpenMode::ReadWriteOverlapped);
        if (handle == kInvalidHidHandle) {
            entry.openable = false;
            entry.openError = backend.LastErrorCode();
            const auto known = lookup ? lookup(entry.path) : std::nullopt;
            if (!known)
                return false;
            attributes = *known;
        } else {
            const bool read = backend.GetAttributes(handle, attributes);
            backend.Close(handle);
            if (!read)
                return false;
        }
        if (!IsSupportedController(attributes.vendorId, attributes.productId, &entry.variant))
            return false;
        entry.vendorId = attributes.vendorId;
        entry.productId = attributes.productId;
        found.push_back(std::move(entry));
        return false;
    });
    return found;
}

KnownController KnownControllerOf(const FoundController& controller)
{
    return {controller.path, controller.variant};
}

std::string OpenFailureAdvice(std::uint32_t openError)
{
#if defined(_WIN32)
    (void)openError;
    return "another program holds it open: close that program and try again";
#else
    if (openError == ENOENT || openError == ENODEV || openError == ENXIO)
        return "it went away while being listed: plug it in again";
    return "permission denied: install the udev rule 70-controller-updater.rules in "
           "/usr/lib/udev/rules.d or /etc/udev/rules.d, then unplug and replug the controller";
#endif
}
