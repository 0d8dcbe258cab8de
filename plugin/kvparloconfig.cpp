#include "kvparloconfig.h"

#include <QIODevice>
#include <QTextStream>
#include <cmath>

#include "phoneme_data.h"

void KvParloFigureConfig::reset() {
    speechChannels.clear();
    gestureChannels.clear();
    phonemeWeights = QList<QMap<int, float>>();
    gestureWeights = QList<QMap<int, float>>();
    for (int p = 0; p < kPhonemes; ++p)
        phonemeWeights.append(QMap<int, float>());
    for (int g = 0; g < kGestures; ++g)
        gestureWeights.append(QMap<int, float>());
}

namespace KvParloConfig {

namespace {

const char* const kGestureNames[KvParloFigureConfig::kGestures] = {
    "Raise Left Eyebrow",  "Raise Right Eyebrow", "Blink Left",       "Blink Right",
    "Head Bend",           "Head Side-Side",      "Head Twist",       "Left Eye Side-Side",
    "Right Eye Side-Side", "Left Eye Up-Down",    "Right Eye Up-Down"};

// The second blank-separated word of a line as a decimal number.
bool secondWordAsInt(const QString& line, int* value) {
    bool ok = false;
    *value = line.simplified().section(QLatin1Char(' '), 1, 1).toInt(&ok);
    return ok;
}

// Lines of a file with a cursor; lines past the end read as empty.
class Lines {
public:
    explicit Lines(QIODevice* device) : m_in(device) {}
    bool next(QString* line) {
        if (m_in.atEnd()) return false;
        *line = m_in.readLine();
        return true;
    }
    QString nextOrEmpty() {
        QString line;
        return next(&line) ? line : QString();
    }

private:
    QTextStream m_in;
};

// Reads a channel definition's three lines; the channel's index in channels (appended when new)
// and, when the weight is a finite number, the weight. The weight line becomes *line.
void readChannelDef(Lines& lines, QString* line, QStringList* channels, QMap<int, float>* weights) {
    const QString node = lines.nextOrEmpty().trimmed();
    const QString channel = lines.nextOrEmpty().trimmed();
    *line = lines.nextOrEmpty();
    // A definition cut short by the end of the file names no channel the figure could have.
    if (node.isEmpty() || channel.isEmpty()) return;
    const QString name = node + QStringLiteral("**") + channel;
    int j = channels->indexOf(name);
    if (j < 0) {
        j = channels->size();
        channels->append(name);
    }
    bool ok = false;
    const float weight = line->trimmed().toFloat(&ok);
    // The engine refuses inf and nan, so they are dropped here like any unreadable weight.
    if (ok && std::isfinite(weight)) weights->insert(j, weight);
}

} // namespace

QString phonemeName(int index) {
    if (index < 0 || index >= KvParloFigureConfig::kPhonemes) return QString();
    return QLatin1String(Vantrix::kPhonemeDataNames[index]);
}

QString gestureName(int index) {
    if (index < 0 || index >= KvParloFigureConfig::kGestures) return QString();
    return QLatin1String(kGestureNames[index]);
}

int gestureIndex(const QString& name) {
    for (int g = 0; g < KvParloFigureConfig::kGestures; ++g)
        if (name == QLatin1String(kGestureNames[g])) return g;
    return -1;
}

void readConfiguration(QIODevice* device, KvParloFigureConfig* config) {
    config->reset();
    QMap<int, int> copies; // target phoneme -> source phoneme
    int phoneme = -1, gesture = -1;
    bool inPhoneme = false, inGesture = false;
    Lines lines(device);
    QString line;
    while (lines.next(&line)) {
        if (line.contains(QLatin1String("phonemedef"))) {
            inPhoneme = secondWordAsInt(line, &phoneme);
            if (!inPhoneme) phoneme = -1;
        }
        const bool phonemeMap =
            inPhoneme && phoneme >= 0 && phoneme < KvParloFigureConfig::kPhonemes;
        if (phonemeMap) {
            int source = 0;
            if (line.contains(QLatin1String("ChannelDef")))
                readChannelDef(lines, &line, &config->speechChannels,
                               &config->phonemeWeights[phoneme]);
            else if (line.contains(QLatin1String("copyof")) && secondWordAsInt(line, &source))
                copies.insert(phoneme, source);
        }
        if (line.contains(QLatin1String("gesture"))) {
            gesture = gestureIndex(line.simplified().section(QLatin1Char(' '), 1));
            inGesture = gesture >= 0;
        }
        if (inGesture && line.contains(QLatin1String("ChannelDef"), Qt::CaseInsensitive))
            readChannelDef(lines, &line, &config->gestureChannels,
                           &config->gestureWeights[gesture]);
    }

    if (config->phonemeWeights[KvParloFigureConfig::kShortSil].isEmpty())
        copies.insert(KvParloFigureConfig::kShortSil, KvParloFigureConfig::kSil);
    if (config->phonemeWeights[KvParloFigureConfig::kFlap].isEmpty())
        copies.insert(KvParloFigureConfig::kFlap, KvParloFigureConfig::kD);
    for (auto it = copies.constBegin(); it != copies.constEnd(); ++it) {
        const int target = it.key(), source = it.value();
        if (target < 1 || target >= KvParloFigureConfig::kPhonemes || source < 1 ||
            source >= KvParloFigureConfig::kPhonemes)
            continue;
        config->phonemeWeights[target] = config->phonemeWeights[source];
    }
}

QByteArray engineConfiguration(const KvParloFigureConfig& config) {
    QByteArray text;
    QTextStream out(&text, QIODevice::WriteOnly);
    out << "; Created automatically by Korvel Studio \n\n";
    out << "[PhonemeToSpeechTargetMapping]\n";
    out << "NumSpeechTargets=" << config.speechChannels.size() << "\n";
    for (int p = 0; p < KvParloFigureConfig::kPhonemes; ++p) {
        out << phonemeName(p) << "=";
        const QMap<int, float> weights = config.phonemeWeights.value(p);
        for (int j = 0; j < config.speechChannels.size(); ++j) {
            if (j > 0) out << ", ";
            if (weights.contains(j))
                out << weights.value(j);
            else
                out << "0.0";
        }
        out << "\n";
    }
    out.flush();
    return text;
}

QMap<QString, QString> readFigureMap(QIODevice* device, const QString& configurationFolder) {
    QMap<QString, QString> map;
    Lines lines(device);
    QString line;
    const QString separator = QStringLiteral(" = ");
    while (lines.next(&line)) {
        line = line.simplified();
        map.insert(line.section(separator, 0, 0).toLower(),
                   configurationFolder + line.section(separator, 1, 1));
    }
    return map;
}

QString figureMapKey(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toLower();
}

QString geometryMapKey(QIODevice* figureFile) {
    Lines lines(figureFile);
    QString line;
    while (lines.next(&line)) {
        if (!line.contains(QLatin1String("figureResFile"))) continue;
        QString path = line.simplified().section(QLatin1Char(' '), 1);
        path.replace(QLatin1Char(':'), QLatin1Char('/'));
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        path.remove(QLatin1Char('"'));
        return figureMapKey(path);
    }
    return QString();
}

} // namespace KvParloConfig
