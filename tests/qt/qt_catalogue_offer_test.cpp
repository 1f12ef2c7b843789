// The Qt dialog with a catalogue (the command line's test site, served on
// 127.0.0.1): the offer at the update click, an install of the listed
// package, and each refusal said before the file chooser.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/update_dlg.h"
#include "base/utf.h"
#include "offer/catalogue_offer.h"
#include "offer/offer_texts.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "platform/linux/curl_fetcher.h"
#include "platform/linux/state_file_store.h"
#include "protocols/standard_protocols.h"
#include "qt/modal_script.h"
#include "sim/demo_setup.h"
#include "sim/sim_stream_controller.h"
#include "support/fixed_language.h"
#include "support/test_paths.h"

namespace {

const std::string kSite = UPDATER_CATALOGUE_SITE;  // catalogue_fixtures.sh's folder

std::string ReadText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The image of the package's one record: after its 28-byte header.
std::vector<std::uint8_t> PackageImage(const std::string& path)
{
    const std::string bytes = ReadText(path);
    if (bytes.size() < 28)
        return {};
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i)
        size = (size << 8) | static_cast<std::uint8_t>(bytes[8 + static_cast<std::size_t>(i)]);
    return {bytes.begin() + 28, bytes.begin() + 28 + size};
}

enum class Answer { Install, ChooseFile, Cancel, Ok, NoFile };

struct OfferCase {
    const char* name;
    const char* catalogue;  // on the site
    std::uint16_t language;
    std::vector<Answer> answers;
    std::vector<std::u16string> boxStarts;  // each box's text begins so
    std::size_t fileDialogs;
    bool installed;  // the package's exact image, and the success box
    bool downloaded;  // the bar showed the download, then went back to 0
};

void PrintTo(const OfferCase& c, std::ostream* os) { *os << c.name; }

const std::u16string kOffer = u"Firmware 1.40 r3 is available (this controller runs 1.37). Install it?";
const std::u16string kConfirm = u"Firmware Version:  1.40 r3\n";
const std::u16string kSuccess = u"\n Firmware upgraded! \n";

class QtCatalogueOffer : public ::testing::TestWithParam<OfferCase> {
protected:
    void SetUp() override
    {
        port = ReadText(kSite + "/port");
        ASSERT_FALSE(port.empty()) << "the catalogue site is not served";
        std::remove(statePath.c_str());
        SetUiLanguage(&language);
        bus.SetNotifier([this](NotifyWindow window, std::uint32_t event) {
            if (window == view.NotifyTarget())
                view.PostDeviceChange(event);
        });
        ticker.setInterval(5);
    }
    void TearDown() override
    {
        bus.SetNotifier({});
        SetUiLanguage(nullptr);
    }
    std::string Url(const char* catalogue) const
    {
        return "http://127.0.0.1:" + port.substr(0, port.find_first_of("\r\n")) + "/" + catalogue;
    }
    void Script(const std::vector<Answer>& answers)
    {
        const auto words = [](OfferText id) { return QString::fromStdU16String(LoadOfferText(id)); };
        for (const Answer answer : answers) {
            switch (answer) {
            case Answer::Install: script.PressButtonText(words(OfferText::Install)); break;
            case Answer::ChooseFile: script.PressButtonText(words(OfferText::ChooseFile)); break;
            case Answer::Cancel: script.PressButtonText(words(OfferText::Cancel)); break;
            case Answer::Ok: script.PressButton(QMessageBox::Ok); break;
            case Answer::NoFile: script.ChooseFile(QString()); break;
            }
        }
    }
    QPushButton* Button() { return view.findChild<QPushButton*>(QStringLiteral("updateButton")); }

    std::string port;
    // Its own memory: the cases run side by side, and one that remembered
    // a newer catalogue would make another's look older.
    const std::string statePath = Utf16ToUtf8(TestFilePath("_state", ".json"));
    FixedLanguage language{GetParam().language};
    VirtualHidBus bus{SystemClock::Instance()};
    QtDialogView view;
    ModalScript script;
    QTimer ticker;
    CurlFetcher fetcher;
    const GcryptVerifier crypto;
    StateFileStore memory{statePath};
    const CatalogueServices services{&fetcher, &crypto, &memory};
};

TEST_P(QtCatalogueOffer, ClickOffersThePackageOrSaysWhyNot)
{
    const OfferCase& c = GetParam();
    SimStreamConfig config;
    config.versionWord = 137;  // 1.37, as the demo controller
    auto device = std::make_shared<SimStreamController>(config);
    bus.Plug(MakeSimStreamDevice(device));
    Script(c.answers);
    CatalogueOffer offer(services, {Url(c.catalogue), {kSite + "/a.pub"}}, view);
    CUpdateDlg dlg(bus, view, SystemClock::Instance(), StandardProtocolDrivers(), &offer);

    std::vector<int> bar;
    QObject::connect(view.findChild<QProgressBar*>(QStringLiteral("progressBar")), &QProgressBar::valueChanged,
                     [&](int value) { bar.push_back(value); });
    bool clicked = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!clicked) {
            clicked = Button()->isEnabled();  // at once: the worker waits for the read, the window does not
            if (clicked)
                Button()->click();
        } else if (!dlg.WorkerActive()) {
            view.close();
        }
    });
    view.RunModal(dlg, [this] { ticker.start(); });
    ticker.stop();

    EXPECT_EQ(script.UnexpectedWindows(), 0);
    EXPECT_TRUE(script.Done());
    ASSERT_EQ(script.Boxes().size(), c.boxStarts.size());
    for (std::size_t i = 0; i < c.boxStarts.size(); ++i)
        EXPECT_EQ(script.Boxes()[i].text.substr(0, c.boxStarts[i].size()), c.boxStarts[i]) << "box " << i;
    EXPECT_EQ(script.FileDialogs().size(), c.fileDialogs);
    const auto full = std::find(bar.begin(), bar.end(), 100);
    EXPECT_EQ(full != bar.end() && std::next(full) != bar.end() && *std::next(full) == 0, c.downloaded);
    if (c.installed)
        EXPECT_EQ(device->InstalledImage(), PackageImage(kSite + "/site/demo_stream.dat"));
    else
        EXPECT_TRUE(device->InstalledImage().empty());
    EXPECT_EQ(dlg.Session().Options().binding.has_value(), c.installed);  // a catalogue package goes bound
}

INSTANTIATE_TEST_SUITE_P(
    Catalogues, QtCatalogueOffer,
    ::testing::Values(
        OfferCase{"install", "good.json", kLangEnUs, {Answer::Install, Answer::Ok, Answer::Ok},
                  {kOffer, kConfirm, kSuccess}, 0, true, true},
        OfferCase{"choose_file", "good.json", kLangEnUs, {Answer::ChooseFile, Answer::NoFile}, {kOffer}, 1, false, false},
        OfferCase{"cancel", "good.json", kLangEnUs, {Answer::Cancel}, {kOffer}, 0, false, false},
        OfferCase{"chinese", "good.json", kLangZhCn, {Answer::Cancel},
                  {u"固件 1.40 r3 可供安装（此控制器运行 1.37）。是否安装？"}, 0, false, false},
        OfferCase{"up_to_date", "current.json", kLangEnUs, {Answer::NoFile}, {}, 1, false, false},
        OfferCase{"untrusted", "untrusted.json", kLangEnUs, {Answer::Ok, Answer::NoFile},
                  {u"The catalogue's signature is not trusted"}, 1, false, false},
        OfferCase{"expired", "expired.json", kLangEnUs, {Answer::Ok, Answer::NoFile},
                  {u"The catalogue has expired"}, 1, false, false},
        OfferCase{"mismatch", "hash.json", kLangEnUs, {Answer::Install, Answer::Ok, Answer::NoFile},
                  {kOffer, u"The downloaded package does not match the catalogue"}, 1, false, true},
        OfferCase{"missing", "missing.json", kLangEnUs, {Answer::Install, Answer::Ok, Answer::NoFile},
                  {kOffer, u"The package cannot be downloaded"}, 1, false, false}),
    [](const ::testing::TestParamInfo<OfferCase>& info) { return info.param.name; });

// A catalogue whose server never answers: the click waits on the worker,
// and closing the dialog (the stop question answered OK) ends the wait and
// the read at once, long before the fetcher's stall time-out.
class QtOfferClose : public QtCatalogueOffer {};

TEST_P(QtOfferClose, ClosingDuringAStalledReadEndsItAtOnce)
{
    PlugDemoController(bus, DemoKind::Stream);
    script.PressButton(QMessageBox::Ok);  // the stop question
    std::chrono::steady_clock::time_point closed;
    {
        CatalogueOffer offer(services, {Url(GetParam().catalogue), {kSite + "/a.pub"}}, view);
        CUpdateDlg dlg(bus, view, SystemClock::Instance(), StandardProtocolDrivers(), &offer);
        int ticks = 0;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (ticks == 0 && Button()->isEnabled())
                Button()->click();
            if (ticks > 0 && ++ticks == 40) {  // the worker waits on the read meanwhile
                EXPECT_TRUE(dlg.WorkerActive());
                EXPECT_FALSE(offer.ReadDone());
                closed = std::chrono::steady_clock::now();
                view.close();
            }
            ticks = std::max(ticks, dlg.WorkerActive() ? 1 : 0);
        });
        view.RunModal(dlg, [this] { ticker.start(); });
        ticker.stop();
    }
    const auto took = std::chrono::steady_clock::now() - closed;
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(script.UnexpectedWindows(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stalled, QtOfferClose,
                         ::testing::Values(OfferCase{"stall", "stall.json", kLangEnUs, {}, {}, 0, false, false}),
                         [](const ::testing::TestParamInfo<OfferCase>& info) { return info.param.name; });

// A figure, not a verdict: with the catalogue already read, the time from
// the click to the offer's box being shown, over several clicks.
class QtOfferFigure : public QtCatalogueOffer {};

class ShowWatch final : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox*>(object))
            shown = std::chrono::steady_clock::now();
        return false;
    }
    std::chrono::steady_clock::time_point shown;
};

TEST_P(QtOfferFigure, WarmClickToOffer)
{
    constexpr int kClicks = 20;
    PlugDemoController(bus, DemoKind::Stream);
    Script(std::vector<Answer>(kClicks, Answer::Cancel));
    CatalogueOffer offer(services, {Url(GetParam().catalogue), {kSite + "/a.pub"}}, view);
    CUpdateDlg dlg(bus, view, SystemClock::Instance(), StandardProtocolDrivers(), &offer);
    ShowWatch watch;
    qApp->installEventFilter(&watch);
    std::vector<double> ms;
    std::chrono::steady_clock::time_point clicked;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (dlg.WorkerActive() || !offer.ReadDone() || !Button()->isEnabled())
            return;
        if (clicked.time_since_epoch().count() != 0)
            ms.push_back(std::chrono::duration<double, std::milli>(watch.shown - clicked).count());
        if (ms.size() == kClicks) {
            view.close();
            return;
        }
        clicked = std::chrono::steady_clock::now();
        Button()->click();
    });
    view.RunModal(dlg, [this] { ticker.start(); });
    ticker.stop();
    qApp->removeEventFilter(&watch);

    ASSERT_EQ(ms.size(), static_cast<std::size_t>(kClicks));
    std::sort(ms.begin(), ms.end());
    std::printf("[ figure ] click to offer, warm catalogue: median %.2f ms, min %.2f ms, max %.2f ms (%d clicks)\n",
                ms[kClicks / 2], ms.front(), ms.back(), kClicks);
    EXPECT_EQ(script.UnexpectedWindows(), 0);
}

INSTANTIATE_TEST_SUITE_P(Warm, QtOfferFigure,
                         ::testing::Values(OfferCase{"warm", "good.json", kLangEnUs, {}, {}, 0, false, false}),
                         [](const ::testing::TestParamInfo<OfferCase>& info) { return info.param.name; });

}  // namespace
