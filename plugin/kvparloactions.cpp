#include "kvparloactions.h"

#include <QtGlobal>

#include "kvparlopane.h"

KvParloPaneAction::KvParloPaneAction(QObject* parent)
    : KvPaneAction(QStringLiteral("KvParloPane"), parent) {
    if (kvApp) kvApp->getHelpMgr()->setOnlineHelp(this, QStringLiteral("KvParloPaneAction"));
}

KvBrowseForParloProAction::KvBrowseForParloProAction(QObject* parent)
    : KvAction(tr("Browse for Parlo Pro..."), tr("Browse for the Parlo Pro application."), parent) {
}

QString KvBrowseForParloProAction::getActionGroup() const {
    return QStringLiteral("Lip Sync");
}

void KvBrowseForParloProAction::init() {
    KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
    if (window)
        m_pane = qobject_cast<KvParloPane*>(
            window->getPaneMgr()->findPane(QStringLiteral("KvParloPane")));
    KvAction::init();
}

void KvBrowseForParloProAction::executeAction() {
    if (!m_pane) {
        qWarning("No Lip Sync pane instance found in KvBrowseForParloProAction::executeAction()");
        return;
    }
    QString path;
    if (m_pane->browseForParloPro(path))
        KvAppSettings(QStringLiteral("LipSync"))
            .setStringValue(QStringLiteral("ParloProPath"), path);
}
