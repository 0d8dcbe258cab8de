// Fuzzes the scan of a Parlo Pro transfer (PZ2) file against a small figure.
#include <QBuffer>
#include <cstdint>

#include "kvelement.h"
#include "kvfigurefile.h"
#include "kvparlohandoff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static KvSkeleton* figure = [] {
        int code = 0;
        QString message;
        return KvFigureFile::parseFigure(
            "{\nactor head:1\n{\nchannels\n{\ntargetGeom MouthAA\n{\nkeys { static 0 }\n}\n"
            "rotateX xrot\n{\nkeys { static 0 }\n}\n}\n}\n}\n",
            QStringLiteral("fuzz.cr2"), 160, &code, &message);
    }();
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    buffer.open(QIODevice::ReadOnly);
    const KvParloHandoff::TransferScan scan = KvParloHandoff::scanTransferFile(&buffer, figure);
    // Only the figure's own channels are named, and the frames are in order.
    for (const QString& name : scan.channels)
        if (!name.startsWith(QLatin1String("head**"))) __builtin_trap();
    if (scan.firstFrame < 0 || scan.firstFrame > scan.lastFrame) __builtin_trap();
    return 0;
}
