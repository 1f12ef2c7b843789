#include "sim/demo_setup.h"

#include <memory>

#include "package/package_writer.h"
#include "sim/sim_block_controller.h"
#include "sim/sim_stream_controller.h"

namespace {
// Older than the demo packages (1.40), so the update visibly changes it.
constexpr std::uint32_t kDemoInstalledVersion = 0x00000089;  // 1.37
// A special type: its record is looked up by type in the multi-record package.
constexpr std::uint32_t kDemoBlockDeviceType = 0x5111;
}  // namespace

std::optional<DemoKind> ParseDemoKind(std::string_view name)
{
    if (name == "stream")
        return DemoKind::Stream;
    if (name == "block")
        return DemoKind::Block;
    return std::nullopt;
}

VirtualHidBus::DeviceId PlugDemoController(VirtualHidBus& bus, DemoKind kind)
{
    if (kind == DemoKind::Stream) {
        SimStreamConfig config;
        config.versionWord = kDemoInstalledVersion;
        return bus.Plug(MakeSimStreamDevice(std::make_shared<SimStreamController>(config)));
    }
    SimBlockConfig config;
    config.deviceType = kDemoBlockDeviceType;
    config.versionWord = kDemoInstalledVersion;
    return bus.Plug(MakeSimBlockDevice(std::make_shared<SimBlockController>(config)));
}

ControllerBinding DemoBinding(DemoKind kind)
{
    ControllerBinding binding;
    binding.family = kind == DemoKind::Stream ? kProtocolStream : kProtocolBlock;
    for (const SupportedController& pair : SupportedControllers())
        if (pair.protocolVariant == binding.family)
            binding.usb.push_back({pair.vendorId, pair.productId});
    if (kind == DemoKind::Block)
        binding.deviceTypes = {kDemoBlockDeviceType};
    return binding;
}

std::u16string DemoPackageName(DemoKind kind)
{
    return kind == DemoKind::Stream ? kDemoStreamPackageName : kDemoBlockPackageName;
}
