// Where the Parlo Pro application lives on each platform, in one place.
#pragma once

#include <QString>

namespace KvParloPlatform {

#ifdef Q_OS_WIN
// The application's file name.
inline QString proExecutable() {
    return QStringLiteral("Parlo3.exe");
}
// The default install folder, from the root of the file system.
inline QString proDefaultFolder(const QString& root, const QString&) {
    return root + QStringLiteral("Program Files/Korvel/Parlo 3/");
}
// The folder searched on every fixed volume.
inline QString proSearchedFolder() {
    return QStringLiteral("Program Files");
}
// Where browsing for the application starts.
inline QString proBrowseStart() {
    return QStringLiteral("C:/Program Files/");
}
#else
inline QString proExecutable() {
    return QStringLiteral("parlo3");
}
// Installed beside the plug-in's data, so a build tree or an install under any prefix finds it.
inline QString proDefaultFolder(const QString&, const QString& pluginFolder) {
    return pluginFolder + QStringLiteral("ParloPro/");
}
inline QString proSearchedFolder() {
    return QStringLiteral("opt");
}
inline QString proBrowseStart() {
    return QStringLiteral("/opt/");
}
#endif

// The maker's product page that "Learn More" opens.
inline QString proProductPage() {
    return QStringLiteral("https://voxtrail.example.org/parlo-pro");
}

} // namespace KvParloPlatform
