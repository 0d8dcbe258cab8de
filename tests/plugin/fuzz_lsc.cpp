// Fuzzes the figure configuration (.lsc) reader and the engine configuration written from it.
#include <QBuffer>
#include <cstdint>

#include "kvparloconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    buffer.open(QIODevice::ReadOnly);
    KvParloFigureConfig config;
    KvParloConfig::readConfiguration(&buffer, &config);
    const QByteArray text = KvParloConfig::engineConfiguration(config);
    // Whatever the file, the engine gets its 43 rows and the tables keep their sizes.
    if (text.count('\n') != 3 + 1 + KvParloFigureConfig::kPhonemes ||
        config.phonemeWeights.size() != KvParloFigureConfig::kPhonemes ||
        config.gestureWeights.size() != KvParloFigureConfig::kGestures)
        __builtin_trap();
    for (const QMap<int, float>& weights : config.phonemeWeights + config.gestureWeights)
        for (auto it = weights.begin(); it != weights.end(); ++it)
            if (it.key() < 0 || !(it.value() == it.value())) __builtin_trap();
    return 0;
}
