// For the browser tests: a simulated controller (the demo mode's) as a small
// module of its own, behind the fake navigator.hid that replaces WebHID.
// The tests' JavaScript writes each output report here and takes the
// answers, which it then delivers as inputreport events.
#include <cstring>

#include <emscripten.h>

#include "sim/demo_setup.h"
#include "sim/fake_clock.h"
#include "sim/sim_stream_controller.h"
#include "sim/virtual_hid_bus.h"

namespace {

struct SimController {
    SimController(DemoKind kind, std::uint16_t model, std::uint8_t subModel) : bus(clock)
    {
        if (kind == DemoKind::Stream && model != 0) {
            SimStreamConfig config;
            config.model = model;
            config.subModel = subModel;
            bus.Plug(MakeSimStreamDevice(std::make_shared<SimStreamController>(config)));
        } else {
            PlugDemoController(bus, kind);
        }
        HidInterfaceList list = bus.OpenInterfaceList();
        std::u16string path;
        bus.InterfacePath(list, 0, bus.InterfacePathSize(list, 0), path);
        bus.CloseInterfaceList(list);
        writer = bus.Open(path, HidOpenMode::WriteOverlapped);
        reader = bus.Open(path, HidOpenMode::ReadOverlapped);
        bus.GetAttributes(writer, attributes);
    }
    FakeClock clock;
    VirtualHidBus bus;
    HidHandle writer = kInvalidHidHandle;
    HidHandle reader = kInvalidHidHandle;
    HidAttributes attributes;
};

}  // namespace

extern "C" {

// kind: 1 stream, 2 block (the demo mode's controllers). A stream
// controller with a model other than 0 is of that model and sub-model.
EMSCRIPTEN_KEEPALIVE SimController* sim_create(int kind, int model, int subModel)
{
    return new SimController(kind == 2 ? DemoKind::Block : DemoKind::Stream,
                             static_cast<std::uint16_t>(model), static_cast<std::uint8_t>(subModel));
}
EMSCRIPTEN_KEEPALIVE int sim_vendor_id(SimController* sim) { return sim->attributes.vendorId; }
EMSCRIPTEN_KEEPALIVE int sim_product_id(SimController* sim) { return sim->attributes.productId; }

// One output report's 64 bytes; 0 when the controller has left the bus.
EMSCRIPTEN_KEEPALIVE int sim_write(SimController* sim, const std::uint8_t* payload64)
{
    std::uint8_t report[kHidReportBytes] = {};
    std::memcpy(report + 1, payload64, kHidReportBytes - 1);
    return sim->bus.Write(sim->writer, report) ? 1 : 0;
}

// The next answer's 64 bytes into payload64: 1, or 0 when there is none.
EMSCRIPTEN_KEEPALIVE int sim_take_answer(SimController* sim, std::uint8_t* payload64)
{
    std::uint8_t report[kHidReportBytes];
    if (sim->bus.Read(sim->reader, report, 0) != HidReadStatus::Report)
        return 0;
    std::memcpy(payload64, report + 1, kHidReportBytes - 1);
    return 1;
}
}
