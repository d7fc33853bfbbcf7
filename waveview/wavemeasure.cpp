#include "waveview/wavemeasure.h"

#include "core/config.h"
#include "core/engunit.h"
#include "device/smpdata.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace WaveMeasure {

const QStringList timeUnits = EngUnit::psUnits();
const QStringList freqUnits = EngUnit::hzUnits();

RowLayout layoutRows(const QVector<int>& pos, const QVector<int>& mult, const QVector<bool>& ena,
                     int avail)
{
    RowLayout r;
    const int n = pos.size();
    QVector<int> u(n + 1, 0);
    for (int i = 0; i < n; ++i) {
        const int p = pos[i];
        if (p >= 0 && p < n)
            u[p + 1] = ena.value(i) ? mult.value(i, 1) : 0;
    }
    for (int k = 1; k <= n; ++k)
        u[k] += u[k - 1];
    const double lo = Config::pixel(42), hi = Config::pixel(120);
    double unit = u[n] > 0 ? double(avail) / u[n] : hi;
    if (unit < lo)
        unit = lo;
    else if (unit > hi)
        unit = hi;
    r.unit = unit;
    r.rowTops.resize(n);
    r.heights.resize(n);
    for (int k = 0; k < n; ++k)
        r.rowTops[k] = int(u[k] * unit);
    for (int k = 0; k + 1 < n; ++k)
        r.heights[k] = r.rowTops[k + 1] - r.rowTops[k];
    if (n > 0) {
        r.heights[n - 1] = int(unit * u[n] - r.rowTops[n - 1]);
        r.total = r.rowTops[n - 1] + r.heights[n - 1];
    }
    return r;
}

QString timeText(double ps)
{
    if (!std::isfinite(ps))
        return QStringLiteral("###");
    const long long v = (long long)ps;
    const int digits = QString::number(v).size();
    // A time before the reference takes the unit of its size.
    const QString text = EngUnit::text(std::fabs(double(v)), timeUnits, digits);
    return v < 0 ? QStringLiteral("-") + text : text;
}

QString unitText(double v, const QStringList& units)
{
    if (!(v > 0) || !std::isfinite(v))
        return QStringLiteral("###");
    return EngUnit::text(v, units, 9);
}

QStringList measureTexts(double widthPs, double periodPs, double duty, double freqHz)
{
    const QString dutyText = duty > 0 && std::isfinite(duty)
        ? QString::number(duty * 100, 'g', 9) + QStringLiteral("%")
        : QStringLiteral("###");
    return {unitText(widthPs, timeUnits), unitText(periodPs, timeUnits), dutyText,
            unitText(freqHz, freqUnits)};
}

bool periodAt(const SmpData* s, int chn, long long smp, Period* out)
{
    if (!s || s->smpFrequ <= 0)
        return false;
    RelatedSmpPoint r;
    if (s->getRelatedSmpPoint(chn, smp, &r) < 0)
        return false;
    const double ps = 1e12 / double(s->smpFrequ);
    Period p;
    p.hasPre = r.preEdge >= 0;
    p.pre = p.hasPre ? r.preEdge : 0;
    p.next = r.nextEdge;
    p.width = double(p.next - p.pre) * ps;
    p.after = r.afterNextEdge > p.next ? r.afterNextEdge : p.next;
    // A run that starts at the capture's first sample or ends at its last
    // has no edge there: no period can be told.
    if (p.hasPre && p.after > p.next) {
        const double len = double(p.after - p.pre);
        p.period = len * ps;
        p.duty = (r.level ? p.width : p.period - p.width) / p.period;
        p.freq = double(s->smpFrequ) / len;
    }
    *out = p;
    return true;
}

bool pulseCounts(const SmpData* s, int chn, long long a, long long b, PulseCounts* out)
{
    if (!s)
        return false;
    if (a > b)
        std::swap(a, b);
    DigitalDataSubs ca;
    const int level = s->locateSmpPoint(chn, a, &ca);
    if (level < 0)
        return false;
    const bool atEdge = s->getPreRecordPoint(chn, &ca) == a;
    DigitalDataSubs cb = ca;   // b lies at or after a: the search goes on from a
    if (s->locateNextSmpPoint(chn, b, &cb) < 0)
        return false;
    // Edges in (a, b], alternating from the level at a, plus the one at a.
    const long long n = tavCursorIndex(cb) - tavCursorIndex(ca);
    const long long e = atEdge ? 1 : 0;
    const long long h = n / 2;
    const long long p = e + h, q = n - h;
    // The first edge after a closes a pulse that began before a, unless a
    // itself is that pulse's edge.
    const long long r = std::max(0LL, n - h - (1 - e)), sh = h;
    out->rising = level ? p : q;
    out->falling = level ? q : p;
    out->positive = level ? r : sh;
    out->negative = level ? sh : r;
    return true;
}

QString pulseCountText(const SmpData* s, int chn, long long a, long long b)
{
    PulseCounts c;
    if (!pulseCounts(s, chn, a, b, &c))
        return QStringLiteral(",###,###,###,###");
    return QStringLiteral(",%1,%2,%3,%4").arg(c.rising).arg(c.falling).arg(c.positive).arg(c.negative);
}

long long snapToEdge(const SmpData* s, int chn, long long smp, double spp, int maxPx)
{
    if (!s || chn < 0 || !(spp > 0))
        return smp;
    RelatedSmpPoint r;
    if (s->getRelatedSmpPoint(chn, smp, &r) < 0 || r.nextEdge < 0)
        return smp;
    const long long pre = r.preEdge >= 0 ? r.preEdge : 0;
    const long long dPre = smp - pre, dNext = r.nextEdge - smp;
    const long long cand = dPre < dNext ? pre : r.nextEdge;
    const double px = double(std::min(dPre, dNext)) / spp * Config::pixel(1);
    return px <= Config::pixel(maxPx) ? cand : smp;
}

bool samplesToPs(double samples, long long rate, long long* ps)
{
    if (rate <= 0)
        return false;
    const double v = samples * 1e12 / double(rate);
    if (!std::isfinite(v) || std::fabs(v) > 9.2e18)
        return false;
    *ps = (long long)v;
    return true;
}

} // namespace WaveMeasure
