// The Qt dialog view on its own: layout, calls from a worker thread carried
// out on the UI thread, message boxes, the file dialog, the locale and the
// application icon.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <thread>

#include "text/wformat.h"
#include "platform/qt/qt_dialog_view.h"
#include "platform/qt/qt_front_end.h"
#include "qt/modal_script.h"

namespace {

// Runs work on a worker thread while the UI thread pumps the view.
void OnWorker(QtDialogView& view, const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
        view.WakeUi();
    });
    view.PumpUntil([&] { return done.load(); });
    worker.join();
}

template <typename T>
T* Child(QtDialogView& view, const char* name)
{
    return view.findChild<T*>(QString::fromLatin1(name));
}

TEST(QtDialogView, ControlsStackLikeTheTemplate)
{
    QtDialogView view;
    const QRect bar = Child<QProgressBar>(view, "progressBar")->geometry();
    const QRect hint = Child<QLabel>(view, "hintLabel")->geometry();
    const QRect done = Child<QLabel>(view, "doneLabel")->geometry();
    const QRect button = Child<QPushButton>(view, "updateButton")->geometry();
    for (const QRect& r : {bar, hint, done, button})
        EXPECT_TRUE(view.rect().contains(r)) << r.x() << "," << r.y();
    EXPECT_LT(bar.bottom(), hint.top());
    EXPECT_LT(hint.bottom(), done.top());
    EXPECT_LT(done.bottom(), button.top());
    EXPECT_EQ(bar.left(), button.left());
    EXPECT_EQ(bar.width(), button.width());
    EXPECT_EQ(hint.width(), button.width());
    EXPECT_GT(done.left(), bar.left());
    EXPECT_LT(done.right(), bar.right());
}

TEST(QtDialogView, WorkerCallsTakeEffectBeforeTheyReturn)
{
    QtDialogView view;
    std::u16string titleSeen;
    OnWorker(view, [&] {
        view.SetTitle(u"Tarvik Update v2.31(ZudoVor V1.37)");
        titleSeen = view.Title();
        view.SetControlText(kIdHintLabel, u"1. one\r\n\r\n2. two");
        view.SetControlText(kIdUpdateButton, u"USB Update");
        view.EnableControl(kIdUpdateButton, false);
        view.ShowControl(kIdDoneLabel, false);
        view.SetProgressRange(0, 100);
        view.SetProgressPos(150);
    });
    EXPECT_EQ(titleSeen, u"Tarvik Update v2.31(ZudoVor V1.37)");
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Tarvik Update v2.31(ZudoVor V1.37)"));
    EXPECT_EQ(Child<QLabel>(view, "hintLabel")->text(), QStringLiteral("1. one\n\n2. two"));
    EXPECT_EQ(Child<QPushButton>(view, "updateButton")->text(), QStringLiteral("USB Update"));
    EXPECT_FALSE(Child<QPushButton>(view, "updateButton")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(view, "doneLabel")->isHidden());
    EXPECT_EQ(Child<QProgressBar>(view, "progressBar")->value(), 100) << "clamped to the range";
}

struct BoxCase {
    const char* name;
    MessageButtons buttons;
    std::function<void(ModalScript&)> answer;
    int expected;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class QtMessageBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(QtMessageBox, AnswersFromTheWorker)
{
    QtDialogView view;
    ModalScript script;
    GetParam().answer(script);
    int result = 0;
    OnWorker(view, [&] {
        result = view.MessageBox(u"Firmware Version: 1.50\r\nOK?", u"Tarvik Update v2.31",
                                 GetParam().buttons);
    });
    EXPECT_EQ(result, GetParam().expected);
    ASSERT_EQ(script.Boxes().size(), 1u);
    EXPECT_EQ(script.Boxes()[0].caption, u"Tarvik Update v2.31");
    EXPECT_EQ(script.Boxes()[0].text, u"Firmware Version: 1.50\nOK?");
    EXPECT_EQ(script.Boxes()[0].buttons, GetParam().buttons == MessageButtons::Ok ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, QtMessageBox,
    ::testing::Values(
        BoxCase{"OkOnly", MessageButtons::Ok, [](ModalScript& s) { s.PressButton(QMessageBox::Ok); },
                kIdOk},
        BoxCase{"OkOnlyEscape", MessageButtons::Ok, [](ModalScript& s) { s.PressEscape(); }, kIdOk},
        BoxCase{"OkCancelOk", MessageButtons::OkCancel,
                [](ModalScript& s) { s.PressButton(QMessageBox::Ok); }, kIdOk},
        BoxCase{"OkCancelCancel", MessageButtons::OkCancel,
                [](ModalScript& s) { s.PressButton(QMessageBox::Cancel); }, kIdCancel},
        BoxCase{"OkCancelEscape", MessageButtons::OkCancel, [](ModalScript& s) { s.PressEscape(); },
                kIdCancel}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return info.param.name; });

FileOpenRequest PackageRequest()
{
    FileOpenRequest request;
    request.filter = u"File type(*.dat)|*.dat||";
    request.defaultExtension = u"*.*";
    request.flags = 6;
    request.initialDirectory = Utf8ToUtf16(UPDATER_TEST_TMPDIR);
    return request;
}

TEST(QtFileDialog, ShowsTheFilterAndDirectoryAndReturnsTheChoice)
{
    const QString file = QStringLiteral(UPDATER_TEST_TMPDIR "/chosen.dat");
    QtDialogView view;
    ModalScript script;
    script.ChooseFile(file);
    std::u16string path = u"before";
    bool chosen = false;
    OnWorker(view, [&] { chosen = view.FileOpenDialog(PackageRequest(), path); });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(path, file.toStdU16String());
    ASSERT_EQ(script.FileDialogs().size(), 1u);
    EXPECT_EQ(script.FileDialogs()[0].nameFilters, QStringList{QStringLiteral("File type(*.dat) (*.dat)")});
    EXPECT_EQ(script.FileDialogs()[0].directory, QDir(QStringLiteral(UPDATER_TEST_TMPDIR)).absolutePath());
}

TEST(QtFileDialog, CancelLeavesThePathAlone)
{
    QtDialogView view;
    ModalScript script;
    script.ChooseFile(QString());
    std::u16string path = u"before";
    EXPECT_FALSE(view.FileOpenDialog(PackageRequest(), path));
    EXPECT_EQ(path, u"before");
}

TEST(QtFrontEnd, NumbersKeepTheDecimalPoint)
{
    // The QApplication of this process was made by CreateApplication.
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    char text[16];
    std::snprintf(text, sizeof text, "%0.2f", 1.37);
    EXPECT_STREQ(text, "1.37");
    EXPECT_EQ(WFormat(u"%s(ZudoVor V%0.2f)", u"T", 1.37), u"T(ZudoVor V1.37)");
}

TEST(QtFrontEnd, ApplicationIconComesInEveryHicolorSize)
{
    QList<int> sizes;
    for (const QSize& size : QApplication::windowIcon().availableSizes()) {
        EXPECT_EQ(size.width(), size.height());
        sizes.append(size.width());
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, QList<int>({16, 32, 48, 64, 128, 256}));
}

TEST(QtFrontEnd, ApplicationIconIsTheWindowsIcon)
{
    // Icon 152 of the Windows program, made from the same rendering: the
    // 32 px image has the same pixels. The .ico holds one 32 bpp image after
    // its 6 + 16 byte directory and 40 byte header: BGRA rows, bottom up.
    QFile file(QStringLiteral(UPDATER_APP_ICON_ICO));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray ico = file.readAll();
    constexpr int kPixels = 6 + 16 + 40;
    ASSERT_GE(ico.size(), kPixels + 32 * 32 * 4);
    const QImage linuxIcon(QStringLiteral(":/app_icon/32.png"));
    ASSERT_EQ(linuxIcon.size(), QSize(32, 32));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const auto* bgra =
                reinterpret_cast<const unsigned char*>(ico.constData()) + kPixels + ((31 - y) * 32 + x) * 4;
            ASSERT_EQ(linuxIcon.pixel(x, y), qRgba(bgra[2], bgra[1], bgra[0], bgra[3]))
                << "at " << x << ", " << y;
        }
    }
}

TEST(QtDialogView, SetIconsShowsTheApplicationIcon)
{
    QtDialogView view;
    ASSERT_FALSE(QApplication::windowIcon().isNull());
    view.SetIcons();
    EXPECT_EQ(view.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
}

}  // namespace
