// korvel in a real X server (Xvfb): the window with the sample figure and the Lip Sync pane is
// drawn, and the pane is where the window says it is.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

class KorvelScreenshot : public ::testing::Test {
protected:
    void SetUp() override {
        xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (xvfb.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    }
    // Runs korvel with args and --screenshot shot in a fresh Xvfb screen and returns the shot;
    // a null image (with the reason in output) when it did not finish or failed.
    QImage RunKorvel(QStringList args, const QString& shot, QString& output) const {
        QFile::remove(shot);
        args << QStringLiteral("--screenshot") << shot;
        QProcess korvel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        korvel.setProcessEnvironment(env);
        korvel.setProcessChannelMode(QProcess::MergedChannels);
        korvel.start(xvfb, QStringList{QStringLiteral("-a"), QStringLiteral("-s"),
                                       QStringLiteral("-screen 0 1280x800x24"),
                                       QStringLiteral(KORVEL_EXECUTABLE)} +
                               args);
        if (!korvel.waitForFinished(90000)) {
            output = QStringLiteral("korvel did not finish");
            return QImage();
        }
        output = QString::fromUtf8(korvel.readAll());
        return korvel.exitCode() == 0 ? QImage(shot) : QImage();
    }
    QString xvfb;
};

TEST_F(KorvelScreenshot, WindowShowsFigureAndLipSyncPane) {
    const QString shot = QStringLiteral(KV_TEST_BINARY_DIR "/korvel_screenshot.png");
    QString output;
    const QImage window = RunKorvel({QStringLiteral("--figure"),
                                     QStringLiteral(KV_SOURCE_DIR "/host/figures/parlo_head.cr2"),
                                     QStringLiteral("--show-pane"), QStringLiteral("KvParloPane")},
                                    shot, output);
    ASSERT_FALSE(window.isNull()) << "no screenshot at " << shot.toStdString() << ": "
                                  << output.toStdString();
    QSet<QRgb> colours;
    for (int y = 0; y < window.height(); y += 3)
        for (int x = 0; x < window.width(); x += 3)
            colours.insert(window.pixel(x, y));
    EXPECT_GT(colours.size(), 40) << "the window looks blank";

    QFile geometry(shot + QStringLiteral(".txt"));
    ASSERT_TRUE(geometry.open(QIODevice::ReadOnly | QIODevice::Text));
    QString paneLine;
    for (const QString& line : QString::fromUtf8(geometry.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("pane KvParloPane "))) paneLine = line;
    ASSERT_FALSE(paneLine.isEmpty()) << "the Lip Sync pane was not shown";
    const QStringList f = paneLine.split(QLatin1Char(' '));
    ASSERT_EQ(f.size(), 7);
    const int px = f[2].toInt(), py = f[3].toInt(), pw = f[4].toInt(), ph = f[5].toInt();
    ASSERT_GE(pw, 245);
    ASSERT_GE(ph, 160);
    ASSERT_LE(px + pw, window.width());
    ASSERT_LE(py + ph, window.height());

    // The pane drawn on its own matches the screen where the window placed it.
    QImage pane(f[6]);
    ASSERT_FALSE(pane.isNull());
    const QImage region = window.copy(px, py, pw, ph).convertToFormat(QImage::Format_RGB32);
    pane = pane.convertToFormat(QImage::Format_RGB32).scaled(region.size());
    int same = 0, total = 0;
    for (int y = 0; y < region.height(); y += 2)
        for (int x = 0; x < region.width(); x += 2, ++total) {
            const QRgb a = region.pixel(x, y), b = pane.pixel(x, y);
            if (qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) <
                24)
                ++same;
        }
    EXPECT_GT(same, total * 9 / 10) << "the screen does not show the pane where expected";
}

// After "Analyze" run by a script on the Parlo Speaker, the face is drawn mouth open inside a
// vowel and the timeline draws the keyed channels with their keys.
TEST_F(KorvelScreenshot, AnalyzedFigureSpeaksWithItsKeysOnTheTimeline) {
    const QString shot = QStringLiteral(KV_TEST_BINARY_DIR "/korvel_analyzed.png");
    QString output;
    const QImage window =
        RunKorvel({QStringLiteral("--figure"),
                   QStringLiteral(KV_SOURCE_DIR "/data/KvParlo/Figures/parlo_speaker.cr2"),
                   QStringLiteral("--script"),
                   QStringLiteral(KV_SOURCE_DIR "/tests/host/korvel_analyze.js")},
                  shot, output)
            .convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(window.isNull()) << "no screenshot at " << shot.toStdString() << ": "
                                  << output.toStdString();
    ASSERT_TRUE(output.contains(QLatin1String("analysed"))) << output.toStdString();
    // The open mouth's inside, and the key dots of the timeline's curves.
    int mouth = 0, keyDots = 0;
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x) {
            const QRgb c = window.pixel(x, y) & 0xffffff;
            if (c == 0x5a1419) ++mouth;
            if (c == 0xc83c28) ++keyDots;
        }
    EXPECT_GT(mouth, 400) << "the mouth is not open";
    EXPECT_GT(keyDots, 40) << "the timeline shows no keys";
}

} // namespace
