#pragma once
// The horizontal view of the logic waveform (samples per pixel, sample at
// pixel 0, width) and the per-channel pixel runs drawn for it. Zoom and move
// requests come from the GUI thread; animated zooms and the rebound into the
// capture run in the worker thread, one frame per acknowledgement of the view.
//
// Every computed frame is published as one immutable WaveFrame (view state
// and runs together), so whatever paints one frame sees one consistent view.

#include "device/smpdata.h"

#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// One published frame: the view it was computed for and its runs.
struct WaveFrame {
    double smpPerPixel = 1.0;
    double smpOffset = 0.0;
    int viewWidth = 1;
    long long smpCount = 0;      // samples of the capture the runs came from
    long long smpFrequ = 0;
    long long trgPosition = 0;
    // The capture the runs came from; weak, so that a frame never keeps a
    // capture alive that the device has let go.
    std::weak_ptr<const SmpData> source;
    unsigned long long serial = 0;
    std::vector<std::vector<WaveLine>> lines;   // per channel, viewWidth records each
    std::vector<int> counts;                    // records per channel, -1 = no data

    // Records of a channel (null and -1 without data).
    int getData(int chn, const WaveLine** out) const;
    // Pixel of a sample position, truncated towards zero; 64-bit, never overflows.
    long long pixelOf(double sample) const;
    // Sample position at a pixel.
    double sampleAt(double px) const { return smpOffset + px * smpPerPixel; }
};
using WaveFramePtr = std::shared_ptr<const WaveFrame>;

// Truncates a pixel or sample value towards zero into 64 bits, saturating far
// outside any view or capture (non-finite values give 0).
long long wavePixelTrunc(double v);
// Narrows a 64-bit pixel into [lo, hi].
inline int wavePixelClamp(long long v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : int(v));
}

class WaveDataGen : public QThread
{
    Q_OBJECT

public:
    static WaveDataGen* me;

    static constexpr double minSmpPerPixel = 0.01;
    static constexpr int reboundDelayMs = 100;
    static constexpr int framePeriodMs = 30;
    static constexpr int zoomStepNum = 7;
    static constexpr double moveEndOvershoot = 1000.0;
    static const double zoomFactor;   // 2^(1/7)

    // Returns a store that outlives every frame (tests, benchmarks).
    using DataSource = std::function<const SmpData*()>;
    // Returns the capture to read, held for one read (a frame, a search);
    // called under the generator's lock, from the GUI thread or the worker.
    using SnapshotSource = std::function<SmpDataRead()>;

    explicit WaveDataGen(QObject* parent = nullptr);
    ~WaveDataGen() override;

    // --- device
    // Channel count and data source from the current device object: every
    // frame reads that object's displayed capture through a snapshot of its
    // own (the worker never looks at devUsing).
    void devModelChanged();
    // Stops reading the device object (returns once no frame reads it); call
    // before the device object is deleted.
    void releaseDevice();
    void setChannelCount(int n);
    // A store that outlives every frame (tests, benchmarks).
    void setDataSource(DataSource src);
    // A store handed over as snapshots: each frame holds one while it reads.
    void setSnapshotSource(SnapshotSource src);

    // --- view
    void setViewWidth(int w);
    void genData();
    // The last published frame (never null).
    WaveFramePtr frame() const;
    // Records of a channel in the last published frame; the returned holder
    // keeps them alive.
    int getData(int chn, const WaveLine** out, WaveFramePtr* holder) const;

    double getSmpPerPixel() const;
    double getSmpOffset() const;
    int getViewWidth() const;
    int channelCount() const;
    void setReboundEnable(bool on);
    // Threads one frame may use for its channels (default 8; 1 = the caller's only),
    // from 4 channels on and once a frame has cost at least `ns` of processor
    // time (default 2 ms).
    void setMaxGenThreads(int n);
    void setThreadingThreshold(long long ns);
    bool isAnimating() const;

    // The view has drawn the last frame it was sent; paces the animation.
    void setRefreshDone();
    // True while the worker holds a frame back until the view has drawn the last one.
    bool isWaitingRefresh() const { return waitingRefresh.load(); }

    // --- zoom and move
    void zoomFirst();
    void zoomAll();
    void zoomTrg();
    void zoomIn(int x);
    void zoomOut(int x);
    void zoomInFine();
    void zoomOutFine();
    void zoomFixed(double v);
    void movePreEdge(int chn);
    void moveNextEdge(int chn);
    void moveTo(double o);
    void moveEnd();
    static void moveDecode(double begin, double end);

signals:
    void sigViewRefresh(bool decRefresh);

protected:
    void run() override;

private:
    struct Capture {
        long long smpCount = 0;
        long long smpFrequ = 0;
        long long trgPosition = 0;
    };

    void refresh(bool decRefresh);
    void requestRebound();              // caller holds viewMutex
    void bumpRequest();                 // caller holds viewMutex
    void zoomAnimated(int x, int mode);
    void moveDecodeImpl(double begin, double end);
    void setSpp(double v);              // caller holds viewMutex; keeps the old value for bad input
    Capture capture() const;            // of the displayed store
    long long preEdge(int chn, long long pos) const;
    long long nextEdge(int chn, long long pos) const;

    void runLoop();
    // Worker helpers; false when the thread must end.
    bool waitRefreshDone();
    bool sleepMs(int ms, unsigned long long seq);
    void emitFrame(bool decRefresh);

    // View state, guarded by viewMutex.
    mutable std::mutex viewMutex;
    double smpPerPixel = 1.0;
    double smpOffset = 0.0;
    int viewWidth = 1;
    int zoomAnchor = 0;
    int zoomSteps = 0;
    int zoomMode = 0;                   // 0 zoom-in step, 1 zoom-out step, 2 rebound
    bool reboundEnable = true;
    int chnCount = 0;
    long long lastTrgPosition = 0;
    unsigned long long requestSeq = 0;  // bumped by every request that changes the view

    // Frames that no reader holds any more: the last holder of a published
    // frame hands it back here, so the next genData may refill it.
    struct FramePool {
        std::mutex mutex;
        std::vector<std::unique_ptr<WaveFrame>> free;
    };
    WaveFramePtr publish(std::unique_ptr<WaveFrame> f);

    // Frame computation and publication.
    mutable std::mutex genMutex;        // one genData at a time; guards the data source
    SnapshotSource source;
    mutable std::mutex frameMutex;      // guards front
    WaveFramePtr front;
    std::shared_ptr<FramePool> framePool = std::make_shared<FramePool>();
    unsigned long long frameSerial = 0;
    std::atomic<int> genThreads{8};
    std::atomic<long long> lastGenNs{0};   // processor time of the last frame
    std::atomic<long long> parallelNs{2000000};

    // Worker hand-shake.
    QSemaphore semaphore;
    std::mutex waitMutex;
    std::condition_variable waitCv;
    std::atomic<bool> refreshDone{true};
    std::atomic<bool> exitFlag{false};
    std::atomic<bool> waitingRefresh{false};
    std::atomic<bool> workerDone{false};
    std::atomic<unsigned long long> requestSeqAtomic{0};
};
