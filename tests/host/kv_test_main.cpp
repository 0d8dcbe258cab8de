// Runs a suite under a QApplication on the offscreen platform, with settings kept apart.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "kvstyle.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setStyle(new KvHostStyle);
    QCoreApplication::setOrganizationName(QStringLiteral("VoxtrailTest"));
    QCoreApplication::setApplicationName(QStringLiteral("KorvelTest"));
    // CTest runs the cases as parallel processes: each keeps its settings to itself, so one
    // case's remembered paths never reach another.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Under LeakSanitizer: Qt's offscreen platform plug-in keeps its screen until the process ends,
// and QtScript keeps a few bytes of its engine set-up.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libqoffscreen.so\nleak:QPlatformScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\nleak:libQt5Script.so\n";
}
