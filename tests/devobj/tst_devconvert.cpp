// The device object's conversion entry points pick the converter of the
// model and fill the store that is not displayed; the oscilloscope branches
// of the rate, depth and trigger queries and of the register record.

#include "devtesthelp.h"

#include "device/devbase.h"
#include "device/devsupport.h"
#include "device/smpdata.h"
#include "device/smpdataosc.h"
#include "usbemu.h"

#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<DevBase> make(int code)
{
    return std::unique_ptr<DevBase>(DevBase::createDevice(code));
}

// The level of a channel at each sample of the displayed store.
QString levels(const SmpDataPtr& s, int chn)
{
    QString out;
    for (long long p = 0; p < s->smpCount; ++p)
        out += QChar('0' + s->getPointLevel(chn, p));
    return out;
}

// A device object in oscilloscope work mode as the mixed-signal model sets it up.
void makeOsc(DevBase* dev)
{
    dev->memSize = 40960;
    dev->aChnEna = {true, true};
    dev->timeDivList = {10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 5000000000LL};
    dev->timeDivIndex = 9;
    dev->voltDivList = {20, 50, 100, 200, 500, 1000, 2000};
    dev->halfScreenCodeList = {320, 480, 480, 480, 480, 480, 480};
    dev->aVoltDivIndex = {5, 5};
    dev->aChnOffset = {0, 0};
    dev->aTrgVolt = {0.0, 0.0};
    dev->aTrgPercent = 500;
    dev->initOscStores(2, 16);
    dev->setWorkMode(WorkModeOsc);
}

QByteArray lastWrite(int reg)
{
    QByteArray out;
    const int n = emu_log_count();
    for (int i = 0; i < n; ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && !(e.request_type & 0x80) && e.request == 0x20 &&
            e.value == reg)
            out = QByteArray(reinterpret_cast<const char*>(e.data), e.data_len);
    }
    return out;
}

} // namespace

class TstDevConvert : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        devtest::resetSettings();
        DevBase::smpWorkerFactory = nullptr;
        devSupport = nullptr;
    }

    void frames16();
    void frames32();
    void bytes8();
    void words16();
    void oscQueries();
    void oscStores();
    void oscTriggerLevel_data();
    void oscTriggerLevel();
};

void TstDevConvert::frames16()
{
    auto dev = make(3);
    QVERIFY(dev->dataConvertStart(0));
    // Record 0: level 0x0005 for 10 samples, then 0x0004 for 3, 1, 1, 1.
    const unsigned char frame[16] = {0x05, 0x00, 10, 0x04, 0x00, 3, 0x04, 0x00, 1,
                                     0x04, 0x00, 1,  0x04, 0x00, 1, 0};
    int consumed = 0;
    QVERIFY(dev->dataConvertNormal(frame, 16, &consumed));
    QCOMPARE(consumed, 16);
    QCOMPARE(dev->fillingSmpData()->initLevels, 5ULL);
    QCOMPARE(dev->fillingSmpData()->smpCount, 16LL);
    const SmpDataPtr filled = dev->fillingSmpData();
    QVERIFY(dev->dataConvertComplete(true));
    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(s, filled);
    QCOMPARE(levels(s, 0), QStringLiteral("1111111111000000"));
    QCOMPARE(levels(s, 2), QStringLiteral("1111111111111111"));
    QCOMPARE(levels(s, 1), QStringLiteral("0000000000000000"));
}

void TstDevConvert::frames32()
{
    auto dev = make(9);
    QVERIFY(dev->dataConvertStart(0));
    unsigned char frame[32] = {};
    // Channel 31 high for 4 samples, then everything low for 2 x 5 samples.
    const quint32 lv[6] = {0x80000000u, 0, 0, 0, 0, 0};
    const int run[6] = {4, 2, 2, 2, 2, 2};
    for (int r = 0; r < 6; ++r) {
        for (int b = 0; b < 4; ++b)
            frame[r * 5 + b] = static_cast<unsigned char>(lv[r] >> (8 * b));
        frame[r * 5 + 4] = static_cast<unsigned char>(run[r]);
    }
    frame[30] = 0x5A;
    frame[31] = 0xA5;
    int consumed = 0;
    QVERIFY(dev->dataConvertNormal(frame, 32, &consumed));
    QCOMPARE(consumed, 32);
    QCOMPARE(dev->fillingSmpData()->badRecordOffset, -1);
    QVERIFY(dev->dataConvertComplete(true));
    QCOMPARE(levels(dev->displayedSmpData(), 31), QStringLiteral("11110000000000"));
}

void TstDevConvert::bytes8()
{
    auto dev = make(1);
    QVERIFY(dev->dataConvertStart(0));
    const unsigned char b[5] = {0x01, 0x01, 0x00, 0x80, 0x81};
    long long count = 0;
    QVERIFY(dev->dataConvertStream(b, 5, 0, &count));
    QCOMPARE(count, 5LL);
    dev->dataSetSmpDepth(count);
    QVERIFY(dev->dataConvertComplete(true));
    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(levels(s, 0), QStringLiteral("11001"));
    QCOMPARE(levels(s, 7), QStringLiteral("00011"));
}

void TstDevConvert::words16()
{
    auto dev = make(3);
    QVector<bool> ena(16, false);
    ena[2] = ena[5] = true;
    dev->setDChnEna(ena);
    QVERIFY(dev->dataConvertStart(0));
    // Cycle 1: both low. Cycle 2: channel 2 high at its first sample only,
    // channel 5 high from sample 8.
    const unsigned char w[8] = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xFF};
    long long count = 0;
    QVERIFY(dev->dataConvertStream(w, 6, 0, &count));
    QCOMPARE(count, 16LL);   // the second cycle is not complete yet
    QVERIFY(dev->dataConvertStream(w + 6, 2, -1, &count));
    QCOMPARE(count, 32LL);
    dev->dataSetSmpDepth(count);
    dev->dataSetTrgPosition(3);
    QVERIFY(dev->dataConvertComplete(true));
    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(s->trgPosition, 3LL);
    QCOMPARE(levels(s, 2), QStringLiteral("00000000000000001000000000000000"));
    QCOMPARE(levels(s, 5), QStringLiteral("00000000000000000000000011111111"));
    QVERIFY(!s->hasValidData(0));
}

void TstDevConvert::oscQueries()
{
    auto dev = make(0);
    makeOsc(dev.get());
    // 20480 samples over ten divisions of 10 us: 204.8 MHz, so the 200 MHz entry.
    QCOMPARE(dev->getSmpFrequ(), 200000000LL);
    dev->timeDivIndex = 0;
    QCOMPARE(dev->getSmpFrequ(), 200000000LL);
    dev->timeDivIndex = 6;   // 1 us/div: 2.048 GHz is above every entry too
    QCOMPARE(dev->getSmpFrequ(), 200000000LL);
    dev->timeDivIndex = 10;  // 5 s/div: 409.6 Hz, below every entry
    QCOMPARE(dev->getSmpFrequ(), 409LL);
    dev->timeDivIndex = 11;  // outside the list
    QCOMPARE(dev->getSmpFrequ(), 0LL);
    QCOMPARE(dev->getExpectDepth(), 20480LL);
    QCOMPARE(dev->getPreTrgDepth(), 10240LL);
    QCOMPARE(dev->getTrgPosition(), 50);
    dev->aTrgPercent = 999;
    QCOMPARE(dev->getTrgPosition(), 99);
    QCOMPARE(dev->getPreTrgDepth(), 20459LL);
}

void TstDevConvert::oscStores()
{
    auto dev = make(0);
    makeOsc(dev.get());
    QVERIFY(!dev->hasValidData());
    QVERIFY(dev->dataConvertStart(0));
    static const int table[8] = {0, 10, 20, 30, 40, 30, 20, 10};
    long long pos = 0;
    QVERIFY(dev->dataConvertSimu(table, 8, 1, &pos));
    QVERIFY(!dev->hasValidData());
    const SmpDataOscPtr filled = dev->fillingSmpDataOsc();
    const SmpDataPtr logicShown = dev->displayedSmpData();
    QVERIFY(dev->dataConvertComplete(true));
    QCOMPARE(dev->displayedSmpDataOsc(), filled);
    QCOMPARE(dev->displayedSmpData(), logicShown);
    QVERIFY(dev->hasValidData());
    QVERIFY(filled->hasValidDataA(1));
    QVERIFY(!filled->hasValidDataA(0));
    short* data = nullptr;
    QCOMPARE(filled->getAnalogData(1, &data), 20480);

    // A pass that is not kept is dropped; the display stays.
    QVERIFY(dev->dataConvertStart(0));
    QVERIFY(dev->dataConvertSimu(table, 8, 0, &pos));
    QVERIFY(dev->dataConvertComplete(false));
    QCOMPARE(dev->displayedSmpDataOsc(), filled);
    QVERIFY(!dev->fillingSmpDataOsc()->hasValidDataA(0));

    // Toggling empties the store that was displayed.
    dev->toggleSmpData();
    QVERIFY(dev->displayedSmpDataOsc() != filled);
    QVERIFY(!dev->fillingSmpDataOsc()->hasValidDataA(1));
    QVERIFY(!dev->hasValidData());

    QVERIFY(dev->dataConvertStart(0));
    QVERIFY(dev->dataConvertSimu(table, 8, 0, &pos));
    QVERIFY(dev->dataConvertComplete(true));
    QVERIFY(dev->hasValidData());
    dev->clearSmpData();
    QVERIFY(!dev->hasValidData());
}

void TstDevConvert::oscTriggerLevel_data()
{
    QTest::addColumn<int>("chn");
    QTest::addColumn<double>("mv");
    QTest::addColumn<int>("voltIdx");
    QTest::addColumn<bool>("both");
    QTest::addColumn<int>("zero0");
    QTest::addColumn<int>("zero1");
    QTest::addColumn<QByteArray>("level");

    // 500 mV at 1 V/div: 0.5 div x 480 / 5 = 48, x 1000 / 1000 = 48, / 4 = 12.
    QTest::newRow("plain") << 0 << 500.0 << 5 << true << 0 << 0 << QByteArray::fromHex("0C0C");
    // Offsets 3 and -2: 45 -> 11 (remainder 1), 50 -> 13 (remainder 2 rounds up).
    QTest::newRow("offsets") << 0 << 500.0 << 5 << true << 3 << -2 << QByteArray::fromHex("0B0D");
    // One channel on: the single-channel offsets (never loaded, 0) apply.
    QTest::newRow("one channel") << 0 << 500.0 << 5 << false << 3 << -2 << QByteArray::fromHex("0C0C");
    // -700 mV at 200 mV/div: -3.5 div x 96 = -336, / 4 = -84.
    QTest::newRow("negative") << 1 << -700.0 << 3 << true << 0 << 0 << QByteArray::fromHex("ACAC");
    // 5 V at 20 mV/div: far above the screen, clamped to 127.
    QTest::newRow("clamped") << 0 << 5000.0 << 0 << true << 0 << 0 << QByteArray::fromHex("7F7F");
    QTest::newRow("clamped low") << 0 << -5000.0 << 0 << true << 0 << 0 << QByteArray::fromHex("8181");
}

void TstDevConvert::oscTriggerLevel()
{
    QFETCH(int, chn);
    QFETCH(double, mv);
    QFETCH(int, voltIdx);
    QFETCH(bool, both);
    QFETCH(int, zero0);
    QFETCH(int, zero1);
    QFETCH(QByteArray, level);

    emu_reset();
    emu_plug();
    DevSupport ds;
    devSupport = &ds;
    QCOMPARE(ds.devRetrieve(), 1);
    emu_set_status_override(0x85C1);
    auto dev = make(3);
    unsigned char ident[4] = {200, 0, 250, 0};
    QCOMPARE(dev->devConnect(ident, 0.0), 0);
    makeOsc(dev.get());
    dev->aTrgChn = chn;
    dev->aTrgType = TrgFall;
    dev->aTrgVolt[chn] = mv;
    dev->aVoltDivIndex[chn] = voltIdx;
    dev->aChnEna = {true, both};
    dev->calibData.zeroDual[0] = zero0;
    dev->calibData.zeroDual[1] = zero1;
    emu_log_clear();
    QCOMPARE(dev->reqSmpSettings(), 0);
    QCOMPARE(lastWrite(0x30), QByteArray::fromHex(chn ? "0104" : "0004"));
    QCOMPARE(lastWrite(0x50), level);
    dev.reset();
    devSupport = nullptr;
}

QTEST_GUILESS_MAIN(TstDevConvert)
#include "tst_devconvert.moc"
