// The device group and the depth and rate group of the toolbar, with their
// drop-downs, through clicks: mode line, model choice, mode and channel
// settings, and the expected sample time.

#include "controlstesthelp.h"

#include "controls/devsetting.h"
#include "controls/menudevselect.h"
#include "controls/menudevsetting.h"
#include "controls/smpsetting.h"
#include "controls/toolbar.h"
#include "widgets/chnenagroupbox.h"
#include "widgets/chnquickgroupbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

using namespace ctltest;

namespace {

// On its label: a radio stretched by its layout ignores clicks beyond it.
void clickRadio(QRadioButton* r)
{
    QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(8, r->height() / 2));
}

} // namespace

class TstDeviceSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAll(); }

    void modeLine_data();
    void modeLine();
    void modelRadios_data();
    void modelRadios();
    void checkedRadioEmits();
    void modeRadiosRelabel();
    void okWithoutChannel();
    void menuComesBack();
    void sampleTime_data();
    void sampleTime();
    void refillAppliesNothing();
};

void TstDeviceSettings::modeLine_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("demo buffer") << 0 << 0 << "Normal Mode";
    QTest::newRow("demo stream") << 0 << 1 << "Stream Mode";
    QTest::newRow("VX6143 stream") << 9 << 1 << "Stream Mode";
    QTest::newRow("8-channel") << 1 << -1 << "Logic Analyzer";
    QTest::newRow("VX6127") << 4 << -1 << "Logic Analyzer";
    QTest::newRow("VX2121") << 5 << -1 << "Logic Analyzer";
}

void TstDeviceSettings::modeLine()
{
    QFETCH(int, model);
    QFETCH(int, mode);
    QFETCH(QString, text);
    DevScope dev(model);
    if (mode >= 0)
        dev->setSmpMode(DevSmpMode(mode));
    Toolbar toolbar;
    toolbar.devModelChanged();
    QCOMPARE(toolbar.devSetting()->findChild<QLabel*>(QStringLiteral("modeLabel"))->text(), text);
    QCOMPARE(toolbar.devSetting()->findChild<QPushButton*>(QStringLiteral("btnModel"))->text(), dev->devName);
    // Only a model with a choice gets the mode group.
    MenuDevSetting menu(toolbar.devSetting());
    QCOMPARE(menu.normalRadio() != nullptr, mode >= 0);
    if (mode >= 0)
        QCOMPARE(menu.streamRadio()->isChecked(), mode == 1);
}

void TstDeviceSettings::modelRadios_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("checked");
    QTest::newRow("demo") << 0 << false << -1;
    QTest::newRow("8-channel") << 1 << false << -1;
    QTest::newRow("VX9151") << 65 << false << -1;
    QTest::newRow("VX2121") << 5 << false << 0;
    QTest::newRow("VX2127") << 2 << false << 1;
    QTest::newRow("VX2127 A") << 6 << false << 1;
    QTest::newRow("VX3127") << 3 << false << 2;
    QTest::newRow("VX6127") << 4 << false << 3;
    QTest::newRow("VX6143") << 9 << false << 4;
    QTest::newRow("VX6143 attached") << 9 << true << 4;
}

void TstDeviceSettings::modelRadios()
{
    QFETCH(int, model);
    QFETCH(bool, connected);
    QFETCH(int, checked);
    DevScope dev(model);
    dev->isConnected = connected;
    MenuDevSelect menu;
    QCOMPARE(menu.radios().size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(menu.radios()[i]->isChecked(), i == checked);
        QCOMPARE(menu.radios()[i]->isEnabled(), !connected);
    }
}

void TstDeviceSettings::checkedRadioEmits()
{
    DevScope dev(DevModel3127A);
    DevSetting group;
    QSignalSpy chosen(&group, &DevSetting::simDevModelChanged);
    MenuDevSelect menu;
    connect(&menu, &MenuDevSelect::devModelChanged, &group, &DevSetting::simDevModelChanged);
    menu.popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    clickRadio(menu.radios()[2]);   // already checked
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].toInt(), int(DevModel3127A));
    QVERIFY(menu.isHidden());
    menu.popup(QPoint(10, 10));
    clickRadio(menu.radios()[4]);
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(chosen[1][0].toInt(), int(DevModel6143A));
}

void TstDeviceSettings::modeRadiosRelabel()
{
    DevScope dev(DevModelNone);
    MenuDevSetting menu;
    menu.popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    const auto& choices = menu.quickBox()->choices();
    QCOMPARE(choices.first()->text(), QStringLiteral(" CH0~3 (Maximum sample rate is 200MHz)"));
    clickRadio(menu.streamRadio());
    QCOMPARE(choices.first()->text(), QStringLiteral(" CH0~2 (Maximum sample rate is 100MHz)"));
    QCOMPARE(choices.last()->text(), QStringLiteral(" CH0~15 (Maximum sample rate is 20MHz)"));
    QCOMPARE(dev->smpMode, int(SmpModeBuffer));   // nothing before OK
}

void TstDeviceSettings::okWithoutChannel()
{
    DevScope dev(DevModelNone);
    QWidget parent;
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat, false);
    MenuDevSetting menu(&parent);
    menu.popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    clickRadio(menu.streamRadio());
    for (QCheckBox* box : menu.enaBox()->boxes())
        QTest::mouseClick(box, Qt::LeftButton);
    BoxWatcher boxes;
    QTest::mouseClick(menu.okButton(), Qt::LeftButton);

    QCOMPARE(boxes.texts, QStringList{"Please select at least one channel."});
    QCOMPARE(boxes.titles, QStringList{"A Setting is Invalid"});
    QCOMPARE(boxes.buttons, QList<int>{1});
    QCOMPARE(dev->smpMode, int(SmpModeStream));       // the mode was applied
    QCOMPARE(dev->getDChnEnaNum(), 16);               // the channels were not
    QVERIFY(menu.isVisible());
    QVERIFY(dev->smpRunning);                         // and the run goes on
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 2);
}

// Opened from the settings button: the warning box closes the pop-up, which
// comes back with the user's choices until it is cancelled.
void TstDeviceSettings::menuComesBack()
{
    DevScope dev(DevModelNone);
    DevSetting group;
    group.show();
    BoxWatcher boxes;
    int shown = 0;
    bool busy = false;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        auto* menu = qobject_cast<MenuDevSetting*>(QApplication::activePopupWidget());
        if (!menu || busy)
            return;
        busy = true;
        if (++shown == 1) {
            for (QCheckBox* box : menu->enaBox()->boxes())
                QTest::mouseClick(box, Qt::LeftButton);
            QTest::mouseClick(menu->okButton(), Qt::LeftButton);
        } else {
            QVERIFY(menu->enaBox()->boxes()[0]->isChecked() == false);
            menu->close();
        }
        busy = false;
    });
    user.start(5);
    // Bounded: a menu that never closes ends the wait.
    QTimer::singleShot(20000, this, [] {
        if (QWidget* w = QApplication::activePopupWidget())
            w->close();
    });
    QTest::mouseClick(group.findChild<QPushButton*>(QStringLiteral("btnDevSetting")), Qt::LeftButton);
    QCOMPARE(shown, 2);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(dev->getDChnEnaNum(), 16);
}

void TstDeviceSettings::sampleTime_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 M at 100 MHz") << 0 << "100 MHz" << "1 MSa" << "Expected Sample Time: 10ms";
    QTest::newRow("1 G at 100 MHz") << 0 << "100 MHz" << "1 GSa" << "Expected Sample Time: 10s";
    QTest::newRow("20 K at 500 MHz") << 8 << "500 MHz" << "20 KSa" << "Expected Sample Time: 40us";
    QTest::newRow("200 K at 20 KHz") << 0 << "20 KHz" << "200 KSa" << "Expected Sample Time: 10s";
    QTest::newRow("5 M at 2 MHz") << 0 << "2 MHz" << "5 MSa" << "Expected Sample Time: 2.5s";
}

void TstDeviceSettings::sampleTime()
{
    QFETCH(int, model);
    QFETCH(QString, rate);
    QFETCH(QString, depth);
    QFETCH(QString, text);
    DevScope dev(model);
    Toolbar toolbar;
    toolbar.devModelChanged();
    toolbar.show();
    // Chosen with the keyboard, as a user steps through the lists.
    auto choose = [](QComboBox* c, const QString& label) {
        const int target = c->findText(label, Qt::MatchStartsWith);
        QVERIFY(target >= 0);
        c->setFocus();
        while (c->currentIndex() != target)
            QTest::keyClick(c, c->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    };
    choose(toolbar.smpSetting()->frequCombo(), rate);
    choose(toolbar.smpSetting()->depthCombo(), depth);
    QCOMPARE(toolbar.smpSetting()->timeText(), text);
    QVERIFY(dev->getSmpFrequStringList()[dev->smpFrequIndex].startsWith(rate));
    QVERIFY(dev->getSmpDepthStringList()[dev->smpDepthIndex].startsWith(depth));
}

void TstDeviceSettings::refillAppliesNothing()
{
    DevScope dev(DevModelNone);
    Toolbar toolbar;
    toolbar.devModelChanged();
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat, false);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);
    // The mode changes under the toolbar; its refill shows the new lists only.
    dev->smpFrequIndex = 5;
    dev->smpDepthIndex = 6;
    toolbar.devSmpModeChanged();
    QCOMPARE(toolbar.smpSetting()->frequCombo()->currentIndex(), 5);
    QCOMPARE(toolbar.smpSetting()->depthCombo()->currentIndex(), 6);
    QVERIFY(Config::readDeviceParam(dev->devName, QStringLiteral("smpFrequIndex")).isEmpty());
    QVERIFY(!dev->smpStopReq);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);
}

QTEST_MAIN(TstDeviceSettings)
#include "tst_devicesettings.moc"
