#pragma once

#include <QString>

#include <cmath>

// A number typed by a user or sent by a client: finite only, since
// QString::toDouble also takes "nan" and "inf". Leaves out alone on failure.
inline bool readFiniteNumber(const QString& text, double* out)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}
