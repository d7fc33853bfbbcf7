// The stream thread's bulk callback on crafted buffers: trigger search in
// both raw forms, pre-trigger trimming, the forced trigger and the queue
// hand-over, with no USB and no converter involved.

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpctrlfactory.h"
#include "device/smpctrlnormal.h"
#include "device/smpctrlstream.h"
#include "device/smpdata.h"

#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Word-form stream built plainly: per enabled channel a level function,
// cycles of 16 samples, one 16-bit word per channel in channel order.
std::vector<unsigned char> words(int chn, long long samples, int (*level)(int ch, long long p))
{
    std::vector<unsigned char> out;
    for (long long base = 0; base < samples; base += 16) {
        for (int c = 0; c < chn; ++c) {
            unsigned w = 0;
            for (int k = 0; k < 16; ++k)
                if (level(c, base + k))
                    w |= 1u << k;
            out.push_back(static_cast<unsigned char>(w));
            out.push_back(static_cast<unsigned char>(w >> 8));
        }
    }
    return out;
}

long long gEdge = 0;   // sample of the rising edge of channel 0
int stepAtEdge(int ch, long long p)
{
    return ch == 0 ? (p >= gEdge ? 1 : 0) : int((p / 3) & 1);
}
int highFromStart(int ch, long long p)
{
    return ch == 0 ? 1 : int(p & 1);
}
int allLow(int, long long)
{
    return 0;
}

unsigned char* copyOf(const std::vector<unsigned char>& v, size_t from, size_t len)
{
    auto* b = static_cast<unsigned char*>(std::malloc(len));
    std::memcpy(b, v.data() + from, len);
    return b;
}

} // namespace

class TstSmpStream : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tables();
    void triggerInFirstBuffer();
    void triggerWithSkip();
    void cycleSplitAcrossBuffers();
    void risingAtSampleZeroNeverFires();
    void forcedTrigger();
    void preTriggerWindowKept();
    void depthReachedStops();
    void byteForm();
    void randomSplits_data();
    void randomSplits();
    void readLength_data();
    void readLength();

private:
    // A stream-mode device with `chn` channels enabled (0..chn-1), a rising
    // trigger on channel 0, depth 20000 and the given pre-trigger percent.
    void setUp(int chn, int trgPercent, TrgType type = TrgRise, DevModel model = DevModel2127);
    void feed(const std::vector<unsigned char>& data, size_t from, size_t len)
    {
        ctrl->devCbAutoBulkRead(copyOf(data, from, len), int(len));
    }
    int queued() const { return ctrl->queuedBlocks(); }

    std::unique_ptr<DevBase> dev;
    SmpCtrlStream* ctrl = nullptr;
};

void TstSmpStream::init()
{
    Config::cfgDoc.setContent(Config::defaultDocument());
    SmpCtrlFactory::install();
}

void TstSmpStream::cleanup()
{
    dev.reset();
    DevBase::smpWorkerFactory = nullptr;
}

void TstSmpStream::setUp(int chn, int trgPercent, TrgType type, DevModel model)
{
    dev.reset(DevBase::createDevice(model));
    QVERIFY(chn <= dev->dChnEna.size());
    dev->setSmpMode(SmpModeStream);
    QVector<bool> ena(dev->dChnEna.size(), false);
    for (int i = 0; i < chn; ++i)
        ena[i] = true;
    dev->setDChnEna(ena);
    if (type != TrgNone)
        dev->setDChnTrg(0, type);
    QVERIFY(dev->setSmpDepth(0));
    QCOMPARE(dev->smpDepth, 20000LL);
    QVERIFY(dev->setTrgPosition(trgPercent));
    ctrl = dynamic_cast<SmpCtrlStream*>(dev->smpWorker(SmpWorkerStream));
    QVERIFY(ctrl);
    ctrl->prepareRun();
    ctrl->resetRun();
    dev->dataConvertStart(0);
    dev->runSta = SmpStaPre;
}

void TstSmpStream::tables()
{
    // Brute force over every 8-sample pattern with the sample before it.
    const uint8_t* r = SmpCtrlStream::risingEdgeTable();
    const uint32_t* f = SmpCtrlStream::fallingEdgeTable();
    for (int i = 0; i < 512; ++i) {
        for (int k = 0; k < 8; ++k) {
            const int now = (i >> (k + 1)) & 1, before = (i >> k) & 1;
            QCOMPARE(int((r[i] >> k) & 1), int(now == 1 && before == 0));
            QCOMPARE(int((f[i] >> k) & 1), int(now == 0 && before == 1));
        }
        QVERIFY(f[i] < 256);
    }
    const int8_t* l = SmpCtrlStream::lowestBitTable();
    QCOMPARE(int(l[0]), -1);
    QCOMPARE(int(l[1]), 0);
    QCOMPARE(int(l[0x80]), 7);
    QCOMPARE(int(l[0x68]), 3);
}

void TstSmpStream::triggerInFirstBuffer()
{
    setUp(2, 5);   // pre-trigger 1000
    QCOMPARE(ctrl->preTrgDepth, 1000LL);
    gEdge = 100;
    const auto data = words(2, 4096, stepAtEdge);
    feed(data, 0, data.size());
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    QCOMPARE(dev->fillingSmpData()->trgPosition, 100LL);
    QCOMPARE(ctrl->bytesDropped, 0LL);
    QCOMPARE(ctrl->cycleOffset, 0);
    QCOMPARE(ctrl->releasedBlocks(), 1);
}

void TstSmpStream::triggerWithSkip()
{
    setUp(2, 5);
    gEdge = 5000;
    const auto data = words(2, 8192, stepAtEdge);
    feed(data, 0, data.size());
    // skipWords = (4000 / 16) x 2 = 500: 1000 bytes dropped, trigger at 1000.
    QCOMPARE(ctrl->bytesDropped, 1000LL);
    QCOMPARE(ctrl->cycleOffset, 1000);
    QCOMPARE(ctrl->cycleOffset % 4, 0);
    QCOMPARE(dev->fillingSmpData()->trgPosition, 1000LL);
    QCOMPARE(ctrl->getSampledDepth(), 8192LL - 4000);
}

void TstSmpStream::cycleSplitAcrossBuffers()
{
    // Three channels: 6-byte cycles. The trigger cycle (samples 96..111)
    // is split 4 + 2 bytes between the buffers.
    setUp(3, 50);
    gEdge = 100;
    const auto data = words(3, 1024, stepAtEdge);
    const size_t cut = 6 * 6 + 4;
    feed(data, 0, cut);
    QCOMPARE(int(dev->runSta), int(SmpStaPre));
    QCOMPARE(ctrl->releasedBlocks(), 0);
    feed(data, cut, data.size() - cut);
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    QCOMPARE(dev->fillingSmpData()->trgPosition, 100LL);
    QCOMPARE(queued(), 2);
    QCOMPARE(ctrl->releasedBlocks(), 2);
}

void TstSmpStream::risingAtSampleZeroNeverFires()
{
    setUp(2, 5);
    const auto data = words(2, 4096, highFromStart);
    feed(data, 0, data.size());
    QVERIFY(dev->runSta != SmpStaSampling);
    QCOMPARE(ctrl->releasedBlocks(), 0);
    // A high-level trigger on the same data fires at once.
    setUp(2, 5, TrgHigh);
    feed(data, 0, data.size());
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    QCOMPARE(dev->fillingSmpData()->trgPosition, 0LL);
}

void TstSmpStream::forcedTrigger()
{
    setUp(2, 5);
    dev->smpStartMode = SmpStartRepeat;
    const auto data = words(2, 4096, allLow);   // 1024 bytes, no edge at all
    feed(data, 0, 512);   // 2048 samples: the pre-trigger part (1000) is full
    QCOMPARE(int(dev->runSta), int(SmpStaWaitTrg));
    QVERIFY(ctrl->forceTrigger);
    QCOMPARE(ctrl->releasedBlocks(), 0);
    feed(data, 512, 512);   // taken as triggered at its first sample, 2048
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    // (2048 - 1000) / 16 = 65 cycles skipped.
    QCOMPARE(dev->fillingSmpData()->trgPosition, 2048LL - 65 * 16);
    // Without start kind 3 the same stream keeps waiting.
    setUp(2, 5);
    dev->smpStartMode = SmpStartRepeatTrg;
    feed(data, 0, 512);
    feed(data, 512, 512);
    QCOMPARE(int(dev->runSta), int(SmpStaWaitTrg));
}

void TstSmpStream::preTriggerWindowKept()
{
    // Waiting for a late trigger, head buffers go while what stays still
    // fills the pre-trigger part; the trigger then lands at exactly 1000.
    setUp(2, 5);
    gEdge = 41000;   // 40000 after the pre-trigger part: whole cycles
    const auto data = words(2, 48000, stepAtEdge);
    const size_t buf = 400;   // 1600 samples per buffer
    for (size_t off = 0; off < data.size(); off += buf) {
        feed(data, off, std::min(buf, data.size() - off));
        QVERIFY(queued() <= 3);
        if (dev->runSta == SmpStaSampling)
            break;
    }
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    QCOMPARE(dev->fillingSmpData()->trgPosition, 1000LL);
    QCOMPARE(ctrl->bytesDropped, 40000LL / 16 * 4);
    QCOMPARE(ctrl->cycleOffset % 4, 0);
}

void TstSmpStream::depthReachedStops()
{
    setUp(2, 5);
    gEdge = 100;
    const auto data = words(2, 40000, stepAtEdge);
    feed(data, 0, 2500);   // 10000 samples, trigger inside
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    const int released = ctrl->releasedBlocks();
    feed(data, 2500, 2500);   // 20000 kept: depth reached
    QCOMPARE(int(dev->runSta), int(SmpStaReading));
    QCOMPARE(ctrl->releasedBlocks(), released + 1);
    feed(data, 5000, 2500);   // after the end: freed, not queued
    QCOMPARE(queued(), 2);
}

void TstSmpStream::byteForm()
{
    // The 8-channel model: one byte per sample, searched inline.
    dev.reset(DevBase::createDevice(DevModel2113));
    dev->setDChnTrg(3, TrgFall);
    QVERIFY(dev->setSmpDepth(0));
    QVERIFY(dev->setTrgPosition(1));
    ctrl = dynamic_cast<SmpCtrlStream*>(dev->smpWorker(SmpWorkerStream));
    ctrl->prepareRun();
    ctrl->resetRun();
    QCOMPARE(ctrl->wordsPerCycle, 8);
    dev->dataConvertStart(0);
    dev->runSta = SmpStaPre;
    std::vector<unsigned char> data(4096, 0x08);   // channel 3 high
    for (size_t i = 777; i < data.size(); ++i)
        data[i] = 0x00;   // falls at 777
    feed(data, 0, 100);
    QCOMPARE(int(dev->runSta), int(SmpStaPre));
    feed(data, 100, 400);
    QCOMPARE(int(dev->runSta), int(SmpStaWaitTrg));
    feed(data, 500, data.size() - 500);
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    // Pre-trigger 200: (777 - 200) / 16 = 36 cycles of 16 bytes dropped.
    QCOMPARE(ctrl->preTrgDepth, 200LL);
    QCOMPARE(ctrl->bytesDropped, 36LL * 16);
    QCOMPARE(dev->fillingSmpData()->trgPosition, 777LL - 36 * 16);
    QCOMPARE(ctrl->cycleOffset, 36 * 16 - 500);
    QCOMPARE(queued(), 1);
}

void TstSmpStream::randomSplits_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("chn");
    QTest::addColumn<int>("maxLen");
    QTest::addColumn<bool>("fall");
    QTest::addColumn<int>("mean");   // samples between changes of channels 1..
    QTest::addColumn<bool>("low");   // channel 1 must be low (else high)
    for (int seed = 1; seed <= 12; ++seed)
        QTest::newRow(qPrintable(QString("busy %1").arg(seed))) << seed << 3 << 50 << false << 40 << (seed % 2 == 0);
    // Quiet streams, whose stretches without a change are passed whole:
    // cycles of every length up to 32 words, small and large buffers.
    const int chns[] = {1, 2, 3, 5, 7, 8, 16, 17, 24, 32};
    int seed = 100;
    for (int chn : chns)
        for (int maxLen : {50, 5000})
            for (bool fall : {false, true}) {
                ++seed;
                QTest::newRow(qPrintable(QString("quiet %1 chn %2 len %3 %4").arg(seed).arg(chn).arg(maxLen)
                                             .arg(fall ? "fall" : "rise")))
                    << seed << chn << maxLen << fall << 3000 << (seed % 3 == 0);
            }
}

void TstSmpStream::randomSplits()
{
    // Rising (or falling) on 0 and, with two channels or more, high (or low) on 1;
    // random levels, random buffer lengths (odd ones too). The trigger the
    // stream finds must be the first sample where the conditions hold,
    // found by brute force over flat arrays.
    QFETCH(int, seed);
    QFETCH(int, chn);
    QFETCH(int, maxLen);
    QFETCH(bool, fall);
    QFETCH(int, mean);
    QFETCH(bool, low);
    std::srand(unsigned(seed));
    const long long samples = mean > 1000 ? 16 * 40000 : 16 * 2000;
    static std::vector<std::vector<int>> lv;
    lv.assign(size_t(chn), std::vector<int>(size_t(samples)));
    for (int c = 0; c < chn; ++c) {
        int level = std::rand() & 1;
        const int m = c == 0 ? 10 * mean : mean;
        for (long long p = 0; p < samples; ++p) {
            if (std::rand() % m == 0)
                level ^= 1;
            lv[size_t(c)][size_t(p)] = level;
        }
    }
    long long want = -1;
    for (long long p = 1; p < samples && want < 0; ++p)
        if (lv[0][size_t(p - 1)] == int(fall) && lv[0][size_t(p)] == int(!fall) && (chn < 2 || lv[1][size_t(p)] == int(!low)))
            want = p;
    if (want < 0)
        QSKIP("this seed holds no trigger");

    // Above 16 channels: the 32-channel model.
    setUp(chn, 0, fall ? TrgFall : TrgRise, chn > 16 ? DevModel6143A : DevModel2127);
    if (chn > 1)
        dev->setDChnTrg(1, low ? TrgLow : TrgHigh);
    QVERIFY(dev->setSmpDepth(4));   // 5 M: the depth is never reached here
    ctrl->prepareRun();
    ctrl->resetRun();
    const auto data = words(chn, samples, [](int c, long long p) { return lv[size_t(c)][size_t(p)]; });
    size_t off = 0;
    while (off < data.size() && dev->runSta != SmpStaSampling) {
        const size_t len = std::min(data.size() - off, size_t(1 + std::rand() % maxLen));
        feed(data, off, len);
        off += len;
    }
    QCOMPARE(int(dev->runSta), int(SmpStaSampling));
    const int r = 2 * ctrl->wordsPerCycle;
    QCOMPARE(ctrl->bytesDropped % r, 0LL);
    QCOMPARE(ctrl->bytesDropped / r * 16 + dev->fillingSmpData()->trgPosition, want);
    QVERIFY(dev->fillingSmpData()->trgPosition < 16);
}

void TstSmpStream::readLength_data()
{
    QTest::addColumn<bool>("osc");
    QTest::addColumn<int>("chn");
    QTest::addColumn<int>("records");
    QTest::addColumn<long long>("mem");
    QTest::addColumn<long long>("len");
    QTest::newRow("12 records, 16 channels") << false << 16 << 12 << 1000LL << 32LL;
    QTest::newRow("12 records, 32 channels") << false << 32 << 12 << 1000LL << 64LL;
    QTest::newRow("few records: nothing to read") << false << 16 << 4 << 1000LL << 0LL;
    QTest::newRow("oscilloscope: the record") << true << 16 << 1 << 40960LL << 40960LL;
    QTest::newRow("whole memory") << false << 16 << 5 * 8 << 128LL << 128LL;
    QTest::newRow("beyond the memory") << false << 16 << 5 * 9 << 128LL << -1LL;
    // 2^31 - 1 records would overflow 32-bit arithmetic.
    QTest::newRow("huge count") << false << 32 << 2147483647 << 536870912LL << -1LL;
    QTest::newRow("negative count") << false << 16 << -10 << 1000LL << -1LL;
}

void TstSmpStream::readLength()
{
    QFETCH(bool, osc);
    QFETCH(int, chn);
    QFETCH(int, records);
    QFETCH(long long, mem);
    QFETCH(long long, len);
    QCOMPARE(SmpCtrlNormal::readLength(osc, chn, records, mem), len);
}

QTEST_GUILESS_MAIN(TstSmpStream)
#include "tst_smpstream.moc"
