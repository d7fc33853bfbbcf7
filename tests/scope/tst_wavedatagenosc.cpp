// The analog trace generator on a mixed-signal device object: samples per
// pixel and offsets from the time base, columns, measurements and math of the
// displayed store, and the auto-scale passes.
#include "devobj/devtesthelp.h"
#include "oscref.h"

#include "device/dev7329.h"
#include "scope/wavedatagenosc.h"

#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// Fills the displayed store of the device: per channel its codes, range and rate.
void fillDisplayed(Dev7329& d, const std::vector<short>* ch0, const std::vector<short>* ch1, long long rate,
                   int trg, OscRange r0 = OscRange(), OscRange r1 = OscRange())
{
    const SmpDataOscPtr s = d.displayedSmpDataOsc();
    const int vd[2] = {r0.voltDiv, r1.voltDiv};
    const int hs[2] = {r0.halfScreenCodes, r1.halfScreenCodes};
    const int off[2] = {r0.offset, r1.offset};
    const bool ena[2] = {ch0 != nullptr, ch1 != nullptr};
    s->dataConvertStart(trg, rate, vd, hs, off, ena);
    const std::vector<short>* src[2] = {ch0, ch1};
    for (int c = 0; c < 2; ++c) {
        if (!src[c])
            continue;
        AnalogChnData* b = s->chnData[size_t(c)];
        b->smpCount = int(src[c]->size());
        b->trgPosition = trg;
        std::copy(src[c]->begin(), src[c]->end(), b->data);
    }
}

SmpDataOscPtr displayed(Dev7329& d)
{
    return d.displayedSmpDataOsc();
}

// A square of the given period between +code and -code, one sample at 0 on each edge.
std::vector<short> square(int count, int period, int code)
{
    std::vector<short> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        v[size_t(i)] = short(i % (period / 2) == 0 ? 0 : (i / (period / 2)) % 2 ? code : -code);
    return v;
}

} // namespace

class TstWaveDataGenOsc : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void samplesPerPixelFromWidth();
    void zoomFirstCentresTrigger();
    void zoomKeepsSampleUnderMouse();
    void moveToMovesAllChannels();
    void channelIndexes();
    void widthOfZeroOrLess_data();
    void widthOfZeroOrLess();
    void genDataUsesDisplayedStore();
    void mathTrace_data();
    void mathTrace();
    void autoScaleWithoutChannel();
    void autoScaleVoltDiv_data();
    void autoScaleVoltDiv();
    void autoScaleTimeDiv_data();
    void autoScaleTimeDiv();
    void autoScaleRun();

private:
    std::unique_ptr<Dev7329> dev;
    std::unique_ptr<WaveDataGenOsc> gen;
};

void TstWaveDataGenOsc::init()
{
    devtest::resetSettings();
    dev = std::make_unique<Dev7329>();
    devUsing = dev.get();
    gen = std::make_unique<WaveDataGenOsc>();
    QCOMPARE(WaveDataGenOsc::me, gen.get());
    gen->devModelChanged();
}

void TstWaveDataGenOsc::cleanup()
{
    gen.reset();
    QCOMPARE(WaveDataGenOsc::me, nullptr);
    devUsing = nullptr;
    dev.reset();
}

void TstWaveDataGenOsc::samplesPerPixelFromWidth()
{
    const std::vector<short> v(20000, 0);
    fillDisplayed(*dev, &v, nullptr, 1000000, 0);
    dev->setATimeDivIndex(6);   // 1000 ns
    QSignalSpy refresh(gen.get(), &WaveDataGenOsc::sigViewRefreshOsc);
    gen->setViewWidth(500);
    QCOMPARE(gen->smpPerPixel[0], 0.02);   // (10^6 x 1000 div 500) x 1e-8
    QCOMPARE(gen->smpPerPixel[1], 0.0);    // no block: rate 0
    QCOMPARE(refresh.count(), 1);
    QCOMPARE(gen->viewWidth, 500);
    // The integer division truncates: 10^6 x 1000 div 300 = 3333333.
    gen->setViewWidth(300);
    QCOMPARE(gen->smpPerPixel[0], 3333333 * 1e-8);
}

void TstWaveDataGenOsc::zoomFirstCentresTrigger()
{
    std::vector<short> v(20000);
    for (int i = 0; i < 20000; ++i)
        v[size_t(i)] = short(i - 10000);
    fillDisplayed(*dev, &v, &v, 1000000, 7000);
    dev->setATimeDivIndex(6);
    QVERIFY(dev->setATrgPercent(500));
    gen->setViewWidth(500);
    gen->zoomFirst();
    QCOMPARE(gen->smpPerPixel[0], 0.02);
    // The trigger sample is drawn in the middle column.
    WaveLineA* lines = nullptr;
    const int n = gen->getData(0, &lines);
    QVERIFY(n > 0 && lines);
    const double trgMv = refMv(OscRange(), 7000 - 10000);
    int at = -1;
    for (int j = 0; j < n; ++j)
        if (lines[j].single && lines[j].low == trgMv)
            at = lines[j].x;
    QCOMPARE(at, 250);
    // At 100 per mille it sits at a tenth of the width.
    QVERIFY(dev->setATrgPercent(100));
    gen->zoomFirst();
    QCOMPARE((7000 - gen->smpOffset[1]) / gen->smpPerPixel[1], 50.0);
}

void TstWaveDataGenOsc::zoomKeepsSampleUnderMouse()
{
    const std::vector<short> v(20000, 0);
    fillDisplayed(*dev, &v, nullptr, 10000000, 5000);
    dev->setATimeDivIndex(8);   // 5000 ns
    gen->setViewWidth(400);
    gen->zoomFirst();
    const double under = gen->smpOffset[0] + 123 * gen->smpPerPixel[0];
    dev->setATimeDivIndex(7);
    gen->zoom(123);
    QCOMPARE(gen->smpPerPixel[0], double(10000000LL * 2000 / 400) * 1e-8);
    QCOMPARE(gen->smpOffset[0] + 123 * gen->smpPerPixel[0], under);
    const double centre = gen->smpOffset[0] + 200 * gen->smpPerPixel[0];
    dev->setATimeDivIndex(10);
    gen->zoomChangedByTimediv();
    QCOMPARE(gen->smpOffset[0] + 200 * gen->smpPerPixel[0], centre);
}

void TstWaveDataGenOsc::moveToMovesAllChannels()
{
    const std::vector<short> a(20000, 0);
    const std::vector<short> b(10000, 0);
    fillDisplayed(*dev, &a, &b, 1000000, 0);
    displayed(*dev)->chnData[1]->smpFrequ = 500000;   // a second rate
    dev->setATimeDivIndex(9);
    gen->setViewWidth(500);
    gen->zoomFirst();
    const double spp0 = gen->smpPerPixel[0];
    const double spp1 = gen->smpPerPixel[1];
    QCOMPARE(spp1, spp0 / 2);
    const double before1 = gen->smpOffset[1];
    gen->moveTo(0, 1234.0);
    QCOMPARE(gen->smpOffset[0], 1234.0);
    const double pixels = (1234.0 - (0 - 500 * 1e6 * 10000 * 1e-8 / 1000)) / spp0;
    QCOMPARE(gen->smpOffset[1], before1 + pixels * spp1);
    gen->moveOffset(10);
    QCOMPARE(gen->smpOffset[0], 1234.0 - 10 * spp0);
}

void TstWaveDataGenOsc::channelIndexes()
{
    WaveLineA* lines = nullptr;
    QCOMPARE(gen->getData(2, &lines), -1);
    QCOMPARE(gen->getData(-1, &lines), -1);
    QCOMPARE(gen->getData(1, &lines), 0);
    double* values = nullptr;
    bool* valid = nullptr;
    QCOMPARE(WaveDataGenOsc::getParameterValuesA(1, &values, &valid), 13);
    QVERIFY(values && valid);
    QCOMPARE(WaveDataGenOsc::getParameterValuesA(2, &values, &valid), 0);
}

void TstWaveDataGenOsc::widthOfZeroOrLess_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("0") << 0;
    QTest::newRow("-7") << -7;
}

void TstWaveDataGenOsc::widthOfZeroOrLess()
{
    QFETCH(int, width);
    const std::vector<short> v(1000, 5);
    fillDisplayed(*dev, &v, &v, 1000000, 10);
    dev->aMathEna = true;
    gen->setViewWidth(width);
    QCOMPARE(gen->viewWidth, 0);
    QCOMPARE(gen->smpPerPixel[0], 0.0);
    gen->zoomFirst();
    gen->zoom(3);
    gen->zoomChangedByTimediv();
    gen->moveTo(0, 5);
    WaveLineA* lines = nullptr;
    QCOMPARE(gen->getData(0, &lines), 0);
    QCOMPARE(gen->getMathData(&lines), 0);
    QVERIFY(std::isfinite(gen->smpOffset[0]));
}

void TstWaveDataGenOsc::genDataUsesDisplayedStore()
{
    const std::vector<short> a = square(20000, 400, 200);
    std::vector<short> b(15000);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = short(std::lround(150 * std::sin(double(i) * 0.003)));
    OscRange r1{200, 480, 100};
    fillDisplayed(*dev, &a, &b, 2000000, 3000, OscRange(), r1);
    dev->setATimeDivIndex(11);   // 50 us: 1000 samples over the grid
    gen->setViewWidth(640);
    gen->zoomFirst();
    const SmpDataOscPtr s = displayed(*dev);
    for (int ch = 0; ch < 2; ++ch) {
        std::vector<WaveLineA> want(640);
        const int n = s->getAWaveLineData(ch, gen->smpOffset[ch], gen->smpPerPixel[ch], 640, want.data());
        WaveLineA* got = nullptr;
        QCOMPARE(gen->getData(ch, &got), n);
        QVERIFY(n > 0);
        for (int j = 0; j < n; ++j) {
            QCOMPARE(got[j].x, want[size_t(j)].x);
            QCOMPARE(got[j].high, want[size_t(j)].high);
            QCOMPARE(got[j].low, want[size_t(j)].low);
        }
        double v[13];
        bool ok[13];
        s->getAParameterValues(ch, gen->smpOffset[ch], 640 * gen->smpPerPixel[ch], v, ok);
        double* gv = nullptr;
        bool* gok = nullptr;
        QCOMPARE(WaveDataGenOsc::getParameterValuesA(ch, &gv, &gok), 13);
        for (int i = 0; i < 13; ++i) {
            QCOMPARE(gok[i], ok[i]);
            if (ok[i])
                QCOMPARE(gv[i], v[i]);
        }
    }
    double* gv = nullptr;
    bool* gok = nullptr;
    WaveDataGenOsc::getParameterValuesA(0, &gv, &gok);
    QVERIFY(gok[6]);
    QCOMPARE(gv[6], 400 * 1e12 / 2000000);   // the square's period
    // The other store is not read.
    dev->toggleSmpData();
    gen->genData();
    WaveLineA* got = nullptr;
    QCOMPARE(gen->getData(0, &got), 0);
}

void TstWaveDataGenOsc::mathTrace_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("signA");
    QTest::addColumn<int>("signB");
    QTest::newRow("CH1 + CH2") << 0 << 1 << 1;
    QTest::newRow("CH1 - CH2") << 1 << 1 << -1;
    QTest::newRow("CH2 - CH1") << 2 << -1 << 1;
}

void TstWaveDataGenOsc::mathTrace()
{
    QFETCH(int, op);
    QFETCH(int, signA);
    QFETCH(int, signB);
    std::vector<short> a(5000);
    std::vector<short> b(5000);
    for (int i = 0; i < 5000; ++i) {
        a[size_t(i)] = short(i % 300 - 150);
        b[size_t(i)] = short((i * 7) % 200 - 100);
    }
    OscRange ra{1000, 480, 0};
    OscRange rb{500, 480, -100};
    fillDisplayed(*dev, &a, &b, 1000000, 2500, ra, rb);
    dev->setATimeDivIndex(5);   // 500 ns: 5 samples over 500 pixels
    dev->aMathEna = true;
    dev->aMathOperator = op;
    gen->setViewWidth(500);
    gen->zoomFirst();
    WaveLineA* m = nullptr;
    const int n = gen->getMathData(&m);
    QVERIFY(n > 0 && m);
    const int first = int(gen->smpOffset[0]);
    for (int j = 0; j < n; ++j) {
        const int i = first + j;
        const double want = signA * refMv(ra, a[size_t(i)]) + signB * refMv(rb, b[size_t(i)]);
        QVERIFY2(std::abs(m[j].low - want) < 1e-6, qPrintable(QString::number(j)));
    }
    // Operators of channel pairs the model does not have draw nothing.
    for (int bad : {-1, -5, 3, 7}) {
        dev->aMathOperator = bad;
        gen->genData();
        QCOMPARE(gen->getMathData(&m), 0);
    }
    dev->aMathEna = false;
}

void TstWaveDataGenOsc::autoScaleWithoutChannel()
{
    dev->setAChnEna(QVector<bool>{false, false});
    gen->setViewWidth(500);
    QSignalSpy refresh(gen.get(), &WaveDataGenOsc::sigViewRefreshOsc);
    WaveDataGenOsc::setAutoScaleStart();
    QCOMPARE(gen->autoScaleState, 4);
    QCOMPARE(refresh.count(), 1);
    dev->smpStartMode = SmpStartAuto;
    gen->genData();
    QCOMPARE(gen->autoScaleState, 4);
}

void TstWaveDataGenOsc::autoScaleVoltDiv_data()
{
    QTest::addColumn<int>("enabled");      // 1: channel 0 only, 2: both
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("low");
    QTest::addColumn<bool>("period");
    QTest::addColumn<int>("voltDiv");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("result");
    QTest::newRow("+-1000 mV alone") << 1 << 1000.0 << -1000.0 << true << 4 << 0 << 1;
    // Five divisions each: 2500 / 5 = 500 mV, centred on the upper half.
    QTest::newRow("+-1000 mV of two") << 2 << 1000.0 << -1000.0 << true << 4 << 250 << 1;
    // (405 / 0.8) / 10 = 50.6 -> 50 mV; the middle, 197.5 mV, is 3.95 divisions up.
    QTest::newRow("0..400 mV alone") << 1 << 400.0 << -5.0 << true << 1 << -395 << 1;
    QTest::newRow("tiny signal") << 1 << 3.0 << 0.0 << true << 0 << -7 << 1;
    QTest::newRow("too large") << 1 << 30000.0 << -30000.0 << true << 6 << 0 << 1;
    QTest::newRow("no period at 100 ms") << 1 << 100.0 << -100.0 << false << 5 << 0 << 2;
}

void TstWaveDataGenOsc::autoScaleVoltDiv()
{
    QFETCH(int, enabled);
    QFETCH(double, high);
    QFETCH(double, low);
    QFETCH(bool, period);
    const std::vector<short> v(100, 0);
    dev->setAChnEna(QVector<bool>{true, enabled == 2});
    fillDisplayed(*dev, &v, enabled == 2 ? &v : nullptr, 1000000, 0);
    gen->setViewWidth(500);
    WaveDataGenOsc::setAutoScaleStart();
    const SmpDataOscPtr s = displayed(*dev);
    s->levelHigh[0] = high;
    s->levelLow[0] = low;
    dev->setATimeDivIndex(period ? 9 : 21);   // 100 ms: no slower base to try
    gen->paramValid[6] = period;
    gen->paramValues[0] = 300;
    gen->paramValues[1] = -100;
    QTEST(gen->setAutoScaleVoltDiv(0), "result");
    QTEST(dev->aVoltDivIndex[0], "voltDiv");
    QTEST(dev->aChnOffset[0], "offset");
    if (period)
        QCOMPARE(dev->aTrgVolt[0], 100.0);
}

void TstWaveDataGenOsc::autoScaleTimeDiv_data()
{
    QTest::addColumn<double>("periodPs");
    QTest::addColumn<int>("timeDivBefore");
    QTest::addColumn<int>("timeDivAfter");
    QTest::addColumn<int>("state");
    // t = 210000 ns: the first entry above is 500000 ns.
    QTest::newRow("1 kHz") << 1e9 << 9 << 14 << 3;
    QTest::newRow("10 MHz") << 1e5 << 9 << 2 << 3;
    QTest::newRow("0.1 Hz") << 1e13 << 9 << 26 << 3;
    QTest::newRow("no period, 10 us") << 0.0 << 9 << 12 << 2;
    QTest::newRow("no period, 100 ms") << 0.0 << 21 << 4 << 4;
}

void TstWaveDataGenOsc::autoScaleTimeDiv()
{
    QFETCH(double, periodPs);
    QFETCH(int, timeDivBefore);
    const std::vector<short> v(100, 0);
    fillDisplayed(*dev, nullptr, &v, 1000000, 0);
    gen->setViewWidth(500);
    dev->setATimeDivIndex(4);
    QVERIFY(dev->setATrgPercent(300));
    dev->saveSmpCtrlSet();
    dev->setATimeDivIndex(timeDivBefore);
    gen->paramValid[13 + 6] = periodPs > 0;
    gen->paramValues[13 + 6] = periodPs;
    gen->paramValues[13 + 0] = 50;
    gen->paramValues[13 + 1] = 10;
    QTEST(gen->setAutoScaleTimeDiv(1), "state");
    QTEST(dev->timeDivIndex, "timeDivAfter");
    if (periodPs > 0) {
        QCOMPARE(dev->aTrgChn, 1);
        QCOMPARE(dev->aTrgVolt[1], 30.0);
    }
}

void TstWaveDataGenOsc::autoScaleRun()
{
    // One channel with a +-1000 mV, 1 kHz square at 10^6 samples/s; each
    // capture of the run ends in zoomFirst.
    const std::vector<short> v = square(20480, 1000, 96);
    dev->setAChnEna(QVector<bool>{true, false});
    dev->setATimeDivIndex(9);
    QVERIFY(dev->setATrgPercent(500));
    dev->saveSmpCtrlSet();
    gen->setViewWidth(500);
    WaveDataGenOsc::setAutoScaleStart();
    QCOMPARE(gen->autoScaleState, 0);
    QCOMPARE(gen->chnScaleState, (QVector<int>{0, -1}));
    dev->smpStartMode = SmpStartAuto;

    // No data yet: the step waits without a refresh.
    displayed(*dev)->clearData();
    QSignalSpy refresh(gen.get(), &WaveDataGenOsc::sigViewRefreshOsc);
    gen->zoomFirst();
    QCOMPARE(refresh.count(), 0);

    QVector<int> states;
    for (int capture = 0; capture < 12 && gen->autoScaleState != 3 && gen->autoScaleState != 4; ++capture) {
        fillDisplayed(*dev, &v, nullptr, 1000000, 10240);
        gen->zoomFirst();
        states << gen->autoScaleState;
    }
    QCOMPARE(gen->autoScaleState, 3);
    QVERIFY(states.contains(1) && states.contains(2));
    QCOMPARE(dev->aVoltDivIndex[0], 4);    // 500 mV
    QCOMPARE(dev->aChnOffset[0], 0);
    QCOMPARE(dev->timeDivList[dev->timeDivIndex], 500000LL);
    QCOMPARE(dev->aTrgChn, 0);
    QCOMPARE(gen->autoScaleChn, 0);
    QVERIFY(std::abs(dev->aTrgVolt[0]) < 1e-9);
}

QTEST_MAIN(TstWaveDataGenOsc)
#include "tst_wavedatagenosc.moc"
