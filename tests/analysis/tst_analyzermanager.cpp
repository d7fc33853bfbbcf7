// The analyzer host without decoding: discovery, names, the list in use in
// the settings document, and channel aliases.

#include "analysistesthelp.h"

#include "libanalyzer/analyzer.h"

#include <QDomDocument>
#include <QSignalSpy>
#include <QtTest>

using namespace anlytest;

namespace {

const QStringList kTestPlugins = {"libTstB.so", "libtstc.so", "libTstA.so", "libTstNoDestroy.so"};

QByteArray tst(int input, QByteArray const& clock = "none", int restarts = 0, int work = 0)
{
    return "TST,1,input=" + QByteArray::number(input) + ",clock=" + clock + ",restarts="
        + QByteArray::number(restarts) + ",work=" + QByteArray::number(work) + ",burst=1";
}

// Appends one stored item with its children in the given order.
void storeItemNamed(QString const& tag, QStringList const& names, QStringList const& texts)
{
    QDomElement an = Config::cfgDoc.documentElement().firstChildElement("analyzers");
    QDomElement item = Config::cfgDoc.createElement(tag);
    for (int k = 0; k < names.size(); ++k) {
        QDomElement c = Config::cfgDoc.createElement(names[k]);
        c.appendChild(Config::cfgDoc.createTextNode(texts[k]));
        item.appendChild(c);
    }
    an.appendChild(item);
}

void storeItem(QString const& file, QString const& params, QString const& format)
{
    const int n = Config::cfgDoc.documentElement().firstChildElement("analyzers").childNodes().size();
    storeItemNamed("item" + QString::number(n), {"fileName", "parameters", "format"}, {file, params, format});
}

QString settingsText(Analyzer* a)
{
    return QString::fromUtf8(a->GetAnalyzerSettings()->SaveToText());
}

}  // namespace

class TstAnalyzerManager : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetSettings(); }

    void discovery();
    void supportModels();
    void notSupportedNames_data();
    void notSupportedNames();
    void emptyFolder();
    void addSaveRestoreRoundTrip();
    void restoreItems_data();
    void restoreItems();
    void restoreHostileTextKeepsOthers();
    void restoreChildrenByName();
    void removeRenumbers();
    void aliases();
    void showFlags();
};

void TstAnalyzerManager::discovery()
{
    TempEnv env;
    installPlugins(env, kTestPlugins, {"libUART.so"});
    const QString dir = env.resources() + "Analyzer/";
    // Not a library, not a file, not a plug-in name.
    QFile bogus(dir + "libBogus.so");
    QVERIFY(bogus.open(QIODevice::WriteOnly));
    bogus.write("not a shared library");
    bogus.close();
    QVERIFY(QDir().mkpath(dir + "libFolder.so"));
    QVERIFY(QFile::link(testPluginDir() + "libTstA.so", dir + "TstA.dll"));

    DeviceGuard dev(0);
    AnalyzerManager m;
    QStringList files;
    for (FileInterface const& fi : m.files())
        files << fi.fileName;
    // Sorted without regard to case; the plug-in lacking an export and the
    // file that does not load are left out.
    QCOMPARE(files, QStringList({"libTstA.so", "libTstB.so", "libtstc.so", "libUART.so"}));
    QCOMPARE(m.getAllAnalyzerName(), QStringList({"TstA", "TstB", "tstc", "UART"}));
    QCOMPARE(m.getSpecAnalyzerName("libtstc.so"), QString("tstc"));
    QCOMPARE(m.getSpecAnalyzerName("libTSTC.so"), QString());
}

void TstAnalyzerManager::supportModels()
{
    TempEnv env;
    installPlugins(env, kTestPlugins);
    DeviceGuard dev(0);
    AnalyzerManager m;
    QCOMPARE(m.files().size(), 3);
    QCOMPARE(m.files()[0].supportModels, QVector<int>({2, 0, 5}));   // "2,,5"
    QCOMPARE(m.files()[1].supportModels, QVector<int>({0}));         // ""
    QCOMPARE(m.files()[2].supportModels, QVector<int>());            // no list: every model
}

void TstAnalyzerManager::notSupportedNames_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("names");
    const QString ns = " (Not Supported)";
    QTest::newRow("demo") << 0 << QStringList({"TstA", "TstB", "tstc"});
    QTest::newRow("2127") << 2 << QStringList({"TstA", "TstB" + ns, "tstc"});
    QTest::newRow("3127") << 3 << QStringList({"TstA" + ns, "TstB" + ns, "tstc"});
    QTest::newRow("2121A") << 5 << QStringList({"TstA", "TstB" + ns, "tstc"});
}

void TstAnalyzerManager::notSupportedNames()
{
    QFETCH(int, model);
    QFETCH(QStringList, names);
    TempEnv env;
    installPlugins(env, kTestPlugins);
    DeviceGuard dev(model);
    AnalyzerManager m;
    QCOMPARE(m.getAllAnalyzerName(), names);
    // An unsupported analyzer stays usable; only its name says so.
    Analyzer* a = addAnalyzer(m, 1, tst(1));
    QVERIFY(a);
    QCOMPARE(m.getUsingAnalyzerName(0), "TST" + names[1].mid(4));
}

void TstAnalyzerManager::emptyFolder()
{
    TempEnv env;
    DeviceGuard dev(0);
    storeItem("libTstA.so", QString::fromLatin1(tst(1)), "2");
    AnalyzerManager m;
    QVERIFY(m.getAllAnalyzerName().isEmpty());
    QSignalSpy changed(&m, &AnalyzerManager::analyzerItemChanged);
    m.restoreUsing();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m.usingCount(), 0);
}

void TstAnalyzerManager::addSaveRestoreRoundTrip()
{
    TempEnv env;
    installPlugins(env, kTestPlugins, {"libUART.so"});
    DeviceGuard dev(0);
    QString textA, textU;
    {
        AnalyzerManager m;
        QSignalSpy changed(&m, &AnalyzerManager::analyzerItemChanged);
        Analyzer* a = addAnalyzer(m, 0, tst(7, "9"));
        Analyzer* u = addAnalyzer(m, 3, "UART,1,input=4,bitRate=9600,dataBits=7,parity=2,stopBits=2,"
                                        "msbFirst=1,inverted=1");
        QVERIFY(a && u);
        QCOMPARE(changed.count(), 2);
        m.setUsingDisplayFormat(1, 3);
        textA = settingsText(a);
        textU = settingsText(u);
        QCOMPARE(m.getUsingDisplayFormat(0), 2);   // Hex for a new analyzer
    }
    // The document holds one item per analyzer with its three children.
    const QDomElement an = Config::cfgDoc.documentElement().firstChildElement("analyzers");
    QCOMPARE(an.childNodes().size(), 2);
    QCOMPARE(an.firstChildElement("item1").firstChildElement("fileName").text(), QString("libUART.so"));
    QCOMPARE(an.firstChildElement("item1").firstChildElement("parameters").text(), textU);
    QCOMPARE(an.firstChildElement("item1").firstChildElement("format").text(), QString("3"));

    AnalyzerManager m2;
    QSignalSpy changed(&m2, &AnalyzerManager::analyzerItemChanged);
    m2.restoreUsing();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m2.usingCount(), 2);
    QCOMPARE(settingsText(m2.getUsingAnalyzer(0)), textA);
    QCOMPARE(settingsText(m2.getUsingAnalyzer(1)), textU);
    QCOMPARE(m2.getUsingDisplayFormat(0), 2);
    QCOMPARE(m2.getUsingDisplayFormat(1), 3);
    QCOMPARE(m2.getUsingSpecFileName(1), QString("libUART.so"));
    QCOMPARE(m2.getUsingSpecFileName(2), QString());
}

void TstAnalyzerManager::restoreItems_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("params");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("restored");
    QTest::addColumn<int>("input");       // input channel after restore
    QTest::addColumn<int>("shownFormat");
    const QString t5 = QString::fromLatin1(tst(5));
    QTest::newRow("plain") << "libTstA.so" << t5 << "1" << true << 5 << 1;
    QTest::newRow("blanks trimmed") << " libTstA.so " << " " + t5 + "\n" << " 4 " << true << 5 << 4;
    QTest::newRow("file name case") << "libtsta.so" << t5 << "1" << false << 0 << 0;
    QTest::newRow("unknown file") << "libNone.so" << t5 << "1" << false << 0 << 0;
    QTest::newRow("format -1") << "libTstA.so" << t5 << "-1" << true << 5 << 2;
    QTest::newRow("format 0") << "libTstA.so" << t5 << "0" << true << 5 << 0;
    QTest::newRow("format 5") << "libTstA.so" << t5 << "5" << true << 5 << 2;
    QTest::newRow("format text") << "libTstA.so" << t5 << "hex" << true << 5 << 2;
    // 16 channels on the demo device: channel 16 does not exist.
    QTest::newRow("channel 15") << "libTstA.so" << QString::fromLatin1(tst(15)) << "2" << true << 15 << 2;
    QTest::newRow("channel 16 refused") << "libTstA.so" << QString::fromLatin1(tst(16)) << "2" << true << 0 << 2;
    QTest::newRow("garbage settings") << "libTstA.so" << "TST,1,input=x" << "2" << true << 0 << 2;
}

void TstAnalyzerManager::restoreItems()
{
    QFETCH(QString, file);
    QFETCH(QString, params);
    QFETCH(QString, format);
    QFETCH(bool, restored);
    QFETCH(int, input);
    QFETCH(int, shownFormat);
    TempEnv env;
    installPlugins(env, kTestPlugins);
    DeviceGuard dev(0);
    storeItem(file, params, format);
    AnalyzerManager m;
    m.restoreUsing();
    QCOMPARE(m.usingCount(), restored ? 1 : 0);
    if (!restored)
        return;
    QCOMPARE(m.getUsingDisplayFormat(0), shownFormat);
    QCOMPARE(m.getUsingChnAlias(0).value(0), QString::number(input));
    // Restoring does not rewrite the document.
    QCOMPARE(Config::cfgDoc.documentElement().firstChildElement("analyzers").firstChildElement("item0")
                 .firstChildElement("format").text(),
             format);
}

void TstAnalyzerManager::restoreHostileTextKeepsOthers()
{
    TempEnv env;
    installPlugins(env, kTestPlugins);
    DeviceGuard dev(0);
    storeItem("libTstA.so", QString::fromUtf8("TST,1,input=3;libtstc.so;x;1;\xc3\xbc\xe2\x82\xac"), "1");
    storeItem("libtstc.so", QString::fromLatin1(tst(6, "2")), "3");
    storeItem("libTstB.so", QString::fromUtf8("; ; ;"), "4");
    AnalyzerManager m;
    m.restoreUsing();
    QCOMPARE(m.usingCount(), 3);
    QCOMPARE(m.getUsingSpecFileName(0), QString("libTstA.so"));
    QCOMPARE(m.getUsingSpecFileName(1), QString("libtstc.so"));
    QCOMPARE(m.getUsingSpecFileName(2), QString("libTstB.so"));
    QCOMPARE(m.getUsingDisplayFormat(0), 1);
    QCOMPARE(m.getUsingDisplayFormat(1), 3);
    QCOMPARE(m.getUsingDisplayFormat(2), 4);
    // The hostile texts were refused whole; the good one is intact.
    QCOMPARE(settingsText(m.getUsingAnalyzer(1)), QString::fromLatin1(tst(6, "2")));
    QCOMPARE(settingsText(m.getUsingAnalyzer(0)), QString::fromLatin1(tst(0)));

    // Written back and read again, nothing moves.
    m.saveConfig();
    AnalyzerManager m2;
    m2.restoreUsing();
    QCOMPARE(m2.usingCount(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(m2.getUsingSpecFileName(i), m.getUsingSpecFileName(i));
        QCOMPARE(settingsText(m2.getUsingAnalyzer(i)), settingsText(m.getUsingAnalyzer(i)));
        QCOMPARE(m2.getUsingDisplayFormat(i), m.getUsingDisplayFormat(i));
    }
}

void TstAnalyzerManager::restoreChildrenByName()
{
    TempEnv env;
    installPlugins(env, kTestPlugins);
    DeviceGuard dev(0);
    storeItemNamed("item0", {"format", "extra", "parameters", "fileName"},
              {"0", "ignored;text", QString::fromLatin1(tst(9)), "libtstc.so"});
    storeItemNamed("item1", {"parameters", "format"}, {QString::fromLatin1(tst(2)), "1"});   // no file name
    storeItemNamed("item2", QStringList{"fileName"}, QStringList{"libTstA.so"});   // defaults, Hex
    AnalyzerManager m;
    m.restoreUsing();
    QCOMPARE(m.usingCount(), 2);
    QCOMPARE(m.getUsingSpecFileName(0), QString("libtstc.so"));
    QCOMPARE(m.getUsingChnAlias(0).value(0), QString("9"));
    QCOMPARE(m.getUsingDisplayFormat(0), 0);
    QCOMPARE(m.getUsingSpecFileName(1), QString("libTstA.so"));
    QCOMPARE(m.getUsingDisplayFormat(1), 2);
}

void TstAnalyzerManager::removeRenumbers()
{
    TempEnv env;
    installPlugins(env, kTestPlugins);
    DeviceGuard dev(0);
    AnalyzerManager m;
    QVERIFY(addAnalyzer(m, 0, tst(1)));
    QVERIFY(addAnalyzer(m, 1, tst(2)));
    QVERIFY(addAnalyzer(m, 2, tst(3)));
    QSignalSpy changed(&m, &AnalyzerManager::analyzerItemChanged);
    m.removeUsing(0);
    QCOMPARE(changed.count(), 1);
    const QDomElement an = Config::cfgDoc.documentElement().firstChildElement("analyzers");
    QCOMPARE(an.childNodes().size(), 2);
    QCOMPARE(an.firstChildElement("item0").firstChildElement("fileName").text(), QString("libTstB.so"));
    QCOMPARE(an.firstChildElement("item1").firstChildElement("fileName").text(), QString("libtstc.so"));
    m.removeAllUsing();
    QCOMPARE(m.usingCount(), 0);
    QCOMPARE(an.childNodes().size(), 0);
}

void TstAnalyzerManager::aliases()
{
    TempEnv env;
    installPlugins(env, kTestPlugins);
    DeviceGuard dev(0);
    AnalyzerManager m;
    Analyzer* a = addAnalyzer(m, 0, tst(3));
    Analyzer* b = addAnalyzer(m, 2, tst(3, "5"));
    Analyzer* c = addAnalyzer(m, 1, tst(15, "0"));
    QVERIFY(a && b && c);

    QCOMPARE(m.getUsingChnAlias(0), QStringList({"3", "TST - Data", "4294967295", "TST - Clock"}));
    QCOMPARE(m.getUsingChnAlias(1), QStringList({"3", "TST - Data", "5", "TST - Clock"}));

    QStringList all;
    for (int ch = 0; ch < 16; ++ch)
        all << QString::number(ch) << QString();
    all[1] = "TST - Clock";
    all[7] = "TST - Data, TST - Data";
    all[11] = "TST - Clock";
    all[31] = "TST - Data";
    QCOMPARE(m.getAllUsingChnAlias(-1), all);

    QStringList exceptFirst = all;
    exceptFirst[7] = "TST - Data";
    QCOMPARE(m.getAllUsingChnAlias(0), exceptFirst);

    // Disabled channels leave the list.
    QVector<bool> ena(16, true);
    ena[3] = false;
    ena[15] = false;
    devUsing->setDChnEna(ena);
    QStringList enabled = all;
    enabled.erase(enabled.begin() + 30, enabled.begin() + 32);
    enabled.erase(enabled.begin() + 6, enabled.begin() + 8);
    QCOMPARE(m.getEnableChnInterfaceName(-1), enabled);

    QCOMPARE(AnalyzerManager::getUsingChnAnalyzers(3), QVector<Analyzer*>({a, b}));
    QCOMPARE(AnalyzerManager::getUsingChnAnalyzers(5), QVector<Analyzer*>({b}));
    QCOMPARE(AnalyzerManager::getUsingChnAnalyzers(0), QVector<Analyzer*>({c}));
    QCOMPARE(AnalyzerManager::getUsingChnAnalyzers(4), QVector<Analyzer*>());
}

void TstAnalyzerManager::showFlags()
{
    TempEnv env;
    installPlugins(env, kTestPlugins, {"libUART.so"});
    DeviceGuard dev(0);
    AnalyzerManager m;
    Analyzer* a = addAnalyzer(m, 0, tst(1));
    Analyzer* u = addAnalyzer(m, 3, QByteArray());
    QVERIFY(a && u);
    QCOMPARE(AnalyzerManager::getTotalProtocol(), QStringList({"TST,1", "UART,1"}));
    AnalyzerManager::setProtocolShow(0);
    AnalyzerManager::setProtocolShow(7);   // outside the list: nothing
    QCOMPARE(AnalyzerManager::getTotalProtocol(), QStringList({"TST,0", "UART,1"}));
    QCOMPARE(AnalyzerManager::getEnaAnalyzers(), QVector<Analyzer*>({u}));

    m.setUsingDisplayFormat(1, 4);
    QCOMPARE(AnalyzerManager::getAnalyzerDisplayFormat(u), 4);
    QCOMPARE(AnalyzerManager::getAnalyzerDisplayFormat(a), 2);
    Analyzer* loose = m.getNewAnalyzer(0);
    QCOMPARE(AnalyzerManager::getAnalyzerDisplayFormat(loose), -1);
    m.files()[0].destroyAnalyzer(loose);
}

QTEST_GUILESS_MAIN(TstAnalyzerManager)
#include "tst_analyzermanager.moc"
