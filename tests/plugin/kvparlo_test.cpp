// The KvParlo plug-in as the host loads it: its definition, script registration, actions, and
// the Lip Sync pane's widgets, small slots, boxes and engine start-up.
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScriptEngine>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include "kv_test_main.h"
#include "kvfigurefile.h"
#include "kvmainwindow.h"
#include "kvparlopane.h"
#include "kvplugin.h"
#include "kvtimepane.h"

// Reads the pane state that later work (analysis, Pro hand-off) sets.
class KvParloPaneProbe {
public:
    static KvNode*& lipSynchedFigure(KvParloPane* p) { return p->m_lipSynchedFigure; }
    static QString soundPath(KvParloPane* p) { return p->m_soundPath; }
    static KvTimeRange keyedRange(KvParloPane* p) { return p->m_keyedRange; }
};

namespace {

const QString kSounds = QStringLiteral(KV_EVALUATION_SOUNDS);

class KvParloTest : public KvHostTest {
protected:
    void SetUp() override {
        KvHostTest::SetUp();
        app->setPluginsPath(QStringLiteral(KV_PLUGINS_BUILD_DIR));
        window = std::make_unique<KvMainWindow>();
        timeline = new KvTimePane;
        window->getPaneMgr()->addPane(timeline, Qt::BottomDockWidgetArea, true);
        plugin = KvPluginLoader::loadLibrary(QStringLiteral(KV_PLUGINS_BUILD_DIR "/KvParlo.so"));
        ASSERT_NE(plugin, nullptr) << app->logLines().join('\n').toStdString();
    }
    void TearDown() override {
        window.reset();
        KvHostTest::TearDown();
    }
    // A pane made by the plug-in's factory and docked like korvel docks it.
    KvParloPane* makePane() {
        // The test links no plug-in code: the class is known by name, as the host knows it.
        QObject* o = app->createInstance(QStringLiteral("KvParloPane"));
        auto* pane = o && o->inherits("KvParloPane") ? static_cast<KvParloPane*>(o) : nullptr;
        if (pane) window->getPaneMgr()->addPane(pane, Qt::RightDockWidgetArea, true);
        return pane;
    }
    template <class W> W* child(KvParloPane* pane, const char* name) {
        return pane->findChild<W*>(QLatin1String(name));
    }
    static void call(QObject* o, const char* slot, const QString& arg) {
        ASSERT_TRUE(QMetaObject::invokeMethod(o, slot, Q_ARG(QString, arg))) << slot;
    }
    QString soundTitle(KvParloPane* pane) {
        return child<QGroupBox>(pane, "ParloSoundFileButtonGroup")->title();
    }

    std::unique_ptr<KvMainWindow> window;
    KvTimePane* timeline = nullptr;
    KvPlugin* plugin = nullptr;
};

TEST_F(KvParloTest, DefinitionAnnouncesLipSyncWithThreeFactoriesInOrder) {
    EXPECT_EQ(plugin->getName(), QStringLiteral("Lip Sync"));
    EXPECT_EQ(plugin->getDescription(), QStringLiteral("Basic Lip-synching functionality."));
    EXPECT_EQ(plugin->getVersion(), 0x01000818u);
    EXPECT_FALSE(plugin->getAuthor().isEmpty());
    const QList<KvClassFactory*>& f = plugin->getFactories();
    ASSERT_EQ(f.size(), 3);
    const char* expected[3][2] = {
        {"KvParloPane", "84BCA1BE-9B29-45a7-99EB-3208AA7FFB78"},
        {"KvParloPaneAction", "C8984698-BF51-4b01-8762-F4658C36B772"},
        {"KvBrowseForParloProAction", "61B4ECC4-A955-4e4a-A0EF-EB2068888ED7"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f[i]->getClassName(), QLatin1String(expected[i][0]));
        EXPECT_EQ(f[i]->getGUID(), KvGUID::fromString(QLatin1String(expected[i][1])));
        EXPECT_FALSE(f[i]->getGUID().isNull());
    }
    EXPECT_EQ(f[0]->getMetaObject()->superClass()->className(), QByteArray("KvPane"));
    EXPECT_EQ(f[1]->getMetaObject()->superClass()->className(), QByteArray("KvPaneAction"));
    EXPECT_EQ(f[2]->getMetaObject()->superClass()->className(), QByteArray("KvAction"));
}

TEST_F(KvParloTest, ScriptConstructsAPaneWhoseEnumerationsAreVisible) {
    QScriptEngine* engine = app->scriptEngine();
    const QScriptValue pane = engine->evaluate(QStringLiteral("new KvParloPane()"));
    ASSERT_FALSE(engine->hasUncaughtException()) << pane.toString().toStdString();
    std::unique_ptr<QObject> owned(pane.toQObject());
    ASSERT_TRUE(owned && owned->inherits("KvParloPane"));
    EXPECT_EQ(pane.property(QStringLiteral("ParloFileNotOpened")).toInt32(), 516);
    EXPECT_EQ(pane.property(QStringLiteral("ParloAnalysisNotApplied")).toInt32(), 98);
    EXPECT_EQ(pane.property(QStringLiteral("objectName")).toString(),
              QStringLiteral("KvParloPane"));
    // The class object keeps the other two classes beside it.
    for (const char* cls : {"KvParloPaneAction", "KvBrowseForParloProAction"})
        EXPECT_TRUE(engine->globalObject().property(QLatin1String(cls)).isFunction()) << cls;
}

QtMessageHandler gPrevious = nullptr;
QStringList gWarnings;
void collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg) gWarnings << text;
}

TEST_F(KvParloTest, BrowseActionWithoutAPaneOnlyWarns) {
    KvAppSettings settings(QStringLiteral("LipSync"));
    settings.setStringValue(QStringLiteral("ParloProPath"),
                            QStringLiteral("/opt/parlo/Parlo3.exe"));
    std::unique_ptr<KvAction> action(
        qobject_cast<KvAction*>(app->createInstance(QStringLiteral("KvBrowseForParloProAction"))));
    ASSERT_TRUE(action);
    EXPECT_EQ(action->getText(), QStringLiteral("Browse for Parlo Pro..."));
    EXPECT_EQ(action->getDescription(), QStringLiteral("Browse for the Parlo Pro application."));
    EXPECT_EQ(action->getActionGroup(), QStringLiteral("Lip Sync"));
    action->init(); // no pane yet: none is found
    gWarnings.clear();
    gPrevious = qInstallMessageHandler(collect);
    action->executeAction();
    qInstallMessageHandler(gPrevious);
    EXPECT_EQ(gWarnings, QStringList(QStringLiteral("No Lip Sync pane instance found in "
                                                    "KvBrowseForParloProAction::executeAction()")));
    EXPECT_EQ(settings.getStringValue(QStringLiteral("ParloProPath")),
              QStringLiteral("/opt/parlo/Parlo3.exe"));
    EXPECT_TRUE(KvDialogSeam::records().isEmpty());
}

TEST_F(KvParloTest, PaneWidgetsCarryTheirNamesAndTexts) {
    std::unique_ptr<KvParloPane> pane(makePane());
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->getTitle(), QStringLiteral("Lip Sync"));
    EXPECT_EQ(soundTitle(pane.get()), QStringLiteral("Sound File: "));
    const struct {
        const char* name;
        const char* kind;
        const char* text;
    } widgets[] = {
        {"ParloLoadSoundButton", "QPushButton", "Load"},
        {"ParloSoundFilePlayButton", "QPushButton", "Listen"},
        {"ParloSoundFileRecordButton", "QPushButton", "Record"},
        {"ParloPaneAnalyzeButton", "QPushButton", "Analyze"},
        {"ParloPaneLaunchParloButton", "QPushButton", "Launch Parlo Pro"},
        {"ParloOpenTimelineButton", "QPushButton", "Open Timeline"},
        {"ParloAdvancedModeLabel", "QLabel", "Details"},
        {"ParloPaneSoundFileLabel", "QLabel", "Sound File"},
        {"ParloSoundFileBrowseButton", "QPushButton", "..."},
        {"ParloPaneTextFileLabel", "QLabel", "Text File"},
        {"ParloTextFileBrowseButton", "QPushButton", "..."},
        {"ParloPaneConfigFileLabel", "QLabel", "Configuration File"},
        {"ParloConfigFileBrowseButton", "QPushButton", "..."},
        {"ParloPaneSoundFileEdit", "QLineEdit", ""},
        {"ParloPaneTextFileEdit", "QLineEdit", ""},
        {"ParloPaneConfigFileEdit", "QLineEdit", ""},
        {"ParloPaneTextEdit", "QTextEdit", ""},
        {"ParloAdvancedModeSwitcher", "QToolButton", ""},
        {"ParloPaneScrollView", "QScrollArea", ""},
        {"ParloPaneScrollViewContents", "QWidget", ""},
        {"ParloAdvancedVBox", "QWidget", ""},
        {"ParloPaneSpacer", "QWidget", ""},
    };
    for (const auto& w : widgets) {
        QWidget* found = child<QWidget>(pane.get(), w.name);
        ASSERT_NE(found, nullptr) << w.name;
        EXPECT_TRUE(found->inherits(w.kind)) << w.name;
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(found)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(found)) text = l->text();
        EXPECT_EQ(text, QLatin1String(w.text)) << w.name;
        EXPECT_TRUE(app->getHelpMgr()->isRegistered(found)) << w.name;
    }
    EXPECT_TRUE(child<QPushButton>(pane.get(), "ParloSoundFileRecordButton")->isCheckable());
    EXPECT_EQ(child<QTextEdit>(pane.get(), "ParloPaneTextEdit")->maximumHeight(), 65);
    EXPECT_EQ(pane->sizeHint(), QSize(245, 160));
}

TEST_F(KvParloTest, OptionsMenuEndsWithTheBrowseActionThatFindsThePane) {
    std::unique_ptr<KvParloPane> pane(makePane());
    auto* action =
        qobject_cast<KvAction*>(app->createInstance(QStringLiteral("KvBrowseForParloProAction")));
    ASSERT_TRUE(action);
    action->setParent(window.get());
    app->addActionInstance(action);
    action->init();
    QMenu* options = window->optionsMenuFor(pane.get());
    ASSERT_NE(options, nullptr);
    ASSERT_FALSE(options->actions().isEmpty());
    EXPECT_EQ(options->actions().back()->text(), QStringLiteral("Browse for Parlo Pro..."));
    // With a pane but no application chosen, the setting stays as it was.
    KvAppSettings settings(QStringLiteral("LipSync"));
    settings.setStringValue(QStringLiteral("ParloProPath"), QStringLiteral("kept"));
    gWarnings.clear();
    gPrevious = qInstallMessageHandler(collect);
    options->actions().back()->trigger();
    qInstallMessageHandler(gPrevious);
    EXPECT_TRUE(gWarnings.isEmpty());
    EXPECT_EQ(settings.getStringValue(QStringLiteral("ParloProPath")), QStringLiteral("kept"));
}

TEST_F(KvParloTest, DetailsBoxIsHiddenUntilTheSwitcherOpensIt) {
    std::unique_ptr<KvParloPane> pane(makePane());
    window->show();
    QWidget* details = child<QWidget>(pane.get(), "ParloAdvancedVBox");
    auto* switcher = child<QToolButton>(pane.get(), "ParloAdvancedModeSwitcher");
    EXPECT_FALSE(details->isVisible());
    EXPECT_FALSE(switcher->isChecked());
    EXPECT_EQ(switcher->size(), QSize(20, 20));
    EXPECT_FALSE(switcher->icon().isNull());
    switcher->click();
    EXPECT_TRUE(details->isVisible());
    switcher->click();
    EXPECT_FALSE(details->isVisible());
}

TEST_F(KvParloTest, SoundFileBringsItsTranscriptFromBesideIt) {
    std::unique_ptr<KvParloPane> pane(makePane());
    auto* textField = child<QLineEdit>(pane.get(), "ParloPaneTextFileEdit");
    auto* transcript = child<QTextEdit>(pane.get(), "ParloPaneTextEdit");
    QFile expected(kSounds + QStringLiteral("/hello_world.txt"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    const QString helloText = QString::fromUtf8(expected.readAll());

    // "Load" starts in the sample sounds beside the plug-in.
    KvDialogSeam::queueAnswer(kSounds + QStringLiteral("/hello_world.wav"));
    child<QPushButton>(pane.get(), "ParloLoadSoundButton")->click();
    ASSERT_EQ(KvDialogSeam::records().size(), 1);
    EXPECT_EQ(QDir(KvDialogSeam::records()[0].text).canonicalPath(), QDir(kSounds).canonicalPath());
    KvDialogSeam::clear();
    EXPECT_EQ(KvParloPaneProbe::soundPath(pane.get()),
              kSounds + QStringLiteral("/hello_world.wav"));
    EXPECT_EQ(child<QLineEdit>(pane.get(), "ParloPaneSoundFileEdit")->text(),
              kSounds + QStringLiteral("/hello_world.wav"));
    EXPECT_EQ(soundTitle(pane.get()), QStringLiteral("Sound File: hello_world.wav"));
    EXPECT_EQ(textField->text(), kSounds + QStringLiteral("/hello_world.txt"));
    EXPECT_EQ(transcript->toPlainText(), helloText);

    // Without a transcript beside it, or without a dot in its name, the text stays as it was.
    // A dot in a folder name is not the file's extension.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("take.2")));
    QFile(dir.path() + QStringLiteral("/take.txt")).open(QIODevice::WriteOnly);
    for (const QString& name : {QStringLiteral("/quiet.wav"), QStringLiteral("/nodot"),
                                QStringLiteral("/take.2/nodot")}) {
        ASSERT_TRUE(QFile::copy(kSounds + QStringLiteral("/quick_fox.wav"), dir.path() + name));
        call(pane.get(), "setSoundFile", dir.path() + name);
        EXPECT_EQ(KvParloPaneProbe::soundPath(pane.get()), dir.path() + name);
        EXPECT_EQ(textField->text(), kSounds + QStringLiteral("/hello_world.txt"))
            << name.toStdString();
        EXPECT_EQ(transcript->toPlainText(), helloText);
    }
    EXPECT_TRUE(KvDialogSeam::records().isEmpty());

    call(pane.get(), "setSoundFile", QString());
    EXPECT_TRUE(KvParloPaneProbe::soundPath(pane.get()).isEmpty());
    EXPECT_EQ(soundTitle(pane.get()), QStringLiteral("Sound File: "));
    EXPECT_TRUE(textField->text().isEmpty());
    EXPECT_TRUE(transcript->toPlainText().isEmpty());
}

TEST_F(KvParloTest, UnreadableSoundAndTextFilesAreReportedAndChangeNothing) {
    std::unique_ptr<KvParloPane> pane(makePane());
    const QString good = kSounds + QStringLiteral("/quick_fox.wav");
    call(pane.get(), "setSoundFile", good);
    QTemporaryDir dir;
    const QString bad = dir.path() + QStringLiteral("/noise.wav");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFF not really a sound");
    f.close();
    KvDialogSeam::clear();

    call(pane.get(), "setSoundFile", bad);
    call(pane.get(), "setTextFile", dir.path() + QStringLiteral("/missing.txt"));
    const QList<KvDialogSeam::Record> r = KvDialogSeam::records();
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(r[0].title, QStringLiteral("Error opening audio file"));
    EXPECT_EQ(r[0].text, QStringLiteral("There was an error opening the sound file: \n") + bad);
    EXPECT_EQ(r[1].title, QStringLiteral("Error opening text file"));
    EXPECT_EQ(r[1].text, QStringLiteral("There was an error opening the text file: \n") +
                             dir.path() + QStringLiteral("/missing.txt"));
    EXPECT_EQ(KvParloPaneProbe::soundPath(pane.get()), good);
    EXPECT_EQ(soundTitle(pane.get()), QStringLiteral("Sound File: quick_fox.wav"));
}

TEST_F(KvParloTest, RemovingTheLipSynchedFigureForgetsIt) {
    std::unique_ptr<KvParloPane> pane(makePane());
    ASSERT_EQ(app->openFigure(QStringLiteral(KV_SOURCE_DIR "/host/figures/parlo_head.cr2")), 0);
    KvNode* first = scene->getPrimarySelection();
    ASSERT_EQ(app->openFigure(QStringLiteral(KV_SOURCE_DIR "/host/figures/parlo_head.cr2")), 0);
    KvNode* second = scene->getPrimarySelection();
    KvParloPaneProbe::lipSynchedFigure(pane.get()) = first;
    scene->removeNode(second);
    EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), first);
    scene->removeNode(first);
    EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), nullptr);
    EXPECT_EQ(KvParloPaneProbe::keyedRange(pane.get()), KvTimeRange(2147483647, 2147483647));
}

TEST_F(KvParloTest, OpenTimelineIsEnabledExactlyWhileTheTimelineIsHidden) {
    std::unique_ptr<KvParloPane> pane(makePane());
    auto* button = child<QPushButton>(pane.get(), "ParloOpenTimelineButton");
    KvPaneMgr* panes = window->getPaneMgr();
    panes->hidePane(QStringLiteral("KvTimePane"));
    EXPECT_TRUE(button->isEnabled());
    button->click();
    EXPECT_TRUE(timeline->isPaneVisible());
    EXPECT_FALSE(button->isEnabled());
    panes->hidePane(QStringLiteral("KvTimePane"));
    EXPECT_TRUE(button->isEnabled());
    panes->showPane(QStringLiteral("KvTimePane"));
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(KvParloTest, EngineStartUpFailureIsLoggedAndShownButThePaneIsBuilt) {
    QTemporaryDir empty;
    app->setPluginsPath(empty.path());
    std::unique_ptr<KvParloPane> pane(makePane());
    ASSERT_TRUE(pane);
    EXPECT_NE(child<QPushButton>(pane.get(), "ParloPaneAnalyzeButton"), nullptr);
    QStringList engineLines = app->logLines().filter(QStringLiteral("Parlo Voxtrail"));
    ASSERT_EQ(engineLines.size(), 1);
    EXPECT_TRUE(engineLines[0].startsWith(QStringLiteral("Parlo Voxtrail initialization error: ")))
        << engineLines[0].toStdString();
    EXPECT_GT(engineLines[0].size(), 40);
    // The figure map is missing from the same folder, which is said as well.
    const QList<KvDialogSeam::Record> r = KvDialogSeam::records();
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(r[0].title, QStringLiteral("KvParlo Error"));
    EXPECT_EQ(r[0].text,
              QStringLiteral("Parlo encountered a problem. \nSee the log file for details."));
    EXPECT_EQ(r[1].title, QStringLiteral("KvParlo Error"));
    EXPECT_EQ(r[1].text, QStringLiteral("KvParlo Error: There was an error reading the CR2 to LSC "
                                        "map file: \n%1/KvParlo/Data/CR22LSC.ini\nConfiguration "
                                        "files will not be found automatically.")
                             .arg(empty.path()));

    // The failure is not reported a second time when the pane goes; with its data folder in
    // place the engine starts, and stops with the pane.
    pane.reset();
    EXPECT_EQ(KvDialogSeam::records().size(), 2);
    app->setPluginsPath(QStringLiteral(KV_PLUGINS_BUILD_DIR));
    KvDialogSeam::clear();
    pane.reset(makePane());
    pane.reset();
    EXPECT_EQ(app->logLines().filter(QStringLiteral("Parlo Voxtrail")).size(), 1)
        << app->logLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(KvDialogSeam::records().isEmpty());
}

} // namespace
