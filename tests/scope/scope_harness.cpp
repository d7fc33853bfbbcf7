// The oscilloscope view on a demo capture of the mixed-signal model: the four
// side-bar panels beside a scene with the graticule, both traces, the math
// trace, tags, the trigger-level box, a label, the auto-scale disc and a pair
// of cursors, placed as the waveform area places them. Saves a screenshot.
//
//   scope_harness <png> [<side-bar png, twice the size>]

#include "app/core/config.h"
#include "device/dev7329.h"
#include "device/smpctrlfactory.h"
#include "device/smpsimulate.h"
#include "scope/autoscaleitem.h"
#include "scope/chnsetosc.h"
#include "scope/chntagosc.h"
#include "scope/cursormarkernameosc.h"
#include "scope/cursormarkerosc.h"
#include "scope/gridlabelitem.h"
#include "scope/gridvoltinforitem.h"
#include "scope/mathoperationosc.h"
#include "scope/oscgrid.h"
#include "scope/timesetosc.h"
#include "scope/triggersetosc.h"
#include "scope/triggertagosc.h"
#include "scope/wavebackgroundosc.h"
#include "scope/wavelineosc.h"
#include "waveview/wavedatagenosc.h"
#include "widgets/myswitch.h"

#include <QApplication>
#include <QEventLoop>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: scope_harness <png>\n");
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
    QEventLoop loop;
    QObject::connect(&dev, &DevBase::sigSmpDataReady, &loop, [&loop](int) { loop.quit(); }, Qt::QueuedConnection);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    dev.smpStart(SmpStartSingle);
    loop.exec();
    dev.smpStopAndWait();
    if (!dev.hasValidData()) {
        std::fprintf(stderr, "no demo capture\n");
        return 1;
    }
    WaveDataGenOsc gen;
    gen.devModelChanged();

    QWidget window;
    window.setStyleSheet(QStringLiteral("background-color:") + Config::grayColor[5].name());
    auto* lay = new QHBoxLayout(&window);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto* side = new QWidget(&window);
    side->setFixedWidth(Config::pixel(271));
    auto* sideLay = new QVBoxLayout(side);
    sideLay->setContentsMargins(0, 0, 0, 0);
    sideLay->setSpacing(0);
    QVector<ChnSetOsc*> chnPanels;
    for (int i = 0; i < dev.aChnEna.size(); ++i) {
        chnPanels << new ChnSetOsc(i, side);
        sideLay->addWidget(chnPanels.last());
    }
    auto* timePanel = new TimeSetOsc(side);
    auto* trgPanel = new TriggerSetOsc(side);
    auto* mathPanel = new MathOperationOsc(side);
    sideLay->addWidget(timePanel);
    sideLay->addWidget(trgPanel);
    sideLay->addWidget(mathPanel);
    sideLay->addStretch(1);
    for (ChnSetOsc* c : chnPanels)
        c->init();
    timePanel->init();
    trgPanel->init();
    // Math on, as a user switches it.
    mathPanel->enableSwitch()->click();

    QGraphicsScene scene;
    auto* view = new QGraphicsView(&scene, &window);
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setBackgroundBrush(Qt::black);
    lay->addWidget(side);
    lay->addWidget(view, 1);
    window.resize(1300, 760);
    window.show();
    app.processEvents();

    const int p = Config::pixel(1);
    auto* bg = new WaveBackgroundOsc(&gen);
    auto* trace = new WaveLineOsc(&gen);
    auto* posTag = new TriggerTagOsc(1, 0, true);
    auto* posOutline = new TriggerTagOsc(1, 0, false);
    auto* info = new GridVoltInforItem;
    auto* label = new GridLabelItem;
    auto* disc = new AutoScaleItem;
    auto* mathTag = new ChnTagOsc(dev.aChnEna.size());
    CursorMarkerOsc* cursors[2] = {new CursorMarkerOsc(0, 1), new CursorMarkerOsc(0, 0)};
    CursorMarkerNameOsc* names[2] = {new CursorMarkerNameOsc(QStringLiteral("x1")),
                                     new CursorMarkerNameOsc(QStringLiteral("Y1"))};
    const OscGrid g = OscGrid::layout(view->width(), view->height(), ChnTagOsc(0).itemWidth(), posTag->itemHeight(),
                                      names[0]->itemWidth(), p);
    bg->setSize((g.width + 3) * p, (g.height + 3) * p);
    bg->setPos((g.left - 1) * p, (g.top - 1) * p);
    trace->setSize((g.width + 1) * p, (g.height + 1) * p);
    trace->setPos(g.left * p, g.top * p);
    scene.setSceneRect(0, 0, view->width(), view->height());
    bg->setZValue(0);
    trace->setZValue(1);
    scene.addItem(bg);
    scene.addItem(trace);
    for (int i = 0; i < dev.aChnEna.size(); ++i) {
        auto* tag = new ChnTagOsc(i);
        tag->setZValue(3);
        tag->setPos((g.left - 2) * p - tag->itemWidth(), g.zeroLine(dev.aChnOffset[i]) * p - tag->itemHeight() / 2);
        scene.addItem(tag);
        auto* level = new TriggerTagOsc(0, i, true);
        level->setZValue(1);
        level->fraction = OscGrid::levelFraction(dev.aChnOffset[i], dev.aTrgVolt[i], dev.getAVoltDivValue(i));
        level->setPos((g.left + 3 + g.width) * p, p * g.rowOf(OscGrid::placeable(level->fraction)) - level->itemHeight() / 2);
        level->setVisible(i == dev.aTrgChn);
        scene.addItem(level);
    }
    posTag->setZValue(2);
    posTag->setPos(g.columnOf(dev.aTrgPercent / 1000.0) * p - posTag->itemWidth() / 2, (g.top - 2) * p - posTag->itemHeight());
    posOutline->hide();
    scene.addItem(posTag);
    scene.addItem(posOutline);
    mathTag->setZValue(3);
    mathTag->setPos((g.left - 2) * p - mathTag->itemWidth(), g.zeroLine(dev.aMathOffset[0]) * p - mathTag->itemHeight() / 2);
    mathTag->setVisible(dev.aMathEna);
    scene.addItem(mathTag);

    // The trigger level box as it shows while its tag is dragged.
    info->setWidth(g.width * p);
    info->setText(dev.aTrgChn, QStringLiteral("400mV"));
    const int levelRow = g.rowOf(OscGrid::levelFraction(dev.aChnOffset[0], dev.aTrgVolt[0], dev.getAVoltDivValue(0)));
    info->setPos(g.left * p, levelRow * p - info->itemHeight());
    info->setZValue(4);
    info->show();
    scene.addItem(info);
    label->setText(-1, timePanel->setTrgTime());
    label->setPos((g.columnOf(dev.aTrgPercent / 1000.0) - label->itemWidth() / 2) * p, (g.top + 2) * p);
    label->setZValue(4);
    label->show();
    scene.addItem(label);
    const int s = int(std::min(g.width, g.height) * 0.2) * p;
    disc->setSize(s, s);
    disc->setPos((g.width + g.left) * p - (Config::pixel(10) + s), (g.height + g.top) * p - (Config::pixel(10) + s));
    disc->setZValue(4);
    disc->show();
    scene.addItem(disc);
    cursors[0]->setLen((g.height + 1) * p);
    cursors[1]->setLen((g.width + 1) * p);
    cursors[0]->setPos(g.columnOf(0.7) * p - cursors[0]->itemWidth() / 2, g.top * p);
    names[0]->setPos(g.columnOf(0.7) * p - names[0]->itemWidth() / 2, p);
    cursors[1]->setPos(g.left * p, g.rowOf(0.35) * p - cursors[1]->itemHeight() / 2);
    names[1]->setPos((g.left + 2 + g.width) * p, g.rowOf(0.35) * p - names[1]->itemWidth() / 2);
    for (int i = 0; i < 2; ++i) {
        cursors[i]->setZValue(3);
        names[i]->setZValue(3);
        cursors[i]->setStateType(3);
        names[i]->setStateType(3);
        scene.addItem(cursors[i]);
        scene.addItem(names[i]);
    }

    gen.setViewWidth(g.width);
    gen.zoomFirst();
    scene.update();
    app.processEvents();

    bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    if (argc > 2) {
        const QImage bar = side->grab().toImage();
        saved = bar.scaled(bar.size() * 2).save(QString::fromLocal8Bit(argv[2])) && saved;
    }
    WaveLineA* recs = nullptr;
    const bool drawn = gen.getData(0, &recs) > 0 && gen.getData(1, &recs) > 0 && gen.getMathData(&recs) > 0;
    std::printf("grid %d x %d at (%d, %d); saved %s\n", g.width, g.height, g.left, g.top, argv[1]);
    devUsing = nullptr;
    return saved && drawn ? 0 : 1;
}
