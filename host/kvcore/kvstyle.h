// The host style: the custom metric and pixmaps plug-in panes ask for.
#pragma once

#include <QProxyStyle>

class KvHostStyle : public QProxyStyle {
    Q_OBJECT
public:
    // The unit of pane margins and spacing, in pixels.
    static const int kCustomMetric = 2;

    KvHostStyle();
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    // SP_CustomBase + 16 and + 18: a closed and an open disclosure triangle.
    QIcon standardIcon(StandardPixmap pixmap, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
