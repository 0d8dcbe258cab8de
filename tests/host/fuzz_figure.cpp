// Fuzzes the figure (CR2) and pose (PZ2) reader.
#include <cstdint>

#include "kvelement.h"
#include "kvfigurefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<int>(size));
    int code = 0;
    QString message;
    KvSkeleton* figure =
        KvFigureFile::parseFigure(text, QStringLiteral("fuzz.cr2"), 160, &code, &message);
    if (figure) {
        // A figure that reads must take its own text as a pose too.
        KvFigureFile::applyPose(text, QStringLiteral("fuzz.pz2"), figure, 160, &message);
        delete figure;
    }
    return 0;
}
