// Writing an analysis as keys onto a figure's channels, finding those channels, and taking keys
// off them again.
#pragma once

#include <QString>
#include <QStringList>

#include "kvparlo_host.h"
#include "kvparloconfig.h"
#include "voxtrail.h"

namespace KvParloKeys {

// A slope per millisecond becomes a slope per host tick (1/4.8 as a float).
constexpr double kSlopePerTick = 0.2083333283662796;

// The channel node name + "**" + channel name names, split at the first "**".
void splitChannelName(const QString& name, QString* node, QString* channel);

// The channel of figure that a configuration names, or null.
KvFloatProperty* findChannel(KvSkeleton* figure, const QString& nodeName,
                             const QString& channelName);

// Removes the keys that lie inside [start, end]; a range whose only key lies on one end
// removes nothing.
void removeKeysInRange(KvFloatProperty* channel, int start, int end);

// Removes every configured channel's keys inside range.
void removeLipSync(KvSkeleton* figure, const KvParloFigureConfig& config, const KvTimeRange& range);

struct ApplyResult {
    int code = 0;             // 0, or 98 when the track counts cannot be read or differ
    bool queryFailed = false; // a track or key could not be read; the others were written
    QStringList missing;      // channel + "***" + node, one per channel not found
    KvTimeRange keyedRange;   // first and last tick written (sound start when none)
};

// Writes every speech-target and gesture key of analysis onto figure, from soundStart on, and
// steps the host progress. Logs every problem; shows no box.
ApplyResult applyAnalysis(VOXTRAIL_ANALYSIS* analysis, KvSkeleton* figure,
                          const KvParloFigureConfig& config, int soundStart);

} // namespace KvParloKeys
