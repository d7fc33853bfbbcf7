#include "device/dev7329.h"

#include "device/devsupport.h"
#include "device/smpdata.h"
#include "device/smpdataosc.h"

#include <cmath>

namespace {

constexpr qint64 MaxRate = 100000000LL;
constexpr int LogicChnNum = 16;

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
    initOscStores(AChnNum, LogicChnNum);

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
    const int r = devSupport->ctrlRead(UsbReq::Eeprom, static_cast<unsigned short>(addr), rec, CalibRecordSize, &done);
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

int Dev7329::saveCalibParam()
{
    // The trigger level is divided by the slopes: never store one of 0 or less.
    for (int i = 0; i < 2; ++i)
        if (calibData.slope[i] <= 0)
            calibData.slope[i] = 1000;
    if (!devSupport)
        return UsbErrNoDevice;
    QByteArray rec = calibRecord();
    auto* p = reinterpret_cast<unsigned char*>(rec.data());
    // A failed first copy leaves the second one as it was, so the instrument
    // still holds one valid record.
    for (int addr : {CalibAddr0, CalibAddr1}) {
        int done = 0;
        const int r = devSupport->ctrlWrite(UsbReq::Eeprom, static_cast<unsigned short>(addr), p, CalibRecordSize,
                                            &done);
        if (r != 0)
            return r;
        if (done < CalibRecordSize)
            return UsbErrTransfer;
    }
    return UsbOk;
}
