#include "analysis/pulsecounters.h"

#include <algorithm>

namespace PulseCounters {

QString timeLabel(int time)
{
    static const char* const labels[timeCount] = {"ALL", "A1-A2", "B1-B2", "C1-C2", "D1-D2", "E1-E2"};
    return time >= 0 && time < timeCount ? QString::fromLatin1(labels[time]) : QString();
}

QString typeIcon(int type)
{
    static const char* const icons[typeCount] = {":/res/btnPosEdge", ":/res/btnNegEdge", ":/res/btnPosPulse",
                                                 ":/res/btnNegPulse"};
    return type >= 0 && type < typeCount ? QString::fromLatin1(icons[type]) : QString();
}

int newType(const QVector<PulseCounter>& list)
{
    int n[typeCount] = {};
    for (const PulseCounter& c : list)
        if (c.type >= 0 && c.type < typeCount)
            ++n[c.type];
    return int(std::min_element(n, n + typeCount) - n);
}

bool chnEnabled(int chn, const QVector<bool>& ena)
{
    return chn >= 0 && chn < ena.size() && ena[chn];
}

int newChannel(const QVector<PulseCounter>& list, const QVector<bool>& ena)
{
    QVector<int> n(ena.size(), 0);
    for (const PulseCounter& c : list)
        if (c.chn >= 0 && c.chn < n.size())
            ++n[c.chn];
    int best = -1;
    for (int i = 0; i < ena.size(); ++i)
        if (ena[i] && (best < 0 || n[i] < n[best]))
            best = i;
    return best < 0 ? 0 : best;
}

bool timeUsable(int time, const bool* shown)
{
    return time == 0 || (time > 0 && time < timeCount && shown[time - 1]);
}

QStringList chnAndTimeSet(const QVector<PulseCounter>& list, const QVector<bool>& ena, const bool* shown)
{
    QStringList out;
    for (const PulseCounter& c : list) {
        const QString s = QString::number(c.chn) + QLatin1Char(',') + QString::number(c.time);
        if (chnEnabled(c.chn, ena) && timeUsable(c.time, shown) && !out.contains(s))
            out.append(s);
    }
    return out;
}

QStringList chnSet(const QVector<PulseCounter>& list, int pair, const QVector<bool>& ena)
{
    QStringList out;
    for (const PulseCounter& c : list) {
        const QString s = QString::number(c.chn);
        if (c.time == pair + 1 && chnEnabled(c.chn, ena) && !out.contains(s))
            out.append(s);
    }
    return out;
}

// Entries shorter than their format carry no number for every type; they
// are passed over rather than read past their end.
QString countFromAll(const PulseCounter& c, const QStringList& results)
{
    const QString chn = QString::number(c.chn);
    const QString time = QString::number(c.time);
    for (const QString& e : results) {
        const QStringList f = e.split(QLatin1Char(','));
        if (f.size() >= 2 + typeCount && f[0] == chn && f[1] == time)
            return f[2 + c.type];
    }
    return QStringLiteral("###");
}

bool countFromPair(const PulseCounter& c, int pair, const QStringList& results, QString* out)
{
    if (c.time != pair + 1)
        return false;
    const QString chn = QString::number(c.chn);
    for (const QString& e : results) {
        const QStringList f = e.split(QLatin1Char(','));
        if (f.size() >= 1 + typeCount && f[0] == chn) {
            *out = f[1 + c.type];
            return true;
        }
    }
    return false;
}

} // namespace PulseCounters
