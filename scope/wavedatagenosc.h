#pragma once
// What the oscilloscope view draws of the displayed analog capture: per
// channel one column record per grid pixel, the thirteen measurements over
// the visible window, and the math trace; plus the auto-scale procedure that
// picks volts/div, offset, time/div and trigger after each capture of a run.
// A QThread by descent only: it is never started, every operation runs in
// the GUI thread, so the trace item reads the arrays without locking.

#include "device/analogchndata.h"

#include <QThread>
#include <QVector>

#include <memory>
#include <vector>

class DevBase;
class DevBase;
class SmpDataOsc;

class WaveDataGenOsc : public QThread
{
    Q_OBJECT

public:
    static WaveDataGenOsc* me;
    static constexpr int ParamNum = 13;

    explicit WaveDataGenOsc(QObject* parent = nullptr);
    ~WaveDataGenOsc() override;

    int autoScaleState = -1;        // -1 idle, 0 started, 1 volts/div pass, 2 time/div pass, 3 done, 4 no period
    QVector<double> smpPerPixel;    // per channel
    QVector<double> smpOffset;      // per channel: first visible sample
    int viewWidth = 0;              // grid width in pixels
    std::vector<std::vector<WaveLineA>> lineBufs;   // per channel, viewWidth records
    QVector<int> lineCounts;
    QVector<double> paramValues;    // 13 per channel
    QVector<bool> paramValid;
    QVector<WaveLineA> mathLines;
    int mathLineCount = 0;
    int autoScaleChn = -1;
    int autoScaleDivs = 10;
    QVector<double> autoScaleTargetOffset;
    QVector<int> chnScaleState;     // -1 disabled, 0 open, 1 settled with period, 2 without
    // Auto-scale steps taken. A step is taken only on a new capture, so a
    // zoom or resize during a run neither advances it nor asks for a restart.
    int autoScaleSteps = 0;

    void devModelChanged();
    // A width of 0 or less leaves no columns.
    void setViewWidth(int width);
    void genData();
    void zoomFirst();
    void zoom(int x);
    void zoomChangedByTimediv();
    void moveOffset(int dx);
    void moveTo(int chn, double begSmp);
    void genMathData();

    int getData(int chn, WaveLineA** lines);
    int getMathData(WaveLineA** lines);
    static int getParameterValuesA(int chn, double** values, bool** valid);
    static void setAutoScaleStart();
    int setAutoScaleVoltDiv(int chn);
    int setAutoScaleTimeDiv(int chn);

signals:
    void sigViewRefreshOsc(bool);

private:
    int chnCount() const { return smpPerPixel.size(); }
    static std::shared_ptr<SmpDataOsc> store();   // the displayed one, held for one use
    static DevBase* oscDev();
    qint64 timeDivNs() const;
    double rateOf(int chn) const;
    double sppByInteger(int chn) const;
    void measure(int chn);
    void freeLines();

    bool freshCapture = false;      // set by zoomFirst, taken by the next auto-scale step
};
