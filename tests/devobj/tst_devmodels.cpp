// Device object without an instrument: the factory, the model constants, the
// rate and depth lists with their labels and stored selections, channel and
// trigger settings, PWM values, the double buffer and the analyzer record.

#include "devtesthelp.h"

#include "device/devbase.h"
#include "device/smpdata.h"
#include "libanalyzer/analyzerdata.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using devtest::FakeWorker;
using List = QVector<qint64>;
Q_DECLARE_METATYPE(List)

namespace {

constexpr qint64 K = 1000;
constexpr qint64 M = 1000000;
constexpr qint64 G = 1000000000;

const List rates100 = {100 * M, 50 * M, 20 * M, 10 * M, 5 * M, 2 * M, 1 * M, 500 * K, 200 * K, 100 * K, 50 * K, 20 * K};
const List rates200 = List{200 * M} + rates100;
const List rates500 = List{500 * M, 200 * M} + rates100;
const List ratesOwn1 = {24 * M, 16 * M, 12 * M, 8 * M, 4 * M, 2 * M, 1 * M, 500 * K, 200 * K, 100 * K, 50 * K};
const List ratesOwn2 = {100 * M, 80 * M, 50 * M, 40 * M, 32 * M, 25 * M, 20 * M, 16 * M, 12500 * K, 10 * M,
                        8 * M,   5 * M,  4 * M,  2 * M,  1 * M,  500 * K, 200 * K, 100 * K, 50 * K, 20 * K};
const List ratesOwn3 = {500 * M, 250 * M, 125 * M, 62500 * K, 25 * M, 12500 * K, 5 * M,
                        2500 * K, 1 * M,  500 * K, 200 * K,   100 * K, 50 * K,   20 * K};
const List depthsBuf = {20 * K, 200 * K, 1 * M,   2 * M,   5 * M,   10 * M, 20 * M, 50 * M,
                        100 * M, 200 * M, 500 * M, 1 * G,  2 * G,   5 * G,  10 * G};
const List depthsStream = depthsBuf + List{20 * G, 50 * G, 100 * G};

std::unique_ptr<DevBase> make(int code)
{
    return std::unique_ptr<DevBase>(DevBase::createDevice(code));
}

void store(const char* dev, const char* key, const QString& value)
{
    Config::saveDeviceParam(QLatin1String(dev), QLatin1String(key), value);
}

QString stored(const QString& dev, const char* key)
{
    return Config::readDeviceParam(dev, QLatin1String(key));
}

QVector<bool> only(int n, std::initializer_list<int> on)
{
    QVector<bool> v(n, false);
    for (int i : on)
        v[i] = true;
    return v;
}

QVector<bool> firstN(int total, int n)
{
    QVector<bool> v(total, false);
    for (int i = 0; i < n; ++i)
        v[i] = true;
    return v;
}

} // namespace

class TstDevModels : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        devtest::resetSettings();
        FakeWorker::resetCounts();
        DevBase::smpWorkerFactory = nullptr;
    }

    void factory_data();
    void factory();
    void modelSupport_data();
    void modelSupport();
    void lists_data();
    void lists();
    void modeSwitch();
    void storedRate_data();
    void storedRate();
    void storedDepth_data();
    void storedDepth();
    void seventhChannelLowersRate();
    void rateLimits_data();
    void rateLimits();
    void minIndexFallsBackToLast();
    void labels_data();
    void labels();
    void smpTime_data();
    void smpTime();
    void triggers();
    void enables();
    void streamTrimsChannels();
    void trgPosition();
    void loadChannels();
    void pwmWithoutDevice();
    void pwmAccessCode_data();
    void pwmAccessCode();
    void sharedNames();
    void doubleBuffer();
    void analyzerRecord_data();
    void analyzerRecord();
    void startKinds();
    void restart();
    void startWithoutWorker();
};

// ---------------------------------------------------------------- factory

void TstDevModels::factory_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("chn");
    QTest::addColumn<int>("mem");
    QTest::addColumn<QVector<int>>("functions");
    QTest::addColumn<bool>("selectable");

    const QVector<int> both = {1, 2};
    QTest::newRow("0") << 0 << "DevNone" << 0 << "Demo" << 16 << 134217728 << both << true;
    QTest::newRow("1") << 1 << "Dev2113" << 1 << "VX2113" << 8 << 0 << QVector<int>{} << false;
    QTest::newRow("2") << 2 << "Dev2127" << 2 << "VX2127" << 16 << 134217728 << QVector<int>{2} << true;
    QTest::newRow("3") << 3 << "Dev3127" << 3 << "VX3127" << 16 << 134217728 << QVector<int>{2} << true;
    QTest::newRow("4") << 4 << "Dev6127" << 4 << "VX6127" << 16 << 67108864 << QVector<int>{2} << false;
    QTest::newRow("5") << 5 << "Dev2121A" << 5 << "VX2121" << 16 << 0 << both << false;
    QTest::newRow("6") << 6 << "Dev2127A" << 6 << "VX2127" << 16 << 134217728 << both << true;
    QTest::newRow("7") << 7 << "Dev3127A" << 7 << "VX3127" << 16 << 134217728 << both << true;
    QTest::newRow("8") << 8 << "Dev6127A" << 8 << "VX6127" << 16 << 268435456 << both << true;
    QTest::newRow("9") << 9 << "Dev6143A" << 9 << "VX6143" << 32 << 536870912 << both << true;
    QTest::newRow("65") << 65 << "Dev9151" << 65 << "VX9151" << 16 << 268435456 << both << true;
    // Codes without a class of their own, the mixed-signal model included.
    QTest::newRow("49") << 49 << "DevNone" << 0 << "Demo" << 16 << 134217728 << both << true;
    QTest::newRow("12") << 12 << "DevNone" << 0 << "Demo" << 16 << 134217728 << both << true;
    QTest::newRow("-3") << -3 << "DevNone" << 0 << "Demo" << 16 << 134217728 << both << true;
}

void TstDevModels::factory()
{
    QFETCH(int, code);
    QFETCH(QString, cls);
    QFETCH(int, model);
    QFETCH(QString, name);
    QFETCH(int, chn);
    QFETCH(int, mem);
    QFETCH(QVector<int>, functions);
    QFETCH(bool, selectable);

    auto dev = make(code);
    QCOMPARE(QString::fromLatin1(dev->metaObject()->className()), cls);
    QCOMPARE(int(dev->devModel), model);
    QCOMPARE(dev->devName, name);
    QCOMPARE(dev->dChnEna.size(), chn);
    QCOMPARE(dev->dChnTrg.size(), chn);
    QCOMPARE(dev->memSize, mem);
    QCOMPARE(dev->devFunctions, functions);
    QCOMPARE(dev->isSmpModeSelectable(), selectable);
    QCOMPARE(dev->queryDevFunction(DevFuncVth), functions.contains(1));
    QCOMPARE(dev->queryDevFunction(DevFuncPWM), functions.contains(2));
    // The requested code is kept, even when the demo device was built.
    QCOMPARE(Config::readGlobalParam(QStringLiteral("devModel")), QString::number(code));
    QCOMPARE(dev->displayedSmpData()->chnNum, chn);
    QCOMPARE(dev->fillingSmpData()->chnNum, chn);
    QVERIFY(dev->displayedSmpData() != dev->fillingSmpData());
    QCOMPARE(dev->deviceID, QByteArray(8, '\0'));
    QVERIFY(!dev->isConnected);
    QCOMPARE(dev->vref, 1.2);
    // Fresh settings: every channel on, no trigger, pre-trigger 5 %.
    QCOMPARE(dev->getDChnEnaNum(), chn);
    QCOMPARE(dev->getPreTrgDepth(), qint64(0));
    QCOMPARE(dev->trgPosition, 5);
}

void TstDevModels::modelSupport_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("supported");
    for (int c = 0; c <= 9; ++c)
        QTest::newRow(qPrintable(QString::number(c))) << c << true;
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("10") << 10 << false;
    QTest::newRow("48") << 48 << false;
    QTest::newRow("49") << 49 << true;
    QTest::newRow("50") << 50 << false;
    QTest::newRow("64") << 64 << false;
    QTest::newRow("65") << 65 << true;
    QTest::newRow("66") << 66 << false;
}

void TstDevModels::modelSupport()
{
    QFETCH(int, code);
    QFETCH(bool, supported);
    QCOMPARE(DevBase::queryModelSupport(code), supported);
}

// ---------------------------------------------------------------- lists

void TstDevModels::lists_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("mode");
    QTest::addColumn<List>("rates");
    QTest::addColumn<List>("depths");
    QTest::addColumn<int>("defRate");
    QTest::addColumn<int>("defDepth");
    QTest::addColumn<qint64>("mark");

    QTest::newRow("2127 buffer") << 2 << 0 << rates100 << depthsBuf << 0 << 7 << 50 * M;
    QTest::newRow("2127 stream") << 2 << 1 << rates100 << depthsStream << 3 << 4 << 100 * G;
    QTest::newRow("2127A buffer") << 6 << 0 << rates100 << depthsBuf << 0 << 7 << 50 * M;
    QTest::newRow("3127 buffer") << 3 << 0 << rates200 << depthsBuf << 1 << 7 << 50 * M;
    QTest::newRow("3127 stream") << 3 << 1 << rates100 << depthsStream << 3 << 4 << 100 * G;
    QTest::newRow("3127A buffer") << 7 << 0 << rates200 << depthsBuf << 1 << 7 << 50 * M;
    QTest::newRow("demo buffer") << 0 << 0 << rates200 << depthsBuf << 1 << 7 << 50 * M;
    QTest::newRow("demo stream") << 0 << 1 << rates100 << depthsStream << 3 << 4 << 100 * G;
    QTest::newRow("6127A buffer") << 8 << 0 << rates500 << depthsBuf << 1 << 8 << 100 * M;
    QTest::newRow("6127A stream") << 8 << 1 << rates100 << depthsStream << 3 << 4 << 100 * G;
    QTest::newRow("9151 buffer") << 65 << 0 << rates500 << depthsBuf << 1 << 8 << 100 * M;
    QTest::newRow("6143A buffer") << 9 << 0 << rates500 << depthsBuf << 1 << 8 << 100 * M;
    QTest::newRow("6143A stream") << 9 << 1 << rates100 << depthsStream << 4 << 4 << 100 * G;
    // Fixed-mode models: the stored mode is ignored.
    QTest::newRow("6127") << 4 << 1 << ratesOwn3 << depthsBuf << 3 << 6 << 30 * M;
    QTest::newRow("2113") << 1 << 0 << ratesOwn1 << depthsStream << 2 << 5 << 100 * G;
    QTest::newRow("2121A") << 5 << 0 << ratesOwn2 << depthsStream << 9 << 4 << 100 * G;
}

void TstDevModels::lists()
{
    QFETCH(int, code);
    QFETCH(int, mode);
    QFETCH(List, rates);
    QFETCH(List, depths);
    QFETCH(int, defRate);
    QFETCH(int, defDepth);
    QFETCH(qint64, mark);

    for (const char* n : {"Demo", "VX2113", "VX2127", "VX3127", "VX6127", "VX2121", "VX6143", "VX9151"})
        store(n, "smpMode", QString::number(mode));
    auto dev = make(code);
    QCOMPARE(dev->smpFrequList, rates);
    QCOMPARE(dev->smpDepthList, depths);
    QCOMPARE(dev->smpFrequIndex, defRate);
    QCOMPARE(dev->smpDepthIndex, defDepth);
    QCOMPARE(dev->smpDepth, depths[defDepth]);
    QCOMPARE(dev->getSmpFrequ(), rates[defRate]);
    QCOMPARE(dev->smpDepthMarkLimit, mark);
    QCOMPARE(dev->smpMode, depths.size() == 18 ? 1 : 0);
}

void TstDevModels::modeSwitch()
{
    auto dev = make(3);
    // The constructor's mode is neither signalled nor saved.
    QCOMPARE(dev->smpMode, 0);
    QCOMPARE(stored(dev->devName, "smpMode"), QString());
    QSignalSpy modeSpy(dev.get(), &DevBase::sigSmpModeChanged);

    dev->setSmpMode(SmpModeBuffer);
    QCOMPARE(modeSpy.count(), 0);

    dev->setSmpMode(SmpModeStream);
    QCOMPARE(modeSpy.count(), 1);
    QCOMPARE(stored(dev->devName, "smpMode"), QStringLiteral("1"));
    QCOMPARE(dev->smpFrequList, rates100);
    QCOMPARE(dev->smpDepthList, depthsStream);
    QCOMPARE(dev->smpFrequIndex, 3);

    // A value that is no mode changes nothing.
    dev->setSmpMode(DevSmpMode(7));
    QCOMPARE(dev->smpMode, 1);
    QCOMPARE(modeSpy.count(), 1);

    // Fixed-mode models ignore the argument and say nothing.
    auto fixed = make(4);
    QSignalSpy fixedSpy(fixed.get(), &DevBase::sigSmpModeChanged);
    fixed->setSmpMode(SmpModeStream);
    QCOMPARE(fixed->smpMode, 0);
    QCOMPARE(fixed->smpFrequList, ratesOwn3);
    QCOMPARE(fixedSpy.count(), 0);
    QCOMPARE(stored(fixed->devName, "smpMode"), QString());
}

void TstDevModels::storedRate_data()
{
    QTest::addColumn<QString>("frequ");
    QTest::addColumn<QString>("index");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("30000 kHz -> 20 MHz") << "30000" << "" << 20 * M;
    QTest::newRow("exact 50000") << "50000" << "" << 50 * M;
    QTest::newRow("10 kHz -> lowest") << "10" << "" << 20 * K;
    QTest::newRow("above all") << "999999" << "" << 100 * M;
    // 2 x 10^11 Hz must not wrap in the x 1000 step.
    QTest::newRow("200000000 kHz") << "200000000" << "" << 100 * M;
    QTest::newRow("unparsable reads 0") << "fast" << "" << 20 * K;
    QTest::newRow("beyond 64 bits") << "99999999999999999999" << "" << 20 * K;
    QTest::newRow("rate beats index") << "1000" << "0" << 1 * M;
    QTest::newRow("index 5") << "" << "5" << 2 * M;
    QTest::newRow("index negative") << "" << "-1" << 10 * M;
    QTest::newRow("index too large") << "" << "12" << 10 * M;
    QTest::newRow("index garbage") << "" << "x" << 10 * M;
    QTest::newRow("nothing") << "" << "" << 10 * M;
}

void TstDevModels::storedRate()
{
    QFETCH(QString, frequ);
    QFETCH(QString, index);
    QFETCH(qint64, expected);
    store("VX3127", "smpMode", QStringLiteral("1"));
    // Three channels stream at every listed rate, so no limit interferes.
    store("VX3127", "chnEnable", QStringLiteral("1,1,1,0,0,0,0,0,0,0,0,0,0,0,0,0"));
    if (!frequ.isEmpty())
        store("VX3127", "smpFrequ", frequ);
    if (!index.isEmpty())
        store("VX3127", "smpFrequIndex", index);
    auto dev = make(3);
    QCOMPARE(dev->smpMode, 1);
    QCOMPARE(dev->getSmpFrequ(), expected);
}

void TstDevModels::storedDepth_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("index");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("3000 -> 5 M") << "0" << "3000" << "" << 5 * M;
    QTest::newRow("exact 20") << "0" << "20" << "" << 20 * K;
    QTest::newRow("0 -> smallest") << "0" << "0" << "" << 20 * K;
    QTest::newRow("negative -> smallest") << "0" << "-50" << "" << 20 * K;
    // 2 x 10^11 samples: larger than every entry, and not wrapped to a small value.
    QTest::newRow("200000000 buffer") << "0" << "200000000" << "" << 10 * G;
    QTest::newRow("200000000 stream") << "1" << "200000000" << "" << 100 * G;
    QTest::newRow("100000000 stream") << "1" << "100000000" << "" << 100 * G;
    QTest::newRow("unparsable") << "0" << "deep" << "" << 20 * K;
    QTest::newRow("index 10") << "0" << "" << "10" << 500 * M;
    QTest::newRow("index 15 buffer") << "0" << "" << "15" << 50 * M;
    QTest::newRow("index 15 stream") << "1" << "" << "15" << 20 * G;
    QTest::newRow("nothing stream") << "1" << "" << "" << 5 * M;
}

void TstDevModels::storedDepth()
{
    QFETCH(QString, mode);
    QFETCH(QString, depth);
    QFETCH(QString, index);
    QFETCH(qint64, expected);
    store("VX3127", "smpMode", mode);
    if (!depth.isEmpty())
        store("VX3127", "smpDepth", depth);
    if (!index.isEmpty())
        store("VX3127", "smpDepthIndex", index);
    auto dev = make(3);
    QCOMPARE(dev->smpDepth, expected);
    QCOMPARE(dev->smpDepthList[dev->smpDepthIndex], expected);
}

// ---------------------------------------------------------------- channel/rate limits

void TstDevModels::seventhChannelLowersRate()
{
    store("Demo", "smpMode", QStringLiteral("1"));
    auto dev = make(0);
    dev->setDChnEna(firstN(16, 6));
    QVERIFY(dev->setSmpFrequ(1));
    QCOMPARE(dev->getSmpFrequ(), 50 * M);
    QCOMPARE(dev->getDChnEnaNum(), 6);

    QSignalSpy lower(dev.get(), &DevBase::sigSmpFrequToLower);
    QSignalSpy ena(dev.get(), &DevBase::sigChnEnaChanged);
    dev->setDChnEna(firstN(16, 7));
    QCOMPARE(ena.count(), 1);
    QCOMPARE(lower.count(), 1);
    QCOMPARE(dev->getSmpFrequ(), 20 * M);
    QCOMPARE(stored(dev->devName, "smpFrequ"), QStringLiteral("20000"));
    QCOMPARE(stored(dev->devName, "smpFrequIndex"), QStringLiteral("2"));

    // Buffer mode allows every channel at every rate.
    dev->setSmpMode(SmpModeBuffer);
    dev->setDChnEna(firstN(16, 6));
    QVERIFY(dev->setSmpFrequ(0));
    QSignalSpy lowerBuf(dev.get(), &DevBase::sigSmpFrequToLower);
    dev->setDChnEna(firstN(16, 16));
    QCOMPARE(lowerBuf.count(), 0);
    QCOMPARE(dev->getSmpFrequ(), 200 * M);
}

void TstDevModels::rateLimits_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("channels");
    QTest::addColumn<qint64>("maxRate");
    QTest::addColumn<int>("minIndex");

    QTest::newRow("2121A 10 channels") << 5 << 1 << 10 << 25 * M << 5;
    QTest::newRow("2121A 3 channels") << 5 << 1 << 3 << 100 * M << 0;
    QTest::newRow("2121A 16 channels") << 5 << 1 << 16 << 16 * M << 7;
    QTest::newRow("2121A 7 channels") << 5 << 1 << 7 << 32 * M << 4;
    QTest::newRow("2113 8 channels") << 1 << 1 << 8 << 24 * M << 0;
    QTest::newRow("generic stream 6") << 3 << 1 << 6 << 50 * M << 1;
    QTest::newRow("generic stream 16") << 3 << 1 << 16 << 20 * M << 2;
    QTest::newRow("generic buffer 16") << 3 << 0 << 16 << 200 * M << 0;
    QTest::newRow("6143A stream 32") << 9 << 1 << 32 << 10 * M << 3;
    QTest::newRow("6143A buffer 32") << 9 << 0 << 32 << 500 * M << 0;
    QTest::newRow("6127 buffer 16") << 4 << 0 << 16 << 500 * M << 0;
}

void TstDevModels::rateLimits()
{
    QFETCH(int, code);
    QFETCH(int, mode);
    QFETCH(int, channels);
    QFETCH(qint64, maxRate);
    QFETCH(int, minIndex);
    for (const char* n : {"VX3127", "VX6143"})
        store(n, "smpMode", QString::number(mode));
    auto dev = make(code);
    QCOMPARE(dev->getMaxSmpFrequ(channels), maxRate);
    QCOMPARE(dev->getMinSmpFrequIndex(channels), minIndex);
    // The channel count a rate allows is the largest whose limit still holds it.
    QVERIFY(dev->getMaxChnEnaNum(maxRate) >= channels);
}

void TstDevModels::minIndexFallsBackToLast()
{
    auto dev = make(0);
    // A limit that is not in the rate list.
    dev->chnFrequMapBuf = {{4, 123456}};
    QCOMPARE(dev->getMinSmpFrequIndex(16), dev->smpFrequList.size() - 1);
    QSignalSpy lower(dev.get(), &DevBase::sigSmpFrequToLower);
    dev->checkSmpFrequToLower();
    QCOMPARE(lower.count(), 1);
    QCOMPARE(dev->smpFrequIndex, dev->smpFrequList.size() - 1);
    QCOMPARE(dev->getSmpFrequ(), 20 * K);
}

// ---------------------------------------------------------------- labels

void TstDevModels::labels_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("rateLabels");
    QTest::addColumn<QStringList>("depthLabels");

    const QStringList tail = {"1 MHz", "500 KHz", "200 KHz", "100 KHz", "50 KHz", "20 KHz"};
    QTest::newRow("6127") << 4 << 0
                          << (QStringList{"500 MHz", "250 MHz", "125 MHz", "62.5 MHz", "25 MHz", "12.5 MHz", "5 MHz",
                                          "2.5 MHz"} + tail)
                          << QStringList{"20 KSa",   "200 KSa",  "1 MSa",    "2 MSa",  "5 MSa",
                                         "10 MSa",   "20 MSa",   "50 MSa*",  "100 MSa*", "200 MSa*",
                                         "500 MSa*", "1 GSa*",   "2 GSa*",   "5 GSa*", "10 GSa*"};
    QTest::newRow("2127 buffer") << 2 << 0
                                 << (QStringList{"100 MHz", "50 MHz", "20 MHz", "10 MHz", "5 MHz", "2 MHz"} + tail)
                                 << QStringList{"20 KSa",   "200 KSa", "1 MSa",  "2 MSa",  "5 MSa",
                                                "10 MSa",   "20 MSa",  "50 MSa", "100 MSa*", "200 MSa*",
                                                "500 MSa*", "1 GSa*",  "2 GSa*", "5 GSa*", "10 GSa*"};
    QTest::newRow("2121A")
        << 5 << 1
        << (QStringList{"100 MHz", "80 MHz", "50 MHz", "40 MHz", "32 MHz", "25 MHz", "20 MHz", "16 MHz", "12.5 MHz",
                        "10 MHz", "8 MHz", "5 MHz", "4 MHz", "2 MHz"} + tail)
        << QStringList{"20 KSa",  "200 KSa", "1 MSa",  "2 MSa",  "5 MSa",  "10 MSa", "20 MSa", "50 MSa", "100 MSa",
                       "200 MSa", "500 MSa", "1 GSa",  "2 GSa",  "5 GSa",  "10 GSa", "20 GSa", "50 GSa", "100 GSa"};
}

void TstDevModels::labels()
{
    QFETCH(int, code);
    QFETCH(int, mode);
    QFETCH(QStringList, rateLabels);
    QFETCH(QStringList, depthLabels);
    store("VX2127", "smpMode", QString::number(mode));
    auto dev = make(code);
    QCOMPARE(dev->getSmpFrequStringList(), rateLabels);
    QCOMPARE(dev->getSmpDepthStringList(), depthLabels);
}

// ---------------------------------------------------------------- setSmpTime

void TstDevModels::smpTime_data()
{
    QTest::addColumn<int>("rateIndex");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("depth");

    // Demo device in buffer mode: index 12 is 20 kHz, index 0 200 MHz.
    QTest::newRow("20 kHz 1 ms") << 12 << 0.001 << false << qint64(0);
    QTest::newRow("20 kHz 1 s") << 12 << 1.0 << true << 20 * K;
    QTest::newRow("20 kHz just short") << 12 << 0.99995 << false << qint64(0);
    QTest::newRow("200 MHz 50 s") << 0 << 50.0 << true << 10 * G;
    QTest::newRow("200 MHz 50.1 s") << 0 << 50.1 << false << qint64(0);
    QTest::newRow("200 MHz 0.25 s") << 0 << 0.25 << true << 50 * M;
    QTest::newRow("negative") << 0 << -1.0 << false << qint64(0);
    QTest::newRow("NaN") << 0 << std::numeric_limits<double>::quiet_NaN() << false << qint64(0);
    QTest::newRow("infinite") << 0 << std::numeric_limits<double>::infinity() << false << qint64(0);
    QTest::newRow("huge") << 0 << 1e300 << false << qint64(0);
}

void TstDevModels::smpTime()
{
    QFETCH(int, rateIndex);
    QFETCH(double, seconds);
    QFETCH(bool, ok);
    QFETCH(qint64, depth);
    auto dev = make(0);
    QVERIFY(dev->setSmpFrequ(rateIndex));
    const qint64 before = dev->smpDepth;
    const int index = dev->smpDepthIndex;
    QCOMPARE(dev->setSmpTime(seconds), ok);
    QCOMPARE(dev->smpDepth, ok ? depth : before);
    QCOMPARE(dev->smpDepthIndex, index);
    if (ok)
        QCOMPARE(stored(dev->devName, "smpDepth"), QString::number(depth / 1000));
}

// ---------------------------------------------------------------- channels and triggers

void TstDevModels::triggers()
{
    auto dev = make(3);
    dev->setDChnTrg(7, TrgFall);
    dev->setDChnTrg(3, TrgRise);
    QCOMPARE(int(dev->dChnTrg[7]), 0);
    QCOMPARE(int(dev->dChnTrg[3]), 3);

    // Level triggers leave other edges alone.
    dev->setDChnTrg(5, TrgHigh);
    dev->setDChnTrg(6, TrgLow);
    QCOMPARE(int(dev->dChnTrg[3]), 3);
    QCOMPARE(stored(dev->devName, "chnTrig"), QStringLiteral("0,0,0,3,0,2,1,0,0,0,0,0,0,0,0,0"));

    // Channel outside the list, type outside 0..4: ignored.
    const QVector<TrgType> before = dev->dChnTrg;
    dev->setDChnTrg(16, TrgRise);
    dev->setDChnTrg(-1, TrgRise);
    dev->setDChnTrg(2, TrgType(5));
    dev->setDChnTrg(2, TrgType(-1));
    QCOMPARE(dev->dChnTrg, before);

    // An edge replaces the edge, wherever it was.
    dev->setDChnTrg(0, TrgFall);
    QCOMPARE(int(dev->dChnTrg[0]), 4);
    QCOMPARE(int(dev->dChnTrg[3]), 0);
    QCOMPARE(int(dev->dChnTrg[5]), 2);

    // Pre-trigger depth only with a trigger.
    dev->setSmpDepth(2);
    QVERIFY(dev->setTrgPosition(10));
    QCOMPARE(dev->getPreTrgDepth(), qint64(100000));
    for (int i = 0; i < 16; ++i)
        dev->setDChnTrg(i, TrgNone);
    QCOMPARE(dev->getPreTrgDepth(), qint64(0));
}

void TstDevModels::enables()
{
    auto dev = make(3);
    dev->setDChnTrg(4, TrgRise);
    dev->setDChnTrg(9, TrgHigh);
    QSignalSpy ena(dev.get(), &DevBase::sigChnEnaChanged);

    // The current values: nothing happens.
    dev->setDChnEna(QVector<bool>(16, true));
    QCOMPARE(ena.count(), 0);

    // Wrong size: ignored.
    dev->setDChnEna(QVector<bool>(15, false));
    dev->setDChnEna(QVector<bool>(17, false));
    dev->setDChnEna(QVector<bool>());
    QCOMPARE(ena.count(), 0);
    QCOMPARE(dev->getDChnEnaNum(), 16);

    // Disabling a channel clears its trigger, in memory and in the settings.
    QVector<bool> v(16, true);
    v[4] = false;
    dev->setDChnEna(v);
    QCOMPARE(ena.count(), 1);
    QCOMPARE(int(dev->dChnTrg[4]), 0);
    QCOMPARE(int(dev->dChnTrg[9]), 2);
    QCOMPARE(stored(dev->devName, "chnEnable"), QStringLiteral("1,1,1,1,0,1,1,1,1,1,1,1,1,1,1,1"));
    QCOMPARE(stored(dev->devName, "chnTrig"), QStringLiteral("0,0,0,0,0,0,0,0,0,2,0,0,0,0,0,0"));

    // A trigger may be set on a disabled channel; the enable is not consulted.
    dev->setDChnTrg(4, TrgLow);
    QCOMPARE(int(dev->dChnTrg[4]), 1);
}

void TstDevModels::streamTrimsChannels()
{
    store("VX3127", "smpMode", QStringLiteral("1"));
    auto dev = make(3);
    QCOMPARE(dev->getSmpFrequ(), 10 * M);
    dev->setDChnEna(only(16, {0, 2, 3, 5, 7, 8, 10, 12, 15}));
    dev->setDChnTrg(15, TrgRise);
    dev->setDChnTrg(12, TrgHigh);
    dev->setDChnTrg(2, TrgLow);
    const QString trgBefore = stored(dev->devName, "chnTrig");
    QSignalSpy ena(dev.get(), &DevBase::sigChnEnaChanged);

    QVERIFY(dev->setSmpFrequ(1));   // 50 MHz allows 6 channels
    QCOMPARE(ena.count(), 1);
    QCOMPARE(dev->dChnEna, only(16, {0, 2, 3, 5, 7, 8}));
    QCOMPARE(int(dev->dChnTrg[15]), 0);
    QCOMPARE(int(dev->dChnTrg[12]), 0);
    QCOMPARE(int(dev->dChnTrg[2]), 1);
    QCOMPARE(stored(dev->devName, "chnEnable"), QStringLiteral("1,0,1,1,0,1,0,1,1,0,0,0,0,0,0,0"));
    // The trigger list is not written by the trimming.
    QCOMPARE(stored(dev->devName, "chnTrig"), trgBefore);
    QCOMPARE(stored(dev->devName, "smpFrequ"), QStringLiteral("50000"));

    // 100 MHz allows 3.
    QVERIFY(dev->setSmpFrequ(0));
    QCOMPARE(dev->dChnEna, only(16, {0, 2, 3}));

    // Buffer mode trims nothing.
    store("VX2127", "smpMode", QStringLiteral("0"));
    auto buf = make(2);
    QSignalSpy bufEna(buf.get(), &DevBase::sigChnEnaChanged);
    QVERIFY(buf->setSmpFrequ(0));
    QCOMPARE(bufEna.count(), 0);
    QCOMPARE(buf->getDChnEnaNum(), 16);

    // An index outside the list changes nothing.
    QVERIFY(!buf->setSmpFrequ(12));
    QVERIFY(!buf->setSmpFrequ(-1));
    QVERIFY(!buf->setSmpDepth(15));
    QCOMPARE(buf->smpFrequIndex, 0);
}

void TstDevModels::trgPosition()
{
    auto dev = make(2);
    QVERIFY(!dev->setTrgPosition(100));
    QVERIFY(!dev->setTrgPosition(-1));
    QVERIFY(!dev->setTrgPosition(std::numeric_limits<int>::min()));
    QCOMPARE(dev->trgPosition, 5);
    QCOMPARE(stored(dev->devName, "trgPosition"), QString());
    QVERIFY(dev->setTrgPosition(5));
    QCOMPARE(stored(dev->devName, "trgPosition"), QString());
    QVERIFY(dev->setTrgPosition(99));
    QCOMPARE(stored(dev->devName, "trgPosition"), QStringLiteral("99"));
    QVERIFY(dev->setTrgPosition(0));
    QCOMPARE(dev->getTrgPosition(), 0);
}

void TstDevModels::loadChannels()
{
    store("VX2127", "trgPosition", QStringLiteral("120"));
    store("VX2127", "chnTrig", QStringLiteral("5,3,2,9,-1,4,1"));
    store("VX2127", "chnEnable", QStringLiteral("1,1,0,1,1,0"));
    auto dev = make(2);
    QCOMPARE(dev->trgPosition, 5);
    const QVector<TrgType> trg = {TrgNone, TrgRise, TrgNone, TrgNone, TrgNone, TrgNone, TrgLow, TrgNone,
                                  TrgNone, TrgNone, TrgNone, TrgNone, TrgNone, TrgNone, TrgNone, TrgNone};
    QCOMPARE(dev->dChnTrg, trg);
    QVector<bool> ena(16, true);
    ena[2] = ena[5] = false;
    QCOMPARE(dev->dChnEna, ena);

    store("VX3127", "trgPosition", QStringLiteral("42"));
    QCOMPARE(make(3)->trgPosition, 42);
    store("VX3127", "trgPosition", QStringLiteral("-3"));
    QCOMPARE(make(3)->trgPosition, 5);
}

// ---------------------------------------------------------------- PWM

void TstDevModels::pwmWithoutDevice()
{
    auto dev = make(8);
    double f = -1;
    double d = -1;
    // The constructor's factory settings.
    dev->getPWMValue(0, &f, &d);
    QCOMPARE(f, 1000.0);
    QCOMPARE(d, 50.0);
    dev->getPWMValue(1, &f, &d);
    QCOMPARE(f, 100000.0);
    QCOMPARE(d, 50.0);
    QVERIFY(dev->getPWMEnable(0));
    QVERIFY(!dev->getPWMEnable(1));

    dev->setPWMValue(0, 30e6, 120);
    dev->getPWMValue(0, &f, &d);
    QCOMPARE(f, 20e6);
    QCOMPARE(d, 100.0);
    dev->setPWMValue(1, 0.01, -5);
    dev->getPWMValue(1, &f, &d);
    QCOMPARE(f, 0.1);
    QCOMPARE(d, 0.0);

    // Not a number, or an output that does not exist: ignored.
    dev->setPWMValue(1, std::nan(""), 50);
    dev->setPWMValue(1, 1000, std::numeric_limits<double>::infinity());
    dev->setPWMValue(2, 1000, 50);
    dev->setPWMValue(-1, 1000, 50);
    dev->getPWMValue(1, &f, &d);
    QCOMPARE(f, 0.1);
    QCOMPARE(d, 0.0);

    dev->getPWMValue(2, &f, &d);
    QCOMPARE(f, 0.0);
    QCOMPARE(d, 0.0);
    QVERIFY(!dev->getPWMEnable(5));
    QVERIFY(!dev->getPWMEnable(-1));

    dev->setPWMEnable(false, true);
    QVERIFY(!dev->getPWMEnable(0));
    QVERIFY(dev->getPWMEnable(1));

    QSignalSpy pwm(dev.get(), &DevBase::sigToolbarPWMEna);
    dev->saveToolbarPWMSet(true);
    QCOMPARE(Config::readGlobalParam(QStringLiteral("toolbarPWM")), QStringLiteral("1"));
    dev->saveToolbarPWMSet(false);
    QCOMPARE(Config::readGlobalParam(QStringLiteral("toolbarPWM")), QStringLiteral("0"));
    QCOMPARE(pwm.count(), 2);
}

void TstDevModels::pwmAccessCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("factory");
    QTest::newRow("exact") << "52p64w81m93" << true;
    QTest::newRow("upper case") << "52P64W81M93" << false;
    QTest::newRow("with space") << "52p64w81m93 " << false;
    QTest::newRow("empty") << "" << false;
}

void TstDevModels::pwmAccessCode()
{
    QFETCH(QString, code);
    QFETCH(bool, factory);
    Config::saveGlobalParam(QStringLiteral("extparam"), code);
    auto dev = make(7);
    double f0, d0, f1, d1;
    dev->getPWMValue(0, &f0, &d0);
    dev->getPWMValue(1, &f1, &d1);
    QCOMPARE(f0, factory ? 2.0 : 1000.0);
    QCOMPARE(f1, factory ? 2.0 : 100000.0);
    QCOMPARE(d0, 50.0);
    QCOMPARE(d1, 50.0);
    QVERIFY(dev->getPWMEnable(0));
    QCOMPARE(dev->getPWMEnable(1), factory);
}

// ---------------------------------------------------------------- shared settings

void TstDevModels::sharedNames()
{
    {
        auto a = make(2);
        QVERIFY(a->setSmpDepth(3));
        QVERIFY(a->setTrgPosition(33));
        a->setDChnTrg(1, TrgHigh);
    }
    auto b = make(6);
    QCOMPARE(b->devName, QStringLiteral("VX2127"));
    QCOMPARE(b->smpDepthIndex, 3);
    QCOMPARE(b->trgPosition, 33);
    QCOMPARE(int(b->dChnTrg[1]), 2);

    {
        auto c = make(8);
        QVERIFY(c->setSmpFrequ(4));   // 20 MHz in the 500 MHz buffer list
    }
    // The first revision has another list: the stored rate, not the index, decides.
    auto d = make(4);
    QCOMPARE(d->getSmpFrequ(), 12500 * K);

    // Different names keep their own settings.
    auto e = make(3);
    QCOMPARE(e->trgPosition, 5);
}

// ---------------------------------------------------------------- double buffer

void TstDevModels::doubleBuffer()
{
    auto dev = make(0);
    const SmpDataPtr first = dev->displayedSmpData();
    const SmpDataPtr second = dev->fillingSmpData();
    QVERIFY(first && second && first != second);
    QVERIFY(!dev->hasValidData());

    // A demo-style pass into the store not displayed.
    QVERIFY(dev->dataConvertStart(0));
    long long pos = 0;
    const int runs[] = {5, 5};
    QVERIFY(dev->dataConvertSimu(runs, 2, 0, &pos));
    dev->dataSetInitLevel(0, 1);
    dev->dataSetSmpDepth(100);
    dev->dataSetTrgPosition(40);
    QVERIFY(dev->dataConvertComplete(true));
    QCOMPARE(dev->displayedSmpData(), second);
    QVERIFY(dev->hasValidData());
    QCOMPARE(second->smpCount, 100LL);
    QCOMPARE(second->trgPosition, 40LL);
    QCOMPARE(second->getPointLevel(0, 0), 1);
    QCOMPARE(second->getPointLevel(0, 5), 0);
    QCOMPARE(second->getPointLevel(0, 10), 1);
    // The store that stopped being displayed is let go, not reused: a
    // reader may still hold it.
    QVERIFY(dev->fillingSmpData() != first);
    QVERIFY(dev->fillingSmpData() != second);

    // A pass that is not kept leaves the display alone.
    QVERIFY(dev->dataConvertStart(0));
    pos = 0;
    QVERIFY(dev->dataConvertSimu(runs, 2, 1, &pos));
    dev->dataSetSmpDepth(50);
    QVERIFY(dev->dataConvertComplete(false));
    QCOMPARE(dev->displayedSmpData(), second);
    QCOMPARE(dev->fillingSmpData()->smpCount, 0LL);
    QCOMPARE(second->smpCount, 100LL);

    // Toggling twice returns to the first slot; only data written between
    // the calls survives. The fresh store keeps the rate and the filter
    // widths of the one it replaces, as a cleared one did.
    second->filterWidth[3] = 4;
    const SmpDataPtr third = dev->fillingSmpData();
    third->smpCount = 77;
    dev->toggleSmpData();
    QCOMPARE(dev->displayedSmpData(), third);
    QCOMPARE(dev->displayedSmpData()->smpCount, 77LL);
    QCOMPARE(dev->fillingSmpData()->smpCount, 0LL);
    QCOMPARE(dev->fillingSmpData()->filterWidth[3], 4u);
    QCOMPARE(dev->fillingSmpData()->smpFrequ, second->smpFrequ);
    const SmpDataPtr fourth = dev->fillingSmpData();
    fourth->smpCount = 5;
    dev->toggleSmpData();
    QCOMPARE(dev->displayedSmpData(), fourth);
    QCOMPARE(dev->fillingSmpData()->smpCount, 0LL);
    QCOMPARE(dev->displayedSmpData()->smpCount, 5LL);
    dev->toggleSmpData();
    QVERIFY(dev->displayedSmpData() != fourth);
    QCOMPARE(dev->displayedSmpData()->smpCount, 0LL);
    QCOMPARE(dev->fillingSmpData()->smpCount, 0LL);
    QVERIFY(!dev->hasValidData());

    const SmpDataPtr a = dev->displayedSmpData();
    const SmpDataPtr b = dev->fillingSmpData();
    a->smpCount = 3;
    b->smpCount = 3;
    dev->clearSmpData();
    QCOMPARE(dev->displayedSmpData()->smpCount, 0LL);
    QCOMPARE(dev->fillingSmpData()->smpCount, 0LL);
    QCOMPARE(a->smpCount, 3LL);

    // Whatever happened since, and after the device object is gone, the
    // capture a reader held is the one it took.
    dev.reset();
    QCOMPARE(second->smpCount, 100LL);
    QCOMPARE(second->trgPosition, 40LL);
    QCOMPARE(second->getPointLevel(0, 0), 1);
    QCOMPARE(second->getPointLevel(0, 5), 0);
    QCOMPARE(second->getPointLevel(0, 10), 1);
}

void TstDevModels::analyzerRecord_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<quint32>("word");
    QTest::newRow("demo") << 0 << 0xFFFF0000u;
    QTest::newRow("2113") << 1 << 0xFFFE0001u;
    QTest::newRow("6143A") << 9 << 0xFFF60009u;
    QTest::newRow("9151") << 65 << 0xFFBE0041u;
    QTest::newRow("49 is the demo") << 49 << 0xFFFF0000u;
}

void TstDevModels::analyzerRecord()
{
    QFETCH(int, code);
    QFETCH(quint32, word);
    auto dev = make(code);
    QVERIFY(dev->dataConvertStart(0));
    long long pos = 0;
    const int runs[] = {3, 4};
    QVERIFY(dev->dataConvertSimu(runs, 2, 0, &pos));
    dev->dataSetSmpDepth(20);
    dev->dataSetTrgPosition(6);
    QVERIFY(dev->dataConvertComplete(true));

    DataForAnly rec;
    memset(&rec, 0, sizeof rec);
    const SmpDataPtr held = dev->genDataForAnly(&rec);
    const SmpDataPtr s = dev->displayedSmpData();
    QCOMPARE(held, s);
    QCOMPARE(rec.chnData, const_cast<DigitalChnData**>(s->chnData.data()));
    QCOMPARE(rec.smpCount, int64_t(20));
    QCOMPARE(rec.smpFrequ, int64_t(dev->getSmpFrequ()));
    QCOMPARE(rec.trgPosition, int64_t(6));
    QCOMPARE(rec.chnNum, int32_t(dev->dChnEna.size()));
    QCOMPARE(rec.devModelWord, word);
    for (uint32_t r : rec.reserved)
        QCOMPARE(r, 0u);
    QCOMPARE(rec.reserved2, 0u);
    // Entry 0 of channel 0 is the first edge at 3.
    QCOMPARE(tavEntryAt(rec.chnData[0], 0), int64_t(3));
}

// ---------------------------------------------------------------- runs

void TstDevModels::startKinds()
{
    DevBase::smpWorkerFactory = &FakeWorker::make;
    auto dev = make(3);
    QSignalSpy ready(dev.get(), &DevBase::sigSmpDataReady);

    // Without an instrument every kind runs on the demo worker.
    dev->smpStart(SmpStartAuto, false);
    dev->smpStopAndWait();
    QCOMPARE(ready.count(), 0);
    QCOMPARE(dev->smpStartMode, 0);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);

    dev->smpStart(SmpStartRepeatTrg, true);
    dev->smpStopAndWait();
    QCOMPARE(ready.count(), 1);
    QCOMPARE(ready.at(0).at(0).toInt(), 0);
    QCOMPARE(dev->smpStartMode, 2);
    QVERIFY(dev->smpRemote);

    dev->smpStart(SmpStartKeep, false);
    dev->smpStopAndWait();
    QCOMPARE(ready.count(), 2);
    QCOMPARE(dev->smpStartMode, 2);
    QVERIFY(!dev->smpRemote);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 3);
    QCOMPARE(FakeWorker::starts[SmpWorkerNormal].load(), 0);
    QCOMPARE(FakeWorker::starts[SmpWorkerStream].load(), 0);

    // A start clears both stores first, but not the capture a reader holds.
    const SmpDataPtr shown = dev->displayedSmpData();
    shown->smpCount = 9;
    dev->fillingSmpData()->smpCount = 9;
    dev->smpStart(SmpStartSingle, false);
    dev->smpStopAndWait();
    QCOMPARE(dev->displayedSmpData()->smpCount, 0LL);
    QCOMPARE(dev->fillingSmpData()->smpCount, 0LL);
    QCOMPARE(shown->smpCount, 9LL);
    QVERIFY(!dev->smpRunning);
}

void TstDevModels::restart()
{
    DevBase::smpWorkerFactory = &FakeWorker::make;
    auto dev = make(0);

    // Nothing runs: nothing to restart.
    QVERIFY(!dev->smpStopForRestart());
    dev->smpRestartIfNeed();
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 0);
    QVERIFY(!dev->smpRunning);

    FakeWorker::hold = true;
    dev->smpStart(SmpStartRepeat, false);
    QVERIFY(dev->smpRunning);
    QVERIFY(dev->smpStopForRestart());
    QVERIFY(!dev->smpRunning);
    QVERIFY(dev->smpStopReq);
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 1);

    dev->smpRestartIfNeed();
    QVERIFY(dev->smpRunning);
    QVERIFY(!dev->smpStopReq);
    QCOMPARE(dev->smpStartMode, 3);
    dev->smpStop();
    dev->smpStopAndWait();
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 2);
    QVERIFY(!dev->smpRunning);

    // The flag stays until the next stopForRestart overwrites it.
    FakeWorker::hold = false;
    dev->smpRestartIfNeed();
    dev->smpStopAndWait();
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 3);
    QVERIFY(!dev->smpStopForRestart());
    dev->smpRestartIfNeed();
    QCOMPARE(FakeWorker::starts[SmpWorkerSimulate].load(), 3);
}

void TstDevModels::startWithoutWorker()
{
    // No sampling layer installed: the run ends at once, reported as a run end.
    auto dev = make(0);
    QSignalSpy sta(dev.get(), &DevBase::sigSmpSta);
    QSignalSpy ready(dev.get(), &DevBase::sigSmpDataReady);
    dev->smpStart(SmpStartSingle, false);
    QVERIFY(!dev->smpRunning);
    QTRY_COMPARE(ready.count(), 2);
    QCOMPARE(ready.at(1).at(0).toInt(), 1);
    QCOMPARE(sta.count(), 1);
    QCOMPARE(sta.at(0).at(0).toInt(), 5);
    QCOMPARE(sta.at(0).at(1).toInt(), 0);
}

QTEST_GUILESS_MAIN(TstDevModels)
#include "tst_devmodels.moc"
