// The Parlo Pro hand-off's parts that need no widgets: finding the application in a folder
// tree, its command line, and reading back which channels its transfer file keys.
#pragma once

#include <QString>
#include <QStringList>

class QIODevice;
class KvSkeleton;

namespace KvParloHandoff {

// Looks for fileName in folder and, breadth by depth, its subfolders down to maxDepth (negative:
// no limit). While the host progress runs, budget steps are spent across the tree (-1 spends
// none), the status line names each folder under label, and a cancel stops the search.
bool findInFolder(const QString& folder, const QString& fileName, QString* result,
                  const QString& label, int budget, int maxDepth, int depth);

// The application's arguments after its path, in the order it reads them; empty ones stay.
QStringList arguments(const QString& figureFile, const QString& transferFile,
                      const QString& configurationFile, const QString& soundFile,
                      const QString& transcriptFile);

struct TransferScan {
    QStringList channels; // node + "**" + channel, for each channel the file keys
    int firstFrame = 0;   // the smallest key frame
    int lastFrame = 0;    // the largest key frame
};

// Reads a transfer (PZ2) file's actors, channels and key frames against figure.
TransferScan scanTransferFile(QIODevice* file, KvSkeleton* figure);

} // namespace KvParloHandoff
