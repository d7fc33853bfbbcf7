#pragma once
// Geometry of the oscilloscope graticule in logical pixels, and the
// conversions between positions on it and the settings they stand for
// (offsets, trigger level, trigger position). Fractions run from 0 at the
// grid's top or left to 1 at its bottom or right. A grid squeezed to nothing
// (a tiny window) keeps every conversion finite.

class OscGrid
{
public:
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    // The grid of a view of viewW x viewH device pixels, beside a channel tag
    // of width chnTagW, under a position triangle of height posTagH, with
    // cursor name tags of width nameTagW on the right; p = pixel(1).
    static OscGrid layout(int viewW, int viewH, int chnTagW, int posTagH, int nameTagW, int p);
    bool usable() const { return width > 0 && height > 0; }

    // Fraction of a logical position; 0 on a grid without extent.
    double fractionX(double x) const;
    double fractionY(double y) const;
    // Row of a fraction, truncated.
    int rowOf(double fraction) const;
    int columnOf(double fraction) const;
    // Zero line of a trace with an offset in per mille of the screen.
    int zeroLine(int offsetPerMille) const;

    // Per-mille position 0..1000 of a dragged tag's centre row y, rounded.
    int perMilleOfRow(double y) const;
    // Offset (-500..500) of a trace whose zero line is at perMille of the height.
    static int offsetOfPerMille(int perMille) { return 500 - perMille; }

    // Vertical fraction of a trigger level (mV) on a channel; unclamped. A
    // volts/div of 0 or less places it on the zero line.
    static double levelFraction(int offsetPerMille, double levelMv, int voltDivMv);
    // Level (mV) at a vertical fraction.
    static double levelAt(double fraction, int offsetPerMille, int voltDivMv);
    // A fraction for placing: within 0..1, not a number gives 1.
    static double placeable(double fraction);
};
