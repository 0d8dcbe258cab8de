// Figure configuration files, the engine configuration written from them, the figure map, and
// the shipped files against the shipped figure.
#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

#include "kv_test_main.h"
#include "kvfigurefile.h"
#include "kvparloconfig.h"
#include "kvparlokeys.h"

namespace {

KvParloFigureConfig read(const QByteArray& text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    KvParloFigureConfig config;
    KvParloConfig::readConfiguration(&buffer, &config);
    return config;
}

// The engine configuration's row of one phoneme, without its name.
QString row(const KvParloFigureConfig& config, const char* phoneme) {
    const QString prefix = QLatin1String(phoneme) + QLatin1Char('=');
    for (const QString& line :
         QString::fromLatin1(KvParloConfig::engineConfiguration(config)).split(QLatin1Char('\n')))
        if (line.startsWith(prefix)) return line.mid(prefix.size());
    return QStringLiteral("<no row>");
}

QByteArray def(const char* node, const char* channel, const char* weight,
               const char* marker = "ChannelDef") {
    return QByteArray("  ") + marker + "\n" + node + "\n  " + channel + "  \n" + weight + "\n";
}

TEST(KvParloConfigTest, EngineConfigurationTextIsByteExact) {
    const KvParloFigureConfig c =
        read("phonemedef 0 Iy\n" + def("head", "A", "0.5") + def("head", "B", "0.25") +
             def("head", "C", "2") + "phonemedef 24 M\n" + def("head", "B", "1"));
    const QByteArray text = KvParloConfig::engineConfiguration(c);
    EXPECT_TRUE(text.startsWith("; Created automatically by Korvel Studio \n\n"
                                "[PhonemeToSpeechTargetMapping]\nNumSpeechTargets=3\n"
                                "Iy=0.5, 0.25, 2\nIh=0.0, 0.0, 0.0\n"))
        << text.constData();
    EXPECT_TRUE(text.contains("\nM=0.0, 1, 0.0\n"));
    EXPECT_TRUE(text.endsWith("\nFlap=0.0, 0.0, 0.0\n")); // D has nothing, so Flap neither
    const QByteArray none =
        KvParloConfig::engineConfiguration(read("phonemedef 5\ncopyof 7\ngesture Head Twist\n"));
    EXPECT_TRUE(none.contains("NumSpeechTargets=0\nIy=\nIh=\n"));
    EXPECT_TRUE(none.endsWith("ShortSil=\nFlap=\n"));
}

TEST(KvParloConfigTest, RowsReadAsTheFileSays) {
    const QByteArray restAndTip =
        "phonemedef 40\n" + def("h", "Rest", "1") + "phonemedef 33\n" + def("h", "Tip", "0.7");
    const struct {
        const char* name;
        QByteArray lsc;
        const char* phoneme;
        const char* expectedRow;
    } cases[] = {
        // Floats come out with six significant digits, as a text stream writes them.
        {"precision", "phonemedef 3\n" + def("n", "c", "0.123456789"), "Ey", "0.123457"},
        // One channel named in two blocks has one index; channels in order of first appearance.
        {"shared",
         "phonemedef 1\n" + def("head", "X", "0.3") + def("jaw", "Y", "0.4") + "phonemedef 2\n" +
             def("jaw", "Y", "0.9"),
         "Eh", "0.0, 0.9"},
        {"defaults", restAndTip, "ShortSil", "1, 0.0"},
        {"flap default", restAndTip, "Flap", "0.0, 0.7"},
        // The default replaces a ShortSil block that only copies: its map is still empty.
        {"shortsil copy only",
         "phonemedef 40\n" + def("h", "Rest", "1") + "phonemedef 3\n" + def("h", "Mid", "0.5") +
             "phonemedef 41\ncopyof 3\n",
         "ShortSil", "1, 0.0"},
        {"copy replaces own",
         "phonemedef 40\n" + def("h", "Rest", "1") + "phonemedef 5\n" + def("h", "Open", "0.8") +
             "copyof 40\n",
         "Aa", "1, 0.0"},
        // Copies read the source as it is when they are applied, in ascending target order.
        {"copy chain",
         "phonemedef 2\ncopyof 1\nphonemedef 3\ncopyof 2\nphonemedef 1\n" + def("h", "A", "0.6"),
         "Ey", "0.6"},
        {"index 43 opens nothing",
         "phonemedef 43\n" + def("h", "Lost", "1") + "phonemedef 0\n" + def("h", "Kept", "0.5"),
         "Iy", "0.5"},
        {"non-number closes the block",
         "phonemedef 0\n" + def("h", "A", "0.5") + "phonemedef x\n" + def("h", "A", "0.9"), "Iy",
         "0.5"},
        // An unreadable or infinite weight drops that weight; the channel still counts.
        {"bad weights",
         "phonemedef 0\n" + def("h", "A", "heavy") + def("h", "B", "inf") + def("h", "C", "1e999") +
             def("h", "D", " 0.25 "),
         "Iy", "0.0, 0.0, 0.0, 0.25"},
        // Lower-case markers belong to gesture blocks only.
        {"case of ChannelDef", "phonemedef 0\n" + def("h", "A", "0.5", "channeldef"), "Iy", ""},
        // A definition cut off by the end of the file adds no channel.
        {"cut short", "phonemedef 0\n" + def("h", "A", "0.5") + "ChannelDef\nh\n", "Iy", "0.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(row(read(c.lsc), c.phoneme), QLatin1String(c.expectedRow));
    }
}

TEST(KvParloConfigTest, GestureBlocksTakeTheirChannelsWithWeights) {
    const KvParloFigureConfig c = read(
        "gesture Head Bend\n" + def("head", "xrot", "0.6", "channeldef") +
        def("neck", "xrot", "0.4") + "gesture  Blink   Left \n" + def("head", "BlinkLeft", "1") +
        "gesture Blink left\n" + def("head", "Lost", "1") + // names are exact
        "phonemedef 0\n" + def("head", "A", "0.5") + "gesture Head Twist\n" +
        def("head", "yrot", "1") + def("head", "ytwist", "1", "CHANNELDEF"));
    EXPECT_EQ(c.gestureChannels,
              QStringList({"head**xrot", "neck**xrot", "head**BlinkLeft", "head**ytwist"}));
    EXPECT_EQ(c.gestureWeights[4], (QMap<int, float>{{0, 0.6f}, {1, 0.4f}}));
    EXPECT_EQ(c.gestureWeights[2], (QMap<int, float>{{2, 1.0f}}));
    // While a phoneme block is open its exact "ChannelDef" wins over the gesture block.
    EXPECT_EQ(c.speechChannels, QStringList({"head**A", "head**yrot"}));
    EXPECT_EQ(c.gestureWeights[6], (QMap<int, float>{{3, 1.0f}}));
}

TEST(KvParloConfigTest, FigureMapKeysAreLowerCaseFileNames) {
    QBuffer buffer;
    buffer.setData("My_Figure.CR2 = mine.lsc\n  other.cr2   =   a.lsc = b.lsc\nother.cr2 = c.lsc\n"
                   "loose line\n");
    buffer.open(QIODevice::ReadOnly);
    const QMap<QString, QString> map = KvParloConfig::readFigureMap(&buffer, "/cfg/");
    EXPECT_EQ(map.value("my_figure.cr2"), QStringLiteral("/cfg/mine.lsc"));
    EXPECT_EQ(map.value("other.cr2"), QStringLiteral("/cfg/c.lsc"));
    EXPECT_EQ(map.value("loose line"), QStringLiteral("/cfg/"));
    EXPECT_EQ(KvParloConfig::figureMapKey("/Figures/Some Dir.x/Parlo_Speaker.CR2"),
              QStringLiteral("parlo_speaker.cr2"));

    QBuffer figure;
    figure.setData("{\nversion {number 4}\n  figureResFile   \":Runtime:Geometries:Odd "
                   "Dir\\\\My.OBJ\"\nfigureResFile :second.obj\n");
    figure.open(QIODevice::ReadOnly);
    EXPECT_EQ(KvParloConfig::geometryMapKey(&figure), QStringLiteral("my.obj"));
}

// Every channel the shipped files name exists on the figure they are mapped to, so the sample
// speaks with all its speech targets and gestures.
TEST_F(KvHostTest, ShippedConfigurationsFitTheirFigures) {
    const QString data = QStringLiteral(KV_SOURCE_DIR "/data/KvParlo/");
    QFile mapFile(data + "Data/CR22LSC.ini");
    ASSERT_TRUE(mapFile.open(QIODevice::ReadOnly));
    const QMap<QString, QString> map =
        KvParloConfig::readFigureMap(&mapFile, data + "Configuration_Files/");
    const struct {
        const char* figure;
        int speechTargets;
    } figures[] = {{"data/KvParlo/Figures/parlo_speaker.cr2", 15},
                   {"host/figures/parlo_head.cr2", 6}};
    for (const auto& f : figures) {
        SCOPED_TRACE(f.figure);
        ASSERT_EQ(app->openFigure(QStringLiteral(KV_SOURCE_DIR "/") + f.figure), 0);
        auto* figure = static_cast<KvSkeleton*>(scene->getPrimarySelection());
        QFile lsc(map.value(KvParloConfig::figureMapKey(f.figure)));
        ASSERT_TRUE(lsc.open(QIODevice::ReadOnly));
        KvParloFigureConfig config;
        KvParloConfig::readConfiguration(&lsc, &config);
        EXPECT_EQ(config.speechChannels.size(), f.speechTargets);
        for (int g = 0; g < 11; ++g)
            EXPECT_FALSE(config.gestureWeights[g].isEmpty()) << "gesture " << g;
        for (const QString& name : config.speechChannels + config.gestureChannels) {
            QString node, channel;
            KvParloKeys::splitChannelName(name, &node, &channel);
            EXPECT_NE(KvParloKeys::findChannel(figure, node, channel), nullptr)
                << name.toStdString();
        }
        // Every phoneme but silence drives some target.
        for (int p = 0; p < 43; ++p)
            EXPECT_TRUE(p == 40 || !config.phonemeWeights[p].isEmpty()) << "phoneme " << p;
    }
}

} // namespace
