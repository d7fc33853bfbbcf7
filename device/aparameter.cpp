// Automatic measurements of one analog channel: levels from a 100-bin
// histogram of the codes, times from threshold crossings.
#include "device/smpdataosc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int BinNum = 100;

// Bin b holds the codes v with trunc(v / 12) + 50 = b, ends clamped.
inline int binOf(int v)
{
    const int b = v / 12 + 50;
    return b < 0 ? 0 : (b >= BinNum ? BinNum - 1 : b);
}

// The populated bins walked from `from` toward `to` (exclusive); an entry is
// dropped while a later neighbour holds at least three times as many samples,
// so a few outliers beyond the flat part of a pulse do not become its level.
int pickLevelBin(const long long* hist, int from, int to, int fallback)
{
    std::vector<int> list;
    const int step = from > to ? -1 : 1;
    for (int b = from; b != to; b += step) {
        if (hist[b])
            list.push_back(b);
    }
    size_t i = 0;
    while (i + 1 < list.size()) {
        if (3 * hist[list[i]] <= hist[list[i + 1]])
            list.erase(list.begin() + long(i));
        else
            ++i;
    }
    return list.empty() ? fallback : list.front();
}

} // namespace

QVector<qint64> SmpDataOsc::getPeriodSubA(const short* data, qint64 n, int highThr, int lowThr)
{
    QVector<qint64> list;
    if (!data || n <= 0 || highThr <= lowThr)
        return list;
    // A Schmitt trigger between the two thresholds: a rise counts only once
    // the signal has been at or below lowThr, a fall only once it has been at
    // or above highThr, so noise around one threshold cannot add a pair. A
    // pair starts where the signal last crossed its first threshold on the
    // way (a sample on the threshold counts as crossed) and ends on the first
    // sample at or past the second.
    enum { Between, Low, High } state = Between;
    qint64 start = 0;
    auto enterLow = [&](qint64 k) {
        state = Low;
        start = data[k] < lowThr ? k + 1 : k;
    };
    auto enterHigh = [&](qint64 k) {
        state = High;
        start = data[k] > highThr ? k + 1 : k;
    };
    if (data[0] <= lowThr)
        enterLow(0);
    else if (data[0] >= highThr)
        enterHigh(0);
    for (qint64 k = 1; k < n; ++k) {
        const int v = data[k];
        switch (state) {
        case Low:
            if (v < lowThr) {
                start = k + 1;
            } else if (v >= highThr) {
                list << start << k;
                enterHigh(k);
            }
            break;
        case High:
            if (v > highThr) {
                start = k + 1;
            } else if (v <= lowThr) {
                list << start << k;
                enterLow(k);
            }
            break;
        case Between:
            if (v <= lowThr)
                enterLow(k);
            else if (v >= highThr)
                enterHigh(k);
            break;
        }
    }
    // A record ending inside an edge adds no pair: its last samples merely
    // back across the threshold just crossed are what noise alone can make,
    // and a period ending there would end in noise.
    return list;
}

void SmpDataOsc::getAParameterValues(int chn, double startSmp, double smpLen, double* values,
                                     bool* valid)
{
    if (!values || !valid)
        return;
    for (int i = 0; i < ParamNum; ++i) {
        values[i] = 0.0;
        valid[i] = false;
    }
    const AnalogChnData* d = block(chn);
    if (!d || !(smpLen >= 20) || d->smpCount < 1 || !std::isfinite(startSmp)
        || std::isnan(smpLen) || d->halfScreenCodes == 0)
        return;

    // Window.
    const long long cnt = std::min<long long>(d->smpCount, AnalogChnData::Capacity);
    if (startSmp >= double(cnt))
        return;
    double len = smpLen;
    long long s0 = (long long)startSmp;
    if (s0 < 0) {
        len -= double(-s0);
        s0 = 0;
    }
    long long n = len >= double(cnt - s0) ? cnt - s0 : (long long)len;
    if (n < 2)
        return;
    const short* w = d->data + s0;

    const double kMv = 5.0 * d->voltDiv / d->halfScreenCodes;
    const double offMv = d->voltDiv * d->offset / 100.0;
    auto mV = [kMv, offMv](double code) { return code * kMv - offMv; };

    // Levels.
    long long hist[BinNum] = {};
    long long sum = 0;
    for (long long i = 0; i < n; ++i) {
        ++hist[binOf(w[i])];
        sum += w[i];
    }
    values[4] = mV(double(sum) / double(n));
    valid[4] = true;

    int hi = 0;
    int lo = 0;
    for (int b = BinNum - 1; b >= 0; --b) {
        if (hist[b]) {
            hi = b;
            break;
        }
    }
    for (int b = 0; b < BinNum; ++b) {
        if (hist[b]) {
            lo = b;
            break;
        }
    }
    const int mid = (lo + hi) / 2;
    const int top = pickLevelBin(hist, hi, mid, hi);
    const int base = pickLevelBin(hist, lo, mid, lo);

    double csum[4] = {};
    long long ccnt[4] = {};
    for (long long i = 0; i < n; ++i) {
        const int b = binOf(w[i]);
        const int c = b == hi ? 0 : b == lo ? 1 : b == top ? 2 : b == base ? 3 : -1;
        if (c >= 0) {
            csum[c] += w[i];
            ++ccnt[c];
        }
    }
    auto mean = [&](int c, double fallback) { return ccnt[c] ? csum[c] / ccnt[c] : fallback; };
    const double meanHi = mean(0, 0.0);
    const double meanLo = lo == hi ? meanHi : mean(1, meanHi);
    const double meanTop = top == hi ? meanHi : mean(2, meanHi);
    const double meanBase = base == lo ? meanLo : mean(3, meanLo);

    values[0] = mV(meanTop);
    values[1] = mV(meanBase);
    values[2] = values[0] - values[1];
    values[3] = (meanHi - meanLo) * kMv;
    for (int i = 0; i < 4; ++i)
        valid[i] = true;
    if (chn < levelHigh.size())
        levelHigh[chn] = mV(meanHi);
    if (chn < levelLow.size())
        levelLow[chn] = mV(meanLo);

    // Time values need a signal spanning at least ten bins.
    if (std::abs(hi - lo) < 10)
        return;
    const int high = int(0.8 * meanTop + 0.2 * meanBase);
    const int low = int(0.2 * meanTop + 0.8 * meanBase);
    const QVector<qint64> L = getPeriodSubA(w, n, high, low);
    if (L.size() < 6)
        return;
    auto code = [w](qint64 i) { return int(w[i]); };

    const long long P = (L.size() - 2) / 4;
    const int last = int(4 * P);
    const long long cntP = L[last] - L[0] + 1;
    long long psum = 0;
    double sq = 0;
    const double offRms = d->voltDiv * d->offset / 100.0;
    for (long long i = L[0]; i <= L[last]; ++i) {
        const int v = code(i);
        psum += v;
        const double t = double((long long)v * d->voltDiv * 5 / d->halfScreenCodes) - offRms;
        sq += t * t;
    }
    values[4] = mV(double(psum) / double(cntP));
    values[5] = std::sqrt(sq / double(cntP));
    valid[5] = true;

    const long long T = cntP / P;
    const double f = double(d->smpFrequ);
    if (T <= 0 || !(f > 0))
        return;
    const double psPerSmp = 1e12 / f;
    values[6] = double(T) * psPerSmp;
    values[7] = f / double(T);
    valid[6] = valid[7] = true;

    // Pairs alternate, so the end of the first pair tells the kind of every pair.
    const bool firstRising = code(L[1]) >= high;
    auto rising = [&](int j) { return firstRising == ((j / 2) % 2 == 0); };
    const int g = int(4 * ((L.size() - 2) / 8) - (P % 2 == 0 ? 2 : 0));
    const bool risingFirst = rising(g);
    // An edge faster than one sample has no time to show.
    const qint64 d1 = L[g + 1] - L[g];
    const qint64 d2 = L[g + 3] - L[g + 2];
    const qint64 riseSmp = risingFirst ? d1 : d2;
    const qint64 fallSmp = risingFirst ? d2 : d1;
    values[8] = double(riseSmp) * psPerSmp;
    values[9] = double(fallSmp) * psPerSmp;
    valid[8] = riseSmp > 0;
    valid[9] = fallSmp > 0;

    // Pulse widths: where each of three consecutive pairs crosses the middle,
    // the first sample at or past it (an instantaneous edge: its own sample).
    // -1 when the pair never gets there.
    const int m = (high + low) / 2;
    auto crossing = [&](int j) -> long long {
        const bool up = rising(j);
        const qint64 end = std::min<qint64>(L[j + 1], n - 1);
        for (qint64 k = L[j]; k <= end; ++k) {
            const int v = w[k];
            if (up ? v >= m : v <= m)
                return k;
        }
        return -1;
    };
    const long long t0 = crossing(g);
    const long long t1 = crossing(g + 2);
    const long long t2 = crossing(g + 4);
    const double w1 = t0 >= 0 && t1 >= 0 ? double(t1 - t0) * psPerSmp : 0.0;
    const double w2 = t1 >= 0 && t2 >= 0 ? double(t2 - t1) * psPerSmp : 0.0;
    const double pos = risingFirst ? w1 : w2;
    const double neg = risingFirst ? w2 : w1;
    values[10] = pos;
    values[11] = neg;
    valid[10] = pos > 0;
    valid[11] = neg > 0;
    if (pos > 0 && neg > 0) {
        values[12] = pos / (pos + neg) * 100.0;
        valid[12] = true;
    }
}
