// The mixed-signal model against the instrument emulator: analog settings and
// their keys, register words, and the calibration record in the EEPROM.
#include "devobj/devtesthelp.h"
#include "scope/dev7329help.h"
#include "usbemu.h"
#include "common/queuedspy.h"

#include "device/dev7329.h"
#include "device/smpctrlfactory.h"
#include "device/smpdataosc.h"
#include "device/smpsimulate.h"

#include <libusb.h>

#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

using devtest::FakeWorker;
using osctest::connectedDev;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// OUT control requests in log order: request, value and data.
struct Ctl {
    int request;
    int value;
    QByteArray data;
};

QVector<Ctl> outControls()
{
    QVector<Ctl> out;
    const int n = emu_log_count();
    for (int i = 0; i < n; ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && !(e.request_type & 0x80))
            out.append({e.request, e.value, QByteArray(reinterpret_cast<const char*>(e.data), e.data_len)});
    }
    return out;
}

QVector<QByteArray> regWrites(int reg)
{
    QVector<QByteArray> out;
    for (const Ctl& c : outControls())
        if (c.request == 0x20 && c.value == reg)
            out.append(c.data);
    return out;
}

QByteArray eeprom(int addr)
{
    QByteArray b(Dev7329::CalibRecordSize, '\0');
    emu_eeprom_read(addr, reinterpret_cast<unsigned char*>(b.data()), b.size());
    return b;
}

void putEeprom(int addr, const QByteArray& rec)
{
    emu_eeprom_write(addr, reinterpret_cast<const unsigned char*>(rec.constData()), rec.size());
}

// A record built byte by byte from the documented layout.
QByteArray layoutRecord(const QVector<int>& zero0, const QVector<int>& zero1, int oslope0, int oslope1,
                        int zd0, int zd1, int zs0, int zs1, int slope0, int slope1, int gainBase)
{
    QByteArray r;
    auto b = [&r](int v) { r.append(char(v & 0xFF)); };
    auto w = [&r](int v) {
        r.append(char(v & 0xFF));
        r.append(char((v >> 8) & 0xFF));
    };
    for (int v : zero0)
        b(v);
    for (int v : zero1)
        b(v);
    w(oslope0);
    w(oslope1);
    b(zd0);
    b(zd1);
    b(zs0);
    b(zs1);
    w(slope0);
    w(slope1);
    for (int i = 0; i < 7; ++i) {
        w(gainBase + i);
        w(-gainBase - i);
    }
    int sum = 0;
    for (char c : r)
        sum += uchar(c);
    w(~sum & 0xFFFF);
    return r;
}

void store(const char* key, const char* value)
{
    Config::saveDeviceParam(QStringLiteral("VQ7329"), QString::fromLatin1(key), QString::fromLatin1(value));
}

QString stored(const char* key)
{
    return Config::readDeviceParam(QStringLiteral("VQ7329"), QString::fromLatin1(key));
}

} // namespace

Q_DECLARE_METATYPE(QVector<int>)

class TstDev7329 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void construction();
    void workModes();
    void voltDivLabels_data();
    void voltDivLabels();
    void loadClampsStoredValues_data();
    void loadClampsStoredValues();
    void settersRefuseBadArguments();
    void settersStoreAndSave();
    void notConnectedWritesNothing();
    void offsetWordExample();
    void checkWord();
    void connectionRegisters();
    void calibrationFromEeprom_data();
    void calibrationFromEeprom();
    void saveCalibrationToBothCopies();
    void saveCalibrationFailure_data();
    void saveCalibrationFailure();
    void settingChangesWhileConnected();
    void triggerLevelPair_data();
    void triggerLevelPair();
    void convertRecordThroughDevice();
    void bufferCaptureOfAnalogRecord();
    void bufferRunOnSamplingThread();
    void demoCaptureThroughDevice();
    void demoPulseMeasured();

private:
    DevSupport* ds = nullptr;
};

void TstDev7329::init()
{
    ds = devtest::openEmulated();
    QVERIFY(ds);
}

void TstDev7329::cleanup()
{
    devtest::closeEmulated(ds);
}

void TstDev7329::construction()
{
    store("chnEnable", "1,1,1,1");
    Dev7329 d;
    QCOMPARE(int(d.devModel), 49);
    QCOMPARE(d.devName, QStringLiteral("VQ7329"));
    QCOMPARE(d.memSize, 40960);
    QCOMPARE(d.devFunctions, (QVector<int>{1, 2}));
    QCOMPARE(int(d.workMode), 1);
    QCOMPARE(d.smpMode, 0);
    QVERIFY(!d.isSmpModeSelectable());
    QCOMPARE(d.dChnEna, QVector<bool>(16, false));
    QCOMPARE(d.aChnEna, QVector<bool>(2, true));
    QVERIFY(d.displayedSmpDataOsc() && d.fillingSmpDataOsc());
    QCOMPARE(d.displayedSmpDataOsc()->chnNum, 2);
    QCOMPARE(d.smpFrequList.size(), 19);
    QCOMPARE(d.smpFrequList.first(), 100000000LL);
    QCOMPARE(d.smpFrequList.last(), 100LL);
    QCOMPARE(d.smpDepthList, QVector<qint64>{10000});
    QCOMPARE(d.timeDivList.size(), 27);
    QCOMPARE(d.timeDivList[0], 10LL);
    QCOMPARE(d.timeDivList[9], 10000LL);
    QCOMPARE(d.timeDivList[26], 5000000000LL);
    QCOMPARE(d.voltDivList, (QVector<int>{20, 50, 100, 200, 500, 1000, 2000}));
    QCOMPARE(d.halfScreenCodeList, (QVector<int>{320, 480, 480, 480, 480, 480, 480}));
    QCOMPARE(d.aVoltDivIndex, (QVector<int>{5, 5}));
    QCOMPARE(d.timeDivIndex, 9);
    QCOMPARE(d.aTrgPercent, 500);
    QCOMPARE(d.aTrgType, 3);
    QCOMPARE(d.aMathScale, QVector<int>(6, 200));
    // Calibration defaults.
    QCOMPARE(d.calibData.slope[0], 1000);
    QCOMPARE(d.calibData.slope[1], 1000);
    QCOMPARE(d.calibData.slope[2], 0);
    QCOMPARE(d.offsetSlope[1], 1241);
    QCOMPARE(d.offsetZero[0], (QVector<int>{0, 0, 0}));
    QCOMPARE(d.gainTable[1], (QVector<int>{586, 448, 261, 75, -173, -359, -546}));
    // Nothing reaches the instrument before a connection.
    QCOMPARE(outControls().size(), 0);
}

void TstDev7329::workModes()
{
    Dev7329 d;
    QSignalSpy modeSpy(&d, &DevBase::sigSmpModeChanged);
    d.setWorkMode(WorkModeLogic);
    QCOMPARE(int(d.workMode), 0);
    QCOMPARE(d.smpMode, 1);
    QCOMPARE(d.smpDepthList.size(), 18);
    QCOMPARE(d.smpFrequList.first(), 100000000LL);
    QCOMPARE(modeSpy.count(), 1);
    d.setWorkMode(WorkModeOsc);
    QCOMPARE(d.smpMode, 0);
    QCOMPARE(d.smpDepthList, QVector<qint64>{10000});
    QCOMPARE(d.smpFrequList.size(), 19);
    QCOMPARE(modeSpy.count(), 2);
}

void TstDev7329::voltDivLabels_data()
{
    QTest::addColumn<int>("probe");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("1X") << 1 << QStringList{"20mV", "50mV", "100mV", "200mV", "500mV", "1V", "2V"};
    QTest::newRow("10X") << 10 << QStringList{"200mV", "500mV", "1V", "2V", "5V", "10V", "20V"};
}

void TstDev7329::voltDivLabels()
{
    QFETCH(int, probe);
    Dev7329 d;
    d.setAProbeRate(1, probe);
    QTEST(d.getVoltDivStringList(1), "labels");
    QCOMPARE(d.getVoltDivStringList(0)[0], QStringLiteral("20mV"));
    QCOMPARE(d.getATimeDivStringList()[6], QStringLiteral("1000"));
}

void TstDev7329::loadClampsStoredValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("member");
    QTest::addColumn<QVector<int>>("expected");
    QTest::newRow("offsets beyond +-500") << "AChnOffset" << "700,-900" << "offset" << QVector<int>{500, -500};
    QTest::newRow("offsets kept") << "AChnOffset" << "-499,3" << "offset" << QVector<int>{-499, 3};
    QTest::newRow("trigger position 1200") << "ATrgPercent" << "1200" << "percent" << QVector<int>{1000};
    QTest::newRow("trigger position -5") << "ATrgPercent" << "-5" << "percent" << QVector<int>{0};
    QTest::newRow("time/div 27") << "TimeDivIndex" << "27" << "timediv" << QVector<int>{9};
    QTest::newRow("time/div -1") << "TimeDivIndex" << "-1" << "timediv" << QVector<int>{9};
    QTest::newRow("time/div 26") << "TimeDivIndex" << "26" << "timediv" << QVector<int>{26};
    QTest::newRow("volts/div out of list") << "AVoltDivIndex" << "7,-1" << "voltdiv" << QVector<int>{5, 5};
    QTest::newRow("volts/div kept") << "AVoltDivIndex" << "0,6" << "voltdiv" << QVector<int>{0, 6};
    QTest::newRow("trigger channel 5") << "ATrigChn" << "5" << "trgchn" << QVector<int>{0};
    QTest::newRow("trigger channel empty") << "ATrigChn" << "" << "trgchn" << QVector<int>{0};
    QTest::newRow("trigger channel 1") << "ATrigChn" << "1" << "trgchn" << QVector<int>{1};
    QTest::newRow("probe 3") << "AProbeRate" << "3,10" << "probe" << QVector<int>{1, 10};
    QTest::newRow("coupling 2") << "ACoupling" << "2,1" << "coupling" << QVector<int>{0, 1};
    QTest::newRow("trigger type 7") << "ATrigType" << "7" << "trgtype" << QVector<int>{3};
    QTest::newRow("trigger type 4") << "ATrigType" << "4" << "trgtype" << QVector<int>{4};
    QTest::newRow("math slot with one part") << "AMathOperator3" << "500" << "math3" << QVector<int>{200, 0};
    QTest::newRow("math slot with two parts") << "AMathOperator3" << "100,-50" << "math3" << QVector<int>{100, -50};
    QTest::newRow("math slot with a zero scale") << "AMathOperator3" << "0,10" << "math3" << QVector<int>{200, 0};
    QTest::newRow("math slot with text") << "AMathOperator3" << "x,y" << "math3" << QVector<int>{200, 0};
    QTest::newRow("trigger levels not numbers") << "ATrigVolt" << "nan,inf" << "trgvolt" << QVector<int>{0, 0};
    QTest::newRow("trigger levels") << "ATrigVolt" << "-12.5,300" << "trgvolt" << QVector<int>{-12, 300};
}

void TstDev7329::loadClampsStoredValues()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(QString, member);
    QFETCH(QVector<int>, expected);
    Config::saveDeviceParam(QStringLiteral("VQ7329"), key, text);
    Dev7329 d;
    const QMap<QString, std::function<QVector<int>()>> get{
        {"offset", [&] { return d.aChnOffset; }},
        {"percent", [&] { return QVector<int>{d.aTrgPercent}; }},
        {"timediv", [&] { return QVector<int>{d.timeDivIndex}; }},
        {"voltdiv", [&] { return d.aVoltDivIndex; }},
        {"trgchn", [&] { return QVector<int>{d.aTrgChn}; }},
        {"probe", [&] { return d.aProbeRate; }},
        {"coupling", [&] { return d.aCoupling; }},
        {"trgtype", [&] { return QVector<int>{d.aTrgType}; }},
        {"math3", [&] { return QVector<int>{d.aMathScale[3], d.aMathOffset[3]}; }},
        {"trgvolt", [&] { return QVector<int>{int(d.aTrgVolt[0]), int(d.aTrgVolt[1])}; }},
    };
    QCOMPARE(get[member](), expected);
    QVERIFY(!d.aMathEna);
    QCOMPARE(d.aMathOperator, 0);
}

void TstDev7329::settersRefuseBadArguments()
{
    Dev7329 d;
    QVERIFY(!d.setATrgPercent(1001));
    QVERIFY(!d.setATrgPercent(-1));
    QCOMPARE(d.aTrgPercent, 500);
    QVERIFY(!d.setATrgChn(2));
    QVERIFY(!d.setATrgChn(-1));
    QVERIFY(!d.setAVoltDivValue(0, 30));
    QVERIFY(!d.setATimeDivValue(3000));
    d.setAVoltDivIndex(0, 7);
    d.setAVoltDivIndex(0, -1);
    d.setAVoltDivIndex(2, 1);
    QCOMPARE(d.aVoltDivIndex, (QVector<int>{5, 5}));
    d.setATimeDivIndex(27);
    d.setATimeDivIndex(-1);
    QCOMPARE(d.timeDivIndex, 9);
    d.setAProbeRate(0, 5);
    d.setAProbeRate(3, 10);
    QCOMPARE(d.aProbeRate, (QVector<int>{1, 1}));
    d.setACoupling(0, 2);
    d.setACoupling(-1, 1);
    QCOMPARE(d.aCoupling, (QVector<int>{0, 0}));
    d.setATrgType(0);
    d.setATrgType(5);
    QCOMPARE(d.aTrgType, 3);
    d.setATrgVolt(2, 5.0);
    d.setATrgVolt(0, std::nan(""));
    QCOMPARE(d.aTrgVolt, (QVector<double>{0.0, 0.0}));
    d.setAChnOffset(5, 100);
    d.setAChnOffset(1, 900);
    QCOMPARE(d.aChnOffset, (QVector<int>{0, 500}));
    // Nothing refused was saved.
    QCOMPARE(stored("ATrgPercent"), QString());
    QCOMPARE(stored("AVoltDivIndex"), QString());
    QCOMPARE(stored("TimeDivIndex"), QString());
}

void TstDev7329::settersStoreAndSave()
{
    Dev7329 d;
    QSignalSpy hor(&d, &DevBase::sigATrgHorChanged);
    QSignalSpy ena(&d, &DevBase::sigAChnEnaChanged);
    QVERIFY(d.setATrgPercent(250));
    QVERIFY(d.setATrgPercent(250));
    QCOMPARE(hor.count(), 1);
    QCOMPARE(stored("ATrgPercent"), QStringLiteral("250"));
    QVERIFY(d.setAVoltDivValue(1, 200));
    QCOMPARE(d.aVoltDivIndex[1], 3);
    QCOMPARE(d.getAVoltDivValue(1), 200);
    QCOMPARE(stored("AVoltDivIndex"), QStringLiteral("5,3"));
    QVERIFY(d.setATimeDivValue(5000));
    QCOMPARE(d.timeDivIndex, 8);
    QCOMPARE(stored("TimeDivIndex"), QStringLiteral("8"));
    d.setATrgVolt(1, -12.5);
    QCOMPARE(stored("ATrigVolt"), QStringLiteral("0,-12.5"));
    QVERIFY(d.setATrgChn(1));
    QCOMPARE(stored("ATrigChn"), QStringLiteral("1"));
    d.setATrgType(4);
    QCOMPARE(stored("ATrigType"), QStringLiteral("4"));
    d.setAChnOffset(0, -120);
    QCOMPARE(stored("AChnOffset"), QStringLiteral("-120,0"));
    d.setACoupling(1, 1);
    QCOMPARE(stored("ACoupling"), QStringLiteral("0,1"));
    d.setAProbeRate(0, 10);
    QCOMPARE(stored("AProbeRate"), QStringLiteral("10,1"));
    d.setAChnEna(QVector<bool>{false, true});
    QCOMPARE(ena.count(), 1);
    QCOMPARE(stored("AChnEnable"), QStringLiteral("0,1"));
    d.aMathOperator = 2;
    d.aMathScale[2] = 500;
    d.aMathOffset[2] = -40;
    d.saveAMathSet();
    QCOMPARE(stored("AMathOperator2"), QStringLiteral("500,-40"));

    // Auto-scale keeps and restores the time base and trigger position.
    d.saveSmpCtrlSet();
    d.setATimeDivIndex(20);
    QVERIFY(d.setATrgPercent(900));
    d.resetAutoScaleSet();
    QCOMPARE(d.timeDivIndex, 8);
    QCOMPARE(d.aTrgPercent, 250);
    QCOMPARE(stored("TimeDivIndex"), QStringLiteral("8"));
    QCOMPARE(stored("ATrgPercent"), QStringLiteral("250"));

    // A new object of the model reads what was saved.
    Dev7329 again;
    QCOMPARE(again.aVoltDivIndex, (QVector<int>{5, 3}));
    QCOMPARE(again.aChnOffset, (QVector<int>{-120, 0}));
    QCOMPARE(again.aChnEna, (QVector<bool>{false, true}));
    QCOMPARE(again.aTrgVolt[1], -12.5);
    QCOMPARE(again.aMathScale[2], 500);
}

void TstDev7329::notConnectedWritesNothing()
{
    Dev7329 d;
    d.setAVoltDivIndex(0, 2);
    d.setACoupling(0, 1);
    d.setAChnOffset(1, 30);
    d.setAChnEna(QVector<bool>{true, false});
    QCOMPARE(outControls().size(), 0);
    QCOMPARE(d.aVoltDivIndex[0], 2);
}

void TstDev7329::offsetWordExample()
{
    Dev7329 d;
    d.offsetSlope[0] = 1241;
    d.offsetZero[0] = {9, 8, 3};
    d.setAChnOffset(0, 250);
    QCOMPARE(d.aVoltDivIndex[0], 5);
    QCOMPARE(d.offsetWord(0), 300);   // trunc(0.25 x 480 / 500 x 1241) + 3
    d.setAVoltDivIndex(0, 0);         // 20 mV: 320 codes, zero row 0
    QCOMPARE(d.offsetWord(0), 198 + 9);
    d.setAChnOffset(0, -250);
    QCOMPARE(d.offsetWord(0), -198 + 9);   // truncated toward zero
}

void TstDev7329::checkWord()
{
    // 46 data bytes summing to 0x1234 carry the check word 0xEDCB.
    QByteArray rec(46, '\0');
    int left = 0x1234;
    for (int i = 0; i < 46 && left > 0; ++i) {
        const int b = qMin(left, 0xFF);
        rec[i] = char(b);
        left -= b;
    }
    QCOMPARE(Dev7329::getCheckSum(reinterpret_cast<const uchar*>(rec.constData()), 46), 0x1234u);
    QCOMPARE(Dev7329::getCheckSum(nullptr, 0), 0u);
    QByteArray good = rec + hex("CB ED");
    QVERIFY(Dev7329::isCalibRecordValid(reinterpret_cast<const uchar*>(good.constData()), good.size()));
    QByteArray bad = rec + hex("CC ED");
    QVERIFY(!Dev7329::isCalibRecordValid(reinterpret_cast<const uchar*>(bad.constData()), bad.size()));
    QVERIFY(!Dev7329::isCalibRecordValid(reinterpret_cast<const uchar*>(good.constData()), 47));
    // An erased EEPROM is not a record.
    const QByteArray erased(48, char(0xFF));
    QVERIFY(!Dev7329::isCalibRecordValid(reinterpret_cast<const uchar*>(erased.constData()), 48));

    // The device builds the record in the documented layout.
    Dev7329 d;
    d.offsetZero[0] = {-1, 2, 3};
    d.offsetZero[1] = {4, -5, 6};
    d.offsetSlope[0] = 1241;
    d.offsetSlope[1] = -2;
    d.calibData.zeroDual[0] = -7;
    d.calibData.zeroDual[1] = 8;
    d.calibData.zeroSingle[0] = 9;
    d.calibData.zeroSingle[1] = -10;
    d.calibData.slope[0] = 1013;
    d.calibData.slope[1] = 987;
    for (int i = 0; i < 7; ++i) {
        d.gainTable[0][i] = 100 + i;
        d.gainTable[1][i] = -100 - i;
    }
    QCOMPARE(d.calibRecord(), layoutRecord({-1, 2, 3}, {4, -5, 6}, 1241, -2, -7, 8, 9, -10, 1013, 987, 100));
}

void TstDev7329::connectionRegisters()
{
    store("AChnOffset", "250,0");
    store("ACoupling", "0,1");
    store("AChnEnable", "0,1");
    putEeprom(0x40, layoutRecord({0, 0, 3}, {1, 2, -4}, 1241, 1241, 0, 0, 0, 0, 1000, 1000, 100));
    auto dev = connectedDev(200);
    QVERIFY(dev);
    QVERIFY(dev->isConnected);
    QCOMPARE(dev->smpClock, 100000000LL);   // halved
    // Offset words, coupling, gains, enables: in this order, after the base connection.
    QVector<Ctl> writes;
    for (const Ctl& c : outControls())
        if (c.request == 0x20 && (c.value == 0x48 || c.value == 0x3F || c.value == 0x40 || c.value == 0x3E))
            writes.append(c);
    QCOMPARE(writes.size(), 4);
    QCOMPARE(writes[0].value, 0x48);
    QCOMPARE(writes[0].data, hex("2C01 FCFF"));   // 300 and -4
    QCOMPARE(writes[1].value, 0x3F);
    QCOMPARE(writes[1].data, hex("02"));
    QCOMPARE(writes[2].value, 0x40);
    QCOMPARE(writes[2].data, hex("6900 97FF"));   // step 5: 105 and -105
    QCOMPARE(writes[3].value, 0x3E);
    QCOMPARE(writes[3].data, hex("02"));
}

void TstDev7329::calibrationFromEeprom_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<int>("slope0");
    QTest::addColumn<int>("zeroDual1");
    QTest::addColumn<int>("gain0step6");
    const QByteArray a = layoutRecord({1, 2, 3}, {4, 5, 6}, 1200, 1300, -3, 4, 5, -6, 1011, 989, 50);
    const QByteArray b = layoutRecord({0, 0, 0}, {0, 0, 0}, 1241, 1241, 7, -8, 0, 0, 990, 1005, 70);
    QByteArray broken = a;
    broken[20] = char(broken[20] + 1);
    const QByteArray erased(48, char(0xFF));
    const QByteArray zeroSlope = layoutRecord({0, 0, 0}, {0, 0, 0}, 1241, 1241, 0, 0, 0, 0, 0, -5, 0);
    QTest::newRow("first copy") << a << b << 1011 << 4 << 56;
    QTest::newRow("first damaged, second") << broken << b << 990 << -8 << 76;
    QTest::newRow("both erased: defaults") << erased << erased << 1000 << 0 << -546;
    QTest::newRow("both damaged: defaults") << broken << broken << 1000 << 0 << -546;
    QTest::newRow("slopes 0 and -5 fall back") << zeroSlope << erased << 1000 << 0 << 6;
}

void TstDev7329::calibrationFromEeprom()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    putEeprom(0x40, first);
    putEeprom(0xA0, second);
    auto dev = connectedDev();
    QVERIFY(dev);
    QTEST(dev->calibData.slope[0], "slope0");
    QTEST(dev->calibData.zeroDual[1], "zeroDual1");
    QTEST(dev->gainTable[0][6], "gain0step6");
    QVERIFY(dev->calibData.slope[1] > 0);
}

void TstDev7329::saveCalibrationFailure_data()
{
    QTest::addColumn<int>("address");   // EEPROM copy whose write fails; -1: the device is gone
    QTest::addColumn<int>("result");    // < 0 a libusb error, else bytes accepted
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("firstNew");
    QTest::addColumn<bool>("secondNew");
    QTest::newRow("first copy refused") << 0x40 << int(LIBUSB_ERROR_PIPE) << 2 << false << false;
    QTest::newRow("first copy short") << 0x40 << 20 << 2 << false << false;
    QTest::newRow("second copy refused") << 0xA0 << int(LIBUSB_ERROR_IO) << 2 << true << false;
    QTest::newRow("device gone") << -1 << 0 << 1 << false << false;
}

void TstDev7329::saveCalibrationFailure()
{
    QFETCH(int, address);
    QFETCH(int, result);
    QFETCH(int, code);
    QFETCH(bool, firstNew);
    QFETCH(bool, secondNew);
    auto dev = connectedDev();
    QVERIFY(dev);
    QCOMPARE(dev->saveCalibParam(), 0);
    const QByteArray old = dev->calibRecord();
    dev->gainTable[0][2] = 123;
    dev->calibData.zeroDual[0] = -9;
    const QByteArray now = dev->calibRecord();
    QVERIFY(now != old);
    if (address < 0) {
        emu_unplug();
        QCOMPARE(devSupport->devRetrieve(), -1);
    } else {
        emu_fail_control(0, 0xA2, address, 0, 1, result);
    }
    // A write that did not arrive is reported, never taken for success.
    QCOMPARE(dev->saveCalibParam(), code);
    QCOMPARE(eeprom(0xA0), secondNew ? now : old);
    if (result >= 0 && address == 0x40)
        QVERIFY(eeprom(0x40) != now);
    else
        QCOMPARE(eeprom(0x40), firstNew ? now : old);
    // Whatever failed, one valid record stays for the next connection.
    const QByteArray second = eeprom(0xA0);
    QVERIFY(Dev7329::isCalibRecordValid(reinterpret_cast<const uchar*>(second.constData()), second.size()));
}

void TstDev7329::saveCalibrationToBothCopies()
{
    auto dev = connectedDev();
    QVERIFY(dev);
    dev->offsetZero[1] = {-3, -2, -1};
    dev->calibData.zeroSingle[1] = 12;
    dev->calibData.slope[1] = 1021;
    dev->gainTable[1][3] = 77;
    emu_log_clear();
    QCOMPARE(dev->saveCalibParam(), 0);
    const QByteArray rec = dev->calibRecord();
    QCOMPARE(eeprom(0x40), rec);
    QCOMPARE(eeprom(0xA0), rec);
    // Two writes of request 0xA2, first copy first, and no read-back.
    const QVector<Ctl> c = outControls();
    QCOMPARE(c.size(), 2);
    QCOMPARE(c[0].request, 0xA2);
    QCOMPARE(c[0].value, 0x40);
    QCOMPARE(c[1].value, 0xA0);
    QCOMPARE(emu_log_count(), 2);
    QCOMPARE(rec.mid(3, 3), hex("FD FE FF"));
    QCOMPARE(rec.mid(16, 2), hex("FD 03"));

    // A slope of 0 or less is never written: unity takes its place.
    dev->calibData.slope[0] = 0;
    dev->calibData.slope[1] = -3;
    dev->saveCalibParam();
    QCOMPARE(dev->calibData.slope[0], 1000);
    QCOMPARE(dev->calibData.slope[1], 1000);
    QCOMPARE(eeprom(0xA0).mid(14, 4), hex("E803 E803"));
    dev->calibData.slope[1] = 1021;
    dev->saveCalibParam();

    // A device connecting later reads the block back.
    auto again = connectedDev();
    QVERIFY(again);
    QCOMPARE(again->offsetZero[1], (QVector<int>{-3, -2, -1}));
    QCOMPARE(again->calibData.zeroSingle[1], 12);
    QCOMPARE(again->calibData.slope[1], 1021);
    QCOMPARE(again->gainTable[1][3], 77);

    // With the first copy damaged the second one serves.
    QByteArray broken = eeprom(0x40);
    broken[0] = char(broken[0] ^ 0x10);
    putEeprom(0x40, broken);
    auto third = connectedDev();
    QVERIFY(third);
    QCOMPARE(third->gainTable[1][3], 77);
}

void TstDev7329::settingChangesWhileConnected()
{
    auto dev = connectedDev();
    QVERIFY(dev);
    emu_log_clear();
    // The same volts/div writes nothing.
    dev->setAVoltDivIndex(0, 5);
    QCOMPARE(outControls().size(), 0);
    dev->setAVoltDivIndex(0, 0);
    QVector<Ctl> c = outControls();
    QCOMPARE(c.size(), 2);
    QCOMPARE(c[0].value, 0x40);
    QCOMPARE(c[0].data, hex("4A02 99FE"));   // 586, -359
    QCOMPARE(c[1].value, 0x48);
    emu_log_clear();
    dev->setACoupling(0, 1);
    QCOMPARE(regWrites(0x3F), QVector<QByteArray>{hex("01")});
    dev->setAChnEna(QVector<bool>{false, false});
    QCOMPARE(regWrites(0x3E), QVector<QByteArray>{hex("00")});
    dev->setAProbeRate(0, 10);
    dev->setATrgType(4);
    QCOMPARE(outControls().size(), 2);   // no register for these
}

void TstDev7329::triggerLevelPair_data()
{
    QTest::addColumn<double>("level");   // mV on channel 0 at 1 V/div
    QTest::addColumn<int>("zd0");
    QTest::addColumn<int>("zd1");
    QTest::addColumn<int>("slope0");
    QTest::addColumn<QByteArray>("pair");
    // 1000 mV: 1 division, 96 codes; a = 96 - zd0, then /4 rounded up from a remainder of 2.
    QTest::newRow("exact quarter") << 1000.0 << 0 << 0 << 1000 << hex("18 18");
    QTest::newRow("remainder 1 stays") << 1000.0 << -1 << 0 << 1000 << hex("18 18");
    QTest::newRow("remainder 2 rounds up") << 1000.0 << -2 << -3 << 1000 << hex("19 19");
    QTest::newRow("negative remainder") << -1000.0 << 2 << 0 << 1000 << hex("E8 E8");
    QTest::newRow("clamped to 127") << 6000.0 << 0 << 0 << 1000 << hex("7F 7F");
    QTest::newRow("clamped to -127") << -6000.0 << 0 << 0 << 1000 << hex("81 81");
    QTest::newRow("slope 0 read as unity") << 1000.0 << 0 << 0 << 0 << hex("18 18");
}

void TstDev7329::triggerLevelPair()
{
    QFETCH(double, level);
    QFETCH(int, zd0);
    QFETCH(int, zd1);
    QFETCH(int, slope0);
    putEeprom(0x40, layoutRecord({0, 0, 0}, {0, 0, 0}, 1241, 1241, zd0, zd1, 0, 0, slope0, 1000, 0));
    auto dev = connectedDev();
    QVERIFY(dev);
    dev->setATrgVolt(0, level);
    QVERIFY(dev->setATrgChn(0));
    emu_log_clear();
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(regWrites(0x30), QVector<QByteArray>{hex("00 03")});
    QTEST(regWrites(0x50).value(0), "pair");
}

void TstDev7329::convertRecordThroughDevice()
{
    // The buffer-mode record as the device object hands it to its store:
    // 40,960 bytes, both channels, the calibration loaded at connection.
    putEeprom(0x40, layoutRecord({0, 0, 0}, {0, 0, 0}, 1241, 1241, 4, -4, 0, 0, 1000, 1000, 0));
    auto dev = connectedDev();
    QVERIFY(dev);
    QByteArray raw(40960, '\0');
    for (int i = 0; i < 20480; ++i) {
        // Square of a 2000-sample period, one sample at 0 on each edge.
        raw[2 * i] = char(i % 1000 == 0 ? 0 : (i / 1000) % 2 ? 60 : -60);
        raw[2 * i + 1] = char(i % 256 - 128);                 // ramp
    }
    QVERIFY(dev->dataConvertStart(8000));
    int used = 0;
    QVERIFY(dev->dataConvertNormal(reinterpret_cast<const uchar*>(raw.constData()), 20001, &used));
    int used2 = 0;
    QVERIFY(dev->dataConvertNormal(reinterpret_cast<const uchar*>(raw.constData()) + 20001, 40960 - 20001, &used2));
    QCOMPARE(used + used2, 40960);
    QVERIFY(dev->dataConvertComplete(true));
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    QVERIFY(s->hasValidDataA(0) && s->hasValidDataA(1));
    QCOMPARE(s->chnData[0]->smpCount, 20480);
    QCOMPARE(s->trgPosition, 4000);
    QCOMPARE(s->chnData[0]->data[1], short(4 - 240));
    QCOMPARE(s->chnData[0]->data[1001], short(4 + 240));
    QCOMPARE(s->chnData[1]->data[3], short(-4 + 4 * -125));
    QCOMPARE(s->chnData[0]->voltDiv, 1000);
    QCOMPARE(s->chnData[0]->halfScreenCodes, 480);
    // Measured: a 2000-sample period at the capture's rate.
    double v[SmpDataOsc::ParamNum];
    bool ok[SmpDataOsc::ParamNum];
    s->getAParameterValues(0, 0, 20480, v, ok);
    QVERIFY(ok[6] && ok[12]);
    QCOMPARE(v[6], 2000 * 1e12 / double(s->chnData[0]->smpFrequ));
    QCOMPARE(v[12], 50.0);
    QCOMPARE(v[0], SmpDataOsc::codeToMv(s->chnData[0], 244));
}

// Hands every read-out buffer to the device object's converter, as the
// buffer-mode run does.
class RecordReader : public InterfaceDevCallback
{
public:
    explicit RecordReader(DevBase* d) : dev(d) {}
    void devCbAutoBulkRead(unsigned char* buf, int len) override
    {
        bytesRead += len;
        if (ok)
            ok = dev->dataConvertNormal(buf, len, &bytesConverted);
        std::free(buf);
    }
    DevBase* dev;
    int bytesRead = 0;
    int bytesConverted = 0;
    bool ok = true;
};

void TstDev7329::bufferCaptureOfAnalogRecord()
{
    // The instrument holds a 40,960-byte analog record; the steps of one
    // buffer-mode run (start, status until stored, result, memory window,
    // read-out, conversion) bring it into the displayed store.
    QByteArray raw(40960, '\0');
    for (int i = 0; i < 20480; ++i) {
        raw[2 * i] = char(i % 500 == 0 ? 0 : (i / 500) % 2 ? 50 : -50);   // 1000-sample period
        raw[2 * i + 1] = char(std::lround(100 * std::sin(i * 0.002)));
    }
    emu_script_analog(reinterpret_cast<const signed char*>(raw.constData()), raw.size(), 12001);
    putEeprom(0x40, layoutRecord({0, 0, 0}, {0, 0, 0}, 1241, 1241, 2, -2, 0, 0, 1010, 990, 0));
    auto dev = connectedDev();
    QVERIFY(dev);
    QVERIFY(osctest::runFpga(ds, 1, 1, 1));

    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(dev->reqSmpStart(), 0);
    unsigned word = 0;
    int polls = 0;
    do {
        QCOMPARE(dev->getRunSta(&word), 0);
    } while (!((word & 4) && (word & 3) == 1) && ++polls < 50);
    QVERIFY2(polls < 50, qPrintable(QString::number(word, 16)));

    int trgRecord = 0, records = 0, endAddress = 0;
    QCOMPARE(dev->getSmpResultInfo(&trgRecord, &records, &endAddress), 0);
    QCOMPARE(records, 40960);
    QCOMPARE(trgRecord, 12001);
    const int readLen = dev->memSize;
    int start = endAddress - readLen;
    if (start < 0)
        start += dev->memSize;
    QCOMPARE(dev->reqMemReadStart(start, readLen), 0);
    QVERIFY(dev->dataConvertStart(trgRecord));
    RecordReader reader(dev.get());
    ds->devCallback = &reader;
    QCOMPARE(ds->autoBulkRead(readLen), 0);
    ds->devCallback = nullptr;
    QCOMPARE(reader.bytesRead, 40960);
    QCOMPARE(reader.bytesConverted, 40960);
    QVERIFY(reader.ok);
    QVERIFY(dev->dataConvertComplete(true));

    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    QVERIFY(dev->hasValidData());
    QCOMPARE(s->chnData[0]->smpCount, 20480);
    QCOMPARE(s->chnData[1]->smpCount, 20480);
    QCOMPARE(s->trgPosition, 6000);
    for (int i = 0; i < 20480; ++i) {
        const int r0 = qint8(raw[2 * i]);
        const int r1 = qint8(raw[2 * i + 1]);
        if (s->chnData[0]->data[i] != (2 + 4 * r0) * 1010 / 1000 || s->chnData[1]->data[i] != (-2 + 4 * r1) * 990 / 1000)
            QFAIL(qPrintable(QString("sample %1").arg(i)));
    }
    // Measured: the square's period at the capture's rate, its levels.
    double v[SmpDataOsc::ParamNum];
    bool ok[SmpDataOsc::ParamNum];
    s->getAParameterValues(0, 0, 20480, v, ok);
    QVERIFY(ok[6] && ok[12]);
    QCOMPARE(v[6], 1000 * 1e12 / double(s->chnData[0]->smpFrequ));
    QCOMPARE(v[12], 50.0);
    QCOMPARE(v[0], SmpDataOsc::codeToMv(s->chnData[0], (2 + 200) * 1010 / 1000));
    QCOMPARE(v[1], SmpDataOsc::codeToMv(s->chnData[0], (2 - 200) * 1010 / 1000));
}

void TstDev7329::bufferRunOnSamplingThread()
{
    // A single capture started on the device object: the buffer-mode thread
    // reads the emulator's analog record and the converted data is displayed.
    SmpCtrlFactory::install();
    QByteArray raw(40960, '\0');
    for (int i = 0; i < 20480; ++i) {
        raw[2 * i] = char(i % 250 == 0 ? 0 : (i / 250) % 2 ? -70 : 70);   // 500-sample period
        raw[2 * i + 1] = char(i % 128);
    }
    emu_script_analog(reinterpret_cast<const signed char*>(raw.constData()), raw.size(), 30000);
    putEeprom(0xA0, layoutRecord({0, 0, 0}, {0, 0, 0}, 1241, 1241, -1, 1, 0, 0, 1000, 1002, 0));
    auto dev = connectedDev();
    QVERIFY(dev);
    QVERIFY(osctest::runFpga(ds, 2, 1, 2));

    QueuedSpy sta(dev.get(), &DevBase::sigSmpSta);
    QueuedSpy ready(dev.get(), &DevBase::sigSmpDataReady);
    dev->smpStart(SmpStartSingle);
    auto finished = [&sta] {
        for (const QList<QVariant>& a : sta.calls)
            if (a.value(0).toInt() == SmpStaDone)
                return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(finished(), 20000);
    QTRY_VERIFY(!dev->smpRunning);
    QCOMPARE(int(dev->smpError), 0);
    QTRY_VERIFY(ready.calls.contains(QList<QVariant>{1}));
    for (const QList<QVariant>& a : sta.calls)
        QCOMPARE(a.value(1).toInt(), 0);

    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    QCOMPARE(s->chnData[0]->smpCount, 20480);
    QCOMPARE(s->trgPosition, 15000);
    for (int i = 0; i < 20480; ++i) {
        const int r0 = qint8(raw[2 * i]);
        const int r1 = qint8(raw[2 * i + 1]);
        if (s->chnData[0]->data[i] != (-1 + 4 * r0) || s->chnData[1]->data[i] != (1 + 4 * r1) * 1002 / 1000)
            QFAIL(qPrintable(QString("sample %1").arg(i)));
    }
    double v[SmpDataOsc::ParamNum];
    bool ok[SmpDataOsc::ParamNum];
    s->getAParameterValues(0, 0, 20480, v, ok);
    QVERIFY(ok[6] && ok[7] && ok[12]);
    QCOMPARE(v[7], double(s->chnData[0]->smpFrequ) / 500);
    QCOMPARE(v[12], 50.0);
}

void TstDev7329::demoCaptureThroughDevice()
{
    // The demo generator's calls: each enabled channel gets memSize / 2 samples.
    Dev7329 d;
    QVERIFY(d.setATrgPercent(250));
    QVERIFY(d.dataConvertStart(0));
    const int pulse[4] = {0, 90, 90, 0};
    long long pos = 0;
    QVERIFY(d.dataConvertSimu(pulse, 4, 0, &pos));
    QVERIFY(d.dataConvertSimu(pulse, 4, 1, &pos));
    QVERIFY(d.dataConvertComplete(true));
    const SmpDataOscPtr s = d.displayedSmpDataOsc();
    for (int ch = 0; ch < 2; ++ch) {
        QCOMPARE(s->chnData[size_t(ch)]->smpCount, 20480);
        QCOMPARE(s->chnData[size_t(ch)]->trgPosition, 5120);
    }
    QVERIFY(d.hasValidData());
}

void TstDev7329::demoPulseMeasured()
{
    // The demo pulse of the odd channels, 5.2 times over the record: its ramps
    // of integer codes land on the thresholds. A pair that started where the
    // last one ended would take in the low part of the pulse.
    Dev7329 d;
    d.setAChnEna({false, true});
    QVERIFY(d.dataConvertStart(0));
    int n = 0;
    const int* table = SmpSimulate::analogTable(1, &n);
    long long pos = 0;
    QVERIFY(d.dataConvertSimu(table, n, 1, &pos));
    QVERIFY(d.dataConvertComplete(true));
    const SmpDataOscPtr s = d.displayedSmpDataOsc();
    const int cnt = s->chnData[1]->smpCount;
    QVERIFY(cnt > 10000);
    double v[SmpDataOsc::ParamNum];
    bool ok[SmpDataOsc::ParamNum];
    s->getAParameterValues(1, 0, cnt, v, ok);
    QVERIFY(ok[6] && ok[7] && ok[8] && ok[9] && ok[12]);
    const double rate = double(s->chnData[1]->smpFrequ);
    const double period = cnt / 5.2;
    const double step = period / n;
    QVERIFY2(std::fabs(v[6] * rate / 1e12 - period) <= 2, qPrintable(QString::number(v[6] * rate / 1e12)));
    QVERIFY2(std::fabs(v[7] - rate / period) <= rate / period * 0.001, qPrintable(QString::number(v[7])));
    // 20 % to 80 % of 90 is 18 to 72: 5 -> 45 -> 85 over steps 16 to 18, so
    // 16.33 to 17.68, 1.35 steps; the fall mirrors it.
    for (int i : {8, 9}) {
        const double steps = v[i] * rate / 1e12 / step;
        QVERIFY2(steps > 1.2 && steps < 1.5, qPrintable(QString::number(steps)));
    }
    // The middle (45) is crossed at steps 17 and 49: 32 of 64 steps high.
    QVERIFY2(std::fabs(v[12] - 50) < 0.5, qPrintable(QString::number(v[12])));
}

QTEST_MAIN(TstDev7329)
#include "tst_dev7329.moc"
