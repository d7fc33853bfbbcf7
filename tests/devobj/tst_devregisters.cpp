// The device object's register protocol, checked in the instrument
// emulator's log against the byte strings of the documented protocol.

#include "devtesthelp.h"

#include "device/devbase.h"
#include "device/devsupport.h"
#include "usbemu.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <libusb.h>

#include <cmath>
#include <memory>

using devtest::FakeWorker;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', "").replace('|', ""));
}

// Data of every OUT control request with this request number and value.
QVector<QByteArray> writes(int request, int value)
{
    QVector<QByteArray> out;
    const int n = emu_log_count();
    for (int i = 0; i < n; ++i) {
        emu_log_entry e;
        if (!emu_log_get(i, &e) || e.kind != EMU_LOG_CONTROL || (e.request_type & 0x80))
            continue;
        if (e.request == request && e.value == value)
            out.append(QByteArray(reinterpret_cast<const char*>(e.data), e.data_len));
    }
    return out;
}

QVector<QByteArray> regWrites(int reg)
{
    return writes(0x20, reg);
}

QByteArray lastReg(int reg)
{
    const QVector<QByteArray> w = regWrites(reg);
    return w.isEmpty() ? QByteArray() : w.last();
}

// Request numbers of the control requests in log order, IN ones negated.
QVector<int> requestOrder()
{
    QVector<int> out;
    const int n = emu_log_count();
    for (int i = 0; i < n; ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL)
            out.append((e.request_type & 0x80) ? -int(e.request) : int(e.request));
    }
    return out;
}

std::unique_ptr<DevBase> make(int code)
{
    return std::unique_ptr<DevBase>(DevBase::createDevice(code));
}

// A connected device object with the given clocks (MHz).
std::unique_ptr<DevBase> connected(int code, int smpMHz = 200, int pwmMHz = 250)
{
    emu_set_status_override(0x85C1);
    auto dev = make(code);
    unsigned char ident[DevIdentSize] = {static_cast<unsigned char>(smpMHz), static_cast<unsigned char>(smpMHz >> 8),
                                         static_cast<unsigned char>(pwmMHz), static_cast<unsigned char>(pwmMHz >> 8)};
    if (dev->devConnect(ident, 0.0) != 0)
        return nullptr;
    emu_log_clear();
    return dev;
}

} // namespace

class TstDevRegisters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusWords_data();
    void statusWords();
    void statusReadFails();
    void identification();
    void workedRecord();
    void triggerMasks();
    void modeBytes_data();
    void modeBytes();
    void divider();
    void failedWrites_data();
    void failedWrites();
    void stopAndStandby();
    void stuckWorkerStop();
    void stuckWorkerKeepsDevice();
    void threshold_data();
    void threshold();
    void thresholdRestore();
    void pwm();
    void pwmLimits();
    void pwmRestore_data();
    void pwmRestore();
    void memoryWindow();
    void liveLevels();
    void bulkCallback();
    void autoReadBuf();

private:
    DevSupport* ds = nullptr;
};

void TstDevRegisters::init()
{
    ds = devtest::openEmulated();
    QVERIFY(ds);
}

void TstDevRegisters::cleanup()
{
    emu_release_control();
    DevBase::smpStopTimeoutMs = 10000;
    devtest::closeEmulated(ds);
}

// ---------------------------------------------------------------- status

void TstDevRegisters::statusWords_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("memSta");
    QTest::addColumn<int>("runSta");

    QTest::newRow("FFFF") << 0xFFFF << 7 << 7;
    QTest::newRow("0000") << 0x0000 << 8 << 8;
    QTest::newRow("L=D1") << 0x85D1 << 13 << 13;
    QTest::newRow("L=D1 high 0") << 0x00D1 << 13 << 13;
    QTest::newRow("good C1") << 0x85C1 << 0 << 0;
    QTest::newRow("good C2") << 0x85C2 << 0 << 0;
    QTest::newRow("good CA") << 0x85CA << 0 << 0;
    QTest::newRow("high C5") << 0xC5C1 << 0 << 0;
    QTest::newRow("high 00") << 0x00C1 << 12 << 0;
    QTest::newRow("high 86") << 0x86C1 << 12 << 0;
    QTest::newRow("L=81") << 0x8581 << 10 << 10;
    QTest::newRow("L=41") << 0x8541 << 10 << 10;
    QTest::newRow("L=C3") << 0x85C3 << 9 << 9;
    QTest::newRow("L=C0") << 0x85C0 << 9 << 9;
    QTest::newRow("0100") << 0x0100 << 9 << 9;
}

void TstDevRegisters::statusWords()
{
    QFETCH(int, word);
    QFETCH(int, memSta);
    QFETCH(int, runSta);
    emu_set_status_override(word);
    auto dev = make(3);
    QCOMPARE(dev->checkMemorySta(), memSta);
    unsigned w = 0;
    QCOMPARE(dev->getRunSta(&w), runSta);
    QCOMPARE(w, unsigned(word));

    // A model with device memory connects only on a good status.
    unsigned char ident[4] = {200, 0, 250, 0};
    QCOMPARE(dev->devConnect(ident, 0.0), memSta);
    QCOMPARE(dev->isConnected.load(), memSta == 0);
    // Stream-only models do not look at it.
    auto stream = make(5);
    QCOMPARE(stream->devConnect(ident, 0.0), 0);
    QVERIFY(stream->isConnected);
}

void TstDevRegisters::statusReadFails()
{
    auto dev = make(3);
    emu_fail_control(1, 0x20, 0, 0, 3, LIBUSB_ERROR_PIPE);
    QCOMPARE(dev->checkMemorySta(), 2);
    unsigned w = 77;
    QCOMPARE(dev->getRunSta(&w), 2);
    QCOMPARE(w, 0u);
    unsigned char ident[4] = {200, 0, 250, 0};
    QCOMPARE(dev->devConnect(ident, 0.0), 2);
    QVERIFY(!dev->isConnected);

    // Half a status word is no status word.
    emu_set_status_override(0x85C1);
    emu_fail_control(1, 0x20, 0, 0, 2, 1);
    QCOMPARE(dev->checkMemorySta(), 2);
    QCOMPARE(dev->getRunSta(&w), 2);
    QCOMPARE(dev->checkMemorySta(), 0);
}

void TstDevRegisters::identification()
{
    const unsigned char id[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    emu_set_device_id(id);
    emu_set_status_override(0x85C1);
    auto dev = make(3);
    unsigned char ident[4] = {0xC8, 0x00, 0xFA, 0x00};
    QCOMPARE(dev->devConnect(ident, 1.5), 0);
    QVERIFY(dev->isConnected);
    QCOMPARE(dev->smpClock, 200000000LL);
    QCOMPARE(dev->pwmClock, 250000000LL);
    QCOMPARE(dev->vref, 1.5);
    QCOMPARE(dev->deviceID, hex("11 22 33 44 55 66 77 88"));
    QCOMPARE(writes(0x60, 0), QVector<QByteArray>{hex("A3 01 CA")});
    QVERIFY(requestOrder().contains(-0x60));

    DevBase::devBatch = 0x1234;
    dev->devDisconnect();
    QVERIFY(!dev->isConnected);
    QCOMPARE(dev->deviceID, QByteArray(8, '\0'));
    QCOMPARE(DevBase::devBatch, quint16(0));

    // A reference voltage of 0 keeps the stored one.
    QCOMPARE(dev->devConnect(ident, 0.0), 0);
    QCOMPARE(dev->vref, 1.5);

    // The 8-channel model: one clock byte, PWM at five times it, vref untouched.
    auto small = make(1);
    unsigned char one[4] = {48, 0, 0, 0};
    QCOMPARE(small->devConnect(one, 1.5), 0);
    QCOMPARE(small->smpClock, 48000000LL);
    QCOMPARE(small->pwmClock, 240000000LL);
    QCOMPARE(small->vref, 1.2);

    // The first 500 MHz model fixes its PWM clock.
    auto fixed = make(4);
    QCOMPARE(fixed->devConnect(ident, 0.0), 0);
    QCOMPARE(fixed->pwmClock, 250000000LL);

    // The demo device never connects and never talks to the instrument.
    emu_log_clear();
    auto demo = make(0);
    QCOMPARE(demo->devConnect(ident, 1.5), 1);
    QVERIFY(!demo->isConnected);
    QCOMPARE(demo->smpClock, 200000000LL);
    QCOMPARE(demo->pwmClock, 250000000LL);
    QCOMPARE(emu_log_count(), 0);
}

// ---------------------------------------------------------------- capture start

void TstDevRegisters::workedRecord()
{
    auto dev = connected(3);
    QVERIFY(dev);
    QCOMPARE(dev->memSize, 134217728);
    QVERIFY(dev->setSmpDepth(2));
    QCOMPARE(dev->smpDepth, 1000000LL);
    QVERIFY(dev->setTrgPosition(10));
    dev->setDChnTrg(6, TrgHigh);
    QVERIFY(dev->setSmpFrequ(1));
    QCOMPARE(dev->getSmpFrequ(), 100000000LL);

    dev->smpStart(SmpStartSingle, false);
    dev->smpStopAndWait();
    QCOMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 1);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 0);
    QCOMPARE(regWrites(0x10), QVector<QByteArray>{hex("40 42 0F 00 00 | A0 86 01 00 00 | CC CC 00 | 02 00 00")});

    // No trigger: no pre-trigger part.
    dev->setDChnTrg(6, TrgNone);
    emu_log_clear();
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x10), hex("40 42 0F 00 00 | 00 00 00 00 00 | CC CC 00 | 02 00 00"));
}

void TstDevRegisters::triggerMasks()
{
    auto dev = connected(3);
    QVERIFY(dev);
    dev->setDChnTrg(3, TrgRise);
    dev->setDChnTrg(2, TrgHigh);
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x20), hex("FF FF 00 00 | 0C 00 00 00 | 04 00 00 00 | 04 00 00 00"));

    // Falling edge on channel 9: bit 1 of byte 1 in M0 (enabled), M1 and M3.
    QVector<bool> ena(16, false);
    ena[9] = true;
    dev->setDChnEna(ena);
    dev->setDChnTrg(9, TrgFall);
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x20), hex("00 02 00 00 | 00 02 00 00 | 00 00 00 00 | 00 02 00 00"));

    // Low level on channel 0 (disabled channels still carry their trigger bits).
    dev->setDChnTrg(0, TrgLow);
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x20), hex("00 02 00 00 | 01 02 00 00 | 01 00 00 00 | 00 02 00 00"));

    // 32 channels: the top channel is bit 7 of byte 3.
    auto wide = connected(9);
    QVERIFY(wide);
    wide->setDChnTrg(31, TrgFall);
    QCOMPARE(wide->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x20), hex("FF FF FF FF | 00 00 00 80 | 00 00 00 00 | 00 00 00 80"));
}

void TstDevRegisters::modeBytes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("worker");

    QTest::newRow("stream auto") << 1 << 0 << 3 << int(SmpWorkerStream);
    QTest::newRow("stream repeat") << 1 << 3 << 3 << int(SmpWorkerStream);
    QTest::newRow("stream repeat on trigger") << 1 << 2 << 1 << int(SmpWorkerStream);
    QTest::newRow("stream single") << 1 << 1 << 1 << int(SmpWorkerStream);
    QTest::newRow("buffer single") << 0 << 1 << 0 << int(SmpWorkerNormal);
    QTest::newRow("buffer auto") << 0 << 0 << 2 << int(SmpWorkerNormal);
    QTest::newRow("buffer repeat") << 0 << 3 << 2 << int(SmpWorkerNormal);
    QTest::newRow("buffer repeat on trigger") << 0 << 2 << 0 << int(SmpWorkerNormal);
}

void TstDevRegisters::modeBytes()
{
    QFETCH(int, mode);
    QFETCH(int, kind);
    QFETCH(int, byte);
    QFETCH(int, worker);
    auto dev = connected(3);
    QVERIFY(dev);
    dev->setSmpMode(DevSmpMode(mode));
    emu_log_clear();
    dev->smpStart(SmpStartMode(kind), false);
    dev->smpStopAndWait();
    QCOMPARE(regWrites(0x03), QVector<QByteArray>{QByteArray(1, char(byte))});
    QCOMPARE(FakeWorker::starts[worker].load(), 1);
    // The mode byte goes first, then the masks, then the record.
    QCOMPARE(requestOrder().mid(0, 3), (QVector<int>{0x20, 0x20, 0x20}));
    QCOMPARE(regWrites(0x20).size(), 1);
    QCOMPARE(regWrites(0x10).size(), 1);

    // A restart with the kept kind writes the same byte.
    emu_log_clear();
    dev->smpStart(SmpStartKeep, false);
    dev->smpStopAndWait();
    QCOMPARE(regWrites(0x03), QVector<QByteArray>{QByteArray(1, char(byte))});
}

void TstDevRegisters::divider()
{
    auto dev = connected(3);
    QVERIFY(dev);
    QVERIFY(dev->setSmpFrequ(dev->smpFrequList.indexOf(1000000)));
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x10).mid(13), hex("C8 00 00"));

    // 20 kHz from 200 MHz: 10000.
    QVERIFY(dev->setSmpFrequ(dev->smpFrequList.size() - 1));
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x10).mid(13), hex("10 27 00"));

    // Depths beyond 32 bits fill the fifth byte.
    QVERIFY(dev->setSmpDepth(14));
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastReg(0x10).left(5), hex("00 E4 0B 54 02"));
}

void TstDevRegisters::failedWrites_data()
{
    QTest::addColumn<int>("reg");
    QTest::newRow("mode byte") << 0x03;
    QTest::newRow("trigger masks") << 0x20;
    QTest::newRow("settings record") << 0x10;
}

void TstDevRegisters::failedWrites()
{
    QFETCH(int, reg);
    auto dev = connected(3);
    QVERIFY(dev);
    QSignalSpy sta(dev.get(), &DevBase::sigSmpSta);
    QSignalSpy ready(dev.get(), &DevBase::sigSmpDataReady);
    emu_fail_control(0, 0x20, reg, 0, 1, LIBUSB_ERROR_PIPE);

    dev->smpStart(SmpStartSingle, false);
    QVERIFY(!dev->smpRunning);
    QCOMPARE(dev->smpError.load(), 2);
    QTRY_COMPARE(sta.count(), 2);
    QCOMPARE(sta.at(0), (QList<QVariant>{0, 2, 0}));
    QCOMPARE(sta.at(1), (QList<QVariant>{5, 0, 0}));
    QTRY_COMPARE(ready.count(), 2);
    QCOMPARE(ready.at(0).at(0).toInt(), 0);
    QCOMPARE(ready.at(1).at(0).toInt(), 1);
    // No worker ran, and nothing after the failed write was sent.
    for (int k = 0; k < 4; ++k)
        QCOMPARE(FakeWorker::starts[k].load(), 0);
    const QVector<int> order = {0x03, 0x20, 0x10};
    for (int r : order.mid(order.indexOf(reg) + 1))
        QVERIFY2(regWrites(r).isEmpty(), qPrintable(QString::number(r)));
    QVERIFY(regWrites(0x00).isEmpty());

    // The next start goes through.
    dev->smpStart(SmpStartSingle, false);
    dev->smpStopAndWait();
    QCOMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 1);
    QCOMPARE(dev->smpError.load(), 0);
}

void TstDevRegisters::stopAndStandby()
{
    auto dev = connected(3);
    QVERIFY(dev);
    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat, false);
    emu_log_clear();
    dev->smpStop();
    QVERIFY(dev->smpStopReq);
    QCOMPARE(regWrites(0x00), QVector<QByteArray>{hex("00")});
    // A second stop asks nothing more.
    dev->smpStop();
    dev->smpStopAndWait();
    QCOMPARE(regWrites(0x00).size(), 1);
    QVERIFY(!dev->smpRunning);
    // After the run a stop is not sent at all.
    dev->smpStop();
    QCOMPARE(regWrites(0x00).size(), 1);

    dev->devStandby();
    QCOMPARE(writes(0x10, 0), QVector<QByteArray>{QByteArray()});

    // Without a connection nothing reaches the instrument.
    dev->devDisconnect();
    emu_log_clear();
    dev->smpStart(SmpStartRepeat, false);
    dev->smpStop();
    dev->smpStopAndWait();
    dev->devStandby();
    QCOMPARE(emu_log_count(), 0);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);
}

// A buffer-mode stand-in whose status read never completes: it ignores the stop.
static std::unique_ptr<DevBase> stuckRun()
{
    auto dev = connected(3);
    if (!dev)
        return dev;
    FakeWorker::hold = true;
    FakeWorker::poll = true;
    emu_hold_control(1, 0x20, 0x00);
    dev->smpStart(SmpStartRepeat, false);
    DevBase::smpStopTimeoutMs = 200;
    return dev;
}

void TstDevRegisters::stuckWorkerStop()
{
    // The wait gives up and reports it once; nothing replaces the stores meanwhile.
    auto dev = stuckRun();
    QVERIFY(dev);
    QSignalSpy sta(dev.get(), &DevBase::sigSmpSta);
    QTRY_COMPARE(emu_held_controls(), 1);
    const SmpDataPtr filling = dev->fillingSmpData();
    QVERIFY(!dev->smpStopAndWait());
    QVERIFY(dev->smpRunning);
    QTRY_COMPARE(sta.count(), 1);
    QCOMPARE(sta.at(0), (QList<QVariant>{int(SmpStaIdle), int(SmpErrStillRunning), 0}));
    dev->smpStart(SmpStartSingle, false);
    dev->clearSmpData();
    QCOMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 1);
    QCOMPARE(dev->fillingSmpData(), filling);
    QCoreApplication::processEvents();
    QCOMPARE(sta.count(), 1);

    // Released, the worker sees the stop and ends; then all works as usual.
    DevBase::smpStopTimeoutMs = 10000;
    emu_release_control();
    QVERIFY(dev->smpStopAndWait());
    FakeWorker::hold = false;
    dev->smpStart(SmpStartSingle, false);
    QVERIFY(dev->smpStopAndWait());
    QCOMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 2);
    QCOMPARE(dev->smpError.load(), 0);
    QVERIFY(dev->fillingSmpData() != filling);
}

void TstDevRegisters::stuckWorkerKeepsDevice()
{
    // A replaced device object stays while its worker still writes to it.
    QPointer<DevBase> dev(stuckRun().release());
    QVERIFY(dev);
    QTRY_COMPARE(emu_held_controls(), 1);
    DevBase::deleteWhenStopped(dev);
    QVERIFY(dev && dev->smpRunning);
    emu_release_control();
    QTRY_VERIFY(dev.isNull());
}

// ---------------------------------------------------------------- threshold

void TstDevRegisters::threshold_data()
{
    QTest::addColumn<double>("volts");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("reg");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("5.0 V clamps") << 5.0 << 0 << 0x64 << hex("E7 03 00 00");
    QTest::newRow("1.65 V") << 1.65 << 0 << 0x64 << hex("6D 02 F2 00");
    QTest::newRow("1.65 V group 1") << 1.65 << 1 << 0x68 << hex("6D 02 F2 00");
    QTest::newRow("-1.0 V high range") << -1.0 << 0 << 0x64 << hex("13 03 D7 02");
    QTest::newRow("2.81 V low range") << 2.81 << 0 << 0x64 << hex("E7 01 00 00");
}

void TstDevRegisters::threshold()
{
    QFETCH(double, volts);
    QFETCH(int, group);
    QFETCH(int, reg);
    QFETCH(QByteArray, bytes);
    auto dev = connected(9);
    QVERIFY(dev);
    dev->setVthValue(volts, group);
    QCOMPARE(regWrites(reg), QVector<QByteArray>{bytes});

    // Bad arguments and a missing connection write nothing.
    emu_log_clear();
    dev->setVthValue(std::nan(""), 0);
    dev->setVthValue(1.0, 2);
    dev->setVthValue(1.0, -1);
    dev->devDisconnect();
    dev->setVthValue(volts, group);
    QCOMPARE(emu_log_count(), 0);
}

void TstDevRegisters::thresholdRestore()
{
    auto dev = connected(3);
    QVERIFY(dev);
    dev->restoreVthValue();
    QCOMPARE(regWrites(0x64), QVector<QByteArray>{hex("6D 02 F2 00")});
    QVERIFY(regWrites(0x68).isEmpty());

    Config::saveDeviceParam(QStringLiteral("VX6143"), QStringLiteral("chnVth"), QStringLiteral("3.3"));
    Config::saveDeviceParam(QStringLiteral("VX6143"), QStringLiteral("chnVth2"), QStringLiteral("1.8"));
    auto wide = connected(9);
    QVERIFY(wide);
    wide->restoreVthValue();
    QCOMPARE(regWrites(0x64), QVector<QByteArray>{hex("7C 02 00 00")});
    QCOMPARE(regWrites(0x68), QVector<QByteArray>{hex("9A 02 F2 00")});
}

// ---------------------------------------------------------------- PWM

void TstDevRegisters::pwm()
{
    auto dev = connected(4);   // PWM clock fixed at 250 MHz
    QVERIFY(dev);
    dev->setPWMValue(0, 1000, 50);
    QCOMPARE(regWrites(0x70), QVector<QByteArray>{hex("90 D0 03 00 | 48 E8 01 00")});
    double f, d;
    dev->getPWMValue(0, &f, &d);
    QCOMPARE(f, 1000.0);
    QCOMPARE(d, 50.0);

    // The produced values follow from the whole counts.
    dev->setPWMValue(1, 3e6, 30);
    QCOMPARE(regWrites(0x78), QVector<QByteArray>{hex("53 00 00 00 | 19 00 00 00")});
    dev->getPWMValue(1, &f, &d);
    QCOMPARE(f, 250e6 / 83);
    QCOMPARE(d, 25.0 / 83 * 100);

    dev->setPWMEnable(true, true);
    dev->setPWMEnable(false, true);
    QCOMPARE(regWrites(0x02), (QVector<QByteArray>{hex("03"), hex("02")}));
}

void TstDevRegisters::pwmLimits()
{
    // A 65535 MHz counter at 0.1 Hz needs more than 32 bits: clamped.
    auto dev = connected(3, 200, 65535);
    QVERIFY(dev);
    dev->setPWMValue(0, 0.1, 50);
    QCOMPARE(regWrites(0x70), QVector<QByteArray>{hex("FF FF FF FF | FF FF FF FF")});
    double f, d;
    dev->getPWMValue(0, &f, &d);
    QCOMPARE(f, 65535e6 / 4294967295.0);
    QCOMPARE(d, 100.0);

    // Full duty never exceeds the period.
    emu_log_clear();
    dev->setPWMValue(1, 7e6, 100);
    const QByteArray w = lastReg(0x78);
    QCOMPARE(w.size(), 8);
    QCOMPARE(w.left(4), w.mid(4));

    // No counter clock: nothing is programmed, the request is kept.
    auto noClock = connected(3, 200, 0);
    QVERIFY(noClock);
    noClock->setPWMValue(0, 1234, 40);
    QVERIFY(regWrites(0x70).isEmpty());
    noClock->getPWMValue(0, &f, &d);
    QCOMPARE(f, 1234.0);
    QCOMPARE(d, 40.0);
}

void TstDevRegisters::pwmRestore_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QByteArray>("out0");
    QTest::addColumn<QByteArray>("out1");
    QTest::addColumn<QByteArray>("ena");
    QTest::newRow("normal") << "" << hex("90 D0 03 00 | 48 E8 01 00") << hex("C4 09 00 00 | E2 04 00 00")
                            << hex("01");
    QTest::newRow("access code") << "52p64w81m93" << hex("40 59 73 07 | A0 AC B9 03")
                                 << hex("40 59 73 07 | A0 AC B9 03") << hex("03");
}

void TstDevRegisters::pwmRestore()
{
    QFETCH(QString, code);
    QFETCH(QByteArray, out0);
    QFETCH(QByteArray, out1);
    QFETCH(QByteArray, ena);
    Config::saveGlobalParam(QStringLiteral("extparam"), code);
    auto dev = connected(4);
    QVERIFY(dev);
    dev->restorePWMValue();
    // Outputs off first, programmed, then switched on.
    QCOMPARE(regWrites(0x02), (QVector<QByteArray>{hex("00"), ena}));
    QCOMPARE(regWrites(0x70), QVector<QByteArray>{out0});
    QCOMPARE(regWrites(0x78), QVector<QByteArray>{out1});
    const QVector<int> order = requestOrder();
    QCOMPARE(order.size(), 4);
}

// ---------------------------------------------------------------- reads

void TstDevRegisters::memoryWindow()
{
    auto dev = connected(3);
    QVERIFY(dev);
    QCOMPARE(dev->reqMemReadStart(0x1234, 0x100), 0);
    QCOMPARE(requestOrder(), (QVector<int>{0x38, 0x20, 0x30}));
    QCOMPARE(regWrites(0x08), QVector<QByteArray>{hex("34 12 00 00 | 00 01 00 00")});

    // A failed window write starts no read-out.
    emu_log_clear();
    emu_fail_control(0, 0x20, 0x08, 0, 1, LIBUSB_ERROR_PIPE);
    QCOMPARE(dev->reqMemReadStart(0, 16), 2);
    QVERIFY(!requestOrder().contains(0x30));

    emu_log_clear();
    QCOMPARE(dev->reqSmpStart(), 0);
    QCOMPARE(dev->reqSmpStop(), 0);
    QCOMPARE(dev->reqAutoBulkReadPrepare(), 0);
    QCOMPARE(dev->reqAutoBulkRead(), 0);
    QCOMPARE(regWrites(0x00), (QVector<QByteArray>{hex("03"), hex("00")}));
    QCOMPARE(requestOrder(), (QVector<int>{0x20, 0x20, 0x38, 0x30}));
}

void TstDevRegisters::liveLevels()
{
    auto dev = connected(3);
    QVERIFY(dev);
    const unsigned char live[4] = {0x05, 0x80, 0xFF, 0x01};
    emu_set_live_levels(live, 4);
    bool level[16];
    bool second[16];
    QCOMPARE(dev->getDChnSta(level, second), 0);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(level[i], i == 0 || i == 2 || i == 15);
        QCOMPARE(second[i], i <= 8);
    }

    auto wide = connected(9);
    QVERIFY(wide);
    const unsigned char live32[8] = {0, 0, 0, 0x80, 0x01, 0, 0, 0};
    emu_set_live_levels(live32, 8);
    bool l32[32];
    bool s32[32];
    QCOMPARE(wide->getDChnSta(l32, s32), 0);
    for (int i = 0; i < 32; ++i) {
        QCOMPARE(l32[i], i == 31);
        QCOMPARE(s32[i], i == 0);
    }
    emu_log_clear();
    QCOMPARE(wide->getDChnSta(l32, s32), 0);
    emu_log_entry e;
    QVERIFY(emu_log_get(0, &e));
    QCOMPARE(int(e.value), 0x04);
    QCOMPARE(e.length, 8);
}

void TstDevRegisters::bulkCallback()
{
    auto dev = make(3);
    QVERIFY(ds->devCallback);
    QCOMPARE(ds->devCallback.load(), dynamic_cast<InterfaceDevCallback*>(dev->smpWorker(SmpWorkerNormal)));
    dev->setSmpMode(SmpModeStream);
    QCOMPARE(ds->devCallback.load(), dynamic_cast<InterfaceDevCallback*>(dev->smpWorker(SmpWorkerStream)));
    // The transport must not keep a callback into a deleted device object.
    dev.reset();
    QCOMPARE(ds->devCallback.load(), static_cast<InterfaceDevCallback*>(nullptr));
}

void TstDevRegisters::autoReadBuf()
{
    // The transport sizes its buffers from the data rate in bits per second.
    auto expected = [](long long bits) {
        DevSupport ref;
        ref.setAutoReadBufSize(bits);
        return ref.bulkSize.load();
    };
    Config::saveDeviceParam(QStringLiteral("Demo"), QStringLiteral("smpMode"), QStringLiteral("1"));
    auto dev = make(0);
    QCOMPARE(dev->getSmpFrequ(), 10000000LL);
    QVector<bool> ena(16, false);
    ena[0] = ena[1] = ena[2] = true;
    dev->setDChnEna(ena);
    QCOMPARE(ds->bulkSize.load(), expected(10000000LL * 3));
    QVERIFY(dev->setSmpFrequ(0));
    QCOMPARE(ds->bulkSize.load(), expected(100000000LL * 3));

    // The 8-channel model streams bytes: eight bits a sample, whatever is enabled.
    auto small = connected(1, 48, 0);
    QVERIFY(small);
    QVector<bool> one(8, false);
    one[0] = true;
    small->setDChnEna(one);
    QCOMPARE(small->getSmpFrequ(), 12000000LL);
    QCOMPARE(ds->bulkSize.load(), expected(12000000LL * 8));
    QVERIFY(expected(12000000LL * 8) != expected(12000000LL));

    // Buffer mode leaves the transport alone.
    auto buf = make(3);
    const int before = ds->bulkSize;
    QVERIFY(buf->setSmpFrequ(5));
    QCOMPARE(ds->bulkSize.load(), before);
}

QTEST_GUILESS_MAIN(TstDevRegisters)
#include "tst_devregisters.moc"
