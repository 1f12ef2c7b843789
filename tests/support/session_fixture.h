#pragma once
// An update session on the virtual bus with a fake clock and a headless view
// behind its UI port: protocol tests without a dialog.
#include <gtest/gtest.h>

#include <memory>

#include "engine/update_session.h"
#include "sim/fake_clock.h"
#include "sim/virtual_hid_bus.h"
#include "support/fixed_language.h"
#include "support/headless_view.h"
#include "support/recording_sink.h"
#include "support/view_ui.h"
#include "text/text_table.h"
#include "protocols/standard_protocols.h"

class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override { SetUiLanguage(&language); }
    void TearDown() override
    {
        session.reset();
        SetUiLanguage(nullptr);
    }
    // A session over backend (the bus unless given) whose link is open to
    // the controller found.
    void OpenSession(IHidBackend* backend = nullptr, IClock* sessionClock = nullptr)
    {
        session = std::make_unique<UpdateSession>(backend ? *backend : bus,
                                                  sessionClock ? *sessionClock : clock, ui, StandardProtocolDrivers());
        ASSERT_EQ(session->HidLink.ProbeHid(), 1);
        ASSERT_EQ(session->HidLink.OpenHid(), 1);
    }

    FixedLanguage language{kLangEnUs};
    FakeClock clock;
    VirtualHidBus bus{clock};
    HeadlessView view;
    ViewUi ui{view};
    RecordingSink sink;
    std::unique_ptr<UpdateSession> session;
};
