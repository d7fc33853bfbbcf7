#include "device/smpdata.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

namespace {

#ifdef TAV_SMP_ALLOC_HOOK
long long g_allocBudget = -1;

bool allocAllowed()
{
    if (g_allocBudget < 0)
        return true;
    if (g_allocBudget == 0)
        return false;
    --g_allocBudget;
    return true;
}
#else
inline bool allocAllowed()
{
    return true;
}
#endif

// Blocks freed by one capture are kept (up to a bound) for the next one: a
// repeated capture then writes into memory that is already mapped instead of
// faulting in fresh pages for every block. Shared by all stores, so locked.
class BlockCache {
public:
    static BlockCache& instance()
    {
        static BlockCache* cache = new BlockCache;   // never destroyed: stores may outlive statics
        return *cache;
    }
    DataBlock* take()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_.empty())
            return nullptr;
        DataBlock* b = free_.back();
        free_.pop_back();
        return b;
    }
    void give(DataBlock* b)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (free_.size() < MaxBlocks) {
                free_.push_back(b);
                return;
            }
        }
        delete b;
    }

private:
    static constexpr size_t MaxBlocks = (64u << 20) / sizeof(DataBlock) + 1;   // about 64 MB
    BlockCache() { free_.reserve(MaxBlocks); }
    std::mutex mutex_;
    std::vector<DataBlock*> free_;
};

// Blocks are not zeroed: only entries below num are ever read.
template <class T>
T* allocNode()
{
    if (!allocAllowed())
        return nullptr;
    return new (std::nothrow) T;
}

template <>
DataBlock* allocNode<DataBlock>()
{
    if (!allocAllowed())
        return nullptr;
    if (DataBlock* b = BlockCache::instance().take()) {
        b->num = 0;
        return b;
    }
    return new (std::nothrow) DataBlock;
}

inline void freeBlock(DataBlock* b)
{
    BlockCache::instance().give(b);
}

inline long long entryAt(const DigitalChnData* d, const DigitalDataSubs& c)
{
    return d->groups[c.group]->blocks[c.block]->pos(c.index);
}

} // namespace

#ifdef TAV_SMP_ALLOC_HOOK
void SmpData::setAllocBudget(long long n)
{
    g_allocBudget = n;
}
#endif

SmpData::SmpData(int chnNum)
    : chnData(size_t(chnNum > 0 ? chnNum : 0), nullptr),
      chnDataRaw(size_t(chnNum > 0 ? chnNum : 0), nullptr),
      chnNum(chnNum > 0 ? chnNum : 0),
      filterWidth(size_t(chnNum > 0 ? chnNum : 0), 0),
      chnOrder(size_t(chnNum > 0 ? chnNum : 0), 0),
      chnLevel(size_t(chnNum > 0 ? chnNum : 0), 0)
{
}

SmpData::~SmpData()
{
    clearData();
}

DigitalChnData* SmpData::newChnData()
{
    return allocNode<DigitalChnData>();
}

void SmpData::clearOneChn(DigitalChnData* d)
{
    if (!d)
        return;
    for (int g = 0; g < d->groupNum; ++g) {
        DataGroup* grp = d->groups[g];
        for (int b = 0; b < grp->blockNum; ++b)
            freeBlock(grp->blocks[b]);
        delete grp;
    }
    delete d;
}

void SmpData::clearData()
{
    smpCount = 0;
    trgPosition = 0;
    for (int i = 0; i < chnNum; ++i) {
        clearOneChn(chnData[i]);
        chnData[i] = nullptr;
        clearOneChn(chnDataRaw[i]);
        chnDataRaw[i] = nullptr;
    }
}

bool SmpData::dataConvertStart(int trgRecord, long long smpFrequ, const bool* chnEna)
{
    clearData();
    badRecordOffset = -1;
    this->smpFrequ = smpFrequ;
    this->trgRecord = trgRecord;
    initLevels = 0;
    convState = RawConvertState();
    bool ok = true;
    for (int i = 0; i < chnNum; ++i) {
        if (chnEna && chnEna[i]) {
            chnData[i] = newChnData();
            ok = ok && chnData[i];
        }
    }
    return ok;
}

bool SmpData::newDataGroup(DigitalChnData* d)
{
    if (d->groupNum >= DigitalChnData::Capacity)
        return false;
    DataGroup* g = allocNode<DataGroup>();
    if (!g)
        return false;
    d->groups[d->groupNum] = g;
    d->groupLast[d->groupNum] = 0;
    ++d->groupNum;
    return true;
}

bool SmpData::newDataBlock(DigitalChnData* d)
{
    bool newGroup = false;
    if (d->groupNum == 0 || d->groups[d->groupNum - 1]->blockNum == DataGroup::Capacity) {
        if (!newDataGroup(d))
            return false;
        newGroup = true;
    }
    DataGroup* g = d->groups[d->groupNum - 1];
    DataBlock* b = allocNode<DataBlock>();
    if (!b) {
        // Never leave an empty group behind: the index arithmetic assumes none.
        if (newGroup) {
            delete g;
            --d->groupNum;
        }
        return false;
    }
    g->blocks[g->blockNum] = b;
    g->blockLast[g->blockNum] = 0;
    ++g->blockNum;
    return true;
}

bool SmpData::appendSlow(DigitalChnData* d, long long pos)
{
    if (!newDataBlock(d))
        return false;
    DataGroup* g = d->groups[d->groupNum - 1];
    DataBlock* b = g->blocks[g->blockNum - 1];
    b->setPos(b->num++, pos);
    return true;
}

void SmpData::setInitLevel(int chn, int level)
{
    if (chn < 0 || chn >= 64)
        return;
    if (level)
        initLevels |= (1ULL << chn);
    else
        initLevels &= ~(1ULL << chn);
}

void SmpData::fillIndex(DigitalChnData* d)
{
    for (int g = 0; g < d->groupNum; ++g) {
        DataGroup* grp = d->groups[g];
        for (int b = 0; b < grp->blockNum; ++b) {
            const DataBlock* blk = grp->blocks[b];
            grp->blockLast[b] = blk->num > 0 ? blk->pos(blk->num - 1) : 0;
        }
        d->groupLast[g] = grp->blockNum > 0 ? grp->blockLast[grp->blockNum - 1] : 0;
    }
}

// Keeps the first `keep` entries, freeing the blocks and groups beyond them.
void SmpData::truncate(DigitalChnData* d, long long keep)
{
    if (keep >= tavEntryCount(d))
        return;
    int lastGroup = -1, lastBlock = -1, lastIndex = -1;
    if (keep > 0) {
        DigitalDataSubs c = tavCursorAt(keep - 1);
        lastGroup = c.group;
        lastBlock = c.block;
        lastIndex = c.index;
    }
    for (int g = d->groupNum - 1; g > lastGroup; --g) {
        DataGroup* grp = d->groups[g];
        for (int b = 0; b < grp->blockNum; ++b)
            freeBlock(grp->blocks[b]);
        delete grp;
    }
    d->groupNum = lastGroup + 1;
    if (lastGroup < 0)
        return;
    DataGroup* grp = d->groups[lastGroup];
    for (int b = grp->blockNum - 1; b > lastBlock; --b)
        freeBlock(grp->blocks[b]);
    grp->blockNum = lastBlock + 1;
    grp->blocks[lastBlock]->num = lastIndex + 1;
}

bool SmpData::dataConvertComplete(long long smpDepth)
{
    if (smpCount > smpDepth)
        smpCount = smpDepth;
    if (smpCount < 0)
        smpCount = 0;
    bool ok = true;
    for (int i = 0; i < chnNum; ++i) {
        DigitalChnData* d = chnData[i];
        if (!d)
            continue;
        // Drop edges at or beyond the end (written past the depth, or by an
        // unfinished stream cycle), then close the list with the end entry.
        long long n = tavEntryCount(d);
        while (n > 0 && tavEntryAt(d, n - 1) >= smpCount)
            --n;
        truncate(d, n);
        if (!appendEntry(d, smpCount)) {
            // A list without its end entry cannot be read: show no data.
            clearOneChn(d);
            chnData[i] = nullptr;
            ok = false;
            continue;
        }
        fillIndex(d);
        d->initLevel = int((initLevels >> (i % 64)) & 1);
    }
    return ok;
}

// ---------------------------------------------------------------- queries

const DigitalChnData* SmpData::list(int chn) const
{
    if (chn < 0 || chn >= chnNum)
        return nullptr;
    const DigitalChnData* d = chnData[size_t(chn)];
    if (!d || d->groupNum == 0 || d->groups[d->groupNum - 1]->blockNum == 0)
        return nullptr;
    return d;
}

bool SmpData::hasValidData(int chn) const
{
    return list(chn) != nullptr;
}

namespace {

// Smallest i in [from, last] whose value is above pos, else last. Branch-free
// halving: the compare feeds a conditional move, not a jump that the
// processor would mispredict half of the time.
template <class Get>
inline int firstAbove(const Get& get, int from, int last, long long pos)
{
    if (from > last)
        return last;
    int base = from;
    int len = last - from + 1;
    while (len > 1) {
        const int half = len >> 1;
        base = get(base + half - 1) <= pos ? base + half : base;
        len -= half;
    }
    return base;
}

// The same by interpolation: positions in a list are spread fairly evenly,
// so the first probe lands near the answer and a short gallop from there
// brackets it; the halving then runs over a few entries in one or two cache
// lines instead of touching a dozen lines across the array. Uneven data costs
// at most about twice the plain halving.
template <class Get>
inline int firstAboveNear(const Get& get, int from, int last, long long pos)
{
    if (from >= last)
        return last;
    const long long vlo = get(from);
    if (vlo > pos)
        return from;
    const long long vhi = get(last);
    if (vhi <= pos)
        return last;
    // vlo <= pos < vhi: the answer lies in (from, last].
    int g = from + int(double(pos - vlo) / double(vhi - vlo) * double(last - from));
    if (g <= from)
        g = from + 1;
    if (g > last)
        g = last;
    int lo, hi;   // answer in [lo, hi], get(hi) > pos
    if (get(g) <= pos) {
        int a = g, step = 1;
        for (;;) {
            const int next = a + step;
            if (next >= last) {
                lo = a + 1;
                hi = last;
                break;
            }
            if (get(next) > pos) {
                lo = a + 1;
                hi = next;
                break;
            }
            a = next;
            step <<= 1;
        }
    } else {
        int b = g, step = 1;
        for (;;) {
            const int prev = b - step;
            if (prev <= from) {
                lo = from + 1;
                hi = b;
                break;
            }
            if (get(prev) <= pos) {
                lo = prev + 1;
                hi = b;
                break;
            }
            b = prev;
            step <<= 1;
        }
    }
    return firstAbove(get, lo, hi, pos);
}

} // namespace

int SmpData::locateNextSmpPoint(int chn, long long pos, DigitalDataSubs* cursor) const
{
    const DigitalChnData* d = list(chn);
    if (!d || !cursor)
        return -1;
    return locateIn(d, pos, cursor);
}

int SmpData::locateIn(const DigitalChnData* d, long long pos, DigitalDataSubs* cursor)
{
    const int gn = d->groupNum;
    if (pos < 0 || pos > d->groupLast[gn - 1])
        return -1;

    // Each level starts at the cursor (never moving back) and takes the first
    // child whose last entry lies beyond pos, or the last child (pos = end).
    int g0 = cursor->group;
    if (g0 < 0 || g0 >= gn)
        g0 = 0;
    int g = g0;
    if (d->groupLast[g0] <= pos)
        g = firstAbove([d](int k) { return d->groupLast[k]; }, g0 + 1, gn - 1, pos);
    const DataGroup* grp = d->groups[g];

    int b0 = g == cursor->group ? cursor->block : 0;
    if (b0 < 0 || b0 >= grp->blockNum)
        b0 = 0;
    int b = b0;
    if (grp->blockLast[b0] <= pos)
        b = firstAboveNear([grp](int k) { return grp->blockLast[k]; }, b0 + 1, grp->blockNum - 1,
                           pos);
    const DataBlock* blk = grp->blocks[b];

    int i0 = (g == cursor->group && b == cursor->block) ? cursor->index : 0;
    if (i0 < 0 || i0 >= blk->num)
        i0 = 0;
    int i = i0;
    if (blk->pos(i0) <= pos)
        i = firstAboveNear([blk](int k) { return blk->pos(k); }, i0 + 1, blk->num - 1, pos);
    cursor->group = g;
    cursor->block = b;
    cursor->index = i;
    // Blocks and groups hold an even number of entries, so the parity of the
    // index inside the block is that of the global index.
    return (i + d->initLevel) & 1;
}

int SmpData::locateSmpPoint(int chn, long long pos, DigitalDataSubs* cursor) const
{
    if (!cursor)
        return -1;
    *cursor = DigitalDataSubs();
    return locateNextSmpPoint(chn, pos, cursor);
}

int SmpData::getPointLevel(int chn, long long pos) const
{
    DigitalDataSubs c;
    return locateNextSmpPoint(chn, pos, &c);
}

int SmpData::getPointLevel(int chn, long long pos, DigitalDataSubs* cursor) const
{
    return locateSmpPoint(chn, pos, cursor);
}

bool SmpData::isPointAtEdge(int chn, long long pos) const
{
    DigitalDataSubs c;
    if (locateNextSmpPoint(chn, pos, &c) < 0)
        return false;
    long long k = tavCursorIndex(c);
    return k > 0 && tavEntryAt(chnData[size_t(chn)], k - 1) == pos;
}

long long SmpData::getPreEdgePoint(int chn, long long pos) const
{
    DigitalDataSubs c;
    if (locateNextSmpPoint(chn, pos, &c) < 0)
        return -1;
    long long k = tavCursorIndex(c);
    return k > 0 ? tavEntryAt(chnData[size_t(chn)], k - 1) : -1;
}

long long SmpData::getNextEdgePoint(int chn, long long pos) const
{
    DigitalDataSubs c;
    if (locateNextSmpPoint(chn, pos, &c) < 0)
        return -1;
    return entryAt(chnData[size_t(chn)], c);
}

int SmpData::getPreEdgeType(int chn, long long pos) const
{
    DigitalDataSubs c;
    int level = locateNextSmpPoint(chn, pos, &c);
    if (level < 0 || tavCursorIndex(c) == 0)
        return -1;
    return level ? 0 : 1;
}

int SmpData::getNextEdgeType(int chn, long long pos) const
{
    DigitalDataSubs c;
    int level = locateNextSmpPoint(chn, pos, &c);
    if (level < 0)
        return -1;
    const DigitalChnData* d = chnData[size_t(chn)];
    if (tavCursorIndex(c) + 1 >= tavEntryCount(d))
        return -1;   // only the end entry follows
    return level;
}

long long SmpData::getTwoPointEdgeNum(int chn, long long a, long long b) const
{
    DigitalDataSubs ca, cb;
    if (locateNextSmpPoint(chn, a, &ca) < 0 || locateNextSmpPoint(chn, b, &cb) < 0)
        return -1;
    long long d = tavCursorIndex(ca) - tavCursorIndex(cb);
    return d < 0 ? -d : d;
}

int SmpData::getRelatedSmpPoint(int chn, long long pos, RelatedSmpPoint* out) const
{
    DigitalDataSubs c;
    int level = locateNextSmpPoint(chn, pos, &c);
    if (level < 0 || !out)
        return -1;
    const DigitalChnData* d = chnData[size_t(chn)];
    long long k = tavCursorIndex(c);
    long long count = tavEntryCount(d);
    out->level = level;
    out->nextEdge = entryAt(d, c);
    out->preEdge = k > 0 ? tavEntryAt(d, k - 1) : -1;
    out->afterNextEdge = k + 1 < count ? tavEntryAt(d, k + 1) : -1;
    return 0;
}

long long SmpData::getCurRecordPoint(int chn, const DigitalDataSubs* cursor) const
{
    const DigitalChnData* d = list(chn);
    if (!d || !cursor)
        return -1;
    long long k = tavCursorIndex(*cursor);
    if (cursor->group < 0 || cursor->block < 0 || cursor->index < 0 || k >= tavEntryCount(d))
        return -1;
    return entryAt(d, *cursor);
}

long long SmpData::getNextRecordPoint(int chn, const DigitalDataSubs* cursor) const
{
    const DigitalChnData* d = list(chn);
    if (!d || !cursor || cursor->group < 0 || cursor->block < 0 || cursor->index < 0)
        return -1;
    long long k = tavCursorIndex(*cursor) + 1;
    return k < tavEntryCount(d) ? tavEntryAt(d, k) : -1;
}

long long SmpData::getPreRecordPoint(int chn, const DigitalDataSubs* cursor) const
{
    const DigitalChnData* d = list(chn);
    if (!d || !cursor || cursor->group < 0 || cursor->block < 0 || cursor->index < 0)
        return -1;
    long long k = tavCursorIndex(*cursor);
    if (k <= 0 || k > tavEntryCount(d))
        return -1;
    return tavEntryAt(d, k - 1);
}

int SmpData::getWaveLineData(int chn, double offset, double smpPerPixel, int width,
                             WaveLine* out) const
{
    const DigitalChnData* d = list(chn);
    if (!d || !out || !std::isfinite(offset) || !std::isfinite(smpPerPixel) || !(smpPerPixel > 0))
        return -1;
    const double spp = smpPerPixel;
    const long long end = d->groupLast[d->groupNum - 1];

    long long startSmp;
    long long x;
    if (offset < 0) {
        startSmp = 0;
        double fx = -offset / spp;
        x = fx >= double(width) ? (long long)(width > 0 ? width : 0) : (long long)fx;
    } else {
        if (offset >= double(end) + 1.0)
            return -1;
        startSmp = (long long)offset;
        x = 0;
    }
    DigitalDataSubs cur;
    int level = locateNextSmpPoint(chn, startSmp, &cur);
    if (level < 0)
        return -1;

    int n = 0;
    for (;;) {
        if (x >= width)
            return n;
        const long long e = entryAt(d, cur);
        const double fpx = (double(e) - offset) / spp;
        if (fpx >= double(width))
            break;   // the next entry lies beyond the last pixel
        long long px = (long long)fpx;
        if (px < x)
            px = x;   // rounding can not move an entry back into a drawn pixel
        if (px > x)
            out[n++] = WaveLine{int(x), int(px - x), level != 0 ? 1 : 0};
        if (e >= end)
            return n;
        out[n++] = WaveLine{int(px), 1, 2};
        x = px + 1;
        tavCursorNext(cur);
        // Level of the following run: the one at the first sample of pixel x.
        const double next = double(x) * spp + offset;
        if (next >= double(end) + 1.0)
            return n;
        level = locateIn(d, (long long)next, &cur);
        if (level < 0)
            return n;
    }
    out[n++] = WaveLine{int(x), int((width - 1) - x), level != 0 ? 1 : 0};
    return n;
}

// ---------------------------------------------------------------- glitch filter

namespace {

// Sequential writer for building a list; the last written entry can be
// moved. The fill of the current block is kept here and written back by done().
struct ListWriter {
    DigitalChnData* d;
    DataBlock* cur = nullptr;
    int num = 0;

    bool start()
    {
        if (!SmpData::newDataBlock(d))
            return false;
        DataGroup* g = d->groups[d->groupNum - 1];
        cur = g->blocks[g->blockNum - 1];
        num = 0;
        return true;
    }
    bool written() const { return num > 0; }
    bool append(long long p)
    {
        if (num == DataBlock::Capacity) {
            cur->num = num;
            if (!SmpData::newDataBlock(d))
                return false;
            DataGroup* g = d->groups[d->groupNum - 1];
            cur = g->blocks[g->blockNum - 1];
            num = 0;
        }
        cur->setPos(num++, p);
        return true;
    }
    bool appendAll(const long long* v, long long n)
    {
        for (long long k = 0; k < n; ++k)
            if (!append(v[k]))
                return false;
        return true;
    }
    void overwriteLast(long long p) { cur->setPos(num - 1, p); }
    void done() { cur->num = num; }
};

} // namespace

bool SmpData::dataFilter(const DigitalChnData* raw, DigitalChnData* out, unsigned int w)
{
    out->initLevel = raw->initLevel;
    ListWriter wr{out};
    if (!wr.start()) {
        clearOneChn(out);
        return false;
    }
    // The kept entries are staged in a small array and appended in bulk; the
    // last staged entry (K, the last kept one) stays staged so it can still be
    // moved. Each raw entry is handled without a jump on its data (glitches
    // come at random, so jumps would be mispredicted):
    //   step > w, no glitch since K:      append p
    //   step > w, odd glitches since K:   K and the glitches cancel: K := p;
    //                                     before any K: the change stays at
    //                                     the last glitch: append prev, p
    //   step > w, even glitches since K:  K := prev, append p (before any K:
    //                                     append p)
    //   step <= w: a glitch, nothing written.
    // Each case writes "first" at slot a and p at a + 1 and keeps a + 1 + dbl
    // entries; a glitch writes beyond the kept count, where it is harmless.
    constexpr long long Stage = 4096;
    std::vector<long long> stage(size_t(Stage) + 2);
    long long* const st = stage.data();
    long long o = 0;
    const long long width = w;
    long long prev = 0;   // position 0 counts as the last kept entry
    long long s = 0;      // consecutive short steps
    long long written = 0;   // anything kept yet (o > 0, without waiting for o)
    bool ok = true;
    for (int g = 0; g < raw->groupNum && ok; ++g) {
        const DataGroup* grp = raw->groups[g];
        for (int b = 0; b < grp->blockNum && ok; ++b) {
            const DataBlock* blk = grp->blocks[b];
            const int num = blk->num;
            int i = 0;
            while (i < num) {
                // An entry keeps at most two more, so this chunk cannot
                // overrun the stage and the loop needs no check of its own.
                const int end = i + int(std::min<long long>(num - i, (Stage - o) / 2));
                for (; i < end; ++i) {
                    const long long p = blk->pos(i);
                    const long long isLong = (p - prev) > width;
                    const long long glitches = s > 0;
                    const long long shift = isLong & written & glitches;
                    const long long dbl = isLong & glitches & ((s & 1) ^ written);
                    const long long a = o - shift;
                    const long long longMask = -isLong;   // arithmetic, not a jump
                    st[a] = p ^ ((p ^ prev) & -dbl);
                    st[a + 1] = p;
                    o += longMask & (1 + dbl - shift);
                    s = (s + 1) & ~longMask;
                    written |= isLong;   // every long step keeps at least one entry
                    prev = p;
                }
                if (o >= Stage / 2) {
                    const long long last = st[o - 1];
                    ok = wr.appendAll(st, o - 1);
                    if (!ok)
                        break;
                    st[0] = last;
                    o = 1;
                }
            }
        }
    }
    if (ok && s > 0) {
        // A pulse ran into the end: the list still has to close with the end entry.
        if (o > 0)
            st[o - 1] = prev;
        else
            st[o++] = prev;
    }
    if (ok)
        ok = wr.appendAll(st, o);
    wr.done();
    if (!ok) {
        clearOneChn(out);
        return false;
    }
    fillIndex(out);
    return true;
}

bool SmpData::applyFilter(int chn, unsigned int w)
{
    DigitalChnData* src = chnDataRaw[size_t(chn)] ? chnDataRaw[size_t(chn)] : chnData[size_t(chn)];
    if (!src || src->groupNum == 0)
        return true;
    DigitalChnData* out = newChnData();
    if (!out)
        return false;
    if (!dataFilter(src, out, w))
        return false;   // out is gone; the channel keeps what it had
    if (chnDataRaw[size_t(chn)])
        clearOneChn(chnData[size_t(chn)]);
    else
        chnDataRaw[size_t(chn)] = chnData[size_t(chn)];
    chnData[size_t(chn)] = out;
    return true;
}

bool SmpData::modifyFilter(const unsigned int* widths)
{
    if (!widths)
        return false;
    bool ok = true;
    for (int i = 0; i < chnNum; ++i) {
        const unsigned int w = widths[i];
        if (w == filterWidth[size_t(i)])
            continue;
        if (w) {
            if (!applyFilter(i, w)) {
                ok = false;
                continue;
            }
        } else if (chnDataRaw[size_t(i)]) {
            clearOneChn(chnData[size_t(i)]);
            chnData[size_t(i)] = chnDataRaw[size_t(i)];
            chnDataRaw[size_t(i)] = nullptr;
        }
        filterWidth[size_t(i)] = w;
    }
    return ok;
}

bool SmpData::updateFilter()
{
    bool ok = true;
    for (int i = 0; i < chnNum; ++i) {
        const unsigned int w = filterWidth[size_t(i)];
        if (w) {
            // Always from the raw list: filtering a filtered list would lose
            // pulses for good and the way back to the capture.
            ok = applyFilter(i, w) && ok;
        } else if (chnDataRaw[size_t(i)]) {
            clearOneChn(chnData[size_t(i)]);
            chnData[size_t(i)] = chnDataRaw[size_t(i)];
            chnDataRaw[size_t(i)] = nullptr;
        }
    }
    return ok;
}

// ---------------------------------------------------------------- converters

bool SmpData::dataConvertP5_16(const unsigned char* buf, int len, int* consumed)
{
    return rawConvertFrames16(*this, convState, buf, len, consumed);
}

bool SmpData::dataConvertP6_32(const unsigned char* buf, int len, int* consumed)
{
    return rawConvertFrames32(*this, convState, buf, len, consumed);
}

bool SmpData::dataConvertP1_8(const unsigned char* buf, int len, int start, long long* count)
{
    return rawConvertBytes8(*this, convState, buf, len, start, count);
}

bool SmpData::dataConvertS16_N(const unsigned char* buf, int len, int start, long long* count)
{
    return rawConvertWords16(*this, convState, buf, len, start, count);
}

bool SmpData::dataConvertSimu(const int* runs, int n, int chn, long long* pos)
{
    return rawConvertRuns(*this, runs, n, chn, pos, false);
}

bool SmpData::dataConvertSimu(const int* runs, int n, int chn, long long* pos, bool merge)
{
    return rawConvertRuns(*this, runs, n, chn, pos, merge);
}
