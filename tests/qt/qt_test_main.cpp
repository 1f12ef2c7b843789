// The Qt tests run inside one QApplication, offscreen unless a platform is
// named, so they need no display.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "platform/qt/qt_front_end.h"

#if defined(__SANITIZE_THREAD__)
// Qt runs work on threads of its own (the file dialog's directory reader,
// its thread pool) and hands results over under futex-based locks that
// ThreadSanitizer cannot see; so is its joining of those threads before it
// frees their wait conditions. Races between Qt and its own threads are not
// ours to check.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "race:QWaitCondition::~QWaitCondition\n";
}
#endif

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    ::testing::InitGoogleTest(&argc, argv);
    auto application = CreateApplication(argc, argv);
    return RUN_ALL_TESTS();
}
