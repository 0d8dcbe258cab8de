// The plug-in's two actions: show the Lip Sync pane, and locate the Parlo Pro application.
#pragma once

#include "kvparlo_host.h"

class KvParloPane;

class KvParloPaneAction : public KvPaneAction {
    Q_OBJECT
public:
    explicit KvParloPaneAction(QObject* parent = nullptr);
};

class KvBrowseForParloProAction : public KvAction {
    Q_OBJECT
public:
    explicit KvBrowseForParloProAction(QObject* parent = nullptr);
    QString getActionGroup() const override;
    void init() override;
    void executeAction() override;

private:
    KvParloPane* m_pane = nullptr;
};
