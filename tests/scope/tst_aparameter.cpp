// Analog measurements on synthetic waveforms whose levels, crossings and
// periods are known by construction.
#include "oscref.h"

#include <QtTest>

#include <cmath>
#include <random>

Q_DECLARE_METATYPE(std::vector<short>)
Q_DECLARE_METATYPE(QVector<qint64>)

namespace {

enum { Vtop, Vbase, Vamp, Vpp, Vavg, Vrms, Period, Frequency, Rise, Fall, PosW, NegW, Duty };

struct Result {
    double v[SmpDataOsc::ParamNum];
    bool ok[SmpDataOsc::ParamNum];
};

Result measure(SmpDataOsc& s, int chn, double start, double len)
{
    Result r;
    s.getAParameterValues(chn, start, len, r.v, r.ok);
    return r;
}

// Trapezoid of a 1000-sample period from -300 to 300: low until 480, a
// 20-sample rise trunc(-300 + 31k), high from 500, a fall of `fall` samples
// trunc(300 - 620k / fall) from 1000 - fall; `phase` shifts the start. No
// ramp sample equals the thresholds (+-180) or the middle (0), so every
// crossing is where the arithmetic below puts it.
std::vector<short> trapezoid(int count, int phase = 0, int fall = 20)
{
    std::vector<short> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int p = (i + phase) % 1000;
        double c;
        if (p < 480)
            c = -300;
        else if (p < 500)
            c = -300 + 31 * (p - 480);
        else if (p < 1000 - fall)
            c = 300;
        else
            c = 300 - 620.0 * (p - (1000 - fall)) / fall;
        v[size_t(i)] = short(std::trunc(c));
    }
    return v;
}

const OscRange range{1000, 480, 0};

double mvOf(double code)
{
    return refMv(range, code);
}

} // namespace

class TstAParameter : public QObject {
    Q_OBJECT
private slots:
    void constantSignal();
    void squareWave_data();
    void squareWave();
    void leadingFallingPair();
    void rmsAndAverageOverWholePeriods();
    void window_data();
    void window();
    void binBorders_data();
    void binBorders();
    void topBinPruning_data();
    void topBinPruning();
    void narrowSignalGivesVoltagesOnly();
    void crossingList_data();
    void crossingList();
    void crossingAtRecordEnd();
    void thresholdHits_data();
    void thresholdHits();
    void instantEdges_data();
    void instantEdges();
    void demoSineOverOffsets();
    void noisySineSweep();
    void levelsForAutoScale();
};

void TstAParameter::constantSignal()
{
    std::vector<short> v(2000, 144);
    OscRange r{500, 480, 100};
    auto s = makeStore(&v, nullptr, r);
    const Result m = measure(*s, 0, 0, 2000);
    const double level = refMv(r, 144);
    for (int i : {Vtop, Vbase, Vamp, Vpp, Vavg})
        QVERIFY(m.ok[i]);
    QCOMPARE(m.v[Vtop], level);
    QCOMPARE(m.v[Vbase], level);
    QCOMPARE(m.v[Vamp], 0.0);
    QCOMPARE(m.v[Vpp], 0.0);
    QCOMPARE(m.v[Vavg], level);
    for (int i = Vrms; i <= Duty; ++i)
        QVERIFY(!m.ok[i]);
}

void TstAParameter::squareWave_data()
{
    QTest::addColumn<int>("len");
    QTest::addColumn<int>("periodSamples");
    QTest::newRow("one whole period") << 1600 << 1001;
    QTest::newRow("two periods") << 2600 << 1000;
    QTest::newRow("many periods") << 20000 << 1000;
}

void TstAParameter::squareWave()
{
    QFETCH(int, len);
    QFETCH(int, periodSamples);
    const long long rate = 50000000;
    const std::vector<short> v = trapezoid(30000);
    auto s = makeStore(&v, nullptr, range, range, rate);
    const Result m = measure(*s, 0, 0, len);
    for (int i = 0; i < SmpDataOsc::ParamNum; ++i)
        QVERIFY2(m.ok[i], qPrintable(QString::number(i)));
    QCOMPARE(m.v[Vtop], mvOf(300));
    QCOMPARE(m.v[Vbase], mvOf(-300));
    QCOMPARE(m.v[Vamp], 2 * mvOf(300));
    QCOMPARE(m.v[Vpp], 600 * 5000.0 / 480);
    const double ps = 1e12 / rate;
    QCOMPARE(m.v[Period], periodSamples * ps);
    QCOMPARE(m.v[Frequency], double(rate) / periodSamples);
    // Thresholds at +-180 codes: crossed at 484 and 496 rising (-176, 196),
    // at 984 and 996 falling.
    QCOMPARE(m.v[Rise], 12 * ps);
    QCOMPARE(m.v[Fall], 12 * ps);
    // The middle (0) is crossed at 490 and 990 of each period.
    QCOMPARE(m.v[PosW], 500 * ps);
    QCOMPARE(m.v[NegW], 500 * ps);
    QCOMPARE(m.v[Duty], 50.0);
}

void TstAParameter::leadingFallingPair()
{
    // Starts on the high level; rise 20 samples, fall 60, so the two times
    // can only match when each comes from the right kind of edge.
    const long long rate = 1000000;
    const std::vector<short> v = trapezoid(5000, 600, 60);
    auto s = makeStore(&v, nullptr, range, range, rate);
    const QVector<qint64> L = SmpDataOsc::getPeriodSubA(v.data(), 5000, 180, -180);
    QVERIFY(L.size() >= 6);
    QVERIFY(v[size_t(L[0])] <= 180 && v[size_t(L[1])] <= -180);   // a falling pair first
    QVERIFY(L[0] > 0);
    const double ps = 1e12 / rate;
    for (double len : {1500.0, 2600.0, 4900.0}) {
        const Result m = measure(*s, 0, 0, len);
        QVERIFY(m.ok[Rise] && m.ok[Fall]);
        QCOMPARE(m.v[Rise], 12 * ps);
        QCOMPARE(m.v[Fall], 35 * ps);   // 176 at k = 12, -185 at k = 47
    }
}

void TstAParameter::rmsAndAverageOverWholePeriods()
{
    const long long rate = 1000000;
    const std::vector<short> v = trapezoid(8000, 0, 100);
    OscRange r{200, 320, -150};
    auto s = makeStore(&v, nullptr, r, r, rate);
    const Result m = measure(*s, 0, 0, 3700);
    QVERIFY(m.ok[Vavg] && m.ok[Vrms]);
    // Thresholds +-180: rising pairs start at 484; three whole periods lie in
    // the window, so the sums run over 484 .. 3484 inclusive.
    double sum = 0;
    double sq = 0;
    for (int i = 484; i <= 3484; ++i) {
        sum += v[size_t(i)];
        const double t = std::trunc(double(v[size_t(i)]) * 200 * 5 / 320) - 200 * -150 / 100.0;
        sq += t * t;
    }
    QCOMPARE(m.v[Vavg], refMv(r, sum / 3001));
    QCOMPARE(m.v[Vrms], std::sqrt(sq / 3001));
    QCOMPARE(m.v[Period], 1000 * 1e6);
}

void TstAParameter::window_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("len");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("avgCode");
    QTest::newRow("19.9 samples") << 0.0 << 19.9 << false << 0.0;
    QTest::newRow("20 from -15 keeps 5") << -15.0 << 20.0 << true << 100.0;
    QTest::newRow("20.5 from -15.5 keeps 5") << -15.5 << 20.5 << true << 100.0;
    QTest::newRow("21 from -20 keeps 1") << -20.0 << 21.0 << false << 0.0;
    QTest::newRow("20 from 0") << 0.0 << 20.0 << true << (5 * 100.0 - 15 * 100.0) / 20;
    QTest::newRow("cut at the record end") << 990.0 << 1e9 << true << -100.0;
    QTest::newRow("one sample left") << 999.0 << 50.0 << false << 0.0;
    QTest::newRow("past the end") << 5000.0 << 50.0 << false << 0.0;
    QTest::newRow("NaN start") << std::nan("") << 50.0 << false << 0.0;
    QTest::newRow("NaN length") << 0.0 << std::nan("") << false << 0.0;
}

void TstAParameter::window()
{
    QFETCH(double, start);
    QFETCH(double, len);
    QFETCH(bool, valid);
    QFETCH(double, avgCode);
    std::vector<short> v(1000, -100);
    std::fill(v.begin(), v.begin() + 5, short(100));
    auto s = makeStore(&v, nullptr, range);
    const Result m = measure(*s, 0, start, len);
    QCOMPARE(m.ok[Vavg], valid);
    if (valid)
        QCOMPARE(m.v[Vavg], mvOf(avgCode));
    // No block, a channel beyond the store: nothing.
    QVERIFY(!measure(*s, 1, 0, 500).ok[Vavg]);
    QVERIFY(!measure(*s, 7, 0, 500).ok[Vavg]);
}

void TstAParameter::binBorders_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<bool>("sameBin");
    QTest::newRow("-12 | -11: bins 49, 50") << -12 << -11 << false;
    QTest::newRow("-11 .. 11: bin 50") << -11 << 11 << true;
    QTest::newRow("11 | 12: bins 50, 51") << 11 << 12 << false;
    QTest::newRow("12 .. 23: bin 51") << 12 << 23 << true;
    QTest::newRow("-23 .. -12: bin 49") << -23 << -12 << true;
    QTest::newRow("-24 | -23: bins 48, 49") << -24 << -23 << false;
    QTest::newRow("far ends share bin 99") << 700 << 32000 << true;
    QTest::newRow("far ends share bin 0") << -32000 << -700 << true;
}

void TstAParameter::binBorders()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(bool, sameBin);
    // Half the samples at a, half at b: two bins give Vpp = b - a, one bin 0.
    std::vector<short> v(200, short(a));
    std::fill(v.begin() + 100, v.end(), short(b));
    auto s = makeStore(&v, nullptr, range);
    const Result m = measure(*s, 0, 0, 200);
    QVERIFY(m.ok[Vpp]);
    QCOMPARE(m.v[Vpp], sameBin ? 0.0 : (b - a) * 5000.0 / 480);
}

void TstAParameter::topBinPruning_data()
{
    QTest::addColumn<std::vector<short>>("codes");
    QTest::addColumn<int>("topCode");
    std::vector<short> one(500, 480);            // bin 90
    one.push_back(588);                          // bin 99, one sample
    one.insert(one.end(), 500, short(-480));     // bin 10
    QTest::newRow("99 (1) against 90 (500): 90") << one << 480;
    std::vector<short> two = one;
    two.push_back(540);                          // bin 95
    two.push_back(540);
    QTest::newRow("99 (1), 95 (2), 90 (500): 99") << two << 588;
    std::vector<short> three(400, 480);
    three.insert(three.end(), 134, short(588));  // 3 x 134 > 400
    three.insert(three.end(), 500, short(-480));
    QTest::newRow("99 (134) against 90 (400): 99") << three << 588;
}

void TstAParameter::topBinPruning()
{
    QFETCH(std::vector<short>, codes);
    QFETCH(int, topCode);
    auto s = makeStore(&codes, nullptr, range);
    const Result m = measure(*s, 0, 0, double(codes.size()));
    QVERIFY(m.ok[Vtop]);
    QCOMPARE(m.v[Vtop], mvOf(topCode));
    QCOMPARE(m.v[Vbase], mvOf(-480));
    QCOMPARE(m.v[Vpp], (588 + 480) * 5000.0 / 480);   // the extremes, not the levels
}

void TstAParameter::narrowSignalGivesVoltagesOnly()
{
    // A square wave of 9 bins (codes 0 and 108) has levels but no time values.
    std::vector<short> v(4000);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = (i / 100) % 2 ? 108 : 0;
    auto s = makeStore(&v, nullptr, range);
    const Result m = measure(*s, 0, 0, 4000);
    for (int i = Vtop; i <= Vavg; ++i)
        QVERIFY(m.ok[i]);
    for (int i = Vrms; i <= Duty; ++i)
        QVERIFY(!m.ok[i]);
    QCOMPARE(m.v[Vavg], mvOf(54));
    // One bin further (codes 0 and 120) the time values appear.
    for (auto& c : v)
        c = c ? 120 : 0;
    auto t = makeStore(&v, nullptr, range);
    QVERIFY(measure(*t, 0, 0, 4000).ok[Period]);
}

void TstAParameter::crossingList_data()
{
    QTest::addColumn<std::vector<short>>("data");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::addColumn<QVector<qint64>>("expected");
    QTest::newRow("two pulses, end trimmed")
        << std::vector<short>{0, 0, 10, 10, 0, 0, 10, 10, 0} << 8 << 2
        << QVector<qint64>{2, 2, 4, 4, 6, 6, 8, 8};
    QTest::newRow("slow edges, the record ending inside a rise adds nothing")
        << std::vector<short>{0, 1, 3, 5, 9, 10, 9, 5, 1, 0, 0, 3} << 8 << 2
        << QVector<qint64>{2, 4, 7, 8};
    QTest::newRow("a sample on the high threshold ends the rise and starts the fall")
        << std::vector<short>{0, 8, 8, 0, 0} << 8 << 2 << QVector<qint64>{1, 1, 1, 3};
    QTest::newRow("a rise leaving from a sample on the low threshold starts there")
        << std::vector<short>{10, 2, 0, 2, 10, 10, 2} << 8 << 2 << QVector<qint64>{1, 1, 3, 4, 6, 6};
    QTest::newRow("a leading fall through a sample on the high threshold starts there")
        << std::vector<short>{10, 8, 5, 2, 0, 9, 9, 0} << 8 << 2 << QVector<qint64>{1, 3, 5, 5, 7, 7};
    QTest::newRow("noise back across a threshold adds no pair")
        << std::vector<short>{0, 3, 1, 3, 9, 7, 9, 3, 1, 3, 0} << 8 << 2 << QVector<qint64>{3, 4, 7, 8};
    QTest::newRow("never below low") << std::vector<short>{5, 6, 7, 8} << 8 << 2
                                     << QVector<qint64>{};
    QTest::newRow("starts high: leading falling pair")
        << std::vector<short>{10, 10, 5, 1, 0, 10, 10, 0} << 8 << 2
        << QVector<qint64>{2, 3, 5, 5, 7, 7};
    QTest::newRow("starts between: no leading pair")
        << std::vector<short>{5, 5, 1, 9, 9, 1, 1} << 8 << 2
        << QVector<qint64>{3, 3, 5, 5};
    QTest::newRow("noise at the record end adds no pair")
        << std::vector<short>{0, 9, 0, 4, 5} << 8 << 2
        << QVector<qint64>{1, 1, 2, 2};
    QTest::newRow("equal thresholds end") << std::vector<short>{5, 5, 5} << 5 << 5
                                          << QVector<qint64>{};
}

void TstAParameter::crossingList()
{
    QFETCH(std::vector<short>, data);
    QFETCH(int, high);
    QFETCH(int, low);
    QFETCH(QVector<qint64>, expected);
    QCOMPARE(SmpDataOsc::getPeriodSubA(data.data(), qint64(data.size()), high, low), expected);
}

void TstAParameter::crossingAtRecordEnd()
{
    // A full block whose record ends inside a slow rise that crosses the low
    // threshold (at 50480) and never reaches the high one: that rise is no
    // pair, so the period and widths come from the whole pulses before it.
    const int cnt = AnalogChnData::Capacity;
    std::vector<short> v(static_cast<size_t>(cnt), -300);
    std::fill(v.begin() + 10000, v.begin() + 30000, short(300));
    std::fill(v.begin() + 40000, v.begin() + 45000, short(300));
    for (int i = 50000; i < cnt; ++i)
        v[size_t(i)] = short(-300 + (i - 50000) / 4);
    auto s = makeStore(&v, nullptr, range);
    QCOMPARE(SmpDataOsc::getPeriodSubA(v.data(), cnt, 180, -180),
             QVector<qint64>({10000, 10000, 30000, 30000, 40000, 40000, 45000, 45000}));
    const Result m = measure(*s, 0, 0, cnt);
    QVERIFY(m.ok[Period] && m.ok[PosW] && m.ok[NegW]);
    QCOMPARE(m.v[Period], double(40000 - 10000 + 1) * 1e6);
    QCOMPARE(m.v[PosW], 20000 * 1e6);
    QCOMPARE(m.v[NegW], 10000 * 1e6);
}

// A period of 1000 samples between -300 and 300 with ramps of `step` codes
// per sample, the high part `highLen` samples long; `phase` shifts the start.
std::vector<short> stepTrapezoid(int count, int step, int highLen, int phase)
{
    const int ramp = 600 / step;
    const int lowLen = 1000 - highLen - 2 * ramp;
    std::vector<short> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        int p = (i + phase) % 1000;
        int c = 300;
        if (p < lowLen)
            c = -300;
        else if ((p -= lowLen) < ramp)
            c = -300 + step * p;
        else if ((p -= ramp) < highLen)
            c = 300;
        else
            c = 300 - step * (p - highLen);
        v[size_t(i)] = short(c);
    }
    return v;
}

void TstAParameter::thresholdHits_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("highLen");
    QTest::addColumn<int>("phase");
    // The thresholds lie at +-180 codes, the middle at 0.
    QTest::newRow("step 30 hits both thresholds") << 30 << 500 << 0;
    QTest::newRow("step 20 hits both, short pulse") << 20 << 200 << 0;
    QTest::newRow("step 40 hits both, long pulse") << 40 << 700 << 300;
    QTest::newRow("step 60, starting high") << 60 << 500 << 600;
    QTest::newRow("step 120, starting on a fall") << 120 << 400 << 995;
    QTest::newRow("step 50 hits neither") << 50 << 500 << 0;
}

void TstAParameter::thresholdHits()
{
    // Captures whose integer ramps land on the thresholds. The reference
    // walks one rising and one falling ramp of the first whole period: a pair
    // runs from the first sample at or past its first threshold to the first
    // at or past the second; a width runs between the first samples at or
    // past the middle.
    QFETCH(int, step);
    QFETCH(int, highLen);
    QFETCH(int, phase);
    const int count = 6000;
    const std::vector<short> v = stepTrapezoid(count, step, highLen, phase);
    const int high = int(0.8 * 300 + 0.2 * -300);
    const int low = int(0.2 * 300 + 0.8 * -300);
    const int mid = (high + low) / 2;
    // The first rise and the first fall after a whole low part.
    int rise = -1;
    int fall = -1;
    for (int i = 1; i < count && (rise < 0 || fall < 0); ++i) {
        if (rise < 0 && v[size_t(i - 1)] == -300 && v[size_t(i)] > -300)
            rise = i;
        if (rise >= 0 && fall < 0 && v[size_t(i - 1)] == 300 && v[size_t(i)] < 300)
            fall = i;
    }
    QVERIFY(rise > 0 && fall > rise);
    auto first = [&v](int from, auto pred) {
        while (!pred(v[size_t(from)]))
            ++from;
        return from;
    };
    const int riseTime = first(rise - 1, [&](int c) { return c >= high; }) - first(rise - 1, [&](int c) { return c >= low; });
    const int fallTime = first(fall - 1, [&](int c) { return c <= low; }) - first(fall - 1, [&](int c) { return c <= high; });
    const int posWidth = first(fall - 1, [&](int c) { return c <= mid; }) - first(rise - 1, [&](int c) { return c >= mid; });

    const long long rate = 10000000;
    auto s = makeStore(&v, nullptr, range, range, rate);
    const Result m = measure(*s, 0, 0, count);
    for (int i = Vrms; i <= Duty; ++i)
        QVERIFY2(m.ok[i], qPrintable(QString::number(i)));
    const double ps = 1e12 / rate;
    QCOMPARE(m.v[Period], 1000 * ps);
    QCOMPARE(m.v[Frequency], rate / 1000.0);
    QCOMPARE(m.v[Rise], riseTime * ps);
    QCOMPARE(m.v[Fall], fallTime * ps);
    QCOMPARE(m.v[PosW], posWidth * ps);
    QCOMPARE(m.v[NegW], (1000 - posWidth) * ps);
    QCOMPARE(m.v[Duty], posWidth / 10.0);
    QVERIFY(riseTime < 600 / step && fallTime < 600 / step);
}

void TstAParameter::instantEdges_data()
{
    QTest::addColumn<int>("highLen");
    QTest::addColumn<int>("phase");
    QTest::newRow("30 % high") << 300 << 123;
    QTest::newRow("80 % high, starting high") << 800 << 900;
}

void TstAParameter::instantEdges()
{
    // A square of 1000 samples a period, every edge between two samples.
    QFETCH(int, highLen);
    QFETCH(int, phase);
    std::vector<short> v(12000);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = (int(i) + phase) % 1000 >= 1000 - highLen ? 300 : -300;
    auto s = makeStore(&v, nullptr, range);   // 1 us a sample
    const Result m = measure(*s, 0, 0, 12000);
    QVERIFY(m.ok[PosW] && m.ok[NegW] && m.ok[Duty]);
    QCOMPARE(m.v[PosW], highLen * 1e6);
    QCOMPARE(m.v[NegW], (1000 - highLen) * 1e6);
    QCOMPARE(m.v[Duty], highLen / 10.0);
    QVERIFY(!m.ok[Rise] && !m.ok[Fall]);   // faster than a sample: no time rather than 0 s
}

void TstAParameter::demoSineOverOffsets()
{
    // The demo generator's sine: 5.8 periods in 20480 samples at 2.048 MHz
    // (580 Hz), a little noise on the amplitude, its mean on the zero line.
    SmpDataOsc s(2, 16);
    for (int k = 0; k < 300; ++k) {
        const int vd[2] = {k % 3 ? 1000 : 20, 1000};
        const int hs[2] = {k % 3 ? 480 : 320, 480};
        const int off[2] = {k * 7 % 701 - 350, 0};
        const bool ena[2] = {true, false};
        QVERIFY(s.dataConvertStart(0, 2048000, vd, hs, off, ena));
        QVERIFY(s.dataConvertSimu(nullptr, 0, 0, 500, 20480));
        const Result m = measure(s, 0, 0, 20480);
        const QByteArray at = "offset " + QByteArray::number(off[0]) + ", mV/div " + QByteArray::number(vd[0]);
        QVERIFY2(m.ok[Frequency] && std::fabs(m.v[Frequency] / 580 - 1) <= 0.01, at);
        QVERIFY2(m.ok[Vavg] && std::fabs(m.v[Vavg]) <= 0.05 * vd[0], at);
    }
}

void TstAParameter::noisySineSweep()
{
    // Sines of +-300 codes with a random period and phase, uniform noise of
    // three sizes: noise at the record's end must not end a period.
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<int> periodOf(700, 1600);
    std::uniform_real_distribution<double> phaseOf(0, 2 * M_PI);
    std::vector<short> v(12000);
    for (int noise : {15, 30, 45}) {
        std::uniform_int_distribution<int> noiseOf(-noise, noise);
        for (int k = 0; k < 1000; ++k) {
            const int period = periodOf(rng);
            const double phase = phaseOf(rng);
            for (size_t i = 0; i < v.size(); ++i)
                v[i] = short(std::lround(300 * std::sin(2 * M_PI * double(i) / period + phase)) + noiseOf(rng));
            auto s = makeStore(&v, nullptr, range);   // 1 MHz
            const Result m = measure(*s, 0, 0, double(v.size()));
            const QByteArray at = "noise " + QByteArray::number(noise) + ", capture " + QByteArray::number(k);
            QVERIFY2(m.ok[Frequency] && std::fabs(m.v[Frequency] * period / 1e6 - 1) <= 0.01, at);
            QVERIFY2(m.ok[Vavg] && std::fabs(m.v[Vavg]) <= 20, at);
        }
    }
}

void TstAParameter::levelsForAutoScale()
{
    const std::vector<short> v = trapezoid(5000);
    OscRange r{500, 480, 200};
    auto s = makeStore(&v, &v, r, range);
    measure(*s, 1, 0, 5000);
    QCOMPARE(s->levelHigh[1], mvOf(300));
    QCOMPARE(s->levelLow[1], mvOf(-300));
    QCOMPARE(s->levelHigh[0], 0.0);
    measure(*s, 0, 0, 5000);
    QCOMPARE(s->levelHigh[0], refMv(r, 300));
    QCOMPARE(s->levelLow[0], refMv(r, -300));
}

QTEST_APPLESS_MAIN(TstAParameter)
#include "tst_aparameter.moc"
