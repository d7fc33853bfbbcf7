#include "core/config.h"
#include "core/lang.h"
#include "common/tempenv.h"

#include <QtTest>

#include <memory>

// Settings heads of data and settings files, command-line files, dialog folders.
class TstHeads : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;

    QString writeFile(QString const& name, QByteArray const& b)
    {
        const QString p = env->path(name);
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        f.write(b);
        return p;
    }
    static QByteArray readFile(QString const& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QString global(QDomDocument const& d, QString const& key)
    {
        return d.documentElement().firstChildElement("global").firstChildElement(key).text();
    }

    static const char* runningDoc()
    {
        return "<?xml version=\"1.0\"?><settings><global><version>3.5.0</version><userLang>zh-CN</userLang>"
               "<windowPosition>1,2,3,4</windowPosition><lastPath>/data</lastPath><devModel>3</devModel>"
               "<chnShowName0>CLK</chnShowName0><chnShowName5>CS</chnShowName5><viewState>1</viewState>"
               "<extparam>abc</extparam></global>"
               "<devices><VX3127><smpMode>0</smpMode></VX3127><VX2127><smpMode>1</smpMode></VX2127></devices>"
               "<analyzers><item0><fileName>libUART.so</fileName><parameters>p</parameters>"
               "<format>1</format></item0></analyzers></settings>";
    }

private slots:
    void init()
    {
        env.reset(new TempEnv);
        Lang::load(QStringLiteral("en-US"));
        Config::dataFile.clear();
        Config::cfgDoc.setContent(QString::fromLatin1(runningDoc()));
    }
    void cleanup() { env.reset(); }

    void parseLoadFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("create");
        QTest::addColumn<int>("kind");
        QTest::newRow("data file") << "a.vtdat" << true << 0;
        QTest::newRow("settings file") << "a.vtset" << true << 1;
        QTest::newRow("upper case suffix") << "a.VTDAT" << true << -1;
        QTest::newRow("other suffix") << "a.txt" << true << -1;
        QTest::newRow("missing file") << "gone.vtdat" << false << -1;
        QTest::newRow("double suffix") << "a.vtset.vtdat" << true << 0;
    }
    void parseLoadFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, create);
        QFETCH(int, kind);
        const QString p = create ? writeFile(name, "x") : env->path(name);
        QCOMPARE(Config::parseLoadFile(p), kind);
        QCOMPARE(Config::dataFile, kind == 0 ? p : QString());
    }

    void folderIsNotAFile()
    {
        QDir().mkpath(env->path("dir.vtdat"));
        QCOMPARE(Config::parseLoadFile(env->path("dir.vtdat")), -1);
    }

    void extract_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("headLength");
        const QByteArray doc = "<settings><global/></settings>";
        QTest::newRow("two CR LF pairs kept") << doc + "\r\n\r\nvtdat\x01" << true << doc.size() + 4;
        QTest::newRow("LF only") << doc + "\nX" << true << doc.size() + 1;
        QTest::newRow("no newline") << doc + "vtdat" << true << doc.size();
        QTest::newRow("CR LF then blank") << doc + "\r\n \r\n" << true << doc.size() + 2;
        QTest::newRow("at the very start") << QByteArray("</settings>rest") << false << 0;
        QTest::newRow("absent") << QByteArray("<settings><global/>") << false << 0;
        QTest::newRow("empty file") << QByteArray() << false << 0;
        QByteArray pad(32768 - 11 - 1, ' ');
        QTest::newRow("CR inside window, LF beyond") << pad + "</settings>\r\n" << true << 32768;
        QByteArray pad2(32770 - 11, ' ');
        QTest::newRow("ends at byte 32770") << pad2 + "</settings>" << false << 0;
        QByteArray pad3(32768 - 11, ' ');
        QTest::newRow("ends exactly at window, CR LF beyond") << pad3 + "</settings>\r\n" << true << 32768;
    }
    void extract()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ok);
        QFETCH(int, headLength);
        const QString p = writeFile("f.vtdat", content);
        QByteArray head("stale");
        QCOMPARE(Config::extractConfig(p, head), ok);
        QCOMPARE(head.size(), headLength);
        QCOMPARE(head, content.left(headLength));
    }

    void extractMissingFile()
    {
        QByteArray head("stale");
        QVERIFY(!Config::extractConfig(env->path("none.vtdat"), head));
        QVERIFY(head.isEmpty());
    }

    void mergeFromAnotherInstallation()
    {
        const QByteArray head =
            "<settings><global><version>3.1.0</version><devModel>7</devModel><chnShowName5>MISO</chnShowName5>"
            "<userLang>en-US</userLang><windowPosition>9,9,9,9</windowPosition><viewState>2</viewState>"
            "<chnShowIndex></chnShowIndex><lgcMeasure>1,2</lgcMeasure></global>"
            "<devices><VX3127><smpMode>1</smpMode><smpFrequ>5</smpFrequ></VX3127><VX9151><x>1</x></VX9151>"
            "</devices><analyzers><item0><fileName>libSPI.so</fileName><parameters>q</parameters>"
            "<format>2</format></item0><item1><fileName>libI2C.so</fileName><parameters>r</parameters>"
            "<format>0</format></item1></analyzers></settings>\r\n";
        QVERIFY(Config::replaceConfig(head));
        QCOMPARE(Config::readGlobalParam("devModel"), QStringLiteral("7"));
        QCOMPARE(Config::readGlobalParam("chnShowName0"), QString());
        QCOMPARE(Config::getChnName(0), QStringLiteral("Channel 0"));
        QCOMPARE(Config::readGlobalParam("chnShowName5"), QStringLiteral("MISO"));
        QCOMPARE(Config::readGlobalParam("userLang"), QStringLiteral("zh-CN"));
        QCOMPARE(Config::readGlobalParam("windowPosition"), QStringLiteral("1,2,3,4"));
        QCOMPARE(Config::readGlobalParam("lastPath"), QStringLiteral("/data"));
        QCOMPARE(Config::readGlobalParam("extparam"), QStringLiteral("abc"));
        QCOMPARE(Config::readGlobalParam("version"), QStringLiteral("3.5.0"));
        QCOMPARE(Config::readGlobalParam("lgcMeasure"), QStringLiteral("1,2"));
        QCOMPARE(Config::viewState, 2);
        // Device elements of the head replace those of the same device; others stay.
        QCOMPARE(Config::readDeviceParam("VX3127", "smpMode"), QStringLiteral("1"));
        QCOMPARE(Config::readDeviceParam("VX3127", "smpFrequ"), QStringLiteral("5"));
        QCOMPARE(Config::readDeviceParam("VX2127", "smpMode"), QStringLiteral("1"));
        QCOMPARE(Config::readDeviceParam("VX9151", "x"), QStringLiteral("1"));
        const QDomElement devices = Config::cfgDoc.documentElement().firstChildElement("devices");
        QCOMPARE(devices.elementsByTagName("VX3127").count(), 1);
        QCOMPARE(Config::readAnalyzerParam(), QStringLiteral("libSPI.so;q;2;libI2C.so;r;0;"));
    }

    void headWithoutModelOrAnalyzers()
    {
        QVERIFY(Config::replaceConfig("<settings><global><viewState>2</viewState></global></settings>"));
        QCOMPARE(Config::readGlobalParam("devModel"), QStringLiteral("3"));
        QCOMPARE(Config::readAnalyzerParam(), QString());
        QVERIFY(!Config::cfgDoc.documentElement().firstChildElement("analyzers").isNull());
    }

    void rejectedHeadChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("malformed") << QByteArray("<settings><global><devModel>1</global></settings>");
        QTest::newRow("unsupported model") << QByteArray("<settings><global><devModel>10</devModel>"
                                                         "<viewState>2</viewState></global></settings>");
        QTest::newRow("negative model") << QByteArray("<settings><global><devModel>-1</devModel></global></settings>");
        QTest::newRow("empty") << QByteArray();
    }
    void rejectedHeadChangesNothing()
    {
        QFETCH(QByteArray, head);
        const QByteArray before = Config::cfgDoc.toByteArray();
        QVERIFY(!Config::replaceConfig(head));
        QCOMPARE(Config::cfgDoc.toByteArray(), before);
    }

    void supportedModels()
    {
        for (int code : {0, 1, 5, 9, 49, 65}) {
            const QByteArray h = "<settings><global><devModel>" + QByteArray::number(code) + "</devModel></global></settings>";
            QVERIFY2(Config::replaceConfig(h), qPrintable(QString::number(code)));
        }
        for (int code : {10, 48, 50, 64, 66}) {
            const QByteArray h = "<settings><global><devModel>" + QByteArray::number(code) + "</devModel></global></settings>";
            QVERIFY2(!Config::replaceConfig(h), qPrintable(QString::number(code)));
        }
    }

    void reducedHead()
    {
        Config::saveGlobalParam("oscMeasureChn12", "x");
        Config::saveGlobalParam("chnShowMultip", "1,2");
        const QString p = env->path("out.vtdat");
        QVERIFY(Config::saveMinConfig(p, "VX3127"));
        QDomDocument d;
        QVERIFY(d.setContent(readFile(p)));
        QStringList keys;
        for (QDomElement e = d.documentElement().firstChildElement("global").firstChildElement(); !e.isNull();
             e = e.nextSiblingElement())
            keys << e.tagName();
        QCOMPARE(keys, (QStringList{"version", "devModel", "chnShowName0", "chnShowName5", "oscMeasureChn12",
                                    "chnShowMultip"}));
        QStringList devs;
        for (QDomElement e = d.documentElement().firstChildElement("devices").firstChildElement(); !e.isNull();
             e = e.nextSiblingElement())
            devs << e.tagName();
        QCOMPARE(devs, QStringList{"VX3127"});
        QCOMPARE(d.documentElement().firstChildElement("analyzers").elementsByTagName("fileName").count(), 1);
        // The running document is untouched.
        QCOMPARE(Config::readGlobalParam("userLang"), QStringLiteral("zh-CN"));
        QCOMPARE(Config::readDeviceParam("VX2127", "smpMode"), QStringLiteral("1"));

        // The same bytes are available without a file, for a data file written in one go.
        QCOMPARE(Config::minConfigText("VX3127"), readFile(p));
        const QString full = env->path("full.vtset");
        QVERIFY(Config::saveConfig(full));
        QCOMPARE(Config::configText(), readFile(full));

        // It is a head that extractConfig finds and replaceConfig takes.
        QByteArray head;
        QVERIFY(Config::extractConfig(p, head));
        QCOMPARE(head.size(), int(QFileInfo(p).size()));
        QVERIFY(Config::replaceConfig(head));
    }

    void reducedHeadUnknownDevice()
    {
        const QString p = env->path("out2.vtdat");
        QVERIFY(Config::saveMinConfig(p, "NoSuch"));
        QDomDocument d;
        QVERIFY(d.setContent(readFile(p)));
        const QDomElement devs = d.documentElement().firstChildElement("devices");
        QVERIFY(!devs.isNull());
        QVERIFY(devs.firstChildElement().isNull());
        QVERIFY(!Config::saveMinConfig(env->path("no/such/dir/x.vtdat"), "VX3127"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("files");     // name:content pairs, in argument order
        QTest::addColumn<QString>("expectModel");
        QTest::addColumn<QString>("expectDataFile");  // file name or empty
        const QString set = "s.vtset:<settings><global><devModel>5</devModel></global></settings>";
        const QString dat = "d.vtdat:<settings><global><devModel>9</devModel></global></settings>\r\nvtdat";
        QTest::newRow("settings then data: only settings") << QStringList{set, dat} << "5" << "";
        QTest::newRow("data file") << QStringList{dat} << "9" << "d.vtdat";
        QTest::newRow("first existing wins")
            << QStringList{"-platform", "missing.vtdat", "x.txt:hello", dat, set} << "9" << "d.vtdat";
        QTest::newRow("bad head clears data file")
            << QStringList{"b.vtdat:<settings><global><devModel>77</devModel></global></settings>"} << "" << "";
        QTest::newRow("no head keeps data file") << QStringList{"n.vtdat:vtdat\x01\x02"} << "" << "n.vtdat";
    }
    void commandLine()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, expectModel);
        QFETCH(QString, expectDataFile);
        QStringList args{"prog"};
        for (const QString& f : files) {
            const int c = f.indexOf(':');
            if (c < 0) {
                args << (f.startsWith('-') ? f : env->path(f));
                continue;
            }
            args << writeFile(f.left(c), f.mid(c + 1).toLatin1());
        }
        Config::saveGlobalParam("devModel", "");
        Config::loadCommandLineFile(args);
        QCOMPARE(Config::readGlobalParam("devModel"), expectModel);
        QCOMPARE(Config::dataFile, expectDataFile.isEmpty() ? QString() : env->path(expectDataFile));
        QCOMPARE(Config::readGlobalParam("version"), QStringLiteral("3.5.0"));
    }

    void dialogFolders()
    {
        Config::saveGlobalParam("lastPath", "");
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(Config::lastFolder(), docs);
        Config::rememberFolder(docs + "/a.vtdat", docs);
        QCOMPARE(Config::readGlobalParam("lastPath"), QString());
        Config::rememberFolder(env->path("sub/b.vtdat"), docs);
        QCOMPARE(Config::readGlobalParam("lastPath"), env->path("sub"));
        QCOMPARE(Config::lastFolder(), env->path("sub"));

        QString suffix;
        QCOMPARE(Config::saveFilter(0, &suffix), QStringLiteral("TAV data file (*.vtdat)"));
        QCOMPARE(suffix, QStringLiteral("vtdat"));
        QCOMPARE(Config::saveFilter(4, &suffix), QStringLiteral("Binary file (*.bin)"));
        QCOMPARE(suffix, QStringLiteral("bin"));
        QVERIFY(Config::saveFilter(5).isEmpty());
        QVERIFY(Config::getSaveFileName(5).isEmpty());
    }

};

QTEST_GUILESS_MAIN(TstHeads)
#include "tst_heads.moc"
