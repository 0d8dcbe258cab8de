#include "kvparlokeys.h"

#include <algorithm>

namespace KvParloKeys {

namespace {

QString engineText(uint32_t code) {
    char buffer[256] = {0};
    VoxtrailGetErrorString(code, sizeof buffer, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return QString::fromLocal8Bit(buffer);
}

void log(const QString& line) {
    if (kvApp) kvApp->log(line);
}

void logEngine(uint32_t code) {
    log(QStringLiteral("Parlo Voxtrail error: %1").arg(engineText(code)));
}

void step(int steps) {
    if (kvApp && steps > 0) kvApp->stepProgress(steps);
}

using KeyQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t, double*, double*, double*,
                              double*);
using CountQuery = uint32_t (*)(VOXTRAIL_ANALYSIS*, int32_t, int32_t*);

struct EngineKey {
    int tick = 0;
    double value = 0, outSlope = 0, nextInSlope = 0;
};

// The keys of one track with their ticks; false when the track cannot be read at all. A key
// whose own or whose successor's query fails is left out.
bool readTrack(VOXTRAIL_ANALYSIS* analysis, int track, CountQuery count, KeyQuery key,
               int soundStart, QVector<EngineKey>* keys, ApplyResult* result) {
    int32_t n = 0;
    uint32_t code = count(analysis, track, &n);
    if (code != VOXTRAIL_NOERR) {
        logEngine(code);
        result->queryFailed = true;
        return false;
    }
    for (int32_t k = 0; k < n; ++k) {
        double t = 0, v = 0, in = 0, out = 0;
        code = key(analysis, track, k, &t, &v, &in, &out);
        if (code != VOXTRAIL_NOERR) {
            logEngine(code);
            result->queryFailed = true;
            continue;
        }
        double nextIn = 0;
        if (k + 1 < n) {
            double t1 = 0, v1 = 0, out1 = 0;
            code = key(analysis, track, k + 1, &t1, &v1, &nextIn, &out1);
            if (code != VOXTRAIL_NOERR) {
                logEngine(code);
                result->queryFailed = true;
                continue;
            }
        }
        EngineKey e;
        e.tick = soundStart + static_cast<int>(t * KvScene::kTicksPerSecond);
        e.value = v;
        e.outSlope = out;
        e.nextInSlope = nextIn;
        keys->append(e);
    }
    return true;
}

void writeKey(KvFloatProperty* channel, const EngineKey& e, double weight) {
    channel->setKey(e.tick, static_cast<float>(e.value * weight), 3,
                    static_cast<float>(e.outSlope * kSlopePerTick * weight),
                    static_cast<float>(e.nextInSlope * kSlopePerTick * weight), 0.0f);
}

// The channel a configured name stands for, logging it once when the figure lacks it.
KvFloatProperty* channelOrMissing(KvSkeleton* figure, const QString& name, const char* family,
                                  ApplyResult* result) {
    QString node, channel;
    splitChannelName(name, &node, &channel);
    if (KvFloatProperty* p = findChannel(figure, node, channel)) return p;
    const QString key = channel + QStringLiteral("***") + node;
    if (!result->missing.contains(key)) {
        result->missing.append(key);
        log(QStringLiteral("Parlo warning: '%1' %2 channel not found on '%3'")
                .arg(channel, QLatin1String(family), node));
    }
    return nullptr;
}

} // namespace

void splitChannelName(const QString& name, QString* node, QString* channel) {
    const QString separator = QStringLiteral("**");
    *node = name.section(separator, 0, 0);
    *channel = name.section(separator, 1, 1);
}

KvFloatProperty* findChannel(KvSkeleton* figure, const QString& nodeName,
                             const QString& channelName) {
    if (!figure || nodeName.isEmpty() || channelName.isEmpty()) return nullptr;
    KvBone* bone = figure->findBone(nodeName);
    if (!bone) bone = figure->findBone(nodeName.section(QLatin1Char(':'), 0, 0));
    if (!bone) return nullptr;
    KvObject* object = bone->getObject();
    if (!object) return nullptr;
    for (int i = 0; i < object->getNumModifiers(); ++i) {
        KvModifier* m = object->getModifier(i);
        if (m && m->inherits("KvMorph") && m->name() == channelName)
            return static_cast<KvMorph*>(m)->getValueChannel();
    }
    KvProperty* property = bone->findProperty(channelName);
    if (property && property->inherits("KvFloatProperty"))
        return static_cast<KvFloatProperty*>(property);
    property = bone->findPropertyByLabel(channelName);
    if (property && property->inherits("KvFloatProperty"))
        return static_cast<KvFloatProperty*>(property);

    const QString n = channelName.toLower();
    auto has = [&n](const char* part) { return n.contains(QLatin1String(part)); };
    if (has("rot")) {
        if (has("x")) return bone->getXRotateControl();
        if (has("y")) return bone->getYRotateControl();
        if (has("z")) return bone->getZRotateControl();
    }
    if (has("tran")) {
        if (has("x")) return bone->getXPositionControl();
        if (has("y")) return bone->getYPositionControl();
        if (has("z")) return bone->getZPositionControl();
    }
    if (has("scale")) {
        if (has("x")) return bone->getXScaleControl();
        if (has("y")) return bone->getYScaleControl();
        if (has("z")) return bone->getZScaleControl();
        return bone->getScaleControl();
    }
    return nullptr;
}

void removeKeysInRange(KvFloatProperty* channel, int start, int end) {
    if (!channel) return;
    int first = -1, last = -1;
    for (int i = 0; i < channel->getNumKeys(); ++i) {
        const int t = channel->getKeyTime(i);
        if (start <= t && t < end && (first < 0 || t < channel->getKeyTime(first))) first = i;
        if (start < t && t <= end && (last < 0 || t > channel->getKeyTime(last))) last = i;
    }
    if (first >= 0 && last >= 0) channel->removeKeys(first, last);
}

void removeLipSync(KvSkeleton* figure, const KvParloFigureConfig& config,
                   const KvTimeRange& range) {
    for (const QStringList* list : {&config.speechChannels, &config.gestureChannels})
        for (const QString& name : *list) {
            QString node, channel;
            splitChannelName(name, &node, &channel);
            removeKeysInRange(findChannel(figure, node, channel), range.getStart(), range.getEnd());
        }
}

ApplyResult applyAnalysis(VOXTRAIL_ANALYSIS* analysis, KvSkeleton* figure,
                          const KvParloFigureConfig& config, int soundStart) {
    ApplyResult result;
    int lo = soundStart, hi = soundStart;
    auto widen = [&](int tick) {
        lo = std::min(lo, tick);
        hi = std::max(hi, tick);
    };

    int32_t speechTracks = 0;
    uint32_t code = VoxtrailGetNumSpeechTargets(analysis, &speechTracks);
    if (code != VOXTRAIL_NOERR) {
        logEngine(code);
        result.code = 98;
        return result;
    }
    if (speechTracks != config.speechChannels.size()) {
        log(QStringLiteral("Parlo Speech Track Error: The number of channels used (%1) does not "
                           "match the number of tracks generated (%2).")
                .arg(config.speechChannels.size())
                .arg(speechTracks));
        result.code = 98;
        return result;
    }
    int32_t gestureTracks = 0;
    code = VoxtrailGetNumGestures(analysis, &gestureTracks);
    if (code != VOXTRAIL_NOERR) {
        logEngine(code);
        result.code = 98;
        return result;
    }
    if (gestureTracks != config.gestureWeights.size()) {
        log(QStringLiteral("Parlo Gesture Track Error: The number of gesture channels used (%1) "
                           "does not match the number of tracks generated (%2).")
                .arg(config.gestureWeights.size())
                .arg(gestureTracks));
        result.code = 98;
        return result;
    }
    // Both counts are checked before the first key, so a mismatch leaves the figure untouched.

    const int speechStep = speechTracks > 0 ? 100 / speechTracks : 0;
    for (int32_t i = 0; i < speechTracks; ++i) {
        KvFloatProperty* channel =
            channelOrMissing(figure, config.speechChannels[i], "speech", &result);
        if (!channel) continue;
        QVector<EngineKey> keys;
        if (!readTrack(analysis, i, VoxtrailGetNumSpeechTargetKeys, VoxtrailGetSpeechTargetKey,
                       soundStart, &keys, &result))
            continue;
        for (const EngineKey& e : keys) {
            widen(e.tick);
            writeKey(channel, e, 1.0);
        }
        step(speechStep);
    }

    const int gestureStep = gestureTracks > 0 ? 100 / gestureTracks : 0;
    for (int32_t g = 0; g < gestureTracks; ++g) {
        const QMap<int, float>& weights = config.gestureWeights[g];
        QVector<EngineKey> keys;
        if (!readTrack(analysis, g, VoxtrailGetNumGestureKeys, VoxtrailGetGestureKey, soundStart,
                       &keys, &result))
            continue;
        for (const EngineKey& e : keys) {
            widen(e.tick);
            for (auto it = weights.constBegin(); it != weights.constEnd(); ++it) {
                KvFloatProperty* channel = channelOrMissing(
                    figure, config.gestureChannels.value(it.key()), "gesture", &result);
                if (channel) writeKey(channel, e, it.value());
            }
        }
        step(gestureStep);
    }
    result.keyedRange.setEnds(lo, hi);
    return result;
}

} // namespace KvParloKeys
