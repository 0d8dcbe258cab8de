#include "kvparlohandoff.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <algorithm>

#include "kvparlo_host.h"

namespace KvParloHandoff {

bool findInFolder(const QString& folder, const QString& fileName, QString* result,
                  const QString& label, int budget, int maxDepth, int depth) {
    const bool counting = kvApp && kvApp->progressIsActive() && budget != -1;
    auto step = [&](int steps) {
        if (counting && steps > 0) kvApp->stepProgress(steps);
    };
    if (maxDepth >= 0 && depth > maxDepth) {
        step(budget);
        return false;
    }
    QDir dir(folder);
    if (counting) {
        if (kvApp->progressIsCancelled()) return false;
        kvApp->statusLine(QObject::tr("%1 \"%2\"").arg(label, dir.absolutePath()));
    }
    const QString candidate = dir.absolutePath() + QLatin1Char('/') + fileName;
    if (QFileInfo(candidate).isFile()) {
        *result = candidate;
        step(budget);
        return true;
    }
    const QStringList subfolders =
        dir.entryList({QStringLiteral("[^.]*")}, QDir::Dirs | QDir::NoSymLinks);
    const int share = budget / (subfolders.size() + 1);
    for (const QString& sub : subfolders)
        if (findInFolder(dir.absoluteFilePath(sub), fileName, result, label,
                         budget == -1 ? -1 : share, maxDepth, depth + 1))
            return true;
    step(budget - share * subfolders.size());
    return false;
}

QStringList arguments(const QString& figureFile, const QString& transferFile,
                      const QString& configurationFile, const QString& soundFile,
                      const QString& transcriptFile) {
    return {QStringLiteral("--fromKorvelStudio"),   QDir::toNativeSeparators(figureFile),
            QDir::toNativeSeparators(transferFile), QDir::toNativeSeparators(configurationFile),
            QDir::toNativeSeparators(soundFile),    QDir::toNativeSeparators(transcriptFile)};
}

TransferScan scanTransferFile(QIODevice* file, KvSkeleton* figure) {
    TransferScan scan;
    KvBone* node = nullptr;
    bool keyed = false;
    while (!file->atEnd()) {
        const QString line = QString::fromLatin1(file->readLine(2048)).simplified();
        const QString first = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
        if (first == QLatin1String("k")) {
            bool ok = false;
            const int frame = line.section(QLatin1Char(' '), 1, 1).toInt(&ok);
            if (ok && frame >= 0) {
                scan.firstFrame = keyed ? std::min(scan.firstFrame, frame) : frame;
                scan.lastFrame = keyed ? std::max(scan.lastFrame, frame) : frame;
                keyed = true;
            }
            continue;
        }
        if (first == QLatin1String("actor")) {
            // Poser writes the figure's number after the actor's name ("head:1").
            node = figure ? figure->findBone(rest) : nullptr;
            if (!node && figure) node = figure->findBone(rest.section(QLatin1Char(':'), 0, 0));
            continue;
        }
        if (!node || rest.isEmpty()) continue;
        // Morphs go by their name; transforms by their type, which the channel lookup knows.
        QString name;
        if (first == QLatin1String("targetGeom")) {
            if (node->getObject() && node->getObject()->findMorph(rest)) name = rest;
        } else if (first != QLatin1String("valueParm") && node->controlForChannelType(first)) {
            name = first;
        }
        if (name.isEmpty()) continue;
        name = node->getName() + QStringLiteral("**") + name;
        if (!scan.channels.contains(name)) scan.channels.append(name);
    }
    return scan;
}

} // namespace KvParloHandoff
