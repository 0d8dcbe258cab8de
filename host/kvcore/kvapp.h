// The application object and its managers: log, paths, progress, settings, help, content, files.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class QScriptEngine;
class KvClassFactory;
class KvMainWindow;
class KvWinAudioClip;
class KvSkeleton;

// The SDK version this host accepts from plug-ins.
constexpr unsigned int KV_SDK_VERSION = 0x0300013D;

class KvMultiMediaMgr : public QObject {
    Q_OBJECT
public:
    // Loads path into clip; 0 on success. The last argument (a track) is not used here.
    int importAudioClip(const QString& path, KvWinAudioClip* clip, int track);
};

// Reads pose files (PZ2) onto the selected figure.
class KvImportMgr : public QObject {
    Q_OBJECT
public:
    int readFile(const QString& path, int options);
    QString getErrorMessage(int code) const;

private:
    QHash<int, QString> m_messages;
};

class KvContentMgr : public QObject {
    Q_OBJECT
public:
    QString getPoserDirectoryPath() const;
    void setPoserDirectoryPath(const QString& path) { m_path = path; }

private:
    QString m_path;
};

class KvHelpMgr : public QObject {
    Q_OBJECT
public:
    void setOnlineHelp(QObject* object, const QString& topic = QString());
    // The topic a widget was registered under; its object name when registered without one.
    QString helpTopic(const QObject* object) const;
    bool isRegistered(const QObject* object) const;

private:
    QHash<const QObject*, QString> m_topics;
};

class KvFileIO {
public:
    // Folder of a path, without the trailing separator.
    static QString getFilePath(const QString& path);
    // File name without folders and without its last extension.
    static QString getBaseFileName(const QString& path);
};

class KvAppSettings {
public:
    explicit KvAppSettings(const QString& group);
    QString getStringValue(const QString& key, const QString& defaultValue = QString()) const;
    void setStringValue(const QString& key, const QString& value);
    bool contains(const QString& key) const;

private:
    QString m_group;
};

class KvApp : public QObject {
    Q_OBJECT
public:
    KvApp();
    ~KvApp() override;

    Q_INVOKABLE void log(const QString& line);
    Q_INVOKABLE QStringList logLines() const { return m_logLines; }
    QString logFilePath() const { return m_logPath; }
    void setLogFilePath(const QString& path);

    QWidget* getDialogParent() const;
    KvMainWindow* getInterface() const;
    void setInterface(KvMainWindow* window);

    Q_INVOKABLE QString getPluginsPath() const { return m_pluginsPath; }
    void setPluginsPath(const QString& path) { m_pluginsPath = path; }
    // A folder of this instance's own, removed with it, so that two hosts running at once never
    // write each other's scratch files.
    Q_INVOKABLE QString getTempPath() const;

    void startProgress(const QString& text, int total, bool canCancel, bool modal);
    void stepProgress(int steps = 1);
    void finishProgress();
    bool progressIsActive() const { return m_progressActive; }
    bool progressIsCancelled() const { return m_progressCancelled; }
    bool progressCanCancel() const { return m_progressCanCancel; }
    void cancelProgress() { m_progressCancelled = true; }
    int progressValue() const { return m_progressValue; }
    void statusLine(const QString& text);
    QString lastStatusLine() const { return m_status; }

    static void setBusyCursor();
    static void clearBusyCursor();
    void showURL(const QString& url);

    KvMultiMediaMgr* getMultiMediaMgr() { return &m_multimedia; }
    KvImportMgr* getImportMgr() { return &m_import; }
    KvContentMgr* getContentMgr() { return &m_content; }
    KvHelpMgr* getHelpMgr() { return &m_help; }

    // Plug-in classes: factories by class name and the script engine they are known to.
    QScriptEngine* scriptEngine();
    void registerFactory(KvClassFactory* factory);
    const QList<KvClassFactory*>& factories() const { return m_factories; }
    KvClassFactory* findFactory(const QString& className) const;
    Q_INVOKABLE QObject* createInstance(const QString& className);
    // Action instances made by the host, so that menus can insert them by class name.
    void addActionInstance(QObject* action);
    QObject* findActionInstance(const QString& className) const;

    // Reads a figure file into the scene and selects it; 0 or an error code with lastError().
    Q_INVOKABLE int openFigure(const QString& path);
    Q_INVOKABLE QString lastError() const { return m_lastError; }

signals:
    void logged(const QString& line);
    void progressChanged(const QString& text, int value, int total);
    void statusChanged(const QString& text);

private:
    QStringList m_logLines;
    QString m_logPath, m_pluginsPath, m_status, m_lastError;
    mutable std::unique_ptr<QTemporaryDir> m_tempDir;
    QPointer<KvMainWindow> m_window;
    bool m_progressActive = false, m_progressCancelled = false, m_progressCanCancel = false;
    int m_progressValue = 0, m_progressTotal = 0;
    QString m_progressText;
    KvMultiMediaMgr m_multimedia;
    KvImportMgr m_import;
    KvContentMgr m_content;
    KvHelpMgr m_help;
    QScriptEngine* m_script = nullptr;
    QList<KvClassFactory*> m_factories;
    QList<QPointer<QObject>> m_actions;
};

extern KvApp* kvApp;
