#include "files/datafile.h"

#include "core/config.h"
#include "core/lang.h"
#include "core/percent.h"
#include "core/savefilecommit.h"
#include "device/smpdata.h"
#include "widgets/myprogressdlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are copied as little-endian words");

DataFile::DataFile()
    : QThread(nullptr)
{
}

DataFile::~DataFile()
{
    // The worker reads the caller's store: never let it outlive this object.
    if (isRunning()) {
        cancel();
        wait();
    }
    delete loaded;
}

// ---------------------------------------------------------------- fields

long long DataFile::byte5toInt64(const char* p)
{
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    return (long long)u[0] | ((long long)u[1] << 8) | ((long long)u[2] << 16) | ((long long)u[3] << 24)
        | ((long long)u[4] << 32);
}

void DataFile::int64ToByte5(long long v, char* p)
{
    for (int i = 0; i < 5; ++i)
        p[i] = char((unsigned long long)v >> (8 * i));
}

int DataFile::byte4toInt32(const char* p)
{
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    return int((unsigned)u[0] | ((unsigned)u[1] << 8) | ((unsigned)u[2] << 16) | ((unsigned)u[3] << 24));
}

void DataFile::int32ToByte4(int v, char* p)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((unsigned)v >> (8 * i));
}

// ---------------------------------------------------------------- heads

bool DataFile::minConfigHead(const QString& deviceName, QByteArray* head)
{
    *head = Config::minConfigText(deviceName);
    return !head->isEmpty();
}

bool DataFile::fullConfigHead(QByteArray* head)
{
    *head = Config::configText();
    return !head->isEmpty();
}

// ---------------------------------------------------------------- jobs and thread

bool DataFile::finish(bool ok)
{
    if (!ok && cancelled())
        return false;
    emit sigReportProgress(100);
    return ok;
}

// Callers pass whole units (floor of done and of total over the job's unit).
void DataFile::reportProgress(long long done, long long total)
{
    if (total <= 0)
        return;
    const int p = std::min(percentOf(done, total), 99);
    if (p != lastProgress) {
        lastProgress = p;
        emit sigReportProgress(p);
    }
}

void DataFile::run()
{
    switch (operateType) {
    case ReadFile:
        result = readFile_vtdat();
        break;
    case SaveFile:
        result = saveFile_vtdat();
        break;
    case SaveBin:
        result = saveFile_bin();
        break;
    case SaveCsv:
        result = saveFile_csv();
        break;
    default:
        result = false;
        break;
    }
}

bool DataFile::runJob(OperateType type, bool threaded)
{
    inThread = threaded;
    result = false;
    if (threaded) {
        startThread(type);
    } else {
        operateType = type;
        abortFlag.store(false);
        run();
    }
    return result;
}

std::atomic<int> DataFile::runningJobs{0};

void DataFile::startThread(OperateType type)
{
    // Counted until the worker has been joined, on every way out.
    struct Running {
        Running() { ++runningJobs; }
        ~Running() { --runningJobs; }
    } running;
    operateType = type;
    abortFlag.store(false);
    result = false;
    QCoreApplication* app = QCoreApplication::instance();
    if (useDialog && qobject_cast<QApplication*>(app)) {
        const bool load = type == ReadFile;
        MyProgressDlg dlg(Lang::tr(load ? QStringLiteral("Open File") : QStringLiteral("Save File")),
                          Lang::tr(QStringLiteral("Cancel")), nullptr);
        dlg.labelMsg->setText(
            Lang::tr(load ? QStringLiteral("Loading file, please wait") : QStringLiteral("Saving file, please wait"))
            + QStringLiteral("..."));
        dlg.closeOnFull = true;
        connect(this, &DataFile::sigReportProgress, &dlg, &MyProgressDlg::setValue);
        // Cancel reaches the worker at once, not only after the dialog's loop ends.
        connect(&dlg, &QDialog::rejected, &dlg, [this] { cancel(); });
        // Every end closes the dialog, also one that reported no 100.
        connect(this, &QThread::finished, &dlg, &QDialog::accept);
        start(QThread::InheritPriority);
        dlg.exec();
        wait();
        return;
    }
    if (!app) {
        start(QThread::InheritPriority);
        wait();
        return;
    }
    // No window: keep the caller's event loop turning so queued progress
    // reaches its receivers, until the worker has ended.
    QEventLoop loop;
    connect(this, &QThread::finished, &loop, &QEventLoop::quit);
    start(QThread::InheritPriority);
    loop.exec();
    wait();
}

// ---------------------------------------------------------------- range

void DataFile::setExportInterval(long long start, long long end)
{
    if (start > end)
        std::swap(start, end);
    const long long count = smpData ? smpData->smpCount : 0;
    auto clamp = [count](long long v) {
        if (v < 0)
            v = 0;
        if (v >= count)
            v = count - 1;
        return v;
    };
    startPoint = clamp(start);
    endPoint = clamp(end);
}

long long DataFile::getTotalRecordNum()
{
    totalRecordNum = 0;
    if (!smpData || !chnSelect)
        return 0;
    for (int i = 0; i < smpData->chnNum; ++i) {
        if (!chnSelect[i] || !smpData->chnData[size_t(i)])
            continue;
        const long long n = smpData->getTwoPointEdgeNum(i, startPoint, endPoint);
        if (n >= 0)
            totalRecordNum += n + 1;
    }
    return totalRecordNum;
}

bool DataFile::prepareRange(const bool* sel, long long start, long long end)
{
    chnSelect = sel;
    // An empty store has no range to write.
    if (!smpData || smpData->smpCount < 1)
        return false;
    setExportInterval(start, end);
    return startPoint >= 0 && endPoint >= startPoint;
}

// ---------------------------------------------------------------- writing

bool DataFile::writeAll(const char* data, qint64 len)
{
    return out && out->write(data, len) == len;
}

bool DataFile::writeAtomically(const QString& path, QIODevice::OpenMode mode, const std::function<bool()>& body)
{
    result = false;
    QSaveFile f(path);
    if (!f.open(mode))
        return false;
    out = &f;
    bool ok = body();
    // Only a complete file replaces the old one.
    if (ok)
        ok = commitWholeFile(f);
    else
        f.cancelWriting();
    out = nullptr;
    result = ok;
    return ok;
}

bool DataFile::saveData(const QString& path, const QByteArray& head, const bool* sel, long long start,
                        long long end, bool noThread)
{
    result = false;
    if (!smpData && !smpDataOsc)
        return false;
    return writeAtomically(path, QIODevice::WriteOnly, [&] {
        if (!writeAll(head.constData(), head.size()))
            return false;
        if (smpDataOsc) {
            inThread = false;
            return saveFileOsc_vtdat();
        }
        // The loader refuses a rate it cannot print or store; never write one.
        if (!prepareRange(sel, start, end) || smpData->smpFrequ < 1 || smpData->smpFrequ > MaxRate)
            return false;
        getTotalRecordNum();
        return runJob(SaveFile, !noThread && totalRecordNum >= ThreadSaveRecords);
    });
}

bool DataFile::saveDataHead_vtdat()
{
    if (endPoint < startPoint)
        return false;
    char h[DataHeadSize] = {};
    std::memcpy(h, "vtdat", 5);
    int64ToByte5(endPoint - startPoint + 1, h + 8);
    int64ToByte5(smpData->smpFrequ, h + 16);
    long long trg = smpData->trgPosition >= startPoint ? smpData->trgPosition - startPoint : 0;
    int64ToByte5(std::min(trg, Max40), h + 24);
    h[32] = char(smpData->chnNum);
    return writeAll(h, DataHeadSize);
}

bool DataFile::saveDChnHead_vtdat(int chn, int level, long long count)
{
    char h[ChnHeadSize] = {};
    std::memcpy(h, "##D", 3);
    h[4] = char(chn);
    h[5] = char(level ? 1 : 0);
    int64ToByte5(count, h + 8);
    return writeAll(h, ChnHeadSize);
}

bool DataFile::saveFile_vtdat()
{
    lastProgress = 0;
    if (!saveDataHead_vtdat())
        return finish(false);
    // Room for a whole number of records plus the 3 bytes a word copy spills.
    constexpr int RecsPerBuf = BufSize / RecordSize;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[BufSize + 8]);
    if (!buf)
        return finish(false);
    const long long count = endPoint - startPoint + 1;
    const long long base = startPoint;
    long long written = 0;
    for (int chn = 0; chn < smpData->chnNum; ++chn) {
        if (!chnSelect || !chnSelect[chn] || !smpData->hasValidData(chn))
            continue;
        const long long edges = smpData->getTwoPointEdgeNum(chn, startPoint, endPoint);
        if (edges < 0)
            continue;
        const long long n = edges + 1;
        DigitalDataSubs cur;
        const int level = smpData->getPointLevel(chn, startPoint, &cur);
        if (level < 0 || !saveDChnHead_vtdat(chn, level, n))
            return finish(false);
        const DigitalChnData* d = smpData->chnData[size_t(chn)];
        long long left = n;
        int used = 0;   // records in the buffer
        while (left > 0) {
            const DataBlock* blk = d->groups[cur.group]->blocks[cur.block];
            int take = blk->num - cur.index;
            take = int(std::min<long long>(take, left));
            take = std::min(take, RecsPerBuf - used);
            const uint32_t* lo = blk->posLow + cur.index;
            const uint8_t* hi = blk->posHigh + cur.index;
            char* p = buf.get() + used * RecordSize;
            // Only the channel's last record can lie beyond the range.
            const int plain = left == take ? take - 1 : take;
            for (int j = 0; j < plain; ++j) {
                const unsigned long long v = ((unsigned long long)hi[j] << 32 | lo[j]) - (unsigned long long)base;
                std::memcpy(p + j * RecordSize, &v, 8);
            }
            if (plain < take) {
                const long long v = std::min(((long long)hi[plain] << 32 | (long long)lo[plain]) - base, count);
                std::memcpy(p + plain * RecordSize, &v, 8);
            }
            used += take;
            left -= take;
            cur.index += take;
            if (cur.index == DataBlock::Capacity) {
                cur.index = 0;
                if (++cur.block == DataGroup::Capacity) {
                    cur.block = 0;
                    ++cur.group;
                }
            }
            if (used == RecsPerBuf || left == 0) {
                if (!writeAll(buf.get(), qint64(used) * RecordSize))
                    return finish(false);
                written += used;
                used = 0;
                if (inThread) {
                    reportProgress(written / 1000000, totalRecordNum / 1000000);
                    if (!out->flush())
                        return finish(false);
                }
            }
            if (cancelled())
                return false;
        }
    }
    return finish(true);
}

// ---------------------------------------------------------------- reading

bool DataFile::readAll(char* data, qint64 len)
{
    return file.read(data, len) == len;
}

bool DataFile::loadData(const QString& path, qint64 offset)
{
    result = false;
    if (!smpData && !smpDataOsc)
        return false;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    fileSize = file.size();
    if (offset < 0 || offset > fileSize || !file.seek(offset)) {
        file.close();
        return false;
    }
    if (smpDataOsc) {
        inThread = false;
        result = readFileOsc_vtdat();
    } else {
        result = runJob(ReadFile, fileSize >= ThreadLoadBytes);
        if (result)
            adoptLoaded();
        delete loaded;
        loaded = nullptr;
    }
    file.close();
    return result;
}

void DataFile::adoptLoaded()
{
    moveCapture(loaded, smpData);
}

void DataFile::moveCapture(SmpData* from, SmpData* to)
{
    to->clearData();
    for (int i = 0; i < to->chnNum && i < from->chnNum; ++i) {
        to->chnData[size_t(i)] = from->chnData[size_t(i)];
        from->chnData[size_t(i)] = nullptr;
    }
    to->smpCount = from->smpCount;
    to->smpFrequ = from->smpFrequ;
    to->trgPosition = from->trgPosition;
    to->initLevels = from->initLevels;
    from->clearData();
    // The lists came from another store: index them here for fast drawing.
    to->rebuildSearchIndex();
}

bool DataFile::readFile_vtdat()
{
    lastProgress = 0;
    delete loaded;
    loaded = nullptr;
    qint64 pos = file.pos();
    char h[DataHeadSize];
    if (fileSize - pos < DataHeadSize || !readAll(h, DataHeadSize))
        return finish(false);
    pos += DataHeadSize;
    const long long count = byte5toInt64(h + 8);
    const long long rate = byte5toInt64(h + 16);
    if (std::memcmp(h, "vtdat", 5) != 0 || (signed char)h[32] != smpData->chnNum || count < 1 || rate < 1
        || rate > MaxRate)
        return finish(false);
    loaded = new (std::nothrow) SmpData(smpData->chnNum);
    if (!loaded)
        return finish(false);
    loaded->smpFrequ = rate;
    loaded->smpCount = count;
    loaded->trgPosition = byte5toInt64(h + 24);

    constexpr int RecsPerBuf = BufSize / RecordSize;
    constexpr long long ListCapacity = (long long)DigitalChnData::Capacity * DataGroup::EntryCapacity;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[BufSize + 8]);
    if (!buf)
        return finish(false);
    std::vector<char> seen(size_t(smpData->chnNum), 0);
    while (pos < fileSize) {
        // A section head, whose counts must fit in what the file still holds.
        char ch[ChnHeadSize];
        if (fileSize - pos < ChnHeadSize || !readAll(ch, ChnHeadSize))
            return finish(false);
        pos += ChnHeadSize;
        const int chn = (unsigned char)ch[4];
        const long long n = byte5toInt64(ch + 8);
        if (std::memcmp(ch, "##D", 3) != 0 || chn >= smpData->chnNum || seen[size_t(chn)] || n < 1 || n > count
            || n > (fileSize - pos) / RecordSize || n > ListCapacity)
            return finish(false);
        seen[size_t(chn)] = 1;
        DigitalChnData* d = new (std::nothrow) DigitalChnData;
        if (!d)
            return finish(false);
        loaded->chnData[size_t(chn)] = d;
        loaded->setInitLevel(chn, ch[5]);

        // Every record but the last is an edge; the last closes the list
        // and must equal the sample count (the store appends its own).
        long long left = n;
        long long prev = 0;
        DataBlock* blk = nullptr;
        while (left > 0) {
            const int take = int(std::min<long long>(left, RecsPerBuf));
            if (!readAll(buf.get(), qint64(take) * RecordSize))
                return finish(false);
            pos += qint64(take) * RecordSize;
            const int edgesHere = left == take ? take - 1 : take;
            const char* p = buf.get();
            int j = 0;
            while (j < edgesHere) {
                if (!blk || blk->num == DataBlock::Capacity) {
                    if (!SmpData::newDataBlock(d))
                        return finish(false);
                    DataGroup* g = d->groups[d->groupNum - 1];
                    blk = g->blocks[g->blockNum - 1];
                }
                const int k0 = blk->num;
                const int n = std::min(edgesHere - j, DataBlock::Capacity - k0);
                uint32_t* lo = blk->posLow + k0;
                uint8_t* hi = blk->posHigh + k0;
                // Strictly increasing, and every edge before the end; checked
                // for the whole run at once.
                unsigned long long last = (unsigned long long)prev;
                bool bad = false;
                for (int i = 0; i < n; ++i) {
                    uint64_t v;
                    std::memcpy(&v, p + i * RecordSize, 8);
                    v &= (uint64_t)Max40;
                    bad |= v <= last;
                    last = v;
                    lo[i] = uint32_t(v);
                    hi[i] = uint8_t(v >> 32);
                }
                if (bad || (long long)last >= count)
                    return finish(false);
                prev = (long long)last;
                blk->num = k0 + n;
                p += n * RecordSize;
                j += n;
            }
            if (left == take) {
                if (byte5toInt64(p) != count)
                    return finish(false);
            }
            left -= take;
            if (inThread) {
                reportProgress(pos / 5000000, fileSize / 5000000);
            }
            if (cancelled())
                return false;
        }
    }
    if (!loaded->dataConvertComplete(count))
        return finish(false);
    return finish(true);
}

// The oscilloscope block lives in datafileosc.cpp.
