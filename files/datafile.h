#pragma once
// Sample block of a data file (logic "vtdat", oscilloscope "vtdms") and the
// text, CSV and binary sample exports. One object serves one job: the caller
// points it at a store, calls one entry point and destroys it. Large jobs run
// in the object's own thread behind a progress dialog with Cancel.
//
// Every file is written beside its target and renamed over it only once all
// of it was written (QSaveFile), so a failure or a Cancel keeps the old file.
// A load goes into a private store first and replaces the caller's store only
// when the whole block was read and checked.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

class QSaveFile;
class SmpData;
class SmpDataOsc;

class DataFile : public QThread
{
    Q_OBJECT

public:
    enum OperateType { ReadFile = 0, SaveFile = 1, SaveBin = 2, SaveCsv = 3 };

    // Sizes of the block's parts, and of the one I/O buffer of a job.
    static constexpr int DataHeadSize = 40;
    static constexpr int ChnHeadSize = 16;
    static constexpr int AChnHeadSize = 32;
    static constexpr int RecordSize = 5;
    static constexpr int BufSize = 204800;
    // Size limits that move a job into the thread.
    static constexpr long long ThreadLoadBytes = 50000000;
    static constexpr long long ThreadSaveRecords = 10000000;
    static constexpr long long ThreadCsvRecords = 200000;
    static constexpr long long ThreadBinSamples = 20000000;
    // What a loaded head may hold.
    static constexpr long long MaxRate = 1000000000000LL;
    static constexpr long long Max40 = (1LL << 40) - 1;

    DataFile();
    ~DataFile() override;

    // The store of one job, held by the caller until the job has returned: a
    // save or export reads a snapshot (DevBase::displayedSmpData); a load fills
    // the device's store not displayed (fillingSmpData, no run active), which
    // the caller then publishes with DevBase::toggleSmpData.
    SmpData* smpData = nullptr;        // logic store read (save, export) or filled (load)
    SmpDataOsc* smpDataOsc = nullptr;  // analog store; when set, load and save use "vtdms"
    QFile file;                        // the file of a load
    const bool* chnSelect = nullptr;   // one flag per channel index, owned by the caller
    long long startPoint = 0;
    long long endPoint = 0;
    long long totalRecordNum = 0;
    long long totalSmpNum = 0;
    int lastProgress = 0;
    bool result = false;
    bool inThread = false;
    OperateType operateType = ReadFile;
    std::atomic<bool> abortFlag{false};
    // Threaded jobs show the progress dialog; tests and callers without a
    // window clear this and cancel through cancel().
    bool useDialog = true;
    // Logic channel count written into an oscilloscope block head.
    int oscLogicChnNum = 16;

    // Reads the block that begins offset bytes into the file (the length of
    // the settings head) into the store that is set. On false the store holds
    // exactly what it held before.
    bool loadData(const QString& path, qint64 offset);
    // Writes head (the settings document) followed by the block of the range
    // [start, end] (either order, clamped) to path, replacing it atomically.
    // noThread keeps the job in the caller's thread whatever its size.
    bool saveData(const QString& path, const QByteArray& head, const bool* chnSelect, long long start,
                  long long end, bool noThread);
    // Text/CSV and binary exports of the logic store (datafileexport.cpp).
    bool exportCSV(const QString& path, const bool* chnSelect, long long start, long long end, bool noThread);
    bool exportBin(const QString& path, const bool* chnSelect, long long start, long long end, bool noThread);

    // Moves a complete capture between two stores of the same channel count;
    // the target's old capture is freed, the source is left empty.
    static void moveCapture(SmpData* from, SmpData* to);

    // Settings heads for saveData, written by Config exactly as into a file.
    static bool minConfigHead(const QString& deviceName, QByteArray* head);
    static bool fullConfigHead(QByteArray* head);

    // Runs the prepared job in this object's thread; returns when it has ended.
    void startThread(OperateType type);
    // True while a threaded job runs anywhere: its dialog keeps events
    // turning, and nothing else may start a capture or touch a store then.
    static bool jobRunning() { return runningJobs.load() > 0; }
    // Thread-safe cancel request for the running job.
    void cancel() { abortFlag.store(true, std::memory_order_relaxed); }

    // Steps shared by save and exports: the sorted, clamped range and the
    // number of records a save writes.
    void setExportInterval(long long start, long long end);
    long long getTotalRecordNum();
    // Emits done x 100 / total (capped at 99) when it differs from the last.
    void reportProgress(long long done, long long total);

    // 40-bit and 32-bit little-endian fields.
    static long long byte5toInt64(const char* p);
    static void int64ToByte5(long long v, char* p);
    static int byte4toInt32(const char* p);
    static void int32ToByte4(int v, char* p);
    static bool isBigEndian() { return false; }

signals:
    // 0..99 while a threaded job works (whole units only), 100 when a job ends.
    void sigReportProgress(int percent);

protected:
    void run() override;

private:
    bool readFile_vtdat();
    bool saveFile_vtdat();
    bool readFileOsc_vtdat();
    bool saveFileOsc_vtdat();
    bool saveDataHead_vtdat();
    bool saveDChnHead_vtdat(int chn, int level, long long count);
    bool saveFile_csv();
    bool saveFile_bin();
    // Writes all of len bytes; false on any short write.
    bool writeAll(const char* data, qint64 len);
    // Reads exactly len bytes of the load file.
    bool readAll(char* data, qint64 len);
    bool cancelled() const { return abortFlag.load(std::memory_order_relaxed); }
    // Ends a job: one report of 100 (not after a cancel) and its outcome.
    bool finish(bool ok);
    // Runs the job of type in this thread or the worker, by its size.
    bool runJob(OperateType type, bool threaded);
    // Range and store checks shared by save and exports.
    bool prepareRange(const bool* sel, long long start, long long end);
    // Moves a fully read capture into the caller's store.
    void adoptLoaded();
    // Opens path for writing beside itself, runs body (which writes through
    // writeAll) and puts the file in place only when body succeeded; the old
    // file stays on any failure. Sets result.
    bool writeAtomically(const QString& path, QIODevice::OpenMode mode, const std::function<bool()>& body);

    static std::atomic<int> runningJobs;

    QSaveFile* out = nullptr;        // the file being written
    SmpData* loaded = nullptr;       // the private store of a logic load
    qint64 fileSize = 0;             // size of the file being loaded
    QByteArray csvHead;              // header line of a text export, built in the caller's thread
};
