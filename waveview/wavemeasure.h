#pragma once
// The plain logic of the waveform area: row layout, time and measure texts,
// the period under the mouse, pulse counts between two positions and the
// snapping of markers to edges. No widgets, so it is reachable without a
// window; every query is an index search, never a walk over the edges.

#include <QString>
#include <QStringList>
#include <QVector>

class SmpData;

namespace WaveMeasure {

// Geometry of the logic rows for one layout pass.
struct RowLayout {
    double unit = 0;          // height of one multiple
    QVector<int> rowTops;     // top of each display position
    QVector<int> heights;     // height of each display position (0: collapsed)
    int total = 0;            // height of all rows
};

// pos, mult, ena: display position, height multiple and enable of each
// channel; avail: the height the rows share. Units stay within 42..120 pixels.
RowLayout layoutRows(const QVector<int>& pos, const QVector<int>& mult, const QVector<bool>& ena,
                     int avail);

extern const QStringList timeUnits;   // "ps" ... "s"
extern const QStringList freqUnits;   // "Hz" ... "GHz"

// A picosecond count with the largest unit that keeps every digit: 1234 ps
// gives "1.234ns".
QString timeText(double ps);
// v divided by 1000 while at least 1000 and a larger unit is left, then
// written with 9 significant digits and the unit; "###" unless v > 0.
QString unitText(double v, const QStringList& units);
// Width, period, duty and frequency texts; "###" where a value is not positive.
QStringList measureTexts(double widthPs, double periodPs, double duty, double freqHz);

// The run and period under a sample of a channel.
struct Period {
    long long pre = 0;        // last edge at or before the sample (0 when none)
    long long next = 0;       // first entry after it
    long long after = 0;      // the entry after next (= next when none)
    bool hasPre = false;
    double width = -1;        // ps
    double period = -1;       // ps; -1 when no full period lies around the sample
    double duty = -1;
    double freq = -1;         // Hz
};
// False without data, out of the capture, or without a sample rate.
bool periodAt(const SmpData* s, int chn, long long smp, Period* out);

struct PulseCounts {
    long long rising = 0;
    long long falling = 0;
    long long positive = 0;   // high pulses wholly inside the range
    long long negative = 0;   // low pulses wholly inside the range
};
// Edges and pulses of a channel in [min(a, b), max(a, b)], ends included:
// two index searches. False without data or with a position outside the capture.
bool pulseCounts(const SmpData* s, int chn, long long a, long long b, PulseCounts* out);
// "," and the four counts joined by ",", or ",###,###,###,###".
QString pulseCountText(const SmpData* s, int chn, long long a, long long b);

// The sample smp moved onto the nearer of its neighbouring edges (or the
// capture end) when that lies within maxPx pixels at spp samples a pixel.
long long snapToEdge(const SmpData* s, int chn, long long smp, double spp, int maxPx);

// Picoseconds of a sample distance at a rate; false for a rate of 0 or less.
bool samplesToPs(double samples, long long rate, long long* ps);

} // namespace WaveMeasure
