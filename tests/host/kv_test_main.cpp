// Runs a suite under a QApplication on the offscreen platform, with settings kept apart.
#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "kvstyle.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setStyle(new KvHostStyle);
    QCoreApplication::setOrganizationName(QStringLiteral("VoxtrailTest"));
    QCoreApplication::setApplicationName(QStringLiteral("KorvelTest"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
