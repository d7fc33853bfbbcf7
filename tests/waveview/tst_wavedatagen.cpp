// The logic trace generator: zoom and move operations, the animated zoom and
// its hand-shake with the view, the rebound, shutdown, and the runs against a
// brute-force reference.

#include "tests/waveview/wavetestutil.h"

#include "core/config.h"
#include "device/devbase.h"
#include "waveview/wavedatagen.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

using namespace WaveTest;

namespace {

// A capture of one channel with a few edges, and a generator over it.
struct Fixture {
    std::unique_ptr<SmpData> store;
    std::unique_ptr<WaveDataGen> gen;

    explicit Fixture(long long count, int width = 800, std::vector<Chn> chns = {},
                     long long trg = 0)
    {
        if (chns.empty())
            chns.push_back(Chn{0, {count / 4, count / 2}});
        store = makeStore(chns, count, 1000000, trg);
        gen.reset(new WaveDataGen());
        const SmpData* s = store.get();
        gen->setDataSource([s] { return s; });
        gen->setChannelCount(int(chns.size()));
        gen->setViewWidth(width);
    }
    ~Fixture()
    {
        gen.reset();   // joins the worker before the store goes
    }
};

// Runs the event loop until the harness has seen a frame with dec = true.
bool waitLastFrame(Harness& h, size_t from = 0, int timeoutMs = 5000)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        for (size_t i = from; i < h.seen.size(); ++i)
            if (h.seen[i].dec)
                return true;
        if (t.elapsed() > timeoutMs)
            return false;
        QSignalSpy spy(&h, &Harness::refreshed);
        spy.wait(200);
    }
}

bool finitePositive(double v)
{
    return std::isfinite(v) && v > 0;
}

} // namespace

class TestWaveDataGen : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Config::disAnimate = false;
        Config::viewState = ViewKeep;
    }

    void meIsTheInstance()
    {
        Fixture f(1000);
        QCOMPARE(WaveDataGen::me, f.gen.get());
        f.gen.reset();
        QVERIFY(WaveDataGen::me == nullptr);
    }

    void zoomOutAnimationDoublesExactly_data()
    {
        QTest::addColumn<int>("mode");   // 0 in, 1 out
        QTest::addColumn<double>("spp");
        QTest::addColumn<int>("anchor");
        QTest::newRow("out from 1") << 1 << 1.0 << 300;
        QTest::newRow("out from 3.7") << 1 << 3.7 << 0;
        QTest::newRow("in from 8") << 0 << 8.0 << 799;
        QTest::newRow("in from 0.5") << 0 << 0.5 << 123;
    }
    void zoomOutAnimationDoublesExactly()
    {
        QFETCH(int, mode);
        QFETCH(double, spp);
        QFETCH(int, anchor);
        Fixture f(100000000);
        f.gen->setReboundEnable(false);
        f.gen->moveDecode(0, spp * 400 - 1);   // spp from the range, offset below
        f.gen->moveTo(1000000);
        QCOMPARE(f.gen->getSmpPerPixel(), spp);
        Harness h(f.gen.get());
        h.check = f.store.get();
        const double anchorSample = f.gen->getSmpOffset() + anchor * spp;
        if (mode == 1)
            f.gen->zoomOut(anchor);
        else
            f.gen->zoomIn(anchor);
        QVERIFY(waitLastFrame(h));
        QCOMPARE(int(h.seen.size()), WaveDataGen::zoomStepNum);
        for (int i = 0; i < 6; ++i)
            QVERIFY(!h.seen[size_t(i)].dec);
        const double ratio = h.seen.back().spp / spp;
        const double want = mode == 1 ? 2.0 : 0.5;
        QVERIFY2(std::abs(ratio / want - 1) < 1e-12, qPrintable(QString::number(ratio, 'g', 17)));
        // The anchor pixel keeps its sample in every frame.
        for (const Harness::Seen& s : h.seen)
            QVERIFY(std::abs(s.off + anchor * s.spp - anchorSample) < 1e-6 * std::max(1.0, anchorSample));
        QVERIFY2(h.faults.empty(), h.faults.empty() ? "" : qPrintable(h.faults.front()));
    }

    void zoomInStopsAtMinimum()
    {
        Fixture f(1000000);
        f.gen->setReboundEnable(false);
        f.gen->moveDecode(0, 0.015 * 400 - 1);
        QCOMPARE(f.gen->getSmpPerPixel(), 0.015);
        Harness h(f.gen.get());
        f.gen->zoomIn(400);
        QVERIFY(waitLastFrame(h));
        // 0.015 / 2^(k/7) passes 0.01 at the fifth frame, which is the last.
        QCOMPARE(int(h.seen.size()), 5);
        QCOMPARE(h.seen.back().spp, 0.01);
        for (const Harness::Seen& s : h.seen)
            QVERIFY(s.spp >= 0.01);

        // At the minimum a zoom-in ends in one frame at the minimum.
        h.seen.clear();
        f.gen->zoomIn(10);
        QVERIFY(waitLastFrame(h));
        QCOMPARE(int(h.seen.size()), 1);
        QCOMPARE(h.seen.back().spp, 0.01);

        // Below the minimum (a decoded range can put the view there) zoom-in
        // is ignored, zoom-out still works.
        f.gen->moveDecode(0, 0);
        QVERIFY(f.gen->getSmpPerPixel() < 0.01);
        const double before = f.gen->getSmpPerPixel();
        h.seen.clear();
        f.gen->zoomIn(10);
        QVERIFY(!f.gen->isAnimating());
        QCOMPARE(f.gen->getSmpPerPixel(), before);
        f.gen->zoomInFine();
        QCOMPARE(f.gen->getSmpPerPixel(), before);
        f.gen->zoomOut(10);
        QVERIFY(waitLastFrame(h));
        QVERIFY(std::abs(f.gen->getSmpPerPixel() / (2 * before) - 1) < 1e-12);
    }

    void zoomWithoutAnimation()
    {
        Config::disAnimate = true;
        Fixture f(1000000);
        f.gen->setReboundEnable(false);
        f.gen->moveDecode(0, 399);   // spp 1, offset -200
        f.gen->moveTo(5000);
        QSignalSpy spy(f.gen.get(), &WaveDataGen::sigViewRefresh);
        f.gen->zoomOut(100);
        QCOMPARE(spy.count(), 1);   // at once, in the caller's thread
        QCOMPARE(f.gen->getSmpPerPixel(), 2.0);
        QCOMPARE(f.gen->getSmpOffset(), 5000.0 + 100 - 200);
        f.gen->zoomIn(100);
        f.gen->zoomIn(100);
        QCOMPARE(f.gen->getSmpPerPixel(), 0.5);
        f.gen->zoomFixed(0.012);
        f.gen->zoomIn(0);
        QCOMPARE(f.gen->getSmpPerPixel(), 0.01);
    }

    void noFrameBeforeAcknowledgement()
    {
        Fixture f(10000000);
        f.gen->setReboundEnable(false);
        Harness h(f.gen.get(), false);
        f.gen->zoomOut(0);
        QTRY_COMPARE(int(h.seen.size()), 1);
        for (int frame = 2; frame <= WaveDataGen::zoomStepNum; ++frame) {
            // The worker holds the next frame back until the view has drawn.
            QTRY_VERIFY(f.gen->isWaitingRefresh());
            const unsigned long long serial = f.gen->frame()->serial;
            QCOMPARE(int(h.seen.size()), frame - 1);
            QCOMPARE(h.seen.back().serial, serial);
            h.ack();
            QTRY_COMPARE(int(h.seen.size()), frame);
            QVERIFY(h.seen.back().serial > serial);
        }
        QVERIFY(h.seen.back().dec);
    }

    void destroyMidAnimationJoinsWorker_data()
    {
        QTest::addColumn<bool>("ack");
        QTest::addColumn<bool>("rebound");
        QTest::newRow("view never acknowledges") << false << false;
        QTest::newRow("view acknowledges") << true << false;
        QTest::newRow("during the rebound wait") << true << true;
    }
    void destroyMidAnimationJoinsWorker()
    {
        QFETCH(bool, ack);
        QFETCH(bool, rebound);
        std::unique_ptr<SmpData> store = makeStore({Chn{0, {10, 20}}}, 1000000);
        auto* gen = new WaveDataGen();
        const SmpData* s = store.get();
        gen->setDataSource([s] { return s; });
        gen->setChannelCount(1);
        gen->setViewWidth(800);
        Harness h(gen, ack);
        if (rebound) {
            gen->moveTo(-5000);   // the worker now waits before pulling the view back
            QTest::qWait(20);     // lands inside that wait; the verdict does not depend on it
        } else {
            gen->zoomOut(0);
            QTRY_VERIFY(!h.seen.empty());
        }
        QVERIFY(gen->isAnimating());
        if (!ack)
            QTRY_VERIFY(gen->isWaitingRefresh());   // parked where only the exit flag frees it
        // A worker that missed the exit flag keeps the delete from returning,
        // and the test fails on its time-out; no clock judges the delete.
        delete gen;
        QVERIFY(WaveDataGen::me == nullptr);
    }

    void moveEndSettlesAtEnd()
    {
        const long long n = 100000;
        Fixture f(n);
        Harness h(f.gen.get());
        f.gen->moveDecode(0, 399);   // spp 1
        waitLastFrame(h);            // its rebound
        h.seen.clear();
        f.gen->moveEnd();
        QCOMPARE(f.gen->getSmpOffset(), double(n) - 800 + 1000);
        QVERIFY(waitLastFrame(h, 1));
        QCOMPARE(h.seen.back().off, double(n) - 800);
        QCOMPARE(h.seen.back().spp, 1.0);
    }

    void reboundFitsTheView_data()
    {
        QTest::addColumn<double>("spp");
        QTest::addColumn<double>("off");
        QTest::addColumn<double>("wantSpp");
        QTest::addColumn<double>("wantOff");
        // N = 80000, W = 800: fit = 100.
        QTest::newRow("negative offset") << 10.0 << -3000.0 << 10.0 << 0.0;
        QTest::newRow("beyond the end") << 10.0 << 79000.0 << 10.0 << 72000.0;
        QTest::newRow("zoomed out too far") << 400.0 << 0.0 << 100.0 << 0.0;
        QTest::newRow("zoomed out and left") << 400.0 << -100.0 << 100.0 << 0.0;
    }
    void reboundFitsTheView()
    {
        QFETCH(double, spp);
        QFETCH(double, off);
        QFETCH(double, wantSpp);
        QFETCH(double, wantOff);
        Config::disAnimate = true;
        Fixture f(80000);
        Harness h(f.gen.get());
        f.gen->setReboundEnable(false);
        f.gen->moveDecode(0, spp * 400 - 1);
        f.gen->setReboundEnable(true);
        f.gen->moveTo(off);
        QVERIFY(waitLastFrame(h, h.seen.size()));   // the worker's frame after the GUI's own
        QTRY_VERIFY(!f.gen->isAnimating());
        QCOMPARE(f.gen->getSmpPerPixel(), wantSpp);
        QCOMPARE(f.gen->getSmpOffset(), wantOff);
        QCOMPARE(h.seen.back().off, wantOff);
    }

    void reboundKeepsNewerInput()
    {
        // A view pulled back from -500 must not overwrite a move that came
        // during the rebound's wait.
        Fixture f(100000);
        Harness h(f.gen.get());
        f.gen->moveTo(-500);
        f.gen->moveTo(300);
        QTRY_VERIFY(!f.gen->isAnimating());
        QCOMPARE(f.gen->getSmpOffset(), 300.0);

        // The same with the second move after the worker has begun its wait.
        f.gen->moveTo(-500);
        QTRY_VERIFY(f.gen->isAnimating());
        QTest::qWait(20);   // lands inside the 100 ms wait; the verdict does not depend on it
        f.gen->moveTo(700);
        QTRY_VERIFY(!f.gen->isAnimating());
        QCOMPARE(f.gen->getSmpOffset(), 700.0);
    }

    void zoomFirstPlacesTheView_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<double>("spp");
        QTest::addColumn<long long>("trg");
        QTest::addColumn<double>("wantSpp");
        QTest::addColumn<double>("wantOff");
        // Previous view: samples 100-900 around a trigger at 500; W = 800, N = 100000.
        QTest::newRow("keep, trigger moved to 700") << 0 << 1.0 << 700LL << 1.0 << 300.0;
        QTest::newRow("keep, trigger at 50 clamps to 0") << 0 << 1.0 << 50LL << 1.0 << 0.0;
        QTest::newRow("keep, trigger near the end") << 0 << 1.0 << 99900LL << 1.0 << 99200.0;
        QTest::newRow("centre trigger") << 1 << 1.0 << 5000LL << 1.0 << 4600.0;
        QTest::newRow("centre trigger near 0") << 1 << 1.0 << 100LL << 1.0 << 0.0;
        QTest::newRow("whole capture") << 2 << 1.0 << 5000LL << 125.0 << 0.0;
        QTest::newRow("too far out is fitted") << 0 << 500.0 << 500LL << 125.0 << 0.0;
        QTest::newRow("below the minimum is fitted") << 1 << 0.005 << 500LL << 125.0 << 0.0;
    }
    void zoomFirstPlacesTheView()
    {
        QFETCH(int, state);
        QFETCH(double, spp);
        QFETCH(long long, trg);
        QFETCH(double, wantSpp);
        QFETCH(double, wantOff);
        const long long n = 100000;
        Fixture f(n, 800, {}, 500);
        f.gen->setReboundEnable(false);
        Config::viewState = ViewKeep;
        f.gen->zoomFirst();   // remembers the trigger at 500
        f.gen->moveDecode(0, spp * 400 - 1);
        f.gen->moveTo(100);
        f.gen->setReboundEnable(true);
        f.store->trgPosition = trg;   // the next capture
        Config::viewState = state;
        QSignalSpy spy(f.gen.get(), &WaveDataGen::sigViewRefresh);
        f.gen->zoomFirst();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
        QCOMPARE(f.gen->getSmpPerPixel(), wantSpp);
        QCOMPARE(f.gen->getSmpOffset(), wantOff);
    }

    void zoomFixedBounds_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("want");
        // N = 80000, W = 800: at most 100.
        QTest::newRow("below the minimum") << 0.001 << 0.01;
        QTest::newRow("minimum") << 0.01 << 0.01;
        QTest::newRow("inside") << 2.5 << 2.5;
        QTest::newRow("the whole capture") << 100.0 << 100.0;
        QTest::newRow("beyond the whole capture") << 1e6 << 100.0;
        QTest::newRow("negative") << -5.0 << 0.01;
        QTest::newRow("infinite") << qInf() << 100.0;
    }
    void zoomFixedBounds()
    {
        QFETCH(double, value);
        QFETCH(double, want);
        Fixture f(80000);
        f.gen->setReboundEnable(false);
        f.gen->moveDecode(0, 399);
        f.gen->moveTo(1000);   // centre sample 1400
        f.gen->zoomFixed(value);
        QCOMPARE(f.gen->getSmpPerPixel(), want);
        QVERIFY(std::abs(f.gen->getSmpOffset() + 400 * want - 1400) < 1e-6);
    }

    void fineZoomAndJumps_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<double>("spp");
        QTest::addColumn<double>("wantSpp");
        QTest::addColumn<double>("wantCentre");   // sample at pixel 400; NaN: not kept
        QTest::addColumn<double>("wantOff");      // NaN: not checked
        // N = 80000, W = 800, trigger at 30000; the view starts at 1000.
        QTest::newRow("in fine") << "in" << 1.0 << 0.9 << 1400.0 << qQNaN();
        QTest::newRow("in fine stops at the minimum") << "in" << 0.0105 << 0.01 << 1004.2 << qQNaN();
        QTest::newRow("out fine") << "out" << 1.0 << 1.1 << 1400.0 << qQNaN();
        QTest::newRow("trigger") << "trg" << 7.0 << 1.0 << 30000.0 << 29600.0;
        QTest::newRow("all") << "all" << 7.0 << 100.0 << qQNaN() << 0.0;
    }
    void fineZoomAndJumps()
    {
        QFETCH(QString, op);
        QFETCH(double, spp);
        QFETCH(double, wantSpp);
        QFETCH(double, wantCentre);
        QFETCH(double, wantOff);
        Fixture f(80000, 800, {}, 30000);
        f.gen->setReboundEnable(false);
        f.gen->moveDecode(0, spp * 400 - 1);
        f.gen->moveTo(1000);
        QSignalSpy spy(f.gen.get(), &WaveDataGen::sigViewRefresh);
        if (op == "in")
            f.gen->zoomInFine();
        else if (op == "out")
            f.gen->zoomOutFine();
        else if (op == "trg")
            f.gen->zoomTrg();
        else
            f.gen->zoomAll();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(f.gen->getSmpPerPixel(), wantSpp);
        if (!qIsNaN(wantCentre))
            QVERIFY(std::abs(f.gen->getSmpOffset() + 400 * wantSpp - wantCentre) < 1e-9);
        if (!qIsNaN(wantOff))
            QCOMPARE(f.gen->getSmpOffset(), wantOff);
        QCOMPARE(f.gen->frame()->smpPerPixel, wantSpp);
    }

    void moveDecodeFillsTheMiddleHalf()
    {
        Fixture f(100000);
        f.gen->setReboundEnable(false);
        QSignalSpy spy(f.gen.get(), &WaveDataGen::sigViewRefresh);
        WaveDataGen::moveDecode(1000, 1999);
        QCOMPARE(f.gen->getSmpPerPixel(), 2.5);
        QCOMPARE(f.gen->getSmpOffset(), 500.0);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
        const WaveFramePtr fr = f.gen->frame();
        QCOMPARE(fr->pixelOf(1000), 200LL);
        QCOMPARE(fr->pixelOf(2000), 600LL);
        // A reversed range leaves the view alone.
        WaveDataGen::moveDecode(5000, 10);
        QCOMPARE(f.gen->getSmpPerPixel(), 2.5);
    }

    void moveToEdges_data()
    {
        QTest::addColumn<bool>("previous");
        QTest::addColumn<double>("off");
        QTest::addColumn<double>("wantCentre");
        // Edges at 3000 and 7000, N = 100000, spp 1, W = 800 (centre pixel 400).
        QTest::newRow("previous from 5000") << true << 5000.0 << 3000.0;
        QTest::newRow("previous at the edge") << true << 7000.0 << 7000.0;
        QTest::newRow("previous, none before") << true << 2000.0 << 0.0;
        QTest::newRow("next from 1000") << false << 1000.0 << 3000.0;
        QTest::newRow("next from 2500") << false << 2500.0 << 7000.0;
        QTest::newRow("next, none after") << false << 8000.0 << 100000.0;
        QTest::newRow("next, view beyond the end") << false << 99900.0 << 100000.0;
    }
    void moveToEdges()
    {
        QFETCH(bool, previous);
        QFETCH(double, off);
        QFETCH(double, wantCentre);
        Fixture f(100000, 800, {Chn{0, {3000, 7000}}});
        f.gen->setReboundEnable(false);
        f.gen->moveDecode(0, 399);
        f.gen->moveTo(off);
        if (previous)
            f.gen->movePreEdge(0);
        else
            f.gen->moveNextEdge(0);
        QCOMPARE(f.gen->getSmpOffset() + 400 * f.gen->getSmpPerPixel(), wantCentre);
    }

    void noSamplesOrNoWidthKeepsAFiniteZoom_data()
    {
        QTest::addColumn<long long>("count");
        QTest::addColumn<int>("width");
        QTest::newRow("no samples") << 0LL << 800;
        QTest::newRow("no width") << 1000LL << 0;
        QTest::newRow("neither") << 0LL << 0;
        QTest::newRow("no store") << -1LL << 800;
    }
    void noSamplesOrNoWidthKeepsAFiniteZoom()
    {
        QFETCH(long long, count);
        QFETCH(int, width);
        Config::disAnimate = true;
        std::unique_ptr<SmpData> store = makeStore({Chn{0, {}}}, std::max(0LL, count));
        WaveDataGen gen;
        const SmpData* s = count < 0 ? nullptr : store.get();
        gen.setDataSource([s] { return s; });
        gen.setChannelCount(1);
        gen.setViewWidth(width);
        QVERIFY(gen.getViewWidth() >= 1);
        Harness h(&gen);
        auto ok = [&] { return finitePositive(gen.getSmpPerPixel()) && std::isfinite(gen.getSmpOffset()); };
        for (int state = 0; state < 3; ++state) {
            Config::viewState = state;
            gen.zoomFirst();
            QVERIFY(ok());
        }
        gen.zoomAll();
        QVERIFY(ok());
        gen.zoomFixed(5);
        QVERIFY(ok());
        gen.zoomFixed(0);
        QVERIFY(ok());
        gen.zoomFixed(qQNaN());
        QVERIFY(ok());
        WaveDataGen::moveDecode(0, 99);
        QVERIFY(ok());
        gen.zoomIn(0);
        gen.zoomOut(0);
        gen.zoomInFine();
        gen.zoomOutFine();
        gen.moveEnd();
        gen.movePreEdge(0);
        gen.moveNextEdge(0);
        gen.zoomTrg();
        gen.moveTo(-100);
        QVERIFY(ok());
        QTRY_VERIFY(!gen.isAnimating());
        QVERIFY(ok());
        const WaveFramePtr fr = gen.frame();
        QVERIFY(finitePositive(fr->smpPerPixel));
        QVERIFY(fr->viewWidth >= 1);
    }

    void framesAgreeWithTheirView_data()
    {
        QTest::addColumn<int>("seed");
        QTest::newRow("one thread a frame") << 0;
        QTest::newRow("channels on several threads") << 1;
    }
    void framesAgreeWithTheirView()
    {
        QFETCH(int, seed);
        // While the worker animates and the GUI thread moves the view, every
        // published frame holds the runs of its own spp and offset.
        std::mt19937_64 rng{quint64(7 + seed)};
        std::vector<Chn> chns;
        for (int c = 0; c < 4; ++c)
            chns.push_back(randomChn(rng, 2000000, 50000));
        Fixture f(2000000, 640, chns);
        f.gen->setThreadingThreshold(seed ? 0 : 1LL << 60);
        Harness h(f.gen.get());
        h.check = f.store.get();
        for (int i = 0; i < 4; ++i) {
            const size_t from = h.seen.size();
            if (i % 2)
                f.gen->zoomIn(100 + 50 * i);
            else
                f.gen->zoomOut(500 - 50 * i);
            QTRY_VERIFY(h.seen.size() >= from + 3);
            // GUI-thread moves in the middle of the animation.
            f.gen->zoomOutFine();
            f.gen->moveTo(1000.0 * i);
            QTRY_VERIFY_WITH_TIMEOUT(!f.gen->isAnimating(), 10000);
        }
        QVERIFY(h.seen.size() >= 8);
        QVERIFY2(h.faults.empty(), h.faults.empty() ? "" : qPrintable(h.faults.front()));
    }

    void runsMatchReference_data()
    {
        QTest::addColumn<int>("seed");
        QTest::addColumn<long long>("count");
        QTest::addColumn<long long>("edges");
        QTest::newRow("sparse") << 1 << 100000LL << 300LL;
        QTest::newRow("three blocks of edges") << 2 << 400000LL << 60000LL;
        QTest::newRow("dense, five blocks") << 3 << 250000LL << 100000LL;
        QTest::newRow("no edge") << 4 << 5000LL << 0LL;
    }
    void runsMatchReference()
    {
        QFETCH(int, seed);
        QFETCH(long long, count);
        QFETCH(long long, edges);
        std::mt19937_64 rng{quint64(seed)};
        std::vector<Chn> chns;
        for (int c = 0; c < 5; ++c)   // enough channels to be computed on several threads
            chns.push_back(edges ? randomChn(rng, count, edges / (c + 1)) : Chn{c & 1, {}});
        Fixture f(count, 800, chns);
        f.gen->setReboundEnable(false);
        f.gen->setThreadingThreshold(0);   // every frame on several threads
        // Views around the block borders of the first channel, and random ones.
        std::vector<double> centres;
        for (size_t k = DataBlock::Capacity - 1; k < chns[0].edges.size(); k += DataBlock::Capacity)
            centres.push_back(double(chns[0].edges[k]));
        std::uniform_real_distribution<double> u(0, 1);
        for (int i = 0; i < 12; ++i)
            centres.push_back(u(rng) * count * 1.1 - count * 0.05);
        int views = 0;
        for (double c : centres) {
            for (double spp : {0.01, 0.37, 1.0, 2.5, 17.3, 300.0, double(count) / 800, double(count) / 200}) {
                for (int width : {800, 7}) {
                    const double off = c - width / 2 * spp + (u(rng) - 0.5) * spp;
                    f.gen->setViewWidth(width);
                    f.gen->moveDecode(0, spp * (width / 2) - 1);
                    f.gen->moveTo(off);
                    const WaveFramePtr fr = f.gen->frame();
                    QCOMPARE(fr->smpOffset, off);
                    for (int ch = 0; ch < 5; ++ch) {
                        const WaveLine* got = nullptr;
                        const int n = fr->getData(ch, &got);
                        const std::vector<WaveLine> want = refRuns(chns[size_t(ch)], count, off, fr->smpPerPixel, width);
                        auto where = [&] {
                            return QString("ch %1 off %2 spp %3 w %4")
                                .arg(ch).arg(off, 0, 'g', 17).arg(fr->smpPerPixel, 0, 'g', 17).arg(width);
                        };
                        if (off >= double(count) + 1) {
                            if (n != -1)
                                QFAIL(qPrintable(where()));
                            continue;
                        }
                        if (n != int(want.size()))
                            QFAIL(qPrintable(where() + QString(" n %1 want %2").arg(n).arg(want.size())));
                        QVERIFY(n <= width);
                        for (int i = 0; i < n; ++i) {
                            const WaveLine& a = got[i];
                            const WaveLine& b = want[size_t(i)];
                            if (a.x != b.x || a.width != b.width || a.type != b.type)
                                QFAIL(qPrintable(where() + QString(" #%1: {%2,%3,%4} want {%5,%6,%7}")
                                                               .arg(i).arg(a.x).arg(a.width).arg(a.type)
                                                               .arg(b.x).arg(b.width).arg(b.type)));
                        }
                    }
                    ++views;
                }
            }
        }
        QVERIFY(views >= 16 * 12);
    }

    void channelsWithoutDataOrBeyondTheStore()
    {
        std::vector<Chn> chns = {Chn{1, {50}}, Chn{0, {}}};
        std::unique_ptr<SmpData> store = makeStore(chns, 1000);
        store->clearOneChn(store->chnData[1]);
        store->chnData[1] = nullptr;
        WaveDataGen gen;
        const SmpData* s = store.get();
        gen.setDataSource([s] { return s; });
        gen.setChannelCount(4);   // more channels than the store holds
        gen.setViewWidth(100);
        gen.setReboundEnable(false);
        WaveDataGen::moveDecode(0, 499);   // spp 10, offset -250
        gen.moveTo(0);
        const WaveFramePtr fr = gen.frame();
        const WaveLine* l = nullptr;
        QCOMPARE(fr->getData(0, &l), 3);   // high to 5, column at 5, low to the end at 100
        QCOMPARE(l[0].type, 1);
        QCOMPARE(l[1].type, 2);
        QCOMPARE(l[1].x, 5);
        QCOMPARE(fr->getData(1, &l), -1);
        QCOMPARE(fr->getData(3, &l), -1);
        QCOMPARE(fr->getData(9, &l), -1);
        QVERIFY(l == nullptr);
        gen.releaseDevice();
        gen.genData();
        QCOMPARE(gen.frame()->getData(0, &l), -1);
        QCOMPARE(gen.frame()->smpCount, 0LL);
    }

    void followsTheDeviceObject()
    {
        Config::cfgDoc.setContent(Config::defaultDocument());
        std::unique_ptr<DevBase> dev(DevBase::createDevice(0));
        QVERIFY(dev);
        DevBase* old = devUsing;
        devUsing = dev.get();
        const SmpDataPtr shown = dev->displayedSmpData();
        QVERIFY(shown);
        const int n = dev->dChnEna.size();
        QVERIFY(n >= 8);
        {
            // A capture in the displayed store: channel 1 rises at 300.
            std::vector<char> ena(size_t(shown->chnNum), 1);
            shown->dataConvertStart(0, 1000000, reinterpret_cast<const bool*>(ena.data()));
            SmpData::appendEntry(shown->chnData[1], 300);
            shown->smpCount = 1000;
            shown->dataConvertComplete(1000);
        }
        WaveDataGen gen;
        gen.setReboundEnable(false);
        gen.devModelChanged();
        QCOMPARE(gen.channelCount(), n);
        gen.setViewWidth(100);
        gen.zoomAll();   // 10 samples a pixel
        WaveFramePtr f = gen.frame();
        QCOMPARE(f->smpCount, 1000LL);
        QCOMPARE(int(f->counts.size()), n);
        const WaveLine* l = nullptr;
        QCOMPARE(f->getData(1, &l), 3);
        QCOMPARE(l[1].x, 30);
        QCOMPARE(l[1].type, 2);
        // Before the device object goes, the generator lets go of its stores.
        gen.releaseDevice();
        devUsing = old;
        dev.reset();
        gen.genData();
        f = gen.frame();
        QCOMPARE(f->smpCount, 0LL);
        QCOMPARE(f->getData(1, &l), -1);
    }

    void pixelConversionsStayIn64Bits()
    {
        // 10^10 samples at 0.01 samples per pixel: 10^12 pixels wide.
        WaveFrame f;
        f.smpPerPixel = 0.01;
        f.smpOffset = 0;
        QCOMPARE(f.pixelOf(1e10), 1000000000000LL);
        QCOMPARE(f.pixelOf(-1e10), -1000000000000LL);
        QCOMPARE(wavePixelClamp(f.pixelOf(1e10), -10, 1930), 1930);
        QCOMPARE(wavePixelClamp(f.pixelOf(-1e10), -10, 1930), -10);
        QCOMPARE(wavePixelTrunc(1e300), wavePixelTrunc(1e200));
        QVERIFY(wavePixelTrunc(1e300) > 1000000000000000LL);
        QCOMPARE(wavePixelTrunc(qQNaN()), 0LL);
    }
};

QTEST_MAIN(TestWaveDataGen)
#include "tst_wavedatagen.moc"
