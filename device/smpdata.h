#pragma once
// One logic capture: per channel a list of edge positions (layout in
// libanalyzer/analyzerdata.h), the start levels, sample count, rate and trigger.
// Written by one thread while not displayed, then only read; how the
// displayed capture is shared between threads is set out in devbase.h.

#include "device/rawconvert.h"
#include "libanalyzer/analyzerdata.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

// One drawing column run of a logic trace: type 0 low, 1 high, 2 edge column.
struct WaveLine {
    int x;
    int width;
    int type;
};

struct RelatedSmpPoint {
    long long preEdge;
    long long nextEdge;
    long long afterNextEdge;
    int level;
};

// Every Step-th position of a complete list in one flat array, so that a
// search touches a few pages of it and then one short run of a block instead
// of a page per halving step across the blocks. Stamped with the list it was
// built from; a search checks the stamp and ignores a stale index.
struct SmpSearchIndex {
    static constexpr int Step = TavBlockEntries % 32 == 0 ? 32 : TavBlockEntries;
    static_assert(TavBlockEntries % Step == 0, "a sampled run must not cross a block");
    const DigitalChnData* list = nullptr;
    long long entries = 0;
    long long end = -1;
    std::vector<long long> sample;   // sample[j] = position of entry j * Step

    bool matches(const DigitalChnData* d) const
    {
        return d && list == d && !sample.empty() && entries == tavEntryCount(d)
            && end == d->groupLast[d->groupNum - 1];
    }
};

class SmpData {
public:
    explicit SmpData(int chnNum);
    ~SmpData();
    SmpData(const SmpData&) = delete;
    SmpData& operator=(const SmpData&) = delete;

    std::vector<DigitalChnData*> chnData;     // list in use per channel, null = not captured
    std::vector<DigitalChnData*> chnDataRaw;  // unfiltered list while a filter is on
    long long smpCount = 0;
    long long smpFrequ = 0;
    long long trgPosition = 0;
    const int chnNum;
    int badRecordOffset = -1;
    int trgRecord = 0;
    unsigned long long initLevels = 0;        // bit n = level of channel n at sample 0
    std::vector<unsigned int> filterWidth;    // glitch filter width per channel, 0 = off
    std::vector<int> chnOrder;                // enabled channels in word order
    std::vector<unsigned int> chnLevel;       // current levels while a word stream converts
    RawConvertState convState;

    // Kept shared by a reader on another thread for one short use (SmpDataRead)
    // and exclusively by the GUI thread while it changes the lists of a
    // displayed capture in place (DevBase::editDisplayedSmpData).
    mutable std::shared_mutex editLock;

    // Building.
    void clearData();
    static void clearOneChn(DigitalChnData* d);
    // False when a channel's list could not be allocated (that channel stays null).
    bool dataConvertStart(int trgRecord, long long smpFrequ, const bool* chnEna);
    static bool newDataGroup(DigitalChnData* d);
    static bool newDataBlock(DigitalChnData* d);
    // Appends a position after the last entry (O(1), a new block or group when
    // the last one is full); false when an allocation fails.
    static inline bool appendEntry(DigitalChnData* d, long long pos);
    void setInitLevel(int chn, int level);
    // Closes every list with the end entry, dropping edges at or beyond it; false
    // when a list could not be closed for lack of memory (that channel is dropped).
    bool dataConvertComplete(long long smpDepth);

    // Converters (rawconvert.cpp); false only when an allocation fails.
    bool dataConvertP5_16(const unsigned char* buf, int len, int* consumed);
    bool dataConvertP6_32(const unsigned char* buf, int len, int* consumed);
    bool dataConvertP1_8(const unsigned char* buf, int len, int start, long long* smpCount);
    bool dataConvertS16_N(const unsigned char* buf, int len, int start, long long* smpCount);
    bool dataConvertSimu(const int* runs, int n, int chn, long long* pos);
    bool dataConvertSimu(const int* runs, int n, int chn, long long* pos, bool merge);

    // Queries; -1 (or false) without data or for a position outside [0, end].
    bool hasValidData(int chn) const;
    int getPointLevel(int chn, long long pos) const;
    int getPointLevel(int chn, long long pos, DigitalDataSubs* cursor) const;
    bool isPointAtEdge(int chn, long long pos) const;
    long long getPreEdgePoint(int chn, long long pos) const;
    long long getNextEdgePoint(int chn, long long pos) const;
    int getPreEdgeType(int chn, long long pos) const;
    int getNextEdgeType(int chn, long long pos) const;
    long long getTwoPointEdgeNum(int chn, long long a, long long b) const;
    int getRelatedSmpPoint(int chn, long long pos, RelatedSmpPoint* out) const;
    int getWaveLineData(int chn, double offset, double smpPerPixel, int width, WaveLine* out) const;
    int locateNextSmpPoint(int chn, long long pos, DigitalDataSubs* cursor) const;
    long long getCurRecordPoint(int chn, const DigitalDataSubs* cursor) const;
    long long getNextRecordPoint(int chn, const DigitalDataSubs* cursor) const;
    long long getPreRecordPoint(int chn, const DigitalDataSubs* cursor) const;
    int locateSmpPoint(int chn, long long pos, DigitalDataSubs* cursor) const;

    // Glitch filter. A filtered channel keeps its raw list in chnDataRaw and is
    // always rebuilt from it. False when a list could not be built for lack
    // of memory; that channel then keeps what it showed and its old width.
    bool modifyFilter(const unsigned int* widths);
    bool updateFilter();
    // Builds into out the list of raw without pulses of at most w samples.
    // On failure frees everything it built, out included, and returns false.
    // abort (checked once a block) gives up the same way; done counts the
    // raw entries passed.
    static bool dataFilter(const DigitalChnData* raw, DigitalChnData* out, unsigned int w,
                           const std::atomic<bool>* abort = nullptr, std::atomic<long long>* done = nullptr);

    // The filter of one channel in two steps, so that a deep capture can be
    // filtered on worker threads while it stays displayed: buildFiltered reads
    // only filterSource(chn) and may run on any thread; installFiltered then
    // takes the result in place of the channel's list (a store edit).
    struct FilteredChn {
        DigitalChnData* list = nullptr;   // owned until installed
        SmpSearchIndex index;
    };
    // The list a filter of chn is built from (its raw list); null without data.
    const DigitalChnData* filterSource(int chn) const;
    static bool buildFiltered(const DigitalChnData* raw, unsigned int w, FilteredChn* out,
                              const std::atomic<bool>* abort = nullptr, std::atomic<long long>* done = nullptr);
    // Width w with the list built for it (null for w 0, or for a channel
    // without data); frees the filtered list it replaces.
    void installFiltered(int chn, unsigned int w, FilteredChn&& f);

    // Rebuilds the search index of every channel from the lists in use; done
    // by the store itself whenever it completes, filters or clears a list.
    // Code that moves lists in from elsewhere calls it afterwards (without it
    // the drawing search is slower, never wrong).
    void rebuildSearchIndex();
    // The search index of a channel matches its list (for tests).
    bool searchIndexValid(int chn) const;

#ifdef TAV_SMP_ALLOC_HOOK
    // Test builds: the next n allocations of groups/blocks/lists succeed, the
    // following ones fail; -1 = no limit.
    static void setAllocBudget(long long n);
#endif

private:
    std::vector<SmpSearchIndex> searchIndex_;   // per channel, for chnData
    void rebuildSearchIndex(int chn);
    static void buildSearchIndex(const DigitalChnData* d, SmpSearchIndex* x);
    // dataFilter, also sampling the new list into index (when not null) as
    // buildSearchIndex would.
    static bool filterList(const DigitalChnData* raw, DigitalChnData* out, unsigned int w,
                           const std::atomic<bool>* abort, std::atomic<long long>* done,
                           std::vector<long long>* index);
    const DigitalChnData* list(int chn) const;
    // The cursor search on a list known to be complete.
    static int locateIn(const DigitalChnData* d, long long pos, DigitalDataSubs* cursor);
    static bool appendSlow(DigitalChnData* d, long long pos);
    static void fillIndex(DigitalChnData* d);
    static void truncate(DigitalChnData* d, long long keep);
    static DigitalChnData* newChnData();
    // Filters one channel from its raw source; keeps the old state on failure.
    bool applyFilter(int chn, unsigned int w);
};

inline bool SmpData::appendEntry(DigitalChnData* d, long long pos)
{
    if (d->groupNum > 0) {
        DataGroup* g = d->groups[d->groupNum - 1];
        if (g->blockNum > 0) {
            DataBlock* b = g->blocks[g->blockNum - 1];
            if (b->num < DataBlock::Capacity) {
                b->setPos(b->num++, pos);
                return true;
            }
        }
    }
    return appendSlow(d, pos);
}

// A capture as handed to readers: it stays alive while anyone holds it.
using SmpDataPtr = std::shared_ptr<SmpData>;

// One short read of a capture (one frame, one search) on a thread other than
// the GUI thread: the snapshot and a shared hold of its edit lock, so that an
// in-place change by the GUI thread waits until the read is over. Never held
// across events, and not needed by readers on the GUI thread itself.
class SmpDataRead {
public:
    SmpDataRead() = default;
    explicit SmpDataRead(std::shared_ptr<const SmpData> s) : data(std::move(s))
    {
        if (data)
            lock = std::shared_lock<std::shared_mutex>(data->editLock);
    }

    const SmpData* get() const { return data.get(); }
    const SmpData* operator->() const { return data.get(); }
    explicit operator bool() const { return bool(data); }
    const std::shared_ptr<const SmpData>& ptr() const { return data; }

private:
    std::shared_ptr<const SmpData> data;   // declared first: the lock goes before the store can
    std::shared_lock<std::shared_mutex> lock;
};
