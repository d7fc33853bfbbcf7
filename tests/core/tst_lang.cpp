#include "core/config.h"
#include "core/lang.h"
#include "common/tempenv.h"

#include <QtTest>

#include <memory>

// Language files, lookups and the language list.
class TstLang : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;

    void writeLang(QString const& fileName, QString const& xml)
    {
        QFile f(env->resources() + "Language/" + fileName);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(xml.toUtf8());
    }
    static QString langXml(QString const& code, QString const& name, QString const& extraHead = QString())
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><language><head><code>" + code + "</code><name>" + name
               + "</name><font>SimSun</font><info>Restart " + code + "</info>" + extraHead + "</head>"
               "<tav><t src=\"close\">Schliessen</t><t src=\"Open\"></t><t src=\"Channel\">Kanal</t></tav>"
               "<analyzers><a class=\"UART\" src=\"baud rate\">Baudrate</a>"
               "<a class=\"SPI\" src=\"clock\">Takt</a><a class=\"UART\" src=\"parity\"></a></analyzers></language>";
    }

private slots:
    void init()
    {
        env.reset(new TempEnv);
        Config::cfgDoc.setContent(Config::defaultDocument());
    }
    void cleanup() { env.reset(); }

    void lookup_data()
    {
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("expect");
        QTest::newRow("case-insensitive match") << "Close" << "Schliessen";
        QTest::newRow("empty translation keeps source") << "Open" << "Open";
        QTest::newRow("no match") << "Save" << "Save";
        QTest::newRow("upper-case source") << "CLOSE" << "Schliessen";
    }
    void lookup()
    {
        QFETCH(QString, src);
        QFETCH(QString, expect);
        writeLang("de-DE.xml", langXml("de-DE", "Deutsch"));
        QVERIFY(Lang::load("de-DE"));
        QCOMPARE(Lang::tr(src), expect);
    }

    void analyzerLookup_data()
    {
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("expect");
        QTest::newRow("plain") << "Baud Rate" << "UART" << "Baudrate";
        QTest::newRow("numbered prefix kept") << "1. Baud rate" << "UART" << "1. Baudrate";
        QTest::newRow("digits and dots") << "2.10 clock" << "SPI" << "2.10 Takt";
        QTest::newRow("other class does not count") << "Clock" << "UART" << "Clock";
        QTest::newRow("empty translation") << "3. Parity" << "UART" << "3. Parity";
        QTest::newRow("unknown") << "Stop bits" << "UART" << "Stop bits";
    }
    void analyzerLookup()
    {
        QFETCH(QString, src);
        QFETCH(QString, cls);
        QFETCH(QString, expect);
        writeLang("de-DE.xml", langXml("de-DE", "Deutsch"));
        QVERIFY(Lang::load("de-DE"));
        QCOMPARE(Lang::tr(src, cls), expect);
    }

    void headFields()
    {
        writeLang("de-DE.xml", langXml("de-DE", "Deutsch"));
        QVERIFY(Lang::load("de-DE"));
        QCOMPARE(Lang::getLangHead("font"), QStringLiteral("SimSun"));
        QCOMPARE(Lang::getLangHead("name"), QStringLiteral("Deutsch"));
        QCOMPARE(Lang::getLangHead("Name"), QString());
        QCOMPARE(Lang::getLangHead("provider"), QString());
    }

    void fallbackToEnglish_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("content");  // empty: no file
        QTest::newRow("missing file") << "fr-FR" << QByteArray();
        QTest::newRow("malformed file") << "fr-FR" << QByteArray("<language><head><code>fr-FR</code></head><tav>");
        QTest::newRow("not xml at all") << "fr-FR" << QByteArray("\xff\xfe\x00junk", 7);
        QTest::newRow("english never reads a file") << "en-US" << QByteArray("<language><head/><tav><t src=\"close\">X</t></tav></language>");
    }
    void fallbackToEnglish()
    {
        QFETCH(QString, code);
        QFETCH(QByteArray, content);
        if (!content.isEmpty()) {
            QFile f(env->resources() + "Language/" + code + ".xml");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        Config::saveGlobalParam("userLang", code);
        Lang::init();
        QCOMPARE(Lang::code, code);
        QCOMPARE(Lang::tr("Close"), QStringLiteral("Close"));
        QCOMPARE(Lang::getLangHead("code"), QStringLiteral("en-US"));
        QCOMPARE(Lang::getLangHead("font"), QString());
    }

    void systemLocaleChoice_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("code");
        QTest::newRow("german") << QLocale(QLocale::German, QLocale::Germany) << "en-US";
        QTest::newRow("taiwan") << QLocale(QLocale::Chinese, QLocale::Taiwan) << "zh-TW";
        QTest::newRow("china") << QLocale(QLocale::Chinese, QLocale::China) << "zh-CN";
        QTest::newRow("hong kong") << QLocale(QLocale::Chinese, QLocale::HongKong) << "zh-CN";
        QTest::newRow("us") << QLocale(QLocale::English, QLocale::UnitedStates) << "en-US";
    }
    void systemLocaleChoice()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, code);
        QCOMPARE(Lang::codeForLocale(locale), code);
    }

    void emptyUserLangIsChosenAndSaved()
    {
        Config::saveGlobalParam("userLang", "");
        Lang::init();
        // QLocale::system() follows the process environment, not setDefault; whatever it
        // picks must be one of the three codes and be saved.
        const QString saved = Config::readGlobalParam("userLang");
        QVERIFY(saved == "en-US" || saved == "zh-CN" || saved == "zh-TW");
        QCOMPARE(Lang::code, saved);
        QCOMPARE(saved, Lang::codeForLocale(QLocale::system()));
    }

    void fileList()
    {
        writeLang("de-DE.xml", langXml("de-DE", "Deutsch", "<provider>Hans</provider>"));
        writeLang("zh-TW.xml", langXml("zh-TW", "Traditional"));
        writeLang("zh-CN.xml", langXml("zh-CN", "Simplified"));
        writeLang("fr-FR.xml", langXml("fr-BE", "Mismatch"));
        writeLang("it-IT.xml", "<language><head><code>it-IT</code>");
        writeLang("ZH-cn.xml", langXml("zh-CN", "Wrong case"));
        QDir().mkpath(env->resources() + "Language/sub.xml");
        QFile other(env->resources() + "Language/readme.txt");
        QVERIFY(other.open(QIODevice::WriteOnly));

        const QList<LangFile> list = Lang::getLangFileList();
        QStringList codes;
        for (const LangFile& l : list)
            codes << l.code;
        QCOMPARE(codes.size(), 4);
        QCOMPARE(codes[0], QStringLiteral("en-US"));
        QCOMPARE(codes[1], QStringLiteral("zh-CN"));
        QCOMPARE(codes[2], QStringLiteral("zh-TW"));
        QCOMPARE(codes[3], QStringLiteral("de-DE"));
        QCOMPARE(list[0].name, QStringLiteral("English"));
        QCOMPARE(list[0].info, QStringLiteral("You need to restart to make the language settings take effect!"));
        QCOMPARE(list[3].info, QStringLiteral("Restart de-DE\r\nHans"));
        QCOMPARE(list[1].info, QStringLiteral("Restart zh-CN"));
    }

    void fileListWithoutFolder()
    {
        AppPaths::setResources(env->path("nowhere"));
        const QList<LangFile> list = Lang::getLangFileList();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].code, QStringLiteral("en-US"));
    }

    void taiwanAloneIsAppended()
    {
        writeLang("zh-TW.xml", langXml("zh-TW", "Traditional"));
        const QList<LangFile> list = Lang::getLangFileList();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[1].code, QStringLiteral("zh-TW"));
    }
};

QTEST_GUILESS_MAIN(TstLang)
#include "tst_lang.moc"
