// Two controllers updated at once by one process: one session each, nothing
// shared. Run under ThreadSanitizer this shows no process-wide state is left.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "base/little_endian.h"
#include "engine/update_session.h"
#include "package/package_writer.h"
#include "sim/fake_clock.h"
#include "sim/sim_block_controller.h"
#include "sim/sim_stream_controller.h"
#include "sim/virtual_hid_bus.h"
#include "support/fixed_language.h"
#include "support/headless_view.h"
#include "support/test_paths.h"
#include "support/view_ui.h"
#include "protocols/standard_protocols.h"

namespace {

struct Controller {
    explicit Controller(const std::u16string& package)
    {
        view.QueueFile(package);
        view.QueueMessageAnswer(kIdOk);
    }
    HeadlessView view;
    ViewUi ui{view};
};

std::u16string Package(const char* tag, std::uint32_t deviceType, std::size_t size)
{
    PackageRecordSpec record;
    record.header.deviceType = deviceType;
    record.header.desVersion = 0x96;
    record.header.imageAddress = 0x08014000;
    record.image = MakeDemoImage(size, deviceType);
    const auto path = TestFilePath(tag);
    EXPECT_TRUE(WritePackageFile(path, std::vector<PackageRecordSpec>{record}));
    return path;
}

TEST(ParallelSessions, StreamAndBlockControllersUpdateAtOnce)
{
    FixedLanguage language{kLangEnUs};
    SetUiLanguage(&language);
    FakeClock clock;
    VirtualHidBus bus{clock};
    auto stream = std::make_shared<SimStreamController>();
    auto block = std::make_shared<SimBlockController>();
    const SimDeviceConfig streamDevice = MakeSimStreamDevice(stream);
    const SimDeviceConfig blockDevice = MakeSimBlockDevice(block);
    bus.Plug(streamDevice, {});
    bus.Plug(blockDevice, {});

    Controller a(Package("_stream", 0, 3000));
    Controller b(Package("_block", 0, 3000));
    UpdateSession first(bus, clock, a.ui, StandardProtocolDrivers());
    UpdateSession second(bus, clock, b.ui, StandardProtocolDrivers());
    ASSERT_EQ(first.HidLink.SelectHid(streamDevice.path), 1);
    ASSERT_EQ(second.HidLink.SelectHid(blockDevice.path), 1);
    ASSERT_TRUE(first.PrepareUpdate());
    ASSERT_TRUE(second.PrepareUpdate());
    std::thread one([&] { first.RunUpdate(); });
    std::thread two([&] { second.RunUpdate(); });
    one.join();
    two.join();
    SetUiLanguage(nullptr);

    for (HeadlessView* view : {&a.view, &b.view}) {
        ASSERT_FALSE(view->Messages().empty());
        EXPECT_EQ(view->Messages().back().text, u"\n Firmware upgraded! \n");
    }
    EXPECT_EQ(stream->InstalledImage(), MakeDemoImage(3000, 0));
    // The version word is stored inside the image's range.
    auto expected = MakeDemoImage(3000, 0);
    PutLe32(&expected[0x34], 0x96);
    EXPECT_EQ(block->Memory(0x08014000, 3000), expected);
}

}  // namespace
