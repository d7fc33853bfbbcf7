#include "scope/oscgrid.h"

#include <cmath>

OscGrid OscGrid::layout(int viewW, int viewH, int chnTagW, int posTagH, int nameTagW, int p)
{
    OscGrid g;
    if (p <= 0)
        p = 1;
    g.left = chnTagW / p + 4;
    g.top = posTagH / p + 4;
    g.width = (viewW - nameTagW) / p - 2 - g.left;
    g.height = viewH / p - 2 - g.top;
    return g;
}

double OscGrid::fractionX(double x) const
{
    return width > 0 ? (x - left) / width : 0.0;
}

double OscGrid::fractionY(double y) const
{
    return height > 0 ? (y - top) / height : 0.0;
}

int OscGrid::rowOf(double fraction) const
{
    return int(std::trunc(top + height * fraction));
}

int OscGrid::columnOf(double fraction) const
{
    return int(std::trunc(left + width * fraction));
}

int OscGrid::zeroLine(int offsetPerMille) const
{
    return int(std::trunc(height * (0.5 - offsetPerMille / 1000.0))) + top;
}

int OscGrid::perMilleOfRow(double y) const
{
    const double r = fractionY(y) * 1000;
    if (!(r > 0))
        return 0;
    if (r >= 1000)
        return 1000;
    return int(std::trunc(r + 0.5));
}

double OscGrid::levelFraction(int offsetPerMille, double levelMv, int voltDivMv)
{
    const double zero = 0.5 - offsetPerMille / 1000.0;
    if (voltDivMv <= 0 || !std::isfinite(levelMv))
        return zero;
    return zero - levelMv * 0.1 / voltDivMv;
}

double OscGrid::levelAt(double fraction, int offsetPerMille, int voltDivMv)
{
    return voltDivMv * 10.0 * ((0.5 - offsetPerMille / 1000.0) - fraction);
}

double OscGrid::placeable(double fraction)
{
    if (std::isnan(fraction))
        return 1;
    return fraction < 0 ? 0 : (fraction > 1 ? 1 : fraction);
}
