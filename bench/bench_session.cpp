#include "bench/bench_session.h"

#include <filesystem>

#include "base/utf.h"
#include "package/package_writer.h"
#include "sim/sim_block_controller.h"
#include "sim/sim_stream_controller.h"
#include "protocols/standard_protocols.h"

std::u16string WriteBenchPackage(BenchFamily family, std::size_t imageBytes)
{
    PackageRecordSpec record;
    record.header.desVersion = 0x96;
    record.header.imageAddress = 0x08014000;
    record.image = MakeDemoImage(imageBytes, 7);
    const std::string name = family == BenchFamily::Stream ? "bench_stream.dat" : "bench_block.dat";
    const std::u16string path =
        Utf8ToUtf16((std::filesystem::temp_directory_path() / name).string());
    WritePackageFile(path, std::vector<PackageRecordSpec>{record});
    return path;
}

void PlugBenchController(VirtualHidBus& bus, BenchFamily family)
{
    if (family == BenchFamily::Stream) {
        bus.Plug(MakeSimStreamDevice(std::make_shared<SimStreamController>()), {});
        return;
    }
    SimBlockConfig config;
    // Room for a 1 MiB image behind the image base.
    config.regions = {{0x08000000, 0x140000}};
    bus.Plug(MakeSimBlockDevice(std::make_shared<SimBlockController>(config)), {});
}

bool RunBenchUpdate(IHidBackend& backend, IClock& clock, const std::u16string& package)
{
    ConfirmingUi ui(package);
    UpdateSession session(backend, clock, ui, StandardProtocolDrivers());
    if (!session.HidLink.ProbeHid() || !session.PrepareUpdate())
        return false;
    session.RunUpdate();
    return ui.Done();
}
