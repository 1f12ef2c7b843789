#include "hid/hid.h"

#include <cstring>

#include "base/diagnostics.h"
#include "hid/hid_interfaces.h"
#include "text/wformat.h"

namespace {

constexpr SupportedController kSupported[] = {
    {0x0483, 0x5750, kProtocolStream},
    {0x5A3C, 0x5750, kProtocolStream},
    {0x5A3C, 0x4C21, kProtocolBlock},
};

}  // namespace

std::span<const SupportedController> SupportedControllers() { return kSupported; }

bool IsSupportedController(std::uint16_t vendorId, std::uint16_t productId, std::uint32_t* protocolVariant)
{
    for (const SupportedController& pair : kSupported) {
        if (pair.vendorId == vendorId && pair.productId == productId) {
            if (protocolVariant)
                *protocolVariant = pair.protocolVariant;
            return true;
        }
    }
    return false;
}

CHid::CHid(IHidBackend& backend) : m_Backend(backend) {}

CHid::~CHid()
{
    if (m_NotifyHandle != kNoNotifyHandle)
        m_Backend.UnregisterNotification(m_NotifyHandle);
    CloseHandles();
}

void CHid::CloseHandles()
{
    if (m_WriteHandle != kInvalidHidHandle) {
        m_Backend.Close(m_WriteHandle);
        m_WriteHandle = kInvalidHidHandle;
    }
    if (m_ReadHandle != kInvalidHidHandle) {
        m_Backend.Close(m_ReadHandle);
        m_ReadHandle = kInvalidHidHandle;
    }
}

void CHid::PinDevice(const std::u16string& path, std::uint32_t variant)
{
    m_DevicePath = path;
    ProtocolVariant = variant;
    m_UsbId.reset();
    m_Pinned = true;
}

int CHid::FindHid(HidHandle* handle)
{
    *handle = kInvalidHidHandle;
    const auto take = [&](const std::u16string& path) {
        *handle = m_Backend.Open(path, HidOpenMode::ReadWriteOverlapped);
        if (*handle == kInvalidHidHandle)
            return false;
        HidAttributes attributes;
        std::uint32_t variant = kProtocolStream;
        if (m_Backend.GetAttributes(*handle, attributes) &&
            IsSupportedController(attributes.vendorId, attributes.productId, &variant)) {
            m_DevicePath = path;
            DebugOut(WFormat(u"m_DevicePath:%s\n", path));
            ProtocolVariant = variant;
            m_UsbId = UsbId{attributes.vendorId, attributes.productId};
            return true;
        }
        m_Backend.Close(*handle);
        *handle = kInvalidHidHandle;
        return false;
    };
    if (m_Pinned)
        return take(std::u16string(m_DevicePath)) ? 1 : 0;
    return ForEachHidInterface(m_Backend, take) ? 1 : 0;
}

int CHid::SelectHid(const std::u16string& path)
{
    const HidHandle handle = m_Backend.Open(path, HidOpenMode::ReadWriteOverlapped);
    if (handle == kInvalidHidHandle)
        return 0;
    HidAttributes attributes;
    std::uint32_t variant = kProtocolStream;
    const bool supported = m_Backend.GetAttributes(handle, attributes) &&
                           IsSupportedController(attributes.vendorId, attributes.productId, &variant);
    m_Backend.Close(handle);
    if (!supported)
        return 0;
    m_DevicePath = path;
    ProtocolVariant = variant;
    m_UsbId = UsbId{attributes.vendorId, attributes.productId};
    return 1;
}

int CHid::ProbeHid()
{
    HidHandle handle = kInvalidHidHandle;
    const int found = FindHid(&handle);
    if (m_NotifyRegistered == 0) {
        RegisterHidNotification();
        m_NotifyRegistered = 1;
    }
    if (found) {
        m_Present = 1;
        m_Backend.Close(handle);
        return 1;
    }
    m_Present = 0;
    return 0;
}

int CHid::RegisterHidNotification()
{
    m_NotifyHandle = m_Backend.RegisterNotification(m_NotifyWindow);
    return m_NotifyHandle != kNoNotifyHandle ? 1 : 0;
}

int CHid::OpenHid()
{
    CloseHandles();
    m_WriteHandle = m_Backend.Open(m_DevicePath, HidOpenMode::WriteOverlapped);
    if (m_WriteHandle == kInvalidHidHandle)
        return 0;
    m_ReadHandle = m_Backend.Open(m_DevicePath, HidOpenMode::ReadOverlapped);
    if (m_ReadHandle == kInvalidHidHandle)
        return 0;
    m_ReadTimeout = kOpenReadTimeoutMs;
    m_DeviceGone = false;
    return 1;
}

std::uint32_t CHid::ReadHid(std::uint8_t* destination, std::uint8_t count)
{
    if (m_ReadHandle == kInvalidHidHandle)
        return kReadNotOpen;
    std::uint8_t report[kHidReportBytes] = {};
    switch (m_Backend.Read(m_ReadHandle, report, m_ReadTimeout)) {
    case HidReadStatus::Report:
        if (count > 64)
            count = 64;
        std::memcpy(destination, report + 1, count);
        return kReadOk;
    case HidReadStatus::Timeout:
        return kReadTimeout;
    case HidReadStatus::DeviceGone:
        m_DeviceGone = true;
        return kReadDeviceGone;
    case HidReadStatus::Error:
        break;
    }
    return kReadFailed;
}

int CHid::WriteHid(const std::uint8_t* source, std::uint8_t count)
{
    if (count > 64)
        count = 64;
    ReportOut[0] = 0;
    std::memcpy(ReportOut + 1, source, count);
    if (m_WriteHandle == kInvalidHidHandle)
        return 0;
    if (m_Backend.Write(m_WriteHandle, ReportOut))
        return 1;
    m_LastWriteError = m_Backend.LastErrorCode();
    return 0;
}
