#pragma once
// Numbers written with units a thousand apart (ps, ns, us...; Hz, KHz...): the
// one place that picks the unit, so every text of a kind reads alike.

#include <QString>
#include <QStringList>

class EngUnit
{
public:
    static const QStringList& psUnits();   // "ps" ... "s"
    static const QStringList& hzUnits();   // "Hz" ... "GHz"

    // Divides v by 1000 while it is at least 1000 and a larger unit is left
    // (units 0 to last) and returns the unit reached. An integer divides as an
    // integer; a negative v stays in unit 0.
    template <typename T>
    static int stepDown(T& v, int last)
    {
        int k = 0;
        for (; k < last && v >= 1000; ++k)
            v /= 1000;
        return k;
    }

    // How a value reaches its unit: divided by 1000 once a step, or once by
    // the unit's whole factor. They round differently in the last bit, which
    // shows in texts of many digits and at exact halves; callers keep theirs.
    enum Division { InSteps, AtOnce };

    // v in the unit stepDown reaches, with `digits` significant digits, then
    // the unit's name: text(1234, psUnits(), 5) is "1.234ns".
    static QString text(double v, const QStringList& units, int digits, Division how = InSteps);
};
