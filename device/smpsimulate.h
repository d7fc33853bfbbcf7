#pragma once
// The capture thread used whenever no instrument is connected: random
// square waves on the enabled logic channels, with the traffic of the
// simulating analyzers (see simuanalyzers.h) in place of the random signal
// on the channels they drive; in oscilloscope work mode two fixed analog
// patterns. Everything goes through the device object's conversion entry
// points, which write the store that is not displayed.

#include <QThread>
#include <QtGlobal>

class DevBase;

class SmpSimulate : public QThread
{
    Q_OBJECT

public:
    explicit SmpSimulate(DevBase* dev, QObject* parent = nullptr);

    // Block duration in ms (100..2000) for a capture of depth samples at rate Hz.
    static int getBlockTime(qint64 depth, qint64 rate);
    // Base period of the random patterns, in samples.
    static int getPeriodPoints(qint64 depth, qint64 blockSamples);
    // One channel's random run lengths for a block: allocates *out (new[]),
    // returns its number of ints. Each call takes the next period of the
    // process-wide growth cycle P, 1.25P, 1.5625P, ... (six steps).
    static int genSimuData(int** out, qint64 blockSamples, int period);

    // The analog demo tables, by channel parity.
    static const int* analogTable(int chn, int* count);

protected:
    void run() override;

private:
    void threadLA();
    void threadOsc();
    void report(int state, int error, int value);
    // Sleeps ms in short slices, returning early when a stop is requested.
    void pauseMs(int ms);

    DevBase* dev;
};
