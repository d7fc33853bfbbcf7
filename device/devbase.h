#pragma once
// The device object: settings, lists and register protocol of the selected
// instrument model, start and stop of captures, and the double-buffered
// sample stores. One subclass per model; DevNone stands in when no
// supported instrument is attached.
//
// The displayed capture and threads. The GUI, the trace generator, the
// analyzer threads, file jobs and the command server read the displayed
// capture while a sampling thread fills the other store; the rule below keeps
// any of them from seeing a store freed or changed under it.
// - Reading: `auto s = dev->displayedSmpData(); if (!s) ...; s->query(...)`.
//   The snapshot stays alive while it is held, whatever the device does
//   meanwhile. Hold it for one use only (a frame, a decode, an export, a
//   reply) and never keep a raw store or list pointer across events. A reader
//   on another thread that may overlap a GUI-thread edit takes
//   readDisplayedSmpData() instead, for the duration of that one read.
// - Swapping and clearing: only this class does it. The sampling thread of a
//   run (or the GUI thread after a file load, with no run active) fills the
//   store that is not displayed and publishes it with toggleSmpData(); the
//   store that stops being displayed is let go, never cleared, and the filling
//   slot gets a fresh store. smpStart() and clearSmpData() likewise put fresh
//   stores in both slots. Readers keep whatever they hold.
// - Changing the displayed capture in place (the glitch filter replacing edge
//   lists): GUI thread only, through editDisplayedSmpData(), after the caller
//   has stopped every analyzer (they read the lists for a whole decode).
// The analog stores follow the same rule; they are read on the GUI thread only.

#include "core/config.h"
#include "device/analogchndata.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QVector>

#include "device/smpdata.h"

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>

class QThread;
class SmpDataOsc;
class DevSupport;
class InterfaceDevCallback;
struct DataForAnly;

// An analog capture as handed to readers (see SmpDataPtr).
using SmpDataOscPtr = std::shared_ptr<SmpDataOsc>;

// Model codes; stored in the settings as "devModel" and used by the command server.
enum DevModel : qint32 {
    DevModelNone = 0,
    DevModel2113 = 1,
    DevModel2127 = 2,
    DevModel3127 = 3,
    DevModel6127 = 4,
    DevModel2121A = 5,
    DevModel2127A = 6,
    DevModel3127A = 7,
    DevModel6127A = 8,
    DevModel6143A = 9,
    DevModel7329 = 49,
    DevModel9151 = 65
};

enum DevSmpMode { SmpModeBuffer = 0, SmpModeStream = 1 };
enum DevWorkMode { WorkModeLogic = 0, WorkModeOsc = 1 };
// -1 as an argument keeps the stored kind.
enum SmpStartMode { SmpStartKeep = -1, SmpStartAuto = 0, SmpStartSingle = 1, SmpStartRepeatTrg = 2, SmpStartRepeat = 3 };
enum DevFunction { DevFuncVth = 1, DevFuncPWM = 2 };
enum DevSmpSta { SmpStaIdle = 0, SmpStaPre = 1, SmpStaWaitTrg = 2, SmpStaSampling = 3, SmpStaReading = 4, SmpStaDone = 5 };
// Run error of the device object itself, beside the transport's and the
// instrument's codes: the capture worker did not end after a stop.
enum DevSmpError { SmpErrStillRunning = 11 };

// The sampling workers a device object runs.
enum SmpWorkerKind { SmpWorkerSimulate = 0, SmpWorkerNormal = 1, SmpWorkerStream = 2, SmpWorkerConvert = 3 };

// One entry of a channel/rate limit map.
struct ChnFrequ {
    qint32 chnNum;
    qint64 maxFrequ;   // Hz
};

// Identification data kept by the device search: the sample clock and the
// PWM clock in MHz, 16-bit little-endian each. The 8-channel model reads one
// clock byte at offset 0.
constexpr int DevIdentSmpClock = 0;
constexpr int DevIdentPwmClock = 2;
constexpr int DevIdentSize = 4;

class DevBase : public QObject
{
    Q_OBJECT

public:
    // Creates the sampling worker of a kind (SmpWorkerKind) for a device
    // object, which owns and deletes it. Installed by the program at start-up;
    // without one no capture worker exists and a started run ends at once.
    // Workers are made on first use, the buffer and stream ones while the
    // model's constructor picks its mode: dChnEna is sized by then, so the
    // stream worker can take its channel count from it. A buffer or stream
    // worker that is an InterfaceDevCallback becomes the transport's bulk
    // callback for its mode.
    using SmpWorkerFactory = QThread* (*)(DevBase* dev, int kind);
    static SmpWorkerFactory smpWorkerFactory;

    // The factory: 0 and every code without a class of its own build DevNone.
    // The requested code is kept as "devModel" either way.
    static DevBase* createDevice(int model);
    static bool queryModelSupport(int code);
    // Deletes d once its capture worker has ended. A worker that does not
    // stop within the bound keeps d (signals disconnected) until it ends;
    // without a running event loop d is then left behind on purpose.
    static void deleteWhenStopped(DevBase* d);

    ~DevBase() override;

    // --- model constants
    DevModel devModel = DevModelNone;
    QString devName;
    qint32 memSize = 0;
    QByteArray deviceID = QByteArray(8, '\0');
    QVector<ChnFrequ> chnFrequMapStream;
    QVector<ChnFrequ> chnFrequMapBuf;

    // --- run state (written by the sampling threads, read by the GUI thread)
    DevWorkMode workMode = WorkModeLogic;
    int smpMode = -1;                    // DevSmpMode, -1 until a model sets one
    int smpStartMode = SmpStartSingle;   // SmpStartMode of the current or last run
    std::atomic<int> runSta{0};
    std::atomic<int> smpError{0};
    std::atomic<bool> smpStopReq{false};
    bool restartPending = false;
    int restartDepth = 0;                // open smpStopForRestart brackets
    std::atomic<bool> smpRunning{false};
    // Raised by every smpStart; the analog store a run fills carries it.
    std::atomic<quint32> smpRunSerial{0};
    bool smpRemote = false;

    // --- oscilloscope calibration block (room for four analog channels)
    QVector<int> offsetZero[4];
    int offsetSlope[4] = {1241, 1241, 1241, 1241};
    CalibAdcData calibData = {{}, {}, {1000, 1000}};
    QVector<int> gainTable[4];

    // --- connection
    // Written by the GUI thread (the start-up thread hands the connection
    // over to it); atomic as any thread may ask.
    std::atomic<bool> isConnected{false};
    qint64 smpClock = 0;   // Hz
    qint64 pwmClock = 0;   // Hz
    QVector<int> devFunctions;
    static quint16 devBatch;

    // --- rates and depths
    QVector<qint64> smpFrequList;   // Hz, descending
    QVector<qint64> smpDepthList;   // samples, ascending
    qint64 smpDepthMarkLimit = 0;
    qint64 smpDepth = 0;
    qint32 smpFrequIndex = 0;
    qint32 smpDepthIndex = 0;
    qint32 defFrequIndex = 0;
    qint32 defDepthIndex = 0;

    // --- logic channels
    QVector<bool> dChnEna;       // its size is the channel count
    QVector<TrgType> dChnTrg;
    qint32 trgPosition = 5;      // percent 0..99

    // --- oscilloscope settings (filled by the oscilloscope model)
    QVector<int> voltDivList;        // mV per division
    QVector<qint64> timeDivList;     // ns per division
    QVector<int> aVoltDivIndex;
    int timeDivIndex = 9;
    QVector<bool> aChnEna;
    QVector<int> aProbeRate;
    QVector<int> aCoupling;
    QVector<int> aChnOffset;
    QVector<double> aTrgVolt;        // mV
    int aTrgType = TrgRise;
    int aTrgChn = 0;
    int aTrgPercent = 500;           // per mille of the record
    QVector<int> halfScreenCodeList;
    bool aMathEna = false;
    int aMathOperator = 0;
    QVector<int> aMathScale = QVector<int>(6, 200);
    QVector<int> aMathOffset = QVector<int>(6, 0);
    QVector<int> savedVoltDivIndex;
    int savedTimeDivIndex = 9;
    int savedTrgPercent = 500;

    // What one conversion pass needs of the analog settings, copied in one
    // piece: the window changes them while a run converts. The setters below
    // write them under a lock; a sampling thread reads them only through this
    // copy or the getters that take the lock (getSmpFrequ, getTrgPosition...).
    struct AnalogPassSet {
        qint64 smpFrequ = 0;
        int trgPercent = 500;
        QVector<int> voltDiv;      // mV per division, per channel
        QVector<int> halfScreen;   // codes of half the screen height
        QVector<int> offset;       // per mille
        QVector<bool> ena;
    };
    AnalogPassSet analogPassSet() const;

    // --- PWM outputs and threshold circuit
    bool pwmEna[2] = {false, false};
    double pwmFrequ[2] = {0, 0};   // Hz actually produced
    double pwmDuty[2] = {0, 0};    // percent actually produced
    double vref = 1.2;             // V

    // --- virtual operations
    virtual int devConnect(unsigned char* ident, double vrefIn);
    virtual bool isSmpModeSelectable() = 0;
    virtual void setSmpMode(DevSmpMode mode) = 0;
    virtual void setWorkMode(DevWorkMode mode);
    // Writes the calibration block to the instrument: 0, or the transport's code.
    virtual int saveCalibParam() { return 0; }

    // --- analog settings (oscilloscope work mode; GUI thread)
    // The offset register word of a channel at its current settings.
    int offsetWord(int chn) const;

    QStringList getVoltDivStringList(int chn) const;
    QStringList getATimeDivStringList() const;
    void setAChnEna(const QVector<bool>& ena);
    void setAChnEna();
    void setATrgType(int type);
    bool setATrgPercent(int percent);
    void setATrgVolt(int chn, double level);
    bool setATrgChn(int chn);
    void setAProbeRate(int chn, int rate);
    void setACoupling(int chn, int coupling);
    void setACoupling();
    void setAVoltDivIndex(int chn, int index);
    bool setAVoltDivValue(int chn, int mV);
    int getAVoltDivValue(int chn) const;
    void setATimeDivIndex(int index);
    bool setATimeDivValue(int ns);
    void setAChnOffset(int chn, int offset);
    void setAChnOffset();
    void setAChnGain();
    void saveAMathSet();
    void saveSmpCtrlSet();
    void resetAutoScaleSet();
    void loadAChnSettings();

    // --- connection and registers
    bool queryDevFunction(DevFunction f) const;
    void devDisconnect();
    void devStandby();
    int checkMemorySta();
    int getRunSta(unsigned* word);
    int getDeviceID();
    void setAutoReadBuf();
    int getSmpResultInfo(int* trgRecord, int* records, int* endAddress);
    int reqSmpStart();
    int reqSmpStop();
    int reqAutoBulkRead();
    int reqAutoBulkReadPrepare();
    int reqMemReadStart(int start, int length);
    int getDChnSta(bool* level, bool* second);
    static void S64ToBytes(qint64 v, unsigned char* out, int n);
    // Status word of register 0 to a code: 0 good, 7, 8, 9, 10, 12 or 13.
    // checkHigh applies the high-byte check (12).
    static int decodeStatusWord(unsigned word, bool checkHigh);
    int reqSmpSettings();

    // --- runs
    void smpStart(SmpStartMode mode, bool remote = false);
    void smpStop();
    // Stops the run and waits for its worker, without spinning. False when
    // the worker made no progress for smpStopTimeoutMs (a transfer that never
    // ends): SmpErrStillRunning is then reported once per run, and the
    // worker keeps smpRunning and the stores until it ends, so nothing may
    // change them meanwhile (smpStart and clearSmpData leave them alone).
    bool smpStopAndWait();
    // Above the longest USB time-out the workers use (tests shorten it).
    static std::atomic<int> smpStopTimeoutMs;
    bool smpStopForRestart();
    // The end of a run, told by its worker: err (when not 0) is kept and
    // reported in the state the run reached, then done and the last data
    // ready are announced.
    void smpRunEnded(int err);
    void smpRestartIfNeed();
    // Fresh empty stores in both slots of the work mode (GUI thread, no run
    // active); nothing while a worker still runs.
    void clearSmpData();
    // Publishes the filled store as the displayed one; the store that stops
    // being displayed is let go (its readers keep it) and the filling slot
    // gets a fresh store. Called by the sampling thread at the end of a pass,
    // or by the GUI thread after a file load while no run is active.
    void toggleSmpData();
    bool hasValidData() const;
    // Fills the record the analyzers read from the displayed capture and
    // returns that capture: the caller holds it for as long as any analyzer
    // may read the record (until every worker that reads it is joined).
    [[nodiscard]] SmpDataPtr genDataForAnly(DataForAnly* d) const;
    void updateSmpModeEmitSig(DevSmpMode mode);
    void saveToolbarPWMSet(bool show);
    // The worker of a kind, made on first use; null without a factory.
    QThread* smpWorker(int kind);

    // --- the displayed capture (any thread) and the store being filled
    SmpDataPtr displayedSmpData() const;
    SmpDataOscPtr displayedSmpDataOsc() const;
    // The displayed capture for one short read on a thread other than the
    // GUI thread, kept safe from in-place edits while the result is held.
    SmpDataRead readDisplayedSmpData() const { return SmpDataRead(displayedSmpData()); }
    // Changes the displayed capture in place (the glitch filter's
    // modifyFilter/updateFilter): runs edit on it while every SmpDataRead of
    // it is kept out, and returns edit's result (false without a capture).
    // GUI thread only. The caller must first stop every analyzer
    // (AnalyzerManager::stopAllAnalyzer()): their threads read the edge lists
    // through a DataForAnly for a whole decode, without this lock. edit must
    // not wait for a reader (the trace generator, say); redraw afterwards.
    bool editDisplayedSmpData(const std::function<bool(SmpData&)>& edit);
    // The store not displayed: written by the sampling thread of a run, or by
    // the GUI thread (a file load) while no run is active; never published
    // before toggleSmpData().
    SmpDataPtr fillingSmpData() const;
    SmpDataOscPtr fillingSmpDataOsc() const;
    // Two empty analog stores of that shape in both slots, the first
    // displayed (a model with an oscilloscope mode, at its construction).
    void initOscStores(int analogChn, int logicChn);

    // --- conversion entry points: act on the store that is not displayed
    bool dataConvertStart(int trgRecord);
    bool dataConvertNormal(const unsigned char* buf, int len, int* consumed);
    bool dataConvertStream(const unsigned char* buf, int len, int start, long long* smpCount);
    bool dataConvertSimu(const int* runs, int n, int chn, long long* pos);
    bool dataConvertSimu(const int* runs, int n, int chn, long long* pos, bool merge);
    void dataSetInitLevel(int chn, int level);
    void dataSetSmpDepth(long long n);
    void dataSetTrgPosition(long long n);
    bool dataConvertComplete(bool keep);

    // --- rates and depths
    bool setSmpFrequ(int index);
    bool setSmpDepth(int index);
    bool setSmpTime(double seconds);
    qint64 getSmpFrequ() const;
    qint64 getExpectDepth() const;
    qint64 getPreTrgDepth() const;
    int getDChnEnaNum() const;
    int getMaxChnEnaNum(qint64 rate) const;
    qint64 getMaxSmpFrequ(int chnNum) const;
    int getMinSmpFrequIndex(int chnNum) const;
    void checkSmpFrequToLower();
    QStringList getSmpFrequStringList() const;
    QStringList getSmpDepthStringList() const;
    void loadSmpFrequ();
    void loadSmpDepth();
    void genSmpDepthList(DevSmpMode mode);
    void genSmpFrequList(DevSmpMode mode, qint64 maxRate);
    void genChnFrequMap(qint64 maxRate);

    // --- channels, trigger, threshold, PWM
    void setDChnEna(const QVector<bool>& ena);
    void setDChnTrg(int chn, TrgType type);
    bool setTrgPosition(int percent);
    int getTrgPosition() const;
    void checkDChnEnaToLess();
    void loadDChnSettings();
    void setVthValue(double volts, int group);
    void restoreVthValue();
    void setPWMEnable(bool out0, bool out1);
    bool getPWMEnable(int i) const;
    void setPWMValue(int i, double frequency, double duty);
    void getPWMValue(int i, double* frequency, double* duty) const;
    void restorePWMValue();

signals:
    void sigSmpSta(int state, int error, int value);
    void sigSmpDataReady(int decode);
    void sigChnEnaChanged();
    void sigSmpModeChanged();
    void sigSmpFrequToLower();
    void sigATrgHorChanged();
    void sigAChnEnaChanged();
    void sigToolbarPWMEna();

protected:
    DevBase();

    // Model set-up shared by the subclasses.
    void initModel(DevModel code, const char* name, qint32 mem, int chnNum, std::initializer_list<int> functions);
    // Constructor tail of the models with buffer and stream mode.
    void initGenericModes(qint64 maxRate);
    // setSmpMode of the models with buffer and stream mode.
    void setSmpModeGeneric(DevSmpMode mode, qint64 maxRate, int bufFrequ, int bufDepth, qint64 bufMark,
                           int streamFrequ);
    // setSmpMode of the models with one fixed mode and their own rate list.
    void setSmpModeFixed(DevSmpMode mode, const QVector<qint64>& rates, int defFrequ, int defDepth,
                         qint64 mark);
    // Points the transport's bulk callback at the worker of the mode.
    void bindBulkCallback(DevSmpMode mode);
    // Clock values of the identification data.
    static int identWord(const unsigned char* ident, int offset);

    // Register access; code 1 without a transport.
    int regWrite(int reg, const unsigned char* data, int len);
    int regRead(int reg, unsigned char* data, int len);
    int vendorWrite(unsigned char req, unsigned short value, const unsigned char* data, int len);

    bool validAChn(int chn) const { return chn >= 0 && chn < aChnEna.size(); }
    void saveDev(const char* key, const QString& value);
    void saveIntList(const char* key, const QVector<int>& list);
    void writeWords(int reg, const QVector<int>& words);

private:
    // The stream reader and its converter hand blocks over through the
    // pipeline below; nothing else touches it.
    friend class SmpCtrlStream;
    friend class SmpCnvtStream;

    // A start that cannot reach the instrument ends like a run that failed.
    void finishStartFailed(int error);
    void writeThreshold(double volts, int group);
    void writePWMEnable();

    // The filling stores without a reference count per call (conversion
    // runs per buffer); only their writer uses them.
    SmpData* filling() const;
    SmpDataOsc* fillingOsc() const;

    QThread* workers[4] = {nullptr, nullptr, nullptr, nullptr};
    QThread* activeWorker = nullptr;   // the worker of the current or last run
    bool stopGivenUp = false;          // this run's stuck stop is reported
    // Counts conversion steps of the workers: a stop waits on while it moves.
    mutable std::atomic<quint32> smpProgress{0};
    mutable std::mutex storeMutex;     // guards the store slots and indexes
    // Guards the GUI thread's writes of the settings in AnalogPassSet against
    // the sampling threads' reads.
    mutable std::mutex aSetMutex;
    AnalogPassSet convPass;            // the current pass's copy; its converting thread only

    // Stream pipeline shared by the stream reader and its converter.
    QSemaphore semCnvtStart;
    QSemaphore semBlockReady;
    QSemaphore semCnvtDone;
    std::mutex blockMutex;   // a std::mutex, so that ThreadSanitizer sees the hand-over
    QList<unsigned char*> blockQueue;
    QList<int> blockSizes;

    // Sample stores: the displayed one is the second when the index is 2.
    // The slots and indexes change under storeMutex only; everyone else
    // reaches them through displayedSmpData() and the functions beside it.
    SmpDataPtr smpData[2];
    std::atomic<int> smpDataIdx{1};
    SmpDataOscPtr smpDataOsc[2];
    std::atomic<int> smpDataOscIdx{1};
};

// The current device object, and the USB transport it speaks through.
extern DevBase* devUsing;
extern DevSupport* devSupport;
