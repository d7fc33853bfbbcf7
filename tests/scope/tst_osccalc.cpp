// The number rules of the oscilloscope panels without a window: typed offsets,
// trigger times and math offsets against the documented worked examples, and
// hostile entries ("nan", "inf", huge numbers, a scale of 0).
#include "scope/chnsetosc.h"
#include "scope/osccalc.h"
#include "scope/oscgrid.h"
#include "scope/timesetosc.h"

#include <QtTest>

#include <cmath>

class TstOscCalc : public QObject
{
    Q_OBJECT

private slots:
    void channelOffset_data();
    void channelOffset();
    void shownVolts_data();
    void shownVolts();
    void trgTime_data();
    void trgTime();
    void mathOffset_data();
    void mathOffset();
    void scaleTexts();
    void timeDivTexts();
    void snapAndVoltText();
    void gridGeometry();
};

void TstOscCalc::channelOffset_data()
{
    QTest::addColumn<int>("shown");   // shown volts/div
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("perMille");
    QTest::addColumn<QString>("text");
    QTest::newRow("30 at 20mV") << 20 << "30" << 150 << "30.0";
    QTest::newRow("-55.55 rounds away from 0") << 20 << "-55.55" << -278 << "-55.6";
    QTest::newRow("5000 limited") << 20 << "5000" << 500 << "100.0";
    QTest::newRow("-5000 limited") << 20 << "-5000" << -500 << "-100.0";
    QTest::newRow("0.73 at 1V") << 1 << "0.73" << 73 << "0.73";
    QTest::newRow("letters") << 20 << "abc" << 0 << "0.0";
    QTest::newRow("empty") << 20 << "" << 0 << "0.0";
    QTest::newRow("with unit") << 20 << "30mV" << 0 << "0.0";
    QTest::newRow("nan") << 20 << "nan" << 0 << "0.0";
    QTest::newRow("inf") << 20 << "inf" << 0 << "0.0";
    QTest::newRow("-inf") << 200 << "-inf" << 0 << "0";
    QTest::newRow("huge stays a limit") << 20 << "1e300" << 500 << "100.0";
    QTest::newRow("huge negative") << 2 << "-1e18" << -500 << "-10.00";
}

void TstOscCalc::channelOffset()
{
    QFETCH(int, shown);
    QFETCH(QString, typed);
    QFETCH(int, perMille);
    QFETCH(QString, text);
    int p = 12345;
    QVERIFY(OscCalc::offsetPerMille(OscCalc::numberOrZero(typed), shown * 10.0, &p));
    QCOMPARE(p, perMille);
    QCOMPARE(QString::number(OscCalc::offsetValue(p, shown * 10.0), 'f', OscCalc::decimalsFor(shown)), text);
}

void TstOscCalc::shownVolts_data()
{
    QTest::addColumn<int>("voltDiv");
    QTest::addColumn<int>("probe");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("decimals");
    // The documented table: probe 1X and 10X for every step of the model.
    const int steps[7] = {20, 50, 100, 200, 500, 1000, 2000};
    const int shown1[7] = {20, 50, 100, 200, 500, 1, 2};
    const int dec1[7] = {1, 1, 0, 0, 0, 2, 2};
    const int shown10[7] = {200, 500, 1, 2, 5, 10, 20};
    const int dec10[7] = {0, 0, 2, 2, 2, 1, 1};
    for (int i = 0; i < 7; ++i) {
        QTest::addRow("%d 1X", steps[i]) << steps[i] << 1 << shown1[i] << (steps[i] >= 1000 ? "V" : "mV") << dec1[i];
        QTest::addRow("%d 10X", steps[i]) << steps[i] << 10 << shown10[i] << (steps[i] >= 100 ? "V" : "mV")
                                          << dec10[i];
    }
    // A probe rate of 0 or less would make the screen 0 high: counted as 1.
    QTest::newRow("probe 0") << 50 << 0 << 50 << "mV" << 1;
    QTest::newRow("probe -10") << 1000 << -10 << 1 << "V" << 2;
}

void TstOscCalc::shownVolts()
{
    QFETCH(int, voltDiv);
    QFETCH(int, probe);
    QFETCH(int, shown);
    QFETCH(QString, unit);
    QFETCH(int, decimals);
    QString u;
    QCOMPARE(ChnSetOsc::shownVolts(voltDiv, probe, &u), shown);
    QCOMPARE(u, unit);
    QCOMPARE(OscCalc::decimalsFor(shown), decimals);
}

void TstOscCalc::trgTime_data()
{
    QTest::addColumn<qint64>("timeDivNs");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("text");
    QTest::newRow("25 at 10ns") << 10LL << "25" << 750 << "25.0";
    QTest::newRow("-60 to the left edge") << 10LL << "-60" << 0 << "-50.0";
    QTest::newRow("60 to the right edge") << 10LL << "60" << 1000 << "50.0";
    QTest::newRow("0.04 rounds to centre") << 10LL << "0.04" << 500 << "0.0";
    QTest::newRow("12.3 at 5s") << 5000000000LL << "12.3" << 746 << "12.30";
    QTest::newRow("1.5 at 200us") << 200000LL << "1.5" << 501 << "2";
    QTest::newRow("letters") << 10LL << "x1" << 500 << "0.0";
    QTest::newRow("nan") << 10LL << "nan" << 500 << "0.0";
    QTest::newRow("-inf") << 10LL << "-inf" << 500 << "0.0";
    QTest::newRow("huge") << 1000LL << "1e300" << 1000 << "5.00";
    QTest::newRow("huge negative") << 1000LL << "-1e300" << 0 << "-5.00";
}

void TstOscCalc::trgTime()
{
    QFETCH(qint64, timeDivNs);
    QFETCH(QString, typed);
    QFETCH(int, percent);
    QFETCH(QString, text);
    int k = 0;
    const qint64 s = OscCalc::timeShown(timeDivNs, &k);
    int p = -1;
    QVERIFY(OscCalc::trgPercentFromTime(OscCalc::numberOrZero(typed), s * 10.0, &p));
    QCOMPARE(p, percent);
    QCOMPARE(QString::number(OscCalc::trgTimeFromPercent(p, s * 10.0), 'f', OscCalc::decimalsFor(s)), text);
    // Without a time base nothing can be placed.
    QVERIFY(!OscCalc::trgPercentFromTime(1, 0, &p));
    QCOMPARE(p, percent);
}

void TstOscCalc::mathOffset_data()
{
    QTest::addColumn<int>("scaleMv");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("perMille");
    QTest::addColumn<QString>("text");
    QTest::newRow("2.5 at 1V") << 1000 << "2.5" << 250 << "2.50V";
    QTest::newRow("1V at 500mV") << 500 << "1V" << 200 << "1000mV";
    QTest::newRow("-7V limited") << 1000 << "-7V" << -500 << "-5.00V";
    QTest::newRow("300m") << 1000 << "300m" << 30 << "0.30V";
    QTest::newRow("300M") << 1000 << "300M" << 30 << "0.30V";
    QTest::newRow("300mv") << 1000 << "300mv" << 30 << "0.30V";
    QTest::newRow("0.004V") << 1000 << "0.004V" << 0 << "0.00V";
    QTest::newRow("0.005V") << 1000 << "0.005V" << 1 << "0.01V";
    QTest::newRow("150 at 50mV") << 50 << "150" << 300 << "150.0mV";
    QTest::newRow("not a number") << 1000 << "abcV" << 0 << "0.00V";
    QTest::newRow("nan") << 1000 << "nanV" << 0 << "0.00V";
    QTest::newRow("inf") << 200 << "inf" << 0 << "0mV";
    QTest::newRow("huge") << 2000 << "1e300V" << 500 << "10.00V";
}

void TstOscCalc::mathOffset()
{
    QFETCH(int, scaleMv);
    QFETCH(QString, typed);
    QFETCH(int, perMille);
    QFETCH(QString, text);
    int p = 9999;
    QVERIFY(OscCalc::mathOffsetFromText(typed, scaleMv, &p));
    QCOMPARE(p, perMille);
    QCOMPARE(OscCalc::mathOffsetText(p, scaleMv), text);
    // A scale of 0 (a damaged setting) would divide by zero: nothing is read.
    int q = 77;
    QVERIFY(!OscCalc::mathOffsetFromText(typed, 0, &q));
    QCOMPARE(q, 77);
}

void TstOscCalc::scaleTexts()
{
    QCOMPARE(OscCalc::mathScaleFromText(QStringLiteral("10mV")), 10);
    QCOMPARE(OscCalc::mathScaleFromText(QStringLiteral("500mV")), 500);
    QCOMPARE(OscCalc::mathScaleFromText(QStringLiteral("2V")), 2000);
    QCOMPARE(OscCalc::mathScaleFromText(QStringLiteral("50V")), 50000);
    QCOMPARE(OscCalc::mathScaleFromText(QStringLiteral("0mV")), 0);
    QCOMPARE(OscCalc::mathScaleFromText(QStringLiteral("V")), 0);
    QCOMPARE(OscCalc::mathScaleText(200), QStringLiteral("200mV"));
    QCOMPARE(OscCalc::mathScaleText(2000), QStringLiteral("2V"));
    // The math offset text follows the scale: 2 V is "V" with 2 decimals,
    // 50 mV "mV" with 1.
    QCOMPARE(OscCalc::mathOffsetText(-250, 2000), QStringLiteral("-5.00V"));
    QCOMPARE(OscCalc::mathOffsetText(100, 50), QStringLiteral("50.0mV"));
}

void TstOscCalc::timeDivTexts()
{
    const QVector<qint64> ns = {10, 500, 1000, 200000, 1000000, 5000000000LL, 5000000000000LL};
    const QStringList texts = {"10ns", "500ns", "1us", "200us", "1ms", "5s", "5000s"};
    for (int i = 0; i < ns.size(); ++i)
        QCOMPARE(TimeSetOsc::timeDivText(ns[i]), texts[i]);
}

void TstOscCalc::snapAndVoltText()
{
    QCOMPARE(OscCalc::snapFraction(1.2), 1.0);
    QCOMPARE(OscCalc::snapFraction(-0.1), 0.0);
    QCOMPARE(OscCalc::snapFraction(std::nan("")), 0.0);
    QCOMPARE(OscCalc::snapFraction(0.12345), 0.123);
    QCOMPARE(OscCalc::snapFraction(0.1236), 0.124);
    QCOMPARE(OscCalc::voltText(999.5), QStringLiteral("999.5mV"));
    QCOMPARE(OscCalc::voltText(-1250), QStringLiteral("-1.25V"));
}

void TstOscCalc::gridGeometry()
{
    const OscGrid g = OscGrid::layout(1000, 600, 11, 11, 15, 1);
    QCOMPARE(g.left, 15);
    QCOMPARE(g.top, 15);
    QCOMPARE(g.width, 968);
    QCOMPARE(g.height, 583);
    QCOMPARE(g.zeroLine(500), 15);
    QCOMPARE(g.zeroLine(-500), 15 + 583);
    // A dragged channel tag: above the grid offset 500, below -500, centre 0.
    QCOMPARE(OscGrid::offsetOfPerMille(g.perMilleOfRow(3)), 500);
    QCOMPARE(OscGrid::offsetOfPerMille(g.perMilleOfRow(900)), -500);
    QCOMPARE(OscGrid::offsetOfPerMille(g.perMilleOfRow(15 + 291.5)), 0);
    // Level 400 mV at 1 V per division, offset 250: 4 % of the screen above the zero line.
    QCOMPARE(OscGrid::levelFraction(250, 400, 1000), 0.21);
    QCOMPARE(OscGrid::levelAt(0.21, 250, 1000), 400.0);
    QCOMPARE(OscGrid::levelFraction(250, 400, 0), 0.25);   // no volts/div: the zero line
    QCOMPARE(OscGrid::placeable(std::nan("")), 1.0);
    QCOMPARE(OscGrid::placeable(-0.2), 0.0);
    QCOMPARE(OscGrid::placeable(1.7), 1.0);

    // A window too small for a grid: nothing divides by its extent.
    const OscGrid tiny = OscGrid::layout(20, 10, 11, 11, 15, 1);
    QVERIFY(!tiny.usable());
    QCOMPARE(tiny.fractionX(40), 0.0);
    QCOMPARE(tiny.fractionY(40), 0.0);
    QCOMPARE(tiny.perMilleOfRow(40), 0);
}

QTEST_APPLESS_MAIN(TstOscCalc)
#include "tst_osccalc.moc"
