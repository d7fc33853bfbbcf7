// The texts of numbers with units, as each part of the program writes them.
// Every expected text below is what that part wrote before its unit choice
// moved into one place; the formatting must keep them to the letter.

#include "core/lang.h"
#include "controls/smpsetting.h"
#include "files/exportdataset.h"
#include "scope/chnmeasurepair.h"
#include "scope/osccalc.h"
#include "waveview/wavemeasure.h"

#include <QtTest>

namespace {

enum Caller { MarkerTime, RowTime, RowFreq, OscTime, OscFreq, TimeDiv, CaptureTime, TypedTime };

QString textOf(int caller, double a, double b, double rate, bool up)
{
    switch (caller) {
    case MarkerTime:
        return WaveMeasure::timeText(a);
    case RowTime:
        return WaveMeasure::unitText(a, WaveMeasure::timeUnits);
    case RowFreq:
        return WaveMeasure::unitText(a, WaveMeasure::freqUnits);
    case OscTime:
        return ChnMeasurePair::timeToStr(qint64(a));
    case OscFreq:
        return ChnMeasurePair::freqToStr(a);
    case TimeDiv: {
        int k = 0;
        const qint64 v = OscCalc::timeShown(qint64(a), &k);
        return QString::number(v) + OscCalc::timeUnit(k);
    }
    case CaptureTime: {
        const QString prefix = Lang::tr(QStringLiteral("Expected Sample Time")) + QStringLiteral(": ");
        const QString t = SmpSetting::smpTimeText(a, b);
        return t.startsWith(prefix) ? t.mid(prefix.size()) : QStringLiteral("no prefix: ") + t;
    }
    case TypedTime:
        return ExportDataSet::timeText((long long)a, (long long)b, (long long)rate, up);
    default:
        return QString();
    }
}

} // namespace

class TstUnitTexts : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
};

void TstUnitTexts::texts_data()
{
    QTest::addColumn<int>("caller");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("rate");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("text");
    auto R = [](const char* name, int caller, double a, double b, double rate, bool up, const char* text) {
        QTest::newRow(name) << caller << a << b << rate << up << QString::fromLatin1(text);
    };
    R("marker time 1000", MarkerTime, 1000, 0, 0, false, "1ns");
    R("marker time 12345678901234567", MarkerTime, 12345678901234567, 0, 0, false, "12345.678901234567s");
    R("row freq 1500", RowFreq, 1500, 0, 0, false, "1.5KHz");
    R("row freq 7e20", RowFreq, 7e20, 0, 0, false, "7e+11GHz");
    R("osc time 6258850", OscTime, 6258850, 0, 0, false, "6.2589us");
    R("osc freq 5691950", OscFreq, 5691950, 0, 0, false, "5.692MHz");
    R("osc freq 4577550", OscFreq, 4577550, 0, 0, false, "4.5775MHz");
    R("time/div 1500", TimeDiv, 1500, 0, 0, false, "1us");
    R("capture time 1445241774/40000", CaptureTime, 1445241774, 40000, 0, false, "36131.0443s");
    R("capture time 1000000/24000000", CaptureTime, 1000000, 24000000, 0, false, "41.6666667ms");
    R("typed time 7-0 at 0 down", TypedTime, 7, 0, 0, false, "###");
    R("typed time 1-0 at 24000000 up", TypedTime, 1, 0, 24000000, true, "0.000000041667");
    R("typed time 0-1 at 24000000 up", TypedTime, 0, 1, 24000000, true, "-0.000000041666");
}

void TstUnitTexts::texts()
{
    QFETCH(int, caller);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, rate);
    QFETCH(bool, up);
    QFETCH(QString, text);
    QCOMPARE(textOf(caller, a, b, rate, up), text);
}

QTEST_MAIN(TstUnitTexts)
#include "tst_unittexts.moc"
