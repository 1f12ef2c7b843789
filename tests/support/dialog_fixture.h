#pragma once
// A dialog on the virtual bus with a headless view and a fake clock.
#include <gtest/gtest.h>

#include <memory>

#include "text/text_table.h"
#include "app/update_dlg.h"
#include "sim/fake_clock.h"
#include "sim/guard_clock.h"
#include "support/headless_view.h"
#include "sim/virtual_hid_bus.h"
#include "support/recording_sink.h"
#include "support/fixed_language.h"
#include "protocols/standard_protocols.h"

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetUiLanguage(&language);
        view.SetDeviceChangeTarget([this](std::uint32_t event) {
            if (dlg)
                dlg->OnDeviceChange(event, 0);
        });
    }
    void TearDown() override
    {
        dlg.reset();
        SetUiLanguage(nullptr);
    }
    // Constructs the dialog and runs its initialization.
    void StartDialog()
    {
        dlg = std::make_unique<CUpdateDlg>(bus, view, guard, StandardProtocolDrivers());
        dlg->OnInitDialog();
    }
    // Device-change events reach OnDeviceChange on the thread that caused them.
    void RouteNotificationsToDialog()
    {
        bus.SetNotifier([this](NotifyWindow, std::uint32_t event) {
            if (dlg)
                dlg->OnDeviceChange(event, 0);
        });
    }
    // Clicks the update button and waits until its worker has ended. An
    // update that runs past the limit on the fake clock, or spins with the
    // clock standing still, is stopped and fails the test by name, long
    // before ctest's time-out would.
    void ClickAndWait()
    {
        guard.Guard(&dlg->Session(), clock.NowMs() + kUpdateLimitMs);
        dlg->OnUpdateClicked();
        dlg->WaitForWorker();
        const bool hung = guard.LimitHit();
        guard.Guard(nullptr, 0);
        EXPECT_FALSE(hung) << "hang: the update ran past " << kUpdateLimitMs << " ms on the fake clock, or read it "
                           << GuardClock::kStillReadsLimit << " times without time passing";
    }

    static constexpr std::uint64_t kUpdateLimitMs = 10 * 60 * 1000;

    FixedLanguage language{kLangEnUs};
    FakeClock clock;
    GuardClock guard{clock};  // the dialog's clock
    VirtualHidBus bus{clock};
    HeadlessView view;
    RecordingSink sink;
    std::unique_ptr<CUpdateDlg> dlg;
};
