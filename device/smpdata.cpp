#include "device/smpdata.h"

#include "device/smpblockpool.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <type_traits>

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
    return SmpBlockPool::instance().take();
}

inline void freeBlock(DataBlock* b)
{
    SmpBlockPool::instance().give(b);
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
    searchIndex_.resize(size_t(this->chnNum));
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
        searchIndex_[size_t(i)] = SmpSearchIndex();
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
    rebuildSearchIndex();
    return ok;
}

void SmpData::rebuildSearchIndex()
{
    for (int i = 0; i < chnNum; ++i)
        rebuildSearchIndex(i);
}

void SmpData::rebuildSearchIndex(int chn)
{
    buildSearchIndex(list(chn), &searchIndex_[size_t(chn)]);
}

void SmpData::buildSearchIndex(const DigitalChnData* d, SmpSearchIndex* x)
{
    x->list = nullptr;
    if (!d) {
        *x = SmpSearchIndex();
        return;
    }
    constexpr int Step = SmpSearchIndex::Step;
    const long long n = tavEntryCount(d);
    try {
        x->sample.resize(size_t((n + Step - 1) / Step));
    } catch (const std::bad_alloc&) {
        *x = SmpSearchIndex();   // searches go without it
        return;
    }
    long long* out = x->sample.data();
    for (int g = 0; g < d->groupNum; ++g) {
        const DataGroup* grp = d->groups[g];
        for (int b = 0; b < grp->blockNum; ++b) {
            const DataBlock* blk = grp->blocks[b];
            for (int i = 0; i < blk->num; i += Step)
                *out++ = blk->pos(i);
        }
    }
    x->entries = n;
    x->end = d->groupLast[d->groupNum - 1];
    x->list = d;
}

bool SmpData::searchIndexValid(int chn) const
{
    if (chn < 0 || chn >= chnNum)
        return false;
    return searchIndex_[size_t(chn)].matches(list(chn));
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

namespace {

constexpr int WaveBatch = 16;
constexpr int PrefetchBatches = 2;   // how far ahead the drawing search prefetches

inline long long entryAtIndex(const DigitalChnData* d, long long k)
{
    const long long r = k % DataGroup::EntryCapacity;
    return d->groups[k / DataGroup::EntryCapacity]->blocks[r / DataBlock::Capacity]->pos(
        int(r % DataBlock::Capacity));
}

// Global index of the first entry above pos[j] (the end entry for the end
// position) for m positions in [0, end], m <= WaveBatch. The searches run in
// lockstep with the compare feeding a conditional move: no jump depends on
// the data, and the loads of all lanes are in flight together, so the cost
// is close to one search's latency for the whole batch.
void firstAboveBatch(const DigitalChnData* d, const long long* pos, int m, long long* out,
                     long long* outPos)
{
    if (m <= 0)
        return;
    const DataGroup* grp[WaveBatch];
    const DataBlock* blk[WaveBatch];
    int base[WaveBatch];
    int len[WaveBatch];
    int maxLen = 1;
    for (int j = 0; j < m; ++j) {
        const long long p = pos[j];
        const int g = firstAbove([d](int k) { return d->groupLast[k]; }, 0, d->groupNum - 1, p);
        out[j] = int64_t(g) * DataGroup::EntryCapacity;
        grp[j] = d->groups[g];
        base[j] = 0;
        len[j] = grp[j]->blockNum;
        maxLen = std::max(maxLen, len[j]);
    }
    while (maxLen > 1) {
        for (int j = 0; j < m; ++j) {
            const int half = len[j] >> 1;
            const int probe = base[j] + half - (half != 0);
            // A mask, not ?: the compiler turns the latter into a jump.
            base[j] += half & -int(grp[j]->blockLast[probe] <= pos[j]);
            len[j] -= half;
        }
        maxLen -= maxLen >> 1;
    }
    // A block whose entries all share the top byte (all but one in 2^32
    // samples) is searched on posLow alone: one load per step instead of two.
    bool lowOnly = true;
    long long high[WaveBatch];
    for (int j = 0; j < m; ++j) {
        const int b = base[j];
        const long long g = out[j] / DataGroup::EntryCapacity;
        const long long prev = b > 0 ? grp[j]->blockLast[b - 1] : g > 0 ? d->groupLast[g - 1] : 0;
        const long long last = grp[j]->blockLast[b];
        high[j] = (last >> 32) << 32;
        lowOnly = lowOnly && (prev >> 32) == (last >> 32);
        out[j] += int64_t(b) * DataBlock::Capacity;
        blk[j] = grp[j]->blocks[b];
        base[j] = 0;
        len[j] = blk[j]->num;
        maxLen = std::max(maxLen, len[j]);
    }
    if (lowOnly) {
        while (maxLen > 1) {
            for (int j = 0; j < m; ++j) {
                const int half = len[j] >> 1;
                const int probe = base[j] + half - (half != 0);
                base[j] += half & -int(high[j] + blk[j]->posLow[probe] <= pos[j]);
                len[j] -= half;
            }
            maxLen -= maxLen >> 1;
        }
    }
    while (maxLen > 1) {
        for (int j = 0; j < m; ++j) {
            const int half = len[j] >> 1;
            const int probe = base[j] + half - (half != 0);
            base[j] += half & -int(blk[j]->pos(probe) <= pos[j]);
            len[j] -= half;
        }
        maxLen -= maxLen >> 1;
    }
    for (int j = 0; j < m; ++j) {
        out[j] += base[j];
        outPos[j] = blk[j]->pos(base[j]);
    }
}

// What one batch leaves for the next: its last position, the samples at or
// below it, and samples per position over the batch.
struct WaveHint {
    bool valid = false;
    long long q = 0;
    long long c = 0;
    double rate = 0;
};

// The same through the sampled index: the samples narrow each search to one
// run of Step entries inside one block.
// Lane loops stay loops: as memset/memcpy calls (rep stos/movs) the short
// fills and copies of 16 lanes cost more than the searches.
__attribute__((optimize("no-tree-loop-distribute-patterns")))
void firstAboveIndexed(const DigitalChnData* d, const SmpSearchIndex& x, const long long* pos,
                       int m, long long* out, long long* outPos, WaveHint& hint)
{
    if (m <= 0)
        return;
    constexpr int Step = SmpSearchIndex::Step;
    constexpr long long Window = 16;
    constexpr long long Reach = 64;
    const long long* smp = x.sample.data();
    const long long ns = (long long)x.sample.size();
    // Samples at or below p0 within [b0, b0 + n) added to b0, and the same
    // for p1 and b1: the two searches interleave, so their loads overlap.
    auto countUpTo = [smp](long long n, long long p0, long long p1, long long& b0, long long& b1) {
        if (n <= 0)
            return;
        for (long long len = n; len > 1;) {
            const long long half = len >> 1;
            b0 += half & -(long long)(smp[b0 + half - 1] <= p0);
            b1 += half & -(long long)(smp[b1 + half - 1] <= p1);
            len -= half;
        }
        b0 += smp[b0] <= p0;
        b1 += smp[b1] <= p1;
    };
    // The positions rise with j: the first and last lanes search the whole
    // index, the others only between those two answers (a few hundred
    // samples when every column holds edges, instead of the whole index).
    long long cnt[WaveBatch];
    long long c0 = -1, c1 = -1;
    // The hint bounds positions at or after its own from below only.
    if (hint.valid && pos[0] >= hint.q && ns - hint.c >= 2 * Reach) {
        // The previous batch's answer bounds these from below and its rate
        // predicts them: check that a window around each prediction brackets
        // the answer, then halve the window. Falls back to the whole index.
        auto start = [&](long long p) {
            double g = double(p - hint.q) * hint.rate;
            if (!(g < double(ns)))
                g = double(ns);   // also when the rate is not usable
            const long long at = hint.c + (long long)std::max(g, 0.0) - Reach;
            return std::min(std::max(at, hint.c), ns - 2 * Reach);
        };
        auto brackets = [&](long long l, long long p) {
            return (l == hint.c || smp[l - 1] <= p) && (l + 2 * Reach == ns || smp[l + 2 * Reach] > p);
        };
        long long b0 = start(pos[0]);
        long long b1 = start(pos[m - 1]);
        if (brackets(b0, pos[0]) && brackets(b1, pos[m - 1])) {
            countUpTo(2 * Reach, pos[0], pos[m - 1], b0, b1);
            c0 = b0;
            c1 = b1;
        }
    }
    if (c0 < 0) {
        // One lane searches both ends alike; its twin costs next to nothing.
        long long b0 = 0, b1 = 0;
        countUpTo(ns, pos[0], pos[m - 1], b0, b1);
        c0 = b0;
        c1 = b1;
    }
    cnt[0] = c0;
    cnt[m - 1] = c1;
    if (m > 1 && pos[m - 1] > pos[0])
        hint.rate = double(c1 - c0) / double(pos[m - 1] - pos[0]);
    hint.valid = true;
    hint.q = pos[m - 1];
    hint.c = c1;
    bool inner = m <= 2;
    if (!inner && c1 - c0 > 2 * Window && pos[m - 1] > pos[0]) {
        // Interpolated between the two answers, each lane's count lies within
        // a few samples of its guess when the edges are spread evenly: check
        // that a window around the guess brackets it, then halve the window.
        long long lo[WaveBatch];
        const double rate = double(c1 - c0) / double(pos[m - 1] - pos[0]);
        bool ok = true;
        for (int j = 1; j < m - 1; ++j) {
            const long long g = c0 + (long long)(double(pos[j] - pos[0]) * rate);
            const long long l = std::min(std::max(g - Window, c0), c1 - 2 * Window);
            lo[j] = l;
            // smp[l - 1] <= pos (or l = c0) and smp[l + 2 * Window] > pos (or the end is c1).
            ok = ok && (l == c0 || smp[l - 1] <= pos[j])
                && (l + 2 * Window == c1 || smp[l + 2 * Window] > pos[j]);
        }
        if (ok) {
            for (long long len = 2 * Window; len > 1;) {
                const long long half = len >> 1;
                for (int j = 1; j < m - 1; ++j)
                    lo[j] += half & -(long long)(smp[lo[j] + half - 1] <= pos[j]);
                len -= half;
            }
            for (int j = 1; j < m - 1; ++j)
                cnt[j] = lo[j] + (smp[lo[j]] <= pos[j]);
            inner = true;
        }
    }
    if (!inner) {
        const long long n = c1 - c0;
        long long b[WaveBatch];
        for (int j = 1; j < m - 1; ++j)
            b[j] = c0;
        if (n > 0) {
            for (long long len = n; len > 1;) {
                const long long half = len >> 1;
                for (int j = 1; j < m - 1; ++j)
                    b[j] += half & -(long long)(smp[b[j] + half - 1] <= pos[j]);
                len -= half;
            }
            for (int j = 1; j < m - 1; ++j)
                b[j] += smp[b[j]] <= pos[j];
        }
        for (int j = 1; j < m - 1; ++j)
            cnt[j] = b[j];
    }
    const DataBlock* blk[WaveBatch];
    long long high[WaveBatch];
    long long upper[WaveBatch];
    int first[WaveBatch];
    int len[WaveBatch];
    int ebase[WaveBatch];
    int maxLen = 1;
    bool lowOnly = true;
    for (int j = 0; j < m; ++j) {
        // The run after the last sample at or below pos holds the answer.
        const long long c = cnt[j];
        const long long seg = c - (c > 0);
        const long long at = seg * Step;
        upper[j] = seg + 1 < ns ? smp[seg + 1] : x.end;
        lowOnly = lowOnly && (smp[seg] >> 32) == (upper[j] >> 32);
        high[j] = (smp[seg] >> 32) << 32;
        const long long r = at % DataGroup::EntryCapacity;
        blk[j] = d->groups[at / DataGroup::EntryCapacity]->blocks[r / DataBlock::Capacity];
        first[j] = int(r % DataBlock::Capacity);
        len[j] = int(std::min<long long>(Step, x.entries - at));
        maxLen = std::max(maxLen, len[j]);
        ebase[j] = 0;
        out[j] = at;
    }
    if (lowOnly) {
        for (; maxLen > 1; maxLen -= maxLen >> 1)
            for (int j = 0; j < m; ++j) {
                const int half = len[j] >> 1;
                const int probe = first[j] + ebase[j] + half - (half != 0);
                ebase[j] += half & -int(high[j] + blk[j]->posLow[probe] <= pos[j]);
                len[j] -= half;
            }
    } else {
        for (; maxLen > 1; maxLen -= maxLen >> 1)
            for (int j = 0; j < m; ++j) {
                const int half = len[j] >> 1;
                const int probe = first[j] + ebase[j] + half - (half != 0);
                ebase[j] += half & -int(blk[j]->pos(probe) <= pos[j]);
                len[j] -= half;
            }
    }
    for (int j = 0; j < m; ++j) {
        const int i = first[j] + ebase[j];
        const long long v = lowOnly ? high[j] + blk[j]->posLow[i] : blk[j]->pos(i);
        // All of the run at or below pos: the answer opens the next run (its
        // sample), or it is the end entry.
        const long long below = v <= pos[j];
        const long long k = out[j] + ebase[j] + below;
        out[j] = std::min(k, x.entries - 1);   // the end position finds the end entry
        outPos[j] = v ^ ((v ^ upper[j]) & -below);
    }
}

// Starts the loads that the next batch will need, at the places the hint
// predicts: their cache and page misses then overlap this batch's drawing
// instead of stalling the next search. Only a hint; no result depends on it.
void prefetchBatch(const DigitalChnData* d, const SmpSearchIndex& x, const WaveHint& hint,
                   const long long* pos, int m)
{
    if (!hint.valid)
        return;
    const long long ns = (long long)x.sample.size();
    for (int j = 0; j < m; ++j) {
        double g = double(pos[j] - hint.q) * hint.rate;
        if (!(g < double(ns)))
            g = double(ns);
        const long long c = std::min(hint.c + (long long)std::max(g, 0.0), ns - 1);
        // The lines the window checks read: either side of the prediction.
        const long long reach = (j == 0 || j == m - 1) ? 64 : 16;
        __builtin_prefetch(x.sample.data() + std::max(c - reach, 0LL));
        __builtin_prefetch(x.sample.data() + c);
        __builtin_prefetch(x.sample.data() + std::min(c + reach, ns - 1));
        const long long at = c * SmpSearchIndex::Step;
        const long long r = at % DataGroup::EntryCapacity;
        const DataBlock* b = d->groups[at / DataGroup::EntryCapacity]->blocks[r / DataBlock::Capacity];
        // The predicted run: even where the prediction misses the run, its
        // page is then mapped in the TLB.
        __builtin_prefetch(b->posLow + r % DataBlock::Capacity);
    }
}

} // namespace

int SmpData::getWaveLineData(int chn, double offset, double smpPerPixel, int width,
                             WaveLine* out) const
{
    const DigitalChnData* d = list(chn);
    if (!d || !out || !std::isfinite(offset) || !std::isfinite(smpPerPixel) || !(smpPerPixel > 0))
        return -1;
    const double spp = smpPerPixel;
    const long long end = d->groupLast[d->groupNum - 1];
    const double endLimit = double(end) + 1.0;

    long long startSmp;
    long long x;
    if (offset < 0) {
        startSmp = 0;
        double fx = -offset / spp;
        x = fx >= double(width) ? (long long)(width > 0 ? width : 0) : (long long)fx;
    } else {
        if (offset >= endLimit)
            return -1;
        startSmp = (long long)offset;
        x = 0;
    }
    DigitalDataSubs cur;
    int level = locateNextSmpPoint(chn, startSmp, &cur);
    if (level < 0)
        return -1;
    long long k = tavCursorIndex(cur);
    const SmpSearchIndex& sx = searchIndex_[size_t(chn)];
    const bool indexed = sx.matches(d);

    // Searches for the first samples of the pixels batchX.. are made ahead in
    // batches; the batch grows while the pixels are asked in a row (an edge in
    // every column) and shrinks back to one when the edges thin out.
    long long batchK[WaveBatch];
    long long batchE[WaveBatch];   // position of entry batchK
    long long batchPos[WaveBatch];
    WaveHint hint;
    bool haveE = false;   // knownE is the position of entry k
    long long knownE = 0;
    long long batchX = -1;
    int batchN = 0;
    int batchWant = 1;

    // Columns drawn from the index alone: the sample last found in one, and
    // samples per column then.
    long long fastAt = -1;
    long long fastStep = 0;

    int n = 0;
    for (;;) {
        if (x >= width)
            return n;
        const long long e = haveE ? knownE : entryAtIndex(d, k);
        const double fpx = (double(e) - offset) / spp;
        if (fpx >= double(width))
            break;   // the next entry lies beyond the last pixel
        // An entry before x (rounding) is drawn at x. When every column holds
        // edges the entry lies in x itself: that path is a predicted jump, so
        // the next column does not wait for this one's division.
        const long long px = (long long)fpx;
        if (px > x) {
            out[n++] = WaveLine{int(x), int(px - x), level != 0 ? 1 : 0};
            x = px;
        }
        if (e >= end)
            return n;
        out[n++] = WaveLine{int(x), 1, 2};
        ++x;
        ++k;
        if (x >= width)
            return n;   // nothing more to draw: no search for the column past the view
        // Level of the following run: the one at the first sample of pixel x.
        const double next = double(x) * spp + offset;
        if (next >= endLimit)
            return n;
        if ((long long)next < 0)
            return n;
        {
            // Where edges lie more than a column apart, the entry after the
            // one just drawn already lies past this column's first sample: it
            // is what a search would find, read from the same block.
            const long long ek = entryAtIndex(d, k);
            if (ek > (long long)next) {
                haveE = true;
                knownE = ek;
                level = int((k + d->initLevel) & 1);
                continue;
            }
        }
        if (indexed && e <= (long long)next) {
            // The edge just drawn lies before this column: while a sampled
            // entry lies in the column (after its first sample, at or before
            // the next column's) and is drawn in it, so is the first entry
            // after the column's first sample, and it too lies before the next
            // column. Such columns are edge columns known from the index
            // alone, with no search in the blocks.
            const long long* smp = sx.sample.data();
            const long long ns = (long long)sx.sample.size();
            long long from = (long long)next;
            bool moved = false;
            for (;;) {
                const double nextHi = double(x + 1) * spp + offset;
                const long long to = (long long)nextHi;
                long long c = fastAt + fastStep;
                long long v = c >= 0 && c < ns ? smp[c] : -1;
                if (!(v > from && v <= to)) {
                    // The first sample after the column's first sample, looked
                    // for on the side of the guess where it lies.
                    long long lo = 0, hi = ns;
                    if (v >= 0) {
                        if (v <= from)
                            lo = c + 1;
                        else
                            hi = c + 1;
                    }
                    c = std::upper_bound(smp + lo, smp + hi, from) - smp;
                    if (c >= ns)
                        break;
                    v = smp[c];
                    if (v > to)
                        break;
                }
                if (v >= end || (long long)((double(v) - offset) / spp) > x)
                    break;
                fastStep = fastAt >= 0 ? std::max(c - fastAt, 1LL) : fastStep;
                fastAt = c;
                out[n++] = WaveLine{int(x), 1, 2};
                ++x;
                moved = true;
                if (x >= width || nextHi >= endLimit || to < 0)
                    return n;
                from = to;
            }
            // Not known from the index: the search below finds the entry,
            // which lies after every edge drawn.
            if (moved)
                k = 0;
        }
        if (x < batchX || x >= batchX + batchN) {
            batchWant = x == batchX + batchN ? std::min(2 * batchWant, WaveBatch) : 1;
            batchX = x;
            batchN = 0;
            while (batchN < batchWant && x + batchN < width) {
                const double p = double(x + batchN) * spp + offset;
                if (p >= endLimit)
                    break;
                batchPos[batchN++] = (long long)p;
            }
            if (indexed)
            {
                firstAboveIndexed(d, sx, batchPos, batchN, batchK, batchE, hint);
                // A later batch, should the columns keep holding edges.
                long long ahead[WaveBatch];
                int na = 0;
                const long long from = x + PrefetchBatches * batchN;
                for (; na < batchWant && from + na < width; ++na) {
                    const double p = double(from + na) * spp + offset;
                    if (!(p < endLimit))
                        break;
                    ahead[na] = (long long)p;
                }
                if (batchN == batchWant)
                    prefetchBatch(d, sx, hint, ahead, na);
            }
            else
                firstAboveBatch(d, batchPos, batchN, batchK, batchE);
        }
        // The search never moves back past the edge just drawn.
        const long long kb = batchK[x - batchX];
        haveE = kb >= k;
        if (haveE) {
            k = kb;
            knownE = batchE[x - batchX];
        }
        level = int((k + d->initLevel) & 1);
    }
    out[n++] = WaveLine{int(x), int((width - 1) - x), level != 0 ? 1 : 0};
    return n;
}

// ---------------------------------------------------------------- glitch filter

namespace {

// Fixed runs of 16 with no aliasing are what the compiler vectorises at -O2.
void splitPositions(const long long* __restrict v, uint32_t* __restrict lo, uint8_t* __restrict hi, int n)
{
    int k = 0;
    for (; k + 16 <= n; k += 16) {
        for (int j = 0; j < 16; ++j) {
            lo[k + j] = uint32_t(v[k + j]);
            hi[k + j] = uint8_t(uint64_t(v[k + j]) >> 32);
        }
    }
    for (; k < n; ++k) {
        lo[k] = uint32_t(v[k]);
        hi[k] = uint8_t(uint64_t(v[k]) >> 32);
    }
}

// Sequential writer for building a list. The fill of the current block is
// kept here and written back when the block is finished, which also samples
// it for the search index while it is still in cache (index may be null).
struct ListWriter {
    DigitalChnData* d;
    std::vector<long long>* index = nullptr;
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
    void finishBlock()
    {
        cur->num = num;
        if (index)
            for (int i = 0; i < num && index->size() < index->capacity(); i += SmpSearchIndex::Step)
                index->push_back(cur->pos(i));
    }
    // Whole runs per block, with no capacity test per entry.
    bool appendAll(const long long* v, long long n)
    {
        while (n > 0) {
            if (num == DataBlock::Capacity) {
                finishBlock();
                if (!start())
                    return false;
            }
            const int take = int(std::min<long long>(n, DataBlock::Capacity - num));
            splitPositions(v, cur->posLow + num, cur->posHigh + num, take);
            num += take;
            v += take;
            n -= take;
        }
        return true;
    }
    void done() { finishBlock(); }
};

} // namespace

bool SmpData::dataFilter(const DigitalChnData* raw, DigitalChnData* out, unsigned int w,
                         const std::atomic<bool>* abort, std::atomic<long long>* done)
{
    return filterList(raw, out, w, abort, done, nullptr);
}

bool SmpData::filterList(const DigitalChnData* raw, DigitalChnData* out, unsigned int w,
                         const std::atomic<bool>* abort, std::atomic<long long>* done, std::vector<long long>* index)
{
    out->initLevel = raw->initLevel;
    ListWriter wr{out, index};
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
    auto step = [&](long long p, auto wr) __attribute__((always_inline)) {
        const long long wrote = wr;
        const long long isLong = (p - prev) > width;
        const long long glitches = s > 0;
        const long long shift = isLong & wrote & glitches;
        const long long dbl = isLong & glitches & ((s & 1) ^ wrote);
        const long long a = o - shift;
        const long long longMask = -isLong;   // arithmetic, not a jump
        st[a] = p ^ ((p ^ prev) & -dbl);
        st[a + 1] = p;
        o += longMask & (1 + dbl - shift);
        s = (s + 1) & ~longMask;
        written |= isLong;   // every long step keeps at least one entry
        prev = p;
    };
    // The same once something is kept (written = 1), in fewer operations:
    // g = a long step ending glitches; odd glitches move K, even ones append
    // prev before p.
    auto stepKept = [&](long long p) __attribute__((always_inline)) {
        const long long isLong = (p - prev) > width;
        const long long g = isLong & (s > 0);
        const long long odd = s & 1;
        const long long a = o - g;
        st[a] = p ^ ((p ^ prev) & -(g & ~odd));   // masks: a ?: becomes a jump
        st[a + 1] = p;
        o += isLong - (g & odd);
        s = (s + 1) & (isLong - 1);
        prev = p;
    };
    bool ok = true;
    for (int g = 0; g < raw->groupNum && ok; ++g) {
        const DataGroup* grp = raw->groups[g];
        for (int b = 0; b < grp->blockNum && ok; ++b) {
            if (abort && abort->load(std::memory_order_relaxed)) {
                ok = false;
                break;
            }
            const DataBlock* blk = grp->blocks[b];
            const int num = blk->num;
            if (done)
                done->fetch_add(num, std::memory_order_relaxed);
            int i = 0;
            while (i < num) {
                // An entry keeps at most two more, so this chunk cannot
                // overrun the stage and the loop needs no check of its own.
                const int end = i + int(std::min<long long>(num - i, (Stage - o) / 2));
                // Within a block whose entries share the top byte (all but one
                // in 2^32 samples) posLow alone gives the position.
                const bool oneHigh = blk->posHigh[i] == blk->posHigh[end - 1];
                const long long high = (long long)blk->posHigh[i] << 32;
                const uint32_t* const pl = blk->posLow;
                const uint8_t* const ph = blk->posHigh;
                // Until the first kept entry `written` varies; after it, it is
                // 1 for good and drops out of the loop body.
                for (; i < end && !written; ++i)
                    step(blk->pos(i), written);
                if (oneHigh) {
                    // Most steps are long: four long steps after a long one
                    // keep their four entries as they are, without the
                    // bookkeeping of stepKept, which then does the rest.
                    while (end - i >= 4) {
                        const long long p0 = high | pl[i];
                        const long long d = std::min(std::min((long long)pl[i + 1] - pl[i], (long long)pl[i + 2] - pl[i + 1]),
                                                     std::min((long long)pl[i + 3] - pl[i + 2], p0 - prev));
                        if (s == 0 && d > width) {
                            st[o] = p0;
                            st[o + 1] = high | pl[i + 1];
                            st[o + 2] = high | pl[i + 2];
                            prev = high | pl[i + 3];
                            st[o + 3] = prev;
                            o += 4;
                            i += 4;
                            continue;
                        }
#pragma GCC unroll 4
                        for (int k = 0; k < 4; ++k)
                            stepKept(high | pl[i + k]);
                        i += 4;
                    }
                    for (; i < end; ++i)
                        stepKept(high | pl[i]);
                } else {
                    for (; i < end; ++i)
                        stepKept((long long)ph[i] << 32 | pl[i]);
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

const DigitalChnData* SmpData::filterSource(int chn) const
{
    if (chn < 0 || chn >= chnNum)
        return nullptr;
    const DigitalChnData* src = chnDataRaw[size_t(chn)] ? chnDataRaw[size_t(chn)] : chnData[size_t(chn)];
    return src && src->groupNum > 0 ? src : nullptr;
}

bool SmpData::buildFiltered(const DigitalChnData* raw, unsigned int w, FilteredChn* out,
                            const std::atomic<bool>* abort, std::atomic<long long>* done)
{
    out->index = SmpSearchIndex();
    out->list = newChnData();
    if (!out->list)
        return false;
    // The filtered list is never longer than the raw one, so the index
    // fills without reallocating; without room for it, build it afterwards.
    std::vector<long long>* sample = &out->index.sample;
    try {
        sample->reserve(size_t(tavEntryCount(raw) / SmpSearchIndex::Step + 1));
    } catch (const std::bad_alloc&) {
        sample = nullptr;
    }
    if (!filterList(raw, out->list, w, abort, done, sample)) {
        out->list = nullptr;   // freed by filterList
        out->index = SmpSearchIndex();
        return false;
    }
    if (sample) {
        out->index.entries = tavEntryCount(out->list);
        out->index.end = out->list->groupLast[out->list->groupNum - 1];
        out->index.list = out->list;
    } else {
        buildSearchIndex(out->list, &out->index);
    }
    return true;
}

void SmpData::installFiltered(int chn, unsigned int w, FilteredChn&& f)
{
    const size_t c = size_t(chn);
    if (f.list) {
        if (chnDataRaw[c])
            clearOneChn(chnData[c]);
        else
            chnDataRaw[c] = chnData[c];
        chnData[c] = f.list;
        searchIndex_[c] = std::move(f.index);
        f.list = nullptr;
    } else if (!w && chnDataRaw[c]) {
        clearOneChn(chnData[c]);
        chnData[c] = chnDataRaw[c];
        chnDataRaw[c] = nullptr;
        rebuildSearchIndex(chn);
    }
    filterWidth[c] = w;
}

bool SmpData::applyFilter(int chn, unsigned int w)
{
    FilteredChn f;
    if (w) {
        const DigitalChnData* src = filterSource(chn);
        if (src && !buildFiltered(src, w, &f))
            return false;   // the channel keeps what it had
    }
    installFiltered(chn, w, std::move(f));
    return true;
}

bool SmpData::modifyFilter(const unsigned int* widths)
{
    if (!widths)
        return false;
    bool ok = true;
    for (int i = 0; i < chnNum; ++i) {
        if (widths[i] != filterWidth[size_t(i)])
            ok = applyFilter(i, widths[i]) && ok;
    }
    return ok;
}

bool SmpData::updateFilter()
{
    bool ok = true;
    // Always from the raw list: filtering a filtered list would lose pulses
    // for good and the way back to the capture.
    for (int i = 0; i < chnNum; ++i)
        ok = applyFilter(i, filterWidth[size_t(i)]) && ok;
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
