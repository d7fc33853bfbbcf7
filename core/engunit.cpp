#include "core/engunit.h"

#include <algorithm>

const QStringList& EngUnit::psUnits()
{
    static const QStringList units = {QStringLiteral("ps"), QStringLiteral("ns"), QStringLiteral("us"),
                                      QStringLiteral("ms"), QStringLiteral("s")};
    return units;
}

const QStringList& EngUnit::hzUnits()
{
    static const QStringList units = {QStringLiteral("Hz"), QStringLiteral("KHz"), QStringLiteral("MHz"),
                                      QStringLiteral("GHz")};
    return units;
}

QString EngUnit::text(double v, const QStringList& units, int digits, Division how)
{
    static const double factor[] = {1, 1e3, 1e6, 1e9, 1e12, 1e15, 1e18};
    constexpr int most = int(sizeof(factor) / sizeof(factor[0])) - 1;
    double stepped = v;
    const int k = stepDown(stepped, std::min(int(units.size()) - 1, most));
    return QString::number(how == AtOnce ? v / factor[k] : stepped, 'g', digits) + units.value(k);
}
