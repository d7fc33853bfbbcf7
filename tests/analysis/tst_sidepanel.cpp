// The side panel's sections driven as a user drives them: the measurement
// choice kept in the settings, pulse counters picked from their menus and
// fed the waveform view's lists, timing-marker pair rows, and the panel's
// stack and mode switch; in the oscilloscope mode its measurement and cursor
// panels wired to the waveform area.

#include "analysistesthelp.h"
#include "sidewiring.h"

#include "analysis/analyzerview.h"
#include "analysis/annotations.h"
#include "analysis/measureview.h"
#include "analysis/protocolresult.h"
#include "analysis/protocolsetting.h"
#include "analysis/pulsemeasure.h"
#include "analysis/timingmarkerpair.h"
#include "core/lang.h"
#include "device/analogchndata.h"
#include "device/dev7329.h"
#include "device/smpdataosc.h"
#include "scope/annotationsosc.h"
#include "scope/chnmeasurepair.h"
#include "scope/cursormarkerosc.h"
#include "scope/measureviewosc.h"
#include "scope/oscmeasurepairitem.h"
#include "tests/scope/oscwiring.h"
#include "waveview/waveview.h"
#include "widgets/colorlump.h"
#include "widgets/mybutton.h"
#include "widgets/mymenu.h"
#include "widgets/timingmarkertip.h"

#include <QGraphicsScene>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <QtTest>

#include <cmath>

using namespace anlytest;
using SideTest::counts;
using SideTest::pick;

namespace {

QString lgc()
{
    return Config::readGlobalParam(QStringLiteral("lgcMeasure"));
}

// Closes the next modal message box and hands back its text.
void closeNextBox(QString* text)
{
    QTimer::singleShot(0, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->button(QMessageBox::Close)->click();
        }
    });
}

} // namespace

class TstSidePanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Config::fillLists();
        Config::createFont();
    }
    void init() { resetSettings(); }

    void measureStoredChoice_data();
    void measureStoredChoice();
    void measureMenuStoresChoice();
    void measureValues();
    void countersNewTypeAndChannel();
    void countersShareOneRequest();
    void countersAfterDeviceChange();
    void countersResults();
    void countersRemoveMiddle();
    void countersRecountOnlyOnChange();
    void pairsAddFillsGap();
    void pairsMessages();
    void pairsButtons();
    void pairsLimitAndInit();
    void sidePanelModes();
    void oscMeasureChannels();
    void oscPanelsWired();
    void distanceTip();

private:
    TempEnv env;
};

void TstSidePanel::measureStoredChoice_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QVector<bool>>("shown");
    QTest::newRow("empty") << "" << QVector<bool>{true, true, true, true};
    QTest::newRow("two parts") << "0,1" << QVector<bool>{false, true, true, true};
    QTest::newRow("six parts") << "1,0,1,1,0,0" << QVector<bool>{true, false, true, true};
    QTest::newRow("not a number") << "x,1,1,1" << QVector<bool>{false, true, true, true};
}

void TstSidePanel::measureStoredChoice()
{
    QFETCH(QString, stored);
    QFETCH(QVector<bool>, shown);
    Config::saveGlobalParam("lgcMeasure", stored);
    MeasureView mv;
    for (int i = 0; i < MeasureView::count; ++i) {
        QCOMPARE(!mv.nameLabel(i)->isHidden(), shown[i]);
        QCOMPARE(!mv.valueLabel(i)->isHidden(), shown[i]);
        QCOMPARE(mv.measureMenu()->actions()[i]->isChecked(), shown[i]);
    }
    QCOMPARE(lgc(), stored);   // applying never rewrites the key
}

void TstSidePanel::measureMenuStoresChoice()
{
    MeasureView mv;
    mv.show();
    MyMenu* menu = mv.measureMenu();
    menu->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QAction* duty = menu->actions()[2];
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(duty).center());
    QCOMPARE(lgc(), QString("1,1,0,1"));
    QVERIFY(mv.nameLabel(2)->isHidden());
    QVERIFY(mv.valueLabel(2)->isHidden());
    QVERIFY(menu->isVisible());   // the user may switch the next one
    menu->close();

    // The settings replaced: the panel follows them when asked.
    Config::saveGlobalParam("lgcMeasure", "0,1,1,1");
    mv.initMenuTriggered();
    QVERIFY(mv.nameLabel(0)->isHidden());
    QVERIFY(!mv.nameLabel(2)->isHidden());

    // Collapsing keeps the title row only.
    QTest::mouseClick(mv.expandButton(), Qt::LeftButton);
    QVERIFY(mv.optionsButton()->isHidden());
    QVERIFY(mv.valuesBox()->isHidden());
    QVERIFY(mv.expandButton()->isVisible());
}

void TstSidePanel::measureValues()
{
    Lang::doc.setContent(QStringLiteral("<language><head/><texts><t src=\"25%\">fuenfundzwanzig</t></texts>"
                                        "<analyzers/></language>"));
    MeasureView mv;
    mv.slotValueChanged({"12.5us", "50us", "25%", "20KHz"});
    QCOMPARE(mv.valueLabel(2)->text(), QString("fuenfundzwanzig"));
    QCOMPARE(mv.valueLabel(3)->text(), QString("20KHz"));
    mv.slotValueChanged({"1", "2", "3", "4", "5"});
    mv.slotValueChanged({});
    QCOMPARE(mv.valueLabel(0)->text(), QString("12.5us"));
    mv.slotValueChanged({"###", "1s"});
    QCOMPARE(mv.valueLabel(0)->text(), QString("###"));
    QCOMPARE(mv.valueLabel(1)->text(), QString("1s"));
    QCOMPARE(mv.valueLabel(3)->text(), QString("20KHz"));
    Lang::doc.setContent(Lang::builtinDocument());
}

void TstSidePanel::countersNewTypeAndChannel()
{
    DeviceGuard dev(0);
    QVector<bool> ena(devUsing->dChnEna.size(), false);
    ena[3] = ena[5] = ena[9] = true;
    devUsing->dChnEna = ena;
    PulseMeasure pm;
    QTest::mouseClick(pm.addButton(), Qt::LeftButton);
    QVERIFY(pm.counters().isEmpty());   // the channel menu is not fitted yet
    pm.init();
    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(pm.addButton(), Qt::LeftButton);
    const int types[5] = {0, 1, 2, 3, 0};
    const int chns[5] = {3, 5, 9, 3, 5};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(pm.counters()[i].type, types[i]);
        QCOMPARE(pm.counters()[i].chn, chns[i]);
        QCOMPARE(pm.timeButton(i)->text(), QString("ALL"));
        QCOMPARE(pm.chnButton(i)->text(), QString("CH%1").arg(chns[i]));
    }
    QCOMPARE(pm.listLayout()->contentsMargins(), QMargins(3, 3, 3, 3));
    QCOMPARE(PulseMeasure::getChnSet(0), QStringList());
}

void TstSidePanel::countersShareOneRequest()
{
    DeviceGuard dev(0);
    PulseMeasure pm;
    pm.init();
    QTest::mouseClick(pm.addButton(), Qt::LeftButton);   // rising, CH0
    QTest::mouseClick(pm.addButton(), Qt::LeftButton);   // falling, CH1
    pick(pm.chnButton(1), pm.chnMenu(), 0);
    QCOMPARE(pm.chnButton(1)->text(), QString("CH0"));
    QCOMPARE(PulseMeasure::getChnAndTimeSet(), QStringList{"0,0"});
    pm.slotValueChanged({"0,0,12,11,10,9"});
    QCOMPARE(counts(&pm), (QStringList{"12", "11"}));

    // Collapsing hides the rows and the add button; opening shows them as they were.
    QTest::mouseClick(pm.deployButton(), Qt::LeftButton);
    QVERIFY(pm.listArea()->isHidden() && pm.addButton()->isHidden());
    QTest::mouseClick(pm.deployButton(), Qt::LeftButton);
    QVERIFY(!pm.listArea()->isHidden());
    QCOMPARE(counts(&pm), (QStringList{"12", "11"}));
}

void TstSidePanel::countersAfterDeviceChange()
{
    auto* first = DevBase::createDevice(0);
    devUsing = first;
    PulseMeasure pm;
    pm.init();
    QCOMPARE(pm.chnMenu()->actions().size(), 16);
    QTest::mouseClick(pm.addButton(), Qt::LeftButton);
    pick(pm.chnButton(0), pm.chnMenu(), 12);
    QTest::mouseClick(pm.addButton(), Qt::LeftButton);   // on CH0
    pm.slotValueChanged({"12,0,1,1,1,1", "0,0,7,7,7,7"});

    delete first;
    DeviceGuard dev(DevModel2113);
    const int n = devUsing->dChnEna.size();
    QVERIFY(n < 12);
    pm.init();
    QCOMPARE(pm.chnMenu()->actions().size(), n);
    QCOMPARE(pm.chnMenu()->actions().last()->data().toInt(), n - 1);
    QCOMPARE(pm.chnButton(0)->text(), QString("CH12"));
    QCOMPARE(counts(&pm), (QStringList{"###", "###"}));
    QCOMPARE(PulseMeasure::getChnAndTimeSet(), QStringList{"0,0"});
    pm.slotValueChanged({"0,0,7,7,7,7"});
    QCOMPARE(counts(&pm), (QStringList{"###", "7"}));
}

void TstSidePanel::countersResults()
{
    DeviceGuard dev(0);
    PulseMeasure pm;
    pm.init();
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(pm.addButton(), Qt::LeftButton);   // CH0 rise, CH1 fall, CH2 positive
    // Short entries carry no number; they are passed over, not read past.
    pm.slotValueChanged({"0,0,5", "1,0", "2,0,1,2,3,4", "1,0,9,8,7,6"});
    QCOMPARE(counts(&pm), (QStringList{"###", "8", "3"}));
    pm.slotValueChanged({});
    QCOMPARE(counts(&pm), (QStringList{"###", "###", "###"}));
    pm.slotValueChangedbyTimeMarker(7, {"0"});
    pm.slotValueChangedbyTimeMarker(-3, {});
    QCOMPARE(counts(&pm), (QStringList{"###", "###", "###"}));
}

void TstSidePanel::countersRemoveMiddle()
{
    DeviceGuard dev(0);
    PulseMeasure pm;
    pm.init();
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(pm.addButton(), Qt::LeftButton);
    MyButton* thirdType = pm.typeButton(2);
    MyButton* thirdRemove = pm.removeButton(2);
    QTest::mouseClick(pm.removeButton(1), Qt::LeftButton);
    QCOMPARE(pm.counters().size(), 2);
    QCOMPARE(pm.counters()[1].chn, 2);
    QCOMPARE(pm.listLayout()->itemAtPosition(1, 0)->widget(), thirdType);
    QCOMPARE(pm.listLayout()->itemAtPosition(1, 5)->alignment(), Qt::AlignRight);
    pick(thirdType, pm.typeMenu(), 3);
    QCOMPARE(pm.counters()[1].type, 3);
    QCOMPARE(pm.counters()[0].type, 0);
    QTest::mouseClick(thirdRemove, Qt::LeftButton);
    QCOMPARE(pm.counters().size(), 1);
    QCOMPARE(pm.counters()[0].chn, 0);
    QTest::mouseClick(pm.removeButton(0), Qt::LeftButton);
    QVERIFY(pm.counters().isEmpty());
    QCOMPARE(pm.listLayout()->contentsMargins(), QMargins(0, 0, 0, 0));
}

void TstSidePanel::countersRecountOnlyOnChange()
{
    DeviceGuard dev(0);
    PulseMeasure pm;
    pm.init();
    QSignalSpy changed(&pm, &PulseMeasure::setChanged);
    QTest::mouseClick(pm.addButton(), Qt::LeftButton);
    pick(pm.typeButton(0), pm.typeMenu(), 2);
    QCOMPARE(changed.count(), 0);                       // no samples: stored, not counted
    QCOMPARE(pm.typeButton(0)->objectName(), QString("2"));
    putCapture(10000, 100);
    QTest::mouseClick(pm.addButton(), Qt::LeftButton);
    QCOMPARE(changed.count(), 1);
    pick(pm.typeButton(0), pm.typeMenu(), 2);
    pick(pm.chnButton(0), pm.chnMenu(), 0);
    pick(pm.timeButton(0), pm.timeMenu(), 0);
    QCOMPARE(changed.count(), 1);                       // the same choices again
    pick(pm.typeButton(0), pm.typeMenu(), 1);
    pick(pm.chnButton(0), pm.chnMenu(), 4);
    QCOMPARE(changed.count(), 3);
    // A disabled channel is greyed in the menu and cannot be chosen.
    QVector<bool> ena = devUsing->dChnEna;
    ena[6] = false;
    devUsing->dChnEna = ena;
    const QVector<bool> shown = pick(pm.chnButton(0), pm.chnMenu(), 6);
    QVERIFY(!shown[6] && shown[5]);
    QCOMPARE(pm.counters()[0].chn, 4);
    QCOMPARE(changed.count(), 3);
}

void TstSidePanel::pairsAddFillsGap()
{
    Annotations an;
    for (int phy : {0, 2, 6})
        an.slotTimingMarkerPairChanged(0, phy, QString(), QString());
    QSignalSpy added(&an, &Annotations::addPairClicked);
    QTest::mouseClick(an.addButton(), Qt::LeftButton);
    QCOMPARE(added.takeFirst().at(0).toInt(), 4);
    QVector<int> ids;
    for (TimingMarkerPair* p : an.rows())
        ids << p->getId();
    QCOMPARE(ids, (QVector<int>{0, 1, 2, 3}));
    auto* box = static_cast<QVBoxLayout*>(an.rowContainer()->layout());
    QCOMPARE(box->itemAt(2)->widget(), an.row(2));

    QSignalSpy deleted(&an, &Annotations::delPairClicked);
    QTest::mouseClick(an.row(1)->removeButton(), Qt::LeftButton);
    QCOMPARE(deleted.takeFirst().at(0).toInt(), 2);
    QVERIFY(!an.row(1));
    QTest::mouseClick(an.addButton(), Qt::LeftButton);
    QCOMPARE(added.takeFirst().at(0).toInt(), 2);
    QCOMPARE(box->itemAt(1)->widget(), an.row(1));
}

void TstSidePanel::pairsMessages()
{
    Annotations an;
    an.slotTimingMarkerPairChanged(0, 6, QString(), QString());
    an.slotTimingMarkerPairChanged(4, 7, "1.5ms", "250us");
    TimingMarkerPair* d = an.row(3);
    QCOMPARE(d->timeLabel(1)->text(), QString("1.5ms"));
    QCOMPARE(d->timeLabel(0)->text(), QString("###"));
    QCOMPARE(d->distanceLabel()->text(), QString("250us"));
    an.slotTimingMarkerPairChanged(0, 7, QString(), QString());   // exists already
    an.slotTimingMarkerPairChanged(4, 2, "1s", "1s");             // no such row
    an.slotTimingMarkerPairChanged(2, 0, QString(), QString());   // no such type
    QCOMPARE(an.rows().size(), 1);
    QCOMPARE(d->timeLabel(1)->text(), QString("1.5ms"));
    // Ids past E2 or below A1 make no row.
    for (int phy : {10, 11, 99, -1, -2})
        an.slotTimingMarkerPairChanged(0, phy, QString(), QString());
    an.slotTimingMarkerPairChanged(4, -1, "x", "x");
    QCOMPARE(an.rows().size(), 1);
    QCOMPARE(d->timeLabel(0)->text(), QString("###"));
}

void TstSidePanel::pairsButtons()
{
    DeviceGuard dev(0);
    TimingMarkerPair row(2);
    QSignalSpy marker(&row, &TimingMarkerPair::markerClicked);
    QSignalSpy locate(&row, &TimingMarkerPair::locationClicked);
    QCOMPARE(row.markerButton(0)->text(), QString("C1"));
    QTest::mouseClick(row.markerButton(0), Qt::LeftButton);
    QTest::mouseClick(row.locationButton(), Qt::LeftButton);
    QCOMPARE(marker.count(), 0);   // empty capture, distance "###"
    QCOMPARE(locate.count(), 0);
    row.setTimeDate(5, "2us", "1us");   // no third marker
    QCOMPARE(row.distanceLabel()->text(), QString("###"));
    QTest::mouseClick(row.deployButton(), Qt::LeftButton);
    QVERIFY(row.detailArea()->isHidden());
}

void TstSidePanel::pairsLimitAndInit()
{
    Annotations an;
    for (int i = 0; i < Annotations::maxPairs; ++i)
        QTest::mouseClick(an.addButton(), Qt::LeftButton);
    QSignalSpy added(&an, &Annotations::addPairClicked);
    QString text;
    closeNextBox(&text);
    QTest::mouseClick(an.addButton(), Qt::LeftButton);
    QCOMPARE(text, QString("Sorry, timing marker pairs has reached the maximum number."));
    QCOMPARE(an.rows().size(), Annotations::maxPairs);
    QCOMPARE(added.count(), 0);

    QTest::mouseClick(an.deployButton(), Qt::LeftButton);
    QVERIFY(an.rowContainer()->isHidden());
    an.init();
    QVERIFY(an.rows().isEmpty());
    QCOMPARE(an.rowContainer()->layout()->count(), 0);
    QVERIFY(an.isDeployed() && !an.rowContainer()->isHidden() && !an.addButton()->isHidden());
}

void TstSidePanel::sidePanelModes()
{
    DeviceGuard dev(0);
    AnalyzerManager mgr;
    AnalyzerView view(&mgr);
    QCOMPARE(view.width(), 240);
    QVBoxLayout* box = view.boxLayout();
    QCOMPARE(box->count(), 14);
    QCOMPARE(view.separators().size(), 6);
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(box->itemAt(1 + 2 * k)->widget(), view.separators()[k]);
        QCOMPARE(view.separators()[k]->color(), Config::grayColor[5]);
    }
    QCOMPARE(box->itemAt(4)->widget(), view.getMeasureView());
    QCOMPARE(box->itemAt(10)->widget(), view.getProtocolSetting());
    QCOMPARE(box->itemAt(12)->widget(), view.getProtocolResult());
    QCOMPARE(box->itemAt(13)->widget(), view.fillLabel());

    view.devModelChanged();
    for (int k = 0; k < 6; ++k)
        QCOMPARE(view.separators()[k]->isHidden(), k < 2);
    QVERIFY(view.oscMeasureHolder()->isHidden() && view.oscCursorHolder()->isHidden());
    QVERIFY(view.fillLabel()->isHidden() && !view.getPulseMeasure()->isHidden());
    QVERIFY(!view.getProtocolSetting()->isHidden() && !view.getProtocolResult()->isHidden());
    QCOMPARE(box->stretch(12), 1);
    QCOMPARE(view.getPulseMeasure()->chnMenu()->actions().size(), devUsing->dChnEna.size());

    devUsing->workMode = WorkModeOsc;
    view.devModelChanged();
    for (int k = 0; k < 6; ++k)
        QCOMPARE(view.separators()[k]->isHidden(), k >= 2);
    QVERIFY(!view.oscMeasureHolder()->isHidden() && !view.fillLabel()->isHidden());
    QVERIFY(view.getMeasureView()->isHidden() && view.getAnnotations()->isHidden());
    QVERIFY(view.getProtocolSetting()->isHidden() && view.getProtocolResult()->isHidden());
    QCOMPARE(box->stretch(13), 1);
}

void TstSidePanel::oscMeasureChannels()
{
    QCOMPARE(AnalyzerView::oscMeasureChannels(1, 2), QVector<int>{1});
    QCOMPARE(AnalyzerView::oscMeasureChannels(-1, 2), (QVector<int>{0, 1}));
    QCOMPARE(AnalyzerView::oscMeasureChannels(2, 2), (QVector<int>{0, 1}));
    QCOMPARE(AnalyzerView::oscMeasureChannels(0, 0), QVector<int>());
}

void TstSidePanel::oscPanelsWired()
{
    Dev7329 dev;
    devUsing = &dev;
    AnalyzerManager mgr;
    QWidget window;   // goes after the wiring, which deletes its view itself
    OscTest::OscWiring wiring;
    MainView* mv = wiring.view;
    auto* grid = new QGridLayout(&window);
    grid->addWidget(mv, 1, 0, 3, 2);
    auto* side = new AnalyzerView(&mgr);
    SideTest::place(&window, side);
    SideTest::wire(mv, side);
    side->devModelChanged();
    wiring.devModelChanged();
    window.resize(1300, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Both oscilloscope sections, one measurement block per analog channel.
    MeasureViewOsc* meas = side->getMeasureViewOsc();
    AnnotationsOsc* cur = side->getAnnotationsOsc();
    QVERIFY(meas->isVisible() && cur->isVisible());
    QVERIFY(side->getPulseMeasure()->isHidden());
    QCOMPARE(meas->blockCount(), 2);

    // A click on X1 in the panel sets the waveform area's first time cursor
    // following the mouse, and its readout comes back into the panel.
    CursorMarkerOsc* x1 = nullptr;
    for (QGraphicsItem* i : mv->getScene()->items())
        if (auto* c = dynamic_cast<CursorMarkerOsc*>(i))
            if (c->kind() == 1 && c->cursorId() == 0)
                x1 = c;
    QVERIFY(x1);
    QCOMPARE(x1->state(), 0);
    QTest::mouseClick(cur->item(0)->markerButton(0), Qt::LeftButton);
    QCOMPARE(x1->state(), 1);
    const QStringList t = cur->item(0)->texts();
    QVERIFY2(t[0].endsWith(QLatin1Char('s')), qPrintable(t[0]));
    QCOMPARE(t[1], QStringLiteral("###"));   // X2 not shown
    QCOMPARE(cur->item(1)->texts()[0], QStringLiteral("###"));

    // Both channels: a sine of 40 samples at 1 MHz, +-240 codes.
    const SmpDataOscPtr s = dev.displayedSmpDataOsc();
    const int vd[2] = {1000, 1000};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {true, true};
    QVERIFY(s->dataConvertStart(10000, 1000000, vd, hs, off, ena));
    for (int c = 0; c < 2; ++c) {
        AnalogChnData* b = s->chnData[size_t(c)];
        b->smpCount = 20000;
        b->trgPosition = 10000;
        for (int i = 0; i < 20000; ++i)
            b->data[i] = short(std::lround(240 * std::sin(i * 6.283185307 / 40)));
    }
    wiring.genOsc->zoomFirst();
    // A channel's setting changed in the waveform area renews its block only.
    emit mv->oscChnMeasureChanged(1);
    // 480 codes peak to peak are the 5 divisions of half a screen at 1 V/div.
    const QStringList expected = {"5V", "40us", "25KHz", "50.00%"};
    const int rows[4] = {3, 6, 7, 12};
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(meas->block(1)->valueText(rows[k]), expected[k]);
        QCOMPARE(meas->block(0)->valueText(rows[k]), QStringLiteral("###"));
    }
    // A refresh of the whole view renews every block; a device with more
    // channels than the blocks built reaches only those.
    dev.aChnEna.resize(4);
    side->slotOscMeasureView(3);
    QCOMPARE(meas->block(0)->valueText(7), QStringLiteral("###"));
    side->slotOscMeasureView(-1);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(meas->block(0)->valueText(rows[k]), expected[k]);
    dev.aChnEna.resize(2);

    // Back in logic mode both panels hide, kept as they were.
    dev.workMode = WorkModeLogic;
    side->devModelChanged();
    QVERIFY(meas->isHidden() && cur->isHidden());
    QCOMPARE(meas->block(0)->valueText(7), expected[2]);
    devUsing = nullptr;
}

void TstSidePanel::distanceTip()
{
    TimingMarkerTip tip("###");
    tip.setFixedWidth(40);
    tip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tip));
    tip.setText("123.456789012ms");
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&tip, &enter);
    QTRY_COMPARE(QToolTip::text(), tip.text());
    tip.setText("1s");
    QApplication::sendEvent(&tip, &enter);
    QTRY_VERIFY(!QToolTip::isVisible());
}

QTEST_MAIN(TstSidePanel)
#include "tst_sidepanel.moc"
