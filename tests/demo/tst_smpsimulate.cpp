// The demo generator on its own: block timing, pattern periods, the run
// and its reports, stops, and a store that cannot grow.

#include "demotesthelp.h"

#include "device/dev7329.h"
#include "device/simuanalyzers.h"
#include "device/smpdataosc.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace demotest;

class TstSmpSimulate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void blockTime_data();
    void blockTime();
    void periodPoints_data();
    void periodPoints();
    void patternCycle();
    void singleCapture();
    void stoppedRepeatPass();
    void repeatRegenerates();
    void failedConversion();
    void finishedMeansEnded_data();
    void finishedMeansEnded();
    void analogTables();
    void analogCapture_data();
    void analogCapture();
    void analogSettingsDuringRepeat();

private:
    std::unique_ptr<DevBase> dev;
};

void TstSmpSimulate::init()
{
    resetSettings();
    DevBase::smpWorkerFactory = &makeWorker;
    dev.reset(DevBase::createDevice(0));
    devUsing = dev.get();
}

void TstSmpSimulate::cleanup()
{
    dev.reset();
    devUsing = nullptr;
    DevBase::smpWorkerFactory = nullptr;
#ifdef TAV_SMP_ALLOC_HOOK
    SmpData::setAllocBudget(-1);
#endif
}

void TstSmpSimulate::blockTime_data()
{
    QTest::addColumn<qint64>("depth");
    QTest::addColumn<qint64>("rate");
    QTest::addColumn<int>("ms");
    QTest::newRow("10M at 100MHz") << qint64(10000000) << qint64(100000000) << 100;
    QTest::newRow("1G at 1MHz") << qint64(1000000000) << qint64(1000000) << 2000;
    QTest::newRow("10M at 1MHz") << qint64(10000000) << qint64(1000000) << 100;
    QTest::newRow("100M at 1MHz") << qint64(100000000) << qint64(1000000) << 1000;
    // 1000 samples a block would be too few: the block grows until it holds enough.
    QTest::newRow("1K at 200MHz") << qint64(1000) << qint64(200000000) << 200;
    QTest::newRow("2M at 10KHz") << qint64(2000000) << qint64(10000) << 2000;
}

void TstSmpSimulate::blockTime()
{
    QFETCH(qint64, depth);
    QFETCH(qint64, rate);
    QFETCH(int, ms);
    QCOMPARE(SmpSimulate::getBlockTime(depth, rate), ms);
}

void TstSmpSimulate::periodPoints_data()
{
    QTest::addColumn<qint64>("depth");
    QTest::addColumn<qint64>("block");
    QTest::addColumn<int>("period");
    QTest::newRow("100K, 10M a block") << qint64(100000) << qint64(10000000) << 200;
    QTest::newRow("100K, 2M a block") << qint64(100000) << qint64(2000000) << 100;
    QTest::newRow("1G, 2M a block") << qint64(1000000000) << qint64(2000000) << 1000;
    QTest::newRow("1K, 40M a block") << qint64(1000) << qint64(40000000) << 820;
    QTest::newRow("20K, 20K a block") << qint64(20000) << qint64(20000) << 20;
    QTest::newRow("50K, 1M a block") << qint64(50000) << qint64(1000000) << 40;
}

void TstSmpSimulate::periodPoints()
{
    QFETCH(qint64, depth);
    QFETCH(qint64, block);
    QFETCH(int, period);
    QCOMPARE(SmpSimulate::getPeriodPoints(depth, block), period);
}

void TstSmpSimulate::patternCycle()
{
    // Seven patterns of base period 100: the periods grow by a quarter in six
    // steps and the seventh starts the cycle again.
    const QVector<int> cycle = {100, 125, 156, 195, 243, 303};
    QVector<int> seen;
    for (int k = 0; k < 7; ++k) {
        int* data = nullptr;
        const int n = SmpSimulate::genSimuData(&data, 1000, 100);
        QVERIFY(n >= 2 && n % 2 == 0);
        const int p = data[0] + data[1];
        QCOMPARE(n, 2 * ((1000 + p - 1) / p));
        for (int i = 0; i < n; i += 2) {
            QCOMPARE(data[i] + data[i + 1], p);
            QVERIFY(data[i] >= 2 && data[i] <= p - 2);
        }
        delete[] data;
        seen.append(p);
    }
    QCOMPARE(seen[6], seen[0]);
    const int start = cycle.indexOf(seen[0]);
    QVERIFY(start >= 0);
    for (int k = 0; k < 7; ++k)
        QCOMPARE(seen[k], cycle[(start + k) % 6]);
}

void TstSmpSimulate::singleCapture()
{
    QVERIFY(setRateDepth(dev.get(), 1000000, 200000));
    QVector<bool> ena(16, true);
    ena[5] = false;
    dev->setDChnEna(ena);
    DevRecorder rec(dev.get());
    auto& sta = rec.sta;
    auto& ready = rec.ready;
    dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(ready.contains(1), 20000);
    QTRY_VERIFY(!dev->smpRunning);
    QCoreApplication::processEvents();
    int done = 0, finals = 0;
    QVector<int> progress;
    for (auto const& s : sta) {
        done += s[0] == SmpStaDone;
        if (s[0] == SmpStaSampling)
            progress.append(s[2]);
    }
    for (auto const& r : ready)
        finals += r == 1;
    QCOMPARE(done, 1);
    QCOMPARE(finals, 1);
    QCOMPARE(sta.first()[0], int(SmpStaIdle));
    QCOMPARE(sta.last()[0], int(SmpStaDone));
    QCOMPARE(progress, QVector<int>({50, 100}));   // two blocks of 100000
    QCOMPARE(dev->smpError.load(), 0);

    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(s->smpCount, 200000LL);
    QVERIFY(!s->chnData[5]);
    for (int ch = 0; ch < 16; ++ch) {
        if (ch == 5)
            continue;
        QCOMPARE(s->chnData[size_t(ch)]->initLevel, ch % 2);
        const QVector<long long> e = edges(s, ch);
        QVERIFY(e.size() > 100);
        for (int i = 1; i < e.size(); ++i)
            QVERIFY(e[i] > e[i - 1] && e[i] < 200000);
    }
}

void TstSmpSimulate::stoppedRepeatPass()
{
    QVERIFY(setRateDepth(dev.get(), 1000000, 100000000));
    DevRecorder rec(dev.get());
    auto& sta = rec.sta;
    auto& ready = rec.ready;
    dev->smpStart(SmpStartRepeat);
    QTRY_VERIFY_WITH_TIMEOUT(sta.size() >= 2, 20000);   // a block is done
    dev->smpStopAndWait();
    QVERIFY(!dev->smpRunning);
    QCoreApplication::processEvents();
    // The pass was completed with keep false: nothing went on display.
    QCOMPARE(dev->displayedSmpData()->smpCount, 0LL);
    QCOMPARE(sta.last()[0], int(SmpStaDone));
    QCOMPARE(ready.last(), 1);
    QCOMPARE(dev->smpError.load(), 0);
}

void TstSmpSimulate::repeatRegenerates()
{
    QVERIFY(setRateDepth(dev.get(), 1000000, 20000));
    DevRecorder rec(dev.get());
    auto& ready = rec.ready;
    dev->smpStart(SmpStartRepeat);
    // Passes go on until stopped, each one shown.
    QTRY_VERIFY_WITH_TIMEOUT(ready.count(0) >= 4, 20000);
    dev->smpStopAndWait();
    QCoreApplication::processEvents();
    QCOMPARE(dev->displayedSmpData()->smpCount, 20000LL);
    QCOMPARE(ready.last(), 1);
}

void TstSmpSimulate::failedConversion()
{
#ifndef TAV_SMP_ALLOC_HOOK
    QSKIP("needs the store's allocation hook");
#else
    QVERIFY(setRateDepth(dev.get(), 10000000, 5000000));
    DevRecorder rec(dev.get());
    auto& sta = rec.sta;
    auto& ready = rec.ready;
    // Enough for the lists and their first blocks, then the store cannot grow.
    SmpData::setAllocBudget(40);
    dev->smpStart(SmpStartRepeat);
    QTRY_VERIFY_WITH_TIMEOUT(!dev->smpRunning, 20000);
    dev->smpStopAndWait();
    QCoreApplication::processEvents();
    SmpData::setAllocBudget(-1);
    QCOMPARE(dev->smpError.load(), 4);   // a remote run answers with a failure
    QVERIFY(sta.contains(QVector<int>({int(SmpStaSampling), 4, 0})));
    QCOMPARE(sta.last()[0], int(SmpStaDone));
    QCOMPARE(ready.last(), 1);
    // The run ended after the failing pass (the start itself announces one
    // empty store): one pass shown, partial but readable.
    QCOMPARE(ready.count(0), 2);
    const SmpDataPtr s = dev->displayedSmpData();
    QVERIFY(s->smpCount > 0);
#endif
}

void TstSmpSimulate::finishedMeansEnded_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("single") << int(SmpStartSingle);
    QTest::newRow("repeat, stopped") << int(SmpStartRepeat);
}

void TstSmpSimulate::finishedMeansEnded()
{
    QFETCH(int, mode);
    QVERIFY(setRateDepth(dev.get(), 1000000, 20000));
    // Read on the worker at the moment it announces the end: no receiver,
    // queued or not, can hear "finished" earlier than that.
    std::atomic<int> runningAtDone{-1};
    std::atomic<int> passes{0};
    connect(
        dev.get(), &DevBase::sigSmpSta, dev.get(),
        [&](int s, int, int) {
            if (s == SmpStaDone)
                runningAtDone = dev->smpRunning ? 1 : 0;
        },
        Qt::DirectConnection);
    connect(
        dev.get(), &DevBase::sigSmpDataReady, dev.get(),
        [&](int r) {
            if (r == 0)
                ++passes;
        },
        Qt::DirectConnection);
    dev->smpStart(SmpStartMode(mode));
    if (mode == SmpStartRepeat) {
        QTRY_VERIFY_WITH_TIMEOUT(passes >= 3, 20000);
        dev->smpStopAndWait();
    }
    QTRY_VERIFY_WITH_TIMEOUT(runningAtDone != -1, 20000);
    QCOMPARE(runningAtDone.load(), 0);
}

void TstSmpSimulate::analogTables()
{
    QVector<int> even(128, 0), odd(64, 0);
    for (int i : {8, 9, 24, 25, 40, 41, 104, 105, 120, 121})
        even[i] = 1;
    even[47] = 90;
    even[111] = -90;
    for (int i : {8, 9, 56, 57})
        odd[i] = 1;
    odd[16] = 5, odd[17] = 45, odd[18] = 85;
    for (int i = 19; i <= 47; ++i)
        odd[i] = 90;
    odd[24] = odd[25] = odd[40] = odd[41] = 89;
    odd[48] = 85, odd[49] = 45, odd[50] = 5;
    for (int chn = 0; chn < 4; ++chn) {
        int n = 0;
        const int* t = SmpSimulate::analogTable(chn, &n);
        const QVector<int> want = chn % 2 ? odd : even;
        QCOMPARE(QVector<int>(t, t + n), want);
    }
}

void TstSmpSimulate::analogCapture_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("single") << int(SmpStartSingle);
    QTest::newRow("repeat, stopped") << int(SmpStartRepeat);
}

void TstSmpSimulate::analogCapture()
{
    QFETCH(int, mode);
    dev.reset(new Dev7329);
    devUsing = dev.get();
    QCOMPARE(int(dev->workMode), int(WorkModeOsc));
    DevRecorder rec(dev.get());
    auto& sta = rec.sta;
    auto& ready = rec.ready;
    dev->smpStart(SmpStartMode(mode));
    if (mode != SmpStartSingle) {
        QTRY_VERIFY_WITH_TIMEOUT(ready.count() >= 3, 20000);   // the start's and two passes
        dev->smpStop();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dev->smpRunning, 20000);
    dev->smpStopAndWait();
    QCoreApplication::processEvents();
    QCOMPARE(sta.first()[0], int(SmpStaIdle));
    QCOMPARE(sta.last()[0], int(SmpStaDone));
    QCOMPARE(sta.size(), 2);
    // Analog passes are shown one by one; no decode follows.
    QVERIFY(!ready.contains(1));
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    QVERIFY(s->hasValidDataA(0));
    QVERIFY(s->hasValidDataA(1));
}

void TstSmpSimulate::analogSettingsDuringRepeat()
{
    // The window changes the trigger position, offsets and ranges while a repeat
    // run converts pass after pass, and its panels read the enables and offsets
    // by index; ThreadSanitizer shows any unguarded read or write.
    dev.reset(new Dev7329);
    devUsing = dev.get();
    DevRecorder rec(dev.get());
    std::atomic<int> passes{0};
    connect(dev.get(), &DevBase::sigSmpDataReady, this, [&passes] { ++passes; }, Qt::DirectConnection);
    dev->smpStart(SmpStartRepeat);
    QTRY_VERIFY_WITH_TIMEOUT(rec.ready.count() >= 1, 20000);
    // Nothing here takes a lock that orders these reads before a pass's copy.
    bool allOn = true;
    for (const int p0 = passes; passes < p0 + 3;)
        allOn = allOn && devUsing->aChnEna[0] && devUsing->aChnEna[1] && devUsing->aChnOffset[0] == 0;
    QVERIFY(allOn);
    for (int k = 0; k < 200; ++k) {
        dev->setATrgPercent(100 + 3 * k);
        dev->setAChnOffset(k % 2, k - 100);
        dev->setAVoltDivIndex(k % 2, k % dev->voltDivList.size());
        dev->setATimeDivIndex(k % 2 ? 8 : 9);
        const int seen = rec.ready.count();
        if (k % 40 == 39)   // passes run between the changes
            QTRY_VERIFY_WITH_TIMEOUT(rec.ready.count() > seen, 20000);
    }
    // A pass that began after the last change carries all of it.
    const int seen = rec.ready.count();
    QTRY_VERIFY_WITH_TIMEOUT(rec.ready.count() > seen + 1, 20000);
    dev->smpStop();
    QTRY_VERIFY_WITH_TIMEOUT(!dev->smpRunning, 20000);
    dev->smpStopAndWait();
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    for (int c = 0; c < 2; ++c) {
        const AnalogChnData* b = s->chnData[size_t(c)];
        QVERIFY(b && b->smpCount > 0);
        QCOMPARE(b->offset, dev->aChnOffset[c]);
        QCOMPARE(b->voltDiv, dev->getAVoltDivValue(c));
        QCOMPARE(b->trgPosition, dev->aTrgPercent * b->smpCount / 1000);
    }
    QCOMPARE(s->smpFrequ, dev->getSmpFrequ());
}

QTEST_GUILESS_MAIN(TstSmpSimulate)
#include "tst_smpsimulate.moc"
