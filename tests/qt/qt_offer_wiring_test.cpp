// The Qt program's dialog with an offer: RunQtDialog makes it with the
// dialog's window as the asker, the dialog tells it of an arrival once and
// stops it as it closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "platform/qt/qt_dialog_view.h"
#include "platform/qt/qt_front_end.h"
#include "sim/demo_setup.h"
#include "sim/virtual_hid_bus.h"
#include "support/fixed_language.h"

namespace {

struct OfferCalls {
    int attached = 0;
    int stopped = 0;
};

class CountingOffer final : public IPackageOffer {
public:
    explicit CountingOffer(OfferCalls& calls) : m_Calls(calls) {}
    void ControllerAttached() override { ++m_Calls.attached; }
    bool ChoosePackage(UpdateSession&, const std::function<bool(std::u16string&)>&, std::u16string&) override
    {
        return false;
    }
    void Stop() override { ++m_Calls.stopped; }

private:
    OfferCalls& m_Calls;  // UI thread only
};

TEST(QtDialogOffer, RunQtDialogHandsItsOfferToTheDialog)
{
    FixedLanguage language{kLangEnUs};
    SetUiLanguage(&language);
    VirtualHidBus bus{SystemClock::Instance()};
    OfferCalls calls;
    bool askerIsTheWindow = false;
    QTimer ticker;
    ticker.setInterval(10);
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (calls.attached == 0 && ++ticks < 300)  // 3 s for the arrival
            return;
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    QtRunOptions run;
    run.setNotifier = [&](DeviceEventPoster poster) { bus.SetNotifier(std::move(poster)); };
    run.afterInit = [&] {
        ticker.start();
        PlugDemoController(bus, DemoKind::Stream);
    };
    run.makeOffer = [&](IOfferAsker& asker) -> std::unique_ptr<IPackageOffer> {
        askerIsTheWindow = dynamic_cast<QtDialogView*>(&asker) != nullptr;
        return std::make_unique<CountingOffer>(calls);
    };
    RunQtDialog(bus, SystemClock::Instance(), run);
    ticker.stop();
    SetUiLanguage(nullptr);

    EXPECT_TRUE(askerIsTheWindow);
    EXPECT_EQ(calls.attached, 1);
    EXPECT_GE(calls.stopped, 1);
}

}  // namespace
