// The calibration window of the mixed-signal model: its rows, the manual
// edits and "Save" against the instrument emulator, the steps of the automatic
// calibration on prepared captures, and a whole automatic run on the sampling
// thread whose result lands in the EEPROM.
#include "devobj/devtesthelp.h"
#include "scope/dev7329help.h"

#include "device/devnone.h"
#include "device/smpctrlfactory.h"
#include "device/smpdataosc.h"
#include "scope/calibadc.h"
#include "scope/calibrateosc.h"
#include "widgets/myspinbox.h"

#include <libusb.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <algorithm>

#include <cmath>
#include <memory>

using osctest::adcRecord;
using osctest::connectedDev;

namespace {

QByteArray eeprom(int addr)
{
    QByteArray b(Dev7329::CalibRecordSize, '\0');
    emu_eeprom_read(addr, reinterpret_cast<unsigned char*>(b.data()), b.size());
    return b;
}

QVector<QByteArray> regWrites(int reg)
{
    QVector<QByteArray> out;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && !(e.request_type & 0x80) && e.request == 0x20
            && e.value == reg)
            out << QByteArray(reinterpret_cast<const char*>(e.data), e.data_len);
    }
    return out;
}

// Answers the next message box; its text lands in *text.
void answerBox(QObject* ctx, QString* text)
{
    QTimer::singleShot(0, ctx, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->button(QMessageBox::Close)->click();
        }
    });
}

} // namespace

Q_DECLARE_METATYPE(QVector<int>)

class TstCalibrateOsc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rowsFollowTheDevice();
    void edits();
    void editWhileDisconnected();
    void zeroBoxesHoldWhatTheRecordHolds();
    void saveMarksBlackOnlyWhenWritten_data();
    void saveMarksBlackOnlyWhenWritten();
    void corrections_data();
    void corrections();
    void stepOnPreparedCapture_data();
    void stepOnPreparedCapture();
    void foreignCapturesAreNoSteps();
    void automaticRunEndToEnd();

private:
    // A capture on display as if run `run` had taken it (null: no block).
    void display(const QVector<int>* ch0, const QVector<int>* ch1, quint32 run);
    // A device object whose captures run on the real buffer-mode thread: the
    // model makes its workers while it is constructed.
    void useSamplingThreads()
    {
        SmpCtrlFactory::install();
        devUsing = nullptr;
        dev = connectedDev();
        QVERIFY(dev);
        devUsing = dev.get();
    }

    DevSupport* ds = nullptr;
    std::unique_ptr<Dev7329> dev;
};

void TstCalibrateOsc::initTestCase()
{
    Config::fillLists();
}

void TstCalibrateOsc::init()
{
    ds = devtest::openEmulated();
    QVERIFY(ds);
    dev = connectedDev();
    QVERIFY(dev);
    devUsing = dev.get();
}

void TstCalibrateOsc::cleanup()
{
    if (dev)
        dev->smpStopAndWait();
    devUsing = nullptr;
    dev.reset();
    devtest::closeEmulated(ds);
}

void TstCalibrateOsc::display(const QVector<int>* ch0, const QVector<int>* ch1, quint32 run)
{
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    const int vd[2] = {1000, 1000};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {ch0 != nullptr, ch1 != nullptr};
    QVERIFY(s->dataConvertStart(0, 1000000, vd, hs, off, ena));
    const QVector<int>* src[2] = {ch0, ch1};
    for (int c = 0; c < 2; ++c) {
        if (!src[c])
            continue;
        AnalogChnData* d = s->chnData[size_t(c)];
        d->smpCount = src[c]->size();
        for (int i = 0; i < src[c]->size(); ++i)
            d->data[i] = short((*src[c])[i]);
    }
    s->runSerial = run;
}

void TstCalibrateOsc::rowsFollowTheDevice()
{
    dev->offsetZero[1] = {-5, 6, 7};
    dev->offsetSlope[1] = 1300;
    dev->gainTable[1][6] = -500;
    dev->setAProbeRate(1, 10);
    CalibrateOsc w;
    w.init();
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(w.labelStep1->text(), QStringLiteral("Step1"));
    QCOMPARE(w.labelStep5->text(), QStringLiteral("Step5"));
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(w.spinZero[c].size(), 3);
        QCOMPARE(w.spinGain[c].size(), 7);
        QCOMPARE(w.labelZeroRows[c][2]->text(), QStringLiteral("1V"));
    }
    QCOMPARE(w.spinZero[1][0]->value(), -5);
    QCOMPARE(w.spinSlope[1]->value(), 1300);
    QCOMPARE(w.spinGain[1][6]->value(), -500);
    QCOMPARE(w.labelGainRows[0][0]->text(), QStringLiteral("20mV"));
    QCOMPARE(w.labelGainRows[1][0]->text(), QStringLiteral("200mV"));
    QCOMPARE(w.labelGainRows[1][6]->text(), QStringLiteral("20V"));
    QVERIFY(w.btnSave->isEnabled() && w.btnAuto->isEnabled() && w.spinGain[1][6]->isEnabled());
    w.spinZero[0][1]->setValue(3);   // a red mark survives init while the rows stay
    w.init();
    QCOMPARE(w.spinZero[0][1]->styleSheet(), QStringLiteral("color:red;"));

    // Another model: its tables are empty, so the rows go; nothing indexes the
    // old lengths. Every box and button is disabled.
    DevNone none;
    devUsing = &none;
    w.init();
    QCOMPARE(w.labelZeroChn.size(), 2);
    QCOMPARE(w.spinSlope.size(), 2);
    for (int c = 0; c < 2; ++c) {
        QVERIFY(w.spinZero[c].isEmpty());
        QVERIFY(w.spinGain[c].isEmpty());
    }
    QVERIFY(!w.btnSave->isEnabled() && !w.btnAuto->isEnabled() && !w.textLog->isEnabled());
    QVERIFY(!w.spinSlope[0]->isEnabled());
    // And back: the rows return.
    devUsing = dev.get();
    w.init();
    QCOMPARE(w.spinGain[0].size(), 7);
    QCOMPARE(w.spinZero[1][0]->value(), -5);

    // A window first built for the demo device grows its rows on init.
    devUsing = &none;
    CalibrateOsc first;
    QVERIFY(first.spinZero[0].isEmpty());
    devUsing = dev.get();
    first.init();
    QCOMPARE(first.spinZero[1].size(), 3);
    QCOMPARE(first.spinGain[1][6]->value(), -500);
}

void TstCalibrateOsc::edits()
{
    CalibrateOsc w;
    w.init();
    w.show();
    QSignalSpy changed(&w, &CalibrateOsc::calibSettingChanged);
    dev->setAVoltDivIndex(0, 0);
    dev->setAChnOffset(0, 200);

    // The last zero row: offset 0 on the 1 V step; the view is told to show
    // both channels again.
    w.spinZero[0][2]->setValue(-9);
    QCOMPARE(dev->offsetZero[0][2], -9);
    QCOMPARE(dev->aChnOffset[0], 0);
    QCOMPARE(dev->aVoltDivIndex[0], 5);
    QCOMPARE(w.spinZero[0][2]->styleSheet(), QStringLiteral("color:red;"));
    w.spinZero[0][1]->setFocus();
    QTest::keyClick(w.spinZero[0][1], Qt::Key_Up);
    QCOMPARE(dev->offsetZero[0][1], 1);
    QCOMPARE(dev->aVoltDivIndex[0], 1);

    // The slope: offset 400 on the 1 V step.
    dev->setAVoltDivIndex(1, 2);
    w.spinSlope[1]->setValue(1500);
    QCOMPARE(dev->offsetSlope[1], 1500);
    QCOMPARE(dev->aChnOffset[1], 400);
    QCOMPARE(dev->aVoltDivIndex[1], 5);
    QCOMPARE(changed.size(), 3);
    for (const QList<QVariant>& c : changed)
        QCOMPARE(c, (QList<QVariant>{2, -1}));
    changed.clear();

    // A gain: its own step, the gain words written, the signal. CH2 was off.
    dev->setAChnEna({true, false});
    emu_log_clear();
    w.spinGain[1][4]->setValue(-321);
    QCOMPARE(dev->gainTable[1][4], -321);
    QCOMPARE(dev->aVoltDivIndex[1], 4);
    QCOMPARE(dev->aChnEna, (QVector<bool>{true, true}));
    QCOMPARE(regWrites(0x3E).value(0), QByteArray("\x03", 1));
    const QByteArray gains = regWrites(0x40).value(regWrites(0x40).size() - 1);
    QCOMPARE(gains.mid(2, 2), QByteArray("\xBF\xFE", 2));   // -321
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0], (QList<QVariant>{3, 1}));
}

void TstCalibrateOsc::editWhileDisconnected()
{
    CalibrateOsc w;
    w.init();
    dev->isConnected = false;
    dev->setAChnEna({false, true});
    w.spinZero[1][0]->setValue(12);
    w.spinGain[0][0]->setValue(12);
    QCOMPARE(w.spinZero[1][0]->styleSheet(), QStringLiteral("color:red;"));
    QCOMPARE(dev->offsetZero[1][0], 0);
    QCOMPARE(dev->gainTable[0][0], 586);
    QCOMPARE(dev->aChnEna, (QVector<bool>{false, true}));
}

void TstCalibrateOsc::zeroBoxesHoldWhatTheRecordHolds()
{
    // The record keeps the zero entries as signed bytes.
    CalibrateOsc w;
    w.init();
    QCOMPARE(w.spinZero[0][0]->minimum(), -128);
    QCOMPARE(w.spinZero[0][0]->maximum(), 127);
    w.spinZero[0][0]->setValue(-300);
    w.spinZero[1][2]->setValue(300);
    QCOMPARE(dev->offsetZero[0][0], -128);
    QCOMPARE(dev->offsetZero[1][2], 127);
    QTest::mouseClick(w.btnSave, Qt::LeftButton);
    auto again = connectedDev();
    QVERIFY(again);
    QCOMPARE(again->offsetZero[0][0], -128);
    QCOMPARE(again->offsetZero[1][2], 127);
}

void TstCalibrateOsc::saveMarksBlackOnlyWhenWritten_data()
{
    QTest::addColumn<int>("fault");   // 0 none, 1 second copy fails, 2 instrument gone
    QTest::newRow("written") << 0;
    QTest::newRow("second copy fails") << 1;
    QTest::newRow("instrument removed, window not told yet") << 2;
}

void TstCalibrateOsc::saveMarksBlackOnlyWhenWritten()
{
    QFETCH(int, fault);
    CalibrateOsc w;
    w.init();
    w.show();
    w.spinSlope[0]->setValue(1250);
    w.spinGain[1][1]->setValue(444);
    const QByteArray before = eeprom(0x40);
    if (fault == 1)
        emu_fail_control(0, 0xA2, 0xA0, 0, 1, LIBUSB_ERROR_IO);
    if (fault == 2)
        dev->isConnected = false;
    emu_log_clear();
    QString warning;
    answerBox(this, &warning);
    QTest::mouseClick(w.btnSave, Qt::LeftButton);
    const QString mark = fault ? QStringLiteral("color:red;") : QStringLiteral("color:black");
    QCOMPARE(w.spinSlope[0]->styleSheet(), mark);
    QCOMPARE(w.spinGain[1][1]->styleSheet(), mark);
    QCOMPARE(warning.isEmpty(), fault == 0);
    int writes = 0;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && e.request == 0xA2)
            ++writes;
    }
    QCOMPARE(writes, fault == 2 ? 0 : 2);   // one save: both copies
    QCOMPARE(eeprom(0x40) == before, fault == 2);
    if (fault == 0)
        QCOMPARE(eeprom(0xA0), dev->calibRecord());
}

void TstCalibrateOsc::corrections_data()
{
    QTest::addColumn<char>("kind");   // z zero, s slope
    QTest::addColumn<double>("mean");
    QTest::addColumn<int>("zero");
    QTest::addColumn<int>("slope");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("result");
    QTest::newRow("zero: -2.7 gives 2") << 'z' << -2.7 << 0 << 0 << true << 2;
    QTest::newRow("zero: 2.7 gives -3") << 'z' << 2.7 << 0 << 0 << true << -3;
    QTest::newRow("zero: relative to the old") << 'z' << 10.0 << 4 << 0 << true << -6;
    QTest::newRow("zero: -128 fits") << 'z' << 127.6 << 0 << 0 << true << -128;
    QTest::newRow("zero: beyond a signed byte") << 'z' << 128.6 << 0 << 0 << false << 0;
    QTest::newRow("zero: NaN") << 'z' << std::nan("") << 0 << 0 << false << 0;
    QTest::newRow("slope: 380000 / 380") << 's' << 384.0 << 4 << 1000 << true << 1000;
    QTest::newRow("slope: scaled mean") << 's' << 380.0 << 0 << 1010 << true << 1021;
    QTest::newRow("slope: scale 0") << 's' << 384.0 << 4 << 0 << false << 0;
    QTest::newRow("slope: mean at the zero") << 's' << 4.0 << 4 << 1000 << false << 0;
    QTest::newRow("slope: beyond 16 bits") << 's' << 5.0 << 0 << 1000 << false << 0;
    QTest::newRow("slope: negative") << 's' << -384.0 << 0 << 1000 << false << 0;
}

void TstCalibrateOsc::corrections()
{
    QFETCH(char, kind);
    QFETCH(double, mean);
    QFETCH(int, zero);
    QFETCH(int, slope);
    QFETCH(bool, ok);
    QFETCH(int, result);
    double raw = 0;
    int got = 12345;
    const bool r = kind == 'z' ? CalibAdc::zeroCorrection(mean, zero, &raw, &got)
                               : CalibAdc::slopeCorrection(mean, zero, slope, &raw, &got);
    QCOMPARE(r, ok);
    QCOMPARE(got, ok ? result : 12345);
}

void TstCalibrateOsc::stepOnPreparedCapture_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QVector<int>>("ch0");   // {-1}: no block
    QTest::addColumn<QVector<int>>("ch1");
    QTest::addColumn<QVector<int>>("before");   // zeroDual 0, 1, zeroSingle 0, 1, slope 0, 1
    QTest::addColumn<QString>("log");
    QTest::addColumn<QVector<int>>("after");
    const QVector<int> none{-1};
    const QVector<int> unity{0, 0, 0, 0, 1000, 1000};
    QVector<int> m27;   // mean -2.7
    QVector<int> p27;
    for (int i = 0; i < 10; ++i) {
        m27 << (i < 7 ? -3 : -2);
        p27 << (i < 7 ? 3 : 2);
    }
    QTest::newRow("idle before a run") << -1 << m27 << p27 << unity << "" << unity;
    QTest::newRow("run over") << 4 << m27 << p27 << unity << "" << unity;
    QTest::newRow("preparation") << 0 << m27 << p27 << unity << "" << unity;
    QTest::newRow("zero dual, -2.7 and 2.7") << 1 << m27 << p27 << unity << "zero-dual:\t-2.70\t2.70\t2\t-3"
                                             << QVector<int>{2, -3, 0, 0, 1000, 1000};
    QTest::newRow("zero single: even and odd samples of channel 0")
        << 2 << QVector<int>{10, 21, 30, 40} << none << QVector<int>{5, 5, 1, -1, 1000, 1000}
        << "zero-single:\t19.00\t31.50\t-19\t-32" << QVector<int>{5, 5, -19, -32, 1000, 1000};
    QTest::newRow("slope: two tabs") << 3 << QVector<int>(8, 384) << QVector<int>(8, 364)
                                     << QVector<int>{4, -16, 0, 0, 1000, 1000} << "slope:\t\t380.0\t380.0\t1000\t1053"
                                     << QVector<int>{4, -16, 0, 0, 1000, 1053};
    QTest::newRow("empty channel 0 block") << 1 << QVector<int>{} << p27 << unity << "zero-dual:\tfailed" << unity;
    QTest::newRow("no channel 0 block") << 2 << none << p27 << unity << "zero-single:\tfailed" << unity;
    QTest::newRow("one sample alone") << 2 << QVector<int>{7} << none << unity << "zero-single:\tfailed" << unity;
    QTest::newRow("zero beyond a signed byte") << 1 << QVector<int>(4, 200) << QVector<int>(4, 0) << unity
                                               << "zero-dual:\tfailed" << unity;
    QTest::newRow("scale 0") << 3 << QVector<int>(8, 384) << QVector<int>(8, 384)
                             << QVector<int>{0, 0, 0, 0, 0, 1000} << "slope:\tfailed"
                             << QVector<int>{0, 0, 0, 0, 0, 1000};
    QTest::newRow("mean at the zero") << 3 << QVector<int>(8, 384) << QVector<int>(8, 7)
                                      << QVector<int>{0, 7, 0, 0, 1000, 1000} << "slope:\tfailed"
                                      << QVector<int>{0, 7, 0, 0, 1000, 1000};
}

void TstCalibrateOsc::stepOnPreparedCapture()
{
    QFETCH(int, step);
    QFETCH(QVector<int>, ch0);
    QFETCH(QVector<int>, ch1);
    QFETCH(QVector<int>, before);
    QFETCH(QString, log);
    QFETCH(QVector<int>, after);
    CalibAdcData& cal = dev->calibData;
    int* fields[6] = {&cal.zeroDual[0], &cal.zeroDual[1], &cal.zeroSingle[0], &cal.zeroSingle[1], &cal.slope[0],
                      &cal.slope[1]};
    for (int i = 0; i < 6; ++i)
        *fields[i] = before[i];
    CalibrateOsc w;
    w.init();
    QSignalSpy changed(&w, &CalibrateOsc::calibSettingChanged);
    display(ch0 == QVector<int>{-1} ? nullptr : &ch0, ch1 == QVector<int>{-1} ? nullptr : &ch1, 77);
    w.autoStep = step;
    w.ownRun = 77;
    w.smpDataReady();
    QCOMPARE(w.textLog->toPlainText(), log);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(*fields[i], after[i]);
    // A step that ran moves on, arms the timer and tells the waveform area.
    const bool ran = step >= 0 && step <= 3 && !log.endsWith(QStringLiteral("failed"));
    QCOMPARE(w.autoStep, ran ? step + 1 : step);
    QCOMPARE(w.autoTimer != 0, ran);
    QCOMPARE(changed.size(), ran ? 1 : 0);
    if (ran)
        QCOMPARE(changed[0], (QList<QVariant>{2, -1}));
    if (step == 1 && ran)
        QCOMPARE(dev->aChnEna, (QVector<bool>{true, false}));
    if (step == 2 && ran)
        QCOMPARE(dev->aChnOffset, (QVector<int>{400, 400}));
    // The same capture is never a second step.
    w.autoStep = step;
    w.smpDataReady();
    QCOMPARE(changed.size(), ran ? 1 : 0);
}

void TstCalibrateOsc::foreignCapturesAreNoSteps()
{
    useSamplingThreads();
    emu_script_analog(reinterpret_cast<const signed char*>(adcRecord([](int) { return 1; }, [](int) { return 2; }).constData()),
                      40960, 20000);
    QVERIFY(osctest::runFpga(ds, 1, 1, 1));
    CalibrateOsc w;
    w.init();
    QSignalSpy changed(&w, &CalibrateOsc::calibSettingChanged);
    QTest::mouseClick(w.btnAuto, Qt::LeftButton);
    QCOMPARE(w.autoStep, 0);
    // F5 before the calibration's capture came: that capture is stopped, the
    // user's one is displayed, and it is no step of the run.
    dev->smpStart(SmpStartSingle, false);
    const quint32 users = dev->smpRunSerial;
    QTRY_VERIFY_WITH_TIMEOUT(!dev->smpRunning && dev->hasValidData(), 20000);
    QCOMPARE(dev->displayedSmpDataOsc()->runSerial, users);
    w.smpDataReady();
    // A loaded file: filled without a run.
    const SmpDataOscPtr s = dev->fillingSmpDataOsc();
    const int vd[2] = {1000, 1000}, hs[2] = {480, 480}, off[2] = {0, 0};
    const bool ena[2] = {true, true};
    QVERIFY(s->dataConvertStart(0, 1000000, vd, hs, off, ena));
    for (AnalogChnData* d : s->chnData) {
        d->smpCount = 100;
        std::fill_n(d->data, 100, short(0));
    }
    dev->toggleSmpData();
    QVERIFY(dev->hasValidData());
    w.smpDataReady();
    QCOMPARE(w.autoStep, 0);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(w.autoTimer, 0);
}

void TstCalibrateOsc::automaticRunEndToEnd()
{
    // Four scripted records, one per capture: the instrument's raw ADC bytes.
    // Dual, offset 0: ADC 0 reads 1 (code 4), ADC 1 -2 seven times in ten and
    // -1 three times (mean code -6.8): zeroDual -4 and 6.
    const QByteArray dual = adcRecord([](int) { return 1; }, [](int i) { return i % 10 < 7 ? -2 : -1; });
    // Channel 0 alone: ADC 0 reads 2 (code 8), ADC 1 -3 (code -12): zeroSingle -8 and 11.
    const QByteArray single = adcRecord([](int) { return 2; }, [](int) { return -3; });
    // Offset 400 with the new zeros: codes 4 x 95 - 4 = 376 and 4 x 90 + 6 = 366,
    // so 380 and 360 above the zero: slopes trunc(388000 / 380 + 0.5) = 1021
    // and trunc(378000 / 360 + 0.5) = 1050.
    const QByteArray high = adcRecord([](int) { return 95; }, [](int) { return 90; });
    const QByteArray* records[] = {&dual, &dual, &single, &high, &dual};
    auto script = [](const QByteArray& r) {
        emu_script_analog(reinterpret_cast<const signed char*>(r.constData()), r.size(), 20000);
    };

    useSamplingThreads();
    QVERIFY(osctest::runFpga(ds, 1, 1, 1));
    script(dual);
    CalibrateOsc w;
    w.init();
    // The main window's part: every display notification reaches the window.
    connect(dev.get(), &DevBase::sigSmpDataReady, &w, [&w](int flag) {
        if (flag == 0)
            w.smpDataReady();
    });
    QVector<QVector<bool>> enables;
    QVector<QVector<int>> offsets;
    connect(&w, &CalibrateOsc::calibSettingChanged, this, [&](int, int) {
        enables << dev->aChnEna;
        offsets << dev->aChnOffset;
        script(*records[qBound(0, w.autoStep, 4)]);
    });

    // A repeated run is going when the user presses "Calibrate".
    dev->smpStart(SmpStartRepeat, false);
    QTest::mouseClick(w.btnAuto, Qt::LeftButton);
    QCOMPARE(dev->aVoltDivIndex, (QVector<int>{5, 5}));
    QCOMPARE(dev->timeDivList[dev->timeDivIndex], 5000LL);
    QTRY_VERIFY_WITH_TIMEOUT(w.autoStep == 4, 30000);
    // The fifth capture ends the run; no timer is left.
    QTRY_VERIFY_WITH_TIMEOUT(!dev->smpRunning && w.autoTimer == 0 && dev->hasValidData(), 20000);

    QCOMPARE(w.textLog->toPlainText(), QStringLiteral("zero-dual:\t4.00\t-6.80\t-4\t6\n"
                                                      "zero-single:\t8.00\t-12.00\t-8\t11\n"
                                                      "slope:\t\t380.0\t360.0\t1021\t1050"));
    QCOMPARE(enables, (QVector<QVector<bool>>{{true, true}, {true, false}, {true, true}, {true, true}}));
    QCOMPARE(offsets, (QVector<QVector<int>>{{0, 0}, {0, 0}, {400, 400}, {0, 0}}));
    // The fifth capture converts with the new corrections.
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    QCOMPARE(s->chnData[0]->data[0], short((4 - 4) * 1021 / 1000));
    QCOMPARE(s->chnData[1]->data[0], short((-8 + 6) * 1050 / 1000));

    // Nothing reaches the instrument until "Save"; then both copies hold it.
    const QByteArray blank = eeprom(0x40);
    QCOMPARE(blank, QByteArray(48, char(0xFF)));
    QTest::mouseClick(w.btnSave, Qt::LeftButton);
    const QByteArray rec = eeprom(0x40);
    QCOMPARE(rec.mid(10, 8), QByteArray::fromHex("FC06F80BFD031A04"));
    QCOMPARE(eeprom(0xA0), rec);
    QVERIFY(Dev7329::isCalibRecordValid(reinterpret_cast<const unsigned char*>(rec.constData()), rec.size()));
    auto again = connectedDev();
    QVERIFY(again);
    QCOMPARE(again->calibData.slope[1], 1050);
    QCOMPARE(again->calibData.zeroSingle[1], 11);
}

QTEST_MAIN(TstCalibrateOsc)
#include "tst_calibrateosc.moc"
