#include "kvapp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScriptEngine>
#include <QSettings>
#include <QTextStream>
#include <QUrl>

#include "kvaudio.h"
#include "kvdialogs.h"
#include "kvfigurefile.h"
#include "kvmainwindow.h"
#include "kvplugin.h"
#include "kvscene.h"

KvApp* kvApp = nullptr;

int KvMultiMediaMgr::importAudioClip(const QString& path, KvWinAudioClip* clip, int) {
    if (!clip) return -1;
    const int code = clip->load(path);
    if (code != 0 && kvApp) kvApp->log(clip->errorMessage());
    return code;
}

int KvImportMgr::readFile(const QString& path, int) {
    KvNode* node = kvScene ? kvScene->getPrimarySelection() : nullptr;
    KvSkeleton* figure = node ? node->getSkeleton() : nullptr;
    QString message;
    const int code =
        KvFigureFile::readPose(path, figure, kvScene ? kvScene->getTimeStep() : 160, &message);
    if (code != 0) {
        m_messages.insert(code, message);
        if (kvApp) kvApp->log(message);
    } else if (kvScene) {
        emit kvScene->keysChanged();
    }
    return code;
}

QString KvImportMgr::getErrorMessage(int code) const {
    return m_messages.value(code, QStringLiteral("Unknown import error %1").arg(code));
}

QString KvContentMgr::getPoserDirectoryPath() const {
    return m_path.isEmpty() ? QDir::homePath() : m_path;
}

void KvHelpMgr::setOnlineHelp(QObject* object, const QString& topic) {
    if (!object) return;
    m_topics.insert(object, topic.isEmpty() ? object->objectName() : topic);
    connect(object, &QObject::destroyed, this, [this, object] { m_topics.remove(object); });
}

QString KvHelpMgr::helpTopic(const QObject* object) const {
    return m_topics.value(object);
}

bool KvHelpMgr::isRegistered(const QObject* object) const {
    return m_topics.contains(object);
}

QString KvFileIO::getFilePath(const QString& path) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : path.left(slash);
}

QString KvFileIO::getBaseFileName(const QString& path) {
    const QString file = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? file : file.left(dot);
}

KvAppSettings::KvAppSettings(const QString& group) : m_group(group) {}

QString KvAppSettings::getStringValue(const QString& key, const QString& defaultValue) const {
    QSettings s;
    return s.value(m_group + QLatin1Char('/') + key, defaultValue).toString();
}

void KvAppSettings::setStringValue(const QString& key, const QString& value) {
    QSettings s;
    s.setValue(m_group + QLatin1Char('/') + key, value);
}

bool KvAppSettings::contains(const QString& key) const {
    QSettings s;
    return s.contains(m_group + QLatin1Char('/') + key);
}

KvApp::KvApp() {
    if (!kvApp) kvApp = this;
    const QString dir = QCoreApplication::applicationDirPath();
    m_logPath = dir + QStringLiteral("/korvel.log");
    // The log outlives the instance, so not in its own temp folder.
    if (!QFileInfo(dir).isWritable()) m_logPath = QDir::tempPath() + QStringLiteral("/korvel.log");
    m_pluginsPath = dir + QStringLiteral("/plugins");
}

KvApp::~KvApp() {
    delete m_script;
    if (kvApp == this) kvApp = nullptr;
}

void KvApp::log(const QString& line) {
    m_logLines.append(line);
    QFile f(m_logPath);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        QTextStream out(&f);
        out << QDateTime::currentDateTime().toString(Qt::ISODate) << ' ' << line << '\n';
    }
    emit logged(line);
}

void KvApp::setLogFilePath(const QString& path) {
    m_logPath = path;
}

QWidget* KvApp::getDialogParent() const {
    return m_window.data();
}

KvMainWindow* KvApp::getInterface() const {
    return m_window.data();
}

void KvApp::setInterface(KvMainWindow* window) {
    m_window = window;
}

QString KvApp::getTempPath() const {
    if (!m_tempDir)
        m_tempDir.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/korvel-")));
    return m_tempDir->isValid() ? m_tempDir->path() : QDir::tempPath();
}

void KvApp::startProgress(const QString& text, int total, bool canCancel, bool) {
    m_progressCanCancel = canCancel;
    m_progressActive = true;
    m_progressCancelled = false;
    m_progressValue = 0;
    m_progressTotal = total;
    m_progressText = text;
    emit progressChanged(text, 0, total);
}

void KvApp::stepProgress(int steps) {
    if (!m_progressActive) return;
    m_progressValue += steps;
    emit progressChanged(m_progressText, m_progressValue, m_progressTotal);
    // Long steps run on the interface thread: let the bar repaint, and a cancel click through.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(m_progressCanCancel ? QEventLoop::AllEvents
                                                            : QEventLoop::ExcludeUserInputEvents);
}

void KvApp::finishProgress() {
    m_progressActive = false;
    emit progressChanged(QString(), 0, 0);
}

void KvApp::statusLine(const QString& text) {
    m_status = text;
    emit statusChanged(text);
}

void KvApp::setBusyCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void KvApp::clearBusyCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) && QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void KvApp::showURL(const QString& url) {
    QString unused;
    if (KvDialogSeam::answer(QStringLiteral("URL"), url, QString(), &unused)) return;
    QDesktopServices::openUrl(QUrl(url));
}

QScriptEngine* KvApp::scriptEngine() {
    if (!m_script) {
        m_script = new QScriptEngine;
        QScriptValue global = m_script->globalObject();
        global.setProperty(QStringLiteral("app"), m_script->newQObject(this));
        if (kvScene) global.setProperty(QStringLiteral("scene"), m_script->newQObject(kvScene));
    }
    return m_script;
}

void KvApp::registerFactory(KvClassFactory* factory) {
    if (!factory || m_factories.contains(factory)) return;
    m_factories.append(factory);
    factory->registerClass(scriptEngine());
}

KvClassFactory* KvApp::findFactory(const QString& className) const {
    for (KvClassFactory* f : m_factories)
        if (f->getClassName() == className) return f;
    return nullptr;
}

QObject* KvApp::createInstance(const QString& className) {
    KvClassFactory* f = findFactory(className);
    return f ? f->create() : nullptr;
}

void KvApp::addActionInstance(QObject* action) {
    m_actions.append(action);
}

QObject* KvApp::findActionInstance(const QString& className) const {
    for (const QPointer<QObject>& a : m_actions)
        if (a && a->metaObject()->className() == className) return a;
    return nullptr;
}

int KvApp::openFigure(const QString& path) {
    if (!kvScene) return -1;
    int code = 0;
    KvSkeleton* figure =
        KvFigureFile::readFigure(path, kvScene->getTimeStep(), &code, &m_lastError);
    if (!figure) {
        log(m_lastError);
        return code;
    }
    m_lastError.clear();
    kvScene->addNode(figure);
    kvScene->setPrimarySelection(figure);
    return 0;
}
