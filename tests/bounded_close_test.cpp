// Closing the dialog during any step of an update ends the worker promptly,
// on the real clock: erase pauses and polls wake on the stop request.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>

#include "app/update_dlg.h"
#include "package/package_writer.h"
#include "sim/sim_block_controller.h"
#include "sim/sim_stream_controller.h"
#include "sim/virtual_hid_bus.h"
#include "support/fixed_language.h"
#include "support/headless_view.h"
#include "support/test_paths.h"
#include "text/text_table.h"
#include "protocols/standard_protocols.h"

namespace {

using Steady = std::chrono::steady_clock;

struct CloseCase {
    const char* name;
    std::function<SimDeviceConfig()> device;
    std::uint32_t deviceType;  // the package's record type
    int closeAfterMs;          // from the click
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

SimDeviceConfig BlockThatNeverErases(std::uint32_t type)
{
    SimBlockConfig config;
    config.deviceType = type;
    config.faults.ignoreErase = true;
    return MakeSimBlockDevice(std::make_shared<SimBlockController>(config));
}

SimDeviceConfig StreamThatStalls()
{
    SimStreamConfig config;
    config.silentAfterChunks = 2;
    return MakeSimStreamDevice(std::make_shared<SimStreamController>(config));
}

class BoundedClose : public testing::TestWithParam<CloseCase> {
protected:
    void SetUp() override { SetUiLanguage(&language); }
    void TearDown() override { SetUiLanguage(nullptr); }

    FixedLanguage language{kLangEnUs};
    VirtualHidBus bus{SystemClock::Instance()};
    HeadlessView view;
};

TEST_P(BoundedClose, EndsSoonAfterTheUsersOk)
{
    const CloseCase& c = GetParam();
    PackageRecordSpec record;
    record.header.deviceType = c.deviceType;
    record.header.desVersion = 150;
    record.header.imageAddress = 0x08014000;
    record.image = MakeDemoImage(4096, c.deviceType);
    const auto path = TestFilePath();
    ASSERT_TRUE(WritePackageFile(path, std::vector<PackageRecordSpec>{record}));
    bus.Plug(c.device(), {});

    CUpdateDlg dlg(bus, view, SystemClock::Instance(), StandardProtocolDrivers());
    dlg.OnInitDialog();
    view.QueueFile(path);
    view.QueueMessageAnswer(kIdOk);  // the confirmation
    dlg.OnUpdateClicked();
    std::this_thread::sleep_for(std::chrono::milliseconds(c.closeAfterMs));
    ASSERT_TRUE(dlg.WorkerActive()) << "the update must still be running when the user closes";

    view.QueueMessageAnswer(kIdOk);  // stop the update? OK
    const auto start = Steady::now();
    EXPECT_TRUE(dlg.OnCloseRequested());
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
    EXPECT_FALSE(dlg.WorkerActive());
    // 300 ms is the promise; the margin is for loaded and sanitized builds.
    EXPECT_LT(took.count(), 1000) << "closing took " << took.count() << " ms";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BoundedClose,
    testing::Values(CloseCase{"ErasePause", [] { return BlockThatNeverErases(0); }, 0, 300},
                    CloseCase{"EraseResendPolls", [] { return BlockThatNeverErases(0); }, 0, 1300},
                    CloseCase{"ErasePolls", [] { return BlockThatNeverErases(0x5111); }, 0x5111, 2200},
                    CloseCase{"StalledStream", StreamThatStalls, 0, 400}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
