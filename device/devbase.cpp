#include "device/devbase.h"

#include "core/modeltable.h"
#include "device/dev2113.h"
#include "device/dev2121a.h"
#include "device/dev2127.h"
#include "device/dev2127a.h"
#include "device/dev3127.h"
#include "device/dev3127a.h"
#include "device/dev6127.h"
#include "device/dev6127a.h"
#include "device/dev6143a.h"
#include "device/dev9151.h"
#include "device/devnone.h"
#include "device/devsupport.h"
#include "device/smpdata.h"
#include "device/smpdataosc.h"
#include "device/usbrequests.h"
#include "libanalyzer/analyzerdata.h"

#include <QThread>

#include <cmath>
#include <cstdlib>
#include <limits>

DevBase* devUsing = nullptr;
// The transport is made by the entry point (or a test) before any device object.
DevSupport* devSupport = nullptr;
quint16 DevBase::devBatch = 0;
DevBase::SmpWorkerFactory DevBase::smpWorkerFactory = nullptr;
std::atomic<int> DevBase::smpStopTimeoutMs{10000};

namespace {

// Run numbers are unique across device objects, so a number remembered from
// a replaced device object never names a run of its successor.
quint32 nextRunSerial()
{
    static std::atomic<quint32> last{0};
    quint32 n = ++last;
    if (n == 0)
        n = ++last;
    return n;
}

constexpr int RegRunControl = 0x00;
constexpr int RegPwmEnable = 0x02;
constexpr int RegSmpMode = 0x03;
constexpr int RegLiveLevels = 0x04;
constexpr int RegMemWindow = 0x08;
constexpr int RegSettings = 0x10;
constexpr int RegTrgMasks = 0x20;
constexpr int RegOscTrgSource = 0x30;
constexpr int RegOscTrgLevel = 0x50;
constexpr int RegThreshold = 0x64;
constexpr int RegPwm = 0x70;

const QString pwmAccessCode = QStringLiteral("52p64w81m93");

// Nearest integer, halves up (the counters take whole counts).
double roundHalfUp(double x)
{
    double t = std::trunc(x);
    if (x - t >= 0.5)
        t += 1;
    return t;
}

// Stored numbers in thousands back to units, saturating instead of overflowing.
qint64 thousandsToUnits(QString const& text)
{
    bool ok = false;
    qint64 v = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return 0;
    constexpr qint64 lim = std::numeric_limits<qint64>::max() / 1000;
    if (v > lim)
        return std::numeric_limits<qint64>::max();
    if (v < -lim)
        return std::numeric_limits<qint64>::min();
    return v * 1000;
}

QString numberLabel(double v)
{
    return QString::number(v, 'g', 6);
}

// An empty store in place of one that is let go, keeping what a cleared
// store keeps (rate and filter widths; analog: rate, trigger and levels).
SmpDataPtr freshLike(const SmpDataPtr& old)
{
    if (!old)
        return nullptr;
    auto s = std::make_shared<SmpData>(old->chnNum);
    s->smpFrequ = old->smpFrequ;
    s->filterWidth = old->filterWidth;
    return s;
}

SmpDataOscPtr freshLike(const SmpDataOscPtr& old)
{
    if (!old)
        return nullptr;
    auto s = std::make_shared<SmpDataOsc>(old->chnNum, 0);
    s->smpFrequ = old->smpFrequ;
    s->trgPosition = old->trgPosition;
    s->levelHigh = old->levelHigh;
    s->levelLow = old->levelLow;
    return s;
}

// The analog sample rate: the highest of the list that fills the record in
// ten divisions of the time base.
qint64 oscSmpFrequ(qint32 memSize, int na, const QVector<qint64>& timeDivList, int timeDivIndex,
                   const QVector<qint64>& smpFrequList)
{
    if (na <= 0 || timeDivIndex < 0 || timeDivIndex >= timeDivList.size() || timeDivList[timeDivIndex] <= 0)
        return 0;
    const double r = double(memSize / na) / (double(timeDivList[timeDivIndex]) * 1e-8);
    for (qint64 f : smpFrequList)
        if (double(f) <= r)
            return f;
    return qint64(r);
}

} // namespace

// ---------------------------------------------------------------- creation

DevBase::DevBase()
{
    restorePWMValue();
}

DevBase::~DevBase()
{
    smpStopAndWait();
    // Only the last run's worker can still run: the converter ends with its reader.
    bool stuck = activeWorker && activeWorker->isRunning();
    for (QThread* t : workers)
        if (t && t != activeWorker && !t->wait(ulong(smpStopTimeoutMs.load())))
            stuck = true;
    if (stuck) {
        // Never delete a running thread, nor the stores and buffers it
        // writes: they are left behind (callers use deleteWhenStopped).
        qWarning("VormelTAV: a capture worker did not end; it and its stores are left behind");
        static_cast<void>(new SmpDataPtr[2]{smpData[0], smpData[1]});
        static_cast<void>(new SmpDataOscPtr[2]{smpDataOsc[0], smpDataOsc[1]});
        return;
    }
    // The transport must not call into workers that are about to go.
    if (devSupport && devSupport->devCallback) {
        for (QThread* t : workers)
            if (t && dynamic_cast<InterfaceDevCallback*>(t) == devSupport->devCallback)
                devSupport->devCallback = nullptr;
    }
    for (int k = 3; k >= 0; --k) {
        delete workers[k];
        workers[k] = nullptr;
    }
    // Readers that still hold a store keep it; the rest go now.
    for (SmpDataOscPtr& s : smpDataOsc)
        s.reset();
    for (SmpDataPtr& s : smpData)
        s.reset();
    // The workers have ended; the lock only lets ThreadSanitizer see that
    // their last use of the queue came first (it cannot see Qt's joins).
    std::lock_guard<std::mutex> lock(blockMutex);
    for (unsigned char* b : blockQueue)
        std::free(b);
    blockQueue.clear();
    blockSizes.clear();
}

void DevBase::deleteWhenStopped(DevBase* d)
{
    if (!d)
        return;
    if (d->smpStopAndWait()) {
        delete d;
        return;
    }
    qWarning("VormelTAV: a device object is kept until its capture worker ends");
    // Its late reports belong to no window any more.
    QObject::disconnect(d, nullptr, nullptr, nullptr);
    QThread* t = d->activeWorker;
    QObject::connect(t, &QThread::finished, d, &QObject::deleteLater);
    // Ended meanwhile: the signal may have gone; a second deleteLater is harmless.
    if (t->isFinished())
        d->deleteLater();
}

DevBase* DevBase::createDevice(int model)
{
    Config::saveGlobalParam(QStringLiteral("devModel"), QString::number(model));
    switch (model) {
    case DevModel2113: return new Dev2113;
    case DevModel2127: return new Dev2127;
    case DevModel3127: return new Dev3127;
    case DevModel6127: return new Dev6127;
    case DevModel2121A: return new Dev2121A;
    case DevModel2127A: return new Dev2127A;
    case DevModel3127A: return new Dev3127A;
    case DevModel6127A: return new Dev6127A;
    case DevModel6143A: return new Dev6143A;
    case DevModel9151: return new Dev9151;
    default: return new DevNone;
    }
}

bool DevBase::queryModelSupport(int code)
{
    return ModelTable::isSupported(code);
}

void DevBase::initModel(DevModel code, const char* name, qint32 mem, int chnNum,
                        std::initializer_list<int> functions)
{
    devModel = code;
    devName = QString::fromLatin1(name);
    memSize = mem;
    for (int f : functions)
        devFunctions.append(f);
    dChnEna.resize(chnNum);
    smpData[0] = std::make_shared<SmpData>(chnNum);
    smpData[1] = std::make_shared<SmpData>(chnNum);
    loadDChnSettings();
}

void DevBase::initGenericModes(qint64 maxRate)
{
    genChnFrequMap(maxRate);
    // Only 1 selects stream mode; anything else stored reads as buffer mode.
    const int stored = Config::readDeviceParam(devName, QStringLiteral("smpMode")).toInt();
    setSmpMode(stored == SmpModeStream ? SmpModeStream : SmpModeBuffer);
}

int DevBase::identWord(const unsigned char* ident, int offset)
{
    if (!ident)
        return 0;
    return ident[offset] | (ident[offset + 1] << 8);
}

QThread* DevBase::smpWorker(int kind)
{
    if (kind < 0 || kind > 3)
        return nullptr;
    if (!workers[kind] && smpWorkerFactory)
        workers[kind] = smpWorkerFactory(this, kind);
    return workers[kind];
}

void DevBase::bindBulkCallback(DevSmpMode mode)
{
    if (!devSupport)
        return;
    QThread* t = smpWorker(mode == SmpModeStream ? SmpWorkerStream : SmpWorkerNormal);
    devSupport->devCallback = dynamic_cast<InterfaceDevCallback*>(t);
}

// ---------------------------------------------------------------- registers

int DevBase::regWrite(int reg, const unsigned char* data, int len)
{
    return vendorWrite(UsbReq::Register, static_cast<unsigned short>(reg), data, len);
}

int DevBase::regRead(int reg, unsigned char* data, int len)
{
    if (!devSupport)
        return 1;
    int done = 0;
    const int r = devSupport->ctrlRead(UsbReq::Register, static_cast<unsigned short>(reg), data, len, &done);
    if (r != 0)
        return r;
    // A short answer would leave stale bytes behind: count it as a failed transfer.
    return done < len ? 2 : 0;
}

int DevBase::vendorWrite(unsigned char req, unsigned short value, const unsigned char* data, int len)
{
    if (!devSupport)
        return 1;
    return devSupport->ctrlWrite(req, value, const_cast<unsigned char*>(data), len);
}

int DevBase::decodeStatusWord(unsigned word, bool checkHigh)
{
    word &= 0xFFFF;
    const unsigned l = word & 0xFF;
    const unsigned h = word >> 8;
    if ((l & 3) == 0 || (l & 3) == 3) {
        if (word == 0xFFFF)
            return 7;
        if (word == 0)
            return 8;
        return 9;
    }
    if ((l & 0xC0) != 0xC0)
        return 10;
    if (l & 0x10)
        return 13;
    if (checkHigh && (h & 0x8F) != 0x85)
        return 12;
    return 0;
}

int DevBase::devConnect(unsigned char* ident, double vrefIn)
{
    if (vrefIn > 0)
        vref = vrefIn;
    smpClock = qint64(identWord(ident, DevIdentSmpClock)) * 1000000;
    pwmClock = qint64(identWord(ident, DevIdentPwmClock)) * 1000000;
    if (memSize > 0) {
        const int r = checkMemorySta();
        if (r != 0)
            return r;
    }
    // A device that does not answer its ID request is not connected.
    const int r = getDeviceID();
    if (r != 0)
        return r;
    setAutoReadBuf();
    isConnected = true;
    return 0;
}

void DevBase::setWorkMode(DevWorkMode mode)
{
    workMode = mode;
}

bool DevBase::queryDevFunction(DevFunction f) const
{
    return devFunctions.contains(int(f));
}

void DevBase::devDisconnect()
{
    isConnected = false;
    deviceID.fill('\0', 8);
    devBatch = 0;
}

void DevBase::devStandby()
{
    if (isConnected)
        vendorWrite(UsbReq::FpgaRun, 0, nullptr, 0);
}

int DevBase::checkMemorySta()
{
    unsigned char b[2] = {0, 0};
    const int r = regRead(RegRunControl, b, 2);
    if (r != 0)
        return r;
    return decodeStatusWord(b[0] | (b[1] << 8), true);
}

int DevBase::getRunSta(unsigned* word)
{
    unsigned char b[2] = {0, 0};
    const int r = regRead(RegRunControl, b, 2);
    if (r != 0) {
        if (word)
            *word = 0;
        return r;
    }
    const unsigned w = b[0] | (b[1] << 8);
    if (word)
        *word = w;
    return decodeStatusWord(w, false);
}

int DevBase::getDeviceID()
{
    static const unsigned char ask[3] = {0xA3, 0x01, 0xCA};
    int r = vendorWrite(UsbReq::DeviceId, 0, ask, 3);
    if (r != 0)
        return r;
    QThread::msleep(50);
    unsigned char ans[12] = {};
    int done = 0;
    r = devSupport->ctrlRead(UsbReq::DeviceId, 0, ans, 12, &done);
    if (r != 0)
        return r;
    if (done < 12)
        return 2;
    deviceID = QByteArray(reinterpret_cast<const char*>(ans + 2), 8);
    return 0;
}

void DevBase::setAutoReadBuf()
{
    if (smpMode != SmpModeStream || !devSupport)
        return;
    const qint64 rate = getSmpFrequ();
    const qint64 bits = devModel == DevModel2113 ? rate * 8 : rate * getDChnEnaNum();
    devSupport->setAutoReadBufSize(bits);
}

int DevBase::getSmpResultInfo(int* trgRecord, int* records, int* endAddress)
{
    unsigned char b[12] = {};
    const int r = regRead(RegSettings, b, 12);
    if (r != 0)
        return r;
    auto u32 = [&b](int o) {
        return quint32(b[o]) | (quint32(b[o + 1]) << 8) | (quint32(b[o + 2]) << 16) | (quint32(b[o + 3]) << 24);
    };
    if (trgRecord)
        *trgRecord = int(u32(0));
    if (records)
        *records = qint32(u32(4));
    if (endAddress)
        *endAddress = qint32(u32(8));
    return 0;
}

int DevBase::reqSmpStart()
{
    const unsigned char v = 3;
    return regWrite(RegRunControl, &v, 1);
}

int DevBase::reqSmpStop()
{
    const unsigned char v = 0;
    return regWrite(RegRunControl, &v, 1);
}

int DevBase::reqAutoBulkRead()
{
    return vendorWrite(UsbReq::BulkStart, 0, nullptr, 0);
}

int DevBase::reqAutoBulkReadPrepare()
{
    return vendorWrite(UsbReq::BulkPrepare, 0, nullptr, 0);
}

int DevBase::reqMemReadStart(int start, int length)
{
    // Stop at the first failure: a read-out must not start on a stale window.
    int r = reqAutoBulkReadPrepare();
    if (r != 0)
        return r;
    unsigned char w[8];
    S64ToBytes(quint32(start), w, 4);
    S64ToBytes(quint32(length), w + 4, 4);
    r = regWrite(RegMemWindow, w, 8);
    if (r != 0)
        return r;
    return reqAutoBulkRead();
}

int DevBase::getDChnSta(bool* level, bool* second)
{
    const int n = dChnEna.size();
    const int half = n / 8;
    if (half <= 0)
        return 0;
    QByteArray buf(2 * half, '\0');
    unsigned char* b = reinterpret_cast<unsigned char*>(buf.data());
    const int r = regRead(RegLiveLevels, b, 2 * half);
    if (r != 0)
        return r;
    for (int i = 0; i < n; ++i) {
        if (level)
            level[i] = (b[i / 8] >> (i % 8)) & 1;
        if (second)
            second[i] = (b[half + i / 8] >> (i % 8)) & 1;
    }
    return 0;
}

void DevBase::S64ToBytes(qint64 v, unsigned char* out, int n)
{
    const quint64 u = quint64(v);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(u >> (8 * i));
}

int DevBase::reqSmpSettings()
{
    // Every write is checked: a capture must not run on settings the
    // instrument never received.
    unsigned char mode = 0;
    if (smpMode == SmpModeStream)
        mode |= 1;
    if (smpStartMode == SmpStartAuto || smpStartMode == SmpStartRepeat)
        mode |= 2;
    int r = regWrite(RegSmpMode, &mode, 1);
    if (r != 0)
        return r;

    quint32 m[4] = {0, 0, 0, 0};
    const int n = qMin(dChnEna.size(), 32);
    for (int i = 0; i < n; ++i) {
        const quint32 bit = 1u << i;
        if (dChnEna[i])
            m[0] |= bit;
        switch (i < dChnTrg.size() ? int(dChnTrg[i]) : 0) {
        case TrgLow: m[1] |= bit; m[2] |= bit; break;
        case TrgHigh: m[1] |= bit; m[2] |= bit; m[3] |= bit; break;
        case TrgRise: m[1] |= bit; break;
        case TrgFall: m[1] |= bit; m[3] |= bit; break;
        default: break;
        }
    }
    unsigned char masks[16];
    for (int k = 0; k < 4; ++k)
        S64ToBytes(m[k], masks + 4 * k, 4);
    r = regWrite(RegTrgMasks, masks, 16);
    if (r != 0)
        return r;

    unsigned char rec[16];
    S64ToBytes(smpDepth, rec, 5);
    S64ToBytes(getPreTrgDepth(), rec + 5, 5);
    const qint32 memField = ((memSize >> 8) * trgPosition) / 100;
    S64ToBytes(memField, rec + 10, 3);
    const qint64 rate = getSmpFrequ();
    S64ToBytes(rate > 0 ? smpClock / rate : 0, rec + 13, 3);
    r = regWrite(RegSettings, rec, 16);
    if (r != 0)
        return r;

    if (workMode != WorkModeOsc)
        return 0;

    const unsigned char src[2] = {static_cast<unsigned char>(aTrgChn), static_cast<unsigned char>(aTrgType)};
    r = regWrite(RegOscTrgSource, src, 2);
    if (r != 0)
        return r;
    int a = 0;
    int b = 0;
    const int t = aTrgChn;
    if (t >= 0 && t < aTrgVolt.size() && t < aVoltDivIndex.size()) {
        const int vi = aVoltDivIndex[t];
        if (vi >= 0 && vi < voltDivList.size() && vi < halfScreenCodeList.size() && voltDivList[vi] != 0) {
            const int s = (aChnEna.value(0) != aChnEna.value(1)) ? 1 : 0;
            const double x = aTrgVolt[t] / voltDivList[vi];
            const double scaled = std::trunc(x * halfScreenCodeList[vi] / 5.0);
            if (std::isfinite(scaled) && std::fabs(scaled) < 2.0e6) {
                const int v = int(scaled) * 1000;
                // A slope of 0 or less is a damaged calibration: use the default.
                const int s0 = calibData.slope[0] > 0 ? calibData.slope[0] : 1000;
                const int s1 = calibData.slope[1] > 0 ? calibData.slope[1] : 1000;
                a = v / s0 - calibData.zeroDual[2 * s];
                b = v / s1 - calibData.zeroDual[2 * s + 1];
            }
        }
    }
    auto quarter = [](int v) {
        int q = v / 4;
        if (v % 4 > 1)
            ++q;
        return qBound(-127, q, 127);
    };
    const unsigned char lv[2] = {static_cast<unsigned char>(qint8(quarter(a))),
                                 static_cast<unsigned char>(qint8(quarter(b)))};
    return regWrite(RegOscTrgLevel, lv, 2);
}

// ---------------------------------------------------------------- runs

void DevBase::finishStartFailed(int error)
{
    smpError = error;
    runSta = SmpStaDone;
    smpRunning = false;
    activeWorker = nullptr;
    // Reported the way a worker reports, after the caller has returned.
    QMetaObject::invokeMethod(
        this,
        [this, error]() {
            if (error != 0)
                emit sigSmpSta(SmpStaIdle, error, 0);
            emit sigSmpSta(SmpStaDone, 0, 0);
            emit sigSmpDataReady(1);
        },
        Qt::QueuedConnection);
}

void DevBase::smpRunEnded(int err)
{
    if (err != 0) {
        smpError = err;
        emit sigSmpSta(runSta, err, 0);
    }
    runSta = SmpStaDone;
    // Over before it is announced, so a command right after sees no run.
    smpRunning = false;
    emit sigSmpSta(SmpStaDone, 0, 0);
    emit sigSmpDataReady(1);
}

void DevBase::smpStart(SmpStartMode mode, bool remote)
{
    // A worker still finishing its last pass could not be started again;
    // one that does not end keeps its stores (the stop reported it).
    if (!smpStopAndWait())
        return;
    stopGivenUp = false;
    clearSmpData();
    smpRunSerial = nextRunSerial();
    if (mode != SmpStartAuto)
        emit sigSmpDataReady(0);
    smpRemote = remote;
    smpRunning = true;
    smpStopReq = false;
    smpError = 0;
    runSta = SmpStaIdle;
    if (mode >= 0)
        smpStartMode = mode;

    QThread* t = nullptr;
    QThread::Priority prio = QThread::InheritPriority;
    if (isConnected) {
        const int r = reqSmpSettings();
        if (r != 0) {
            finishStartFailed(r);
            return;
        }
        if (smpMode == SmpModeStream) {
            t = smpWorker(SmpWorkerStream);
            prio = QThread::HighPriority;
        } else {
            t = smpWorker(SmpWorkerNormal);
        }
    } else {
        t = smpWorker(SmpWorkerSimulate);
    }
    if (!t) {
        finishStartFailed(0);
        return;
    }
    activeWorker = t;
    t->start(prio);
}

void DevBase::smpStop()
{
    if (!smpRunning || smpStopReq)
        return;
    if (isConnected && smpMode == SmpModeStream) {
        smpStopReq = true;
        reqSmpStop();
    } else if (isConnected) {
        reqSmpStop();
        smpStopReq = true;
    } else {
        smpStopReq = true;
    }
}

bool DevBase::smpStopAndWait()
{
    if (smpRunning && !smpStopReq)
        smpStop();
    // Wait for the worker that was started, even when the connection changed
    // since: it is the one still touching the stores.
    QThread* t = activeWorker;
    if (!t)
        return true;
    // A single run reads out and converts after the stop, for as long as the
    // data takes: wait on while it moves; give up after a whole bound
    // without progress (a transfer that never ends).
    quint32 seen = smpProgress;
    while (!t->wait(ulong(smpStopTimeoutMs.load()))) {
        const quint32 now = smpProgress;
        if (now != seen) {
            seen = now;
            continue;
        }
        if (!stopGivenUp) {
            stopGivenUp = true;
            qWarning("VormelTAV: the capture worker did not stop in time");
            smpError = SmpErrStillRunning;
            const int sta = runSta;
            // Reported the way a worker reports, after the caller has returned.
            QMetaObject::invokeMethod(
                this, [this, sta]() { emit sigSmpSta(sta, SmpErrStillRunning, 0); }, Qt::QueuedConnection);
        }
        return false;
    }
    return true;
}

// Brackets nest: a setting applied inside another one's bracket (a rate
// lowered while channels are applied) must not forget the outer run.
bool DevBase::smpStopForRestart()
{
    if (restartDepth++ == 0)
        restartPending = smpRunning;
    if (smpRunning)
        smpStopAndWait();
    return restartPending;
}

void DevBase::smpRestartIfNeed()
{
    if (restartDepth > 0 && --restartDepth > 0)
        return;
    if (restartPending)
        smpStart(SmpStartKeep, false);
}

void DevBase::clearSmpData()
{
    // Stores a reader holds must stay as they are: both slots get fresh ones,
    // and the old ones are freed (by whoever lets go last) outside the lock.
    // A worker that did not stop still writes the filling store.
    if (activeWorker && activeWorker->isRunning())
        return;
    SmpDataPtr gone[2];
    SmpDataOscPtr goneOsc[2];
    std::lock_guard<std::mutex> l(storeMutex);
    if (workMode == WorkModeOsc) {
        for (int k = 0; k < 2; ++k) {
            goneOsc[k] = std::move(smpDataOsc[k]);
            smpDataOsc[k] = freshLike(goneOsc[k]);
        }
        return;
    }
    for (int k = 0; k < 2; ++k) {
        gone[k] = std::move(smpData[k]);
        smpData[k] = freshLike(gone[k]);
    }
}

void DevBase::toggleSmpData()
{
    // The filled store becomes the displayed one; the one displayed so far is
    // let go rather than cleared, since a reader may still be walking it.
    SmpDataPtr gone;
    SmpDataOscPtr goneOsc;
    std::lock_guard<std::mutex> l(storeMutex);
    if (workMode == WorkModeOsc) {
        const int old = smpDataOscIdx == 2 ? 1 : 0;
        goneOsc = std::move(smpDataOsc[old]);
        smpDataOsc[old] = freshLike(goneOsc);
        smpDataOscIdx = old == 1 ? 1 : 2;
        return;
    }
    const int old = smpDataIdx == 2 ? 1 : 0;
    gone = std::move(smpData[old]);
    smpData[old] = freshLike(gone);
    smpDataIdx = old == 1 ? 1 : 2;
}

bool DevBase::hasValidData() const
{
    if (workMode == WorkModeOsc) {
        const SmpDataOscPtr s = displayedSmpDataOsc();
        if (!s)
            return false;
        for (int i = 0; i < aChnEna.size(); ++i)
            if (s->hasValidDataA(i))
                return true;
        return false;
    }
    const SmpDataPtr s = displayedSmpData();
    return s && s->smpCount > 0;
}

SmpDataPtr DevBase::genDataForAnly(DataForAnly* d) const
{
    SmpDataPtr s = displayedSmpData();
    if (!d || !s)
        return nullptr;
    d->chnData = const_cast<DigitalChnData**>(s->chnData.data());
    d->smpCount = s->smpCount;
    d->smpFrequ = s->smpFrequ;
    d->trgPosition = s->trgPosition;
    d->chnNum = s->chnNum;
    d->devModelWord = tavModelWord(quint32(devModel));
    return s;
}

void DevBase::updateSmpModeEmitSig(DevSmpMode mode)
{
    const int prev = smpMode;
    smpMode = mode;
    if (prev != -1) {
        emit sigSmpModeChanged();
        Config::saveDeviceParam(devName, QStringLiteral("smpMode"), QString::number(int(mode)));
    }
}

void DevBase::saveToolbarPWMSet(bool show)
{
    Config::saveGlobalParam(QStringLiteral("toolbarPWM"), show ? QStringLiteral("1") : QStringLiteral("0"));
    emit sigToolbarPWMEna();
}

// ---------------------------------------------------------------- conversion

SmpDataPtr DevBase::displayedSmpData() const
{
    std::lock_guard<std::mutex> l(storeMutex);
    return smpData[smpDataIdx == 2 ? 1 : 0];
}

SmpDataOscPtr DevBase::displayedSmpDataOsc() const
{
    std::lock_guard<std::mutex> l(storeMutex);
    return smpDataOsc[smpDataOscIdx == 2 ? 1 : 0];
}

bool DevBase::editDisplayedSmpData(const std::function<bool(SmpData&)>& edit)
{
    const SmpDataPtr s = displayedSmpData();
    if (!s || !edit)
        return false;
    std::unique_lock<std::shared_mutex> l(s->editLock);
    return edit(*s);
}

SmpDataPtr DevBase::fillingSmpData() const
{
    std::lock_guard<std::mutex> l(storeMutex);
    return smpData[smpDataIdx == 2 ? 0 : 1];
}

void DevBase::initOscStores(int analogChn, int logicChn)
{
    std::lock_guard<std::mutex> l(storeMutex);
    smpDataOsc[0] = std::make_shared<SmpDataOsc>(analogChn, logicChn);
    smpDataOsc[1] = std::make_shared<SmpDataOsc>(analogChn, logicChn);
    smpDataOscIdx = 1;
}

SmpDataOscPtr DevBase::fillingSmpDataOsc() const
{
    std::lock_guard<std::mutex> l(storeMutex);
    return smpDataOsc[smpDataOscIdx == 2 ? 0 : 1];
}

SmpData* DevBase::filling() const
{
    // Only toggleSmpData and clearSmpData replace the slot, never while its
    // writer converts into it. Every conversion step passes here.
    ++smpProgress;
    std::lock_guard<std::mutex> l(storeMutex);
    return smpData[smpDataIdx == 2 ? 0 : 1].get();
}

SmpDataOsc* DevBase::fillingOsc() const
{
    ++smpProgress;
    std::lock_guard<std::mutex> l(storeMutex);
    return smpDataOsc[smpDataOscIdx == 2 ? 0 : 1].get();
}

DevBase::AnalogPassSet DevBase::analogPassSet() const
{
    AnalogPassSet a;
    std::lock_guard<std::mutex> l(aSetMutex);
    const int n = aChnEna.size();
    a.smpFrequ = oscSmpFrequ(memSize, n, timeDivList, timeDivIndex, smpFrequList);
    a.trgPercent = aTrgPercent;
    a.voltDiv.resize(n);
    a.halfScreen.resize(n);
    // Element copies, never a shared buffer: a window read through a
    // non-const index would otherwise detach the setting outside the lock.
    a.offset = QVector<int>(aChnOffset.constBegin(), aChnOffset.constEnd());
    a.offset.resize(n);
    a.ena = QVector<bool>(aChnEna.constBegin(), aChnEna.constEnd());
    for (int i = 0; i < n; ++i) {
        const int vi = aVoltDivIndex.value(i, -1);
        a.voltDiv[i] = voltDivList.value(vi, 0);
        a.halfScreen[i] = halfScreenCodeList.value(vi, 0);
    }
    return a;
}

bool DevBase::dataConvertStart(int trgRecord)
{
    if (workMode == WorkModeOsc) {
        SmpDataOsc* s = fillingOsc();
        if (!s)
            return false;
        // The whole pass works from this copy, whatever the window changes meanwhile.
        convPass = analogPassSet();
        // One entry per channel of the store.
        const int n = s->chnNum;
        AnalogPassSet a = convPass;
        a.voltDiv.resize(n);
        a.halfScreen.resize(n);
        a.offset.resize(n);
        a.ena.resize(n);
        const bool ok = s->dataConvertStart(trgRecord, a.smpFrequ, a.voltDiv.constData(), a.halfScreen.constData(),
                                            a.offset.constData(), a.ena.constData());
        s->runSerial = smpRunSerial;
        return ok;
    }
    SmpData* s = filling();
    if (!s)
        return false;
    // The store reads one flag per channel it has.
    QVector<bool> ena = dChnEna;
    ena.resize(s->chnNum);
    return s->dataConvertStart(trgRecord, getSmpFrequ(), ena.constData());
}

bool DevBase::dataConvertNormal(const unsigned char* buf, int len, int* consumed)
{
    if (workMode == WorkModeOsc) {
        SmpDataOsc* s = fillingOsc();
        return s ? s->dataConvertM2_16(&calibData, buf, len, consumed) : false;
    }
    SmpData* s = filling();
    if (!s)
        return false;
    if (dChnEna.size() >= 32)
        return s->dataConvertP6_32(buf, len, consumed);
    return s->dataConvertP5_16(buf, len, consumed);
}

bool DevBase::dataConvertStream(const unsigned char* buf, int len, int start, long long* smpCount)
{
    SmpData* s = filling();
    if (!s)
        return false;
    if (devModel == DevModel2113)
        return s->dataConvertP1_8(buf, len, start, smpCount);
    return s->dataConvertS16_N(buf, len, start, smpCount);
}

bool DevBase::dataConvertSimu(const int* runs, int n, int chn, long long* pos)
{
    if (workMode == WorkModeOsc) {
        SmpDataOsc* s = fillingOsc();
        const int na = convPass.ena.size();
        return s ? s->dataConvertSimu(runs, n, chn, convPass.trgPercent, na > 0 ? memSize / na : 0) : false;
    }
    SmpData* s = filling();
    return s ? s->dataConvertSimu(runs, n, chn, pos) : false;
}

bool DevBase::dataConvertSimu(const int* runs, int n, int chn, long long* pos, bool merge)
{
    SmpData* s = filling();
    return s ? s->dataConvertSimu(runs, n, chn, pos, merge) : false;
}

void DevBase::dataSetInitLevel(int chn, int level)
{
    if (SmpData* s = filling())
        s->setInitLevel(chn, level);
}

void DevBase::dataSetSmpDepth(long long n)
{
    if (SmpData* s = filling())
        s->smpCount = n;
}

void DevBase::dataSetTrgPosition(long long n)
{
    if (SmpData* s = filling())
        s->trgPosition = n;
}

bool DevBase::dataConvertComplete(bool keep)
{
    if (workMode == WorkModeOsc) {
        SmpDataOsc* s = fillingOsc();
        if (!s)
            return false;
        if (!keep) {
            s->clearData();
            return true;
        }
        s->dataConvertComplete();
        toggleSmpData();
        return true;
    }
    SmpData* s = filling();
    if (!s)
        return false;
    if (!keep) {
        s->clearData();
        return true;
    }
    const bool ok = s->dataConvertComplete(smpDepth);
    toggleSmpData();
    return ok;
}

// ---------------------------------------------------------------- rates and depths

bool DevBase::setSmpFrequ(int index)
{
    if (index < 0 || index >= smpFrequList.size())
        return false;
    smpFrequIndex = index;
    Config::saveDeviceParam(devName, QStringLiteral("smpFrequIndex"), QString::number(index));
    Config::saveDeviceParam(devName, QStringLiteral("smpFrequ"), QString::number(smpFrequList[index] / 1000));
    checkDChnEnaToLess();
    setAutoReadBuf();
    return true;
}

bool DevBase::setSmpDepth(int index)
{
    if (index < 0 || index >= smpDepthList.size())
        return false;
    smpDepthIndex = index;
    smpDepth = smpDepthList[index];
    Config::saveDeviceParam(devName, QStringLiteral("smpDepthIndex"), QString::number(index));
    Config::saveDeviceParam(devName, QStringLiteral("smpDepth"), QString::number(smpDepth / 1000));
    return true;
}

bool DevBase::setSmpTime(double seconds)
{
    if (smpDepthList.isEmpty())
        return false;
    // Compared as a double first: NaN, negative and huge times never reach
    // the integer conversion.
    const double d = double(getSmpFrequ()) * seconds;
    if (!std::isfinite(d) || d < 0 || d >= 9.0e18)
        return false;
    const qint64 depth = qint64(d);
    if (depth < smpDepthList.first() || depth > smpDepthList.last())
        return false;
    smpDepth = depth;
    Config::saveDeviceParam(devName, QStringLiteral("smpDepth"), QString::number(depth / 1000));
    return true;
}

qint64 DevBase::getSmpFrequ() const
{
    if (workMode == WorkModeOsc) {
        std::lock_guard<std::mutex> l(aSetMutex);
        return oscSmpFrequ(memSize, aChnEna.size(), timeDivList, timeDivIndex, smpFrequList);
    }
    if (smpFrequIndex < 0 || smpFrequIndex >= smpFrequList.size())
        return 0;
    return smpFrequList[smpFrequIndex];
}

qint64 DevBase::getExpectDepth() const
{
    if (workMode == WorkModeOsc) {
        std::lock_guard<std::mutex> l(aSetMutex);
        const int na = aChnEna.size();
        return na > 0 ? memSize / na : 0;
    }
    return smpDepth;
}

qint64 DevBase::getPreTrgDepth() const
{
    if (workMode == WorkModeOsc) {
        std::lock_guard<std::mutex> l(aSetMutex);
        const int na = aChnEna.size();
        return na > 0 ? qint32(memSize / na * aTrgPercent) / 1000 : 0;
    }
    bool anyTrg = false;
    for (TrgType t : dChnTrg)
        anyTrg = anyTrg || t != TrgNone;
    if (!anyTrg)
        return 0;
    return qint64(trgPosition) * smpDepth / 100;
}

int DevBase::getDChnEnaNum() const
{
    return int(dChnEna.count(true));
}

int DevBase::getMaxChnEnaNum(qint64 rate) const
{
    if (smpMode != SmpModeStream)
        return dChnEna.size();
    for (int i = chnFrequMapStream.size() - 1; i >= 0; --i)
        if (chnFrequMapStream[i].maxFrequ >= rate)
            return chnFrequMapStream[i].chnNum;
    // Faster than any entry allows: the fewest channels.
    return chnFrequMapStream.isEmpty() ? dChnEna.size() : chnFrequMapStream.first().chnNum;
}

qint64 DevBase::getMaxSmpFrequ(int chnNum) const
{
    if (smpMode == SmpModeStream) {
        for (const ChnFrequ& e : chnFrequMapStream)
            if (e.chnNum >= chnNum)
                return e.maxFrequ;
        return chnFrequMapStream.isEmpty() ? 0 : chnFrequMapStream.last().maxFrequ;
    }
    return chnFrequMapBuf.isEmpty() ? 0 : chnFrequMapBuf.first().maxFrequ;
}

int DevBase::getMinSmpFrequIndex(int chnNum) const
{
    const qint64 m = getMaxSmpFrequ(chnNum);
    const int i = smpFrequList.indexOf(m);
    // No listed rate matches: the lowest rate is always allowed.
    if (i < 0)
        return qMax(0, smpFrequList.size() - 1);
    return i;
}

void DevBase::checkSmpFrequToLower()
{
    const int m = getMinSmpFrequIndex(getDChnEnaNum());
    if (smpFrequIndex < m) {
        smpFrequIndex = m;
        Config::saveDeviceParam(devName, QStringLiteral("smpFrequIndex"), QString::number(m));
        Config::saveDeviceParam(devName, QStringLiteral("smpFrequ"), QString::number(getSmpFrequ() / 1000));
        emit sigSmpFrequToLower();
    }
}

QStringList DevBase::getSmpFrequStringList() const
{
    QStringList out;
    for (qint64 f : smpFrequList) {
        if (f >= 1000000000)
            out << numberLabel(double(f) / 1e9) + QStringLiteral(" GHz");
        else if (f >= 1000000)
            out << numberLabel(double(f) / 1e6) + QStringLiteral(" MHz");
        else if (f < 1000)
            out << numberLabel(double(f)) + QStringLiteral(" Hz");
        else
            out << numberLabel(double(f) / 1e3) + QStringLiteral(" KHz");
    }
    return out;
}

QStringList DevBase::getSmpDepthStringList() const
{
    QStringList out;
    for (qint64 d : smpDepthList) {
        QString s;
        if (d >= 1000000000)
            s = numberLabel(double(d) / 1e9) + QStringLiteral(" GSa");
        else if (d >= 1000000)
            s = numberLabel(double(d) / 1e6) + QStringLiteral(" MSa");
        else
            s = numberLabel(double(d) / 1e3) + QStringLiteral(" KSa");
        if (d > smpDepthMarkLimit)
            s += QLatin1Char('*');
        out << s;
    }
    return out;
}

// The index of a stored rate or depth: the stored value (in thousandths)
// picks the first entry it reaches in list order (rates fall, depths rise),
// else the last one; without a value the stored index is taken when valid.
static int storedListIndex(const QString& device, const QString& valueKey, const QString& indexKey,
                           const QVector<qint64>& list, int defIndex, bool falling)
{
    const int len = list.size();
    const QString stored = Config::readDeviceParam(device, valueKey);
    int index = defIndex;
    if (!stored.isEmpty()) {
        const qint64 value = thousandsToUnits(stored);
        index = len - 1;
        if (len < 2) {
            index = 0;
        } else {
            for (int i = 0; i <= len - 2; ++i) {
                if (falling ? value >= list[i] : value <= list[i]) {
                    index = i;
                    break;
                }
            }
        }
    } else {
        bool ok = false;
        const int i = Config::readDeviceParam(device, indexKey).toInt(&ok);
        if (ok && i >= 0 && i < len)
            index = i;
    }
    if (index < 0 || index >= len)
        index = len > 0 ? qBound(0, index, len - 1) : 0;
    return index;
}

void DevBase::loadSmpFrequ()
{
    smpFrequIndex = storedListIndex(devName, QStringLiteral("smpFrequ"), QStringLiteral("smpFrequIndex"),
                                    smpFrequList, defFrequIndex, true);
}

void DevBase::loadSmpDepth()
{
    smpDepthIndex = storedListIndex(devName, QStringLiteral("smpDepth"), QStringLiteral("smpDepthIndex"),
                                    smpDepthList, defDepthIndex, false);
    smpDepth = smpDepthList.isEmpty() ? 0 : smpDepthList[smpDepthIndex];
}

void DevBase::genSmpDepthList(DevSmpMode mode)
{
    static const qint64 depths[] = {20000LL,      200000LL,      1000000LL,     2000000LL,     5000000LL,
                                    10000000LL,   20000000LL,    50000000LL,    100000000LL,   200000000LL,
                                    500000000LL,  1000000000LL,  2000000000LL,  5000000000LL,  10000000000LL,
                                    20000000000LL, 50000000000LL, 100000000000LL};
    smpDepthList.clear();
    const int n = mode == SmpModeStream ? 18 : 15;
    for (int i = 0; i < n; ++i)
        smpDepthList.append(depths[i]);
}

void DevBase::genSmpFrequList(DevSmpMode mode, qint64 maxRate)
{
    static const qint64 common[] = {100000000LL, 50000000LL, 20000000LL, 10000000LL, 5000000LL, 2000000LL,
                                    1000000LL,   500000LL,   200000LL,   100000LL,   50000LL,   20000LL};
    smpFrequList.clear();
    if (mode == SmpModeStream) {
        for (qint64 f : common)
            smpFrequList.append(f);
        smpDepthMarkLimit = smpDepthList.isEmpty() ? 0 : smpDepthList.last();
        defFrequIndex = 3;
        defDepthIndex = 4;
        return;
    }
    if (maxRate >= 500000000LL)
        smpFrequList << 500000000LL << 200000000LL;
    else if (maxRate >= 200000000LL)
        smpFrequList << 200000000LL;
    for (qint64 f : common)
        smpFrequList.append(f);
}

void DevBase::genChnFrequMap(qint64 maxRate)
{
    const int chn = dChnEna.size();
    chnFrequMapBuf.clear();
    for (int n = 4; n <= chn; n *= 2)
        chnFrequMapBuf.append({n, maxRate});
    chnFrequMapStream.clear();
    chnFrequMapStream.append({3, 100000000LL});
    chnFrequMapStream.append({6, 50000000LL});
    chnFrequMapStream.append({16, 20000000LL});
    if (chn >= 32)
        chnFrequMapStream.append({32, 10000000LL});
}

void DevBase::setSmpModeGeneric(DevSmpMode mode, qint64 maxRate, int bufFrequ, int bufDepth, qint64 bufMark,
                                int streamFrequ)
{
    if (mode != SmpModeBuffer && mode != SmpModeStream)
        return;
    if (smpMode == mode)
        return;
    genSmpDepthList(mode);
    genSmpFrequList(mode, maxRate);
    if (mode == SmpModeBuffer) {
        smpDepthMarkLimit = bufMark;
        defFrequIndex = bufFrequ;
        defDepthIndex = bufDepth;
    } else {
        defFrequIndex = streamFrequ;
    }
    bindBulkCallback(mode);
    loadSmpDepth();
    loadSmpFrequ();
    updateSmpModeEmitSig(mode);
    checkSmpFrequToLower();
}

void DevBase::setSmpModeFixed(DevSmpMode mode, const QVector<qint64>& rates, int defFrequ, int defDepth,
                              qint64 mark)
{
    smpMode = mode;
    genSmpDepthList(mode);
    smpFrequList = rates;
    defFrequIndex = defFrequ;
    defDepthIndex = defDepth;
    smpDepthMarkLimit = mark >= 0 ? mark : smpDepthList.last();
    bindBulkCallback(mode);
    loadSmpDepth();
    loadSmpFrequ();
    checkSmpFrequToLower();
}

// ---------------------------------------------------------------- channels and triggers

void DevBase::setDChnEna(const QVector<bool>& ena)
{
    // One flag per channel or nothing: the command server passes what it got.
    if (ena.size() != dChnEna.size() || ena == dChnEna)
        return;
    dChnEna = ena;
    for (int i = 0; i < dChnEna.size(); ++i)
        if (!dChnEna[i] && i < dChnTrg.size())
            dChnTrg[i] = TrgNone;
    Config::saveChnEnaSettings(devName, dChnEna, false);
    Config::saveChnTrgSettings(devName, dChnTrg);
    emit sigChnEnaChanged();
    checkSmpFrequToLower();
    setAutoReadBuf();
}

void DevBase::setDChnTrg(int chn, TrgType type)
{
    if (chn < 0 || chn >= dChnTrg.size() || int(type) < TrgNone || int(type) > TrgFall)
        return;
    // At most one edge trigger exists.
    if (type == TrgRise || type == TrgFall) {
        for (TrgType& t : dChnTrg)
            if (t == TrgRise || t == TrgFall)
                t = TrgNone;
    }
    dChnTrg[chn] = type;
    Config::saveChnTrgSettings(devName, dChnTrg);
}

bool DevBase::setTrgPosition(int percent)
{
    if (unsigned(percent) > 99u)
        return false;
    if (percent == trgPosition)
        return true;
    trgPosition = percent;
    Config::saveDeviceParam(devName, QStringLiteral("trgPosition"), QString::number(percent));
    return true;
}

int DevBase::getTrgPosition() const
{
    if (workMode == WorkModeOsc) {
        std::lock_guard<std::mutex> l(aSetMutex);
        return aTrgPercent / 10;
    }
    return trgPosition;
}

void DevBase::checkDChnEnaToLess()
{
    const int m = getMaxChnEnaNum(getSmpFrequ());
    int count = getDChnEnaNum();
    bool changed = false;
    for (int i = dChnEna.size() - 1; i >= 0 && count > m; --i) {
        if (dChnEna[i]) {
            dChnEna[i] = false;
            if (i < dChnTrg.size())
                dChnTrg[i] = TrgNone;
            --count;
            changed = true;
        }
    }
    if (changed) {
        Config::saveChnEnaSettings(devName, dChnEna, false);
        emit sigChnEnaChanged();
    }
}

void DevBase::loadDChnSettings()
{
    bool ok = false;
    const int pos = Config::readDeviceParam(devName, QStringLiteral("trgPosition")).toInt(&ok);
    trgPosition = (ok && pos >= 0 && pos <= 99) ? pos : 5;
    const int n = dChnEna.size();
    dChnTrg = QVector<TrgType>(n, TrgNone);
    Config::getChnTrgSettings(devName, &dChnTrg);
    dChnEna.fill(true, n);
    Config::getChnEnaSettings(devName, &dChnEna, false);
    for (int i = 0; i < n; ++i)
        if (!dChnEna[i])
            dChnTrg[i] = TrgNone;
}

// ---------------------------------------------------------------- threshold

void DevBase::writeThreshold(double volts, int group)
{
    const double d = vref - volts;
    int range;
    double r;
    if (d < -1.6) {
        range = 0;
        r = 0.0;
    } else if (d < 1.6) {
        range = 242;
        r = 1.6;
    } else {
        range = 727;
        r = 4.8;
    }
    const double dac = qBound(0.0, std::trunc((r - d) / 3.3 * 1000), 999.0);
    const int word = int(dac);
    const unsigned char b[4] = {static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
                                static_cast<unsigned char>(range), static_cast<unsigned char>(range >> 8)};
    regWrite(RegThreshold + 4 * group, b, 4);
}

void DevBase::setVthValue(double volts, int group)
{
    // Two groups at most; a value that is not a number never reaches the DAC.
    if (group < 0 || group > 1 || !std::isfinite(volts) || !std::isfinite(vref))
        return;
    if (isConnected)
        writeThreshold(volts, group);
}

void DevBase::restoreVthValue()
{
    auto stored = [this](const char* key) {
        bool ok = false;
        const double v = Config::readDeviceParam(devName, QLatin1String(key)).toDouble(&ok);
        return ok && std::isfinite(v) ? v : 1.65;
    };
    setVthValue(stored("chnVth"), 0);
    if (dChnEna.size() >= 32)
        setVthValue(stored("chnVth2"), 1);
}

// ---------------------------------------------------------------- PWM

void DevBase::writePWMEnable()
{
    const unsigned char v = static_cast<unsigned char>((pwmEna[1] ? 2 : 0) | (pwmEna[0] ? 1 : 0));
    regWrite(RegPwmEnable, &v, 1);
}

void DevBase::setPWMEnable(bool out0, bool out1)
{
    pwmEna[0] = out0;
    pwmEna[1] = out1;
    if (isConnected)
        writePWMEnable();
}

bool DevBase::getPWMEnable(int i) const
{
    return i >= 0 && i <= 1 && pwmEna[i];
}

void DevBase::setPWMValue(int i, double frequency, double duty)
{
    if (i < 0 || i > 1 || !std::isfinite(frequency) || !std::isfinite(duty))
        return;
    const double f = qBound(0.1, frequency, 20000000.0);
    const double dt = qBound(0.0, duty, 100.0);
    pwmFrequ[i] = f;
    pwmDuty[i] = dt;
    // Without a counter clock there is nothing to divide.
    if (!isConnected || pwmClock <= 0)
        return;
    const double p = double(pwmClock) / f;
    const double maxCount = 4294967295.0;
    const double n = qBound(1.0, roundHalfUp(p), maxCount);
    const double h = qBound(0.0, roundHalfUp(dt / 100.0 * p), n);
    const quint32 nw = quint32(n);
    const quint32 hw = quint32(h);
    pwmFrequ[i] = double(pwmClock) / nw;
    pwmDuty[i] = double(hw) / nw * 100.0;
    unsigned char b[8];
    S64ToBytes(nw, b, 4);
    S64ToBytes(hw, b + 4, 4);
    regWrite(RegPwm + 8 * i, b, 8);
}

void DevBase::getPWMValue(int i, double* frequency, double* duty) const
{
    const bool ok = i >= 0 && i <= 1;
    if (frequency)
        *frequency = ok ? pwmFrequ[i] : 0;
    if (duty)
        *duty = ok ? pwmDuty[i] : 0;
}

void DevBase::restorePWMValue()
{
    pwmEna[0] = pwmEna[1] = false;
    if (isConnected)
        writePWMEnable();
    const bool factory = Config::readGlobalParam(QStringLiteral("extparam")) == pwmAccessCode;
    if (!factory) {
        setPWMValue(0, 1000, 50);
        setPWMValue(1, 100000, 50);
        pwmEna[0] = true;
        pwmEna[1] = false;
    } else {
        setPWMValue(0, 2, 50);
        setPWMValue(1, 2, 50);
        pwmEna[0] = true;
        pwmEna[1] = true;
    }
    if (isConnected)
        writePWMEnable();
}
