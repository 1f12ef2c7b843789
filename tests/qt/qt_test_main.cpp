// The Qt tests run inside one QApplication, offscreen unless a platform is
// named, so they need no display.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "platform/qt/qt_front_end.h"

#if defined(__SANITIZE_THREAD__)
// Qt's file dialog reads the directory on a thread of its own and hands the
// results over under Qt's futex-based locks, which ThreadSanitizer cannot
// see, and so is its joining of that thread before freeing the wait
// condition. Races between Qt and its own thread are not ours to check.
extern "C" const char* __tsan_default_suppressions()
{
    return "thread:QFileInfoGather\n"
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
