#include "sim/virtual_hid_bus.h"

#include <algorithm>
#include <cstring>

namespace {

// Codes a real system would leave for its last-error query.
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

thread_local std::uint32_t t_LastError = 0;

int ModeIndex(HidOpenMode mode) { return static_cast<int>(mode); }

}  // namespace

class VirtualHidBus::Port final : public SimDevicePort {
public:
    Port(VirtualHidBus& bus, Device& device) : m_Bus(bus), m_Device(device) {}
    void SendInput(const std::uint8_t* payload64, std::uint32_t delayMs) override
    {
        HidReport report{};
        std::memcpy(report.data() + 1, payload64, 64);
        m_Bus.QueueInputLocked(m_Device, report, delayMs);
    }
    void Unplug() override { m_UnplugRequested = true; }
    std::uint64_t NowMs() override { return m_Bus.m_Clock.NowMs(); }
    bool UnplugRequested() const { return m_UnplugRequested; }

private:
    VirtualHidBus& m_Bus;
    Device& m_Device;
    bool m_UnplugRequested = false;
};

VirtualHidBus::VirtualHidBus(IClock& clock) : m_Clock(clock), m_Changed(clock.MakeWait()) {}
VirtualHidBus::~VirtualHidBus() = default;

VirtualHidBus::DeviceId VirtualHidBus::Plug(SimDeviceConfig config,
                                            std::initializer_list<std::uint32_t> events)
{
    return PlugImpl(SIZE_MAX, std::move(config), events);
}

VirtualHidBus::DeviceId VirtualHidBus::PlugAt(std::size_t position, SimDeviceConfig config,
                                              std::initializer_list<std::uint32_t> events)
{
    return PlugImpl(position, std::move(config), events);
}

VirtualHidBus::DeviceId VirtualHidBus::PlugImpl(std::size_t position, SimDeviceConfig config,
                                                std::vector<std::uint32_t> events)
{
    DeviceId id;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto device = std::make_shared<Device>();
        device->id = id = m_NextDevice++;
        device->config = std::move(config);
        position = std::min(position, m_Order.size());
        m_Order.insert(m_Order.begin() + static_cast<std::ptrdiff_t>(position), device);
    }
    Deliver(events);
    return id;
}

void VirtualHidBus::Unplug(DeviceId id, std::initializer_list<std::uint32_t> events)
{
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        std::shared_ptr<Device> device = FindLocked(id);
        if (!device || !device->present)
            return;
        UnplugLocked(*device);
    }
    Deliver(events);
}

void VirtualHidBus::UnplugLocked(Device& device)
{
    device.present = false;
    m_Order.erase(std::remove_if(m_Order.begin(), m_Order.end(),
                                 [&](const auto& d) { return d.get() == &device; }),
                  m_Order.end());
    m_Changed->Notify();
}

void VirtualHidBus::Deliver(const std::vector<std::uint32_t>& events)
{
    Notifier notifier;
    std::vector<NotifyWindow> windows;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        notifier = m_Notifier;
        for (const auto& [handle, window] : m_Registrations)
            windows.push_back(window);
    }
    if (!notifier)
        return;
    for (std::uint32_t event : events)
        for (NotifyWindow window : windows)
            notifier(window, event);
}

bool VirtualHidBus::IsPresent(DeviceId id) const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto device = FindLocked(id);
    return device && device->present;
}

std::shared_ptr<VirtualHidBus::Device> VirtualHidBus::FindLocked(DeviceId id) const
{
    for (const auto& device : m_Order)
        if (device->id == id)
            return device;
    for (const auto& [handle, state] : m_Handles)
        if (state.device->id == id)
            return state.device;
    return nullptr;
}

void VirtualHidBus::SetNotifier(Notifier notifier)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Notifier = std::move(notifier);
}

void VirtualHidBus::SetRefuseOpen(DeviceId id, HidOpenMode mode, bool refuse)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (auto device = FindLocked(id))
        device->refuseOpen[ModeIndex(mode)] = refuse;
}

void VirtualHidBus::SetFailAttributes(DeviceId id, bool fail)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (auto device = FindLocked(id))
        device->failAttributes = fail;
}

void VirtualHidBus::SetFailWrites(DeviceId id, bool fail)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (auto device = FindLocked(id))
        device->failWrites = fail;
}

void VirtualHidBus::SetFailPathFetch(DeviceId id, bool fail)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (auto device = FindLocked(id))
        device->failPathFetch = fail;
}

int VirtualHidBus::PathFetchCount() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_PathFetchCount;
}

void VirtualHidBus::SetFailList(bool fail)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_FailList = fail;
}

void VirtualHidBus::SetFailRegistration(bool fail)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_FailRegistration = fail;
}

void VirtualHidBus::QueueInputLocked(Device& device, const HidReport& report, std::uint32_t delayMs)
{
    const std::uint64_t due = m_Clock.NowMs() + delayMs;
    for (auto& [handle, state] : m_Handles)
        if (state.device.get() == &device && state.mode == HidOpenMode::ReadOverlapped)
            state.input.push_back({due, report});
    m_Changed->Notify();
}

void VirtualHidBus::InjectInput(DeviceId id, const HidReport& report, std::uint32_t delayMs)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (auto device = FindLocked(id))
        QueueInputLocked(*device, report, delayMs);
}

std::vector<HidReport> VirtualHidBus::OutputLog(DeviceId id) const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto device = FindLocked(id);
    return device ? device->outputLog : std::vector<HidReport>{};
}

void VirtualHidBus::ClearOutputLog(DeviceId id)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (auto device = FindLocked(id))
        device->outputLog.clear();
}

std::size_t VirtualHidBus::OpenHandleCount() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Handles.size();
}

int VirtualHidBus::RegistrationCount() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_RegistrationCount;
}

int VirtualHidBus::ActiveRegistrations() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return static_cast<int>(m_Registrations.size());
}

HidInterfaceList VirtualHidBus::OpenInterfaceList()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (m_FailList)
        return kInvalidInterfaceList;
    HidInterfaceList list = m_NextHandle++;
    m_Lists[list] = m_Order;
    return list;
}

bool VirtualHidBus::HasInterface(HidInterfaceList list, std::uint32_t index)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Lists.find(list);
    return it != m_Lists.end() && index < it->second.size();
}

std::size_t VirtualHidBus::InterfacePathSize(HidInterfaceList list, std::uint32_t index)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Lists.find(list);
    if (it == m_Lists.end() || index >= it->second.size())
        return 0;
    return it->second[index]->config.path.size() + 1;
}

bool VirtualHidBus::InterfacePath(HidInterfaceList list, std::uint32_t index,
                                  std::size_t bufferChars, std::u16string& path)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Lists.find(list);
    if (it == m_Lists.end() || index >= it->second.size())
        return false;
    ++m_PathFetchCount;
    const Device& device = *it->second[index];
    const std::u16string& found = device.config.path;
    if (device.failPathFetch || found.size() + 1 > bufferChars)
        return false;
    path = found;
    return true;
}

void VirtualHidBus::CloseInterfaceList(HidInterfaceList list)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Lists.erase(list);
}

HidHandle VirtualHidBus::Open(const std::u16string& path, HidOpenMode mode)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    for (const auto& device : m_Order) {
        if (device->config.path != path)
            continue;
        if (device->refuseOpen[ModeIndex(mode)]) {
            t_LastError = kErrorGenFailure;
            return kInvalidHidHandle;
        }
        HidHandle handle = m_NextHandle++;
        m_Handles[handle] = Handle{device, mode, {}};
        return handle;
    }
    t_LastError = kErrorDeviceNotConnected;
    return kInvalidHidHandle;
}

bool VirtualHidBus::GetAttributes(HidHandle handle, HidAttributes& attributes)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Handles.find(handle);
    if (it == m_Handles.end() || !it->second.device->present || it->second.device->failAttributes)
        return false;
    attributes.vendorId = it->second.device->config.vendorId;
    attributes.productId = it->second.device->config.productId;
    attributes.versionNumber = 0x0100;
    return true;
}

bool VirtualHidBus::Write(HidHandle handle, const std::uint8_t* report)
{
    bool unplugged = false;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto it = m_Handles.find(handle);
        if (it == m_Handles.end()) {
            t_LastError = kErrorInvalidHandle;
            return false;
        }
        Device& device = *it->second.device;
        if (!device.present) {
            t_LastError = kErrorDeviceNotConnected;
            return false;
        }
        if (device.failWrites) {
            t_LastError = kErrorGenFailure;
            return false;
        }
        HidReport copy{};
        std::memcpy(copy.data(), report, copy.size());
        device.outputLog.push_back(copy);
        if (device.config.model) {
            Port port(*this, device);
            device.config.model->OnOutputReport(copy.data(), port);
            if (port.UnplugRequested()) {
                UnplugLocked(device);
                unplugged = true;
            }
        }
    }
    if (unplugged)
        Deliver({kDbtDeviceRemoveComplete});
    return true;
}

HidReadStatus VirtualHidBus::Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    const std::uint64_t deadline = m_Clock.NowMs() + timeoutMs;
    for (;;) {
        auto it = m_Handles.find(handle);
        if (it == m_Handles.end())
            return HidReadStatus::Error;
        Handle& state = it->second;
        if (!state.device->present)
            return HidReadStatus::DeviceGone;
        const std::uint64_t now = m_Clock.NowMs();
        std::uint64_t wake = deadline;
        if (!state.input.empty()) {
            if (state.input.front().dueMs <= now) {
                std::memcpy(report, state.input.front().report.data(), kHidReportBytes);
                state.input.pop_front();
                return HidReadStatus::Report;
            }
            wake = std::min(wake, state.input.front().dueMs);
        }
        if (now >= deadline)
            return HidReadStatus::Timeout;
        m_Changed->WaitUntil(lock, wake);
    }
}

void VirtualHidBus::Close(HidHandle handle)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Handles.erase(handle);
    m_Changed->Notify();
}

std::uint32_t VirtualHidBus::LastErrorCode() { return t_LastError; }

NotifyHandle VirtualHidBus::RegisterNotification(NotifyWindow window)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    ++m_RegistrationCount;
    if (m_FailRegistration)
        return kNoNotifyHandle;
    NotifyHandle handle = m_NextHandle++;
    m_Registrations[handle] = window;
    return handle;
}

void VirtualHidBus::UnregisterNotification(NotifyHandle handle)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Registrations.erase(handle);
}
