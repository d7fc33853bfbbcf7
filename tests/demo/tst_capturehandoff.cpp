// The displayed capture handed between threads: repeated demo captures while
// the view zooms and the UART analyzer decodes. Every frame must hold the
// runs of the capture it was computed from, and every finished decode the
// text the demo sent, however the captures, starts and decodes interleave.

#include "demoanalyzers.h"
#include "demotesthelp.h"

#include "waveview/wavedatagen.h"

#include <QtTest>

#include <deque>
#include <memory>
#include <mutex>

using namespace demotest;

namespace {

// Empty when the frame holds exactly what its capture gives for its view.
QString frameMismatch(const WaveFrame& f, const SmpData& s)
{
    bool same = f.smpCount == s.smpCount && f.trgPosition == s.trgPosition;
    std::vector<WaveLine> want(size_t(f.viewWidth));
    for (size_t c = 0; same && c < f.counts.size(); ++c) {
        const int n = s.getWaveLineData(int(c), f.smpOffset, f.smpPerPixel, f.viewWidth, want.data());
        same = n == f.counts[c];
        for (int i = 0; same && i < n; ++i) {
            const WaveLine& a = f.lines[c][size_t(i)];
            same = a.x == want[size_t(i)].x && a.width == want[size_t(i)].width && a.type == want[size_t(i)].type;
        }
    }
    return same ? QString() : QStringLiteral("frame %1 differs from its capture").arg(f.serial);
}

} // namespace

class TstCaptureHandoff : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void capturesWhileZoomingAndDecoding();

private:
    std::unique_ptr<TempEnv> env;
    std::unique_ptr<DevBase> dev;
};

void TstCaptureHandoff::init()
{
    resetSettings();
    env.reset(new TempEnv);
    DevBase::smpWorkerFactory = &makeWorker;
    dev.reset(DevBase::createDevice(0));
    devUsing = dev.get();
}

void TstCaptureHandoff::cleanup()
{
    dev.reset();
    devUsing = nullptr;
    DevBase::smpWorkerFactory = nullptr;
    env.reset();
}

void TstCaptureHandoff::capturesWhileZoomingAndDecoding()
{
    constexpr int rounds = 12, passesPerRound = 3;
    install(*env, {"libUART.so"});
    AnalyzerManager m;
    Analyzer* uart = addBound(m, "libUART.so", {0});
    QVERIFY(uart);
    QVector<bool> ena(dev->dChnEna.size(), false);
    for (int c = 0; c < 4; ++c)
        ena[c] = true;
    dev->setDChnEna(ena);
    QVERIFY(setRateDepth(dev.get(), 10000000, 200000));

    // The program's data source, which also keeps each capture a frame was
    // computed from until a later frame has been checked.
    std::mutex keptMutex;
    std::deque<std::shared_ptr<const SmpData>> kept;
    DevBase* d = dev.get();
    WaveDataGen gen;
    gen.setChannelCount(d->dChnEna.size());
    gen.setViewWidth(800);
    gen.setSnapshotSource([&, d] {
        SmpDataRead r = d->readDisplayedSmpData();
        std::lock_guard<std::mutex> l(keptMutex);
        if (kept.empty() || kept.back() != r.ptr())
            kept.push_back(r.ptr());
        return r;
    });
    // Gone before the generator and the host, with every connection below
    // and any report still queued for it.
    QObject ctx;

    // Every frame as the window would paint it, checked against its capture;
    // the end of each animation starts the next zoom.
    QStringList faults;
    int framesChecked = 0, zooms = 0;
    auto check = [&] {
        const WaveFramePtr f = gen.frame();
        const std::shared_ptr<const SmpData> s = f->source.lock();
        if (!s) {
            faults << QStringLiteral("frame %1 without its capture").arg(f->serial);
            return;
        }
        const QString bad = frameMismatch(*f, *s);
        if (!bad.isEmpty())
            faults << bad;
        ++framesChecked;
        // Later frames read only this capture or later ones.
        std::lock_guard<std::mutex> l(keptMutex);
        while (!kept.empty() && kept.front() != s)
            kept.pop_front();
    };
    connect(&gen, &WaveDataGen::sigViewRefresh, &ctx, [&](bool last) {
        check();
        gen.setRefreshDone();
        if (last)
            (++zooms % 2) ? gen.zoomIn(100 + zooms % 600) : gen.zoomOut(700 - zooms % 600);
    });

    // Each finished decode read a capture that nobody cleared under it.
    const QByteArray text = "Hello from the demo capture 0123456789\r\n";
    int decodesChecked = 0;
    connect(&m, &AnalyzerManager::analyzerDecodedChanged, &ctx, [&] {
        const QVector<Frame> got = framesOf(uart);
        if (got.size() < 100)
            faults << QStringLiteral("a decode gave %1 characters").arg(got.size());
        for (int k = 0; k < got.size(); ++k) {
            if (int(got[k].data1) != int(quint8(text[k % text.size()]))) {
                faults << QStringLiteral("decoded character %1 is 0x%2").arg(k).arg(got[k].data1, 0, 16);
                break;
            }
        }
        ++decodesChecked;
    });

    // Repeated captures of a few passes; the next one starts while the
    // analyzer still decodes the last.
    int passes = 0, roundsDone = 0;
    connect(dev.get(), &DevBase::sigSmpDataReady, &ctx, [&](int decode) {
        if (decode == 0) {
            gen.zoomFirst();
            gen.zoomIn(400);
            if (++passes == passesPerRound)
                dev->smpStop();
            return;
        }
        m.startDecode();
        if (++roundsDone < rounds) {
            passes = 0;
            dev->smpStart(SmpStartRepeat);
        }
    });
    dev->smpStart(SmpStartRepeat);
    gen.zoomIn(400);

    QTRY_VERIFY_WITH_TIMEOUT(roundsDone == rounds, 240000);
    dev->smpStopAndWait();
    // The last decode is never stopped by a later one.
    QTRY_VERIFY_WITH_TIMEOUT(decodesChecked >= 1, 60000);
    AnalyzerManager::stopAllAnalyzer();
    gen.releaseDevice();

    QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 5).join(QLatin1Char('\n'))));
    // Each pass was drawn at least once, by its zoomFirst.
    QVERIFY(framesChecked >= rounds * passesPerRound);
}

QTEST_GUILESS_MAIN(TstCaptureHandoff)
#include "tst_capturehandoff.moc"
