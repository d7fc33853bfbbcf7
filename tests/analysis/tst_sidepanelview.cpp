// The side panel beside the waveform area, wired as the main window wires
// them: pairs added and deleted from the panel, markers placed and dragged
// with the mouse, and counters that follow every marker move and every new
// capture, checked against counts walked over the capture's edges.

#include "tests/analysis/sidewiring.h"
#include "tests/demo/demotesthelp.h"
#include "tests/waveview/demohost.h"
#include "tests/waveview/viewwiring.h"
#include "tests/waveview/wavetestutil.h"

#include "analysis/annotations.h"
#include "analysis/measureview.h"
#include "analysis/pulsemeasure.h"
#include "analysis/timingmarkerpair.h"
#include "waveview/cursorbody.h"
#include "waveview/cursorhandle.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/waveview.h"
#include "widgets/mybutton.h"
#include "widgets/timingmarkertip.h"

#include <QLabel>
#include <QMouseEvent>
#include <QtTest>

#include <memory>

using namespace WaveTest;
using SideTest::pick;

namespace {

// Rising and falling edges, positive and negative pulses in [a, b].
QStringList walk(const Chn& c, long long a, long long b)
{
    int n[4] = {};
    int level = c.init;
    int prev = -1;   // level after the previous edge in the range
    for (long long e : c.edges) {
        level ^= 1;
        if (e < a || e > b)
            continue;
        ++n[level ? 0 : 1];
        if (prev == 1 - level)
            ++n[level ? 3 : 2];
        prev = level;
    }
    return {QString::number(n[0]), QString::number(n[1]), QString::number(n[2]), QString::number(n[3])};
}

// Channel k toggles every 7 + 3k samples from sample 50 + k on.
std::vector<Chn> pattern(int shift)
{
    std::vector<Chn> chns(16);
    for (int k = 0; k < 16; ++k) {
        chns[size_t(k)].init = k % 2;
        for (long long p = 50 + k + shift; p < 20000; p += 7 + 3 * k + shift)
            chns[size_t(k)].edges.push_back(p);
    }
    return chns;
}

} // namespace

class TstSidePanelView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void countersFollowMarkers();
    void countersFollowCaptures();
    void pairDeletedInPanel();

private:
    void showCapture(const std::vector<Chn>& c);
    // Sets marker `id` following from the panel and drops it at view x.
    void placeMarker(int id, int x);
    long long markerAt(int id) const;

    std::unique_ptr<DemoHost> host;
    std::unique_ptr<AnalyzerManager> mgr;
    std::unique_ptr<ViewWiring> wiring;
    AnalyzerView* side = nullptr;
    MainView* mv = nullptr;
    PulseMeasure* pm = nullptr;
    Annotations* an = nullptr;
    std::vector<Chn> chns;
};

void TstSidePanelView::init()
{
    Config::fillLists();
    Config::createFont();
    Config::viewState = ViewAll;
    Config::disAnimate = true;
    host.reset(new DemoHost);
    mgr.reset(new AnalyzerManager());
    wiring.reset(new ViewWiring(nullptr));
    wiring->gen->setReboundEnable(false);
    side = new AnalyzerView(mgr.get());
    SideTest::place(wiring->window, side);
    SideTest::wire(wiring->mainView, side);
    side->devModelChanged();
    wiring->devModelChanged();
    wiring->window->resize(1300, 800);
    wiring->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(wiring->window));
    mv = wiring->mainView;
    pm = side->getPulseMeasure();
    an = side->getAnnotations();
}

void TstSidePanelView::cleanup()
{
    wiring.reset();
    mgr.reset();
    host.reset();
}

void TstSidePanelView::showCapture(const std::vector<Chn>& c)
{
    chns = c;
    fillStore(host->dev->fillingSmpData().get(), chns, 20000, 1000000, 0);
    host->dev->toggleSmpData();
    const int frames = wiring->frames;
    emit host->dev->sigSmpDataReady(0);
    QTRY_VERIFY(wiring->frames > frames);
}

void TstSidePanelView::placeMarker(int id, int x)
{
    SideTest::placeMarker(mv, an, id, x);
}

long long TstSidePanelView::markerAt(int id) const
{
    const int i = mv->findCursorBody(id);
    return i < 0 ? -1 : mv->getCursorBodies()[i]->smpPoint;
}

void TstSidePanelView::countersFollowMarkers()
{
    showCapture(pattern(0));
    QTest::mouseClick(an->addButton(), Qt::LeftButton);   // pair A
    QTest::mouseClick(an->addButton(), Qt::LeftButton);   // pair B, never placed
    QCOMPARE(mv->getCursorBodies().size(), 4);
    const int w = mv->getWaveView()->width();
    placeMarker(1, w / 4);   // A2 left of A1: the range runs from the lower one
    placeMarker(0, w / 2);
    QVERIFY(an->row(0)->distanceLabel()->text() != "###");

    // Rising edges of CH1 and positive pulses of CH2 between A1 and A2; a
    // rising-edge counter of CH1 over the whole capture.
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(pm->addButton(), Qt::LeftButton);
    pick(pm->chnButton(0), pm->chnMenu(), 1);
    pick(pm->typeButton(1), pm->typeMenu(), 2);
    pick(pm->chnButton(1), pm->chnMenu(), 2);
    pick(pm->chnButton(2), pm->chnMenu(), 1);
    pick(pm->typeButton(2), pm->typeMenu(), 0);
    const QVector<bool> usable = pick(pm->timeButton(0), pm->timeMenu(), 1);
    QCOMPARE(usable, (QVector<bool>{true, true, false, false, false, false}));
    pick(pm->timeButton(1), pm->timeMenu(), 1);
    long long a = std::min(markerAt(0), markerAt(1)), b = std::max(markerAt(0), markerAt(1));
    QVERIFY(a > 0 && b > a);
    QCOMPARE(SideTest::counts(pm), (QStringList{walk(chns[1], a, b)[0], walk(chns[2], a, b)[2],
                                        walk(chns[1], 0, 20000)[0]}));

    // Dragging A2 further left: both pair counters follow, the other keeps its count.
    placeMarker(1, w / 8);
    QVERIFY(markerAt(1) < a);
    a = markerAt(1);
    QCOMPARE(SideTest::counts(pm), (QStringList{walk(chns[1], a, b)[0], walk(chns[2], a, b)[2],
                                        walk(chns[1], 0, 20000)[0]}));

    // The mouse rests over CH1, which toggles every 10 samples at 1 MHz.
    QCOMPARE(side->getMeasureView()->valueLabel(0)->text(), QString("10us"));
    QCOMPARE(side->getMeasureView()->valueLabel(3)->text(), QString("50KHz"));

    // Going to pair A brings both markers into the middle half of the view.
    QTest::mouseClick(an->row(0)->locationButton(), Qt::LeftButton);
    QTRY_VERIFY(wiring->gen->getSmpPerPixel() < 20000.0 / w);
    for (long long m : {a, b}) {
        const double x = (double(m) - wiring->gen->getSmpOffset()) / wiring->gen->getSmpPerPixel();
        QVERIFY2(x >= w / 4 - 2 && x <= 3 * w / 4 + 2, qPrintable(QString::number(x)));
    }

    // A counter on pair B, whose markers are hidden, is not counted.
    pick(pm->timeButton(2), pm->timeMenu(), 2);
    QCOMPARE(pm->counters()[2].time, 0);   // the entry is disabled
    QCOMPARE(PulseMeasure::getChnAndTimeSet(), (QStringList{"1,1", "2,1", "1,0"}));
}

void TstSidePanelView::countersFollowCaptures()
{
    showCapture(pattern(0));
    QTest::mouseClick(an->addButton(), Qt::LeftButton);
    const int w = mv->getWaveView()->width();
    placeMarker(0, w / 3);
    placeMarker(1, w / 2);
    QTest::mouseClick(pm->addButton(), Qt::LeftButton);   // CH0 rising, whole capture
    QTest::mouseClick(pm->addButton(), Qt::LeftButton);   // CH1 falling
    pick(pm->timeButton(1), pm->timeMenu(), 1);
    const long long a = markerAt(0), b = markerAt(1);
    QCOMPARE(SideTest::counts(pm), (QStringList{walk(chns[0], 0, 20000)[0], walk(chns[1], a, b)[1]}));

    // A new capture: the whole-capture counter takes the new count; the
    // markers are hidden, so the pair's counter has none.
    showCapture(pattern(2));
    QTRY_COMPARE(SideTest::counts(pm), (QStringList{walk(chns[0], 0, 20000)[0], "###"}));

    // A live demo capture, counted over its own edges.
    QVERIFY(host->setRateDepth(1000000, 200000));
    const int captures = wiring->captures;
    host->dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(!host->dev->smpRunning && wiring->captures >= captures + 2, 30000);
    auto s = host->dev->displayedSmpData();
    QVERIFY(s && s->smpCount > 0);
    Chn live;
    live.init = s->getPointLevel(0, 0);
    for (long long e : demotest::edges(&*s, 0))
        live.edges.push_back(e);
    QTRY_COMPARE(pm->countLabel(0)->text(), walk(live, 0, s->smpCount)[0]);
    QVERIFY(live.edges.size() > 10);
}

void TstSidePanelView::pairDeletedInPanel()
{
    showCapture(pattern(0));
    QTest::mouseClick(an->addButton(), Qt::LeftButton);
    QTest::mouseClick(an->addButton(), Qt::LeftButton);
    const int w = mv->getWaveView()->width();
    for (int id = 0; id < 4; ++id)
        placeMarker(id, w * (id + 2) / 8);
    QTest::mouseClick(pm->addButton(), Qt::LeftButton);
    pick(pm->timeButton(0), pm->timeMenu(), 1);
    QVERIFY(pm->countLabel(0)->text() != "###");

    QTest::mouseClick(an->row(0)->removeButton(), Qt::LeftButton);
    QCOMPARE(an->rows().size(), 1);
    QCOMPARE(mv->getCursorBodies().size(), 2);
    QCOMPARE(mv->findCursorBody(0), -1);
    QCOMPARE(mv->findCursorBody(1), -1);
    const QVector<CursorHandle*>& heads = wiring->timeView->getCursorHandles();
    QCOMPARE(heads.size(), 2);
    QCOMPARE(heads[0]->id, 2);
    QVERIFY(heads[0]->isVisible() && heads[1]->isVisible());
    QCOMPARE(pm->countLabel(0)->text(), QString("###"));

    // Added again, the pair starts with both markers hidden.
    QTest::mouseClick(an->addButton(), Qt::LeftButton);
    QCOMPARE(mv->getCursorBodies().size(), 4);
    QCOMPARE(an->row(0)->distanceLabel()->text(), QString("###"));
}

QTEST_MAIN(TstSidePanelView)
#include "tst_sidepanelview.moc"
