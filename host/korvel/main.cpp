// korvel: a small host for Korvel Studio plug-ins, with a timeline and a face viewport.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QScriptEngine>
#include <QTextStream>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <cstdio>

#include "kvapp.h"
#include "kvdialogs.h"
#include "kvmainwindow.h"
#include "kvplugin.h"
#include "kvscene.h"
#include "kvstyle.h"
#include "kvtimepane.h"
#include "kvviewport.h"

// Under LeakSanitizer: Qt's platform plug-ins, D-Bus and QtScript keep a little until exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libqoffscreen.so\nleak:libqxcb.so\nleak:libQt5XcbQpa.so\nleak:QPlatformScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\nleak:libfontconfig.so\n"
           "leak:libQt5Script.so\nleak:libdbus-1.so\n";
}

static QString pluginsFolder(const QString& option) {
    if (!option.isEmpty()) return option;
    const QString env = QString::fromLocal8Bit(qgetenv("KORVEL_PLUGINS_PATH"));
    if (!env.isEmpty()) return env;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/plugins");
    if (QFileInfo(beside).isDir()) return beside;
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QStringLiteral(KORVEL_PLUGINS_RELATIVE));
}

// Makes one instance of every plug-in class: panes first, so that actions find them in init.
static void instantiatePlugins(KvMainWindow& window) {
    QList<KvAction*> actions;
    for (KvClassFactory* f : kvApp->factories()) {
        QObject* o = f->create();
        if (KvPane* pane = qobject_cast<KvPane*>(o)) {
            window.getPaneMgr()->addPane(pane, Qt::RightDockWidgetArea, true);
        } else if (KvAction* action = qobject_cast<KvAction*>(o)) {
            action->setParent(&window);
            kvApp->addActionInstance(action);
            actions.append(action);
        } else {
            delete o;
        }
    }
    for (KvAction* a : actions)
        a->init();
    for (KvPane* pane : window.getPaneMgr()->panes())
        window.optionsMenuFor(pane);
}

static int runScript(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "korvel: cannot read script %s: %s\n", qPrintable(path),
                     qPrintable(f.errorString()));
        return 2;
    }
    QScriptEngine* engine = kvApp->scriptEngine();
    engine->globalObject().setProperty(
        QStringLiteral("queueDialogAnswer"),
        engine->newFunction([](QScriptContext* c, QScriptEngine*) -> QScriptValue {
            KvDialogSeam::queueAnswer(c->argument(0).toString());
            return QScriptValue();
        }));
    // The panes korvel docked, so a script drives the same pane a person would.
    engine->globalObject().setProperty(
        QStringLiteral("findPane"),
        engine->newFunction([](QScriptContext* c, QScriptEngine* e) -> QScriptValue {
            KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
            KvPane* pane = window && window->getPaneMgr()
                               ? window->getPaneMgr()->findPane(c->argument(0).toString())
                               : nullptr;
            return pane ? e->newQObject(pane) : e->nullValue();
        }));
    const QScriptValue result = engine->evaluate(QString::fromUtf8(f.readAll()), path);
    for (const KvDialogSeam::Record& r : KvDialogSeam::records())
        std::fprintf(stderr, "korvel: dialog \"%s\": %s -> \"%s\"\n", qPrintable(r.title),
                     qPrintable(r.text), qPrintable(r.answer));
    if (engine->hasUncaughtException()) {
        std::fprintf(stderr, "korvel: %s:%d: %s\n", qPrintable(path),
                     engine->uncaughtExceptionLineNumber(), qPrintable(result.toString()));
        return 1;
    }
    if (!result.isUndefined()) std::printf("%s\n", qPrintable(result.toString()));
    if (result.isNumber()) return result.toInt32();
    if (result.isBool()) return result.toBool() ? 0 : 1;
    return 0;
}

// Writes the window as the screen shows it, the pane by itself, and where the pane lies.
static void writeScreenshot(KvMainWindow& window, const QString& path, const QString& paneClass) {
    QScreen* screen = window.screen();
    const QPixmap shot = screen->grabWindow(window.winId());
    shot.save(path);
    QFile geometry(path + QStringLiteral(".txt"));
    if (!geometry.open(QIODevice::WriteOnly | QIODevice::Text)) return;
    QTextStream out(&geometry);
    out << "window " << shot.width() << ' ' << shot.height() << '\n';
    if (KvPane* pane = window.getPaneMgr()->findPane(paneClass)) {
        const QPoint at = pane->mapTo(&window, QPoint(0, 0));
        const QString panePath =
            path.left(path.lastIndexOf(QLatin1Char('.'))) + QStringLiteral("_pane.png");
        pane->grab().save(panePath);
        out << "pane " << paneClass << ' ' << at.x() << ' ' << at.y() << ' ' << pane->width() << ' '
            << pane->height() << ' ' << panePath << '\n';
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(new KvHostStyle);
    QCoreApplication::setOrganizationName(QStringLiteral("Voxtrail"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvel"));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("A host for Korvel Studio plug-ins."));
    cli.addHelpOption();
    QCommandLineOption pluginsOpt("plugins", "Plug-ins folder.", "folder");
    QCommandLineOption figureOpt("figure", "Figure (CR2) to open at start.", "file");
    QCommandLineOption scriptOpt(
        "script", "Run a script against the scene and exit with its result.", "file");
    QCommandLineOption shotOpt("screenshot", "Write a screenshot of the window and exit.", "png");
    QCommandLineOption paneOpt("show-pane", "Pane class to show and raise.", "class");
    QCommandLineOption poseOpt("pose", "Pose (PZ2) to import onto the figure.", "file");
    QCommandLineOption timeOpt("time", "Scene time to start at, in seconds.", "seconds");
    cli.addOptions({pluginsOpt, figureOpt, scriptOpt, shotOpt, paneOpt, poseOpt, timeOpt});
    cli.process(app);

    KvScene scene;
    KvApp kapp;
    kapp.setPluginsPath(pluginsFolder(cli.value(pluginsOpt)));
    kapp.log(QStringLiteral("Korvel started; plug-ins folder %1").arg(kapp.getPluginsPath()));

    int exitCode = 0;
    {
        KvMainWindow window;
        auto* viewport = new KvViewport;
        window.setCentralWidget(viewport);
        QToolBar* transport = window.addToolBar(QObject::tr("Transport"));
        transport->setObjectName(QStringLiteral("KorvelTransport"));
        transport->addAction(QObject::tr("Play"), viewport, &KvViewport::play);
        transport->addAction(QObject::tr("Stop"), viewport, &KvViewport::stop);
        transport->addAction(QObject::tr("Rewind"), [] { kvScene->setTime(0); });
        window.getPaneMgr()->addPane(new KvTimePane, Qt::BottomDockWidgetArea, true);

        // Dialogs a script meets are answered from its queue, or cancelled. That holds from
        // the start: a plug-in's start-up box would otherwise wait for a person who is not there.
        if (cli.isSet(scriptOpt)) KvDialogSeam::setEnabled(true);
        KvPluginLoader::loadFolder(kapp.getPluginsPath());
        instantiatePlugins(window);

        if (cli.isSet(figureOpt) && !window.openFigure(cli.value(figureOpt))) exitCode = 1;
        if (exitCode == 0 && cli.isSet(poseOpt)) {
            const int code = kapp.getImportMgr()->readFile(cli.value(poseOpt), -1);
            if (code != 0) {
                std::fprintf(stderr, "korvel: %s\n",
                             qPrintable(kapp.getImportMgr()->getErrorMessage(code)));
                exitCode = 1;
            }
        }
        if (cli.isSet(timeOpt))
            scene.setTime(
                static_cast<int>(cli.value(timeOpt).toDouble() * KvScene::kTicksPerSecond));
        if (cli.isSet(paneOpt)) window.getPaneMgr()->showPane(cli.value(paneOpt));
        for (KvPane* pane : window.getPaneMgr()->panes())
            if (pane->inherits("KvParloPane"))
                window.resizeDocks({window.getPaneMgr()->dockOf(pane)}, {290}, Qt::Horizontal);

        // With --screenshot as well, the script prepares the scene that the picture shows.
        if (cli.isSet(scriptOpt)) exitCode = runScript(cli.value(scriptOpt));
        if (exitCode == 0 && (!cli.isSet(scriptOpt) || cli.isSet(shotOpt))) {
            window.resize(1100, 720);
            window.show();
            if (cli.isSet(shotOpt)) {
                const QString paneClass =
                    cli.isSet(paneOpt) ? cli.value(paneOpt) : QStringLiteral("KvParloPane");
                // Shoot once the window has been on screen for half a second (a busy machine
                // maps it late), or after twenty seconds whatever happened.
                auto* poll = new QTimer(&window);
                int exposedTicks = 0, ticks = 0;
                QObject::connect(poll, &QTimer::timeout, &window, [&, poll] {
                    ++ticks;
                    QWindow* handle = window.windowHandle();
                    if (handle && handle->isExposed()) ++exposedTicks;
                    if (exposedTicks < 5 && ticks < 200) return;
                    poll->stop();
                    writeScreenshot(window, cli.value(shotOpt), paneClass);
                    window.close();
                });
                poll->start(100);
            }
            exitCode = app.exec();
        }
        // Panes are destroyed with the window, while the application and scene still exist.
    }
    return exitCode;
}
