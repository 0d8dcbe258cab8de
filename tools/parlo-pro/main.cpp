// parlo3: stands in for the Parlo Pro application that the Lip Sync pane hands a figure to.
//
//   parlo3 --fromKorvelStudio FIGURE.cr2 TRANSFER.pz2 CONFIGURATION.lsc SOUND TRANSCRIPT
//
// Analyses SOUND (with the text of TRANSCRIPT, which may be empty) through the engine, keys the
// channels CONFIGURATION names with the result, and writes them to TRANSFER as a pose with one
// key per frame at 30 frames per second. Exit status: 0 success, 1 a missing or unreadable file or
// a failed analysis, 2 a wrong command line.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kvparloconfig.h"
#include "voxtrail.h"

namespace {

const int kFramesPerSecond = 30;

int fail(int code, const QString& message) {
    std::fprintf(stderr, "parlo3: %s\n", qPrintable(message));
    return code;
}

QString engineMessage(uint32_t code) {
    char text[256] = {0};
    VoxtrailGetErrorString(code, sizeof text, text);
    text[sizeof text - 1] = '\0';
    return QString::fromLocal8Bit(text);
}

// actor (without Poser's figure number) -> channel name -> channel type, from the figure file.
QMap<QString, QMap<QString, QString>> figureChannels(const QString& path) {
    static const QStringList types = {"targetGeom", "valueParm",  "rotateX",    "rotateY",
                                      "rotateZ",    "translateX", "translateY", "translateZ",
                                      "scaleX",     "scaleY",     "scaleZ",     "scale"};
    QMap<QString, QMap<QString, QString>> channels;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return channels;
    QString actor;
    while (!file.atEnd()) {
        const QStringList words =
            QString::fromLatin1(file.readLine()).simplified().split(QLatin1Char(' '));
        if (words.size() < 2) continue;
        if (words[0] == QLatin1String("actor"))
            actor = words[1].section(QLatin1Char(':'), 0, 0);
        else if (!actor.isEmpty() && types.contains(words[0]))
            channels[actor].insert(words[1], words[0]);
    }
    return channels;
}

struct Key {
    double ms, value, in, out;
};

// The engine's curve through its keys (slopes per millisecond) at time ms.
double curveAt(const QVector<Key>& keys, double ms) {
    if (ms <= keys.front().ms) return keys.front().value;
    if (ms >= keys.back().ms) return keys.back().value;
    int i = 0;
    while (keys[i + 1].ms < ms)
        ++i;
    const Key& a = keys[i];
    const Key& b = keys[i + 1];
    const double span = b.ms - a.ms;
    if (span <= 0) return b.value;
    const double s = (ms - a.ms) / span, s2 = s * s, s3 = s2 * s;
    return (2 * s3 - 3 * s2 + 1) * a.value + (s3 - 2 * s2 + s) * span * a.out +
           (-2 * s3 + 3 * s2) * b.value + (s3 - s2) * span * b.in;
}

using KeyQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t, double*, double*, double*,
                              double*);
using CountQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t*);

QVector<Key> track(VOXTRAIL_ANALYSIS* analysis, int index, CountQuery count, KeyQuery key) {
    QVector<Key> keys;
    int32_t n = 0;
    if (count(analysis, index, &n) != VOXTRAIL_NOERR) return keys;
    for (int32_t k = 0; k < n; ++k) {
        double t, v, in, out;
        if (key(analysis, index, k, &t, &v, &in, &out) == VOXTRAIL_NOERR)
            keys.append({t * 1000.0, v, in, out});
    }
    return keys;
}

// Adds weight x the curve, frame by frame, to a channel's frames.
void addTrack(QMap<int, double>* frames, const QVector<Key>& keys, double weight) {
    if (keys.isEmpty()) return;
    const double perMs = kFramesPerSecond / 1000.0;
    const int first = std::max(0, static_cast<int>(std::floor(keys.front().ms * perMs)));
    const int last = std::max(first, static_cast<int>(std::ceil(keys.back().ms * perMs)));
    for (int f = first; f <= last; ++f)
        (*frames)[f] += weight * curveAt(keys, f * 1000.0 / kFramesPerSecond);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString usage = QStringLiteral("usage: parlo3 --fromKorvelStudio FIGURE.cr2 TRANSFER.pz2 "
                                         "CONFIGURATION.lsc SOUND TRANSCRIPT");
    if (args.size() != 7 || args[1] != QLatin1String("--fromKorvelStudio")) return fail(2, usage);
    const QString figure = QDir::fromNativeSeparators(args[2]);
    const QString transfer = QDir::fromNativeSeparators(args[3]);
    const QString configuration = QDir::fromNativeSeparators(args[4]);
    const QString sound = QDir::fromNativeSeparators(args[5]);
    const QString transcript = QDir::fromNativeSeparators(args[6]);
    if (!QFileInfo(figure).isFile()) return fail(1, "no figure file " + figure);
    if (transfer.isEmpty() || !QFileInfo(QFileInfo(transfer).absolutePath()).isDir())
        return fail(1, "no folder for the transfer file " + transfer);
    if (configuration.isEmpty() || !QFileInfo(configuration).isFile())
        return fail(1, "no configuration file " + configuration);
    if (!QFileInfo(sound).isFile()) return fail(1, "no sound file " + sound);
    if (!transcript.isEmpty() && !QFileInfo(transcript).isFile())
        return fail(1, "no transcript file " + transcript);

    QFile lsc(configuration);
    if (!lsc.open(QIODevice::ReadOnly)) return fail(1, "cannot read " + configuration);
    KvParloFigureConfig config;
    KvParloConfig::readConfiguration(&lsc, &config);
    QTemporaryFile ini(QDir::tempPath() + QStringLiteral("/parlo3_XXXXXX.ini"));
    if (!ini.open() || ini.write(KvParloConfig::engineConfiguration(config)) < 0 || !ini.flush())
        return fail(1, "cannot write the engine configuration");
    QByteArray text;
    if (!transcript.isEmpty()) {
        QFile file(transcript);
        if (!file.open(QIODevice::ReadOnly)) return fail(1, "cannot read " + transcript);
        text = file.readAll();
    }

    QString data = qEnvironmentVariable("VOXTRAIL_DATA");
    if (data.isEmpty()) data = app.applicationDirPath() + QStringLiteral("/../Data/");
    uint32_t code = VoxtrailStartupLibrary(QFile::encodeName(data).constData());
    if (code != VOXTRAIL_NOERR) return fail(1, engineMessage(code));
    const QByteArray iniPath = QFile::encodeName(ini.fileName());
    VOXTRAIL_ANALYSIS_SETTINGS settings = {sizeof(VOXTRAIL_ANALYSIS_SETTINGS), kFramesPerSecond, 0,
                                           -1, iniPath.constData()};
    VOXTRAIL_ANALYSIS* analysis = nullptr;
    code = VoxtrailGetAnalysis(&analysis, QFile::encodeName(sound).constData(), text.constData(),
                               &settings);
    if (code != VOXTRAIL_NOERR) {
        const QString message = engineMessage(code);
        VoxtrailShutdownLibrary();
        return fail(1, message);
    }

    // channel name -> frame -> value
    QMap<QString, QMap<int, double>> channels;
    for (int i = 0; i < config.speechChannels.size(); ++i)
        addTrack(&channels[config.speechChannels[i]],
                 track(analysis, i, VoxtrailGetNumSpeechTargetKeys, VoxtrailGetSpeechTargetKey),
                 1.0);
    for (int g = 0; g < config.gestureWeights.size(); ++g) {
        const QVector<Key> keys =
            track(analysis, g, VoxtrailGetNumGestureKeys, VoxtrailGetGestureKey);
        for (auto it = config.gestureWeights[g].begin(); it != config.gestureWeights[g].end(); ++it)
            addTrack(&channels[config.gestureChannels.value(it.key())], keys, it.value());
    }
    VoxtrailFreeAnalysis(&analysis);
    VoxtrailShutdownLibrary();

    // One actor block per node, each channel under the type the figure gives it.
    const QMap<QString, QMap<QString, QString>> types = figureChannels(figure);
    QMap<QString, QStringList> byNode;
    for (auto it = channels.begin(); it != channels.end(); ++it) {
        const QString node = it.key().section(QStringLiteral("**"), 0, 0);
        const QString name = it.key().section(QStringLiteral("**"), 1, 1);
        if (types.value(node).contains(name))
            byNode[node].append(name);
        else
            std::fprintf(stderr, "parlo3: the figure has no channel %s on %s\n", qPrintable(name),
                         qPrintable(node));
    }
    QSaveFile out(transfer);
    if (!out.open(QIODevice::WriteOnly)) return fail(1, "cannot write " + transfer);
    QTextStream pz2(&out);
    pz2 << "{\nversion\n\t{\n\tnumber 4.01\n\t}\n";
    for (auto node = byNode.begin(); node != byNode.end(); ++node) {
        pz2 << "actor " << node.key() << ":1\n\t{\n\tchannels\n\t\t{\n";
        for (const QString& name : node.value()) {
            pz2 << "\t\t" << types[node.key()][name] << ' ' << name << "\n\t\t\t{\n\t\t\tkeys\n"
                << "\t\t\t\t{\n\t\t\t\tstatic 0\n";
            const QMap<int, double>& frames = channels[node.key() + "**" + name];
            for (auto f = frames.begin(); f != frames.end(); ++f)
                pz2 << "\t\t\t\tk " << f.key() << ' ' << f.value() << '\n';
            pz2 << "\t\t\t\t}\n\t\t\t}\n";
        }
        pz2 << "\t\t}\n\t}\n";
    }
    pz2 << "}\n";
    pz2.flush();
    if (!out.commit()) return fail(1, "cannot write " + transfer);
    return 0;
}
