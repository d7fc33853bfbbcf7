#include "core/config.h"
#include "core/lang.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QtTest>

// Colour lists, fonts and the first window geometry.
class TstLook : public QObject
{
    Q_OBJECT

private slots:
    void lists()
    {
        Config::fillLists();
        Config::fillLists();  // filling twice must not grow the lists
        QCOMPARE(Config::chnColor.size(), 8);
        QCOMPARE(Config::grayColor.size(), 10);
        QCOMPARE(Config::chnColorOsc.size(), 4);
        QCOMPARE(Config::measTabACH.size(), 13);
        QCOMPARE(Config::chnColor[0].name(), QStringLiteral("#df1fdf"));
        QCOMPARE(Config::chnColor[7].name(), QStringLiteral("#7f7f6f"));
        QCOMPARE(Config::chnColor[9 % Config::chnColor.size()].name(), QStringLiteral("#2727ef"));
        QCOMPARE(Config::grayColor[5].name(), QStringLiteral("#575b5f"));
        QCOMPARE(Config::grayColor[8].name(), QStringLiteral("#1f1f23"));
        QCOMPARE(Config::chnColorOsc[2], QColor(223, 31, 223));
        QCOMPARE(Config::measTabACH.first(), QStringLiteral("Vtop"));
        QCOMPARE(Config::measTabACH.last(), QStringLiteral("DutyCycle"));
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QVector<QRect>>("screens");
        QTest::addColumn<QRect>("expect");
        const QRect laptop(0, 25, 1440, 875);
        QTest::newRow("nothing stored") << "" << QVector<QRect>{laptop} << QRect(144, 87, 1152, 700);
        QTest::newRow("top above available area") << "100,0,800,600" << QVector<QRect>{laptop}
                                                  << QRect(144, 87, 1152, 700);
        QTest::newRow("accepted") << "100,40,800,600" << QVector<QRect>{laptop} << QRect(100, 40, 800, 600);
        QTest::newRow("right of a single screen") << "3440,40,800,600" << QVector<QRect>{laptop}
                                                  << QRect(144, 87, 1152, 700);
        QTest::newRow("on the second screen")
            << "3440,40,800,600" << QVector<QRect>{laptop, QRect(1440, 0, 2560, 1400)} << QRect(3440, 40, 800, 600);
        QTest::newRow("zero width") << "0,40,0,600" << QVector<QRect>{laptop} << QRect(144, 87, 1152, 700);
        QTest::newRow("only overlapping one pixel")
            << "-799,40,800,600" << QVector<QRect>{laptop} << QRect(144, 87, 1152, 700);
        QTest::newRow("overlapping two pixels")
            << "-798,40,800,600" << QVector<QRect>{laptop} << QRect(-798, 40, 800, 600);
        QTest::newRow("junk") << "a,b,c" << QVector<QRect>{laptop} << QRect(144, 87, 1152, 700);
        QTest::newRow("no screen") << "1,40,800,600" << QVector<QRect>{} << QRect();
    }
    void geometry()
    {
        QFETCH(QString, stored);
        QFETCH(QVector<QRect>, screens);
        QFETCH(QRect, expect);
        QCOMPARE(Config::chooseWindowGeometry(stored, screens), expect);
    }

    void fonts_data()
    {
        QTest::addColumn<QString>("headFont");
        QTest::addColumn<QString>("normalFamily");  // "tahoma" means the registered family
        QTest::newRow("no font named") << "" << "tahoma";
        QTest::newRow("system default") << "SysDefault" << "system";
        QTest::newRow("named font") << "Some Font" << "Some Font";
        QTest::newRow("case matters") << "sysdefault" << "sysdefault";
    }
    void fonts()
    {
        QFETCH(QString, headFont);
        QFETCH(QString, normalFamily);
        Lang::doc.setContent("<language><head><code>xx</code><font>" + headFont + "</font></head><tav/><analyzers/></language>");
        QFont sys = QApplication::font();
        sys.setPointSizeF(13);
        QApplication::setFont(sys);
        const QString systemFamily = QApplication::font().family();

        Config::createFont();
        const int tahomaId = QFontDatabase::addApplicationFont(":/res/Tahoma.ttf");
        QVERIFY(tahomaId >= 0);
        const QString tahoma = QFontDatabase::applicationFontFamilies(tahomaId).value(0);
        QCOMPARE(tahoma, QStringLiteral("Tahoma"));
        const int verdanaId = QFontDatabase::addApplicationFont(":/res/Verdana.ttf");
        const QString verdana = QFontDatabase::applicationFontFamilies(verdanaId).value(0);
        QVERIFY(!verdana.isEmpty());

        const QString expectFamily =
            normalFamily == "tahoma" ? tahoma : normalFamily == "system" ? systemFamily : normalFamily;
        QCOMPARE(Config::fontNormal.family(), expectFamily);
        QCOMPARE(Config::fontNormal.pointSizeF(), 13.0);
        QCOMPARE(Config::fontSmall.family(), tahoma);
        QCOMPARE(Config::fontSmall.pointSizeF(), 12.0);
        QCOMPARE(Config::fontLarge.family(), verdana);
        QCOMPARE(Config::fontLarge.pointSizeF(), 15.0);
        QVERIFY(!Config::fontSmall.italic());
        // The registered font really renders as Tahoma, not a substitute.
        QCOMPARE(QFontInfo(Config::fontSmall).family(), tahoma);
    }
};

QTEST_MAIN(TstLook)
#include "tst_look.moc"
