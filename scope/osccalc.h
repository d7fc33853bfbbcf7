#pragma once
// The number rules of the oscilloscope panels: units and decimals of shown
// values, and the conversions between a typed value and the per-mille
// positions the device object keeps. Plain functions, so every rule is
// reached without a window.

#include <QString>
#include <QtGlobal>

class OscCalc
{
public:
    // Digits after the point of a value related to a step: 2 below 10,
    // 1 below 100, else 0.
    static int decimalsFor(qint64 step);

    // A volts/div in mV as shown: mV below 1000, else whole V.
    static int voltShown(int mV, QString* unit);
    // A time in ns divided by 1000 while it is 1000 or more, up to seconds;
    // unitIndex 0 "ns" ... 3 "s".
    static qint64 timeShown(qint64 ns, int* unitIndex);
    static QString timeUnit(int unitIndex);

    // A typed number: false for text that is not a number, and for "nan"
    // and "inf", which QString::toDouble takes.
    static bool readNumber(const QString& text, double* value);
    // A typed number, 0 where readNumber fails: the panels' rule for text
    // that does not read as a number.
    static double numberOrZero(const QString& text);

    // Vertical offset in per mille of the screen for a value, with screen the
    // screen height in the value's unit: rounded half away from zero, within
    // -500..500. False (nothing written) for a screen of 0 or less.
    static bool offsetPerMille(double value, double screen, int* perMille);
    static double offsetValue(int perMille, double screen);

    // Horizontal trigger position 0..1000 for a time from the screen centre,
    // with screen the screen width in the time's unit: rounded half up, a
    // time beyond the screen at its edge. False for a screen of 0 or less.
    static bool trgPercentFromTime(double time, double screen, int* percent);
    static double trgTimeFromPercent(int percent, double screen);

    // Math trace scale texts: "500mV" is 500, "2V" 2000; 0 for other text.
    static int mathScaleFromText(const QString& text);
    static QString mathScaleText(int mV);
    // The math offset as the panel shows it: the offset's voltage in the
    // scale's unit, with the scale's decimals, the unit appended.
    static QString mathOffsetText(int perMille, int scaleMv);
    // Per-mille math offset for an entry such as "1V", "300m", "-2.5" (no
    // unit: the scale's unit). False for a scale of 0 or less.
    static bool mathOffsetFromText(const QString& text, int scaleMv, int* perMille);

    // A view fraction snapped to thousandths within 0..1 (not a number gives 0).
    static double snapFraction(double v);
    // A voltage in mV as the view shows it: V from 1000 mV, 6 digits.
    static QString voltText(double mV);
};
