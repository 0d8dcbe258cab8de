// The host SDK: keys and their evaluation, undo of key changes, figure and pose files, the
// timeline, audio clips and the plug-in loader.
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "kv_test_main.h"
#include "kvaudio.h"
#include "kvfigurefile.h"
#include "kvmainwindow.h"
#include "kvplugin.h"
#include "kvtimepane.h"

namespace {

const QString kFigure = QStringLiteral(KV_SOURCE_DIR "/host/figures/parlo_head.cr2");
const QString kPose = QStringLiteral(KV_SOURCE_DIR "/host/figures/parlo_demo.pz2");

using KvCoreTest = KvHostTest;

TEST_F(KvCoreTest, KeysReplaceAtTheSameTickAndRemoveByIndexRange) {
    KvFloatProperty p(QStringLiteral("MouthOpen"), 0.25f);
    EXPECT_FLOAT_EQ(p.getValue(100), 0.25f); // no keys: the static value
    for (int t : {4800, 0, 2400, 9600})
        p.setKey(t, t / 4800.0f, 1);
    p.setKey(2400, 7.0f, 1);
    ASSERT_EQ(p.getNumKeys(), 4);
    EXPECT_EQ(p.getKeyTime(1), 2400);
    EXPECT_FLOAT_EQ(p.getKeyValue(1), 7.0f);
    p.removeKeys(1, 2);
    ASSERT_EQ(p.getNumKeys(), 2);
    EXPECT_EQ(p.getKeyTime(0), 0);
    EXPECT_EQ(p.getKeyTime(1), 9600);
    p.removeKeys(5, 9); // out of range: nothing
    EXPECT_EQ(p.getNumKeys(), 2);
}

TEST_F(KvCoreTest, ValuesBetweenKeysFollowTheInterpolation) {
    struct Case {
        int interpolation;
        float out, in;
        int at;
        float expected;
    } cases[] = {
        {0, 0, 0, 2400, 0.0f},  // hold
        {1, 0, 0, 1200, 0.25f}, // linear
        {3, 0, 0, 2400, 0.5f},  // flat cubic: smooth step, half way at the middle
        {3, 0, 0, 1200, 0.15625f},
        {3, 1.0f / 4800, 1.0f / 4800, 2400, 0.5f}, // slope 1 per 4800 ticks: a straight line
        {3, 1.0f / 4800, 1.0f / 4800, 1200, 0.25f},
    };
    for (const Case& c : cases) {
        KvFloatProperty p(QStringLiteral("c"));
        p.setKey(0, 0.0f, c.interpolation, c.out, c.in);
        p.setKey(4800, 1.0f, c.interpolation);
        EXPECT_NEAR(p.getValue(c.at), c.expected, 1e-5) << "interpolation " << c.interpolation;
        EXPECT_FLOAT_EQ(p.getValue(-50), 0.0f);
        EXPECT_FLOAT_EQ(p.getValue(99999), 1.0f);
    }
}

TEST_F(KvCoreTest, UndoRestoresEveryKeyExactlyAndRedoReapplies) {
    KvFloatProperty a(QStringLiteral("a")), b(QStringLiteral("b"));
    a.setKey(0, 1.0f, 3, 0.1f, 0.2f, 0.3f);
    a.setKey(480, 2.0f, 3, 0.4f, 0.5f, 0.0f);
    const QVector<KvKey> aBefore = a.keys(), bBefore = b.keys();
    {
        KvUndoStackHold hold;
        a.removeKeys(0, 0);
        a.setKey(480, 9.0f, 1);
        a.setKey(960, 3.0f, 3, 0.7f, 0.0f, 0.0f);
        b.setKey(100, 5.0f, 3, 1.0f, 2.0f, 0.0f);
        hold.accept(QStringLiteral("Lip Sync Analysis"));
    }
    const QVector<KvKey> aAfter = a.keys(), bAfter = b.keys();
    QUndoStack* stack = scene->undoStack();
    ASSERT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->undoText(), QStringLiteral("Lip Sync Analysis"));
    stack->undo();
    EXPECT_EQ(a.keys(), aBefore);
    EXPECT_EQ(b.keys(), bBefore);
    stack->redo();
    EXPECT_EQ(a.keys(), aAfter);
    EXPECT_EQ(b.keys(), bAfter);

    { // cancelled or dropped holds make no step
        KvUndoStackHold cancelled;
        a.setKey(5000, 1.0f);
        cancelled.cancel();
        KvUndoStackHold dropped;
        b.setKey(5000, 1.0f);
    }
    EXPECT_EQ(stack->count(), 1);
}

TEST_F(KvCoreTest, BadFiguresAndPosesGiveACodeAndALineNotACrash) {
    struct Case {
        const char* text;
        int code;
        const char* inMessage;
    } cases[] = {
        {"", KvFigureFile::Syntax, "line 1"},
        {"{\nactor head:1\n{\nchannels\n{\ntargetGeom Open\n{\nkeys\n{\nk 0 zero\n}\n}\n}\n}\n}",
         KvFigureFile::BadNumber, "line 10: \"zero\" is not a number"},
        {"{\nactor head:1\n{\nchannels\n{\nrotateX xrot\n{\nkeys\n{\nk -3 1\n}\n}\n}\n}\n}",
         KvFigureFile::BadNumber, "line 10"},
        {"{\nactor head:1\n{\n", KvFigureFile::Syntax, "unexpected end of file"},
        {"{\nversion { number 4 }\n}", KvFigureFile::NoActors, "no actor"},
        {"{\nactor\n{\n}\n}", KvFigureFile::Syntax, "actor without a name"},
        {nullptr, KvFigureFile::TooDeep, "nested too deeply"},
    };
    const QByteArray deep = "{" + QByteArray(" x {").repeated(100000);
    for (const Case& c : cases) {
        int code = 0;
        QString message;
        KvSkeleton* fig = KvFigureFile::parseFigure(
            c.text ? QByteArray(c.text) : deep, QStringLiteral("bad.cr2"), 160, &code, &message);
        EXPECT_EQ(fig, nullptr) << c.code;
        EXPECT_EQ(code, c.code) << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String(c.inMessage))) << message.toStdString();
        delete fig;
    }
    int code = 0;
    QString message;
    EXPECT_EQ(KvFigureFile::readFigure(QStringLiteral("/no/such/figure.cr2"), 160, &code, &message),
              nullptr);
    EXPECT_EQ(code, KvFigureFile::CannotOpen);
    EXPECT_TRUE(message.contains(QLatin1String("/no/such/figure.cr2")));

    // A pose that breaks half way changes nothing.
    ASSERT_EQ(app->openFigure(kFigure), 0);
    KvFloatProperty* x =
        scene->getPrimarySelection()->getSkeleton()->findBone("head")->getXRotateControl();
    const QByteArray pose = "{\nactor head:1\n{\nchannels\n{\nrotateX xrot\n{\nkeys\n{\nk 0 1\n"
                            "k 1 oops\n}\n}\n}\n}\n}";
    EXPECT_EQ(KvFigureFile::applyPose(pose, QStringLiteral("p.pz2"),
                                      scene->getPrimarySelection()->getSkeleton(), 160, &message),
              KvFigureFile::BadNumber);
    EXPECT_EQ(x->getNumKeys(), 0);
    EXPECT_EQ(app->getImportMgr()->readFile(QStringLiteral("/no/such/pose.pz2"), -1),
              KvFigureFile::CannotOpen);
    EXPECT_TRUE(
        app->getImportMgr()->getErrorMessage(KvFigureFile::CannotOpen).contains("pose.pz2"));
}

TEST_F(KvCoreTest, TimelinePlotsTheSelectedFiguresKeyedChannels) {
    KvMainWindow window;
    auto* timeline = new KvTimePane;
    window.getPaneMgr()->addPane(timeline, Qt::BottomDockWidgetArea, true);
    ASSERT_EQ(app->openFigure(kFigure), 0);
    EXPECT_TRUE(timeline->plottedChannels().isEmpty());
    {
        KvUndoStackHold hold;
        ASSERT_EQ(app->getImportMgr()->readFile(kPose, -1), 0);
        hold.accept(QStringLiteral("Import Pose"));
    }
    const QStringList plotted = timeline->plottedChannels();
    EXPECT_EQ(plotted.size(), 11);
    EXPECT_TRUE(plotted.contains(QStringLiteral("head**MouthOpen")));
    EXPECT_TRUE(plotted.contains(QStringLiteral("leftEye**yRotate")));
    scene->undoStack()->undo();
    EXPECT_TRUE(timeline->plottedChannels().isEmpty());
}

TEST_F(KvCoreTest, AudioClipKnowsItsLengthInTicksAndNamesWhyItCannotLoad) {
    QTemporaryDir dir;
    const QString wav = dir.path() + QStringLiteral("/half_second.wav");
    { // 8000 Hz, 16-bit mono, 4000 samples
        QFile f(wav);
        QByteArray h("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0"
                     "\x02\0\x10\0data\x40\x1f\0\0",
                     44);
        const quint32 riff = 36 + 8000;
        memcpy(h.data() + 4, &riff, 4);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(h + QByteArray(8000, '\0')) > 0);
    }
    KvWinAudioClip* clip = new KvWinAudioClip;
    clip->addRef();
    EXPECT_EQ(app->getMultiMediaMgr()->importAudioClip(wav, clip, -1), 0)
        << clip->errorMessage().toStdString();
    EXPECT_EQ(clip->getLength(), 2400);
    const QString junk = dir.path() + QStringLiteral("/junk.wav");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not a sound") > 0 && f.flush());
    for (const QString& bad : {junk, dir.path() + QStringLiteral("/missing.wav")}) {
        EXPECT_NE(app->getMultiMediaMgr()->importAudioClip(bad, clip, -1), 0);
        EXPECT_TRUE(clip->errorMessage().contains(bad));
    }
    // The scene holds its own reference.
    scene->setAudio(clip, 3);
    clip->release();
    EXPECT_EQ(scene->getAudio()->refCount(), 1);
}

TEST_F(KvCoreTest, PluginOfAnotherSdkVersionIsLoggedAndSkipped) {
    EXPECT_TRUE(
        KvPluginLoader::loadFolder(QStringLiteral(KV_TEST_BINARY_DIR "/wrong_sdk")).isEmpty());
    ASSERT_FALSE(app->logLines().isEmpty());
    EXPECT_TRUE(app->logLines().back().contains("SDK version 0x02000001"));
    EXPECT_TRUE(app->factories().isEmpty());
}

// Two hosts at once write their scratch files apart, and each clears its own away.
TEST_F(KvCoreTest, EachHostHasATempFolderOfItsOwn) {
    QString second;
    {
        KvApp other;
        second = other.getTempPath();
        EXPECT_TRUE(QFileInfo(second).isDir() && QFileInfo(second).isWritable());
        EXPECT_NE(second, app->getTempPath());
    }
    EXPECT_FALSE(QFileInfo::exists(second));
}

} // namespace
