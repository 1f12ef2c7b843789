// The Qt tests run inside one QApplication, offscreen unless a platform is
// named, so they need no display.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "platform/qt/qt_front_end.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    ::testing::InitGoogleTest(&argc, argv);
    auto application = CreateApplication(argc, argv);
    return RUN_ALL_TESTS();
}
