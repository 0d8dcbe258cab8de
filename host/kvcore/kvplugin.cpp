#include "kvplugin.h"

#include <QAction>
#include <QDir>
#include <QLibrary>
#include <QMenu>
#include <QMetaEnum>

#include "kvapp.h"
#include "kvmainwindow.h"

KvGUID KvGUID::fromString(const QString& text) {
    KvGUID g;
    QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('{'))) t = QLatin1Char('{') + t + QLatin1Char('}');
    g.m_uuid = QUuid(t);
    if (!g.m_uuid.isNull()) g.m_text = text.trimmed();
    return g;
}

KvPlugin::KvPlugin(const QString& name, const QString& author, const QString& description,
                   unsigned int version)
    : m_name(name), m_author(author), m_description(description), m_version(version) {}

QScriptEngine::ValueOwnership KvClassFactory::s_ownership = QScriptEngine::QtOwnership;

KvClassFactory::KvClassFactory(KvPlugin& plugin, const QMetaObject* metaObject, const KvGUID& guid)
    : m_meta(metaObject), m_guid(guid) {
    s_ownership = QScriptEngine::QtOwnership;
    plugin.addFactory(this);
}

KvClassFactory::~KvClassFactory() = default;

void KvClassFactory::registerClass(QScriptEngine* engine) {
    // The base records the class name so scripts can ask what a plug-in brought.
    QScriptValue global = engine->globalObject();
    QScriptValue list = global.property(QStringLiteral("pluginClasses"));
    if (!list.isArray()) {
        list = engine->newArray();
        global.setProperty(QStringLiteral("pluginClasses"), list);
    }
    list.setProperty(list.property(QStringLiteral("length")).toUInt32(), getClassName());
}

void KvClassFactory::registerEnumsOnClass(const QMetaObject* metaObject, QScriptValue& value) {
    for (int i = 0; i < metaObject->enumeratorCount(); ++i) {
        const QMetaEnum e = metaObject->enumerator(i);
        for (int k = 0; k < e.keyCount(); ++k)
            value.setProperty(QString::fromLatin1(e.key(k)), e.value(k),
                              QScriptValue::ReadOnly | QScriptValue::Undeletable);
    }
}

KvPane::KvPane(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {
    setWindowTitle(title);
}

void KvPane::fillOptionsMenu(KvActionMenu*) {}

void KvPane::setPaneVisible(bool on) {
    if (on == m_paneVisible) return;
    m_paneVisible = on;
    emit visibilityChanged(on);
}

KvAction::KvAction(const QString& text, const QString& description, QObject* parent)
    : QObject(parent), m_text(text), m_description(description) {}

void KvAction::init() {
    qaction();
}

QAction* KvAction::qaction() {
    if (!m_qaction) {
        m_qaction = new QAction(m_text, this);
        m_qaction->setStatusTip(m_description);
        m_qaction->setObjectName(QString::fromLatin1(metaObject()->className()));
        connect(m_qaction, &QAction::triggered, this, [this] { executeAction(); });
    }
    return m_qaction;
}

KvPaneAction::KvPaneAction(const QString& paneClassName, QObject* parent)
    : KvAction(paneClassName, QString(), parent), m_paneClass(paneClassName) {}

void KvPaneAction::executeAction() {
    KvMainWindow* w = kvApp ? kvApp->getInterface() : nullptr;
    if (!w) return;
    KvPane* pane = w->getPaneMgr()->findPane(m_paneClass);
    if (!pane) return;
    if (pane->isPaneVisible())
        w->getPaneMgr()->hidePane(m_paneClass);
    else
        w->getPaneMgr()->showPane(m_paneClass);
}

KvActionMenu::KvActionMenu(QMenu* menu, QObject* parent) : QObject(parent), m_menu(menu) {}

bool KvActionMenu::insertAction(const QString& className, int index) {
    KvAction* action =
        kvApp ? qobject_cast<KvAction*>(kvApp->findActionInstance(className)) : nullptr;
    if (!action || !m_menu) return false;
    const QList<QAction*> existing = m_menu->actions();
    QAction* before = (index >= 0 && index < existing.size()) ? existing[index] : nullptr;
    m_menu->insertAction(before, action->qaction());
    return true;
}

KvPlugin* KvPluginLoader::loadLibrary(const QString& path) {
    QLibrary lib(path);
    if (!lib.load()) {
        kvApp->log(QStringLiteral("Plug-in %1 skipped: %2").arg(path, lib.errorString()));
        return nullptr;
    }
    auto version = reinterpret_cast<KvGetSDKVersionFn>(lib.resolve("getSDKVersion"));
    auto definition = reinterpret_cast<KvGetPluginDefinitionFn>(lib.resolve("getPluginDefinition"));
    if (!version || !definition) {
        kvApp->log(QStringLiteral("Plug-in %1 skipped: it exports no getSDKVersion or "
                                  "getPluginDefinition")
                       .arg(path));
        lib.unload();
        return nullptr;
    }
    if (version() != KV_SDK_VERSION) {
        kvApp->log(QStringLiteral("Plug-in %1 skipped: built for SDK version 0x%2, this host has "
                                  "0x%3")
                       .arg(path)
                       .arg(version(), 8, 16, QLatin1Char('0'))
                       .arg(KV_SDK_VERSION, 8, 16, QLatin1Char('0')));
        lib.unload();
        return nullptr;
    }
    KvPlugin* plugin = definition();
    if (!plugin) {
        kvApp->log(QStringLiteral("Plug-in %1 skipped: it gave no definition").arg(path));
        return nullptr;
    }
    // The library stays loaded for the life of the process: its factories are static objects.
    for (KvClassFactory* f : plugin->getFactories())
        kvApp->registerFactory(f);
    kvApp->log(QStringLiteral("Plug-in \"%1\" version 0x%2 loaded from %3")
                   .arg(plugin->getName())
                   .arg(plugin->getVersion(), 8, 16, QLatin1Char('0'))
                   .arg(path));
    return plugin;
}

QList<KvPlugin*> KvPluginLoader::loadFolder(const QString& folder) {
    QList<KvPlugin*> out;
    const QDir dir(folder);
    const QStringList files =
        dir.entryList(QStringList() << QStringLiteral("*.so"), QDir::Files, QDir::Name);
    for (const QString& f : files)
        if (KvPlugin* p = loadLibrary(dir.absoluteFilePath(f))) out.append(p);
    return out;
}
