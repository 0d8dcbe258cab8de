// The KvParlo plug-in as the host loads it: script registration, actions, the Lip Sync pane's
// slots, boxes and engine start-up, Analyze, recording and the Parlo Pro hand-off.
#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScriptEngine>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QUndoStack>
#include <climits>
#include <cmath>
#include <functional>

#include "kv_test_main.h"
#include "kvmainwindow.h"
#include "kvparlohandoff.h"
#include "kvparlokeys.h"
#include "kvparlopane.h"
#include "kvparlorecorder.h"
#include "kvplugin.h"
#include "kvtimepane.h"
#include "phoneme_data.h"

// Reads the pane state that later work (analysis, Pro hand-off) sets.
class KvParloPaneProbe {
public:
    static KvNode*& lipSynchedFigure(KvParloPane* p) { return p->m_lipSynchedFigure; }
    static QString soundPath(KvParloPane* p) { return p->m_soundPath; }
    static KvTimeRange keyedRange(KvParloPane* p) { return p->m_keyedRange; }
    static const KvParloFigureConfig& config(KvParloPane* p) { return p->m_config; }
    static QProcess* proProcess(KvParloPane* p) { return p->m_proProcess; }
};

namespace {

const QString kSounds = QStringLiteral(KV_EVALUATION_SOUNDS);

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
    return path;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

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
    static QStringList titles(QString KvDialogSeam::Record::*field = &KvDialogSeam::Record::title) {
        QStringList t;
        for (const KvDialogSeam::Record& r : KvDialogSeam::records())
            t << r.*field;
        return t;
    }
    static QStringList texts() { return titles(&KvDialogSeam::Record::text); }

    std::unique_ptr<KvMainWindow> window;
    KvTimePane* timeline = nullptr;
    KvPlugin* plugin = nullptr;
};

TEST_F(KvParloTest, ScriptConstructsAPaneWhoseEnumerationsAreVisible) {
    QScriptEngine* engine = app->scriptEngine();
    const QScriptValue pane = engine->evaluate(QStringLiteral("new KvParloPane()"));
    ASSERT_FALSE(engine->hasUncaughtException()) << pane.toString().toStdString();
    std::unique_ptr<QObject> owned(pane.toQObject());
    ASSERT_TRUE(owned && owned->inherits("KvParloPane"));
    EXPECT_EQ(pane.property(QStringLiteral("ParloAnalysisNotApplied")).toInt32(), 98);
}

// Without a pane the browse action does nothing; with one it ends the pane's options menu and
// opens the browse dialog, and with no application chosen the remembered one stays.
TEST_F(KvParloTest, BrowseActionDoesNothingWithoutAPaneAndKeepsTheSettingWithOne) {
    KvAppSettings settings(QStringLiteral("LipSync"));
    settings.setStringValue(QStringLiteral("ParloProPath"), QStringLiteral("kept"));
    auto* action =
        qobject_cast<KvAction*>(app->createInstance(QStringLiteral("KvBrowseForParloProAction")));
    ASSERT_TRUE(action);
    action->setParent(window.get());
    action->init();
    action->executeAction();
    EXPECT_TRUE(KvDialogSeam::records().isEmpty());

    std::unique_ptr<KvParloPane> pane(makePane());
    app->addActionInstance(action);
    action->init();
    QMenu* options = window->optionsMenuFor(pane.get());
    ASSERT_TRUE(options && !options->actions().isEmpty());
    EXPECT_EQ(options->actions().back()->text(), QStringLiteral("Browse for Parlo Pro..."));
    options->actions().back()->trigger();
    EXPECT_EQ(titles(), QStringList{"Please locate the Parlo 3 Pro application"});
    EXPECT_EQ(settings.getStringValue(QStringLiteral("ParloProPath")), QStringLiteral("kept"));
}

// The transcript beside a sound comes with it; an unreadable sound or text file is reported and
// changes nothing.
TEST_F(KvParloTest, SoundFileBringsItsTranscriptFromBesideItUnlessUnreadable) {
    std::unique_ptr<KvParloPane> pane(makePane());
    auto* textField = child<QLineEdit>(pane.get(), "ParloPaneTextFileEdit");
    auto* transcript = child<QTextEdit>(pane.get(), "ParloPaneTextEdit");
    const QString hello = kSounds + QStringLiteral("/hello_world");
    const QString helloText = QString::fromUtf8(readFile(hello + ".txt"));

    // "Load" starts in the sample sounds beside the plug-in.
    KvDialogSeam::queueAnswer(hello + ".wav");
    child<QPushButton>(pane.get(), "ParloLoadSoundButton")->click();
    ASSERT_EQ(KvDialogSeam::records().size(), 1);
    EXPECT_EQ(QDir(KvDialogSeam::records()[0].text).canonicalPath(), QDir(kSounds).canonicalPath());
    KvDialogSeam::clear();
    EXPECT_EQ(child<QLineEdit>(pane.get(), "ParloPaneSoundFileEdit")->text(), hello + ".wav");
    EXPECT_EQ(soundTitle(pane.get()), QStringLiteral("Sound File: hello_world.wav"));
    EXPECT_EQ(textField->text(), hello + ".txt");
    EXPECT_EQ(transcript->toPlainText(), helloText);

    // Without a transcript beside it, or without a dot in its name, the text stays as it was.
    // A dot in a folder name is not the file's extension.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("take.2")));
    QFile(dir.path() + QStringLiteral("/take.txt")).open(QIODevice::WriteOnly);
    for (const QString& name : {QStringLiteral("/quiet.wav"), QStringLiteral("/nodot"),
                                QStringLiteral("/take.2/nodot")}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(QFile::copy(kSounds + QStringLiteral("/quick_fox.wav"), dir.path() + name));
        call(pane.get(), "setSoundFile", dir.path() + name);
        EXPECT_EQ(KvParloPaneProbe::soundPath(pane.get()), dir.path() + name);
        EXPECT_EQ(textField->text(), hello + ".txt");
        EXPECT_EQ(transcript->toPlainText(), helloText);
    }

    // The two dialogs are the only ones since "Load"'s.
    const QString bad = writeFile(dir.path() + "/noise.wav", "RIFF not really a sound");
    call(pane.get(), "setSoundFile", bad);
    call(pane.get(), "setTextFile", dir.path() + "/missing.txt");
    EXPECT_EQ(titles(), QStringList({"Error opening audio file", "Error opening text file"}));
    EXPECT_EQ(texts(), QStringList({"There was an error opening the sound file: \n" + bad,
                                    "There was an error opening the text file: \n" + dir.path() +
                                        "/missing.txt"}));
    EXPECT_EQ(KvParloPaneProbe::soundPath(pane.get()), dir.path() + "/take.2/nodot");
    EXPECT_EQ(soundTitle(pane.get()), QStringLiteral("Sound File: nodot"));
    EXPECT_EQ(transcript->toPlainText(), helloText); // the field names the file, the box stays

    call(pane.get(), "setSoundFile", QString());
    EXPECT_TRUE(KvParloPaneProbe::soundPath(pane.get()).isEmpty());
    EXPECT_EQ(soundTitle(pane.get()), QStringLiteral("Sound File: "));
    EXPECT_TRUE(textField->text().isEmpty());
    EXPECT_TRUE(transcript->toPlainText().isEmpty());
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
    const QStringList engineLines = app->logLines().filter("Parlo Voxtrail");
    ASSERT_EQ(engineLines.size(), 1);
    EXPECT_TRUE(engineLines[0].startsWith("Parlo Voxtrail initialization error: "));
    EXPECT_GT(engineLines[0].size(), 40) << engineLines[0].toStdString();
    // The figure map is missing from the same folder, which is said as well.
    EXPECT_EQ(titles(), QStringList({"KvParlo Error", "KvParlo Error"}));
    EXPECT_EQ(texts(), QStringList({"Parlo encountered a problem. \nSee the log file for details.",
                                    QString("KvParlo Error: There was an error reading the CR2 to "
                                            "LSC map file: \n%1/KvParlo/Data/CR22LSC.ini\n"
                                            "Configuration files will not be found automatically.")
                                        .arg(empty.path())}));

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

// --- "Analyze" ---------------------------------------------------------------------------------

// Every key of every channel of a figure, to see that a failed run changed nothing.
QMap<QString, QVector<KvKey>> keysOf(KvSkeleton* figure) {
    QMap<QString, QVector<KvKey>> all;
    for (KvBone* bone : figure->bones())
        for (KvFloatProperty* p : bone->channels())
            if (p->getNumKeys() > 0) all.insert(bone->getName() + "**" + p->getName(), p->keys());
    return all;
}

// From the first to the last key of any channel of the figure.
KvTimeRange keyedSpan(KvSkeleton* figure) {
    int first = INT_MAX, last = INT_MIN;
    for (const QVector<KvKey>& keys : keysOf(figure)) {
        first = std::min(first, keys.front().time);
        last = std::max(last, keys.back().time);
    }
    return KvTimeRange(first, last);
}

class KvParloAnalyzeTest : public KvParloTest {
protected:
    void SetUp() override {
        KvParloTest::SetUp();
        if (HasFatalFailure()) return;
        // The engine configuration goes to a temp folder of the test's own.
        oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        sound = dir.path() + "/hello_world.wav";
        ASSERT_TRUE(QFile::copy(kSounds + "/hello_world.wav", sound));
        ASSERT_TRUE(QFile::copy(kSounds + "/hello_world.txt", dir.path() + "/hello_world.txt"));
        pane.reset(makePane());
        ASSERT_TRUE(pane);
        figure = openSpeaker();
        call(pane.get(), "setSoundFile", sound);
        KvDialogSeam::clear();
    }
    void TearDown() override {
        pane.reset();
        qputenv("TMPDIR", oldTmp);
        KvParloTest::TearDown();
    }
    KvSkeleton* openSpeaker(const QString& path = kSpeaker) {
        EXPECT_EQ(app->openFigure(path), 0) << app->lastError().toStdString();
        return static_cast<KvSkeleton*>(scene->getPrimarySelection());
    }
    void analyze() { ASSERT_TRUE(QMetaObject::invokeMethod(pane.get(), "analyzeClicked")); }
    KvFloatProperty* channel(KvSkeleton* f, const char* node, const char* name) {
        return KvParloKeys::findChannel(f, QLatin1String(node), QLatin1String(name));
    }
    QString writeLsc(const QByteArray& text) { return writeFile(dir.path() + "/figure.lsc", text); }
    static inline const QString kSpeaker =
        QStringLiteral(KV_SOURCE_DIR "/data/KvParlo/Figures/parlo_speaker.cr2");
    QTemporaryDir dir, tmp;
    QByteArray oldTmp;
    QString sound;
    std::unique_ptr<KvParloPane> pane;
    KvSkeleton* figure = nullptr;
};

// The keys sit where the engine put them: the pane's run is checked against a second analysis
// of the same sound, text and configuration read straight from the engine.
TEST_F(KvParloAnalyzeTest, KeysFollowTheEngineInOneUndoStepThatUndoAndRedoTakeWhole) {
    scene->setTime(9600);
    scene->setPlayRange(KvTimeRange(0, 500000));
    analyze();
    ASSERT_TRUE(titles().isEmpty()) << titles().join(", ").toStdString();
    ASSERT_EQ(scene->undoStack()->count(), 1);
    EXPECT_EQ(scene->undoStack()->text(0), QStringLiteral("Lip Sync Analysis"));
    const KvParloFigureConfig& config = KvParloPaneProbe::config(pane.get());
    ASSERT_EQ(config.speechChannels.size(), 15);

    const QByteArray ini = QFile::encodeName(app->getTempPath() + "/ParloVoxtrailConfig.ini");
    const QByteArray text =
        child<QTextEdit>(pane.get(), "ParloPaneTextEdit")->toPlainText().toLocal8Bit();
    VOXTRAIL_ANALYSIS_SETTINGS settings = {sizeof(VOXTRAIL_ANALYSIS_SETTINGS), 30, 0, 7,
                                           ini.constData()};
    VOXTRAIL_ANALYSIS* oracle = nullptr;
    ASSERT_EQ(VoxtrailGetAnalysis(&oracle, QFile::encodeName(sound).constData(), text.constData(),
                                  &settings),
              VOXTRAIL_NOERR);
    int sloped = 0;
    for (int i = 0; i < 15; ++i) {
        QString node, name;
        KvParloKeys::splitChannelName(config.speechChannels[i], &node, &name);
        SCOPED_TRACE(name.toStdString());
        KvFloatProperty* c = KvParloKeys::findChannel(figure, node, name);
        ASSERT_NE(c, nullptr);
        int32_t n = 0;
        ASSERT_EQ(VoxtrailGetNumSpeechTargetKeys(oracle, i, &n), VOXTRAIL_NOERR);
        ASSERT_EQ(c->getNumKeys(), n);
        for (int k = 0; k < n; ++k) {
            // The last key has no next key, so its incoming slope stays 0.
            double t, v, in, out, t1, v1, in1 = 0, out1;
            ASSERT_EQ(VoxtrailGetSpeechTargetKey(oracle, i, k, &t, &v, &in, &out), VOXTRAIL_NOERR);
            if (k + 1 < n) VoxtrailGetSpeechTargetKey(oracle, i, k + 1, &t1, &v1, &in1, &out1);
            const KvKey* key = c->getKey(k);
            EXPECT_EQ(key->time, 9600 + static_cast<int>(t * 4800)) << k;
            EXPECT_FLOAT_EQ(key->value, static_cast<float>(v));
            EXPECT_EQ(key->interpolation, 3);
            EXPECT_FLOAT_EQ(key->params[0], static_cast<float>(out * 1000.0 / 4800.0));
            EXPECT_FLOAT_EQ(key->params[1], static_cast<float>(in1 * 1000.0 / 4800.0));
            sloped += std::fabs(out) > 1e-9 ? 1 : 0;
        }
    }
    EXPECT_GT(sloped, 20) << "no key with a slope";

    // A gesture spread over two channels gives each its share. Gestures are random, so some
    // turn may have no keys in a run, but not all three.
    int spread = 0;
    for (const char* turn : {"xrot", "yrot", "zrot"}) {
        KvFloatProperty* head = channel(figure, "head", turn);
        KvFloatProperty* neck = channel(figure, "neck", turn);
        ASSERT_EQ(head->getNumKeys(), neck->getNumKeys()) << turn;
        spread += head->getNumKeys();
        for (int k = 0; k < head->getNumKeys(); ++k)
            EXPECT_NEAR(head->getKeyValue(k) * 0.4f, neck->getKeyValue(k) * 0.6f, 1e-4f) << turn;
    }
    EXPECT_GT(spread, 0);
    // The keyed range spans every key written (gestures may start before the sound).
    EXPECT_EQ(KvParloPaneProbe::keyedRange(pane.get()), keyedSpan(figure));

    // The phoneme data file beside the sound, as the command-line tool writes it.
    EXPECT_EQ(readFile(dir.path() + "/hello_world_PhonemeData.txt").toStdString(),
              Vantrix::FormatPhonemeData(oracle, nullptr));
    VoxtrailFreeAnalysis(&oracle);

    // The sound plays from the start time; the ranges reach its end, a longer one stays.
    ASSERT_NE(scene->getAudio(), nullptr);
    EXPECT_EQ(scene->getAudioStartFrame(), 9600 / scene->getTimeStep());
    const int end = 9600 + scene->getAudio()->getLength();
    EXPECT_GT(end, 4 * 4800);
    EXPECT_EQ(scene->getAnimRange(), KvTimeRange(0, end));
    EXPECT_EQ(scene->getPlayRange(), KvTimeRange(0, 500000));

    const QMap<QString, QVector<KvKey>> after = keysOf(figure);
    EXPECT_GE(after.size(), 12);
    scene->undoStack()->undo();
    EXPECT_TRUE(keysOf(figure).isEmpty());
    scene->undoStack()->redo();
    EXPECT_EQ(keysOf(figure), after);
}

TEST_F(KvParloAnalyzeTest, AnotherFigureAsksWhetherToRemoveTheOldLipSync) {
    analyze();
    const QMap<QString, QVector<KvKey>> first = keysOf(figure);
    ASSERT_FALSE(first.isEmpty());
    KvSkeleton* other = openSpeaker();
    const struct {
        const char* answer;
        bool firstKept, otherKeyed;
    } cases[] = {{"Cancel", true, false}, {"Keep", true, true}, {"Remove", false, true}};
    for (const auto& c : cases) {
        KvDialogSeam::clear();
        scene->setPrimarySelection(other);
        KvDialogSeam::queueAnswer(c.answer);
        analyze();
        EXPECT_EQ(titles(), QStringList{"Remove old Lip-sync?"}) << c.answer;
        EXPECT_EQ(texts(), QStringList{"You are applying lip-synching to a character when another "
                                       "character has already been lip-synched.\nDo you want to "
                                       "remove the animation for the old sound from the other "
                                       "character, or keep it?"});
        EXPECT_EQ(keysOf(figure) == first, c.firstKept) << c.answer;
        EXPECT_EQ(keysOf(other).isEmpty(), !c.otherKeyed) << c.answer;
        if (c.firstKept && c.otherKeyed) {
            // "Keep" made the other figure the lip-synched one: undo it for the next case.
            EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), other);
            scene->undoStack()->undo();
            KvParloPaneProbe::lipSynchedFigure(pane.get()) = figure;
        }
    }
    // Removing a figure forgets it only when it is the lip-synched one, so none dangles.
    EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), other);
    scene->removeNode(figure);
    EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), other);
    scene->removeNode(other);
    EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), nullptr);
}

TEST_F(KvParloAnalyzeTest, SixMissingChannelsBringTheInformationBoxFiveOnlyLogLines) {
    for (int missing : {5, 6}) {
        QByteArray lsc = "phonemedef 8\nChannelDef\nhead\nMouthAA\n0.85\n";
        for (int i = 0; i < missing; ++i)
            lsc += "phonemedef " + QByteArray::number(i) + "\nChannelDef\nhead\nGone" +
                   QByteArray::number(i) + "\n1\n";
        call(pane.get(), "setConfigFile", writeLsc(lsc));
        KvDialogSeam::clear();
        const int logged = app->logLines().size();
        analyze();
        const QStringList lines = app->logLines().mid(logged);
        EXPECT_EQ(lines.filter("speech channel not found on 'head'").size(), missing);
        EXPECT_TRUE(lines.contains("Parlo warning: 'Gone0' speech channel not found on 'head'"));
        EXPECT_EQ(titles(), missing > 5 ? QStringList{"KvParlo Info"} : QStringList()) << missing;
        EXPECT_GT(channel(figure, "head", "MouthAA")->getNumKeys(), 0);
    }
    EXPECT_EQ(texts(), QStringList{"Some channels defined in the current configuration file could "
                                   "not be\nfound on the figure. Lip-synching may not be as "
                                   "accurate as expected.\nSee the log file for details."});
}

// Each bad input ends with its own message after a good first run on the same figure, whose
// removal is put back: the keys and the undo history are as they were.
TEST_F(KvParloAnalyzeTest, BadInputEndsWithItsMessageAndChangesNothing) {
    analyze();
    ASSERT_EQ(scene->undoStack()->count(), 1);
    const QMap<QString, QVector<KvKey>> before = keysOf(figure);
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* title;
        const char* logLine;
    } cases[] = {
        {"missing lsc", [&] { call(pane.get(), "setConfigFile", dir.path() + "/none.lsc"); },
         "Error opening LSC file", nullptr},
        {"empty lsc", [&] { call(pane.get(), "setConfigFile", writeLsc("")); }, "KvParlo Error",
         "Parlo Voxtrail analysis error: VOXTRAIL_CONFIG_PARSE_ERROR"},
        {"no sound", [&] { call(pane.get(), "setSoundFile", QString()); }, "No audio file",
         nullptr},
        {"sound gone", [&] { QFile::remove(sound); }, "KvParlo Error",
         "Parlo Voxtrail analysis error: VOXTRAIL_COULD_NOT_LOAD_SOUND_ERR"},
        {"temp not writable",
         [&] { ASSERT_TRUE(QDir(app->getTempPath()).mkpath("ParloVoxtrailConfig.ini/x")); },
         "Error writing configuration file", nullptr},
        {"no figure",
         [&] {
             scene->setPrimarySelection(nullptr);
             KvDialogSeam::queueAnswer(QString());
         },
         "Select a figure which will be lip-synched", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(app->openFigure(kSpeaker), 0);
        scene->removeNode(scene->getPrimarySelection()); // a second figure that comes and goes
        scene->setPrimarySelection(figure);
        call(pane.get(), "setConfigFile", QString());
        call(pane.get(), "setSoundFile", sound);
        QFile::remove(app->getTempPath() + "/ParloVoxtrailConfig.ini");
        QDir(app->getTempPath() + "/ParloVoxtrailConfig.ini").removeRecursively();
        c.arrange();
        KvDialogSeam::clear();
        const int logged = app->logLines().size();
        analyze();
        EXPECT_EQ(titles(), QStringList{QLatin1String(c.title)});
        if (c.logLine) {
            EXPECT_TRUE(app->logLines().mid(logged).join('\n').contains(c.logLine))
                << app->logLines().mid(logged).join('\n').toStdString();
        }
        EXPECT_EQ(keysOf(figure), before);
        EXPECT_EQ(scene->undoStack()->count(), 1);
        EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), figure);
        if (!QFileInfo::exists(sound)) {
            ASSERT_TRUE(QFile::copy(kSounds + "/hello_world.wav", sound));
        }
    }
    // Still in step: a good run at a later start replaces the first one's keys without a
    // question, and undoing it brings them back.
    call(pane.get(), "setConfigFile", QString());
    scene->setPrimarySelection(figure);
    scene->setTime(4800);
    KvDialogSeam::clear();
    analyze();
    EXPECT_TRUE(titles().isEmpty()) << titles().join(", ").toStdString();
    KvFloatProperty* aa = channel(figure, "head", "MouthAA");
    EXPECT_EQ(aa->getNumKeys(), before.value("head**MouthAA").size());
    EXPECT_EQ(aa->getKeyTime(0), before.value("head**MouthAA").front().time + 4800);
    scene->undoStack()->undo();
    EXPECT_EQ(keysOf(figure), before);
}

TEST_F(KvParloAnalyzeTest, UnwritablePhonemeDataIsLoggedAndTheRunStillLands) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("hello_world_PhonemeData.txt/x"));
    analyze();
    EXPECT_TRUE(titles().isEmpty());
    EXPECT_TRUE(app->logLines().contains("Parlo Voxtrail Raw Phoneme Data Error: Can't open file"));
    EXPECT_EQ(scene->undoStack()->count(), 1);
}

// The figure's own file name (in any case), then the geometry it names, then the question.
TEST_F(KvParloAnalyzeTest, ConfigurationIsFoundByFileNameThenGeometryThenAsked) {
    const QByteArray cr2 = readFile(kSpeaker);
    QByteArray unmapped = cr2;
    unmapped.replace("parlo_speaker.obj", "elsewhere.obj");
    const QString browsed = writeLsc("phonemedef 8\nChannelDef\nhead\nMouthAA\n1\n");
    const struct {
        const char* file;
        const QByteArray* text;
        const char* answer;
        const char* question;
        int speechChannels;
    } cases[] = {{"Parlo_SPEAKER.Cr2", &cr2, nullptr, nullptr, 15},
                 {"renamed.cr2", &cr2, nullptr, nullptr, 15},
                 {"lost.cr2", &unmapped, "Use Default", "Configuration file not found", 15},
                 {"lost.cr2", &unmapped, "Browse", "Configuration file not found", 1},
                 {"lost.cr2", &unmapped, "Cancel", "Configuration file not found", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + (c.answer ? c.answer : ""));
        KvSkeleton* fig = openSpeaker(writeFile(dir.path() + "/" + c.file, *c.text));
        KvParloPaneProbe::lipSynchedFigure(pane.get()) = nullptr;
        call(pane.get(), "setConfigFile", QString());
        KvDialogSeam::clear();
        if (c.answer) KvDialogSeam::queueAnswer(c.answer);
        if (c.answer && QLatin1String(c.answer) == QLatin1String("Browse"))
            KvDialogSeam::queueAnswer(browsed);
        analyze();
        EXPECT_EQ(titles().value(0), QLatin1String(c.question));
        if (c.speechChannels < 0) {
            EXPECT_TRUE(keysOf(fig).isEmpty());
        } else {
            EXPECT_EQ(KvParloPaneProbe::config(pane.get()).speechChannels.size(), c.speechChannels);
            EXPECT_GT(channel(fig, "head", "MouthAA")->getNumKeys(), 0);
        }
        scene->removeNode(fig);
    }
}

TEST_F(KvParloAnalyzeTest, TrackCountsThatDifferStopBeforeAnyKey) {
    VOXTRAIL_ANALYSIS* builtIn = nullptr; // 15 speech targets, 11 gestures
    ASSERT_EQ(VoxtrailGetAnalysis(&builtIn, QFile::encodeName(sound).constData(), "", nullptr),
              VOXTRAIL_NOERR);
    KvParloFigureConfig configs[2];
    int i = 0;
    for (const char* name : {"parlo_head.lsc", "parlo_speaker.lsc"}) {
        QFile lsc(QStringLiteral(KV_SOURCE_DIR "/data/KvParlo/Configuration_Files/") + name);
        ASSERT_TRUE(lsc.open(QIODevice::ReadOnly));
        KvParloConfig::readConfiguration(&lsc, &configs[i++]);
    }
    configs[1].gestureWeights.removeLast(); // the speech tracks match, the gestures do not
    const int logged = app->logLines().size();
    for (const KvParloFigureConfig& config : configs)
        EXPECT_EQ(KvParloKeys::applyAnalysis(builtIn, figure, config, 0).code, 98);
    VoxtrailFreeAnalysis(&builtIn);
    EXPECT_EQ(app->logLines().mid(logged),
              QStringList({"Parlo Speech Track Error: The number of channels used (6) does not "
                           "match the number of tracks generated (15).",
                           "Parlo Gesture Track Error: The number of gesture channels used (10) "
                           "does not match the number of tracks generated (11)."}));
    EXPECT_TRUE(keysOf(figure).isEmpty());
}

// --- Recording ---------------------------------------------------------------------------------

TEST_F(KvParloTest, RecordingStepsEndAsTheirDeviceAnswers) {
    QTemporaryDir dir;
    const QString source = kSounds + "/quick_fox.wav";
    const QString existing = dir.path() + "/take1.wav", fresh = dir.path() + "/take2.wav";
    ASSERT_TRUE(QFile::copy(source, existing));
    using Step = KvParloFileRecordingDevice::Step;
    // Answers and titles are '|'-separated; "~" answers a dialog with nothing (cancelled), a
    // .wav answer names a file in the temporary folder.
    const struct {
        const char* name;
        int failAt;
        qint64 disk;
        const char* answers;
        const char* titles;
        const char* calls;
        const char* sound; // what the pane holds after: "kept" (nothing was opened) or a take
    } cases[] = {
        {"open fails", Step::Open, -1, "", "Error Initializing Record", "open ", "kept"},
        {"start fails", Step::Record, -1, "", "Error Starting Record", "open record close ",
         nullptr},
        {"stop fails", Step::Stop, -1, "", "Error Stoping Record", "open record stop close ",
         nullptr},
        {"save cancelled", -1, -1, "~", "Save recorded audio", "open record stop close ", nullptr},
        {"overwrite declined", -1, -1, "take1.wav|Cancel|take2.wav",
         "Save recorded audio|File exists|Save recorded audio", "open record stop save close ",
         "take2.wav"},
        {"overwrite accepted", -1, -1, "take1.wav|Replace", "Save recorded audio|File exists",
         "open record stop save close ", "take1.wav"},
        {"disk full", -1, 1000, "take2.wav", "Save recorded audio|Error Finishing Record",
         "open record stop save close ", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList answers = QString(c.answers).split('|', Qt::SkipEmptyParts);
        QFile::remove(fresh);
        std::unique_ptr<KvParloPane> pane(makePane());
        KvParloFileRecordingDevice device(source);
        if (c.failAt >= 0) device.failAt(static_cast<Step>(c.failAt));
        device.setDiskSpace(c.disk);
        ASSERT_TRUE(
            QMetaObject::invokeMethod(pane.get(), "setRecordingDevice", Q_ARG(QObject*, &device)));
        call(pane.get(), "setSoundFile", kSounds + "/hello_world.wav");
        KvDialogSeam::clear();
        for (const QString& a : answers)
            KvDialogSeam::queueAnswer(a == "~"             ? QString()
                                      : a.endsWith(".wav") ? dir.path() + "/" + a
                                                           : a);
        auto* record = child<QPushButton>(pane.get(), "ParloSoundFileRecordButton");
        record->click();
        EXPECT_EQ(record->text(), QStringLiteral("Stop"));
        record->click();
        EXPECT_EQ(record->text(), QStringLiteral("Record"));
        EXPECT_EQ(titles(), QString(c.titles).split('|'));
        EXPECT_EQ(device.calls(), QLatin1String(c.calls));
        EXPECT_EQ(KvDialogSeam::pendingAnswers(), 0);
        const QString held = !c.sound                     ? QString()
                             : c.sound == QString("kept") ? kSounds + "/hello_world.wav"
                                                          : dir.path() + "/" + c.sound;
        EXPECT_EQ(KvParloPaneProbe::soundPath(pane.get()), held);
        EXPECT_EQ(QFileInfo::exists(fresh), held == fresh); // a failed save leaves no file
        if (!answers.isEmpty()) {
            EXPECT_EQ(texts().value(0),
                      app->getPluginsPath() + "/KvParlo/Evaluation_Sounds/RecordedAudio.wav");
        }
    }
}

TEST(KvParloWavTest, RecordedSamplesMakeAWavFileTheHostReads) {
    QTemporaryDir dir;
    const QByteArray pcm(16000, '\x11'); // half a second of 16-bit samples at 16 kHz
    auto* clip = new KvWinAudioClip;
    clip->addRef();
    EXPECT_EQ(clip->load(writeFile(dir.path() + "/tone.wav", KvParloWav::wavFile(pcm, 16000, 1))),
              0)
        << clip->errorMessage().toStdString();
    EXPECT_EQ(clip->sampleRate(), 16000);
    EXPECT_EQ(clip->getLength(), 2400);
    clip->release();
}

// --- Parlo Pro hand-off ------------------------------------------------------------------------

class KvParloProTest : public KvParloAnalyzeTest {
protected:
    void SetUp() override {
        KvParloAnalyzeTest::SetUp();
        setProPath(QString());
    }
    static void setProPath(const QString& path) {
        KvAppSettings(QStringLiteral("LipSync"))
            .setStringValue(QStringLiteral("ParloProPath"), path);
    }
    static QString proPath() {
        return KvAppSettings(QStringLiteral("LipSync"))
            .getStringValue(QStringLiteral("ParloProPath"));
    }
    // An executable shell script standing in for the application.
    QString fakePro(const QByteArray& body) {
        const QString path = writeFile(dir.path() + "/fake_parlo3", "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return path;
    }
    // Launches and waits until the application has gone and the pane has read its answer.
    void launch() {
        ASSERT_TRUE(QMetaObject::invokeMethod(pane.get(), "launchParloProClicked"));
        QProcess* process = KvParloPaneProbe::proProcess(pane.get());
        if (!process || process->state() == QProcess::NotRunning) return;
        QEventLoop loop;
        QObject::connect(process, SIGNAL(finished(int, QProcess::ExitStatus)), &loop, SLOT(quit()));
        QTimer::singleShot(60000, &loop, SLOT(quit()));
        loop.exec();
    }
    QString transfer() const { return app->getTempPath() + "/ParloTransferAnim.pz2"; }
};

TEST_F(KvParloProTest, ArgumentsComeInOrderWithTheTranscriptInTheTempFolder) {
    const QString args = dir.path() + "/args.txt";
    setProPath(
        fakePro("for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + args.toUtf8() + "'"));
    auto* box = child<QTextEdit>(pane.get(), "ParloPaneTextEdit");
    const QString lsc = app->getPluginsPath() + "/KvParlo/Configuration_Files/parlo_speaker.lsc";
    const struct {
        const char* name;
        bool typed;
        QString textFile;
        QString expectedTranscript;
    } cases[] = {
        {"typed beside a text file", true, dir.path() + "/hello_world.txt",
         app->getTempPath() + "/LipSyncSoundText.txt"},
        {"text file only", false, dir.path() + "/hello_world.txt", dir.path() + "/hello_world.txt"},
        {"nothing", false, QString(), QString()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        call(pane.get(), "setTextFile", c.textFile);
        box->setPlainText(c.typed ? QStringLiteral("What I typed.") : QString());
        QFile::remove(args);
        launch();
        EXPECT_EQ(QString::fromUtf8(readFile(args)).split('\n'),
                  QStringList({"--fromKorvelStudio", kSpeaker, transfer(), lsc, sound,
                               c.expectedTranscript, ""}));
        EXPECT_TRUE(titles().isEmpty()) << titles().join(", ").toStdString();
    }
    EXPECT_EQ(readFile(app->getTempPath() + "/LipSyncSoundText.txt"), QByteArray("What I typed."));
}

// The stand-in really analyses the sound: its keys land on the figure as one undo step, and the
// next lip-sync takes them off again.
TEST_F(KvParloProTest, RoundTripWithTheStandInKeysTheFigureAndTheNextLipSyncRemovesThem) {
    setProPath(dir.path() + "/deleted/parlo3"); // remembered, then deleted: the default is next
    scene->setTime(480);
    launch();
    const QString standIn = app->getPluginsPath() + "/KvParlo/ParloPro/parlo3";
    EXPECT_EQ(proPath(), standIn);
    ASSERT_TRUE(titles().isEmpty()) << titles().join(", ").toStdString();
    ASSERT_EQ(scene->undoStack()->count(), 1);
    EXPECT_EQ(scene->undoStack()->text(0), QStringLiteral("Parlo Pro Animation"));
    KvFloatProperty* aa = channel(figure, "head", "MouthAA");
    ASSERT_GT(aa->getNumKeys(), 5);
    for (const KvKey& k : aa->keys()) // one key a frame
        EXPECT_EQ(k.time % scene->getTimeStep(), 0);
    const QStringList scanned = KvParloPaneProbe::config(pane.get()).speechChannels;
    EXPECT_TRUE(scanned.contains("head**MouthAA"));
    EXPECT_FALSE(scanned.filter("**rotate").isEmpty()); // gestures turn a bone
    EXPECT_EQ(KvParloPaneProbe::keyedRange(pane.get()), keyedSpan(figure));
    EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), figure);

    scene->setTime(0);
    analyze();
    ASSERT_TRUE(titles().isEmpty()) << titles().join(", ").toStdString();
    // What the pose import wrote is linear; what Analyze writes is cubic.
    for (const QString& name : scanned) {
        QString node, ch;
        KvParloKeys::splitChannelName(name, &node, &ch);
        const KvFloatProperty* p = KvParloKeys::findChannel(figure, node, ch);
        ASSERT_NE(p, nullptr) << name.toStdString(); // every channel the scan names is found
        for (const KvKey& k : p->keys())
            EXPECT_EQ(k.interpolation, 3) << name.toStdString() << " at " << k.time;
    }
}

// Each transfer file ends as it should after a first Analyze, whose removal a failed import
// puts back.
TEST_F(KvParloProTest, TransferFilesThatAreMissingOrBrokenChangeNothing) {
    analyze();
    const QMap<QString, QVector<KvKey>> before = keysOf(figure);
    const char* copy = "cp \"$4.answer\" \"$3\""; // $4, the configuration, names the answer
    const struct {
        const char* name;
        QByteArray content; // written as the answer unless null
        const char* script;
        const char* cause;
    } cases[] = {
        {"no file", QByteArray(), "exit 0", nullptr},
        {"crash", QByteArray(), "kill -SEGV $$", nullptr},
        {"truncated", "{\nversion { number 4.01 }\nactor head:1\n\t{\n\tchannels\n\t\t{\n", copy,
         "keys no channel of the figure"},
        {"other figure",
         "{\nactor chin:1\n{\nchannels\n{\ntargetGeom Jaw\n{\nkeys\n{\nk 1 1\n}\n}\n}\n}\n}\n",
         copy, "keys no channel of the figure"},
        // A channel of the figure is found, so the pose import itself fails half way.
        {"bad key",
         "{\nactor head:1\n{\nchannels\n{\ntargetGeom MouthAA\n{\nkeys\n{\nk 0 1\nk 1 oops\n}\n}\n}"
         "\n}\n}\n",
         copy, "\"oops\" is not a number"},
    };
    QFile::copy(app->getPluginsPath() + "/KvParlo/Configuration_Files/parlo_speaker.lsc",
                dir.path() + "/figure.lsc");
    call(pane.get(), "setConfigFile", dir.path() + "/figure.lsc");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.path() + "/figure.lsc.answer");
        if (!c.content.isNull()) writeFile(dir.path() + "/figure.lsc.answer", c.content);
        setProPath(fakePro(c.script));
        KvDialogSeam::clear();
        launch();
        EXPECT_EQ(titles(), c.cause ? QStringList{"Parlo Error"} : QStringList());
        const QString text = texts().value(0);
        EXPECT_TRUE(!c.cause ||
                    (text.startsWith("There was an error importing data from Parlo: ") &&
                     text.contains(c.cause)))
            << text.toStdString();
        EXPECT_EQ(keysOf(figure), before);
        EXPECT_EQ(scene->undoStack()->count(), 1);
        EXPECT_EQ(KvParloPaneProbe::lipSynchedFigure(pane.get()), figure);
    }
}

TEST_F(KvParloProTest, AWrongApplicationIsRefusedUntilBrowsingEnds) {
    // Nothing beside the plug-in and nothing remembered: the search ends in the box.
    QTemporaryDir empty;
    app->setPluginsPath(empty.path());
    const QString notExecutable = dir.path() + "/parlo3";
    QFile(notExecutable).open(QIODevice::WriteOnly);
    const struct {
        const char* button;
        QStringList then;
        QStringList titles;
    } cases[] = {
        {"Browse for Parlo Pro",
         {dir.path(), "Ok", notExecutable, "Ok", ""},
         {"Parlo Pro Not Found", "Please locate the Parlo 3 Pro application",
          "Wrong Application Chosen", "Please locate the Parlo 3 Pro application",
          "Wrong Application Chosen", "Please locate the Parlo 3 Pro application"}},
        {"Learn More", {}, {"Parlo Pro Not Found", "https://voxtrail.example.org/parlo-pro"}},
        {"Cancel", {}, {"Parlo Pro Not Found"}},
    };
    EXPECT_FALSE(QImage(":/KvParlo/parloPromo").isNull()); // the box's picture is built in
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        setProPath(QString());
        KvDialogSeam::clear();
        KvDialogSeam::queueAnswer(c.button);
        for (const QString& a : c.then)
            KvDialogSeam::queueAnswer(a);
        launch();
        EXPECT_EQ(titles(), c.titles) << titles().join(" | ").toStdString();
        EXPECT_EQ(KvParloPaneProbe::proProcess(pane.get()), nullptr);
        EXPECT_TRUE(proPath().isEmpty());
        // A wrong choice is named, and the dialog opens again where it was made.
        if (c.then.size() > 3) {
            EXPECT_EQ(texts().mid(2, 2),
                      QStringList({"You must choose the \"parlo3\" application.", dir.path()}));
        }
    }
}

TEST(KvParloHandoffTest, FolderSearchStopsAtDepthFourAndWhenCancelled) {
    QTemporaryDir root;
    QDir(root.path()).mkpath("a/b/c/d/e");
    QDir(root.path()).mkpath("x/.hidden");
    KvApp app;
    QString exe;
    for (int depth = 1; depth <= 5; ++depth) {
        QFile::remove(exe); // only one at a time, so the deepest is found only if searched
        exe = root.path() + "/" + QString("a/b/c/d/e").left(depth * 2 - 1) + "/parlo3";
        QFile(exe).open(QIODevice::WriteOnly);
        app.startProgress("search", 100000, true, true);
        QString found;
        const bool hit = KvParloHandoff::findInFolder(root.path(), "parlo3", &found,
                                                      "Find Parlo in", 100000, 4, 0);
        EXPECT_EQ(hit, depth <= 4) << depth;
        if (hit) {
            EXPECT_EQ(found, exe);
        } else {
            // A search that finds nothing spends its whole budget.
            EXPECT_EQ(app.progressValue(), 100000);
        }
        app.finishProgress();
    }
    app.startProgress("search", 100000, true, true);
    app.cancelProgress();
    QString found;
    EXPECT_FALSE(
        KvParloHandoff::findInFolder(root.path(), "parlo3", &found, "Find Parlo in", 100000, 4, 0));
    EXPECT_TRUE(found.isEmpty());
    // Without a running progress the search is not cancelled and ignores its budget.
    app.finishProgress();
    EXPECT_TRUE(KvParloHandoff::findInFolder(root.path(), "parlo3", &found, "x", -1, -1, 0));
}

TEST_F(KvHostTest, TransferScanNamesTheFigureChannelsItKeysAndItsLastFrame) {
    ASSERT_EQ(
        app->openFigure(QStringLiteral(KV_SOURCE_DIR "/data/KvParlo/Figures/parlo_speaker.cr2")),
        0);
    auto* figure = static_cast<KvSkeleton*>(scene->getPrimarySelection());
    QBuffer pz2;
    pz2.setData("{\nactor head:1\n{\nchannels\n{\ntargetGeom MouthAA\n{\nkeys\n{\nk 3 0.5\nk 40 1\n"
                "}\n}\nrotateX xrot\n{ keys { k  12 1 } }\ntargetGeom Nope\nvalueParm Thing\n}\n}\n"
                "actor ghost:1\n{\nchannels\n{\ntargetGeom MouthAA\n}\n}\nactor leftEye\n{\n"
                "rotateY yrot\nk 39x 1\nk -4 1\n}\n}\n");
    pz2.open(QIODevice::ReadOnly);
    const KvParloHandoff::TransferScan scan = KvParloHandoff::scanTransferFile(&pz2, figure);
    EXPECT_EQ(scan.channels, QStringList({"head**MouthAA", "head**rotateX", "leftEye**rotateY"}));
    EXPECT_EQ(scan.firstFrame, 3);
    EXPECT_EQ(scan.lastFrame, 40);
}

} // namespace
