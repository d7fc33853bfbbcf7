// Demo captures end to end: the demo generator merges the traffic of the
// simulating analyzers into the logic channels, the analyzer host decodes
// the capture, and the frames are what the simulators generated.

#include "demoanalyzers.h"
#include "demotesthelp.h"

#include "../common/tempenv.h"
#include "analysis/analyzermanager.h"
#include "libanalyzer/analyzer.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include <dlfcn.h>

using namespace demotest;

namespace {

// What a fresh copy of an analyzer simulates for a whole capture, asked at
// once: per channel the start level and the edges below depth.
struct SimChannel {
    int initLevel = 0;
    QVector<long long> edges;
};

QMap<int, SimChannel> simulateAtOnce(AnalyzerManager& m, int usingIndex, long long rate, long long depth)
{
    QMap<int, SimChannel> out;
    const FileInterface& fi = m.files()[pluginIndex(m, m.getUsingSpecFileName(usingIndex))];
    Analyzer* a = fi.createAnalyzer();
    a->GetAnalyzerSettings()->LoadFromText(m.getUsingAnalyzer(usingIndex)->GetAnalyzerSettings()->SaveToText());
    long long r = rate;
    a->Init(nullptr, &r, nullptr);
    SimulationChannelDescriptor* d = nullptr;
    const U32 n = a->MakeSimulationData(U64(depth), U32(rate), &d);
    for (U32 j = 0; j < n; ++j) {
        SimChannel sc;
        sc.initLevel = d[j].GetInitialBitState() == BitHigh ? 1 : 0;
        long long pos = 0;
        for (U32 len : d[j].GetData()) {
            pos += len;
            // Two changes at one sample cancel.
            if (!sc.edges.isEmpty() && sc.edges.last() == pos)
                sc.edges.removeLast();
            else
                sc.edges.append(pos);
        }
        while (!sc.edges.isEmpty() && sc.edges.last() >= depth)
            sc.edges.removeLast();
        out[int(d[j].GetChannel().index)] = sc;
    }
    fi.destroyAnalyzer(a);
    return out;
}

long long lastNewestAsked()
{
    void* h = dlopen(TST_PLUGIN_DIR "/libTstA.so", RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return -1;
    auto f = reinterpret_cast<long long (*)()>(dlsym(h, "TstLastNewest"));
    const long long v = f ? f() : -1;
    dlclose(h);
    return v;
}

}  // namespace

class TstDemoCapture : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fourProtocols();
    void descriptorBeyondChannels();
    void smallCaptureHighRate();
    void twoAnalyzersOneChannel_data();
    void twoAnalyzersOneChannel();
    void stressCapturesWithListChanges();

private:
    std::unique_ptr<TempEnv> env;
    std::unique_ptr<DevBase> dev;
};

void TstDemoCapture::init()
{
    resetSettings();
    env.reset(new TempEnv);
    DevBase::smpWorkerFactory = &makeWorker;
    dev.reset(DevBase::createDevice(0));
    devUsing = dev.get();
}

void TstDemoCapture::cleanup()
{
    dev.reset();
    devUsing = nullptr;
    DevBase::smpWorkerFactory = nullptr;
    env.reset();
}

void TstDemoCapture::fourProtocols()
{
    install(*env, {"libUART.so", "libSPI.so", "libI2C.so", "libCAN.so"});
    AnalyzerManager m;
    QVERIFY(addBound(m, "libUART.so", {0}));
    QVERIFY(addBound(m, "libSPI.so", {1, 2, 3, 4}));   // MOSI, MISO, clock, enable
    QVERIFY(addBound(m, "libI2C.so", {5, 6}));
    QVERIFY(addBound(m, "libCAN.so", {7}));
    // Five blocks of a million samples: the traffic crosses block borders.
    const long long rate = 10000000, depth = 5000000;
    QVERIFY(setRateDepth(dev.get(), rate, depth));

    DevRecorder rec(dev.get());
    auto& ready = rec.ready;
    QSignalSpy decoded(&m, &AnalyzerManager::analyzerDecodedChanged);
    AnalyzerManager::stopAllAnalyzer();
    AnalyzerManager::clearAnalyzerResult();
    dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(ready.contains(1), 30000);
    QTRY_VERIFY(!dev->smpRunning);
    QCOMPARE(dev->smpError.load(), 0);
    m.startDecode();
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 4, 60000);

    // The store holds exactly what each simulator gives when asked at once.
    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(s->smpCount, depth);
    for (int i = 0; i < 4; ++i) {
        const QMap<int, SimChannel> sim = simulateAtOnce(m, i, rate, depth);
        QVERIFY(!sim.isEmpty());
        for (auto it = sim.begin(); it != sim.end(); ++it) {
            QVERIFY2(it.value().edges.size() > 10, qPrintable(QString::number(it.key())));
            QCOMPARE(s->chnData[size_t(it.key())]->initLevel, it.value().initLevel);
            QCOMPARE(edges(s, it.key()), it.value().edges);
        }
    }

    // UART: the demo text, character after character.
    const QByteArray text = "Hello from the demo capture 0123456789\r\n";
    const QVector<Frame> uart = framesOf(m.getUsingAnalyzer(0));
    QVERIFY(uart.size() > 100);
    for (int k = 0; k < uart.size(); ++k)
        QCOMPARE(int(uart[k].data1), int(quint8(text[k % text.size()])));

    // SPI: word k carries k * 0x9D + 0x31 out and the complement of k in.
    const QVector<Frame> spi = framesOf(m.getUsingAnalyzer(1));
    QVERIFY(spi.size() > 100);
    for (int k = 0; k + 1 < spi.size(); ++k) {
        QCOMPARE(spi[k].data1, U64((k * 0x9D + 0x31) & 0xFF));
        QCOMPARE(spi[k].data2, U64(~k & 0xFF));
    }

    // I2C and CAN decode their traffic; only the demo's unacknowledged CAN
    // messages (one in eleven) carry errors.
    QVERIFY(framesOf(m.getUsingAnalyzer(2)).size() > 20);
    const QVector<Frame> can = framesOf(m.getUsingAnalyzer(3));
    QVERIFY(can.size() > 20);
    int errors = 0;
    for (Frame const& f : can)
        errors += f.HasFlag(Frame::kError) ? 1 : 0;
    QVERIFY(errors * 5 < can.size());
}

void TstDemoCapture::descriptorBeyondChannels()
{
    install(*env, {}, {"libTstA.so"});
    AnalyzerManager m;
    QVERIFY(addBound(m, "libTstA.so", {40, -1}));   // beyond the 16 channels
    QVERIFY(addBound(m, "libTstA.so", {3, -1}));
    QVERIFY(setRateDepth(dev.get(), 1000000, 200000));
    DevRecorder rec(dev.get());
    auto& ready = rec.ready;
    dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(ready.contains(1), 30000);
    QTRY_VERIFY(!dev->smpRunning);
    QCOMPARE(dev->smpError.load(), 0);
    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(s->smpCount, 200000LL);
    // Channel 3 carries the test analyzer's square wave of 100-sample runs
    // across both blocks; the others their random patterns.
    QVector<long long> expect;
    for (long long p = 100; p < 200000; p += 100)
        expect.append(p);
    QCOMPARE(s->chnData[3]->initLevel, 0);
    QCOMPARE(edges(s, 3), expect);
    for (int ch = 0; ch < 16; ++ch)
        QVERIFY(edges(s, ch).size() > 100);
}

void TstDemoCapture::smallCaptureHighRate()
{
    install(*env, {}, {"libTstA.so"});
    AnalyzerManager m;
    QVERIFY(addBound(m, "libTstA.so", {3, -1}));
    // A 100 ms block at 200 MHz is 20 million samples for a capture of 20000.
    QVERIFY(setRateDepth(dev.get(), 200000000, 20000));
    DevRecorder rec(dev.get());
    auto& ready = rec.ready;
    dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(ready.contains(1), 30000);
    QTRY_VERIFY(!dev->smpRunning);
    // The simulator was asked no further than the depth...
    QCOMPARE(lastNewestAsked(), 20000LL);
    // ...and the capture is what a full block would have given after trimming.
    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(s->smpCount, 20000LL);
    QVector<long long> expect;
    for (long long p = 100; p < 20000; p += 100)
        expect.append(p);
    QCOMPARE(edges(s, 3), expect);
    for (int ch = 0; ch < 16; ++ch) {
        const QVector<long long> e = edges(s, ch);
        QVERIFY(e.size() > 10);
        QVERIFY(e.last() < 20000);
    }
}

void TstDemoCapture::twoAnalyzersOneChannel_data()
{
    QTest::addColumn<bool>("uartFirst");
    QTest::newRow("test analyzer first") << false;
    QTest::newRow("UART first") << true;
}

void TstDemoCapture::twoAnalyzersOneChannel()
{
    // The UART line idles high, the test analyzer starts low: the channel
    // carries the first analyzer's signal, start level included.
    QFETCH(bool, uartFirst);
    install(*env, {"libUART.so"}, {"libTstA.so"});
    AnalyzerManager m;
    if (uartFirst)
        QVERIFY(addBound(m, "libUART.so", {3}));
    QVERIFY(addBound(m, "libTstA.so", {3, -1}));
    if (!uartFirst)
        QVERIFY(addBound(m, "libUART.so", {3}));
    const long long rate = 10000000, depth = 2000000;
    QVERIFY(setRateDepth(dev.get(), rate, depth));
    DevRecorder rec(dev.get());
    dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(rec.ready.contains(1), 30000);
    QTRY_VERIFY(!dev->smpRunning);
    const SmpDataPtr s = dev->displayedSmpData();
    const SimChannel want = simulateAtOnce(m, 0, rate, depth).value(3);
    QCOMPARE(want.initLevel, uartFirst ? 1 : 0);
    QCOMPARE(s->chnData[3]->initLevel, want.initLevel);
    QCOMPARE(edges(s, 3), want.edges);
}

void TstDemoCapture::stressCapturesWithListChanges()
{
    install(*env, {"libUART.so", "libSPI.so", "libI2C.so", "libCAN.so"});
    AnalyzerManager m;
    QVERIFY(setRateDepth(dev.get(), 10000000, 200000));
    const QStringList files = {"libUART.so", "libSPI.so", "libI2C.so", "libCAN.so"};
    const QVector<QVector<int>> chans = {{0}, {1, 2, 3, 4}, {5, 6}, {7}};
    DevRecorder rec(dev.get());
    auto& ready = rec.ready;
    QSignalSpy decoded(&m, &AnalyzerManager::analyzerDecodedChanged);
    for (int k = 0; k < 30; ++k) {
        AnalyzerManager::stopAllAnalyzer();
        AnalyzerManager::clearAnalyzerResult();
        ready.clear();
        dev->smpStart(k % 3 == 0 ? SmpStartSingle : SmpStartRepeat);
        // The list changes while the demo thread simulates from its copies.
        if (k % 2 == 0 || m.usingCount() == 0)
            QVERIFY(addBound(m, files[k % 4], chans[k % 4]));
        else
            m.removeUsing(k % m.usingCount());
        QTRY_VERIFY_WITH_TIMEOUT(ready.count(0) >= 2, 30000);
        dev->smpStopAndWait();
        QVERIFY(!dev->smpRunning);
        QCOMPARE(dev->smpError.load(), 0);
        if (k % 5 == 4) {
            decoded.clear();
            const int n = m.usingCount();
            m.startDecode();
            QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), n, 30000);
        }
        QCoreApplication::processEvents();
    }
    dev->smpStart(SmpStartRepeat);
    m.removeAllUsing();
    dev->smpStopAndWait();
}

QTEST_GUILESS_MAIN(TstDemoCapture)
#include "tst_democapture.moc"
