// The analog settings of the device object: used in the oscilloscope work
// mode, which only the mixed-signal model enters. All of it runs in the GUI
// thread, like every setter of the device object.
#include "device/devbase.h"

#include "core/config.h"

#include <QByteArray>
#include <QStringList>
#include <cmath>

namespace {

constexpr int RegAChnEna = 0x3E;
constexpr int RegACoupling = 0x3F;
constexpr int RegAGain = 0x40;
constexpr int RegAOffset = 0x48;

void putLe16(unsigned char* p, int v)
{
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

} // namespace

int DevBase::offsetWord(int chn) const
{
    if (!validAChn(chn) || chn >= 4)
        return 0;
    const int k = aVoltDivIndex.value(chn);
    const QVector<int>& zeros = offsetZero[chn];
    const int z = zeros.isEmpty() ? 0 : zeros[qBound(0, k, zeros.size() - 1)];
    const double half = halfScreenCodeList.value(qBound(0, k, halfScreenCodeList.size() - 1));
    return int(std::trunc(aChnOffset.value(chn) / 1000.0 * half / 500.0 * offsetSlope[chn])) + z;
}

// ---------------------------------------------------------------- registers

void DevBase::writeWords(int reg, const QVector<int>& words)
{
    QByteArray b(2 * words.size(), '\0');
    for (int i = 0; i < words.size(); ++i)
        putLe16(reinterpret_cast<unsigned char*>(b.data()) + 2 * i, words[i]);
    regWrite(reg, reinterpret_cast<const unsigned char*>(b.constData()), b.size());
}

void DevBase::setAChnEna()
{
    unsigned char bits = 0;
    for (int ch = 0; ch < aChnEna.size() && ch < 8; ++ch)
        if (aChnEna.at(ch))
            bits |= static_cast<unsigned char>(1u << ch);
    regWrite(RegAChnEna, &bits, 1);
}

void DevBase::setACoupling()
{
    unsigned char bits = 0;
    for (int ch = 0; ch < aCoupling.size() && ch < 8; ++ch)
        if (aCoupling[ch] != 0)
            bits |= static_cast<unsigned char>(1u << ch);
    regWrite(RegACoupling, &bits, 1);
}

void DevBase::setAChnGain()
{
    QVector<int> words;
    for (int ch = 0; ch < aChnEna.size() && ch < 4; ++ch) {
        const int k = aVoltDivIndex.value(ch);
        words << gainTable[ch].value(k);
    }
    writeWords(RegAGain, words);
}

void DevBase::setAChnOffset()
{
    QVector<int> words;
    for (int ch = 0; ch < aChnEna.size() && ch < 4; ++ch)
        words << offsetWord(ch);
    writeWords(RegAOffset, words);
}

// ---------------------------------------------------------------- settings

void DevBase::saveDev(const char* key, const QString& value)
{
    Config::saveDeviceParam(devName, QString::fromLatin1(key), value);
}

void DevBase::saveIntList(const char* key, const QVector<int>& list)
{
    if (!list.isEmpty())
        saveDev(key, Config::IntArrayToString(list.constData(), list.size()));
}

QStringList DevBase::getVoltDivStringList(int chn) const
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

QStringList DevBase::getATimeDivStringList() const
{
    QStringList out;
    for (qint64 ns : timeDivList)
        out << QString::number(ns);
    return out;
}

void DevBase::setAChnEna(const QVector<bool>& ena)
{
    {
        std::lock_guard<std::mutex> l(aSetMutex);
        for (int i = 0; i < ena.size() && i < aChnEna.size(); ++i)
            aChnEna[i] = ena[i];
    }
    Config::saveChnEnaSettings(devName, aChnEna, true);
    emit sigAChnEnaChanged();
    if (isConnected)
        setAChnEna();
}

void DevBase::setATrgType(int type)
{
    // Only edges trigger an analog capture.
    if (type != TrgRise && type != TrgFall)
        return;
    aTrgType = type;
    saveDev("ATrigType", QString::number(type));
}

bool DevBase::setATrgPercent(int percent)
{
    if (percent < 0 || percent > 1000)
        return false;
    if (percent == aTrgPercent)
        return true;
    {
        std::lock_guard<std::mutex> l(aSetMutex);
        aTrgPercent = percent;
    }
    saveDev("ATrgPercent", QString::number(percent));
    emit sigATrgHorChanged();
    return true;
}

void DevBase::setATrgVolt(int chn, double level)
{
    if (!validAChn(chn) || chn >= aTrgVolt.size() || !std::isfinite(level))
        return;
    aTrgVolt[chn] = level;
    saveDev("ATrigVolt", Config::DoubleArrayToString(aTrgVolt.constData(), aTrgVolt.size()));
}

bool DevBase::setATrgChn(int chn)
{
    if (!validAChn(chn))
        return false;
    aTrgChn = chn;
    saveDev("ATrigChn", QString::number(chn));
    return true;
}

void DevBase::setAProbeRate(int chn, int rate)
{
    if (!validAChn(chn) || (rate != 1 && rate != 10))
        return;
    aProbeRate[chn] = rate;
    saveIntList("AProbeRate", aProbeRate);
}

void DevBase::setACoupling(int chn, int coupling)
{
    if (!validAChn(chn) || (coupling != 0 && coupling != 1))
        return;
    aCoupling[chn] = coupling;
    saveIntList("ACoupling", aCoupling);
    if (isConnected)
        setACoupling();
}

void DevBase::setAVoltDivIndex(int chn, int index)
{
    if (!validAChn(chn) || index < 0 || index >= voltDivList.size() || aVoltDivIndex[chn] == index)
        return;
    {
        std::lock_guard<std::mutex> l(aSetMutex);
        aVoltDivIndex[chn] = index;
    }
    saveIntList("AVoltDivIndex", aVoltDivIndex);
    if (isConnected) {
        setAChnGain();
        setAChnOffset();
    }
}

bool DevBase::setAVoltDivValue(int chn, int mV)
{
    const int i = voltDivList.indexOf(mV);
    if (i < 0 || !validAChn(chn))
        return false;
    setAVoltDivIndex(chn, i);
    return true;
}

int DevBase::getAVoltDivValue(int chn) const
{
    return voltDivList.value(aVoltDivIndex.value(chn, -1));
}

void DevBase::setATimeDivIndex(int index)
{
    if (index < 0 || index >= timeDivList.size())
        return;
    {
        std::lock_guard<std::mutex> l(aSetMutex);
        timeDivIndex = index;
    }
    saveDev("TimeDivIndex", QString::number(index));
}

bool DevBase::setATimeDivValue(int ns)
{
    const int i = timeDivList.indexOf(qint64(ns));
    if (i < 0)
        return false;
    setATimeDivIndex(i);
    return true;
}

void DevBase::setAChnOffset(int chn, int offset)
{
    if (!validAChn(chn))
        return;
    {
        std::lock_guard<std::mutex> l(aSetMutex);
        aChnOffset[chn] = qBound(-500, offset, 500);
    }
    saveIntList("AChnOffset", aChnOffset);
    if (isConnected)
        setAChnOffset();
}

void DevBase::saveAMathSet()
{
    const int i = aMathOperator;
    if (i < 0 || i >= aMathScale.size() || i >= aMathOffset.size())
        return;
    saveDev(qPrintable(QStringLiteral("AMathOperator") + QString::number(i)),
            QString::number(aMathScale[i]) + QLatin1Char(',') + QString::number(aMathOffset[i]));
}

void DevBase::saveSmpCtrlSet()
{
    savedVoltDivIndex = aVoltDivIndex;
    savedTimeDivIndex = timeDivIndex;
    savedTrgPercent = aTrgPercent;
}

void DevBase::resetAutoScaleSet()
{
    {
        std::lock_guard<std::mutex> l(aSetMutex);
        timeDivIndex = (savedTimeDivIndex >= 0 && savedTimeDivIndex < timeDivList.size()) ? savedTimeDivIndex : 9;
        aTrgPercent = qBound(0, savedTrgPercent, 1000);
    }
    saveDev("TimeDivIndex", QString::number(timeDivIndex));
    saveDev("ATrgPercent", QString::number(aTrgPercent));
}

void DevBase::loadAChnSettings()
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
    QVector<int> offsets = readInts("AChnOffset", 0);
    for (int& v : offsets)
        v = qBound(-500, v, 500);
    aProbeRate = readInts("AProbeRate", 1);
    for (int& v : aProbeRate)
        if (v != 1 && v != 10)
            v = 1;
    aCoupling = readInts("ACoupling", 0);
    for (int& v : aCoupling)
        if (v != 0 && v != 1)
            v = 0;
    QVector<int> divs = readInts("AVoltDivIndex", 5);
    for (int& v : divs)
        if (v < 0 || v >= voltDivList.size())
            v = 5 < voltDivList.size() ? 5 : 0;

    bool ok = false;
    const int td = readInt("TimeDivIndex", &ok);
    const bool tdOk = ok;
    const int tp = readInt("ATrgPercent", &ok);
    const bool tpOk = ok;
    QVector<bool> ena(n, true);
    Config::getChnEnaSettings(devName, &ena, true);
    {
        std::lock_guard<std::mutex> l(aSetMutex);
        aChnOffset = offsets;
        aVoltDivIndex = divs;
        aChnEna = ena;
        timeDivIndex = (tdOk && td >= 0 && td < timeDivList.size()) ? td : 9;
        aTrgPercent = tpOk ? qBound(0, tp, 1000) : 500;
    }
    const int tt = readInt("ATrigType", &ok);
    aTrgType = (ok && (tt == TrgRise || tt == TrgFall)) ? tt : TrgRise;
    const int tc = readInt("ATrigChn", &ok);
    aTrgChn = (ok && tc >= 0 && tc < n) ? tc : 0;

    aTrgVolt = QVector<double>(n, 0.0);
    Config::StringToDoubleArray(Config::readDeviceParam(devName, QStringLiteral("ATrigVolt")), aTrgVolt.data(), n);
    for (double& v : aTrgVolt)
        if (!std::isfinite(v))
            v = 0.0;

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
