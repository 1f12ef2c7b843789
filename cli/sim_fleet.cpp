#include "cli/sim_fleet.h"

#include "block/device_memory_map.h"
#include "sim/sim_block_controller.h"
#include "sim/sim_stream_controller.h"

namespace {

constexpr std::uint32_t kDemoInstalledVersion = 0x00000089;  // 1.37, older than the demo packages
constexpr std::uint32_t kDemoPackageVersion = 0x0000008C;    // 1.40, the demo packages' own
constexpr std::uint32_t kDemoBlockDeviceType = 0x5111;
constexpr std::uint16_t kRuledModel = 261;
constexpr std::uint8_t kStreamFailureReport = 21;
constexpr std::uint32_t kCorruptOffset = 100;  // image offset of the byte the flash gets wrong

bool KnownFault(DemoKind kind, std::string_view fault)
{
    if (fault.empty() || fault == "locked" || fault == "fail" || fault == "current")
        return true;
    if (kind == DemoKind::Stream)
        return fault == "old" || fault == "silent";
    return fault == "corrupt" || fault == "noread";
}

}  // namespace

SimDeviceConfig MakeSimulatedDevice(const SimulatedController& controller, std::uint32_t answerDelayMs)
{
    const std::uint32_t version = controller.fault == "current" ? kDemoPackageVersion : kDemoInstalledVersion;
    if (controller.kind == DemoKind::Stream) {
        SimStreamConfig config;
        config.versionWord = version;
        config.answerDelayMs = answerDelayMs;
        if (controller.fault == "old") {
            config.model = kRuledModel;
            config.subModel = 2;
        } else if (controller.fault == "fail") {
            config.failureReport = kStreamFailureReport;
            config.failAfterChunks = 3;
        } else if (controller.fault == "silent") {
            config.silentAfterChunks = 3;
        }
        return MakeSimStreamDevice(std::make_shared<SimStreamController>(config));
    }
    SimBlockConfig config;
    config.deviceType = kDemoBlockDeviceType;
    config.versionWord = version;
    config.faults.answerDelayMs = answerDelayMs;
    if (controller.fault == "corrupt")
        config.faults.corruptByteAt = MemoryMapForType(kDemoBlockDeviceType).imageBase + kCorruptOffset;
    else if (controller.fault == "noread")
        config.faults.ignoreReadMemory = true;
    else if (controller.fault == "fail") {
        config.faults.dropWritesFrom = 3;
        config.faults.dropWriteCount = 1000;
    }
    return MakeSimBlockDevice(std::make_shared<SimBlockController>(config));
}

std::optional<std::vector<SimulatedController>> ParseSimulatedList(std::string_view list)
{
    std::vector<SimulatedController> result;
    if (list == "none")
        return result;
    while (true) {
        const std::size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        const std::size_t colon = item.find(':');
        const auto kind = ParseDemoKind(item.substr(0, colon));
        const std::string_view fault = colon == std::string_view::npos ? "" : item.substr(colon + 1);
        if (!kind || !KnownFault(*kind, fault))
            return std::nullopt;
        result.push_back({*kind, std::string(fault)});
        if (comma == std::string_view::npos)
            return result;
        list.remove_prefix(comma + 1);
    }
}

SimFleet::SimFleet(IClock& clock, const std::vector<SimulatedController>& controllers,
                   std::uint32_t answerDelayMs)
    : m_Bus(clock)
{
    int index = 0;
    for (const SimulatedController& controller : controllers) {
        SimDeviceConfig config = MakeSimulatedDevice(controller, answerDelayMs);
        const std::string name = "sim/" + std::string(controller.kind == DemoKind::Stream ? "stream" : "block") +
                                 std::to_string(index++);
        config.path = std::u16string(name.begin(), name.end());
        m_Identities[config.path] = {config.vendorId, config.productId, 0};
        const auto id = m_Bus.Plug(std::move(config), {});
        if (controller.fault == "locked")
            for (HidOpenMode mode : {HidOpenMode::ReadWriteOverlapped, HidOpenMode::WriteOverlapped,
                                     HidOpenMode::ReadOverlapped})
                m_Bus.SetRefuseOpen(id, mode, true);
    }
}

std::optional<HidAttributes> SimFleet::Identity(const std::u16string& path) const
{
    auto found = m_Identities.find(path);
    if (found == m_Identities.end())
        return std::nullopt;
    return found->second;
}
