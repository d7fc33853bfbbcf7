#include "core/config.h"
#include "core/lang.h"
#include "common/filesizelimit.h"
#include "common/tempenv.h"

#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

// Settings store: document, file, typed accessors, codecs, channel lists, caches.
class TstConfig : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;

    static QByteArray readFile(QString const& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeFile(QString const& p, QByteArray const& b)
    {
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(b);
    }
    void freshStore()
    {
        env.reset(new TempEnv);
        Lang::load(QStringLiteral("en-US"));
        Config::loadDefaultConfig();
    }

private slots:
    void init() { freshStore(); }
    void cleanup() { env.reset(); }

    void firstStartWritesNothingUntilClose()
    {
        QVERIFY(QFileInfo(env->dataHome() + "/vormel").isDir());
        QCOMPARE(Config::cfgFile, env->settingsFile());
        QVERIFY(!QFile::exists(env->settingsFile()));
        QCOMPARE(Config::readGlobalParam("version"), QStringLiteral("3.5.0"));
        const QDomElement root = Config::cfgDoc.documentElement();
        QCOMPARE(root.tagName(), QStringLiteral("settings"));
        QStringList children;
        for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            children << e.tagName();
        QCOMPARE(children, (QStringList{"global", "devices", "analyzers"}));

        QVERIFY(Config::close());
        const QByteArray written = readFile(env->settingsFile());
        QVERIFY(written.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QVERIFY(written.contains("\n    <global>\n        <version>3.5.0</version>"));
        QDomDocument back;
        QVERIFY(back.setContent(written));
    }

    void olderVersionIsRewrittenOthersKept()
    {
        writeFile(env->settingsFile(),
                  "<?xml version=\"1.0\"?><settings><global><version>3.4.9</version><viewState>2</viewState>"
                  "</global><devices><Demo><smpMode>1</smpMode></Demo></devices><analyzers/></settings>");
        Config::loadDefaultConfig();
        QCOMPARE(Config::readGlobalParam("version"), QStringLiteral("3.5.0"));
        QCOMPARE(Config::readGlobalParam("viewState"), QStringLiteral("2"));
        QCOMPARE(Config::readDeviceParam("Demo", "smpMode"), QStringLiteral("1"));
    }

    void readCreatesEmptyElementThatIsSaved()
    {
        QCOMPARE(Config::readGlobalParam("noSuchKey"), QString());
        QVERIFY(!Config::cfgDoc.documentElement().firstChildElement("global").firstChildElement("noSuchKey").isNull());
        QCOMPARE(Config::readDeviceParam("VX6143", "chnVth"), QString());
        QVERIFY(Config::close());
        QVERIFY(readFile(env->settingsFile()).contains("<noSuchKey/>"));
        QVERIFY(readFile(env->settingsFile()).contains("<chnVth/>"));
    }

    void valuesRoundTripThroughFile()
    {
        Config::saveGlobalParam("userLang", "zh-TW");
        Config::saveDeviceParam("VX2127", "chnTrig", "3,4");
        Config::saveGlobalParam("chnShowName3", "SDA & <clk>");
        QVERIFY(Config::close());
        Config::cfgDoc = QDomDocument();
        Config::loadDefaultConfig();
        QCOMPARE(Config::readGlobalParam("userLang"), QStringLiteral("zh-TW"));
        QCOMPARE(Config::readDeviceParam("VX2127", "chnTrig"), QStringLiteral("3,4"));
        QCOMPARE(Config::getChnName(3), QStringLiteral("SDA & <clk>"));
    }

    void modifyNodeValueReplacesMixedContent()
    {
        Config::cfgDoc.setContent(QStringLiteral("<settings><global><k><x/>old</k></global></settings>"));
        Config::saveGlobalParam("k", "new");
        QDomElement k = Config::cfgDoc.documentElement().firstChildElement("global").firstChildElement("k");
        QCOMPARE(k.childNodes().count(), 1);
        QCOMPARE(k.text(), QStringLiteral("new"));
    }

    void foreignRootIsKept()
    {
        writeFile(env->settingsFile(), "<other><global><a>1</a></global></other>");
        Config::loadDefaultConfig();
        QCOMPARE(Config::cfgDoc.documentElement().tagName(), QStringLiteral("other"));
        QCOMPARE(Config::readGlobalParam("a"), QStringLiteral("1"));
    }

    void corruptFileIsKeptAsBad_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not xml") << QByteArray("this is not xml");
        QTest::newRow("truncated") << QByteArray("<?xml version=\"1.0\"?><settings><global><userLang>zh-CN</us");
        QTest::newRow("binary") << QByteArray("\x00\x01\xff\xfe<settings>", 14);
    }
    void corruptFileIsKeptAsBad()
    {
        QFETCH(QByteArray, content);
        writeFile(env->settingsFile(), content);
        Config::loadDefaultConfig();
        QCOMPARE(Config::readGlobalParam("version"), QStringLiteral("3.5.0"));
        QCOMPARE(Config::readGlobalParam("userLang"), QString());
        QCOMPARE(readFile(env->settingsFile() + ".bad"), content);
        QVERIFY(Config::close());
        QDomDocument back;
        QVERIFY(back.setContent(readFile(env->settingsFile())));
        QCOMPARE(readFile(env->settingsFile() + ".bad"), content);
    }

    // No room at start for the copy of an unreadable file: the file itself is
    // then the only copy, so this run's settings do not replace it at close.
    void unreadableFileKeptWhenNoCopyFits()
    {
        const QByteArray content = "not xml " + QByteArray(4000, 'x');
        writeFile(env->settingsFile(), content);
        writeFile(env->settingsFile() + ".bad", "an older copy");
        {
            FileSizeLimit lim{rlim_t(content.size() - 1)};
            QVERIFY(lim.ok);
            Config::loadDefaultConfig();
        }
        QCOMPARE(Config::readGlobalParam("version"), QStringLiteral("3.5.0"));
        QVERIFY(!Config::close());
        QCOMPARE(readFile(env->settingsFile()), content);
        QCOMPARE(readFile(env->settingsFile() + ".bad"), QByteArray("an older copy"));
        QCOMPARE(QDir(env->dataHome() + "/vormel").entryList(QDir::Files | QDir::Hidden),
                 QStringList({"tav.config", "tav.config.bad"}));
    }

    void failedSaveReturnsFalseAndKeepsOldFile()
    {
        QVERIFY(Config::close());
        const QByteArray before = readFile(env->settingsFile());
        QVERIFY(!before.isEmpty());

        // A folder that does not exist.
        QVERIFY(!Config::saveConfig(env->path("missing/dir/x.vtset")));
        // The target is a folder.
        QDir().mkpath(env->path("adir"));
        QVERIFY(!Config::saveConfig(env->path("adir")));
        QVERIFY(QFileInfo(env->path("adir")).isDir());

        // A write that fails half-way (file size limit: works even as root).
        for (int i = 0; i < 2000; ++i)
            Config::saveGlobalParam(QStringLiteral("filler%1").arg(i), QString(40, QLatin1Char('x')));
        struct rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        auto prev = signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const bool ok = Config::close();
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, prev);
        QVERIFY(!ok);
        QCOMPARE(readFile(env->settingsFile()), before);
        const QStringList leftovers = QDir(env->dataHome() + "/vormel").entryList(QDir::Files);
        QCOMPARE(leftovers, QStringList{"tav.config"});
    }

    // Only the document's last bytes find no room: the failure shows first in the final flush.
    void saveWithoutRoomForTheTailKeepsOldFile()
    {
        const QString whole = env->path("whole.vtset");
        QVERIFY(Config::saveConfig(whole));
        writeFile(env->settingsFile(), "the old file");
        bool ok = true;
        {
            FileSizeLimit lim{rlim_t(QFileInfo(whole).size() - 1)};
            QVERIFY(lim.ok);
            ok = Config::close();
        }
        QVERIFY(!ok);
        QCOMPARE(readFile(env->settingsFile()), QByteArray("the old file"));
        QCOMPARE(QDir(env->dataHome() + "/vormel").entryList(QDir::Files | QDir::Hidden), QStringList{"tav.config"});
    }

    void intCodec_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("values");  // 8 slots, prefilled with 7
        QTest::newRow("gaps and junk") << "1,,x,4" << 8 << 4 << QList<int>{1, 0, 0, 4, 7, 7, 7, 7};
        QTest::newRow("empty") << "" << 8 << 0 << QList<int>{7, 7, 7, 7, 7, 7, 7, 7};
        QTest::newRow("limit n") << "1,2,3,4,5" << 2 << 2 << QList<int>{1, 2, 7, 7, 7, 7, 7, 7};
        QTest::newRow("negative, space") << "-3, 5,9z" << 8 << 3 << QList<int>{-3, 5, 0, 7, 7, 7, 7, 7};
        QTest::newRow("lone comma") << "," << 8 << 2 << QList<int>{0, 0, 7, 7, 7, 7, 7, 7};
    }
    void intCodec()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(int, count);
        QFETCH(QList<int>, values);
        int out[8] = {7, 7, 7, 7, 7, 7, 7, 7};
        QCOMPARE(Config::StringToIntArray(text, out, n), count);
        QCOMPARE(QList<int>(out, out + 8), values);
    }

    void otherCodecs()
    {
        bool b[4] = {true, true, true, true};
        QCOMPARE(Config::StringToBoolArray("0,2,,-1", b, 4), 4);
        QCOMPARE(QList<bool>(b, b + 4), (QList<bool>{false, true, false, true}));
        double d[3] = {9, 9, 9};
        QCOMPARE(Config::StringToDoubleArray("0.5,abc", d, 3), 2);
        QCOMPARE(d[0], 0.5);
        QCOMPARE(d[1], 0.0);
        QCOMPARE(d[2], 9.0);

        const double dv[] = {0.1, 0.00001, 1234567.0};
        QCOMPARE(Config::DoubleArrayToString(dv, 2), QStringLiteral("0.1,1e-05"));
        QCOMPARE(Config::DoubleArrayToString(dv + 2, 1), QStringLiteral("1.23457e+06"));
        const int iv[] = {2, -3, 8};
        QCOMPARE(Config::IntArrayToString(iv, 3), QStringLiteral("2,-3,8"));
        QCOMPARE(Config::IntArrayToString(iv, 1), QStringLiteral("2"));
        QCOMPARE(Config::IntArrayToString(iv, 0), QString());
        QCOMPARE(Config::BoolArrayToString(nullptr, 0), QString());
        const bool bv[] = {true, false, true, true};
        QCOMPARE(Config::BoolArrayToString(bv, 4), QStringLiteral("1,0,1,1"));
    }

    void showMultip_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QList<int>>("expect");
        QTest::newRow("invalid become 1") << "2,3,8" << QList<int>{2, 1, 8, 1};
        QTest::newRow("missing") << "" << QList<int>{1, 1, 1, 1};
        QTest::newRow("all valid, extra ignored") << "4,8,1,2,8" << QList<int>{4, 8, 1, 2};
        QTest::newRow("zero and negative") << "0,-2,16,x" << QList<int>{1, 1, 1, 1};
    }
    void showMultip()
    {
        QFETCH(QString, stored);
        QFETCH(QList<int>, expect);
        Config::saveGlobalParam("chnShowMultip", stored);
        int out[4] = {-9, -9, -9, -9};
        Config::getChnShowMultip(4, out);
        QCOMPARE(QList<int>(out, out + 4), expect);
    }

    void showIndex_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QList<int>>("expect");
        QTest::newRow("short list completed") << "1,0" << QList<int>{1, 0, 2, 3};
        QTest::newRow("duplicate gives identity") << "0,0,1,2" << QList<int>{0, 1, 2, 3};
        QTest::newRow("out of range gives identity") << "5,1,2,3" << QList<int>{0, 1, 2, 3};
        QTest::newRow("full permutation") << "3,2,1,0" << QList<int>{3, 2, 1, 0};
        QTest::newRow("short list clashing") << "3" << QList<int>{0, 1, 2, 3};
        QTest::newRow("negative") << "-1,0,1,2" << QList<int>{0, 1, 2, 3};
    }
    void showIndex()
    {
        QFETCH(QString, stored);
        QFETCH(QList<int>, expect);
        Config::saveGlobalParam("chnShowIndex", stored);
        int out[4] = {-9, -9, -9, -9};
        Config::getChnShowIndex(4, out);
        QCOMPARE(QList<int>(out, out + 4), expect);
    }

    void channelLists()
    {
        Config::saveDeviceParam("Demo", "chnTrig", "3,7,-1,2");
        QVector<TrgType> trg(16, TrgFall);
        Config::getChnTrgSettings("Demo", &trg);
        QCOMPARE(trg[0], TrgRise);
        QCOMPARE(trg[1], TrgNone);
        QCOMPARE(trg[2], TrgNone);
        QCOMPARE(trg[3], TrgHigh);
        for (int i = 4; i < 16; ++i)
            QCOMPARE(trg[i], TrgFall);
        QCOMPARE(trg.size(), 16);

        Config::saveDeviceParam("Demo", "chnEnable", "1,0");
        QVector<bool> ena(16, true);
        Config::getChnEnaSettings("Demo", &ena, false);
        QCOMPARE(ena.size(), 16);
        QCOMPARE(ena.count(true), 15);
        QVERIFY(!ena[1]);

        QVector<bool> a{true, false, true, false};
        Config::saveChnEnaSettings("Demo", a, true);
        QCOMPARE(Config::readDeviceParam("Demo", "AChnEnable"), QStringLiteral("1,0,1,0"));
        QCOMPARE(Config::readDeviceParam("Demo", "chnEnable"), QStringLiteral("1,0"));
        Config::saveChnTrgSettings("Demo", QVector<TrgType>{TrgLow, TrgNone, TrgFall});
        QCOMPARE(Config::readDeviceParam("Demo", "chnTrig"), QStringLiteral("1,0,4"));

        QVector<TrgType> untouched(2, TrgHigh);
        Config::getChnTrgSettings("Other", &untouched);
        QCOMPARE(untouched, QVector<TrgType>(2, TrgHigh));
    }

    void channelNames()
    {
        QCOMPARE(Config::getChnName(3), QStringLiteral("Channel 3"));
        Config::saveGlobalParam("chnShowName3", "MOSI");
        QCOMPARE(Config::getChnName(3), QStringLiteral("MOSI"));
        QCOMPARE(Config::getChnName(31), QStringLiteral("Channel 31"));
    }

    void cachedFlags()
    {
        Config::saveGlobalParam("viewState", "2");
        Config::saveGlobalParam("disAnimateZoom", "1");
        Config::saveGlobalParam("LogicProbe", "abc");
        QCOMPARE(Config::viewState, 0);
        Config::initShadowConfig();
        QCOMPARE(Config::viewState, 2);
        QVERIFY(Config::disAnimate);
        QVERIFY(!Config::enaLogicProbe);

        Config::saveColorWaveLine(true);
        QVERIFY(Config::colorWaveLine);
        QCOMPARE(Config::readGlobalParam("colorWaveform"), QStringLiteral("1"));
        Config::saveProgressSample(true);
        QCOMPARE(Config::readGlobalParam("smpProgPosition"), QStringLiteral("1"));
        Config::saveAutoWaitTrigEna(false);
        QCOMPARE(Config::readGlobalParam("autoWaitTrig"), QStringLiteral("0"));
        Config::saveLogicProbe(true);
        QCOMPARE(Config::readGlobalParam("LogicProbe"), QStringLiteral("1"));
        Config::saveViewState(ViewZero);
        QCOMPARE(Config::viewState, 1);
        QCOMPARE(Config::readGlobalParam("viewState"), QStringLiteral("1"));
    }

    void devModel()
    {
        QCOMPARE(Config::getDevModel(), 0);
        Config::saveGlobalParam("devModel", "65");
        QCOMPARE(Config::getDevModel(), 65);
        Config::saveGlobalParam("devModel", "x9");
        QCOMPARE(Config::getDevModel(), 0);
    }

    void analyzerSection()
    {
        Config::saveAnalyzerParam(0, {"libUART.so", "P1", "T1"});
        Config::saveAnalyzerParam(1, {"libSPI.so", "P2", "T2", "ignored"});
        Config::saveAnalyzerParam(2, {"only", "two"});
        QCOMPARE(Config::readAnalyzerParam(), QStringLiteral("libUART.so;P1;T1;libSPI.so;P2;T2;"));
        Config::saveAnalyzerParam(0, {"libI2C.so", "P3", "T3"});
        QCOMPARE(Config::readAnalyzerParam(), QStringLiteral("libI2C.so;P3;T3;libSPI.so;P2;T2;"));
        Config::clearAnalyzerParam();
        QCOMPARE(Config::readAnalyzerParam(), QString());
    }
};

QTEST_GUILESS_MAIN(TstConfig)
#include "tst_config.moc"
