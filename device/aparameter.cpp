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
    if (!data || n <= 0)
        return list;
    auto firstAtMost = [data](qint64 from, qint64 end, int thr) {
        for (qint64 k = from; k < end; ++k) {
            if (data[k] <= thr)
                return k;
        }
        return end;
    };
    auto firstAtLeast = [data](qint64 from, qint64 end, int thr) {
        for (qint64 k = from; k < end; ++k) {
            if (data[k] >= thr)
                return k;
        }
        return end;
    };
    // A pair starts on the first sample strictly inside the band: a sample
    // that lies on a threshold has ended the pair before and cannot start
    // the next one too (integer codes hit the thresholds often).
    auto firstAbove = [data](qint64 from, qint64 end, int thr) {
        for (qint64 k = from; k < end; ++k) {
            if (data[k] > thr)
                return k;
        }
        return end;
    };
    auto firstBelow = [data](qint64 from, qint64 end, int thr) {
        for (qint64 k = from; k < end; ++k) {
            if (data[k] < thr)
                return k;
        }
        return end;
    };

    qint64 i = firstAtMost(0, n, lowThr);
    if (i >= n)
        return list;
    // data[i] <= lowThr, so every pass moves on.
    while (i < n) {
        const qint64 a = firstAbove(i, n, lowThr);
        const qint64 b = firstAtLeast(a, n, highThr);
        const qint64 c = firstBelow(b, n, highThr);
        const qint64 e = firstAtMost(c, n, lowThr);
        list << a << b << c << e;
        i = e;
    }

    if (!list.isEmpty() && data[0] > highThr) {
        // Leading falling edge, searched no further than the first entry.
        const qint64 bound = list.front();
        const qint64 q = firstBelow(0, bound, highThr);
        const qint64 r = firstAtMost(q, bound, lowThr);
        if (q > 0 && r > q) {
            list.prepend(r);
            list.prepend(q);
        }
    }

    while (list.size() >= 2 && list[list.size() - 1] == list[list.size() - 2])
        list.removeLast();
    if (list.size() % 2)
        list.removeLast();
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
    // A list entry may be n ("not found"): read the last sample of the window there.
    auto code = [w, n](qint64 i) { return int(w[i < n ? i : n - 1]); };

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

    const int g = int(4 * ((L.size() - 2) / 8) - (P % 2 == 0 ? 2 : 0));
    const double d1 = double(L[g + 1] - L[g]) * psPerSmp;
    const double d2 = double(L[g + 3] - L[g + 2]) * psPerSmp;
    const bool risingFirst = code(L[g]) < code(L[g + 1]);
    values[8] = risingFirst ? d1 : d2;
    values[9] = risingFirst ? d2 : d1;
    valid[8] = valid[9] = true;

    // Pulse widths: where each of three consecutive pairs crosses the middle.
    const int m = (high + low) / 2;
    auto crossing = [&](qint64 a, qint64 e) -> long long {
        if (a >= e)
            return 0;
        const bool rising = code(a) < code(e);
        // Sample a itself, else the first one inside the pair.
        for (qint64 k = a; k < e; ++k) {
            const int v = code(k);
            if (rising ? v >= m : v <= m)
                return k + s0;
        }
        return 0;
    };
    const long long t0 = crossing(L[g], L[g + 1]);
    const long long t1 = crossing(L[g + 2], L[g + 3]);
    const long long t2 = crossing(L[g + 4], L[g + 5]);
    const double w1 = double(t1 - t0) * psPerSmp;
    const double w2 = double(t2 - t1) * psPerSmp;
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
