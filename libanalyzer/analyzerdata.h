#pragma once
// Capture layout shared by the sample store and the analyzers. Plain C++ only:
// analyzers read these lists directly and must not depend on the device layer.
//
// One channel's capture is a list of 40-bit sample positions, strictly
// increasing, kept in three levels of fixed-size arrays (channel -> groups ->
// blocks -> entries) so that the list never reallocates while it grows.
//   - Entry k (counted from 0 over the whole list) lives in
//       group  k / DataGroup::EntryCapacity,
//       block  (k % DataGroup::EntryCapacity) / DataBlock::Capacity,
//       index  k % DataBlock::Capacity.
//     Every block but the last is full, every group but the last is full.
//   - Every entry but the last is an edge: the index of the first sample with
//     the new level. The last entry (the end entry) equals the sample count.
//   - Level at sample p = initLevel XOR (number of entries <= p) mod 2.
//   - blockLast[b] / groupLast[g] hold the last position stored in block b /
//     group g; they are valid once a capture is complete (the store fills them
//     when it closes a list), stale while a list is being built.
// Position of entry i of a block: posHigh[i] * 2^32 + posLow[i].

#include <cstddef>
#include <cstdint>

// Capacities are compile-time values. A test build defines
// TAV_SMP_SMALL_BLOCKS to get tiny blocks and groups, so that every border
// is crossed with a handful of entries; the shipped sizes are below.
#ifdef TAV_SMP_SMALL_BLOCKS
constexpr int TavBlockEntries = 4;     // must stay even: level parity per block
constexpr int TavGroupBlocks = 3;
constexpr int TavChnGroups = 4096;
#else
constexpr int TavBlockEntries = 20480;
constexpr int TavGroupBlocks = 5120;
constexpr int TavChnGroups = 1024;
#endif
static_assert(TavBlockEntries % 2 == 0, "block capacity must be even");

// Largest position a 40-bit entry holds.
constexpr int64_t TavMaxPosition = (int64_t(1) << 40) - 1;

struct DataBlock {
    static constexpr int Capacity = TavBlockEntries;
    uint32_t posLow[Capacity];   // bits 0-31 of each position
    uint8_t posHigh[Capacity];   // bits 32-39 of each position
    int num = 0;                 // entries in use

    int64_t pos(int i) const { return (int64_t(posHigh[i]) << 32) | posLow[i]; }
    void setPos(int i, int64_t p)
    {
        posLow[i] = uint32_t(p);
        posHigh[i] = uint8_t(uint64_t(p) >> 32);
    }
};

struct DataGroup {
    static constexpr int Capacity = TavGroupBlocks;
    static constexpr int64_t EntryCapacity = int64_t(Capacity) * DataBlock::Capacity;
    DataBlock* blocks[Capacity];   // blocks in order, blockNum in use
    int64_t blockLast[Capacity];   // last position stored in each block
    int blockNum = 0;
};

struct DigitalChnData {
    static constexpr int Capacity = TavChnGroups;
    DataGroup* groups[Capacity] = {};  // groups in order, groupNum in use
    int64_t groupLast[Capacity] = {};  // last position stored in each group
    int groupNum = 0;
    int initLevel = 0;                 // level (0/1) before the first edge
};

// Forward-only cursor into one list: the entry at {group, block, index}.
struct DigitalDataSubs {
    int group = 0;
    int block = 0;
    int index = 0;
};

// Global index of the entry under a cursor.
inline int64_t tavCursorIndex(const DigitalDataSubs& c)
{
    return int64_t(c.group) * DataGroup::EntryCapacity + int64_t(c.block) * DataBlock::Capacity
        + c.index;
}

// Cursor of global entry k.
inline DigitalDataSubs tavCursorAt(int64_t k)
{
    DigitalDataSubs c;
    c.group = int(k / DataGroup::EntryCapacity);
    int64_t r = k % DataGroup::EntryCapacity;
    c.block = int(r / DataBlock::Capacity);
    c.index = int(r % DataBlock::Capacity);
    return c;
}

// Moves a cursor to the next entry (wrapping into the next block and group).
inline void tavCursorNext(DigitalDataSubs& c)
{
    if (++c.index == DataBlock::Capacity) {
        c.index = 0;
        if (++c.block == DataGroup::Capacity) {
            c.block = 0;
            ++c.group;
        }
    }
}

// Number of entries in a list (edges plus the end entry once complete).
inline int64_t tavEntryCount(const DigitalChnData* d)
{
    if (!d || d->groupNum == 0)
        return 0;
    const DataGroup* g = d->groups[d->groupNum - 1];
    int64_t n = int64_t(d->groupNum - 1) * DataGroup::EntryCapacity;
    if (g->blockNum == 0)
        return n;
    return n + int64_t(g->blockNum - 1) * DataBlock::Capacity + g->blocks[g->blockNum - 1]->num;
}

// Position of global entry k; the caller keeps k below tavEntryCount.
inline int64_t tavEntryAt(const DigitalChnData* d, int64_t k)
{
    DigitalDataSubs c = tavCursorAt(k);
    return d->groups[c.group]->blocks[c.block]->pos(c.index);
}

// The capture as the analyzers receive it (80 bytes, fixed layout). The host
// zeroes it once; the device layer writes the named fields before each decode.
struct DataForAnly {
    DigitalChnData** chnData;   // 0: per-channel lists, null entry = channel not captured
    int64_t smpCount;           // 8: samples in the capture (= end entry of every list)
    int64_t smpFrequ;           // 16: sample rate, Hz
    int64_t trgPosition;        // 24: sample index of the trigger
    int32_t chnNum;             // 32: entries in chnData
    uint32_t reserved[9];       // 36..71: stay zero
    uint32_t devModelWord;      // 72: model code in bits 0-15, its complement in bits 16-31
    uint32_t reserved2;         // 76: stays zero
};

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(DataForAnly) == 80, "DataForAnly is an 80-byte record");
static_assert(offsetof(DataForAnly, smpCount) == 8, "layout");
static_assert(offsetof(DataForAnly, chnNum) == 32, "layout");
static_assert(offsetof(DataForAnly, devModelWord) == 72, "layout");
#endif

// Model word of the record: code in the low half, its complement in the high half.
inline uint32_t tavModelWord(uint32_t devModel)
{
    return ((~devModel) << 16) | devModel;
}
