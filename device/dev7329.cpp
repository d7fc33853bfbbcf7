#include "device/dev7329.h"

#include "device/devsupport.h"
#include "device/smpdata.h"
#include "device/smpdataosc.h"

#include <cmath>

namespace {

constexpr qint64 MaxRate = 100000000LL;
constexpr int LogicChnNum = 16;

constexpr int RegAChnEna = 0x3E;
constexpr int RegACoupling = 0x3F;
constexpr int RegAGain = 0x40;
constexpr int RegAOffset = 0x48;
constexpr unsigned char ReqEeprom = 0xA2;

// Gain word of each volts/div step, 20 mV/div first.
const int DefaultGain[7] = {586, 448, 261, 75, -173, -359, -546};

int le16(const unsigned char* p)
{
    return qint16(quint16(p[0] | (p[1] << 8)));
}

void putLe16(unsigned char* p, int v)
{
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

int sbyte(unsigned char b)
{
    return qint8(b);
}

} // namespace

Dev7329::Dev7329()
{
    initModel(DevModel7329, "VQ7329", 40960, LogicChnNum, {DevFuncVth, DevFuncPWM});

    aChnEna = QVector<bool>(AChnNum, true);
    smpDataOsc[0] = new SmpDataOsc(AChnNum, LogicChnNum);
    smpDataOsc[1] = new SmpDataOsc(AChnNum, LogicChnNum);

    timeDivList.clear();
    for (qint64 decade = 10; decade <= 1000000000LL; decade *= 10) {
        timeDivList << decade << 2 * decade << 5 * decade;
    }
    voltDivList = {20, 50, 100, 200, 500, 1000, 2000};
    halfScreenCodeList = {320, 480, 480, 480, 480, 480, 480};

    for (int ch = 0; ch < 4; ++ch) {
        offsetZero[ch] = QVector<int>(3, 0);
        gainTable[ch] = QVector<int>(voltDivList.size(), 0);
    }
    resetCalibParam();

    // Logic channels start disabled in this model, whatever was stored.
    dChnEna.fill(false);

    loadAChnSettings();
    genChnFrequMap(MaxRate);
    setWorkMode(WorkModeOsc);
}

// ---------------------------------------------------------------- modes

void Dev7329::setWorkMode(DevWorkMode mode)
{
    DevBase::setWorkMode(mode);
    setSmpMode(mode == WorkModeOsc ? SmpModeBuffer : SmpModeStream);
}

void Dev7329::setSmpMode(DevSmpMode mode)
{
    if (mode == SmpModeBuffer) {
        smpFrequList = {100000000LL, 50000000LL, 20000000LL, 10000000LL, 5000000LL, 2000000LL, 1000000LL,
                        500000LL,    200000LL,   100000LL,   50000LL,    20000LL,    10000LL,   5000LL,
                        2000LL,      1000LL,     500LL,      200LL,      100LL};
        smpDepthList = {10000};
        defFrequIndex = 0;
        defDepthIndex = 0;
        smpDepthMarkLimit = smpDepthList.last();
    } else if (mode == SmpModeStream) {
        genSmpDepthList(SmpModeStream);
        genSmpFrequList(SmpModeStream, MaxRate);
    } else {
        return;
    }
    bindBulkCallback(mode);
    loadSmpDepth();
    loadSmpFrequ();
    updateSmpModeEmitSig(mode);
    checkSmpFrequToLower();
}

// ---------------------------------------------------------------- connection

int Dev7329::devConnect(unsigned char* ident, double)
{
    const int r = DevBase::devConnect(ident, 0.0);
    if (r != 0)
        return r;
    smpClock /= 2;

    unsigned char rec[CalibRecordSize];
    if (!(readCalib(CalibAddr0, rec) == 0 && loadCalibRecord(rec, CalibRecordSize))
        && !(readCalib(CalibAddr1, rec) == 0 && loadCalibRecord(rec, CalibRecordSize)))
        resetCalibParam();

    setAChnOffset();
    setACoupling();
    setAChnGain();
    setAChnEna();
    return 0;
}

int Dev7329::readCalib(int addr, unsigned char* rec)
{
    if (!devSupport)
        return 1;
    int done = 0;
    const int r = devSupport->ctrlRead(ReqEeprom, static_cast<unsigned short>(addr), rec, CalibRecordSize, &done);
    if (r != 0)
        return r;
    return done < CalibRecordSize ? 2 : 0;
}

// ---------------------------------------------------------------- calibration

void Dev7329::resetCalibParam()
{
    for (int ch = 0; ch < 4; ++ch) {
        offsetZero[ch].fill(0, 3);
        offsetSlope[ch] = 1241;
        gainTable[ch].resize(voltDivList.size());
        for (int i = 0; i < gainTable[ch].size(); ++i)
            gainTable[ch][i] = i < 7 ? DefaultGain[i] : 0;
    }
    calibData = CalibAdcData{};
    calibData.slope[0] = 1000;
    calibData.slope[1] = 1000;
}

quint32 Dev7329::getCheckSum(const unsigned char* data, int len)
{
    quint32 sum = 0;
    for (int i = 0; i < len; ++i)
        sum += data[i];
    return sum;
}

bool Dev7329::isCalibRecordValid(const unsigned char* rec, int len)
{
    if (!rec || len < CalibRecordSize)
        return false;
    const quint32 check = quint32(rec[CalibRecordSize - 2] | (rec[CalibRecordSize - 1] << 8));
    return (getCheckSum(rec, CalibRecordSize - 2) ^ check) == 0xFFFF;
}

QByteArray Dev7329::calibRecord() const
{
    unsigned char rec[CalibRecordSize] = {};
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 3; ++i)
            rec[3 * ch + i] = static_cast<unsigned char>(offsetZero[ch].value(i) & 0xFF);
    putLe16(rec + 6, offsetSlope[0]);
    putLe16(rec + 8, offsetSlope[1]);
    rec[10] = static_cast<unsigned char>(calibData.zeroDual[0] & 0xFF);
    rec[11] = static_cast<unsigned char>(calibData.zeroDual[1] & 0xFF);
    rec[12] = static_cast<unsigned char>(calibData.zeroSingle[0] & 0xFF);
    rec[13] = static_cast<unsigned char>(calibData.zeroSingle[1] & 0xFF);
    putLe16(rec + 14, calibData.slope[0]);
    putLe16(rec + 16, calibData.slope[1]);
    for (int i = 0; i < 7; ++i) {
        putLe16(rec + 18 + 4 * i, gainTable[0].value(i));
        putLe16(rec + 20 + 4 * i, gainTable[1].value(i));
    }
    putLe16(rec + CalibRecordSize - 2, int(~getCheckSum(rec, CalibRecordSize - 2) & 0xFFFF));
    return QByteArray(reinterpret_cast<const char*>(rec), CalibRecordSize);
}

bool Dev7329::loadCalibRecord(const unsigned char* rec, int len)
{
    if (!isCalibRecordValid(rec, len))
        return false;
    for (int ch = 0; ch < 2; ++ch) {
        offsetZero[ch].resize(3);
        for (int i = 0; i < 3; ++i)
            offsetZero[ch][i] = sbyte(rec[3 * ch + i]);
    }
    offsetSlope[0] = le16(rec + 6);
    offsetSlope[1] = le16(rec + 8);
    calibData.zeroDual[0] = sbyte(rec[10]);
    calibData.zeroDual[1] = sbyte(rec[11]);
    calibData.zeroSingle[0] = sbyte(rec[12]);
    calibData.zeroSingle[1] = sbyte(rec[13]);
    // The trigger level is divided by the slope: a slope of 0 or less
    // (a record of a failed calibration) falls back to unity.
    for (int i = 0; i < 2; ++i) {
        const int s = le16(rec + 14 + 2 * i);
        calibData.slope[i] = s > 0 ? s : 1000;
    }
    for (int i = 0; i < 7; ++i) {
        if (i < gainTable[0].size())
            gainTable[0][i] = le16(rec + 18 + 4 * i);
        if (i < gainTable[1].size())
            gainTable[1][i] = le16(rec + 20 + 4 * i);
    }
    return true;
}

void Dev7329::saveCalibParam()
{
    // The trigger level is divided by the slopes: never store one of 0 or less.
    for (int i = 0; i < 2; ++i)
        if (calibData.slope[i] <= 0)
            calibData.slope[i] = 1000;
    if (!devSupport)
        return;
    QByteArray rec = calibRecord();
    auto* p = reinterpret_cast<unsigned char*>(rec.data());
    devSupport->ctrlWrite(ReqEeprom, CalibAddr0, p, CalibRecordSize);
    devSupport->ctrlWrite(ReqEeprom, CalibAddr1, p, CalibRecordSize);
}

int Dev7329::offsetWord(int chn) const
{
    if (!validChn(chn) || chn >= 4)
        return 0;
    const int k = aVoltDivIndex.value(chn);
    const QVector<int>& zeros = offsetZero[chn];
    const int z = zeros.isEmpty() ? 0 : zeros[qBound(0, k, zeros.size() - 1)];
    const double half = halfScreenCodeList.value(qBound(0, k, halfScreenCodeList.size() - 1));
    return int(std::trunc(aChnOffset.value(chn) / 1000.0 * half / 500.0 * offsetSlope[chn])) + z;
}

// ---------------------------------------------------------------- registers

void Dev7329::writeWords(int reg, const QVector<int>& words)
{
    QByteArray b(2 * words.size(), '\0');
    for (int i = 0; i < words.size(); ++i)
        putLe16(reinterpret_cast<unsigned char*>(b.data()) + 2 * i, words[i]);
    regWrite(reg, reinterpret_cast<const unsigned char*>(b.constData()), b.size());
}

void Dev7329::setAChnEna()
{
    unsigned char bits = 0;
    for (int ch = 0; ch < aChnEna.size() && ch < 8; ++ch)
        if (aChnEna[ch])
            bits |= static_cast<unsigned char>(1u << ch);
    regWrite(RegAChnEna, &bits, 1);
}

void Dev7329::setACoupling()
{
    unsigned char bits = 0;
    for (int ch = 0; ch < aCoupling.size() && ch < 8; ++ch)
        if (aCoupling[ch] != 0)
            bits |= static_cast<unsigned char>(1u << ch);
    regWrite(RegACoupling, &bits, 1);
}

void Dev7329::setAChnGain()
{
    QVector<int> words;
    for (int ch = 0; ch < aChnEna.size() && ch < 4; ++ch) {
        const int k = aVoltDivIndex.value(ch);
        words << gainTable[ch].value(k);
    }
    writeWords(RegAGain, words);
}

void Dev7329::setAChnOffset()
{
    QVector<int> words;
    for (int ch = 0; ch < aChnEna.size() && ch < 4; ++ch)
        words << offsetWord(ch);
    writeWords(RegAOffset, words);
}

// ---------------------------------------------------------------- settings

void Dev7329::saveDev(const char* key, const QString& value)
{
    Config::saveDeviceParam(devName, QString::fromLatin1(key), value);
}

void Dev7329::saveIntList(const char* key, const QVector<int>& list)
{
    if (!list.isEmpty())
        saveDev(key, Config::IntArrayToString(list.constData(), list.size()));
}

QStringList Dev7329::getVoltDivStringList(int chn) const
{
    QStringList out;
    const int probe = aProbeRate.value(chn, 1);
    for (int mv : voltDivList) {
        const int v = mv * probe;
        out << (v >= 1000 ? QString::number(v / 1000) + QStringLiteral("V")
                          : QString::number(v) + QStringLiteral("mV"));
    }
    return out;
}

QStringList Dev7329::getATimeDivStringList() const
{
    QStringList out;
    for (qint64 ns : timeDivList)
        out << QString::number(ns);
    return out;
}

void Dev7329::setAChnEna(const QVector<bool>& ena)
{
    for (int i = 0; i < ena.size() && i < aChnEna.size(); ++i)
        aChnEna[i] = ena[i];
    Config::saveChnEnaSettings(devName, aChnEna, true);
    emit sigAChnEnaChanged();
    if (isConnected)
        setAChnEna();
}

void Dev7329::setATrgType(int type)
{
    // Only edges trigger an analog capture.
    if (type != TrgRise && type != TrgFall)
        return;
    aTrgType = type;
    saveDev("ATrigType", QString::number(type));
}

bool Dev7329::setATrgPercent(int percent)
{
    if (percent < 0 || percent > 1000)
        return false;
    if (percent == aTrgPercent)
        return true;
    aTrgPercent = percent;
    saveDev("ATrgPercent", QString::number(percent));
    emit sigATrgHorChanged();
    return true;
}

void Dev7329::setATrgVolt(int chn, double level)
{
    if (!validChn(chn) || chn >= aTrgVolt.size() || !std::isfinite(level))
        return;
    aTrgVolt[chn] = level;
    saveDev("ATrigVolt", Config::DoubleArrayToString(aTrgVolt.constData(), aTrgVolt.size()));
}

bool Dev7329::setATrgChn(int chn)
{
    if (!validChn(chn))
        return false;
    aTrgChn = chn;
    saveDev("ATrigChn", QString::number(chn));
    return true;
}

void Dev7329::setAProbeRate(int chn, int rate)
{
    if (!validChn(chn) || (rate != 1 && rate != 10))
        return;
    aProbeRate[chn] = rate;
    saveIntList("AProbeRate", aProbeRate);
}

void Dev7329::setACoupling(int chn, int coupling)
{
    if (!validChn(chn) || (coupling != 0 && coupling != 1))
        return;
    aCoupling[chn] = coupling;
    saveIntList("ACoupling", aCoupling);
    if (isConnected)
        setACoupling();
}

void Dev7329::setAVoltDivIndex(int chn, int index)
{
    if (!validChn(chn) || index < 0 || index >= voltDivList.size() || aVoltDivIndex[chn] == index)
        return;
    aVoltDivIndex[chn] = index;
    saveIntList("AVoltDivIndex", aVoltDivIndex);
    if (isConnected) {
        setAChnGain();
        setAChnOffset();
    }
}

bool Dev7329::setAVoltDivValue(int chn, int mV)
{
    const int i = voltDivList.indexOf(mV);
    if (i < 0 || !validChn(chn))
        return false;
    setAVoltDivIndex(chn, i);
    return true;
}

int Dev7329::getAVoltDivValue(int chn) const
{
    return voltDivList.value(aVoltDivIndex.value(chn, -1));
}

void Dev7329::setATimeDivIndex(int index)
{
    if (index < 0 || index >= timeDivList.size())
        return;
    timeDivIndex = index;
    saveDev("TimeDivIndex", QString::number(index));
}

bool Dev7329::setATimeDivValue(int ns)
{
    const int i = timeDivList.indexOf(qint64(ns));
    if (i < 0)
        return false;
    setATimeDivIndex(i);
    return true;
}

void Dev7329::setAChnOffset(int chn, int offset)
{
    if (!validChn(chn))
        return;
    aChnOffset[chn] = qBound(-500, offset, 500);
    saveIntList("AChnOffset", aChnOffset);
    if (isConnected)
        setAChnOffset();
}

void Dev7329::saveAMathSet()
{
    const int i = aMathOperator;
    if (i < 0 || i >= aMathScale.size() || i >= aMathOffset.size())
        return;
    saveDev(qPrintable(QStringLiteral("AMathOperator") + QString::number(i)),
            QString::number(aMathScale[i]) + QLatin1Char(',') + QString::number(aMathOffset[i]));
}

void Dev7329::saveSmpCtrlSet()
{
    savedVoltDivIndex = aVoltDivIndex;
    savedTimeDivIndex = timeDivIndex;
    savedTrgPercent = aTrgPercent;
}

void Dev7329::resetAutoScaleSet()
{
    timeDivIndex = (savedTimeDivIndex >= 0 && savedTimeDivIndex < timeDivList.size()) ? savedTimeDivIndex : 9;
    saveDev("TimeDivIndex", QString::number(timeDivIndex));
    aTrgPercent = qBound(0, savedTrgPercent, 1000);
    saveDev("ATrgPercent", QString::number(aTrgPercent));
}

void Dev7329::loadAChnSettings()
{
    const int n = aChnEna.size();
    auto readInts = [this, n](const char* key, int def) {
        QVector<int> v(n, def);
        Config::StringToIntArray(Config::readDeviceParam(devName, QString::fromLatin1(key)), v.data(), n);
        return v;
    };
    auto readInt = [this](const char* key, bool* ok) {
        return Config::readDeviceParam(devName, QString::fromLatin1(key)).toInt(ok);
    };

    // Every value is checked: the settings text may come from a foreign file.
    aChnOffset = readInts("AChnOffset", 0);
    for (int& v : aChnOffset)
        v = qBound(-500, v, 500);
    aProbeRate = readInts("AProbeRate", 1);
    for (int& v : aProbeRate)
        if (v != 1 && v != 10)
            v = 1;
    aCoupling = readInts("ACoupling", 0);
    for (int& v : aCoupling)
        if (v != 0 && v != 1)
            v = 0;
    aVoltDivIndex = readInts("AVoltDivIndex", 5);
    for (int& v : aVoltDivIndex)
        if (v < 0 || v >= voltDivList.size())
            v = 5 < voltDivList.size() ? 5 : 0;

    bool ok = false;
    const int td = readInt("TimeDivIndex", &ok);
    timeDivIndex = (ok && td >= 0 && td < timeDivList.size()) ? td : 9;
    const int tp = readInt("ATrgPercent", &ok);
    aTrgPercent = ok ? qBound(0, tp, 1000) : 500;
    const int tt = readInt("ATrigType", &ok);
    aTrgType = (ok && (tt == TrgRise || tt == TrgFall)) ? tt : TrgRise;
    const int tc = readInt("ATrigChn", &ok);
    aTrgChn = (ok && tc >= 0 && tc < n) ? tc : 0;

    aTrgVolt = QVector<double>(n, 0.0);
    Config::StringToDoubleArray(Config::readDeviceParam(devName, QStringLiteral("ATrigVolt")), aTrgVolt.data(), n);
    for (double& v : aTrgVolt)
        if (!std::isfinite(v))
            v = 0.0;

    aChnEna = QVector<bool>(n, true);
    Config::getChnEnaSettings(devName, &aChnEna, true);

    aMathEna = false;
    aMathOperator = 0;
    aMathScale = QVector<int>(6, 200);
    aMathOffset = QVector<int>(6, 0);
    for (int i = 0; i < 6; ++i) {
        const QStringList parts = Config::readDeviceParam(devName, QStringLiteral("AMathOperator") + QString::number(i))
                                      .split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (parts.size() != 2)
            continue;
        bool okS = false;
        bool okO = false;
        const int scale = parts[0].toInt(&okS);
        const int offset = parts[1].toInt(&okO);
        // A scale is a divisor of the math trace: only positive ones are taken.
        if (okS && okO && scale > 0) {
            aMathScale[i] = scale;
            aMathOffset[i] = qBound(-500, offset, 500);
        }
    }
    savedVoltDivIndex = aVoltDivIndex;
}
