// The side panel in the main window's right-hand column beside the
// waveform area, on a live demo capture with UART decoded on channel 0,
// used as a user uses it: two marker pairs added from the panel and placed
// on the waves with the mouse, four pulse counters (two over the whole
// capture, one on each pair), the mouse over a channel for the measurements. Saves a
// screenshot of the window (argv[1]) and one of the panel beside it, and
// checks what a person would check on them.
//
//   sidepanel_harness <png>

#include "tests/analysis/sidewiring.h"
#include "tests/waveview/decodeddemo.h"

#include "analysis/annotations.h"
#include "analysis/measureview.h"
#include "analysis/pulsemeasure.h"
#include "analysis/timingmarkerpair.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/waveview.h"
#include "widgets/mybutton.h"
#include "widgets/timingmarkertip.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QtTest>

#include <cstdio>

using namespace WaveTest;

namespace {

int faults = 0;

void expect(bool ok, const QString& what)
{
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(what));
        ++faults;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("sidepanel_harness.png");
    setUpLook();

    DecodedDemo demo;
    if (!demo.start())
        return 1;
    DemoHost& host = demo.host;
    ViewWiring& w = *demo.wiring;
    auto* av = new AnalyzerView(host.mgr.get());
    SideTest::place(w.window, av);
    SideTest::wire(w.mainView, av);
    av->devModelChanged();
    w.devModelChanged();
    emit host.mgr->analyzerItemChanged();   // as restoring the analyzers in use announces them
    w.window->resize(1600, 900);
    w.window->show();
    app.processEvents();

    if (!demo.capture())
        return 1;
    expect(QTest::qWaitFor([&] { return !w.gen->isAnimating(); }, 3000), "the view keeps moving");

    // Two pairs from the panel, each marker placed with the mouse.
    MainView* mv = w.mainView;
    Annotations* an = av->getAnnotations();
    QTest::mouseClick(an->addButton(), Qt::LeftButton);
    QTest::mouseClick(an->addButton(), Qt::LeftButton);
    const int vw = mv->getWaveView()->width();
    const int at[4] = {12, 58, 64, 93};
    for (int id = 0; id < 4; ++id)
        SideTest::placeMarker(mv, an, id, vw * at[id] / 100);

    // Counters: rising and falling edges of the whole capture, falling
    // edges of the UART line between A1 and A2, negative pulses of CH12
    // between B1 and B2.
    PulseMeasure* pm = av->getPulseMeasure();
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(pm->addButton(), Qt::LeftButton);
    SideTest::pick(pm->chnButton(2), pm->chnMenu(), 0);
    SideTest::pick(pm->typeButton(2), pm->typeMenu(), 1);
    SideTest::pick(pm->timeButton(2), pm->timeMenu(), 1);
    SideTest::pick(pm->chnButton(3), pm->chnMenu(), 12);
    SideTest::pick(pm->timeButton(3), pm->timeMenu(), 2);

    // The measurements of the channel under the mouse.
    QWidget* vp = mv->getWaveView()->viewport();
    const QPoint over(vw / 3, mv->getChnSidebars()[2]->y() + 20);
    QMouseEvent move(QEvent::MouseMove, over, vp->mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    app.processEvents();

    for (int i = 0; i < 4; ++i) {
        bool num = false;
        pm->countLabel(i)->text().toLongLong(&num);
        expect(num, QString("counter %1 shows %2").arg(i).arg(pm->countLabel(i)->text()));
    }
    for (TimingMarkerPair* p : an->rows())
        expect(p->timeLabel(0)->text() != "###" && p->timeLabel(1)->text() != "###"
                   && p->distanceLabel()->text() != "###",
               QString("pair %1 without times").arg(p->getId()));
    expect(av->getMeasureView()->valueLabel(0)->text() != "###", "no width under the mouse");
    expect(av->width() == 240, QString("panel %1 wide").arg(av->width()));

    const bool saved = w.window->grab().save(out);
    QString panel = out;
    panel.replace(QStringLiteral(".png"), QStringLiteral("_panel.png"));
    av->grab().save(panel);
    std::printf("counts %s | %s | %s | %s; A %s, B %s; width %s; faults %d -> %s\n",
                qPrintable(pm->countLabel(0)->text()), qPrintable(pm->countLabel(1)->text()),
                qPrintable(pm->countLabel(2)->text()), qPrintable(pm->countLabel(3)->text()),
                qPrintable(an->row(0)->distanceLabel()->text()), qPrintable(an->row(1)->distanceLabel()->text()),
                qPrintable(av->getMeasureView()->valueLabel(0)->text()), faults, qPrintable(out));
    return saved && faults == 0 ? 0 : 1;
}
