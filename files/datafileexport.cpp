// Sample exports of the logic store: text/CSV rows at every change and binary
// records of one bit per channel per sample. Jobs of DataFile.
#include "files/datafile.h"

#include "core/config.h"
#include "device/smpdata.h"
#include "files/smptimeexport.h"

#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Per-channel walk along an edge list.
struct ChnWalk {
    int chn;
    int level;
    bool hasList;
    long long next;   // position of the entry under the cursor
    DigitalDataSubs cur;
    const DigitalChnData* d;

    // Steps to the following entry and flips the level.
    void step()
    {
        tavCursorNext(cur);
        next = d->groups[cur.group]->blocks[cur.block]->pos(cur.index);
        level ^= 1;
    }
};

ChnWalk startWalk(const SmpData* s, int chn, long long startPoint, long long endPoint)
{
    ChnWalk w{};
    w.chn = chn;
    w.level = s->getPointLevel(chn, startPoint, &w.cur);
    if (w.level < 0) {
        w.level = 0;
        w.hasList = false;
        w.next = endPoint + 1;
        w.d = nullptr;
    } else {
        w.hasList = true;
        w.d = s->chnData[size_t(chn)];
        w.next = s->getCurRecordPoint(chn, &w.cur);
    }
    return w;
}

// n copies of a record of size bytes at dst (the first is written, the rest
// doubled from it).
inline void fillRecords(char* dst, const char* rec, int size, long long n)
{
    if (n <= 0)
        return;
    if (size == 1) {
        std::memset(dst, rec[0], size_t(n));
        return;
    }
    std::memcpy(dst, rec, size_t(size));
    const long long total = n * size;
    long long done = size;
    while (done < total) {
        const long long c = std::min(done, total - done);
        std::memcpy(dst + done, dst, size_t(c));
        done += c;
    }
}

} // namespace

// ---------------------------------------------------------------- text / CSV

bool DataFile::exportCSV(const QString& path, const bool* sel, long long start, long long end, bool noThread)
{
    result = false;
    if (!smpData)
        return false;
    return writeAtomically(path, QIODevice::WriteOnly | QIODevice::Text, [&] {
        // No time format exists for a rate outside 1 Hz..1 THz.
        if (!prepareRange(sel, start, end) || !SmpTimeExport(smpData->smpFrequ, 0).isValid())
            return false;
        // Names come from the settings, which only the caller's thread reads.
        QString head = QStringLiteral("Time[s]");
        for (int i = 0; i < smpData->chnNum; ++i) {
            if (chnSelect && chnSelect[i])
                head += QStringLiteral(", ") + Config::getChnName(i);
        }
        head += QLatin1Char('\n');
        csvHead = head.toLocal8Bit();
        getTotalRecordNum();
        return runJob(SaveCsv, !noThread && totalRecordNum >= ThreadCsvRecords);
    });
}

bool DataFile::saveFile_csv()
{
    lastProgress = 0;
    if (!writeAll(csvHead.constData(), csvHead.size()))
        return finish(false);
    std::vector<ChnWalk> chn;
    for (int i = 0; i < smpData->chnNum; ++i) {
        if (chnSelect && chnSelect[i])
            chn.push_back(startWalk(smpData, i, startPoint, endPoint));
    }
    const SmpTimeExport te(smpData->smpFrequ, smpData->trgPosition);
    const long long count = smpData->smpCount;
    const int maxRow = SmpTimeExport::MaxTextLen + 3 * int(chn.size()) + 1;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[size_t(BufSize + maxRow)]);
    if (!buf)
        return finish(false);
    const long long unit = 20000;
    long long nextReport = unit;
    long long consumed = 0;
    int used = 0;
    long long pos = startPoint;
    while (pos <= endPoint) {
        char* p = buf.get() + used;
        p += te.toString(pos, p);
        long long step = count;
        for (const ChnWalk& c : chn)
            step = std::min(step, c.next - pos);
        // Only a list that does not increase gets here; never loop on it.
        if (step <= 0)
            return finish(false);
        const long long nextRow = pos + step;
        for (ChnWalk& c : chn) {
            p[0] = ',';
            p[1] = ' ';
            p[2] = char('0' + c.level);
            p += 3;
            if (nextRow < count && c.hasList && c.next <= nextRow) {
                c.step();
                ++consumed;
            }
        }
        *p++ = '\n';
        used = int(p - buf.get());
        if (used >= BufSize - maxRow) {
            if (!writeAll(buf.get(), used))
                return finish(false);
            used = 0;
        }
        if (inThread && consumed >= nextReport) {
            nextReport = (consumed / unit + 1) * unit;
            reportProgress(consumed / unit, totalRecordNum / unit);
        }
        pos = nextRow;
        if (cancelled())
            return false;
    }
    if (used > 0 && !writeAll(buf.get(), used))
        return finish(false);
    return finish(true);
}

// ---------------------------------------------------------------- binary

bool DataFile::exportBin(const QString& path, const bool* sel, long long start, long long end, bool noThread)
{
    result = false;
    if (!smpData)
        return false;
    return writeAtomically(path, QIODevice::WriteOnly, [&] {
        if (!prepareRange(sel, start, end) || smpData->chnNum > 64)
            return false;
        totalSmpNum = endPoint - startPoint + 1;
        return runJob(SaveBin, !noThread && totalSmpNum >= ThreadBinSamples);
    });
}

bool DataFile::saveFile_bin()
{
    lastProgress = 0;
    const int recBytes = (smpData->chnNum + 7) / 8;
    const long long recsPerBuf = BufSize / recBytes;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[BufSize]);
    if (!buf)
        return finish(false);
    // Unselected channels and channels without a list are 0 throughout.
    std::vector<ChnWalk> chn;
    unsigned long long rec = 0;
    for (int i = 0; i < smpData->chnNum; ++i) {
        if (!chnSelect || !chnSelect[i])
            continue;
        const ChnWalk w = startWalk(smpData, i, startPoint, endPoint);
        if (!w.hasList)
            continue;
        if (w.level)
            rec |= 1ULL << i;
        chn.push_back(w);
    }
    long long usedRecs = 0;
    long long written = 0;
    auto flushBuf = [&]() {
        if (!writeAll(buf.get(), usedRecs * recBytes))
            return false;
        written += usedRecs;
        usedRecs = 0;
        if (inThread) {
            reportProgress(written / 2000000, totalSmpNum / 2000000);
            return out->flush();
        }
        return true;
    };

    // Runs of equal records between changes are filled, not built per sample.
    long long pos = startPoint;
    const long long stop = endPoint + 1;
    while (pos < stop) {
        long long change = stop;
        for (const ChnWalk& c : chn)
            change = std::min(change, c.next);
        if (change <= pos)
            return finish(false);   // a list that does not increase
        long long run = change - pos;
        char r[8];
        std::memcpy(r, &rec, 8);
        while (run > 0) {
            const long long n = std::min(run, recsPerBuf - usedRecs);
            fillRecords(buf.get() + usedRecs * recBytes, r, recBytes, n);
            usedRecs += n;
            run -= n;
            if (usedRecs == recsPerBuf) {
                if (!flushBuf())
                    return finish(false);
                if (cancelled())
                    return false;
            }
        }
        pos = change;
        if (pos >= stop)
            break;
        for (ChnWalk& c : chn) {
            if (c.next == pos) {
                c.step();
                rec ^= 1ULL << c.chn;
            }
        }
        if (cancelled())
            return false;
    }
    if (usedRecs > 0 && !flushBuf())
        return finish(false);
    return finish(true);
}
