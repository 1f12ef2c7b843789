#pragma once
// An in-process HID bus: virtual devices that can be plugged and unplugged at
// any time, refuse to open, fail attribute reads or writes, and answer output
// reports through a device model. It is a complete IHidBackend, so the link
// runs over it unchanged.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/clock.h"
#include "hid/hid_backend.h"
#include "sim/sim_device_model.h"

using HidReport = std::array<std::uint8_t, kHidReportBytes>;

struct SimDeviceConfig {
    std::u16string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::shared_ptr<ISimDeviceModel> model;  // may be null: a silent device
};

class VirtualHidBus final : public IHidBackend {
public:
    using DeviceId = int;
    // Receives each device-change event for each registered window. Called
    // without the bus lock held, on the thread that plugged or unplugged.
    using Notifier = std::function<void(NotifyWindow window, std::uint32_t event)>;

    explicit VirtualHidBus(IClock& clock);
    ~VirtualHidBus() override;

    // --- Test and demo control (any thread) ---
    // Adds a device at the end of the enumeration order (or at position).
    DeviceId Plug(SimDeviceConfig config, std::initializer_list<std::uint32_t> events = {kDbtDeviceArrival});
    DeviceId PlugAt(std::size_t position, SimDeviceConfig config,
                    std::initializer_list<std::uint32_t> events = {kDbtDeviceArrival});
    void Unplug(DeviceId id, std::initializer_list<std::uint32_t> events = {kDbtDeviceRemoveComplete});
    bool IsPresent(DeviceId id) const;
    void SetNotifier(Notifier notifier);
    void SetRefuseOpen(DeviceId id, HidOpenMode mode, bool refuse);
    void SetFailAttributes(DeviceId id, bool fail);
    void SetFailWrites(DeviceId id, bool fail);
    // The device's path fetch fails (as if it kept growing) while set.
    void SetFailPathFetch(DeviceId id, bool fail);
    int PathFetchCount() const;
    void SetFailList(bool fail);
    void SetFailRegistration(bool fail);
    // Queues an input report (65 bytes, report ID first) on every open read handle.
    void InjectInput(DeviceId id, const HidReport& report, std::uint32_t delayMs = 0);
    std::vector<HidReport> OutputLog(DeviceId id) const;
    void ClearOutputLog(DeviceId id);
    std::size_t OpenHandleCount() const;
    int RegistrationCount() const;
    int ActiveRegistrations() const;

    // --- IHidBackend ---
    HidInterfaceList OpenInterfaceList() override;
    bool HasInterface(HidInterfaceList list, std::uint32_t index) override;
    std::size_t InterfacePathSize(HidInterfaceList list, std::uint32_t index) override;
    bool InterfacePath(HidInterfaceList list, std::uint32_t index, std::size_t bufferChars,
                       std::u16string& path) override;
    void CloseInterfaceList(HidInterfaceList list) override;
    HidHandle Open(const std::u16string& path, HidOpenMode mode) override;
    bool GetAttributes(HidHandle handle, HidAttributes& attributes) override;
    bool Write(HidHandle handle, const std::uint8_t* report) override;
    HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) override;
    void Close(HidHandle handle) override;
    std::uint32_t LastErrorCode() override;
    NotifyHandle RegisterNotification(NotifyWindow window) override;
    void UnregisterNotification(NotifyHandle handle) override;

private:
    struct PendingInput {
        std::uint64_t dueMs;
        HidReport report;
    };
    struct Device {
        DeviceId id = 0;
        SimDeviceConfig config;
        bool present = true;
        bool refuseOpen[3] = {false, false, false};
        bool failAttributes = false;
        bool failWrites = false;
        bool failPathFetch = false;
        std::vector<HidReport> outputLog;
    };
    struct Handle {
        std::shared_ptr<Device> device;
        HidOpenMode mode;
        std::deque<PendingInput> input;
    };
    class Port;

    std::shared_ptr<Device> FindLocked(DeviceId id) const;
    void QueueInputLocked(Device& device, const HidReport& report, std::uint32_t delayMs);
    void UnplugLocked(Device& device);
    void Deliver(const std::vector<std::uint32_t>& events);
    DeviceId PlugImpl(std::size_t position, SimDeviceConfig config, std::vector<std::uint32_t> events);

    IClock& m_Clock;
    mutable std::mutex m_Mutex;
    std::unique_ptr<IClockWait> m_Changed;  // woken by every change a reader waits for
    std::vector<std::shared_ptr<Device>> m_Order;  // enumeration order of present devices
    std::map<HidInterfaceList, std::vector<std::shared_ptr<Device>>> m_Lists;
    std::map<HidHandle, Handle> m_Handles;
    std::map<NotifyHandle, NotifyWindow> m_Registrations;
    Notifier m_Notifier;
    DeviceId m_NextDevice = 1;
    std::intptr_t m_NextHandle = 1;
    int m_RegistrationCount = 0;
    int m_PathFetchCount = 0;
    bool m_FailList = false;
    bool m_FailRegistration = false;
};
