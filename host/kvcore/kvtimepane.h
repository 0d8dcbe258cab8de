// The timeline: the selected figure's keyed channels plotted over time, with the time cursor.
#pragma once

#include <QPointer>

#include "kvplugin.h"

class QLabel;
class KvFloatProperty;
class KvTimePlot;

class KvTimePane : public KvPane {
    Q_OBJECT
public:
    explicit KvTimePane(QWidget* parent = nullptr);
    // Channels drawn, as node name "**" channel name.
    QStringList plottedChannels() const;

public slots:
    void refresh();

private:
    KvTimePlot* m_plot;
    QLabel* m_time;
};
