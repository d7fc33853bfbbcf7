#include "scope/wavedatagenosc.h"

#include "device/devbase.h"
#include "device/smpdataosc.h"

#include <algorithm>
#include <cmath>

WaveDataGenOsc* WaveDataGenOsc::me = nullptr;

namespace {

int analogChnNum()
{
    return devUsing ? devUsing->aChnEna.size() : 0;
}

} // namespace

WaveDataGenOsc::WaveDataGenOsc(QObject* parent) : QThread(parent)
{
    const int n = analogChnNum();
    smpPerPixel = QVector<double>(n, 0.0);
    smpOffset = QVector<double>(n, 0.0);
    me = this;
}

WaveDataGenOsc::~WaveDataGenOsc()
{
    if (me == this)
        me = nullptr;
}

SmpDataOscPtr WaveDataGenOsc::store()
{
    return devUsing ? devUsing->displayedSmpDataOsc() : nullptr;
}

DevBase* WaveDataGenOsc::oscDev()
{
    return devUsing;
}

void WaveDataGenOsc::freeLines()
{
    lineBufs.clear();
}

void WaveDataGenOsc::devModelChanged()
{
    const int n = analogChnNum();
    freeLines();
    lineBufs.resize(size_t(n));
    lineCounts = QVector<int>(n, 0);
    paramValues = QVector<double>(ParamNum * n, 0.0);
    paramValid = QVector<bool>(ParamNum * n, false);
    smpPerPixel = QVector<double>(n, 0.0);
    smpOffset = QVector<double>(n, 0.0);
    chnScaleState = QVector<int>(n, -1);
    autoScaleTargetOffset = QVector<double>(n, 0.0);
    mathLines.clear();
    mathLineCount = 0;
    autoScaleState = -1;
}

qint64 WaveDataGenOsc::timeDivNs() const
{
    if (!devUsing || devUsing->timeDivIndex < 0 || devUsing->timeDivIndex >= devUsing->timeDivList.size())
        return 0;
    return devUsing->timeDivList[devUsing->timeDivIndex];
}

double WaveDataGenOsc::rateOf(int chn) const
{
    const SmpDataOscPtr s = store();
    if (!s || chn < 0 || chn >= s->chnNum || !s->chnData[size_t(chn)])
        return 0.0;
    return double(s->chnData[size_t(chn)]->smpFrequ);
}

// (r x T div W) x 1e-8, the division in 64-bit integers; 0 without columns.
double WaveDataGenOsc::sppByInteger(int chn) const
{
    if (viewWidth <= 0)
        return 0.0;
    const qint64 r = qint64(rateOf(chn));
    const qint64 t = timeDivNs();
    if (r <= 0 || t <= 0)
        return 0.0;
    // Rates and time bases of the model keep r x T far below 2^63.
    return double((r * t) / viewWidth) * 1e-8;
}

void WaveDataGenOsc::setViewWidth(int width)
{
    viewWidth = width > 0 ? width : 0;
    const int n = chnCount();
    lineBufs.assign(size_t(n), std::vector<WaveLineA>(size_t(viewWidth)));
    lineCounts = QVector<int>(n, 0);
    if (paramValues.size() != ParamNum * n) {
        paramValues = QVector<double>(ParamNum * n, 0.0);
        paramValid = QVector<bool>(ParamNum * n, false);
    }
    mathLines = QVector<WaveLineA>(viewWidth);
    mathLineCount = 0;
    for (int i = 0; i < n; ++i)
        smpPerPixel[i] = sppByInteger(i);
    genData();
}

void WaveDataGenOsc::zoomFirst()
{
    const SmpDataOscPtr s = store();
    const double t = double(timeDivNs());
    const int pct = devUsing ? devUsing->aTrgPercent : 500;
    for (int i = 0; i < chnCount(); ++i) {
        const double r = rateOf(i);
        const double trg = (s && i < s->chnNum && s->chnData[size_t(i)]) ? s->chnData[size_t(i)]->trgPosition : 0;
        smpPerPixel[i] = viewWidth > 0 ? r * t * 1e-8 / viewWidth : 0.0;
        smpOffset[i] = trg - pct * r * t * 1e-8 / 1000;
    }
    freshCapture = true;
    genData();
}

void WaveDataGenOsc::zoom(int x)
{
    for (int i = 0; i < chnCount(); ++i) {
        const double old = smpPerPixel[i];
        smpPerPixel[i] = sppByInteger(i);
        smpOffset[i] += (old - smpPerPixel[i]) * x;
    }
    genData();
}

void WaveDataGenOsc::zoomChangedByTimediv()
{
    const double x = viewWidth * 0.5;
    for (int i = 0; i < chnCount(); ++i) {
        const double old = smpPerPixel[i];
        smpPerPixel[i] = sppByInteger(i);
        smpOffset[i] += (old - smpPerPixel[i]) * x;
    }
    genData();
}

void WaveDataGenOsc::moveOffset(int dx)
{
    for (int i = 0; i < chnCount(); ++i)
        smpOffset[i] -= smpPerPixel[i] * dx;
    genData();
}

void WaveDataGenOsc::moveTo(int chn, double begSmp)
{
    if (chn >= 0 && chn < chnCount() && smpPerPixel[chn] > 0 && std::isfinite(begSmp)) {
        const double d = (begSmp - smpOffset[chn]) / smpPerPixel[chn];
        for (int i = 0; i < chnCount(); ++i)
            smpOffset[i] += smpPerPixel[i] * d;
    }
    genData();
}

void WaveDataGenOsc::measure(int chn)
{
    const SmpDataOscPtr s = store();
    if (!s || chn < 0 || chn >= chnCount() || paramValues.size() < ParamNum * (chn + 1))
        return;
    s->getAParameterValues(chn, smpOffset[chn], viewWidth * smpPerPixel[chn], paramValues.data() + ParamNum * chn,
                           paramValid.data() + ParamNum * chn);
}

void WaveDataGenOsc::genData()
{
    const bool fresh = freshCapture;
    freshCapture = false;
    const SmpDataOscPtr s = store();
    const int n = chnCount();
    if (lineCounts.size() != n || paramValues.size() != ParamNum * n) {
        // Not sized for this device yet.
        emit sigViewRefreshOsc(true);
        return;
    }
    if (!devUsing || devUsing->smpStartMode != SmpStartAuto) {
        for (int i = 0; i < n; ++i) {
            std::vector<WaveLineA>& buf = lineBufs[size_t(i)];
            lineCounts[i] = s ? s->getAWaveLineData(i, smpOffset[i], smpPerPixel[i], int(buf.size()), buf.data()) : 0;
            if (s) {
                measure(i);
            } else {
                std::fill(paramValid.begin() + ParamNum * i, paramValid.begin() + ParamNum * (i + 1), false);
            }
        }
        if (devUsing && devUsing->aMathEna)
            genMathData();
        emit sigViewRefreshOsc(true);
        return;
    }

    // An auto-scale run: one step per capture.
    if (!fresh) {
        emit sigViewRefreshOsc(true);
        return;
    }
    if (unsigned(autoScaleState) >= 2) {
        if (autoScaleState == 2 && s && s->hasValidDataA(autoScaleChn)) {
            measure(autoScaleChn);
            autoScaleState = setAutoScaleTimeDiv(autoScaleChn);
            ++autoScaleSteps;
        }
        emit sigViewRefreshOsc(true);
        return;
    }
    autoScaleState = 1;
    if (chnScaleState.size() != n)
        chnScaleState = QVector<int>(n, -1);
    bool allSettled = true;
    for (int i = 0; i < n; ++i) {
        const bool ena = devUsing->aChnEna.value(i);
        const bool has = s && s->hasValidDataA(i);
        if (ena && !has)
            return;   // the next capture brings it
        if (has && chnScaleState[i] == 0) {
            measure(i);
            chnScaleState[i] = setAutoScaleVoltDiv(i);
            if (chnScaleState[i] == 0)
                allSettled = false;
        }
    }
    ++autoScaleSteps;
    if (!allSettled) {
        emit sigViewRefreshOsc(true);
        return;
    }
    autoScaleChn = int(std::find(chnScaleState.begin(), chnScaleState.end(), 1) - chnScaleState.begin());
    if (autoScaleChn >= n)
        autoScaleChn = -1;
    DevBase* d = oscDev();
    if (autoScaleChn >= 0) {
        autoScaleState = 2;
        if (d)
            d->setATimeDivIndex(9);
    } else {
        autoScaleState = 4;
        if (d)
            d->resetAutoScaleSet();
    }
    emit sigViewRefreshOsc(true);
}

void WaveDataGenOsc::genMathData()
{
    const SmpDataOscPtr s = store();
    if (!s || !devUsing || mathLines.isEmpty()) {
        mathLineCount = 0;
        return;
    }
    const int m = devUsing->aMathOperator;
    if (m < 0) {
        mathLineCount = 0;
        return;
    }
    const bool subtract = m % 3 != 0;
    const int a = 2 * (m / 3) + (m % 3 > 1 ? 1 : 0);
    const int b = a ^ 1;
    const int ref = (a < s->chnNum && s->chnData[size_t(a)] && s->chnData[size_t(a)]->smpFrequ != 0) ? a : b;
    if (ref >= chnCount()) {
        mathLineCount = 0;
        return;
    }
    const int pair[2] = {a, b};
    mathLineCount = s->getAMathWaveLineData(subtract ? 1 : 0, pair, smpOffset[ref], smpPerPixel[ref],
                                            mathLines.size(), mathLines.data());
}

int WaveDataGenOsc::getData(int chn, WaveLineA** lines)
{
    if (chn < 0 || chn >= chnCount())
        return -1;
    if (lines)
        *lines = size_t(chn) < lineBufs.size() && !lineBufs[size_t(chn)].empty() ? lineBufs[size_t(chn)].data() : nullptr;
    return chn < lineCounts.size() ? lineCounts[chn] : 0;
}

int WaveDataGenOsc::getMathData(WaveLineA** lines)
{
    if (lines)
        *lines = mathLines.isEmpty() ? nullptr : mathLines.data();
    return mathLineCount;
}

int WaveDataGenOsc::getParameterValuesA(int chn, double** values, bool** valid)
{
    if (!me || chn < 0 || ParamNum * (chn + 1) > me->paramValues.size())
        return 0;
    if (values)
        *values = me->paramValues.data() + ParamNum * chn;
    if (valid)
        *valid = me->paramValid.data() + ParamNum * chn;
    return ParamNum;
}

void WaveDataGenOsc::setAutoScaleStart()
{
    WaveDataGenOsc* g = me;
    if (!g)
        return;
    g->autoScaleState = 0;
    g->autoScaleChn = -1;
    const int n = g->chnCount();
    g->chnScaleState = QVector<int>(n, -1);
    g->autoScaleTargetOffset = QVector<double>(n, 0.0);
    int enabled = 0;
    for (int i = 0; i < n; ++i) {
        if (i < g->lineCounts.size())
            g->lineCounts[i] = 0;
        const bool ena = devUsing && devUsing->aChnEna.value(i);
        g->chnScaleState[i] = ena ? 0 : -1;
        enabled += ena;
    }
    if (enabled == 1) {
        g->autoScaleDivs = 10;
    } else if (enabled == 2) {
        g->autoScaleDivs = 5;
        for (int i = 0; i < n; ++i)
            g->autoScaleTargetOffset[i] = 250 - 500 * i;
    } else {
        g->autoScaleState = 4;
    }
    emit g->sigViewRefreshOsc(true);
}

int WaveDataGenOsc::setAutoScaleVoltDiv(int chn)
{
    DevBase* d = oscDev();
    const SmpDataOscPtr s = store();
    if (!d || !s || chn < 0 || chn >= chnCount() || d->voltDivList.isEmpty())
        return 2;
    const bool period = paramValid.value(ParamNum * chn + 6);
    if (!period && timeDivNs() < 100000000LL) {
        d->setATimeDivIndex(std::min(d->timeDivIndex + 6, d->timeDivList.size() - 1));
        return 0;
    }
    const double high = s->levelHigh.value(chn) > 0 ? s->levelHigh.value(chn) : 0.0;
    const double low = s->levelLow.value(chn) < 0 ? s->levelLow.value(chn) : 0.0;
    const int divs = autoScaleDivs > 0 ? autoScaleDivs : 10;
    const double need = std::trunc(((high - low) / 0.8) / divs);
    const QVector<int>& list = d->voltDivList;
    int k = list.size() - 1;
    for (int i = 0; i + 1 < list.size(); ++i) {
        if (list[i] >= need) {
            k = i;
            break;
        }
    }
    int result;
    if (period) {
        d->setAVoltDivIndex(chn, k);
        d->setATrgVolt(chn, (paramValues[ParamNum * chn] + paramValues[ParamNum * chn + 1]) * 0.5);
        result = 1;
    } else {
        k = std::max(k, int(list.size()) - 2);
        d->setAVoltDivIndex(chn, k);
        result = 2;
    }
    const double off = std::trunc(((high + low) * 0.5 * -1000) / (10.0 * list[k]))
                       + autoScaleTargetOffset.value(chn);
    d->setAChnOffset(chn, int(std::max(-1e6, std::min(1e6, off))));
    return result;
}

int WaveDataGenOsc::setAutoScaleTimeDiv(int chn)
{
    DevBase* d = oscDev();
    if (!d || chn < 0 || chn >= chnCount())
        return 4;
    if (!paramValid.value(ParamNum * chn + 6)) {
        if (timeDivNs() < 100000000LL) {
            d->setATimeDivIndex(std::min(d->timeDivIndex + 3, d->timeDivList.size() - 1));
            return 2;
        }
        d->resetAutoScaleSet();
        return 4;
    }
    const double t = paramValues[ParamNum * chn + 6] * 2.1 / 10000;
    const QVector<qint64>& list = d->timeDivList;
    int k = list.size() < 2 ? 0 : list.size() - 1;
    for (int i = 0; i + 1 < list.size(); ++i) {
        if (double(list[i]) > t) {
            k = i;
            break;
        }
    }
    d->setATimeDivIndex(k);
    d->setATrgChn(chn);
    d->setATrgVolt(chn, (paramValues[ParamNum * chn] + paramValues[ParamNum * chn + 1]) * 0.5);
    return 3;
}
