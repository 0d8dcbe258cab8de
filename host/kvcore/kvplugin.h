// The plug-in framework: definitions, class factories, panes and actions.
#pragma once

#include <QList>
#include <QObject>
#include <QScriptEngine>
#include <QScriptValue>
#include <QString>
#include <QUuid>
#include <QWidget>

class QAction;
class QMenu;
class KvClassFactory;
class KvActionMenu;

class KvGUID {
public:
    KvGUID() = default;
    // Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without braces; null when malformed.
    static KvGUID fromString(const QString& text);
    QString toString() const { return m_text; }
    bool isNull() const { return m_uuid.isNull(); }
    bool operator==(const KvGUID& o) const { return m_uuid == o.m_uuid; }

private:
    QUuid m_uuid;
    QString m_text;
};

// What a plug-in library announces about itself, with its factories in registration order.
class KvPlugin {
public:
    KvPlugin(const QString& name, const QString& author, const QString& description,
             unsigned int version);
    void setAuthor(const QString& author) { m_author = author; }
    void setVersion(unsigned int version) { m_version = version; }
    void setDescription(const QString& description) { m_description = description; }
    QString getName() const { return m_name; }
    QString getAuthor() const { return m_author; }
    QString getDescription() const { return m_description; }
    unsigned int getVersion() const { return m_version; }
    void addFactory(KvClassFactory* factory) { m_factories.append(factory); }
    const QList<KvClassFactory*>& getFactories() const { return m_factories; }

private:
    QString m_name, m_author, m_description;
    unsigned int m_version;
    QList<KvClassFactory*> m_factories;
};

// Makes instances of one plug-in class and makes the class known to the host's scripts.
class KvClassFactory {
public:
    KvClassFactory(KvPlugin& plugin, const QMetaObject* metaObject, const KvGUID& guid);
    virtual ~KvClassFactory();

    const QMetaObject* getMetaObject() const { return m_meta; }
    QString getClassName() const { return QString::fromLatin1(m_meta->className()); }
    KvGUID getGUID() const { return m_guid; }

    virtual QObject* create() = 0;
    // Makes the class known to the engine; derived factories add their constructor.
    virtual void registerClass(QScriptEngine* engine);
    // Adds every enumeration key of metaObject (and its bases) to value as a number.
    static void registerEnumsOnClass(const QMetaObject* metaObject, QScriptValue& value);

    static QScriptEngine::ValueOwnership scriptOwnership() { return s_ownership; }
    static void setScriptOwnership(QScriptEngine::ValueOwnership o) { s_ownership = o; }

private:
    const QMetaObject* m_meta;
    KvGUID m_guid;
    static QScriptEngine::ValueOwnership s_ownership;
};

// A dockable window of the host. The pane manager tells it when it is shown or hidden.
class KvPane : public QWidget {
    Q_OBJECT
public:
    explicit KvPane(const QString& title, QWidget* parent = nullptr);
    QString getTitle() const { return m_title; }

    // Fills the pane's options menu; the host asks only panes that answer hasOptionsMenu().
    virtual void fillOptionsMenu(KvActionMenu* menu);
    virtual bool hasOptionsMenu() const { return false; }
    virtual void readSettings() {}
    virtual void writeSettings() {}

    bool isPaneVisible() const { return m_paneVisible; }
    void setPaneVisible(bool on);

signals:
    void visibilityChanged(bool visible);

private:
    QString m_title;
    bool m_paneVisible = false;
};

// A command of the host's menus.
class KvAction : public QObject {
    Q_OBJECT
public:
    KvAction(const QString& text, const QString& description, QObject* parent = nullptr);
    QString getText() const { return m_text; }
    QString getDescription() const { return m_description; }
    virtual QString getActionGroup() const { return QString(); }
    // Called by the host once every plug-in pane exists.
    virtual void init();
    virtual void executeAction() {}
    // The menu entry that runs executeAction.
    QAction* qaction();

private:
    QString m_text, m_description;
    QAction* m_qaction = nullptr;
};

// Shows and hides one pane class.
class KvPaneAction : public KvAction {
    Q_OBJECT
public:
    explicit KvPaneAction(const QString& paneClassName, QObject* parent = nullptr);
    QString getPaneClassName() const { return m_paneClass; }
    void executeAction() override;

private:
    QString m_paneClass;
};

// A menu that takes host actions by class name.
class KvActionMenu : public QObject {
    Q_OBJECT
public:
    explicit KvActionMenu(QMenu* menu, QObject* parent = nullptr);
    // Inserts the host's instance of className before position index (-1: at the end).
    bool insertAction(const QString& className, int index);
    QMenu* menu() const { return m_menu; }

private:
    QMenu* m_menu;
};

// Signatures of the two functions a plug-in library exports.
extern "C" {
typedef unsigned int (*KvGetSDKVersionFn)();
typedef KvPlugin* (*KvGetPluginDefinitionFn)();
}

// Loads the plug-in libraries of a folder and registers their factories.
class KvPluginLoader {
public:
    // Returns the definitions accepted; refusals are logged with their cause.
    static QList<KvPlugin*> loadFolder(const QString& folder);
    static KvPlugin* loadLibrary(const QString& path);
};
