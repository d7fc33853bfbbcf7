// The four oscilloscope side-bar panels on a mixed-signal device object,
// driven by clicks and keys: what they write into the device, the codes they
// report, and the register bytes a change sends to the emulated instrument
// while a capture runs.
#include "devobj/devtesthelp.h"
#include "scope/reglog.h"
#include "usbemu.h"

#include "device/dev7329.h"
#include "scope/chnsetosc.h"
#include "scope/mathoperationosc.h"
#include "scope/timesetosc.h"
#include "scope/triggersetosc.h"
#include "widgets/mybutton.h"
#include "widgets/mydial.h"
#include "widgets/myswitch.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using devtest::FakeWorker;
using OscTest::indexOf;
using OscTest::regLog;

namespace {

// Types into an edit and presses Return, as a user does.
void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

QPushButton* plusOf(MyDial* d)
{
    return d->findChild<QPushButton*>(QStringLiteral("1"));
}

} // namespace

class TstScopePanels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void channelInitFromDevice_data();
    void channelInitFromDevice();
    void channelOffsetTyped();
    void channelProbeAndDial();
    void channelResetAndEnable();
    void channelChangesPauseRunningCapture();
    void timeBaseEntries();
    void timeBaseChangesPauseRunningCapture();
    void timeBaseWheelSteps();
    void triggerPanel();
    void mathStartsAtDeviceScale();
    void mathEntriesAndOperators();

private:
    // A connected device object with a capture running on a held worker.
    void connectAndRun();

    DevSupport* ds = nullptr;
    std::unique_ptr<Dev7329> dev;
    std::unique_ptr<QWidget> win;
};

void TstScopePanels::init()
{
    ds = devtest::openEmulated();
    QVERIFY(ds);
    dev = std::make_unique<Dev7329>();
    devUsing = dev.get();
    win = std::make_unique<QWidget>();
    win->resize(280, 600);
}

void TstScopePanels::cleanup()
{
    win.reset();
    if (dev) {
        FakeWorker::hold = false;
        dev->smpStopAndWait();
    }
    devUsing = nullptr;
    dev.reset();
    devtest::closeEmulated(ds);
}

void TstScopePanels::connectAndRun()
{
    emu_set_status_override(0x85C1);
    unsigned char ident[DevIdentSize] = {200, 0, 250, 0};
    QCOMPARE(dev->devConnect(ident, 0.0), 0);
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat);
    QVERIFY(dev->smpRunning);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 1);
    emu_log_clear();
}

void TstScopePanels::channelInitFromDevice_data()
{
    QTest::addColumn<int>("probe");
    QTest::addColumn<int>("coupling");
    QTest::addColumn<int>("probeButton");
    QTest::addColumn<int>("couplingButton");
    QTest::newRow("1X DC") << 1 << 0 << 0 << 0;
    QTest::newRow("10X AC") << 10 << 1 << 1 << 1;
    QTest::newRow("100 checks the last") << 100 << 1 << 1 << 1;
    QTest::newRow("0 checks the first, coupling 7 none") << 0 << 7 << 0 << -1;
}

void TstScopePanels::channelInitFromDevice()
{
    QFETCH(int, probe);
    QFETCH(int, coupling);
    QFETCH(int, probeButton);
    QFETCH(int, couplingButton);
    // Values an edited settings file could hold, written past the setters.
    dev->aProbeRate[1] = probe;
    dev->aCoupling[1] = coupling;
    dev->aVoltDivIndex[1] = 6;
    dev->aChnOffset[1] = -250;
    ChnSetOsc panel(1, win.get());
    panel.init();
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(panel.probeButtons()[i]->isChecked(), i == probeButton);
        QCOMPARE(panel.couplingButtons()[i]->isChecked(), i == couplingButton);
    }
    if (probe <= 1) {
        // 2 V per division at 1X (also for a probe rate of 0): -250 per mille is -5 V.
        QCOMPARE(panel.setChnVolt(), QStringLiteral("-5.00V"));
        QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("-5.00"));
        QCOMPARE(panel.unitLabel()->text(), QStringLiteral("V"));
    }
    QCOMPARE(panel.voltDial()->currentIndex(), 6);
    QCOMPARE(panel.height(), 156);
}

void TstScopePanels::channelOffsetTyped()
{
    dev->setAVoltDivIndex(0, 0);   // 20 mV per division
    ChnSetOsc panel(0, win.get());
    panel.init();
    win->show();
    QApplication::setActiveWindow(win.get());
    QVERIFY(QTest::qWaitForWindowActive(win.get()));
    QSignalSpy spy(&panel, &ChnSetOsc::chnSetChanged);
    QLineEdit* edit = panel.offsetEdit();

    // Return finishes the edit once and takes the focus away.
    typeInto(edit, QStringLiteral("-55.55"));
    QVERIFY(!edit->hasFocus());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{15, 0}));
    QCOMPARE(dev->aChnOffset[0], -278);
    QCOMPARE(edit->text(), QStringLiteral("-55.6"));
    QCOMPARE(Config::readDeviceParam(dev->devName, QStringLiteral("AChnOffset")), QStringLiteral("-278,0"));

    // Hostile entries: beyond half a screen is limited, not-a-number is 0.
    const QStringList typed = {"1e300", "nan", "-inf", "30mV", "30"};
    const QVector<int> stored = {500, 0, 0, 0, 150};
    const QStringList shown = {"100.0", "0.0", "0.0", "0.0", "30.0"};
    for (int i = 0; i < typed.size(); ++i) {
        typeInto(edit, typed[i]);
        QCOMPARE(dev->aChnOffset[0], stored[i]);
        QCOMPARE(edit->text(), shown[i]);
    }
    QCOMPARE(spy.count(), typed.size());
}

void TstScopePanels::channelProbeAndDial()
{
    dev->setAVoltDivIndex(0, 0);
    dev->setAChnOffset(0, 150);
    ChnSetOsc panel(0, win.get());
    panel.init();
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("30.0"));
    QSignalSpy spy(&panel, &ChnSetOsc::chnSetChanged);

    QTest::mouseClick(panel.probeButtons()[1], Qt::LeftButton);
    QCOMPARE(dev->aProbeRate[0], 10);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{13, 0}));
    QCOMPARE(panel.voltDial()->currentText(), QStringLiteral("200mV"));
    QCOMPARE(panel.unitLabel()->text(), QStringLiteral("mV"));
    QCOMPARE(panel.offsetDecimals(), 0);
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("300"));
    QCOMPARE(dev->aChnOffset[0], 150);   // the per-mille offset stays

    panel.voltDial()->setCurrentIndex(6);
    QCOMPARE(dev->getVoltDivStringList(0).last(), QStringLiteral("20V"));
    QTest::mouseClick(plusOf(panel.voltDial()), Qt::LeftButton);   // at the end: nothing
    QCOMPARE(spy.count(), 0);
    panel.voltDial()->setCurrentIndex(3);
    QTest::mouseClick(plusOf(panel.voltDial()), Qt::LeftButton);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{14, 0}));
    QCOMPARE(dev->aVoltDivIndex[0], 4);
    QCOMPARE(panel.unitLabel()->text(), QStringLiteral("V"));   // 500 mV x 10
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("7.50"));

    QTest::mouseClick(panel.couplingButtons()[1], Qt::LeftButton);
    QCOMPARE(dev->aCoupling[0], 1);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{12, 0}));
}

void TstScopePanels::channelResetAndEnable()
{
    ChnSetOsc p0(0, win.get());
    ChnSetOsc p1(1, win.get());
    p0.init();
    p1.init();
    QSignalSpy spy0(&p0, &ChnSetOsc::chnSetChanged);
    QSignalSpy spy1(&p1, &ChnSetOsc::chnSetChanged);

    // Reset is reported also when the offset already is 0.
    QTest::mouseClick(p0.resetButton(), Qt::LeftButton);
    QCOMPARE(spy0.takeFirst(), (QList<QVariant>{16, 0}));
    QCOMPARE(p0.offsetEdit()->text(), QStringLiteral("0.00"));   // 1 V per division

    QTest::mouseClick(p0.enableSwitch(), Qt::LeftButton);
    QCOMPARE(dev->aChnEna, (QVector<bool>{false, true}));
    QCOMPARE(spy0.takeFirst(), (QList<QVariant>{10, 0}));
    QVERIFY(!p0.enableSwitch()->switchOn);
    QVERIFY(!p0.voltDial()->isEnabled() && !p0.offsetEdit()->isEnabled() && !p0.resetButton()->isEnabled());
    QVERIFY(!p0.couplingButtons()[0]->isEnabled() && !p0.probeButtons()[1]->isEnabled());
    QVERIFY(p0.enableSwitch()->isEnabled() && p0.dropButton()->isEnabled());

    // Both channels off would leave a capture with nothing to convert.
    QTest::mouseClick(p1.enableSwitch(), Qt::LeftButton);
    QCOMPARE(dev->aChnEna, (QVector<bool>{false, true}));
    QVERIFY(p1.enableSwitch()->switchOn && p1.voltDial()->isEnabled());
    QCOMPARE(spy1.count(), 0);

    QTest::mouseClick(p0.enableSwitch(), Qt::LeftButton);
    QCOMPARE(dev->aChnEna, (QVector<bool>{true, true}));
    QVERIFY(p0.voltDial()->isEnabled());

    QSignalSpy expand(&p1, &ChnSetOsc::stateChanged);
    QTest::mouseClick(p1.dropButton(), Qt::LeftButton);
    QCOMPARE(p1.height(), 24);
    QVERIFY(!p1.voltDial()->isVisibleTo(&p1));
    QCOMPARE(expand.count(), 1);
}

void TstScopePanels::channelChangesPauseRunningCapture()
{
    connectAndRun();
    ChnSetOsc panel(0, win.get());
    panel.init();

    QTest::mouseClick(panel.couplingButtons()[1], Qt::LeftButton);
    QStringList log = regLog();
    // Stop, then the coupling word, then the restart's settings.
    const int stop = log.indexOf(QStringLiteral("0:00"));
    const int coupling = log.indexOf(QStringLiteral("3f:01"));
    QVERIFY2(stop >= 0 && coupling > stop && indexOf(log, QStringLiteral("3:"), coupling) > coupling,
             qPrintable(log.join(' ')));
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 2);

    // Volts/div: gain and offset words between stop and restart.
    emu_log_clear();
    QTest::mouseClick(plusOf(panel.voltDial()), Qt::LeftButton);
    log = regLog();
    const int gain = indexOf(log, QStringLiteral("40:"));
    QVERIFY2(log.indexOf(QStringLiteral("0:00")) < gain && gain >= 0 && indexOf(log, QStringLiteral("48:"), gain) > gain
                 && indexOf(log, QStringLiteral("3:"), gain) > gain,
             qPrintable(log.join(' ')));
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 3);

    emu_log_clear();
    QTest::mouseClick(panel.enableSwitch(), Qt::LeftButton);
    log = regLog();
    const int ena = log.indexOf(QStringLiteral("3e:02"));
    QVERIFY2(log.indexOf(QStringLiteral("0:00")) < ena && ena >= 0 && indexOf(log, QStringLiteral("3:"), ena) > ena,
             qPrintable(log.join(' ')));
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 4);
    QVERIFY(dev->smpRunning);
}

void TstScopePanels::timeBaseEntries()
{
    dev->setATimeDivIndex(0);   // 10 ns
    TimeSetOsc panel(win.get());
    panel.init();
    win->show();
    QApplication::setActiveWindow(win.get());
    QVERIFY(QTest::qWaitForWindowActive(win.get()));
    QCOMPARE(panel.timeDial()->count(), 27);
    QCOMPARE(panel.timeDial()->currentText(), QStringLiteral("10ns"));
    QCOMPARE(panel.unitLabel()->text(), QStringLiteral("ns  "));
    QCOMPARE(panel.trgTimeEdit()->text(), QStringLiteral("0.0"));
    QSignalSpy spy(&panel, &TimeSetOsc::timeSetChanged);

    typeInto(panel.trgTimeEdit(), QStringLiteral("25"));
    QCOMPARE(dev->aTrgPercent, 750);
    QCOMPARE(spy.takeFirst(), QList<QVariant>{18});
    typeInto(panel.trgTimeEdit(), QStringLiteral("inf"));   // not a number: the centre
    QCOMPARE(dev->aTrgPercent, 500);
    QCOMPARE(spy.takeFirst(), QList<QVariant>{18});
    typeInto(panel.trgTimeEdit(), QStringLiteral("0.04"));   // the same position: nothing
    QCOMPARE(panel.trgTimeEdit()->text(), QStringLiteral("0.0"));
    QCOMPARE(spy.count(), 0);
    QTest::mouseClick(panel.resetButton(), Qt::LeftButton);   // already zero: nothing
    QCOMPARE(spy.count(), 0);

    typeInto(panel.trgTimeEdit(), QStringLiteral("25"));
    spy.clear();
    // A new step shows the same position in the new scale.
    QTest::mouseClick(plusOf(panel.timeDial()), Qt::LeftButton);
    QCOMPARE(spy.takeFirst(), QList<QVariant>{17});
    QCOMPARE(dev->timeDivIndex, 1);
    QCOMPARE(dev->aTrgPercent, 750);
    QCOMPARE(panel.trgTimeEdit()->text(), QStringLiteral("50.0"));
    QTest::mouseClick(panel.resetButton(), Qt::LeftButton);
    QCOMPARE(dev->aTrgPercent, 500);
    QCOMPARE(spy.takeFirst(), QList<QVariant>{18});

    dev->setATimeDivIndex(6);   // 1 us
    QVERIFY(dev->setATrgPercent(0));
    QCOMPARE(panel.setTrgTime(), QStringLiteral("-5.00us"));
}

void TstScopePanels::timeBaseChangesPauseRunningCapture()
{
    connectAndRun();
    TimeSetOsc panel(win.get());
    panel.init();
    // The model counts at half the 200 MHz clock; 10 us per division is
    // 20480 samples over the screen at 100 MHz.
    QCOMPARE(dev->timeDivIndex, 9);
    panel.timeDial()->setCurrentIndex(14);
    QTest::mouseClick(plusOf(panel.timeDial()), Qt::LeftButton);   // 1 ms: 2 MHz, divider 50
    const QStringList log = regLog();
    const int stop = log.indexOf(QStringLiteral("0:00"));
    const int settings = indexOf(log, QStringLiteral("10:"));
    QVERIFY2(stop >= 0 && settings > stop, qPrintable(log.join(' ')));
    QCOMPARE(log[settings].right(6), QStringLiteral("320000"));
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 2);

    // A trigger time that keeps the position restarts nothing.
    emu_log_clear();
    panel.trgTimeEdit()->setText(QStringLiteral("0.004"));
    emit panel.trgTimeEdit()->editingFinished();
    QCOMPARE(regLog(), QStringList());
    QCOMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 2);
    panel.trgTimeEdit()->setText(QStringLiteral("2"));
    emit panel.trgTimeEdit()->editingFinished();
    QCOMPARE(dev->aTrgPercent, 700);
    QVERIFY(regLog().indexOf(QStringLiteral("0:00")) >= 0);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 3);
}

void TstScopePanels::timeBaseWheelSteps()
{
    TimeSetOsc panel(win.get());
    panel.init();
    QSignalSpy spy(&panel, &TimeSetOsc::timeSetChanged);
    panel.timeDial()->setCurrentIndex(26);
    dev->setATimeDivIndex(26);
    QVERIFY(!panel.setTimeDiv(-1));   // past 5 s
    QCOMPARE(dev->timeDivIndex, 26);
    QVERIFY(panel.setTimeDiv(1));
    QCOMPARE(dev->timeDivIndex, 25);
    QCOMPARE(panel.unitLabel()->text(), QStringLiteral("s  "));
    panel.timeDial()->setCurrentIndex(0);
    dev->setATimeDivIndex(0);
    QVERIFY(!panel.setTimeDiv(0));   // before 10 ns
    QCOMPARE(panel.timeDial()->currentIndex(), 0);
    QCOMPARE(spy.count(), 0);
}

void TstScopePanels::triggerPanel()
{
    dev->aTrgChn = 1;
    dev->aTrgType = TrgFall;
    TriggerSetOsc panel(win.get());
    QCOMPARE(panel.channelButtons().size(), 2);
    QCOMPARE(panel.channelButtons()[1]->text(), QStringLiteral("CH2"));
    QSignalSpy spy(&panel, &TriggerSetOsc::trigSetChanged);
    panel.init();
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{1, 19}));
    QVERIFY(!panel.edgeButtons()[0]->selected && panel.edgeButtons()[1]->selected);

    // A stored channel outside the list falls back to the first.
    dev->aTrgChn = 7;
    panel.init();
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{0, 19}));
    QTest::mouseClick(panel.channelButtons()[0], Qt::LeftButton);   // again: reported again
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{0, 19}));

    QTest::mouseClick(panel.edgeButtons()[1], Qt::LeftButton);   // already selected
    QCOMPARE(spy.count(), 0);
    QTest::mouseClick(panel.edgeButtons()[0], Qt::LeftButton);
    QCOMPARE(spy.takeFirst(), (QList<QVariant>{3, 20}));
    QVERIFY(panel.edgeButtons()[0]->selected && !panel.edgeButtons()[1]->selected);
    QCOMPARE(dev->aTrgType, int(TrgFall));   // the panel writes nothing itself

    dev->aTrgType = TrgNone;
    panel.setTrigEdgeStatus();
    QVERIFY(!panel.edgeButtons()[0]->selected && !panel.edgeButtons()[1]->selected);

    QTest::mouseClick(panel.dropButton(), Qt::LeftButton);
    QCOMPARE(panel.height(), 24);
    QVERIFY(!panel.bodyWidget()->isVisibleTo(&panel));
    QTest::mouseClick(panel.dropButton(), Qt::LeftButton);
    QCOMPARE(panel.height(), 55);
}

void TstScopePanels::mathStartsAtDeviceScale()
{
    dev->aMathOperator = 1;
    dev->aMathScale[1] = 2000;
    dev->aMathOffset[1] = -250;
    MathOperationOsc panel(win.get());
    // Off after construction, whatever the device held.
    QVERIFY(!dev->aMathEna);
    QVERIFY(!panel.bodyWidget()->isEnabled());
    QCOMPARE(panel.operatorBox()->currentText(), QStringLiteral("CH1 - CH2"));
    QCOMPARE(panel.scaleBox()->currentText(), QStringLiteral("2V"));
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("-5.00V"));

    QSignalSpy spy(&panel, &MathOperationOsc::mathSetChanged);
    QTest::mouseClick(panel.enableSwitch(), Qt::LeftButton);
    QVERIFY(dev->aMathEna && panel.bodyWidget()->isEnabled());
    QCOMPARE(spy.takeFirst(), QList<QVariant>{true});

    // The offset is reckoned in the device's scale: 1 V at 2 V per division.
    panel.offsetEdit()->setText(QStringLiteral("1V"));
    emit panel.offsetEdit()->editingFinished();
    QCOMPARE(dev->aMathOffset[1], 50);
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("1.00V"));
    QCOMPARE(Config::readDeviceParam(dev->devName, QStringLiteral("AMathOperator1")), QStringLiteral("2000,50"));
    QCOMPARE(spy.takeFirst(), QList<QVariant>{false});

    QTest::mouseClick(panel.enableSwitch(), Qt::LeftButton);
    QVERIFY(!dev->aMathEna && !panel.bodyWidget()->isEnabled());
    QCOMPARE(spy.takeFirst(), QList<QVariant>{false});
}

void TstScopePanels::mathEntriesAndOperators()
{
    dev->aMathScale[0] = 1000;
    dev->aMathOffset[0] = 0;
    dev->aMathScale[2] = 50;
    dev->aMathOffset[2] = 100;
    MathOperationOsc panel(win.get());
    QTest::mouseClick(panel.enableSwitch(), Qt::LeftButton);
    win->show();
    QApplication::setActiveWindow(win.get());
    QVERIFY(QTest::qWaitForWindowActive(win.get()));
    QSignalSpy spy(&panel, &MathOperationOsc::mathSetChanged);

    typeInto(panel.offsetEdit(), QStringLiteral("300mv"));
    QVERIFY(!panel.offsetEdit()->hasFocus());
    QCOMPARE(spy.count(), 1);   // applied once
    QCOMPARE(dev->aMathOffset[0], 30);
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("0.30V"));

    // Choosing a scale with the keyboard: 1V -> 2V, the offset text follows.
    panel.scaleBox()->setFocus();
    QTest::keyClick(panel.scaleBox(), Qt::Key_Down);
    QCOMPARE(dev->aMathScale[0], 2000);
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("0.60V"));
    QCOMPARE(spy.last(), QList<QVariant>{false});

    // Each operator shows what it had last.
    panel.operatorBox()->setFocus();
    QTest::keyClick(panel.operatorBox(), Qt::Key_Down);
    QTest::keyClick(panel.operatorBox(), Qt::Key_Down);
    QCOMPARE(dev->aMathOperator, 2);
    QCOMPARE(panel.scaleBox()->currentText(), QStringLiteral("50mV"));
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("50.0mV"));
    QCOMPARE(spy.last(), QList<QVariant>{true});

    // The reload shows the offset in the short form.
    dev->aMathOperator = 0;
    dev->aMathOffset[0] = 250;
    dev->aMathScale[0] = 1000;
    panel.devModelChanged();
    QCOMPARE(panel.offsetEdit()->text(), QStringLiteral("2.5V"));
    QVERIFY(!dev->aMathEna);

    // An operator beyond the lists (edited settings) changes nothing.
    dev->aMathOperator = 9;
    MathOperationOsc other(win.get());
    other.offsetEdit()->setText(QStringLiteral("1"));
    emit other.offsetEdit()->editingFinished();
    QCOMPARE(dev->aMathOffset, (QVector<int>{250, 0, 100, 0, 0, 0}));
}

QTEST_MAIN(TstScopePanels)
#include "tst_scopepanels.moc"
