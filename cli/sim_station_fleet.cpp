#include "cli/sim_station_fleet.h"

#include "sim/forwarding_backend.h"

namespace {
constexpr std::uint16_t kForeignVendor = 0x046D;
constexpr std::uint16_t kForeignProduct = 0xC52B;
}  // namespace

class SimStationFleet::CountingBus final : public ForwardingBackend {
public:
    explicit CountingBus(IHidBackend& inner) : ForwardingBackend(inner) {}
    HidHandle Open(const std::u16string& path, HidOpenMode mode) override
    {
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            ++m_Opens[path];
        }
        return ForwardingBackend::Open(path, mode);
    }
    int Opens(const std::u16string& path) const
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto found = m_Opens.find(path);
        return found == m_Opens.end() ? 0 : found->second;
    }

private:
    mutable std::mutex m_Mutex;
    std::map<std::u16string, int> m_Opens;
};

SimStationFleet::SimStationFleet(IClock& clock, std::uint32_t answerDelayMs)
    : m_Clock(clock),
      m_AnswerDelayMs(answerDelayMs),
      m_Bus(clock),
      m_Counting(std::make_unique<CountingBus>(m_Bus)),
      m_ScheduleWake(clock.MakeWait())
{
    m_Thread = std::thread([this] { RunSchedule(); });
}

SimStationFleet::~SimStationFleet()
{
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Ending = true;
        m_ScheduleWake->Notify();
    }
    m_Thread.join();
}

IHidBackend& SimStationFleet::Backend() { return *m_Counting; }

std::u16string SimStationFleet::PathOf(const std::string& port)
{
    const std::string path = "sim/" + port;
    return {path.begin(), path.end()};
}

UnitDescriber SimStationFleet::Describer()
{
    return [this](const std::u16string& path) -> std::optional<UnitIdentity> {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto found = m_Identities.find(path);
        if (found == m_Identities.end())
            return std::nullopt;
        return found->second;
    };
}

void SimStationFleet::OnChange(std::function<void()> onChange)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_OnChange = std::move(onChange);
}

void SimStationFleet::Plug(const std::string& port, const SimulatedController& controller, const std::string& serial)
{
    SimDeviceConfig config = MakeSimulatedDevice(controller, m_AnswerDelayMs);
    config.path = PathOf(port);
    std::function<void()> onChange;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        if (m_Plugged.count(port))
            return;
        m_Identities[config.path] = {config.vendorId, config.productId, port, serial};
        const auto id = m_Bus.Plug(std::move(config), {});
        m_Plugged[port] = {id, controller, serial};
        onChange = m_OnChange;
    }
    if (onChange)
        onChange();
}

void SimStationFleet::PlugForeign(const std::string& port)
{
    SimDeviceConfig config;
    config.path = PathOf(port);
    config.vendorId = kForeignVendor;
    config.productId = kForeignProduct;
    std::function<void()> onChange;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Identities[config.path] = {config.vendorId, config.productId, port, {}};
        m_Plugged[port] = {m_Bus.Plug(std::move(config), {}), {}, {}};
        onChange = m_OnChange;
    }
    if (onChange)
        onChange();
}

void SimStationFleet::Unplug(const std::string& port)
{
    std::function<void()> onChange;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto found = m_Plugged.find(port);
        if (found == m_Plugged.end())
            return;
        m_Bus.Unplug(found->second.id, {});
        m_Plugged.erase(found);
        onChange = m_OnChange;
    }
    if (onChange)
        onChange();
}

void SimStationFleet::ReEnumerate(const std::string& port)
{
    SimulatedController restarted;
    std::string serial;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto found = m_Plugged.find(port);
        if (found == m_Plugged.end())
            return;
        restarted = {found->second.controller.kind, "current"};
        serial = found->second.serial;
    }
    Unplug(port);
    At(m_Clock.NowMs() + kRestartMs, [this, port, restarted, serial] { Plug(port, restarted, serial); });
}

void SimStationFleet::At(std::uint64_t atMs, std::function<void()> action)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Schedule.emplace(atMs, std::move(action));
    m_ScheduleWake->Notify();
}

int SimStationFleet::Opens(const std::string& port) const { return m_Counting->Opens(PathOf(port)); }

void SimStationFleet::RunSchedule()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (!m_Ending) {
        if (m_Schedule.empty()) {
            m_ScheduleWake->WaitUntil(lock, m_Clock.NowMs() + 60'000);
            continue;
        }
        const auto next = m_Schedule.begin();
        if (m_Clock.NowMs() < next->first) {
            m_ScheduleWake->WaitUntil(lock, next->first);
            continue;
        }
        std::function<void()> action = std::move(next->second);
        m_Schedule.erase(next);
        lock.unlock();
        action();
        lock.lock();
    }
}
