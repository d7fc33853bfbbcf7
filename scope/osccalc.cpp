#include "scope/osccalc.h"

#include "core/finitenumber.h"
#include "core/engunit.h"

#include <cmath>

int OscCalc::decimalsFor(qint64 step)
{
    return step < 10 ? 2 : (step < 100 ? 1 : 0);
}

int OscCalc::voltShown(int mV, QString* unit)
{
    const bool volts = mV >= 1000;
    if (unit)
        *unit = volts ? QStringLiteral("V") : QStringLiteral("mV");
    return volts ? mV / 1000 : mV;
}

qint64 OscCalc::timeShown(qint64 ns, int* unitIndex)
{
    const int k = EngUnit::stepDown(ns, 3);
    if (unitIndex)
        *unitIndex = k;
    return ns;
}

QString OscCalc::timeUnit(int unitIndex)
{
    static const char* const units[] = {"ns", "us", "ms", "s"};
    return QString::fromLatin1(units[qBound(0, unitIndex, 3)]);
}

bool OscCalc::readNumber(const QString& text, double* value)
{
    return readFiniteNumber(text, value);
}

double OscCalc::numberOrZero(const QString& text)
{
    double v = 0;
    return readNumber(text, &v) ? v : 0.0;
}

bool OscCalc::offsetPerMille(double value, double screen, int* perMille)
{
    if (!(screen > 0) || !std::isfinite(value))
        return false;
    const double sign = value < 0 ? -1.0 : 1.0;
    const double x = value * sign / screen * 1000;
    // Limited while still a double: a huge entry must not overflow the int.
    const double m = 2 * x >= 1000 ? 500.0 : x + 0.5;
    *perMille = int(std::trunc(m * sign));
    return true;
}

double OscCalc::offsetValue(int perMille, double screen)
{
    return screen * (perMille / 1000.0);
}

bool OscCalc::trgPercentFromTime(double time, double screen, int* percent)
{
    if (!(screen > 0) || !std::isfinite(time))
        return false;
    const double p = (time / screen + 0.5) * 1000 + 0.5;
    *percent = int(std::trunc(qBound(0.0, p, 1000.0)));
    return true;
}

double OscCalc::trgTimeFromPercent(int percent, double screen)
{
    return (percent / 1000.0 - 0.5) * screen;
}

int OscCalc::mathScaleFromText(const QString& text)
{
    if (!text.endsWith(QLatin1Char('V')))
        return 0;
    QString n = text.left(text.size() - 1);
    int mult = 1000;
    if (n.endsWith(QLatin1Char('m'))) {
        n.chop(1);
        mult = 1;
    }
    bool ok = false;
    const int v = n.toInt(&ok);
    return ok && v > 0 && v <= 1000000 ? v * mult : 0;
}

QString OscCalc::mathScaleText(int mV)
{
    QString unit;
    const int n = voltShown(mV, &unit);
    return QString::number(n) + unit;
}

namespace {

// The scale in the unit the panel shows it: mV below 1000 mV, else V.
double scaleInUnit(int scaleMv, bool* volts)
{
    *volts = scaleMv >= 1000;
    return *volts ? scaleMv / 1000.0 : double(scaleMv);
}

} // namespace

QString OscCalc::mathOffsetText(int perMille, int scaleMv)
{
    bool volts = false;
    const double n = scaleInUnit(scaleMv, &volts);
    const double v = n * 10 * perMille / 1000;
    return QString::number(v, 'f', decimalsFor(qint64(n))) + (volts ? QStringLiteral("V") : QStringLiteral("mV"));
}

bool OscCalc::mathOffsetFromText(const QString& text, int scaleMv, int* perMille)
{
    if (scaleMv <= 0)
        return false;
    bool scaleVolts = false;
    const double n = scaleInUnit(scaleMv, &scaleVolts);

    // The entered unit: "m", "mV" (any case) or "V"; none takes the scale's.
    QString t = text.trimmed();
    int entered = -1;   // -1 none, 0 mV, 1 V
    if (t.endsWith(QLatin1Char('m'), Qt::CaseInsensitive)) {
        entered = 0;
        t.chop(1);
    } else if (t.endsWith(QStringLiteral("mv"), Qt::CaseInsensitive)) {
        entered = 0;
        t.chop(2);
    } else if (t.endsWith(QLatin1Char('v'), Qt::CaseInsensitive)) {
        entered = 1;
        t.chop(1);
    }
    double value = numberOrZero(t);
    if (entered == 0 && scaleVolts)
        value /= 1000;
    else if (entered == 1 && !scaleVolts)
        value *= 1000;
    return offsetPerMille(value, n * 10, perMille);
}

double OscCalc::snapFraction(double v)
{
    if (v >= 1)
        return 1;
    if (!(v > 0))
        return 0;
    return std::trunc(v * 1000 + 0.5) / 1000;
}

QString OscCalc::voltText(double mV)
{
    if (std::fabs(mV) >= 1000)
        return QString::number(mV / 1000, 'g', 6) + QStringLiteral("V");
    return QString::number(mV, 'g', 6) + QStringLiteral("mV");
}
