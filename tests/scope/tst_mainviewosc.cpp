// The waveform area in the oscilloscope work mode on a mixed-signal device
// object: layout of panels and items, tag drags with the mouse and the
// settings they write, cursor readouts, calibration notices, auto-scale
// restarts, windows too small for a grid; captures from the emulated
// instrument and the demo generator on display, and what a change made in the
// view sends to the instrument while a capture runs.
#include "common/queuedspy.h"
#include "devobj/devtesthelp.h"
#include "scope/oscwiring.h"
#include "scope/reglog.h"
#include "usbemu.h"

#include "device/analogchndata.h"
#include "device/dev7329.h"
#include "device/devsupport.h"
#include "device/smpctrlfactory.h"
#include "device/smpdataosc.h"
#include "device/smpsimulate.h"
#include "scope/annotationsosc.h"
#include "scope/autoscaleitem.h"
#include "scope/calibrateosc.h"
#include "scope/chnsetosc.h"
#include "scope/chntagosc.h"
#include "scope/cursormarkerosc.h"
#include "scope/gridlabelitem.h"
#include "scope/gridvoltinforitem.h"
#include "scope/mathoperationosc.h"
#include "scope/oscmeasurepairitem.h"
#include "scope/timesetosc.h"
#include "scope/triggersetosc.h"
#include "scope/triggertagosc.h"
#include "scope/wavebackgroundosc.h"
#include "scope/wavelineosc.h"
#include "waveview/waveview.h"
#include "widgets/mybutton.h"
#include "widgets/mydial.h"
#include "widgets/myspinbox.h"
#include "widgets/myswitch.h"

#include <QApplication>
#include <QFrame>
#include <QGraphicsScene>
#include <QLineEdit>
#include <QComboBox>
#include <QRadioButton>
#include <QStyleOptionComboBox>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

using devtest::FakeWorker;
using OscTest::indexOf;
using OscTest::regLog;
using OscTest::OscWiring;

namespace {

template <typename T>
QVector<T*> itemsOf(MainView* v)
{
    QVector<T*> out;
    for (QGraphicsItem* i : v->getScene()->items(Qt::AscendingOrder))
        if (auto* t = dynamic_cast<T*>(i))
            out << t;
    return out;
}

ChnTagOsc* chnTag(MainView* v, int chn)
{
    for (ChnTagOsc* t : itemsOf<ChnTagOsc>(v))
        if (t->channel() == chn)
            return t;
    return nullptr;
}

TriggerTagOsc* trgTag(MainView* v, int kind, int chn, bool filled = true)
{
    for (TriggerTagOsc* t : itemsOf<TriggerTagOsc>(v))
        if (t->kind() == kind && t->channel() == chn && t->isFilled() == filled)
            return t;
    return nullptr;
}

CursorMarkerOsc* cursor(MainView* v, int kind, int id)
{
    for (CursorMarkerOsc* c : itemsOf<CursorMarkerOsc>(v))
        if (c->kind() == kind && c->cursorId() == id)
            return c;
    return nullptr;
}

// The analog channels are yellow and blue: blends on black keep their hue.
bool yellowish(const QColor& c)
{
    return c.red() > 40 && c.green() > 40 && c.blue() * 2 < c.red();
}

bool bluish(const QColor& c)
{
    return c.blue() > 40 && c.red() * 2 < c.blue();
}

QPointF centre(QGraphicsItem* i)
{
    return i->sceneBoundingRect().center();
}

// Press on a scene point, move with the left button held, release.
void drag(MainView* v, QPointF from, QPointF to)
{
    WaveView* w = v->getWaveView();
    QWidget* vp = w->viewport();
    const QPoint a = w->mapFromScene(from);
    const QPoint b = w->mapFromScene(to);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, a);
    QMouseEvent move(QEvent::MouseMove, b, vp->mapToGlobal(b), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, b);
}

} // namespace

class TstMainViewOsc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void buildsAndLays();
    void channelTagDrag_data();
    void channelTagDrag();
    void levelTagDrag_data();
    void levelTagDrag();
    void positionTagPastEdges();
    void timeReadouts();
    void voltReadouts();
    void cursorPanelFollowsWaveform();
    void mathOffsetTexts_data();
    void mathOffsetTexts();
    void mathBoxesShowWholeTexts();
    void calibrationRefreshesBothChannels();
    void calibrationEditsShowInPanels();
    void tinyWindow();
    void autoScaleRestartsOncePerCapture();
    void capturesShown_data();
    void capturesShown();
    void viewChangesReachInstrument();
    void panelChangeRestartsOnce();

private:
    // A device object connected to the emulated instrument, which holds the
    // given analog record (empty: none); the view is built again on it.
    void useEmulator(const QByteArray& record = QByteArray(), int trgIndex = 0);

    // Both channels of the displayed store: a +-1 V sine of 400 samples at
    // 1 MHz, trigger at sample trg; then the generator places it (a new capture).
    void capture(int trg = 10000, bool place = true);

    std::unique_ptr<Dev7329> dev;
    std::unique_ptr<OscWiring> wiring;
    MainView* view = nullptr;
    DevSupport* ds = nullptr;
};

void TstMainViewOsc::initTestCase()
{
    Config::fillLists();
}

void TstMainViewOsc::init()
{
    devtest::resetSettings();
    FakeWorker::resetCounts();
    DevBase::smpWorkerFactory = &FakeWorker::make;
    dev = std::make_unique<Dev7329>();
    devUsing = dev.get();
    wiring = std::make_unique<OscWiring>();
    view = wiring->view;
    view->resize(1000, 517);   // a grid 500 high
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

void TstMainViewOsc::cleanup()
{
    FakeWorker::hold = false;
    if (dev)
        dev->smpStopAndWait();
    wiring.reset();
    devUsing = nullptr;
    dev.reset();
    if (ds)
        devtest::closeEmulated(ds);
    DevBase::smpWorkerFactory = nullptr;
}

void TstMainViewOsc::useEmulator(const QByteArray& record, int trgIndex)
{
    wiring.reset();
    devUsing = nullptr;
    dev.reset();
    ds = devtest::openEmulated();
    QVERIFY(ds);
    if (!record.isEmpty()) {
        // A record is read by the real buffer-mode thread, which the device
        // object makes when it connects.
        emu_script_analog(reinterpret_cast<const signed char*>(record.constData()), record.size(), trgIndex);
        SmpCtrlFactory::install();
    }
    emu_set_status_override(0x85C1);
    dev = std::make_unique<Dev7329>();
    devUsing = dev.get();
    unsigned char ident[DevIdentSize] = {200, 0, 250, 0};
    QCOMPARE(dev->devConnect(ident, 0.0), 0);
    wiring = std::make_unique<OscWiring>();
    view = wiring->view;
    view->resize(1000, 517);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

void TstMainViewOsc::capture(int trg, bool place)
{
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    const int vd[2] = {1000, 1000};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {true, true};
    QVERIFY(s->dataConvertStart(trg, 1000000, vd, hs, off, ena));
    for (int c = 0; c < 2; ++c) {
        AnalogChnData* b = s->chnData[size_t(c)];
        b->smpCount = 20000;
        b->trgPosition = trg;
        for (int i = 0; i < 20000; ++i)
            b->data[i] = short(std::lround(48 * std::sin(i * 6.283185307 / 400)));
    }
    if (place)
        wiring->genOsc->zoomFirst();
}

void TstMainViewOsc::buildsAndLays()
{
    dev->setATrgChn(1);
    Config::saveGlobalParam(QStringLiteral("oscCursorChn"), QStringLiteral("9"));   // no such channel
    wiring->devModelChanged();
    const QList<ChnSetOsc*> chn = view->getSidebarFrame()->findChildren<ChnSetOsc*>();
    QCOMPARE(chn.size(), 2);
    auto* time = view->getSidebarFrame()->findChild<TimeSetOsc*>();
    auto* trg = view->getSidebarFrame()->findChild<TriggerSetOsc*>();
    auto* math = view->getSidebarFrame()->findChild<MathOperationOsc*>();
    QVERIFY(time && trg && math);
    // Stacked from the top without gaps, 271 wide.
    QCOMPARE(view->getSidebarFrame()->width(), 271);
    QCOMPARE(time->y(), 2 * 156);
    QCOMPARE(trg->y(), 2 * 156 + 174);
    QCOMPARE(math->y(), 2 * 156 + 174 + 55);

    // The grid: 15 from the left and top, to 2 short of the cursor names.
    const int W = view->getWaveView()->width();
    const int gw = W - 15 - 2 - 15;
    const int gh = 500;
    auto* bg = itemsOf<WaveBackgroundOsc>(view).value(0);
    auto* trace = itemsOf<WaveLineOsc>(view).value(0);
    QVERIFY(bg && trace);
    QCOMPARE(bg->pos(), QPointF(14, 14));
    QCOMPARE(bg->itemWidth(), gw + 3);
    QCOMPARE(trace->itemHeight(), gh + 1);
    QCOMPARE(bg->zValue(), 0.0);
    QCOMPARE(trace->zValue(), 1.0);
    QCOMPARE(chnTag(view, 0)->pos(), QPointF(2, 15 + gh / 2 - 5));
    QCOMPARE(chnTag(view, 0)->zValue(), 3.0);
    QVERIFY(!chnTag(view, 2)->isVisible());   // math is off
    QCOMPARE(chnTag(view, 2)->pos(), QPointF(2, 15 + gh / 2 - 5));
    QVERIFY(!trgTag(view, 0, 0)->isVisible() && trgTag(view, 0, 1)->isVisible());
    QCOMPARE(trgTag(view, 0, 1)->x(), double(15 + 3 + gw));
    QVERIFY(!trgTag(view, 1, 0, false)->isVisible());
    QCOMPARE(itemsOf<CursorMarkerOsc>(view).size(), 4);
    QCOMPARE(itemsOf<AutoScaleItem>(view).value(0)->itemWidth(), int(std::min(gw, gh) * 0.2));

    // The voltage readout measures the first channel rather than a stored one past the list.
    QSignalSpy spy(view, &MainView::oscXyMeasureChanged);
    view->setAMarkerPosition(2, 0.25);
    view->setAMarkerState(2, 3);
    view->updateAMarkerValue(0);
    QCOMPARE(spy.last().value(1).toStringList(), (QStringList{"2.5V", "###", "###"}));

    // A second init leaves one set of panels and items.
    view->init();
    QCOMPARE(view->getSidebarFrame()->findChildren<ChnSetOsc*>().size(), 2);
    QCOMPARE(itemsOf<ChnTagOsc>(view).size(), 3);
}

void TstMainViewOsc::channelTagDrag_data()
{
    QTest::addColumn<double>("toFraction");
    QTest::addColumn<int>("offset");
    QTest::newRow("above the grid") << -0.2 << 500;
    QTest::newRow("below the grid") << 1.3 << -500;
    QTest::newRow("centre") << 0.5 << 0;
    QTest::newRow("a quarter down") << 0.25 << 250;
}

void TstMainViewOsc::channelTagDrag()
{
    QFETCH(double, toFraction);
    wiring->devModelChanged();
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);

    ChnTagOsc* tag = chnTag(view, 0);
    const int gh = 500;
    const QPointF to(centre(tag).x(), 15 + gh * toFraction);
    WaveView* w = view->getWaveView();
    QTest::mousePress(w->viewport(), Qt::LeftButton, Qt::NoModifier, w->mapFromScene(centre(tag)));
    QVERIFY(!dev->smpRunning);   // stopped while dragging
    QMouseEvent move(QEvent::MouseMove, w->mapFromScene(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->viewport(), &move);
    QTEST(dev->aChnOffset[0], "offset");
    auto* label = itemsOf<GridLabelItem>(view).value(0);
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), view->getSidebarFrame()->findChildren<ChnSetOsc*>()[0]->offsetEdit()->text() + "V");
    QTest::mouseRelease(w->viewport(), Qt::LeftButton, Qt::NoModifier, w->mapFromScene(to));
    QVERIFY(!label->isVisible());
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 2);   // restarted once
    QVERIFY(!tag->dragging);
}

void TstMainViewOsc::levelTagDrag_data()
{
    QTest::addColumn<double>("toFraction");
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("probe");
    QTest::addColumn<QString>("text");
    // 1 V per division, offset 0: the centre is 0 V, each tenth of the grid 1 V.
    QTest::newRow("0.3 of the grid") << 0.3 << 2000.0 << 1 << "2V";
    QTest::newRow("0.45") << 0.45 << 500.0 << 1 << "500mV";
    QTest::newRow("past the bottom") << 1.4 << -5000.0 << 1 << "-5V";
    QTest::newRow("0.45, 10X probe") << 0.45 << 500.0 << 10 << "5V";
}

void TstMainViewOsc::levelTagDrag()
{
    QFETCH(double, toFraction);
    QFETCH(double, level);
    QFETCH(int, probe);
    dev->setAProbeRate(0, probe);
    wiring->devModelChanged();
    TriggerTagOsc* tag = trgTag(view, 0, 0);
    QVERIFY(tag->isVisible());
    const int gh = 500;
    drag(view, centre(tag), QPointF(centre(tag).x(), 15 + gh * toFraction + 0.3));
    // Snapped to thousandths of the grid height.
    QCOMPARE(tag->fraction, std::min(toFraction, 1.0));
    QCOMPARE(dev->aTrgVolt[0], level);
    auto* info = itemsOf<GridVoltInforItem>(view).value(0);
    QTEST(info->text(), "text");
    QVERIFY(!info->isVisible());   // hidden on release
}

void TstMainViewOsc::positionTagPastEdges()
{
    wiring->devModelChanged();
    TriggerTagOsc* tag = trgTag(view, 1, 0);
    const double y = centre(tag).y();
    drag(view, centre(tag), QPointF(2, y));
    QCOMPARE(dev->aTrgPercent, 0);
    drag(view, centre(tag), QPointF(view->getWaveView()->width() - 1, y));
    QCOMPARE(dev->aTrgPercent, 1000);
    const int gw = view->getWaveView()->width() - 15 - 2 - 15;
    drag(view, centre(tag), QPointF(15 + gw * 0.123, y));
    QCOMPARE(dev->aTrgPercent, 123);
    QCOMPARE(tag->x() + tag->itemWidth() / 2, std::trunc(15 + gw * 0.123));
}

void TstMainViewOsc::timeReadouts()
{
    wiring->devModelChanged();
    dev->setATimeDivIndex(8);   // 5000 ns
    QVERIFY(dev->setATrgPercent(500));
    capture(10000);
    QVERIFY(trgTag(view, 1, 0, false)->isVisible());
    // Panned until the trigger sample is out of view: the readouts refer to the setting.
    wiring->genOsc->moveOffset(-1000);
    QVERIFY(!trgTag(view, 1, 0, false)->isVisible());
    QSignalSpy spy(view, &MainView::oscXyMeasureChanged);
    view->setAMarkerPosition(0, 0.7);
    view->setAMarkerState(0, 3);
    view->updateAMarkerValue(1);
    QCOMPARE(spy.last().value(1).toStringList(), (QStringList{"10us", "###", "###"}));
    view->setAMarkerPosition(1, 0.2);
    view->setAMarkerState(1, 3);
    view->updateAMarkerValue(1);
    QCOMPARE(spy.last().value(1).toStringList(), (QStringList{"10us", "-15us", "25us"}));

    // With the trigger sample in view, the outline's place is the reference.
    capture(10000);
    TriggerTagOsc* outline = trgTag(view, 1, 0, false);
    QVERIFY(outline->isVisible());
    QCOMPARE(outline->fraction, 0.5);
}

void TstMainViewOsc::voltReadouts()
{
    dev->setAProbeRate(1, 10);
    dev->setAChnOffset(1, 100);
    wiring->devModelChanged();
    QSignalSpy spy(view, &MainView::oscXyMeasureChanged);
    view->slotVoltAChnChanged(1);
    view->slotVoltAChnChanged(5);   // no such channel: kept
    view->setAMarkerPosition(2, 0.25);
    view->setAMarkerState(2, 3);
    view->setAMarkerPosition(3, 0.9);
    view->setAMarkerState(3, 3);
    view->updateAMarkerValue(0);
    // 1 V per division x 10 per screen x probe 10; zero at 0.4.
    QCOMPARE(spy.last().value(1).toStringList(), (QStringList{"15V", "-50V", "65V"}));
}

// The cursor panel wired both ways as the side panel wires it: it shows what
// the waveform shows, also for the pair whose following cursor a click drops.
void TstMainViewOsc::cursorPanelFollowsWaveform()
{
    wiring->devModelChanged();
    AnnotationsOsc panel;
    connect(view, &MainView::oscXyMeasureChanged, &panel, &AnnotationsOsc::setValue);
    connect(&panel, &AnnotationsOsc::labelClicked, view, &MainView::slotXyBtnClicked);
    panel.init();
    OscMeasurePairItem* times = panel.item(0);
    OscMeasurePairItem* volts = panel.item(1);
    const QStringList none = {"###", "###", "###"};
    view->setAMarkerPosition(0, 0.3);
    view->setAMarkerState(0, 3);                                  // X1 placed
    QTest::mouseClick(times->markerButton(1), Qt::LeftButton);   // X2 follows
    const QString x1 = times->texts()[0];
    QVERIFY(x1 != "###" && times->texts()[1] != "###");
    QTest::mouseClick(volts->markerButton(0), Qt::LeftButton);   // Y1 follows, X2 dropped
    QVERIFY(cursor(view, 1, 0)->isVisible() && !cursor(view, 1, 1)->isVisible());
    QCOMPARE(times->texts(), (QStringList{x1, "###", "###"}));
    QVERIFY(volts->texts()[0] != "###");
    QTest::mouseClick(times->markerButton(1), Qt::LeftButton);   // X2 again, Y1 dropped
    QVERIFY(!cursor(view, 0, 0)->isVisible());
    QCOMPARE(volts->texts(), none);
}

void TstMainViewOsc::mathOffsetTexts_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("text");
    QTest::newRow("2000 mV") << 2000 << "2.00V";
    QTest::newRow("50 mV") << 50 << "50.0mV";
}

void TstMainViewOsc::mathOffsetTexts()
{
    QFETCH(int, scale);
    dev->aMathScale[0] = scale;
    wiring->devModelChanged();
    auto* math = view->getSidebarFrame()->findChild<MathOperationOsc*>();
    math->dropButton()->click();   // collapsed: the view lays the side bar out again
    QCOMPARE(math->height(), 24);
    const int gh = 500;
    view->setOscMathChnTagPosition(15 + gh * 0.4);   // 100 per mille above the centre
    QCOMPARE(dev->aMathOffset[0], 100);
    QTEST(math->offsetEdit()->text(), "text");
    QTEST(itemsOf<GridLabelItem>(view).value(0)->text(), "text");
    QCOMPARE(Config::readDeviceParam(dev->devName, QStringLiteral("AMathOperator0")),
             QString::number(scale) + QStringLiteral(",100"));
}

void TstMainViewOsc::mathBoxesShowWholeTexts()
{
    // Every item fits its box's text field.
    wiring->devModelChanged();
    auto* math = view->getSidebarFrame()->findChild<MathOperationOsc*>();
    for (QComboBox* box : {math->operatorBox(), math->scaleBox()}) {
        QStyleOptionComboBox opt;
        opt.initFrom(box);
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
        for (int i = 0; i < box->count(); ++i)
            QVERIFY2(box->fontMetrics().horizontalAdvance(box->itemText(i)) <= field.width(),
                     qPrintable(box->itemText(i)));
    }
    // The offset edit, right of the boxes, stays inside the panel.
    QVERIFY(math->offsetEdit()->mapTo(math, QPoint(math->offsetEdit()->width(), 0)).x() <= math->width());
}

void TstMainViewOsc::calibrationRefreshesBothChannels()
{
    wiring->devModelChanged();
    const int gh = 500;
    // The calibration changed both offsets behind the view's back.
    dev->aChnOffset[0] = 250;
    dev->aChnOffset[1] = -250;
    view->slotCalibSettingChanged(2, 7);
    QCOMPARE(centre(chnTag(view, 0)).y(), 15 + gh * 0.25 + 0.5);
    QCOMPARE(centre(chnTag(view, 1)).y(), 15 + gh * 0.75 + 0.5);
    const QList<ChnSetOsc*> panels = view->getSidebarFrame()->findChildren<ChnSetOsc*>();
    QCOMPARE(panels[0]->offsetEdit()->text(), QStringLiteral("2.50"));
    QCOMPARE(panels[1]->offsetEdit()->text(), QStringLiteral("-2.50"));
    view->slotCalibSettingChanged(0, 9);   // no such channel: nothing
    view->slotCalibSettingChanged(4, 0);
}

void TstMainViewOsc::calibrationEditsShowInPanels()
{
    // Channel 2 is off at -600 mV on 200 mV/div. A slope edit puts it on the
    // 1 V step at 400 per mille, then a zero edit (last row) at 0.
    useEmulator();
    if (QTest::currentTestFailed())
        return;
    dev->setAChnEna({true, false});
    dev->setAVoltDivIndex(1, 3);
    dev->setAChnOffset(1, -300);
    wiring->devModelChanged();
    CalibrateOsc calib;
    calib.init();
    connect(&calib, &CalibrateOsc::calibSettingChanged, view, &MainView::slotCalibSettingChanged);
    ChnSetOsc* panel = view->getSidebarFrame()->findChildren<ChnSetOsc*>().value(1);
    QVERIFY(panel && !panel->enableSwitch()->switchOn && !chnTag(view, 1)->isVisible());
    const struct { const char* box; int offset; const char* text; } edits[] = {{"1", 400, "4.00"}, {"1,2", 0, "0.00"}};
    for (const auto& e : edits) {
        // A zero box shares its name with a gain box of wider range.
        const QList<MySpinBox*> boxes = calib.findChildren<MySpinBox*>(e.box);
        MySpinBox* edit = *std::min_element(boxes.begin(), boxes.end(),
                                            [](auto* a, auto* b) { return a->maximum() < b->maximum(); });
        edit->setValue(edit->value() + 7);
        QVERIFY(panel->enableSwitch()->switchOn && chnTag(view, 1)->isVisible());
        QCOMPARE(panel->offsetEdit()->text(), QString::fromLatin1(e.text));
        QCOMPARE(panel->voltDial()->currentIndex(), 5);
        QVERIFY(std::abs(centre(chnTag(view, 1)).y() - (15 + 500 * (0.5 - e.offset / 1000.0))) <= 1);
    }
}

void TstMainViewOsc::tinyWindow()
{
    wiring->devModelChanged();
    capture();
    view->getSidebarArea()->setFixedHeight(10);
    view->getWaveView()->setFixedWidth(20);
    QTRY_COMPARE(view->getWaveView()->width(), 20);
    QTRY_COMPARE(view->getSidebarArea()->height(), 10);
    view->slotChnExpansion();
    auto* trace = itemsOf<WaveLineOsc>(view).value(0);
    QCOMPARE(trace->itemWidth(), 1);   // an empty grid, nothing negative
    QCOMPARE(trace->itemHeight(), 1);
    view->setOscTrgHorMoved(5);
    QVERIFY(dev->aTrgPercent >= 0 && dev->aTrgPercent <= 1000);
    view->setOscMathChnTagPosition(3);
    QCOMPARE(dev->aMathOffset[0], 500);
    view->slotXyBtnClicked(0, 1);
    QVERIFY(std::isfinite(cursor(view, 1, 0)->fraction));
    QImage img(20, 20, QImage::Format_RGB32);
    QPainter p(&img);
    view->getScene()->render(&p);   // every item paints without dividing by zero
}

void TstMainViewOsc::autoScaleRestartsOncePerCapture()
{
    wiring->devModelChanged();
    capture();
    WaveDataGenOsc* g = wiring->genOsc;
    WaveDataGenOsc::setAutoScaleStart();
    QVERIFY(itemsOf<AutoScaleItem>(view).value(0)->isVisible());
    dev->smpStartMode = SmpStartAuto;
    capture();   // a new capture: one step, one restart
    QCOMPARE(g->autoScaleState, 1);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);
    // Refreshes without a new capture take no step, even with data on display.
    capture(10000, false);
    const int state = g->autoScaleState;
    const int frames = wiring->frames;
    g->zoom(100);
    view->slotChnExpansion();
    QVERIFY(wiring->frames > frames);
    QCOMPARE(g->autoScaleState, state);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);
}

void TstMainViewOsc::capturesShown_data()
{
    QTest::addColumn<bool>("emulated");
    QTest::newRow("instrument emulator") << true;
    QTest::newRow("demo generator") << false;
}

void TstMainViewOsc::capturesShown()
{
    // A single capture on a sampling thread reaches the graticule: each
    // channel's trace spans the rows of the highest and lowest sample in view
    // (brute force over the displayed store), and the trigger of the capture
    // lies under the trigger position the user set.
    QFETCH(bool, emulated);
    if (emulated) {
        QByteArray raw(40960, '\0');
        for (int i = 0; i < 20480; ++i) {
            raw[2 * i] = char((i / 250) % 2 ? -70 : 70);   // a square of 500 samples
            raw[2 * i + 1] = char(i % 128 - 64);           // a ramp of 128
        }
        useEmulator(raw, 30000);
        if (QTest::currentTestFailed())
            return;
        // A running FPGA answers with the capture's real states from here on.
        emu_set_fpga_load_result(0);
        unsigned char res = 0xFF;
        QCOMPARE(ds->ctrlRead(0x50, 0, &res, 1), 0);
        QCOMPARE(ds->ctrlWrite(0x10, 1, nullptr, 0), 0);
        emu_set_status_override(-1);
        emu_set_buffer_phases(2, 1, 2);
    } else {
        SmpCtrlFactory::install([](DevBase* d) -> QThread* { return new SmpSimulate(d); });
    }
    dev->setAChnOffset(0, 100);
    dev->setAChnOffset(1, -150);
    wiring->devModelChanged();
    QueuedSpy ready(dev.get(), &DevBase::sigSmpDataReady);
    dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(ready.calls.size() > 1 && !dev->smpRunning, 20000);
    QCOMPARE(int(dev->smpError), 0);
    QVERIFY(dev->hasValidData());
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    if (emulated)
        QCOMPARE(s->chnData[0]->trgPosition, 15000);   // the record's trigger, two bytes a sample

    const QRectF rect = view->getScene()->sceneRect();
    QImage img(rect.size().toSize(), QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        view->getScene()->render(&p, QRectF(img.rect()), rect);
    }
    auto* trace = itemsOf<WaveLineOsc>(view).value(0);
    const int H = trace->itemHeight();
    const int gw = trace->itemWidth() - 1;
    const int left = int(trace->x());
    const int top = int(trace->y());
    WaveDataGenOsc* g = wiring->genOsc;
    bool (*const hue[2])(const QColor&) = {yellowish, bluish};
    for (int chn = 0; chn < 2; ++chn) {
        const AnalogChnData* d = s->chnData[size_t(chn)];
        const double spp = g->smpPerPixel[chn];
        const double first = g->smpOffset[chn];
        QVERIFY(spp > 0);
        const qint64 a = std::max<qint64>(0, qint64(std::floor(first)));
        const qint64 b = std::min<qint64>(d->smpCount - 1, qint64(std::ceil(first + spp * gw)));
        QVERIFY(b > a);
        int lo = 1 << 20, hi = -(1 << 20);
        for (qint64 i = a; i <= b; ++i) {
            lo = std::min<int>(lo, d->data[i]);
            hi = std::max<int>(hi, d->data[i]);
        }
        QVERIFY(hi > lo);
        const double y0 = H * (0.5 - dev->aChnOffset[chn] / 1000.0);
        const double k = H * 0.1 / dev->getAVoltDivValue(chn);
        auto row = [&](double mv) { return qBound(0, int(std::trunc(y0 - mv * k)), H - 1); };
        const int want[2] = {row(SmpDataOsc::codeToMv(d, hi)), row(SmpDataOsc::codeToMv(d, lo))};
        int got[2] = {-1, -1};
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < gw + 1; ++x)
                if (hue[chn](img.pixelColor(left + x, top + y))) {
                    if (got[0] < 0)
                        got[0] = y;
                    got[1] = y;
                }
        // The pen's square cap may light the row beyond an end.
        QVERIFY2(std::abs(got[0] - want[0]) <= 1 && std::abs(got[1] - want[1]) <= 1,
                 qPrintable(QString("channel %1: rows %2..%3, wanted %4..%5")
                                .arg(chn).arg(got[0]).arg(got[1]).arg(want[0]).arg(want[1])));
    }
    TriggerTagOsc* at = trgTag(view, 1, 0, false);
    QVERIFY(at->isVisible());
    QVERIFY(std::abs(centre(at).x() - centre(trgTag(view, 1, 0)).x()) <= 1);
}

void TstMainViewOsc::viewChangesReachInstrument()
{
    // Trigger channel, edge and a drag of a channel's tag on the emulated
    // instrument during a repeated capture: each stops the capture, sends its
    // setting and starts the capture again with it.
    useEmulator();
    if (QTest::currentTestFailed())
        return;
    wiring->devModelChanged();
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 1);
    auto* trg = view->getSidebarFrame()->findChild<TriggerSetOsc*>();
    QVERIFY(trg);
    QCOMPARE(dev->aTrgType, int(TrgRise));

    emu_log_clear();
    QTest::mouseClick(trg->channelButtons()[1], Qt::LeftButton);
    QStringList log = regLog();
    int stop = log.indexOf(QStringLiteral("0:00"));
    QVERIFY2(stop >= 0 && log.indexOf(QStringLiteral("30:0103")) > stop, qPrintable(log.join(' ')));
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 2);
    QVERIFY(trgTag(view, 0, 1)->isVisible() && !trgTag(view, 0, 0)->isVisible());

    emu_log_clear();
    QTest::mouseClick(trg->edgeButtons()[1], Qt::LeftButton);   // falling
    log = regLog();
    stop = log.indexOf(QStringLiteral("0:00"));
    QVERIFY2(stop >= 0 && log.indexOf(QStringLiteral("30:0104")) > stop, qPrintable(log.join(' ')));
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 3);
    QCOMPARE(dev->aTrgType, int(TrgFall));

    // A drag holds the capture from press to release and sends the offset while it is stopped.
    emu_log_clear();
    ChnTagOsc* tag = chnTag(view, 0);
    WaveView* w = view->getWaveView();
    const QPoint to = w->mapFromScene(QPointF(centre(tag).x(), 15 + 500 * 0.25));
    QTest::mousePress(w->viewport(), Qt::LeftButton, Qt::NoModifier, w->mapFromScene(centre(tag)));
    QVERIFY(!dev->smpRunning);
    QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->viewport(), &move);
    QCOMPARE(dev->aChnOffset[0], 250);
    QVERIFY(!dev->smpRunning);
    QTest::mouseRelease(w->viewport(), Qt::LeftButton, Qt::NoModifier, to);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 4);
    log = regLog();
    stop = log.indexOf(QStringLiteral("0:00"));
    const int offset = indexOf(log, QStringLiteral("48:"));
    QVERIFY2(stop >= 0 && offset > stop && indexOf(log, QStringLiteral("3:"), offset) > offset,
             qPrintable(log.join(' ')));
    QVERIFY(dev->smpRunning);
}

void TstMainViewOsc::panelChangeRestartsOnce()
{
    // Side panel changes during a repeated capture: each and the view's answer
    // to it share one stop and one restart.
    dev->setAChnOffset(0, 100);
    wiring->devModelChanged();
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat);
    ChnSetOsc* chn = view->getSidebarFrame()->findChildren<ChnSetOsc*>().value(0);
    auto* time = view->getSidebarFrame()->findChild<TimeSetOsc*>();
    QVERIFY(chn && time);
    auto plus = [](MyDial* d) { return d->findChild<QPushButton*>(QStringLiteral("1")); };
    // The trigger time is typed; the channel goes off last.
    const char* names[] = {"volts/div", "offset reset", "time/div", "trigger time", "channel off"};
    QWidget* const changes[] = {plus(chn->voltDial()), chn->resetButton(), plus(time->timeDial()), time->trgTimeEdit(),
                                chn->enableSwitch()};
    for (int i = 0; i < 5; ++i) {
        QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), i + 1);
        const quint32 runs = dev->smpRunSerial;
        if (i == 3) {
            time->trgTimeEdit()->setText(QStringLiteral("1"));
            QTest::keyClick(changes[i], Qt::Key_Return);
        } else {
            QTest::mouseClick(changes[i], Qt::LeftButton);
        }
        QVERIFY2(dev->smpRunSerial - runs == 1, names[i]);
    }
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 6);
}

QTEST_MAIN(TstMainViewOsc)
#include "tst_mainviewosc.moc"
