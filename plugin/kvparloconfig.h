// Figure configuration files (".lsc"), the figure map "CR22LSC.ini" and the engine's speech-target
// configuration written from them. No widgets here: the pane shows the messages.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QIODevice;

// What a figure configuration file says: channels (node + "**" + channel) and their weights.
struct KvParloFigureConfig {
    static constexpr int kPhonemes = 43;
    static constexpr int kGestures = 11;
    static constexpr int kSil = 40, kShortSil = 41, kFlap = 42, kD = 33;

    QStringList speechChannels;
    QList<QMap<int, float>> phonemeWeights; // kPhonemes maps: speech channel index -> weight
    QStringList gestureChannels;
    QList<QMap<int, float>> gestureWeights; // kGestures maps: gesture channel index -> weight

    // Empty lists and empty weight tables, as before any file is read.
    void reset();
};

namespace KvParloConfig {

// Phoneme names in row order (Iy ... Flap), and the gesture names in track order.
QString phonemeName(int index);
QString gestureName(int index);
// The gesture's index, or -1 for a name not in the table (compared exactly).
int gestureIndex(const QString& name);

// Reads an LSC file's lines into config (reset first), then applies the copies and the
// ShortSil and Flap defaults.
void readConfiguration(QIODevice* device, KvParloFigureConfig* config);

// The engine's speech-target configuration for config ("\n" line breaks).
QByteArray engineConfiguration(const KvParloFigureConfig& config);

// The figure map: lower-case figure file name -> configurationFolder + configuration file name.
QMap<QString, QString> readFigureMap(QIODevice* device, const QString& configurationFolder);

// The key a figure file is mapped under: its file name in lower case, without folders.
QString figureMapKey(const QString& path);

// The figure map key of the geometry a figure file names on its first "figureResFile" line;
// empty when there is none.
QString geometryMapKey(QIODevice* figureFile);

} // namespace KvParloConfig
