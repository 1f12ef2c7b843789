#include "platform/linux/controller_probe.h"

#include "hid/hid.h"

bool FindAttachedController(IHidBackend& backend, std::u16string& path)
{
    CHid link(backend);
    HidHandle handle = kInvalidHidHandle;
    if (!link.FindHid(&handle))
        return false;
    backend.Close(handle);
    path = link.m_DevicePath;
    return true;
}
