#include "cli/controller_scan.h"

#include <cerrno>

#include "hid/hid.h"

namespace {

bool FetchPath(IHidBackend& backend, HidInterfaceList list, std::uint32_t index, std::u16string& path)
{
    const std::size_t chars = backend.InterfacePathSize(list, index);
    return chars != 0 && backend.InterfacePath(list, index, chars, path);
}

}  // namespace

std::vector<FoundController> ScanControllers(IHidBackend& backend, const IdentityLookup& lookup)
{
    std::vector<FoundController> found;
    const HidInterfaceList list = backend.OpenInterfaceList();
    if (list == kInvalidInterfaceList)
        return found;
    for (std::uint32_t index = 0; backend.HasInterface(list, index); ++index) {
        FoundController entry;
        if (!FetchPath(backend, list, index, entry.path))
            continue;
        HidAttributes attributes;
        const HidHandle handle = backend.Open(entry.path, HidOpenMode::ReadWriteOverlapped);
        if (handle == kInvalidHidHandle) {
            entry.openable = false;
            entry.openError = backend.LastErrorCode();
            const auto known = lookup ? lookup(entry.path) : std::nullopt;
            if (!known)
                continue;
            attributes = *known;
        } else {
            const bool read = backend.GetAttributes(handle, attributes);
            backend.Close(handle);
            if (!read)
                continue;
        }
        if (!IsSupportedController(attributes.vendorId, attributes.productId, &entry.block))
            continue;
        entry.vendorId = attributes.vendorId;
        entry.productId = attributes.productId;
        found.push_back(std::move(entry));
    }
    backend.CloseInterfaceList(list);
    return found;
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
