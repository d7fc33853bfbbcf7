// The threshold panel and the PWM controls through clicks and keys: stored
// keys, limits and units, and the register bytes they send, read from the
// instrument emulator's log.

#include "controlstesthelp.h"
#include "usbemu.h"

#include "controls/devoptions.h"
#include "controls/dialogpwmsetting.h"
#include "controls/pwmsetting.h"
#include "controls/toolbar.h"
#include "controls/vthsetting.h"
#include "device/dev7329.h"
#include "widgets/myswitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace ctltest;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Register writes in log order, as "reg:bytes".
QStringList regLog()
{
    QStringList out;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && !(e.request_type & 0x80) && e.request == 0x20)
            out << QString::number(e.value, 16) + QLatin1Char(':')
                       + QByteArray(reinterpret_cast<const char*>(e.data), e.data_len).toHex(' ');
    }
    return out;
}

QString reg(int r, const char* bytes)
{
    return QString::number(r, 16) + QLatin1Char(':') + hex(bytes).toHex(' ');
}

// A connected device object of a model as devUsing, clocks 200 and 250 MHz.
DevBase* connectedDevice(int model)
{
    emu_set_status_override(0x85C1);
    DevBase* dev = DevBase::createDevice(model);
    unsigned char ident[DevIdentSize] = {200, 0, 250, 0};
    if (dev->devConnect(ident, 0.0) != 0)
        return dev;
    emu_log_clear();
    return dev;
}

void choose(QComboBox* c, int target)
{
    c->setFocus();
    while (c->currentIndex() != target)
        QTest::keyClick(c, c->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
}

void retype(QLineEdit* e, const QString& text)
{
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
}

QString setting(const char* key)
{
    return Config::readDeviceParam(devUsing->devName, QLatin1String(key));
}

// The panel in an active window, so that its edit takes the focus.
struct VthPanel {
    QWidget window;
    VthSetting* panel = new VthSetting(&window);
    VthPanel()
    {
        window.show();
        QApplication::setActiveWindow(&window);
    }
};

const QString vthWarning = QStringLiteral("The effective range of threshold voltage is -4.0 ~ 4.0V");
const QString pwmWarning = QStringLiteral("The effective range of PWM:[0.1Hz,20MHz], duty cycle:[0%,100%].");

} // namespace

class TstVthPwm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void levelKeys_data();
    void levelKeys();
    void thresholdRegisters();
    void storedCustom_data();
    void storedCustom();
    void customLimits_data();
    void customLimits();
    void languageChange();
    void withoutThresholdFunction();
    void pwmBounds_data();
    void pwmBounds();
    void pwmUnits_data();
    void pwmUnits();
    void uncheckedRowKept();
    void pwmRegisters();
    void toolbarGroup_data();
    void toolbarGroup();
    void optionsTrigger();
    void optionsWithoutGroups();

private:
    DevSupport* ds = nullptr;
};

void TstVthPwm::init()
{
    ds = devtest::openEmulated();
    QVERIFY(ds);
    resetAll();
}

void TstVthPwm::cleanup()
{
    devtest::closeEmulated(ds);
}

void TstVthPwm::levelKeys_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << "5.0V TTL" << 0;
    QTest::newRow("last standard") << "0.9V CMOS" << 8;
    QTest::newRow("custom key") << "Custom I/O" << 9;
    QTest::newRow("other case") << "custom i/o" << 2;
    QTest::newRow("missing") << "" << 2;
    QTest::newRow("unknown") << "4.0V HSTL" << 2;
}

void TstVthPwm::levelKeys()
{
    QFETCH(QString, stored);
    QFETCH(int, index);
    QCOMPARE(VthSetting::levelIndexOf(stored), index);
    if (index < 9)
        QCOMPARE(VthSetting::levelKey(index), index == 2 ? QStringLiteral("3.3V CMOS") : stored);
}

// A 32-channel device: each group its keys and its register.
void TstVthPwm::thresholdRegisters()
{
    DevScope dev(connectedDevice(DevModel6143A));
    QVERIFY(dev->isConnected);
    VthPanel v;
    v.panel->devModelChanged();
    QVERIFY(!v.panel->groupCombo()->isHidden());
    QCOMPARE(regLog(), QStringList{reg(0x64, "6D 02 F2 00")});   // 3.3V CMOS, 1.65 V
    QCOMPARE(setting("chnLevel"), QStringLiteral("3.3V CMOS"));
    QCOMPARE(setting("chnVth"), QStringLiteral("1.65"));

    emu_log_clear();
    choose(v.panel->levelCombo(), 1);                           // 5.0V CMOS, 2.5 V
    QCOMPARE(regLog(), QStringList{reg(0x64, "6E 03 F2 00")});
    QCOMPARE(setting("chnVth"), QStringLiteral("2.50"));

    emu_log_clear();
    choose(v.panel->groupCombo(), 1);                           // CH16~31: its own keys
    QCOMPARE(regLog(), QStringList{reg(0x68, "6D 02 F2 00")});
    QCOMPARE(setting("chnLevel2"), QStringLiteral("3.3V CMOS"));
    QCOMPARE(setting("chnLevel"), QStringLiteral("5.0V CMOS"));

    emu_log_clear();
    QTest::keyClick(v.panel->levelCombo(), Qt::Key_End);        // custom: the stored 1.65 V again
    QVERIFY(v.panel->vthEdit()->isEnabled());
    QCOMPARE(regLog(), QStringList{reg(0x68, "6D 02 F2 00")});
    QCOMPARE(setting("chnLevel2"), QStringLiteral("Custom I/O"));

    // Typed with more decimals: the unrounded value goes out once, two decimals are kept.
    emu_log_clear();
    retype(v.panel->vthEdit(), QStringLiteral("1.234"));
    QTest::keyClick(v.panel->vthEdit(), Qt::Key_Return);
    QCOMPARE(regLog(), QStringList{reg(0x68, "EF 01 F2 00")});
    QCOMPARE(v.panel->vthEdit()->text(), QStringLiteral("1.23"));
    QCOMPARE(setting("chnVth2"), QStringLiteral("1.23"));
    QCOMPARE(setting("chnVth"), QStringLiteral("2.50"));

    // Low range: 3 V.
    emu_log_clear();
    retype(v.panel->vthEdit(), QStringLiteral("3"));
    QTest::keyClick(v.panel->vthEdit(), Qt::Key_Return);
    QCOMPARE(regLog(), QStringList{reg(0x68, "21 02 00 00")});

    // A new device object re-applies group 0's stored choice.
    emu_log_clear();
    v.panel->devModelChanged();
    QCOMPARE(v.panel->groupCombo()->currentIndex(), 0);
    QCOMPARE(regLog(), QStringList{reg(0x64, "6E 03 F2 00")});
}

void TstVthPwm::storedCustom_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("bytes");
    QTest::newRow("missing") << QString() << "0.00" << "79 00 F2 00";
    QTest::newRow("in range") << "2.5" << "2.50" << "6E 03 F2 00";
    QTest::newRow("lowest") << "-3.9" << "-3.90" << "00 00 D7 02";
    QTest::newRow("too high") << "7.5" << "0.00" << "79 00 F2 00";
    QTest::newRow("nan") << "nan" << "0.00" << "79 00 F2 00";
    QTest::newRow("-inf") << "-inf" << "0.00" << "79 00 F2 00";
    QTest::newRow("text") << "high" << "0.00" << "79 00 F2 00";
}

// A stored custom voltage from an edited or foreign settings file is checked
// before it reaches the instrument.
void TstVthPwm::storedCustom()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, bytes);
    DevScope dev(connectedDevice(DevModel6143A));
    Config::saveDeviceParam(dev->devName, QStringLiteral("chnLevel"), QStringLiteral("Custom I/O"));
    if (!stored.isNull())
        Config::saveDeviceParam(dev->devName, QStringLiteral("chnVth"), stored);
    VthPanel v;
    v.panel->devModelChanged();
    QCOMPARE(v.panel->levelCombo()->currentIndex(), 9);
    QCOMPARE(v.panel->vthEdit()->text(), shown);
    QCOMPARE(setting("chnVth"), shown);
    QCOMPARE(regLog(), QStringList{reg(0x64, bytes.toLatin1().constData())});
}

void TstVthPwm::customLimits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");   // empty: refused
    QTest::newRow("4") << "4" << "4.00";
    QTest::newRow("-4") << "-4" << "-4.00";
    QTest::newRow("0") << "0" << "0.00";
    QTest::newRow("4.001") << "4.001" << "";
    QTest::newRow("-4.01") << "-4.01" << "";
    QTest::newRow("text") << "abc" << "";
    QTest::newRow("nan") << "nan" << "";
    QTest::newRow("inf") << "inf" << "";
    QTest::newRow("1e1") << "1e1" << "";
    QTest::newRow("empty") << "" << "";
}

void TstVthPwm::customLimits()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    DevScope dev(DevModelNone);
    Config::saveDeviceParam(dev->devName, QStringLiteral("chnLevel"), QStringLiteral("Custom I/O"));
    Config::saveDeviceParam(dev->devName, QStringLiteral("chnVth"), QStringLiteral("1.50"));
    VthPanel v;
    v.panel->devModelChanged();
    QVERIFY(v.panel->groupCombo()->isHidden());
    BoxWatcher boxes;
    retype(v.panel->vthEdit(), typed);
    QTest::keyClick(v.panel->vthEdit(), Qt::Key_Return);
    if (kept.isEmpty()) {
        QCOMPARE(boxes.texts, QStringList{vthWarning});
        QCOMPARE(setting("chnVth"), QStringLiteral("1.50"));
        QCOMPARE(v.panel->vthEdit()->text(), QStringLiteral("1.50"));
        // The field takes the focus back (the box left the window inactive).
        QCOMPARE(v.window.focusWidget(), v.panel->vthEdit());
    } else {
        QVERIFY(boxes.texts.isEmpty());
        QCOMPARE(setting("chnVth"), kept);
        QCOMPARE(v.panel->vthEdit()->text(), kept);
    }
    QCOMPARE(setting("chnLevel"), QStringLiteral("Custom I/O"));
}

// "chnLevel" keeps the custom entry under a key, so a change of language
// keeps the custom voltage; the translated name older versions stored is
// still read while that language is in use.
void TstVthPwm::languageChange()
{
    DevScope dev(DevModelNone);
    Lang::doc.setContent(QStringLiteral("<language><head><code>de-DE</code></head><tav>"
                                        "<item src=\"Custom I/O\">Eigene E/A</item></tav><analyzers/></language>"));
    {
        VthPanel v;
        v.panel->devModelChanged();
        QCOMPARE(v.panel->levelCombo()->itemText(9), QStringLiteral("Eigene E/A"));
        v.panel->levelCombo()->setFocus();
        QTest::keyClick(v.panel->levelCombo(), Qt::Key_End);
        retype(v.panel->vthEdit(), QStringLiteral("2.2"));
        QTest::keyClick(v.panel->vthEdit(), Qt::Key_Return);
        QCOMPARE(setting("chnLevel"), QStringLiteral("Custom I/O"));

        Config::saveDeviceParam(dev->devName, QStringLiteral("chnLevel2"), QStringLiteral("Eigene E/A"));
        QCOMPARE(VthSetting::levelIndexOf(setting("chnLevel2")), 9);
    }
    Lang::doc.setContent(Lang::builtinDocument());
    VthPanel v;
    v.panel->devModelChanged();
    QCOMPARE(v.panel->levelCombo()->currentIndex(), 9);
    QCOMPARE(v.panel->vthEdit()->text(), QStringLiteral("2.20"));
}

void TstVthPwm::withoutThresholdFunction()
{
    DevScope dev(connectedDevice(DevModel3127));
    QVERIFY(!dev->queryDevFunction(DevFuncVth));
    VthPanel v;
    v.panel->devModelChanged();
    QVERIFY(v.panel->levelCombo()->isHidden());
    QVERIFY(v.panel->vthEdit()->isHidden());
    QVERIFY(v.panel->groupCombo()->isHidden());
    // Still applied and kept, for whatever threshold the model has.
    QCOMPARE(regLog(), QStringList{reg(0x64, "6D 02 F2 00")});
    QCOMPARE(setting("chnLevel"), QStringLiteral("3.3V CMOS"));
}

void TstVthPwm::pwmBounds_data()
{
    QTest::addColumn<QString>("frequ");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("duty");
    QTest::addColumn<double>("hz");   // 0: refused
    QTest::addColumn<double>("percent");
    QTest::newRow("0.1 Hz") << "0.1" << 2 << "50" << 0.1 << 50.0;
    QTest::newRow("20 MHz") << "20" << 0 << "50" << 2e7 << 50.0;
    QTest::newRow("0.09 Hz") << "0.09" << 2 << "50" << 0.0 << 0.0;
    QTest::newRow("20.001 MHz") << "20.001" << 0 << "50" << 0.0 << 0.0;
    QTest::newRow("duty 0") << "1" << 1 << "0" << 1000.0 << 0.0;
    QTest::newRow("duty 100") << "1.5" << 1 << "100" << 1500.0 << 100.0;
    QTest::newRow("empty duty") << "2" << 1 << "" << 2000.0 << 0.0;
    QTest::newRow("two points") << "1..2" << 1 << "5" << 0.0 << 0.0;
    QTest::newRow("bar") << "|" << 2 << "5" << 0.0 << 0.0;
    QTest::newRow("empty frequency") << "" << 2 << "5" << 0.0 << 0.0;
}

void TstVthPwm::pwmBounds()
{
    QFETCH(QString, frequ);
    QFETCH(int, unit);
    QFETCH(QString, duty);
    QFETCH(double, hz);
    QFETCH(double, percent);
    DevScope dev(DevModelNone);
    DialogPWMSetting dialog;
    dialog.show();
    const PwmRow& row = dialog.row(0);
    QVERIFY(row.ena->isChecked());
    retype(row.frequEdit, frequ);
    choose(row.unitCombo, unit);
    retype(row.dutyEdit, duty);
    BoxWatcher boxes;
    QTest::mouseClick(dialog.buttonBox()->buttons().first(), Qt::LeftButton);
    double f = 0, d = 0;
    dev->getPWMValue(0, &f, &d);
    if (hz > 0) {
        QVERIFY(boxes.texts.isEmpty());
        QCOMPARE(f, hz);
        QCOMPARE(d, percent);
        QVERIFY(dialog.isHidden());
    } else {
        QCOMPARE(boxes.texts, QStringList{pwmWarning});
        QCOMPARE(f, 1000.0);
        QCOMPARE(d, 50.0);
        QVERIFY(dialog.isVisible());
    }
    QVERIFY(dev->getPWMEnable(0));
}

void TstVthPwm::pwmUnits_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("unit");
    QTest::newRow("999 Hz") << 999.0 << "999" << "Hz";
    QTest::newRow("1000 Hz") << 1000.0 << "1" << "KHz";
    QTest::newRow("123456 Hz") << 123456.0 << "123.456" << "KHz";
    QTest::newRow("1.5 MHz") << 1.5e6 << "1.5" << "MHz";
    QTest::newRow("20 MHz") << 2e7 << "20" << "MHz";
    QTest::newRow("0.5 Hz") << 0.5 << "0.5" << "Hz";
}

void TstVthPwm::pwmUnits()
{
    QFETCH(double, hz);
    QFETCH(QString, shown);
    QFETCH(QString, unit);
    DevScope dev(DevModelNone);
    dev->setPWMValue(1, hz, 12.5);
    DevOptions options;
    QCOMPARE(options.row(1).frequEdit->text(), shown);
    QCOMPARE(options.row(1).unitCombo->currentText(), unit);
    QCOMPARE(options.row(1).dutyEdit->text(), QStringLiteral("12.5"));
    // An output that is off shows its values, not for editing.
    QVERIFY(!options.row(1).frequEdit->isEnabled());
    QVERIFY(options.row(0).frequEdit->isEnabled());
}

void TstVthPwm::uncheckedRowKept()
{
    DevScope dev(DevModelNone);
    DialogPWMSetting dialog;
    dialog.show();
    const PwmRow& row = dialog.row(1);
    const QPoint onLabel(8, row.ena->height() / 2);
    QTest::mouseClick(row.ena, Qt::LeftButton, {}, onLabel);
    QVERIFY(row.frequEdit->isEnabled());
    retype(row.frequEdit, QStringLiteral("|"));
    QTest::mouseClick(row.ena, Qt::LeftButton, {}, onLabel);   // off again: not checked, not sent
    BoxWatcher boxes;
    QTest::mouseClick(dialog.buttonBox()->buttons().first(), Qt::LeftButton);
    QVERIFY(boxes.texts.isEmpty());
    double f = 0, d = 0;
    dev->getPWMValue(1, &f, &d);
    QCOMPARE(f, 100000.0);
    QCOMPARE(d, 50.0);
    QVERIFY(!dev->getPWMEnable(1));
}

void TstVthPwm::pwmRegisters()
{
    DevScope dev(connectedDevice(DevModel6143A));
    QVERIFY(dev->isConnected);
    {
        DialogPWMSetting dialog;
        dialog.show();
        retype(dialog.row(0).frequEdit, QStringLiteral("2"));
        choose(dialog.row(0).unitCombo, 1);
        retype(dialog.row(0).dutyEdit, QStringLiteral("25"));
        QTest::mouseClick(dialog.buttonBox()->buttons().first(), Qt::LeftButton);
    }
    // Off, the new counts (250 MHz / 2 kHz, a quarter high), then on.
    QCOMPARE(regLog(), (QStringList{reg(0x02, "00"), reg(0x70, "48 E8 01 00 12 7A 00 00"), reg(0x02, "01")}));

    // The toolbar's switches change one output at once, the other keeps its state.
    Config::saveGlobalParam(QStringLiteral("toolbarPWM"), QStringLiteral("1"));
    Toolbar toolbar;
    toolbar.devModelChanged();
    toolbar.show();
    PWMSetting* group = toolbar.pwmSetting();
    QVERIFY(group->pwmSwitch(0)->switchOn);
    QVERIFY(!group->pwmSwitch(1)->switchOn);
    emu_log_clear();
    QTest::mouseClick(group->pwmSwitch(1), Qt::LeftButton);
    QTest::mouseClick(group->pwmSwitch(0), Qt::LeftButton);
    QCOMPARE(regLog(), (QStringList{reg(0x02, "03"), reg(0x02, "02")}));
    QVERIFY(!group->pwmSwitch(0)->switchOn);
    QVERIFY(group->pwmSwitch(1)->switchOn);
}

void TstVthPwm::toolbarGroup_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("shown");
    QTest::newRow("missing") << QString() << false;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("5") << "5" << true;
    QTest::newRow("text") << "on" << false;
}

void TstVthPwm::toolbarGroup()
{
    QFETCH(QString, stored);
    QFETCH(bool, shown);
    if (!stored.isNull())
        Config::saveGlobalParam(QStringLiteral("toolbarPWM"), stored);
    DevScope dev(DevModelNone);
    Toolbar toolbar;
    connect(devUsing, &DevBase::sigToolbarPWMEna, &toolbar, &Toolbar::slotToolbarPWMEna);
    toolbar.devModelChanged();
    QCOMPARE(!toolbar.pwmSetting()->isHidden(), shown);

    // The options dialog's check box puts the group on the toolbar or takes it off.
    DevOptions options;
    QCOMPARE(options.toolbarCheck()->isChecked(), shown);
    QTest::mouseClick(options.toolbarCheck(), Qt::LeftButton);
    QTest::mouseClick(options.buttonBox()->buttons().first(), Qt::LeftButton);
    QCOMPARE(Config::readGlobalParam(QStringLiteral("toolbarPWM")), shown ? QStringLiteral("0") : QStringLiteral("1"));
    QCOMPARE(toolbar.pwmSetting()->isHidden(), shown);
}

void TstVthPwm::optionsTrigger()
{
    DevScope dev(DevModelNone);
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat, false);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);
    {
        DevOptions options;
        options.show();
        QCOMPARE(options.triggerLabel()->text(), QStringLiteral("5%"));
        options.triggerSlider()->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(options.triggerSlider(), Qt::Key_Right);
        QCOMPARE(options.triggerLabel()->text(), QStringLiteral("8%"));
        QCOMPARE(dev->getTrgPosition(), 5);   // only the label until OK
        QTest::mouseClick(options.buttonBox()->buttons().last(), Qt::LeftButton);   // Cancel
    }
    QCOMPARE(dev->getTrgPosition(), 5);
    {
        DevOptions options;
        options.show();
        options.triggerSlider()->setFocus();
        QTest::keyClick(options.triggerSlider(), Qt::Key_End);
        QTest::mouseClick(options.buttonBox()->buttons().first(), Qt::LeftButton);
    }
    QCOMPARE(dev->getTrgPosition(), 99);
    QVERIFY(dev->smpRunning);
    QTRY_COMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 2);
    {
        DevOptions options;
        QTest::mouseClick(options.buttonBox()->buttons().first(), Qt::LeftButton);   // unchanged
    }
    QVERIFY(!dev->smpStopReq);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 2);
}

void TstVthPwm::optionsWithoutGroups()
{
    {
        DevScope dev(DevModel2113);   // no PWM outputs
        DevOptions options;
        QVERIFY(!options.row(0).ena);
        QVERIFY(!options.toolbarCheck());
        QVERIFY(options.triggerSlider());
        options.triggerSlider()->setValue(40);
        QTest::mouseClick(options.buttonBox()->buttons().first(), Qt::LeftButton);
        QCOMPARE(dev->getTrgPosition(), 40);
        QVERIFY(Config::readGlobalParam(QStringLiteral("toolbarPWM")).isEmpty());
    }
    DevScope dev(new Dev7329);   // analog channels: no trigger position here
    const int before = dev->getTrgPosition();
    DevOptions options;
    QVERIFY(!options.triggerSlider());
    QVERIFY(options.row(0).ena);
    QTest::mouseClick(options.buttonBox()->buttons().first(), Qt::LeftButton);
    QCOMPARE(dev->getTrgPosition(), before);
}

QTEST_MAIN(TstVthPwm)
#include "tst_vthpwm.moc"
