#include "platform/web/webhid_backend.h"

#include <cstring>
#include <string>

#include "platform/web/web_host.h"

namespace {

constexpr int kMaxDevices = 64;
constexpr char16_t kPathPrefix[] = u"webhid:";

// Codes for diagnostic lines: what a system would leave for its last error.
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorWriteFailed = 29;

// Read results of web_hid_read.
constexpr int kReadReport = 0;
constexpr int kReadTimedOut = 1;
constexpr int kReadGone = 2;

std::u16string PathOf(int id)
{
    std::u16string path = kPathPrefix;
    for (char c : std::to_string(id))
        path += static_cast<char16_t>(c);
    return path;
}

// The id in a path of ours, or -1.
int IdOf(const std::u16string& path)
{
    const std::u16string_view prefix = kPathPrefix;
    if (!path.starts_with(prefix) || path.size() == prefix.size() || path.size() > prefix.size() + 9)
        return -1;
    int id = 0;
    for (std::size_t i = prefix.size(); i < path.size(); ++i) {
        if (path[i] < u'0' || path[i] > u'9')
            return -1;
        id = id * 10 + (path[i] - u'0');
    }
    return id;
}

}  // namespace

HidInterfaceList WebHidBackend::OpenInterfaceList()
{
    int ids[kMaxDevices];
    const int count = web_hid_list(ids, kMaxDevices);
    const HidInterfaceList list = m_Next++;
    m_Lists[list].assign(ids, ids + (count < kMaxDevices ? count : kMaxDevices));
    return list;
}

const std::vector<int>* WebHidBackend::FindList(HidInterfaceList list) const
{
    auto it = m_Lists.find(list);
    return it == m_Lists.end() ? nullptr : &it->second;
}

bool WebHidBackend::HasInterface(HidInterfaceList list, std::uint32_t index)
{
    const std::vector<int>* ids = FindList(list);
    return ids && index < ids->size();
}

std::size_t WebHidBackend::InterfacePathSize(HidInterfaceList list, std::uint32_t index)
{
    if (!HasInterface(list, index))
        return 0;
    return PathOf((*FindList(list))[index]).size() + 1;
}

bool WebHidBackend::InterfacePath(HidInterfaceList list, std::uint32_t index,
                                  std::size_t bufferChars, std::u16string& path)
{
    if (!HasInterface(list, index))
        return false;
    std::u16string found = PathOf((*FindList(list))[index]);
    if (found.size() + 1 > bufferChars)
        return false;
    path = std::move(found);
    return true;
}

void WebHidBackend::CloseInterfaceList(HidInterfaceList list) { m_Lists.erase(list); }

HidHandle WebHidBackend::Open(const std::u16string& path, HidOpenMode mode)
{
    const int id = IdOf(path);
    std::uint16_t vendorId = 0, productId = 0, version = 0;
    if (id < 0 || !web_hid_attributes(id, &vendorId, &productId, &version))
        return kInvalidHidHandle;
    if (mode != HidOpenMode::ReadWriteOverlapped && !web_hid_open(id))
        return kInvalidHidHandle;
    const HidHandle handle = m_Next++;
    m_Handles[handle] = Handle{id, mode};
    if (mode == HidOpenMode::ReadOverlapped)
        web_hid_listen(id, 1);
    return handle;
}

const WebHidBackend::Handle* WebHidBackend::FindHandle(HidHandle handle) const
{
    auto it = m_Handles.find(handle);
    return it == m_Handles.end() ? nullptr : &it->second;
}

bool WebHidBackend::GetAttributes(HidHandle handle, HidAttributes& attributes)
{
    const Handle* h = FindHandle(handle);
    if (!h)
        return false;
    return web_hid_attributes(h->id, &attributes.vendorId, &attributes.productId,
                              &attributes.versionNumber) != 0;
}

bool WebHidBackend::Write(HidHandle handle, const std::uint8_t* report)
{
    const Handle* h = FindHandle(handle);
    if (!h || h->mode != HidOpenMode::WriteOverlapped) {
        m_LastError = kErrorInvalidHandle;
        return false;
    }
    // WebHID takes the report ID apart from the 64 bytes; ours is always 0.
    if (web_hid_write(h->id, report + 1, kHidWriteTimeoutMs))
        return true;
    m_LastError = kErrorWriteFailed;
    return false;
}

HidReadStatus WebHidBackend::Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs)
{
    const Handle* h = FindHandle(handle);
    if (!h || h->mode != HidOpenMode::ReadOverlapped)
        return HidReadStatus::Error;
    std::uint8_t payload[kHidReportBytes - 1];
    switch (web_hid_read(h->id, payload, timeoutMs)) {
    case kReadReport:
        report[0] = 0;
        std::memcpy(report + 1, payload, sizeof payload);
        return HidReadStatus::Report;
    case kReadTimedOut:
        return HidReadStatus::Timeout;
    case kReadGone:
        return HidReadStatus::DeviceGone;
    default:
        return HidReadStatus::Error;
    }
}

void WebHidBackend::Close(HidHandle handle)
{
    const Handle* h = FindHandle(handle);
    if (!h)
        return;
    if (h->mode == HidOpenMode::ReadOverlapped)
        web_hid_listen(h->id, 0);
    m_Handles.erase(handle);
}
