#include "waveview/wavedatagen.h"

#include "core/config.h"
#include "device/devbase.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include <time.h>

WaveDataGen* WaveDataGen::me = nullptr;
const double WaveDataGen::zoomFactor = std::pow(2.0, 1.0 / WaveDataGen::zoomStepNum);

namespace {

// From this many channels a frame is computed on several threads.
constexpr int parallelChannels = 4;

// Far beyond any view, yet far inside the 64-bit range.
constexpr double pixelLimit = 4.0e15;

// The view after a rebound: the whole of [off, off + W x spp] inside [0, N],
// never zoomed out beyond the whole capture. False when nothing is to be done.
bool reboundTarget(double spp, double off, int w, long long n, double* newSpp, double* newOff)
{
    if (n <= 0 || w <= 0)
        return false;   // nothing to fit the view to
    const double fit = double(n) / w;
    const double s2 = std::min(fit, spp);
    if (off >= 0 && spp <= fit && off + w * s2 <= double(n))
        return false;
    double o = off;
    if (off < 0)
        o = 0;
    else if (off + w * s2 > double(n))
        o = double(n) - w * s2;
    *newSpp = s2;
    *newOff = o;
    return true;
}

// A store that the caller keeps alive: held without owning it.
SmpDataRead snapshotOf(const SmpData* s)
{
    if (!s)
        return SmpDataRead();
    return SmpDataRead(std::shared_ptr<const SmpData>(s, [](const SmpData*) {}));
}

} // namespace

// Processor time of the calling thread.
static long long threadCpuNs()
{
    timespec ts;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0)
        return 0;
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

long long wavePixelTrunc(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v > pixelLimit)
        return (long long)pixelLimit;
    if (v < -pixelLimit)
        return -(long long)pixelLimit;
    return (long long)v;
}

int WaveFrame::getData(int chn, const WaveLine** out) const
{
    if (chn < 0 || chn >= int(counts.size()) || counts[size_t(chn)] < 0) {
        *out = nullptr;
        return -1;
    }
    *out = lines[size_t(chn)].data();
    return counts[size_t(chn)];
}

long long WaveFrame::pixelOf(double sample) const
{
    return wavePixelTrunc((sample - smpOffset) / smpPerPixel);
}

WaveDataGen::WaveDataGen(QObject* parent) : QThread(parent)
{
    front = publish(std::make_unique<WaveFrame>());
    me = this;
    start(QThread::InheritPriority);
}

WaveDataGen::~WaveDataGen()
{
    // The worker may be waiting for a view acknowledgement that will never
    // come once the event loop has ended: every wait also tests the exit flag.
    exitFlag = true;
    refreshDone = true;
    {
        std::lock_guard<std::mutex> l(waitMutex);
    }
    waitCv.notify_all();
    semaphore.release();
    wait();
    // Pairs with the worker's last store: its accesses happened before ours.
    while (!workerDone.load(std::memory_order_acquire))
        QThread::yieldCurrentThread();
    if (me == this)
        me = nullptr;
}

// ---------------------------------------------------------------- device

void WaveDataGen::devModelChanged()
{
    DevBase* dev = devUsing;
    const int n = dev ? dev->dChnEna.size() : 0;
    if (dev)
        setSnapshotSource([dev] { return dev->readDisplayedSmpData(); });
    else
        setSnapshotSource(SnapshotSource());
    setChannelCount(n);
}

void WaveDataGen::releaseDevice()
{
    setDataSource(DataSource());
}

void WaveDataGen::setChannelCount(int n)
{
    std::lock_guard<std::mutex> l(viewMutex);
    chnCount = std::max(0, n);
}

void WaveDataGen::setDataSource(DataSource src)
{
    if (!src) {
        setSnapshotSource(SnapshotSource());
        return;
    }
    setSnapshotSource([src]() { return snapshotOf(src()); });
}

void WaveDataGen::setSnapshotSource(SnapshotSource src)
{
    std::lock_guard<std::mutex> g(genMutex);
    source = std::move(src);
}

WaveDataGen::Capture WaveDataGen::capture() const
{
    std::lock_guard<std::mutex> g(genMutex);
    Capture c;
    const SmpDataRead d = source ? source() : SmpDataRead();
    if (d) {
        c.smpCount = std::max(0LL, d->smpCount);
        c.smpFrequ = d->smpFrequ;
        c.trgPosition = d->trgPosition;
    }
    return c;
}

long long WaveDataGen::preEdge(int chn, long long pos) const
{
    std::lock_guard<std::mutex> g(genMutex);
    const SmpDataRead d = source ? source() : SmpDataRead();
    return d ? d->getPreEdgePoint(chn, pos) : -1;
}

long long WaveDataGen::nextEdge(int chn, long long pos) const
{
    std::lock_guard<std::mutex> g(genMutex);
    const SmpDataRead d = source ? source() : SmpDataRead();
    return d ? d->getNextEdgePoint(chn, pos) : -1;
}

// ---------------------------------------------------------------- view

void WaveDataGen::setViewWidth(int w)
{
    std::lock_guard<std::mutex> l(viewMutex);
    viewWidth = std::max(1, w);
}

double WaveDataGen::getSmpPerPixel() const
{
    std::lock_guard<std::mutex> l(viewMutex);
    return smpPerPixel;
}

double WaveDataGen::getSmpOffset() const
{
    std::lock_guard<std::mutex> l(viewMutex);
    return smpOffset;
}

int WaveDataGen::getViewWidth() const
{
    std::lock_guard<std::mutex> l(viewMutex);
    return viewWidth;
}

int WaveDataGen::channelCount() const
{
    std::lock_guard<std::mutex> l(viewMutex);
    return chnCount;
}

void WaveDataGen::setMaxGenThreads(int n)
{
    genThreads = std::clamp(n, 1, 64);
}

void WaveDataGen::setThreadingThreshold(long long ns)
{
    parallelNs = std::max(0LL, ns);
}

void WaveDataGen::setReboundEnable(bool on)
{
    std::lock_guard<std::mutex> l(viewMutex);
    reboundEnable = on;
}

bool WaveDataGen::isAnimating() const
{
    std::lock_guard<std::mutex> l(viewMutex);
    return zoomSteps > 0;
}

void WaveDataGen::setSpp(double v)
{
    if (std::isfinite(v) && v > 0)
        smpPerPixel = v;
}

void WaveDataGen::genData()
{
    std::lock_guard<std::mutex> g(genMutex);
    double spp, off;
    int w, n;
    {
        std::lock_guard<std::mutex> l(viewMutex);
        spp = smpPerPixel;
        off = smpOffset;
        w = viewWidth;
        n = chnCount;
    }
    // The capture of this frame, held (and kept safe from in-place edits)
    // until the frame is built.
    const SmpDataRead d = source ? source() : SmpDataRead();

    // A frame no reader holds any more; a new one only when all are in use.
    std::unique_ptr<WaveFrame> f;
    {
        std::lock_guard<std::mutex> l(framePool->mutex);
        if (!framePool->free.empty()) {
            f = std::move(framePool->free.back());
            framePool->free.pop_back();
        }
    }
    if (!f)
        f = std::make_unique<WaveFrame>();

    if (int(f->lines.size()) != n)
        f->lines.resize(size_t(n));
    f->counts.assign(size_t(n), -1);
    for (int c = 0; c < n; ++c) {
        std::vector<WaveLine>& buf = f->lines[size_t(c)];
        if (int(buf.size()) != w)
            buf.assign(size_t(w), WaveLine{0, 0, 0});
    }
    if (d) {
        // Channels are independent (each search reads its own list and writes
        // its own buffer); many channels of a deep capture are spread over a
        // few threads so that a frame keeps the animation's cadence.
        const int m = std::min(n, d->chnNum);
        std::atomic<long long> cpuNs{0};
        auto work = [&](int first, int step) {
            const long long t0 = threadCpuNs();
            for (int c = first; c < m; c += step)
                f->counts[size_t(c)] = d->getWaveLineData(c, off, spp, w, f->lines[size_t(c)].data());
            cpuNs += threadCpuNs() - t0;
        };
        // Threads pay off only for frames that cost milliseconds (deep
        // captures, many channels); the previous frame tells.
        const int cores = int(std::thread::hardware_concurrency());
        const bool heavy = m >= parallelChannels && lastGenNs.load() >= parallelNs.load();
        const int parts = heavy ? std::clamp(std::min(cores, m), 1, genThreads.load()) : 1;
        std::vector<std::thread> helpers;
        helpers.reserve(size_t(parts - 1));
        for (int k = 1; k < parts; ++k)
            helpers.emplace_back(work, k, parts);
        work(0, parts);
        for (std::thread& t : helpers)
            t.join();
        // The processor time of all parts: what the frame costs on one thread.
        lastGenNs = cpuNs.load();
    }
    f->smpPerPixel = spp;
    f->smpOffset = off;
    f->viewWidth = w;
    f->smpCount = d ? std::max(0LL, d->smpCount) : 0;
    f->smpFrequ = d ? d->smpFrequ : 0;
    f->trgPosition = d ? d->trgPosition : 0;
    f->source = d.ptr();
    f->serial = ++frameSerial;

    WaveFramePtr next = publish(std::move(f));
    std::lock_guard<std::mutex> l(frameMutex);
    front.swap(next);
    // The old front goes back to the pool once its last reader lets go.
}

WaveFramePtr WaveDataGen::publish(std::unique_ptr<WaveFrame> f)
{
    // The pool outlives the generator while frames are out.
    std::shared_ptr<FramePool> pool = framePool;
    return WaveFramePtr(f.release(), [pool](WaveFrame* p) {
        std::unique_ptr<WaveFrame> back(p);
        std::lock_guard<std::mutex> l(pool->mutex);
        pool->free.push_back(std::move(back));
    });
}

WaveFramePtr WaveDataGen::frame() const
{
    std::lock_guard<std::mutex> l(frameMutex);
    return front;
}

int WaveDataGen::getData(int chn, const WaveLine** out, WaveFramePtr* holder) const
{
    *holder = frame();
    return (*holder)->getData(chn, out);
}

void WaveDataGen::setRefreshDone()
{
    refreshDone = true;
    {
        std::lock_guard<std::mutex> l(waitMutex);
    }
    waitCv.notify_all();
}

void WaveDataGen::refresh(bool decRefresh)
{
    genData();
    emit sigViewRefresh(decRefresh);
}

void WaveDataGen::bumpRequest()
{
    requestSeqAtomic.fetch_add(1);
    {
        std::lock_guard<std::mutex> l(waitMutex);
    }
    waitCv.notify_all();
}

void WaveDataGen::requestRebound()
{
    if (!reboundEnable)
        return;
    zoomSteps = 1;
    zoomMode = 2;
    semaphore.release();
}

// ---------------------------------------------------------------- zoom and move

void WaveDataGen::zoomFirst()
{
    const Capture c = capture();
    {
        std::lock_guard<std::mutex> l(viewMutex);
        const long long n = c.smpCount;
        if (n > 0) {
            const int w = viewWidth;
            if (reboundEnable) {
                const double fit = double(n) / w;
                if (smpPerPixel < minSmpPerPixel || smpPerPixel > fit || Config::viewState == ViewAll)
                    setSpp(fit);
            }
            double target;
            if (Config::viewState == ViewKeep)
                target = double(c.trgPosition) + (smpOffset - double(lastTrgPosition));
            else if (Config::viewState == ViewZero)
                target = double(c.trgPosition) - (w / 2) * smpPerPixel;
            else
                target = 0;
            if ((Config::viewState == ViewKeep || Config::viewState == ViewZero) && target < 0)
                smpOffset = 0;
            else
                smpOffset = std::min(target, double(n) - w * smpPerPixel);
            lastTrgPosition = c.trgPosition;
        }
        // A new capture replaces whatever animation was running.
        zoomSteps = 0;
        bumpRequest();
    }
    refresh(false);
}

void WaveDataGen::zoomAll()
{
    const Capture c = capture();
    {
        std::lock_guard<std::mutex> l(viewMutex);
        if (c.smpCount > 0)
            setSpp(double(c.smpCount) / viewWidth);
        smpOffset = 0;
        zoomSteps = 0;
        bumpRequest();
    }
    refresh(true);
}

void WaveDataGen::zoomTrg()
{
    const Capture c = capture();
    {
        std::lock_guard<std::mutex> l(viewMutex);
        smpPerPixel = 1.0;
        smpOffset = double(c.trgPosition) - (viewWidth / 2) * smpPerPixel;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::zoomAnimated(int x, int mode)
{
    {
        std::lock_guard<std::mutex> l(viewMutex);
        if (mode == 0 && smpPerPixel < minSmpPerPixel)
            return;
        const int a = std::clamp(x, 0, viewWidth - 1);
        if (Config::disAnimate) {
            const double s = a * smpPerPixel + smpOffset;
            if (mode == 0)
                setSpp(std::max(smpPerPixel * 0.5, minSmpPerPixel));
            else
                setSpp(smpPerPixel * 2.0);
            smpOffset = s - smpPerPixel * a;
            bumpRequest();
            requestRebound();
        } else {
            zoomSteps = zoomStepNum;
            zoomMode = mode;
            zoomAnchor = a;
            refreshDone = true;
            bumpRequest();
            semaphore.release();
            return;
        }
    }
    refresh(true);
}

void WaveDataGen::zoomIn(int x)
{
    zoomAnimated(x, 0);
}

void WaveDataGen::zoomOut(int x)
{
    zoomAnimated(x, 1);
}

void WaveDataGen::zoomInFine()
{
    {
        std::lock_guard<std::mutex> l(viewMutex);
        if (smpPerPixel < minSmpPerPixel)
            return;
        const int wh = viewWidth / 2;
        const double s = smpPerPixel * wh + smpOffset;
        setSpp(std::max(smpPerPixel * 0.9, minSmpPerPixel));
        smpOffset = s - smpPerPixel * wh;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::zoomOutFine()
{
    {
        std::lock_guard<std::mutex> l(viewMutex);
        const int wh = viewWidth / 2;
        const double s = wh * smpPerPixel + smpOffset;
        setSpp(smpPerPixel * 1.1);
        smpOffset = s - smpPerPixel * wh;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::zoomFixed(double v)
{
    if (std::isnan(v))
        return;
    const Capture c = capture();
    {
        std::lock_guard<std::mutex> l(viewMutex);
        const int wh = viewWidth / 2;
        const double s = smpPerPixel * wh + smpOffset;
        if (v < minSmpPerPixel)
            setSpp(minSmpPerPixel);
        else if (c.smpCount > 0)
            setSpp(std::min(v, double(c.smpCount) / viewWidth));
        // Without samples there is no upper bound to apply: the zoom stays.
        smpOffset = s - wh * smpPerPixel;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::movePreEdge(int chn)
{
    const Capture c = capture();
    double off;
    {
        std::lock_guard<std::mutex> l(viewMutex);
        off = smpOffset;
    }
    // A view outside the capture asks from the capture's nearer end.
    const long long pos = (long long)std::clamp(off, 0.0, double(c.smpCount));
    long long e = preEdge(chn, pos);
    if (e < 0)
        e = 0;
    {
        std::lock_guard<std::mutex> l(viewMutex);
        smpOffset = double(e) - (viewWidth / 2) * smpPerPixel;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::moveNextEdge(int chn)
{
    const Capture c = capture();
    double last;
    {
        std::lock_guard<std::mutex> l(viewMutex);
        last = viewWidth * smpPerPixel + smpOffset;
    }
    const long long pos = (long long)std::clamp(last, 0.0, double(c.smpCount));
    long long e = nextEdge(chn, pos);
    if (e < 0)
        e = c.smpCount;
    {
        std::lock_guard<std::mutex> l(viewMutex);
        smpOffset = double(e) - (viewWidth / 2) * smpPerPixel;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::moveTo(double o)
{
    if (!std::isfinite(o))
        return;
    {
        std::lock_guard<std::mutex> l(viewMutex);
        smpOffset = o;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::moveEnd()
{
    const Capture c = capture();
    {
        std::lock_guard<std::mutex> l(viewMutex);
        smpOffset = double(c.smpCount) - viewWidth * smpPerPixel + moveEndOvershoot;
        bumpRequest();
        requestRebound();
    }
    refresh(true);
}

void WaveDataGen::moveDecode(double begin, double end)
{
    if (me)
        me->moveDecodeImpl(begin, end);
}

void WaveDataGen::moveDecodeImpl(double begin, double end)
{
    if (!std::isfinite(begin) || !std::isfinite(end))
        return;
    {
        std::lock_guard<std::mutex> l(viewMutex);
        const int wh = std::max(1, viewWidth / 2);
        const double v = (end - begin + 1) / wh;
        if (!(std::isfinite(v) && v > 0))
            return;   // a reversed range: keep the view
        smpPerPixel = v;
        smpOffset = begin - wh * smpPerPixel / 2;
        bumpRequest();
        requestRebound();
    }
    refresh(false);
}

// ---------------------------------------------------------------- worker

bool WaveDataGen::waitRefreshDone()
{
    std::unique_lock<std::mutex> l(waitMutex);
    waitingRefresh = true;
    waitCv.wait(l, [this] { return refreshDone.load() || exitFlag.load(); });
    waitingRefresh = false;
    refreshDone = false;
    return !exitFlag;
}

bool WaveDataGen::sleepMs(int ms, unsigned long long seq)
{
    std::unique_lock<std::mutex> l(waitMutex);
    waitCv.wait_for(l, std::chrono::milliseconds(ms),
                    [this, seq] { return exitFlag.load() || requestSeqAtomic.load() != seq; });
    return !exitFlag;
}

void WaveDataGen::emitFrame(bool decRefresh)
{
    genData();
    emit sigViewRefresh(decRefresh);
}

void WaveDataGen::run()
{
    runLoop();
    workerDone.store(true, std::memory_order_release);
}

void WaveDataGen::runLoop()
{
    while (!exitFlag) {
        int mode;
        unsigned long long seq;
        {
            std::unique_lock<std::mutex> l(viewMutex);
            if (zoomSteps < 1) {
                l.unlock();
                semaphore.acquire();
                if (exitFlag)
                    return;
                // Requests that arrived meanwhile merge into this pass.
                const int more = semaphore.available();
                if (more > 0)
                    semaphore.tryAcquire(more);
                continue;
            }
            mode = zoomMode;
            seq = requestSeqAtomic.load();
        }

        if (mode == 2) {
            // Rebound: wait, then fit the view as it is *now*; a request that
            // arrived meanwhile wins and brings its own rebound.
            {
                const Capture c = capture();
                std::lock_guard<std::mutex> l(viewMutex);
                double s2 = 0, o = 0;
                if (!reboundTarget(smpPerPixel, smpOffset, viewWidth, c.smpCount, &s2, &o)) {
                    if (requestSeqAtomic.load() == seq)
                        zoomSteps = 0;
                    continue;
                }
            }
            if (!sleepMs(reboundDelayMs, seq))
                return;
            if (requestSeqAtomic.load() != seq)
                continue;
            if (!waitRefreshDone())
                return;
            const Capture c = capture();
            bool need;
            {
                std::lock_guard<std::mutex> l(viewMutex);
                if (requestSeqAtomic.load() != seq) {
                    refreshDone = true;   // nothing was drawn for this wait
                    continue;
                }
                zoomSteps = 0;
                double s2 = 0, o = 0;
                need = reboundTarget(smpPerPixel, smpOffset, viewWidth, c.smpCount, &s2, &o);
                if (need) {
                    setSpp(s2);
                    smpOffset = o;
                }
            }
            if (need)
                emitFrame(true);
            else
                refreshDone = true;
            continue;
        }

        if (mode != 0 && mode != 1) {
            std::lock_guard<std::mutex> l(viewMutex);
            zoomSteps = 0;
            continue;
        }

        QElapsedTimer timer;
        timer.start();
        if (!waitRefreshDone())
            return;
        bool last;
        {
            std::lock_guard<std::mutex> l(viewMutex);
            if (requestSeqAtomic.load() != seq) {
                refreshDone = true;
                continue;   // a newer request: start over from its state
            }
            const double a = zoomAnchor;
            const double spp = smpPerPixel;
            double next;
            if (mode == 1) {
                next = spp * zoomFactor;
            } else {
                next = spp / zoomFactor;
                if (next < minSmpPerPixel) {
                    next = minSmpPerPixel;
                    zoomSteps = 1;   // this becomes the last frame
                }
            }
            setSpp(next);
            smpOffset = smpOffset + a * spp - a * smpPerPixel;
            zoomSteps -= 1;
            last = zoomSteps < 1;
            if (last && reboundEnable) {
                zoomSteps = 1;
                zoomMode = 2;
            }
        }
        emitFrame(last);
        if (!last) {
            const int left = framePeriodMs - int(timer.elapsed());
            if (!sleepMs(std::max(1, left), seq))
                return;
        }
    }
}
