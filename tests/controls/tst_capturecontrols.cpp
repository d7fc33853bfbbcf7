// The toolbar's capture and zoom buttons through clicks and keys: what each
// starts on the device object, which button shows the run, what each model
// shows, and the samples-per-pixel entry.

#include "controlstesthelp.h"

#include "controls/devsetting.h"
#include "controls/menudevsetting.h"
#include "controls/smpctrl.h"
#include "controls/smpsetting.h"
#include "controls/smpzoom.h"
#include "controls/toolbar.h"
#include "device/dev7329.h"
#include "waveview/wavedatagen.h"
#include "widgets/chnquickgroupbox.h"
#include "widgets/mybutton.h"

#include <QComboBox>
#include <QGraphicsEffect>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QtTest>

using namespace ctltest;

namespace {

MyButton* button(QWidget& w, const char* name)
{
    return w.findChild<MyButton*>(QLatin1String(name));
}

} // namespace

class TstCaptureControls : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAll(); }

    void singleAndF5_data();
    void singleAndF5();
    void autoWaitTrig_data();
    void autoWaitTrig();
    void highlighting_data();
    void highlighting();
    void perModel_data();
    void perModel();
    void oscilloscopeMode();
    void autoScaleShortList_data();
    void autoScaleShortList();
    void zoomEntry();
    void entryText_data();
    void entryText();
    void nestedRestart();
};

void TstCaptureControls::singleAndF5_data()
{
    QTest::addColumn<bool>("key");
    QTest::newRow("single button") << false;
    QTest::newRow("F5") << true;
}

void TstCaptureControls::singleAndF5()
{
    QFETCH(bool, key);
    DevScope dev(DevModelNone);
    QWidget window;
    auto* toolbar = new Toolbar(&window);
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), &window);
    f5->setContext(Qt::WindowShortcut);
    f5->setAutoRepeat(false);
    connect(f5, &QShortcut::activated, toolbar, &Toolbar::slotShortcutF5);
    toolbar->devModelChanged();
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // A repeated run is going; the start ends it before the single one.
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat, false);
    if (key)
        QTest::keyClick(&window, Qt::Key_F5);
    else
        QTest::mouseClick(button(*toolbar, "btnSingle"), Qt::LeftButton);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 2);
    QCOMPARE(dev->smpStartMode, int(SmpStartSingle));
    QVERIFY(dev->smpRunning);
    QVERIFY(!dev->smpStopReq);

    // Stop only asks; the worker ends the run.
    QTest::mouseClick(button(*toolbar, "btnStop"), Qt::LeftButton);
    QVERIFY(dev->smpStopReq);
    dev->smpStopAndWait();
    QVERIFY(!dev->smpRunning);
}

void TstCaptureControls::autoWaitTrig_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("mode");
    QTest::newRow("absent") << QString() << int(SmpStartRepeat);
    QTest::newRow("0") << "0" << int(SmpStartRepeat);
    QTest::newRow("1") << "1" << int(SmpStartRepeatTrg);
    QTest::newRow("7") << "7" << int(SmpStartRepeatTrg);
    QTest::newRow("-2") << "-2" << int(SmpStartRepeatTrg);
    QTest::newRow("not a number") << "yes" << int(SmpStartRepeat);
    QTest::newRow("1.5") << "1.5" << int(SmpStartRepeat);
}

void TstCaptureControls::autoWaitTrig()
{
    QFETCH(QString, stored);
    QFETCH(int, mode);
    if (!stored.isNull())
        Config::saveGlobalParam(QStringLiteral("autoWaitTrig"), stored);
    DevScope dev(DevModelNone);
    Toolbar toolbar;
    toolbar.devModelChanged();
    toolbar.show();
    QTest::mouseClick(button(toolbar, "btnAuto"), Qt::LeftButton);
    QCOMPARE(dev->smpStartMode, mode);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);
}

void TstCaptureControls::highlighting_data()
{
    QTest::addColumn<int>("sta");
    QTest::addColumn<QString>("lit");
    QTest::newRow("ended") << -1 << "btnStop";
    QTest::newRow("auto-scale") << 0 << "btnAutoScale";
    QTest::newRow("single") << 1 << "btnSingle";
    QTest::newRow("repeat after trigger") << 2 << "btnAuto";
    QTest::newRow("repeat") << 3 << "btnAuto";
}

void TstCaptureControls::highlighting()
{
    QFETCH(int, sta);
    QFETCH(QString, lit);
    DevScope dev(DevModelNone);
    Toolbar toolbar;
    toolbar.devModelChanged();
    // A new device object shows the stop button lit.
    QVERIFY(button(toolbar, "btnStop")->isSelected());
    toolbar.devSmpStaChanged(1);
    toolbar.devSmpStaChanged(sta);
    for (const char* name : {"btnAutoScale", "btnSingle", "btnAuto", "btnStop"}) {
        MyButton* b = button(toolbar, name);
        QCOMPARE(b->isSelected(), lit == QLatin1String(name));
        // The glow follows the selection.
        QCOMPARE(b->graphicsEffect()->isEnabled(), b->isSelected());
    }
}

void TstCaptureControls::perModel_data()
{
    QTest::addColumn<int>("model");
    QTest::newRow("demo") << 0;
    QTest::newRow("8-channel") << 1;
    QTest::newRow("VX2127") << 2;
    QTest::newRow("VX2121") << 5;
    QTest::newRow("VX6143") << 9;
    QTest::newRow("VX9151") << 65;
}

void TstCaptureControls::perModel()
{
    QFETCH(int, model);
    DevScope dev(model);
    Toolbar toolbar;
    toolbar.devModelChanged();
    QCOMPARE(button(toolbar, "btnAuto")->isHidden(), model == DevModel2113);
    QVERIFY(button(toolbar, "btnAutoScale")->isHidden());
    QVERIFY(!button(toolbar, "btnSingle")->isHidden());
    QVERIFY(!toolbar.smpSetting()->isHidden());
    QVERIFY(!toolbar.smpZoom()->isHidden());
}

void TstCaptureControls::oscilloscopeMode()
{
    DevScope dev(new Dev7329);
    Toolbar toolbar;
    toolbar.devModelChanged();
    QVERIFY(!button(toolbar, "btnAutoScale")->isHidden());
    QVERIFY(toolbar.smpSetting()->isHidden());
    QVERIFY(toolbar.smpZoom()->isHidden());
}

void TstCaptureControls::autoScaleShortList_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("index");   // expected of channel 0, -1 unchanged
    QTest::newRow("seven steps") << 7 << 5;
    QTest::newRow("two steps") << 2 << 0;
    QTest::newRow("one step") << 1 << 0;
    QTest::newRow("none") << 0 << -1;
}

void TstCaptureControls::autoScaleShortList()
{
    QFETCH(int, steps);
    QFETCH(int, index);
    DevScope dev(new Dev7329);
    dev->voltDivList.resize(steps);
    dev->aChnEna = {true, false};
    dev->aVoltDivIndex = {steps > 1 ? 1 : -1, 0};
    dev->aChnOffset = {40, 40};
    dev->setATimeDivIndex(3);
    dev->setATrgPercent(200);
    dev->isConnected = true;   // no transport: every register write fails quietly
    Toolbar toolbar;
    toolbar.devModelChanged();
    toolbar.show();
    QTest::mouseClick(button(toolbar, "btnAutoScale"), Qt::LeftButton);

    QCOMPARE(dev->smpStartMode, int(SmpStartAuto));
    QCOMPARE(dev->savedTimeDivIndex, 3);
    QCOMPARE(dev->aVoltDivIndex[0], index < 0 ? (steps > 1 ? 1 : -1) : index);
    QCOMPARE(dev->aChnOffset[0], index < 0 ? 40 : 0);
    QCOMPARE(dev->aChnOffset[1], 40);   // disabled channel untouched
    QCOMPARE(dev->timeDivIndex, index < 0 ? 3 : 9);
    QCOMPARE(dev->aTrgPercent, index < 0 ? 200 : 500);
    QCOMPARE(SmpCtrl::autoScaleVoltDivIndex(steps), index);
}

void TstCaptureControls::zoomEntry()
{
    DevScope dev(DevModelNone);
    WaveDataGen gen;
    Toolbar toolbar;
    toolbar.devModelChanged();
    toolbar.show();
    QSignalSpy spy(&toolbar, &Toolbar::zoomValued);
    // The button is hidden on the toolbar; its click still opens the entry.
    button(toolbar, "btnZoomDropDown")->click();
    auto* edit = toolbar.findChild<QLineEdit*>(QStringLiteral("sppEdit"));
    QVERIFY(edit);
    QCOMPARE(edit->text(), SmpZoom::entryText(gen.getSmpPerPixel()));
    QCOMPARE(spy.size(), 1);   // the value put in counts as a request

    auto typed = [&](const QString& keys) {
        spy.clear();
        QTest::keyClicks(edit, keys);
        QStringList out;
        for (const auto& call : spy)
            out << call[0].toString();
        return out;
    };
    edit->selectAll();
    QCOMPARE(typed("0"), QStringList());           // zero samples per pixel is no zoom
    QCOMPARE(edit->text(), QStringLiteral("0"));
    QCOMPARE(typed(".25"), QStringList({"0.2", "0.25"}));
    QCOMPARE(typed("."), QStringList());           // a second point
    QCOMPARE(edit->text(), QStringLiteral("0.25"));
    QCOMPARE(typed("|"), QStringList());
    QCOMPARE(edit->text(), QStringLiteral("0.25"));
    QCOMPARE(typed("nan"), QStringList());         // refused by the validator
    edit->selectAll();
    QCOMPARE(typed("."), QStringList());           // ".5" starts this way
    QCOMPARE(typed("5"), QStringList({".5"}));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);      // an empty field puts the value back
    QCOMPARE(edit->text(), QStringLiteral(".5"));

    // An unfinished number left with Return shows the value in force.
    edit->selectAll();
    QCOMPARE(typed("0.0"), QStringList());
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), QStringLiteral(".5"));
    QCOMPARE(spy.size(), 0);
}

void TstCaptureControls::entryText_data()
{
    QTest::addColumn<double>("spp");
    QTest::addColumn<QString>("text");
    QTest::newRow("half") << 0.5 << "0.5";
    QTest::newRow("six digits") << 2.1234567 << "2.12346";
    QTest::newRow("hundreds") << 999.25 << "999.25";
    QTest::newRow("a million") << 1000000.0 << "1000000";
    QTest::newRow("rounded") << 2500000.6 << "2500001";
}

void TstCaptureControls::entryText()
{
    QFETCH(double, spp);
    QFETCH(QString, text);
    QCOMPARE(SmpZoom::entryText(spp), text);
}

// Applying more channels lowers the rate, whose combo box applies the rate
// inside the channels' own stop-and-restart: the run must still come back.
void TstCaptureControls::nestedRestart()
{
    DevScope dev(DevModelNone);
    dev->setSmpMode(SmpModeStream);
    dev->setDChnEna(QVector<bool>({true, true, true, false, false, false, false, false, false, false, false, false,
                                   false, false, false, false}));
    QVERIFY(dev->setSmpFrequ(dev->smpFrequList.indexOf(50000000)));
    Toolbar toolbar;
    toolbar.devModelChanged();
    QComboBox* rate = toolbar.smpSetting()->frequCombo();
    QCOMPARE(rate->currentText(), QStringLiteral("50 MHz"));
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat, false);

    MenuDevSetting menu(toolbar.devSetting());
    menu.popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QRadioButton* all = menu.quickBox()->choices().last();
    QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(8, all->height() / 2));
    QTest::mouseClick(menu.okButton(), Qt::LeftButton);

    QCOMPARE(dev->getDChnEnaNum(), 16);
    QCOMPARE(dev->getSmpFrequ(), 20000000LL);
    QCOMPARE(rate->currentText(), QStringLiteral("20 MHz"));
    QVERIFY(dev->smpRunning);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 2);
    QCOMPARE(dev->smpStartMode, int(SmpStartRepeat));
    QVERIFY(menu.isHidden());
    QVERIFY(toolbar.smpSetting()->timeText().endsWith(QStringLiteral("ms")));
}

QTEST_MAIN(TstCaptureControls)
#include "tst_capturecontrols.moc"
