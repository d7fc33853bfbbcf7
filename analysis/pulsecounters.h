#pragma once
// The plain rules of the pulse counters: which type and channel a new
// counter takes, which (channel, range) pairs the waveform view is asked to
// count, and which number of the view's answer a counter shows. The view's
// lists are decimal texts separated by ",".

#include <QString>
#include <QStringList>
#include <QVector>

// What a counter counts, in the order of the four numbers the view sends.
enum PulseCountType { PulseRise = 0, PulseFall = 1, PulsePositive = 2, PulseNegative = 3 };

struct PulseCounter {
    int type = PulseRise;
    int chn = 0;
    int time = 0;   // 0 the whole capture, k = 1..5 marker pair k - 1
};

namespace PulseCounters {

constexpr int typeCount = 4;
constexpr int timeCount = 6;
constexpr int pairCount = timeCount - 1;

// "ALL", "A1-A2" ... "E1-E2".
QString timeLabel(int time);
QString typeIcon(int type);

// The type with the fewest counters, the lowest on a tie.
int newType(const QVector<PulseCounter>& list);
// The enabled channel with the fewest counters, the lowest on a tie; 0 when
// no channel is enabled.
int newChannel(const QVector<PulseCounter>& list, const QVector<bool>& ena);
bool chnEnabled(int chn, const QVector<bool>& ena);
// shown[k] for time index k: 0 always, k >= 1 both markers of pair k - 1 shown.
bool timeUsable(int time, const bool* shown);

// Distinct "channel,time" of the counters in row order, those with a channel
// that is enabled and a range that is usable.
QStringList chnAndTimeSet(const QVector<PulseCounter>& list, const QVector<bool>& ena, const bool* shown);
// Distinct enabled channels of the counters on marker pair `pair`.
QStringList chnSet(const QVector<PulseCounter>& list, int pair, const QVector<bool>& ena);

// The number a counter shows from a full result list ("chn,time,r,f,p,n"):
// that of the first matching entry, "###" without one or for an empty list.
QString countFromAll(const PulseCounter& c, const QStringList& results);
// From the result list of marker pair `pair` ("chn,r,f,p,n"): true and the
// number when the counter is on that pair and an entry matches.
bool countFromPair(const PulseCounter& c, int pair, const QStringList& results, QString* out);

} // namespace PulseCounters
