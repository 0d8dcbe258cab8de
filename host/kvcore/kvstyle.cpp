#include "kvstyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>

KvHostStyle::KvHostStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int KvHostStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                             const QWidget* widget) const {
    if (metric == PM_CustomBase) return kCustomMetric;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

static QIcon triangle(bool open) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 60));
    QPainterPath path;
    if (open) {
        path.moveTo(3, 5);
        path.lineTo(13, 5);
        path.lineTo(8, 12);
    } else {
        path.moveTo(5, 3);
        path.lineTo(12, 8);
        path.lineTo(5, 13);
    }
    path.closeSubpath();
    p.drawPath(path);
    return QIcon(pm);
}

QIcon KvHostStyle::standardIcon(StandardPixmap pixmap, const QStyleOption* option,
                                const QWidget* widget) const {
    if (pixmap == SP_CustomBase + 16) return triangle(false);
    if (pixmap == SP_CustomBase + 18) return triangle(true);
    return QProxyStyle::standardIcon(pixmap, option, widget);
}
