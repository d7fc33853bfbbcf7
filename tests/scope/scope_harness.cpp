// The waveform area in the oscilloscope work mode on a demo capture of the
// mixed-signal model, wired as the main window wires it: the four side-bar
// panels, the graticule with both traces and the math trace, tags, the
// trigger-level box and a label as a drag shows them, a pair of cursors and
// the auto-scale disc. Saves a screenshot, and optionally the side bar at
// twice the size.
//
//   scope_harness <png> [<side-bar png>]

#include "tests/scope/oscwiring.h"

#include "core/config.h"
#include "device/dev7329.h"
#include "device/smpctrlfactory.h"
#include "device/smpsimulate.h"
#include "scope/autoscaleitem.h"
#include "scope/mathoperationosc.h"
#include "waveview/waveview.h"
#include "widgets/myswitch.h"

#include <QApplication>
#include <QEventLoop>
#include <QFrame>
#include <QGraphicsScene>
#include <QScrollArea>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: scope_harness <png> [<side-bar png>]\n");
        return 2;
    }
    Config::cfgDoc.setContent(Config::defaultDocument());
    Config::fillLists();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);

    Dev7329 dev;
    devUsing = &dev;
    dev.setAVoltDivIndex(0, 5);
    dev.setAVoltDivIndex(1, 4);
    dev.setAChnOffset(0, 250);
    dev.setAChnOffset(1, -200);
    dev.setATrgVolt(0, 400);
    dev.setATimeDivIndex(12);   // 100 us
    dev.setATrgPercent(400);
    dev.aMathScale[0] = 2000;
    dev.aMathOffset[0] = -50;
    SmpCtrlFactory::install([](DevBase* d) -> QThread* { return new SmpSimulate(d); });

    OscTest::OscWiring wiring;
    MainView* view = wiring.view;
    view->resize(1300, 760);
    wiring.devModelChanged();
    view->show();
    app.processEvents();
    // Math on, as a user switches it.
    view->getSidebarFrame()->findChild<MathOperationOsc*>()->enableSwitch()->click();

    QEventLoop loop;
    QObject::connect(&dev, &DevBase::sigSmpDataReady, &loop, [&loop](int) { loop.quit(); }, Qt::QueuedConnection);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    dev.smpStart(SmpStartSingle);
    loop.exec();
    dev.smpStopAndWait();
    app.processEvents();

    // What a drag of the level tag, of the position tag and two cursor clicks show.
    view->updateATrgSet(0, 22);
    view->setOscTrgHorMoved(view->getWaveView()->width() * 4 / 10);
    view->setAMarkerPosition(0, 0.7);
    view->setAMarkerState(0, 3);
    view->setAMarkerPosition(2, 0.35);
    view->setAMarkerState(2, 3);
    for (QGraphicsItem* i : view->getScene()->items())
        if (auto* disc = dynamic_cast<AutoScaleItem*>(i))
            disc->show();
    app.processEvents();

    bool saved = view->grab().save(QString::fromLocal8Bit(argv[1]));
    if (argc > 2) {
        const QImage bar = view->getSidebarArea()->grab().toImage();
        saved = bar.scaled(bar.size() * 2).save(QString::fromLocal8Bit(argv[2])) && saved;
    }
    WaveLineA* recs = nullptr;
    const bool drawn = wiring.genOsc->getData(0, &recs) > 0 && wiring.genOsc->getData(1, &recs) > 0
                       && wiring.genOsc->getMathData(&recs) > 0;
    std::printf("trigger %d per mille, level %g mV; saved %s\n", dev.aTrgPercent, dev.aTrgVolt[0], argv[1]);
    devUsing = nullptr;
    return saved && drawn ? 0 : 1;
}
