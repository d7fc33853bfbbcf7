// The waveform area with its ruler and overview strip, driven as a user
// drives it: the row layout, keys, mouse moves and clicks on the waves,
// marker pairs and the texts and counts they produce, checked against
// captures built plainly here and brute-force counts over their edges.

#include "tests/waveview/demohost.h"
#include "tests/waveview/viewwiring.h"
#include "tests/waveview/wavetestutil.h"

#include "waveview/cursorbody.h"
#include "waveview/cursorhandle.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/itemwavearrow.h"
#include "waveview/labelmove.h"
#include "waveview/itemwaveline.h"
#include "waveview/nextedge.h"
#include "waveview/wavemeasure.h"
#include "waveview/waveview.h"
#include "widgets/mybutton.h"
#include "widgets/myscrollbar.h"

#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <random>
#include <type_traits>
#include <utility>

using namespace WaveTest;

namespace {

// Counters as the pulse-counter panel would list them.
class Counters : public PulseCounterSource
{
public:
    QStringList all;
    QMap<int, QStringList> pairs;
    QStringList getChnAndTimeSet() const override { return all; }
    QStringList getChnSet(int pair) const override { return pairs.value(pair); }
};

// Rising, falling, positive and negative pulses in [a, b], walking the edges.
WaveMeasure::PulseCounts bruteCounts(const Chn& c, long long a, long long b)
{
    if (a > b)
        std::swap(a, b);
    WaveMeasure::PulseCounts r;
    int level = c.init;
    long long lastRise = -1, lastFall = -1;
    for (long long e : c.edges) {
        level ^= 1;
        if (e < a || e > b)
            continue;
        if (level) {
            ++r.rising;
            if (lastFall >= 0)
                ++r.negative;
            lastRise = e;
            lastFall = -1;
        } else {
            ++r.falling;
            if (lastRise >= 0)
                ++r.positive;
            lastFall = e;
            lastRise = -1;
        }
    }
    return r;
}

QString countText(const WaveMeasure::PulseCounts& c)
{
    return QStringLiteral(",%1,%2,%3,%4").arg(c.rising).arg(c.falling).arg(c.positive).arg(c.negative);
}

// Replaces the displayed capture of the device object with the given channels.
void showCapture(DevBase* dev, const std::vector<Chn>& chns, long long n, long long rate, long long trg)
{
    fillStore(dev->fillingSmpData().get(), chns, n, rate, trg);
    dev->toggleSmpData();
}

void moveMouse(QWidget* viewport, QPoint p)
{
    QCursor::setPos(viewport->mapToGlobal(p));
    QMouseEvent e(QEvent::MouseMove, p, viewport->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &e);
}

} // namespace

class TstMainView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void pulseCountsAgainstWalk();
    void keyThreeCreatesPairB();
    void digitsInNameEditMakeNoMarker();
    void markerSnapsAndTexts();
    void deletingPairKeepsNextHandles();
    void measureUnderMouse();
    void edgeButtonsOutsideCapture();
    void countersBetweenMarkers();
    void resetRestartsOnce();
    void rowDragTriggersAndNames();
    void rulerTicks();
    void rulerFirstLabelWhole();
    void overviewStrip();
    void captureDuringAnimatedZoomWithBubbles();

private:
    // A 16-channel demo device with a known capture, shown in the window.
    void showKnownCapture();

    std::unique_ptr<DemoHost> host;
    std::unique_ptr<ViewWiring> wiring;
    std::vector<Chn> chns;
    Counters counters;
    static constexpr long long count = 100000;
    static constexpr long long rate = 1000000;
    static constexpr long long trg = 500;
};

void TstMainView::init()
{
    Config::fillLists();
    Config::createFont();
    Config::viewState = ViewAll;
    Config::disAnimate = true;
    MainView::setPulseCounterSource(&counters);
}

void TstMainView::cleanup()
{
    wiring.reset();
    host.reset();
    MainView::setPulseCounterSource(nullptr);
    counters = Counters();
}

void TstMainView::showKnownCapture()
{
    host.reset(new DemoHost);
    wiring.reset(new ViewWiring(nullptr));
    wiring->gen->setReboundEnable(false);
    wiring->devModelChanged();
    wiring->window->resize(1300, 800);
    wiring->window->show();
    QApplication::setActiveWindow(wiring->window);
    QVERIFY(QTest::qWaitForWindowActive(wiring->window));
    // Channel 1: a 100-sample period with 30-sample high pulses; the others random.
    std::mt19937_64 rng(7);
    chns.assign(16, Chn());
    for (int c = 0; c < 16; ++c)
        chns[size_t(c)] = randomChn(rng, count, 300);
    chns[1] = Chn();
    for (long long p = 1000; p + 30 < count; p += 100) {
        chns[1].edges.push_back(p);
        chns[1].edges.push_back(p + 30);
    }
    showCapture(host->dev.get(), chns, count, rate, trg);
    emit host->dev->sigSmpDataReady(0);
    QVERIFY(wiring->frames > 0);
    // One sample a pixel from sample 2000 on.
    wiring->gen->zoomFixed(1.0);
    wiring->gen->moveTo(2000);
}

void TstMainView::layout_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("height");
    QTest::addColumn<QVector<int>>("disabled");
    QTest::addColumn<QString>("multiples");
    QTest::addColumn<QVector<int>>("heights");   // per channel
    QTest::addColumn<int>("total");
    QTest::addColumn<bool>("overlay");

    QTest::newRow("8 in 400") << 1 << 400 << QVector<int>() << QString() << QVector<int>(8, 50) << 400 << false;
    QTest::newRow("32 in 600") << 9 << 600 << QVector<int>() << QString() << QVector<int>(32, 42) << 1344 << true;
    QVector<int> two(16, 0);
    two[0] = two[1] = 120;
    QVector<int> off14;
    for (int c = 2; c < 16; ++c)
        off14 << c;
    QTest::newRow("2 in 1000") << 0 << 1000 << off14 << QString() << two << 240 << false;
    QTest::newRow("multiple 8 among 1") << 1 << 400 << QVector<int>() << QString("1,1,8,1,1,1,1,1")
                                        << QVector<int>({42, 42, 336, 42, 42, 42, 42, 42}) << 630 << true;
    QTest::newRow("disabled collapses") << 1 << 350 << QVector<int>({3}) << QString()
                                        << QVector<int>({50, 50, 50, 0, 50, 50, 50, 50}) << 350 << false;
}

void TstMainView::layout()
{
    QFETCH(int, model);
    QFETCH(int, height);
    QFETCH(QVector<int>, disabled);
    QFETCH(QString, multiples);
    QFETCH(QVector<int>, heights);
    QFETCH(int, total);
    QFETCH(bool, overlay);

    TempEnv env;
    Config::cfgDoc.setContent(Config::defaultDocument());
    Config::saveGlobalParam(QStringLiteral("chnShowMultip"), multiples);
    std::unique_ptr<DevBase> dev(DevBase::createDevice(model));
    devUsing = dev.get();
    {
        WaveDataGen gen;
        gen.devModelChanged();
        MainView view(&gen, nullptr, nullptr);
        connect(dev.get(), &DevBase::sigChnEnaChanged, &view, &MainView::slotChnEnaChanged);
        view.resize(1000, height);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.init();
        view.init();   // a second rebuild leaves one set of everything
        QVector<bool> ena(dev->dChnEna.size(), true);
        for (int c : disabled)
            ena[c] = false;
        dev->setDChnEna(ena);

        const int n = dev->dChnEna.size();
        // The wave view takes what the row headers leave, and the traces and
        // the generator take its width at once.
        const int waveW = 1000 - Config::pixel(196);
        QCOMPARE(view.getWaveView()->width(), waveW);
        QCOMPARE(gen.getViewWidth(), waveW / Config::pixel(1));
        for (const ItemWaveLine* l : view.getWaveLines())
            QCOMPARE(int(l->boundingRect().width()), waveW);
        QCOMPARE(view.getChnSidebars().size(), n);
        QCOMPARE(view.getWaveLines().size(), n);
        // Rows, backgrounds and traces, plus progress disc, period arrows and edge button.
        QCOMPARE(view.getScene()->items().size(), 2 * n + 3);
        QCOMPARE(view.shortcutCount(), 17);
        int top = 0;
        for (int c = 0; c < n; ++c) {
            const ItemChnSidebar* row = view.getChnSidebars()[c];
            QCOMPARE(row->height(), heights[c]);
            QCOMPARE(row->y(), top);   // identity order: rows stack in channel order
            QCOMPARE(int(view.getWaveLines()[c]->y()), top);
            QCOMPARE(int(view.getWaveLines()[c]->boundingRect().height()), heights[c]);
            top += heights[c];
        }
        QCOMPARE(view.getSidebarFrame()->height(), total);
        QCOMPARE(int(view.getScene()->sceneRect().height()), total);
        QCOMPARE(view.getWaveView()->overlayBar()->isVisible(), overlay);
        if (overlay) {
            // The overlay bar, the sidebar and the view scroll together.
            view.getWaveView()->overlayBar()->setValue(100);
            QCOMPARE(view.getSidebarArea()->verticalScrollBar()->value(), 100);
            QCOMPARE(view.getWaveView()->vScrollValue(), 100);
        }
    }
    devUsing = nullptr;
}

void TstMainView::pulseCountsAgainstWalk()
{
    std::mt19937_64 rng(11);
    const long long n = 200000;
    std::vector<Chn> cs;
    for (int c = 0; c < 4; ++c)
        cs.push_back(randomChn(rng, n, 5000 * (c + 1)));
    std::unique_ptr<SmpData> s = makeStore(cs, n);
    for (int c = 0; c < 4; ++c) {
        const Chn& ch = cs[size_t(c)];
        std::vector<std::pair<long long, long long>> ranges = {{0, n}, {n, 0}, {n / 2, n / 2}};
        for (int k = 0; k < 300; ++k) {
            // Random ends, ends exactly on edges and reversed ranges.
            const long long e1 = ch.edges[size_t(rng() % ch.edges.size())];
            const long long e2 = ch.edges[size_t(rng() % ch.edges.size())];
            ranges.push_back({e1, e2});
            ranges.push_back({e1, (long long)(rng() % (n + 1))});
            ranges.push_back({(long long)(rng() % (n + 1)), (long long)(rng() % (n + 1))});
            ranges.push_back({e1, e1});
        }
        for (auto [a, b] : ranges) {
            WaveMeasure::PulseCounts got;
            QVERIFY(WaveMeasure::pulseCounts(s.get(), c, a, b, &got));
            const QString want = countText(bruteCounts(ch, a, b));
            QCOMPARE(WaveMeasure::pulseCountText(s.get(), c, a, b), want);
        }
    }
    QCOMPARE(WaveMeasure::pulseCountText(s.get(), 0, -1, 5), QStringLiteral(",###,###,###,###"));
    QCOMPARE(WaveMeasure::pulseCountText(s.get(), 0, 5, n + 1), QStringLiteral(",###,###,###,###"));
    QCOMPARE(WaveMeasure::pulseCountText(s.get(), 9, 0, n), QStringLiteral(",###,###,###,###"));
}

void TstMainView::keyThreeCreatesPairB()
{
    showKnownCapture();
    MainView* mv = wiring->mainView;
    QSignalSpy pairs(mv, &MainView::timMarkPairChanged);
    moveMouse(mv->getWaveView()->viewport(), QPoint(400, 100));
    QTest::keyClick(wiring->window, Qt::Key_3);
    QCOMPARE(pairs.value(0), QVariantList({0, 2, QString(), QString()}));
    const int b1 = mv->findCursorBody(2);
    QVERIFY(b1 >= 0);
    QCOMPARE(mv->getCursorBodies()[b1]->state, 1);
    QCOMPARE(mv->getCursorBodies()[b1 + 1]->state, 0);
    QCOMPARE(mv->findCursorBody(0), -1);
    // The ruler shows B1's head following the mouse.
    const QVector<CursorHandle*>& heads = wiring->timeView->getCursorHandles();
    QCOMPARE(heads.size(), 2);
    QCOMPARE(heads[0]->id, 2);
    QCOMPARE(heads[0]->state, 1);
    QVERIFY(heads[0]->isVisible());
    // "3" again cancels it.
    QTest::keyClick(wiring->window, Qt::Key_3);
    QCOMPARE(mv->getCursorBodies()[b1]->state, 0);
    QVERIFY(!heads[0]->isVisible());
    QCOMPARE(mv->getCursorBodies().size(), 2);
}

void TstMainView::digitsInNameEditMakeNoMarker()
{
    showKnownCapture();
    MainView* mv = wiring->mainView;
    QLineEdit* name = mv->getChnSidebars()[4]->nameEdit();
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    const double offset = wiring->gen->getSmpOffset();
    // End moves the cursor in the text, not the view to the capture's end.
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClicks(name, QStringLiteral("1234"));
    QCOMPARE(name->text(), ItemChnSidebar::defaultName(4) + QStringLiteral("1234"));
    QCOMPARE(wiring->gen->getSmpOffset(), offset);
    QVERIFY(mv->getCursorBodies().isEmpty());
    QVERIFY(wiring->timeView->getCursorHandles().isEmpty());
}

void TstMainView::markerSnapsAndTexts()
{
    showKnownCapture();
    MainView* mv = wiring->mainView;
    QWidget* vp = mv->getWaveView()->viewport();
    const int rowY = mv->getChnSidebars()[1]->y() + 20;
    const WaveFramePtr f = wiring->gen->frame();
    QCOMPARE(f->smpPerPixel, 1.0);
    QCOMPARE(f->smpOffset, 2000.0);
    QSignalSpy texts(mv, &MainView::timMarkPairChanged);

    // "1": A1 follows the mouse. Channel 1 has edges at 2100 and 2130.
    moveMouse(vp, QPoint(50, rowY));
    QTest::keyClick(wiring->window, Qt::Key_1);
    const int a1 = mv->findCursorBody(0);
    QCOMPARE(mv->getCursorBodies()[a1]->state, 1);
    struct Step {
        int x;
        long long smp;
    };
    // Within 10 px of an edge the marker jumps onto it; beyond that it stays.
    for (Step s : {Step{90, 2100}, Step{89, 2089}, Step{110, 2100}, Step{111, 2111}, Step{115, 2115},
                   Step{121, 2130}, Step{140, 2130}, Step{141, 2141}}) {
        moveMouse(vp, QPoint(s.x, rowY));
        QCOMPARE(mv->getCursorBodies()[a1]->smpPoint, s.smp);
        QCOMPARE(int(mv->getCursorBodies()[a1]->x()), int(s.smp - 2000));
    }
    // Away from any row there is nothing to snap to.
    moveMouse(vp, QPoint(95, mv->getChnSidebars()[15]->y() + mv->getChnSidebars()[15]->height() + 30));
    QCOMPARE(mv->getCursorBodies()[a1]->smpPoint, 2095LL);
    // Left click drops it at sample 2100: 1600 samples after the trigger at 1 MHz.
    moveMouse(vp, QPoint(95, rowY));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(95, rowY));
    QCOMPARE(mv->getCursorBodies()[a1]->state, 3);
    QCOMPARE(texts.last(), QVariantList({4, 0, QStringLiteral("1.6ms"), QStringLiteral("###")}));

    // "2": A2 follows; dropped on the edge at 3600 (x 1600 is beyond the view: move the view first).
    wiring->gen->moveTo(3000);
    moveMouse(vp, QPoint(20, rowY));
    QTest::keyClick(wiring->window, Qt::Key_2);
    moveMouse(vp, QPoint(605, rowY));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(605, rowY));
    const int a2 = mv->findCursorBody(1);
    QCOMPARE(mv->getCursorBodies()[a2]->smpPoint, 3600LL);
    QCOMPARE(texts.last(), QVariantList({4, 1, QStringLiteral("3.1ms"), QStringLiteral("1.5ms")}));
    // A1 still lies where it was put, now 1000 pixels further left.
    QCOMPARE(int(mv->getCursorBodies()[a1]->x()), 2100 - 3000);
    QCOMPARE(mv->timeDataToString(1234), QStringLiteral("1.234ns"));
    QCOMPARE(mv->timeDataToString(-2500), QStringLiteral("-2.5ns"));
    QCOMPARE(mv->timeDataToString(0), QStringLiteral("0ps"));

    // A marker far outside the view (a deep capture zoomed in) stays far
    // off the scene instead of wrapping around into it.
    QSignalSpy bodies(mv, &MainView::timeMarkBodyChanged);
    mv->setTimeMarkerPosition(a1, 5.0e10);
    QCOMPARE(bodies.last().at(0).toInt(), 8);
    const int farX = bodies.last().at(2).toInt();
    QVERIFY(farX > 1000000);
    QCOMPARE(int(mv->getCursorBodies()[a1]->x()), farX);
    QCOMPARE(wiring->timeView->getCursorHandles()[a1]->x() + wiring->timeView->getCursorHandles()[a1]->width() / 2,
             farX);
    mv->setTimeMarkerPosition(a1, -5.0e10);
    QVERIFY(bodies.last().at(2).toInt() < -1000000);
}

void TstMainView::deletingPairKeepsNextHandles()
{
    showKnownCapture();
    MainView* mv = wiring->mainView;
    mv->slotTimingMarkerPairClicked(0, 0);
    mv->slotTimingMarkerPairClicked(0, 2);
    mv->slotTimingMarkerPairClicked(0, 10);   // no such pair
    QCOMPARE(mv->getCursorBodies().size(), 4);
    QCOMPARE(mv->getCursorBodySub(12), -1);
    for (int id = 0; id < 4; ++id)
        mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(id), 3, 100 + 100 * id);
    QCOMPARE(wiring->timeView->getCursorHandles().size(), 4);

    mv->slotTimingMarkerPairClicked(1, 0);
    QCOMPARE(mv->getCursorBodies().size(), 2);
    QCOMPARE(mv->getCursorBodies()[0]->id, 2);
    const QVector<CursorHandle*>& heads = wiring->timeView->getCursorHandles();
    QCOMPARE(heads.size(), 2);
    QCOMPARE(heads[0]->id, 2);
    QCOMPARE(heads[1]->id, 3);
    QVERIFY(heads[0]->isVisible() && heads[1]->isVisible());
    // Deleting a pair that does not exist leaves the others alone.
    mv->slotTimingMarkerPairClicked(1, 6);
    QCOMPARE(heads.size(), 2);
    QCOMPARE(mv->getCursorBodies().size(), 2);
}

void TstMainView::measureUnderMouse()
{
    showKnownCapture();
    MainView* mv = wiring->mainView;
    QWidget* vp = mv->getWaveView()->viewport();
    const int rowY = mv->getChnSidebars()[1]->y() + 20;
    QSignalSpy texts(mv, &MainView::logMeasureChanged);
    // Channel 1 at 1 MHz: 30 us high in every 100 us.
    moveMouse(vp, QPoint(110, rowY));
    QCOMPARE(texts.last().at(0).toStringList(), QStringList({"30us", "100us", "30%", "10KHz"}));
    QVERIFY(mv->getWaveArrow()->isVisible());
    moveMouse(vp, QPoint(150, rowY));
    QCOMPARE(texts.last().at(0).toStringList(), QStringList({"70us", "100us", "30%", "10KHz"}));
    // Before the first edge there is no period to tell: only the run is measured.
    wiring->gen->moveTo(0);
    moveMouse(vp, QPoint(500, rowY));
    QCOMPARE(texts.last().at(0).toStringList(), QStringList({"1ms", "###", "###", "###"}));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(mv->getWaveView(), &leave);
    QCOMPARE(texts.last().at(0).toStringList(), QStringList({"###", "###", "###", "###"}));
    QVERIFY(!mv->getWaveArrow()->isVisible());
    QCOMPARE(WaveMeasure::measureTexts(2000000, -1, 0.25, 1500), QStringList({"2us", "###", "25%", "1.5KHz"}));

    // Without a sample rate no time can be told.
    showCapture(host->dev.get(), chns, count, 0, trg);
    mv->slotTimingMarkerPairClicked(0, 0);
    QSignalSpy pair(mv, &MainView::timMarkPairChanged);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(0), 3, 100);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(1), 3, 200);
    QCOMPARE(pair.last(), QVariantList({4, 1, QStringLiteral("###"), QStringLiteral("###")}));
    moveMouse(vp, QPoint(150, rowY));
    QCOMPARE(texts.last().at(0).toStringList(), QStringList({"###", "###", "###", "###"}));
}

void TstMainView::edgeButtonsOutsideCapture()
{
    showKnownCapture();
    MainView* mv = wiring->mainView;
    QWidget* vp = mv->getWaveView()->viewport();
    const int rowY = mv->getChnSidebars()[1]->y() + 20;
    const int w = mv->getWaveView()->width();
    // The view lies beyond the capture's end: the previous edge is channel 1's last, at 99930.
    wiring->gen->moveTo(count + 5000);
    moveMouse(vp, QPoint(5, rowY));
    QVERIFY(mv->getNextEdge()->isVisible());
    QVERIFY(mv->getNextEdge()->previous());
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(5, rowY));
    QCOMPARE(wiring->gen->getSmpOffset(), 99930.0 - (w / 2));
    // The view lies before the capture: the next edge is channel 1's first, at 1000.
    wiring->gen->moveTo(-5000);
    moveMouse(vp, QPoint(w - 5, rowY));
    QVERIFY(mv->getNextEdge()->isVisible());
    QVERIFY(!mv->getNextEdge()->previous());
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(w - 5, rowY));
    QCOMPARE(wiring->gen->getSmpOffset(), 1000.0 - (w / 2));
}

void TstMainView::countersBetweenMarkers()
{
    counters.all = QStringList({"1,0", "1,2", "2,1", "40,0", "x,0", "3,9"});
    counters.pairs[0] = QStringList({"1", "2", "17"});
    showKnownCapture();
    MainView* mv = wiring->mainView;
    QSignalSpy byPair(mv, &MainView::pulseMeasureChangedbyTimeMarker);
    QSignalSpy all(mv, &MainView::pulseMeasureChangedbySmpDone);

    // Pair A reversed: A1 on the edge at 2230, A2 before it at 2015.
    mv->slotTimingMarkerPairClicked(0, 0);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(0), 3, 230);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(1), 3, 15);
    const QStringList got = byPair.last().at(1).toStringList();
    QCOMPARE(byPair.last().at(0).toInt(), 0);
    QCOMPARE(got, QStringList({"1" + countText(bruteCounts(chns[1], 2015, 2230)),
                               "2" + countText(bruteCounts(chns[2], 2015, 2230)), "17,###,###,###,###"}));
    QCOMPARE(got[0], QStringLiteral("1,2,3,2,2"));

    mv->slotPulseMeasureInfoChanged();
    // Pair B is not shown: its counters are left out; so is a time index beyond the pairs.
    QCOMPARE(all.last().at(0).toStringList(),
             QStringList({"1,0" + countText(bruteCounts(chns[1], 0, count)),
                          "2,1" + countText(bruteCounts(chns[2], 2015, 2230)), "40,0,###,###,###,###",
                          "x,0,###,###,###,###"}));

    // A disabled channel drops out of the pair's list.
    QVector<bool> ena = host->dev->dChnEna;
    ena[2] = false;
    host->dev->setDChnEna(ena);
    mv->setLogTimeMarkerPulseMeasures(0);
    QCOMPARE(byPair.last().at(1).toStringList().size(), 2);
    // A new capture hides the markers: every count reads "###".
    emit host->dev->sigSmpDataReady(0);
    mv->setLogTimeMarkerPulseMeasures(1);
    QCOMPARE(byPair.last().at(1).toStringList(),
             QStringList({"1,###,###,###,###", "2,###,###,###,###", "17,###,###,###,###"}));
}

void TstMainView::resetRestartsOnce()
{
    host.reset(new DemoHost);
    QVERIFY(host->setRateDepth(1000000, 200000));
    wiring.reset(new ViewWiring(nullptr));
    wiring->devModelChanged();
    for (int c = 0; c < 16; c += 3)
        host->dev->setDChnTrg(c, TrgHigh);
    wiring->mainView->updateTrgStatus();
    host->dev->smpStart(SmpStartRepeat);
    QVERIFY(host->dev->smpRunning);
    // Starts announce themselves in this thread; the passes of the demo thread arrive queued.
    int starts = 0;
    connect(host->dev.get(), &DevBase::sigSmpDataReady, wiring.get(), [&starts](int d) { starts += d == 0; });
    wiring->mainView->slotChnResetClick();
    QCOMPARE(starts, 1);
    QVERIFY(host->dev->smpRunning);
    for (TrgType t : host->dev->dChnTrg)
        QCOMPARE(int(t), int(TrgNone));
    for (ItemChnSidebar* r : wiring->mainView->getChnSidebars())
        QVERIFY(!r->trigButton(1)->selected);
    host->dev->smpStopAndWait();
}

void TstMainView::rowDragTriggersAndNames()
{
    showKnownCapture();
    MainView* mv = wiring->mainView;
    const QVector<ItemChnSidebar*>& rows = mv->getChnSidebars();
    const int h = rows[0]->height();
    auto drag = [](QWidget* handle, QVector<int> moves) {
        // The screen position follows the hand, not the row that moves under it.
        const QPoint at(5, 5), screen = handle->mapToGlobal(at);
        QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, at);
        for (int dy : moves) {
            const QPoint p = at + QPoint(0, dy);
            QMouseEvent e(QEvent::MouseMove, p, screen + QPoint(0, dy), Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(handle, &e);
        }
    };
    // Row 0 dragged down past the middle of row 1: they swap, drawn above the others meanwhile.
    drag(rows[0]->numberLabel(), {h / 3, h * 2 / 3, h + h / 2});
    QCOMPARE(rows[0]->y(), h + h / 2);
    QCOMPARE(mv->getWaveLines()[0]->zValue(), 6.0);
    QCOMPARE(rows[1]->y(), 0);
    QTest::mouseRelease(rows[0]->numberLabel(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5 + h + h / 2));
    QCOMPARE(rows[0]->y(), h);
    QCOMPARE(int(mv->getWaveLines()[0]->y()), h);
    QCOMPARE(mv->getWaveLines()[0]->zValue(), 1.0);
    QVERIFY(Config::readGlobalParam(QStringLiteral("chnShowIndex")).startsWith(QStringLiteral("1,0,2,3,")));
    // Dragged above the top, the top row stays at 0.
    drag(rows[1]->numberLabel(), {-h});
    QCOMPARE(rows[1]->y(), 0);
    QTest::mouseRelease(rows[1]->numberLabel(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5 - h));

    // An edge on one channel clears the edge mark of every other one.
    DevBase* dev = host->dev.get();
    QTest::mouseClick(rows[3]->trigButton(0), Qt::LeftButton);
    QCOMPARE(int(dev->dChnTrg[3]), int(TrgRise));
    QVERIFY(rows[3]->trigButton(0)->selected);
    QTest::mouseClick(rows[5]->trigButton(2), Qt::LeftButton);
    QCOMPARE(int(dev->dChnTrg[5]), int(TrgFall));
    QCOMPARE(int(dev->dChnTrg[3]), int(TrgNone));
    QVERIFY(!rows[3]->trigButton(0)->selected);
    QTest::mouseClick(rows[5]->trigButton(2), Qt::LeftButton);
    QCOMPARE(int(dev->dChnTrg[5]), int(TrgNone));
    QVERIFY(!rows[5]->trigButton(2)->selected);

    // Return drops the focus; the name is stored then, empty for the default name.
    QLineEdit* name = rows[6]->nameEdit();
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Clock"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(Config::readGlobalParam(QStringLiteral("chnShowName6")), QStringLiteral("Clock"));
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    name->selectAll();
    QTest::keyClicks(name, ItemChnSidebar::defaultName(6));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(Config::readGlobalParam(QStringLiteral("chnShowName6")), QString());
}

void TstMainView::rulerTicks()
{
    TimeView ruler;
    // 1 ns a pixel over 1000 pixels: a tick every 100 ns, a major one every 1 us;
    // majors tell the time from the trigger, minors the offset from the major before.
    ruler.setTimesValues(-250000, 1000);
    QVector<TimeView::Tick> t = ruler.ticks(1000);
    QCOMPARE(t.size(), 10);
    QCOMPARE(t[0].x, 50);
    QCOMPARE(t[0].text, QStringLiteral("+800ns"));
    QCOMPARE(t[2].x, 250);
    QVERIFY(t[2].major);
    QCOMPARE(t[2].text, QStringLiteral("0"));
    QCOMPARE(t[3].text, QStringLiteral("+100ns"));
    ruler.setTimesValues(-1.5e6, 1000);
    t = ruler.ticks(1000);
    QCOMPARE(t[5].x, 500);
    QCOMPARE(t[5].text, QStringLiteral("-1us"));
    QCOMPARE(t[6].text, QStringLiteral("+100ns"));
    // 3.5 ps a pixel: a 100-ps step is 28 pixels, too narrow for every
    // "+100ps" label: every second minor tick is labelled.
    ruler.setTimesValues(0, 3.5);
    t = ruler.ticks(1000);
    QCOMPARE(t[0].text, QStringLiteral("0"));
    QCOMPARE(t[1].x, 57);
    QCOMPARE(t[1].text, QStringLiteral("+200ps"));
    QCOMPARE(t[2].text, QStringLiteral("+400ps"));
    ruler.setTimesValues(0, 0);
    QVERIFY(ruler.ticks(1000).isEmpty());
}

namespace {

// Pixels of an image region that differ from the ruler's background.
int ink(const QImage& img, const QRect& r)
{
    const QRgb bg = Config::grayColor.value(8).rgb();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (img.pixel(x, y) | 0xff000000u) != (bg | 0xff000000u);
    return n;
}

} // namespace

// A major tick at the left edge: its label is drawn whole, its line stays on
// the edge where the wave view's first pixel is.
void TstMainView::rulerFirstLabelWhole()
{
    TimeView ruler;
    ruler.resize(400, ruler.height());
    ruler.setTimesValues(0, 1000);   // "0" at pixel 0, the next label 100 pixels on
    const QImage shot = ruler.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int band = Config::pixel(21);   // above the major tick lines
    // The oracle: the same ruler with the trigger 30 pixels in, its "0" whole.
    ruler.setTimesValues(-30000, 1000);
    const QImage alone = ruler.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int whole = ink(alone, QRect(0, 0, 60, band));
    QVERIFY(whole > 0);
    QCOMPARE(ink(shot, QRect(0, 0, 60, band)), whole);
    const int q = Config::pixel(1);
    QCOMPARE(shot.pixel(q / 2, band + 2), QColor(Config::grayColor.value(0)).rgb());
}

void TstMainView::overviewStrip()
{
    PosiView strip;
    strip.resize(1002, 20);
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QSignalSpy moved(&strip, &PosiView::sigPosiChanged);
    strip.slotSetPosition(3, 500, 100000, 40000, 1000);
    strip.grab();   // paints: the box edges are where the clicks land
    QCOMPARE(strip.getWindowLeft(), 401);
    // A click away from the box centres the view there, kept inside the capture.
    QTest::mouseClick(&strip, Qt::LeftButton, Qt::NoModifier, QPoint(501, 10));
    QCOMPARE(moved.last(), QVariantList({3, 49600.0}));
    QTest::mouseClick(&strip, Qt::LeftButton, Qt::NoModifier, QPoint(1000, 10));
    QCOMPARE(moved.last(), QVariantList({3, 99000.0}));
    QTest::mouseClick(&strip, Qt::LeftButton, Qt::NoModifier, QPoint(2, 10));
    QCOMPARE(moved.last(), QVariantList({3, 0.0}));
    // Dragging the box pans by the samples the pixels stand for.
    const int n = moved.size();
    QTest::mousePress(&strip, Qt::LeftButton, Qt::NoModifier, QPoint(405, 10));
    QMouseEvent drag(QEvent::MouseMove, QPoint(415, 10), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&strip, &drag);
    QTest::mouseRelease(&strip, Qt::LeftButton, Qt::NoModifier, QPoint(415, 10));
    QCOMPARE(moved.size(), n + 1);
    QCOMPARE(moved.last(), QVariantList({3, 41000.0}));
    // A box narrower than 6 pixels is drawn 6 wide, centred on its place.
    strip.slotSetPosition(3, 500, 100000, 50000, 100);
    strip.grab();
    QCOMPARE(strip.getWindowRight() - strip.getWindowLeft() + 1, 6);
    QCOMPARE(strip.getWindowLeft(), 501 - 2);
}

void TstMainView::captureDuringAnimatedZoomWithBubbles()
{
    // Until the displayed capture is handed over as a shared snapshot, the
    // demo thread frees the store that the generator's worker is reading.
    if (std::is_pointer<decltype(std::declval<DevBase&>().displayedSmpData())>::value)
        QSKIP("the displayed capture is still handed over as a plain pointer");
    host.reset(new DemoHost);
    if (!host->addUart())
        QSKIP("UART plug-in not built");
    QVERIFY(host->setRateDepth(10000000, 1000000));
    Config::disAnimate = false;
    wiring.reset(new ViewWiring(host->mgr.get(), [this] { host->mgr->startDecode(); }));
    connect(host->mgr.get(), &AnalyzerManager::analyzerDecodedChanged, wiring->mainView,
            &MainView::slotUpdateAnalyzerDecoded);
    wiring->devModelChanged();
    wiring->window->resize(1200, 700);
    wiring->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(wiring->window));

    // Zoom into the first decoded characters once a capture is decoded.
    QSignalSpy decoded(host->mgr.get(), &AnalyzerManager::analyzerDecodedChanged);
    host->dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(decoded.count() > 0, 30000);
    const QVector<Frame> frames = host->uartFrames();
    QVERIFY(frames.size() > 10);
    WaveDataGen::moveDecode(double(frames[2].startSample), double(frames[5].endSample));

    // Repeated captures while the view zooms in and out, animated, and the
    // rows paint the bubbles of the analyzers decoding each new capture.
    host->dev->smpStart(SmpStartRepeat);
    const int first = wiring->captures;
    int bubbleFrames = 0;
    for (int round = 0; round < 1000 && (wiring->captures < first + 8 || bubbleFrames == 0); ++round) {
        const int x = 100 + (round * 97) % 900;
        if (round % 2)
            wiring->gen->zoomOut(x);
        else
            wiring->gen->zoomIn(x);
        const int seen = wiring->frames;
        QTRY_VERIFY_WITH_TIMEOUT(wiring->frames > seen, 10000);
        wiring->window->grab();
        std::vector<ItemWaveLine::Bubble> b;
        std::vector<ItemWaveLine::MarkerRec> m;
        wiring->mainView->getWaveLines()[0]->collectDecoded(*wiring->gen->frame(), &b, &m);
        bubbleFrames += b.empty() ? 0 : 1;
    }
    host->dev->smpStopAndWait();
    QVERIFY(wiring->captures >= first + 8);
    QVERIFY(bubbleFrames > 0);
}

QTEST_MAIN(TstMainView)
#include "tst_mainview.moc"
