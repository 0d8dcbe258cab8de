// Fuzzes the figure map (CR22LSC.ini) reader and the geometry reference read from a figure file.
#include <QBuffer>
#include <cstdint>

#include "kvparloconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer map;
    map.setData(bytes);
    map.open(QIODevice::ReadOnly);
    const QMap<QString, QString> figures =
        KvParloConfig::readFigureMap(&map, QStringLiteral("/configurations/"));
    for (auto it = figures.begin(); it != figures.end(); ++it)
        if (!it.value().startsWith(QLatin1String("/configurations/"))) __builtin_trap();
    QBuffer figure;
    figure.setData(bytes);
    figure.open(QIODevice::ReadOnly);
    // The key is a bare file name: no folder is left in it.
    if (KvParloConfig::geometryMapKey(&figure).contains(QLatin1Char('/'))) __builtin_trap();
    return 0;
}
