#pragma once
// Where the store's blocks live. A deep capture or its filtered copy is
// hundreds of megabytes written once from start to end; taking that memory
// from the heap block by block faults in every 4 KiB page on its own, which
// cost more than the conversion or the filter itself. The pool maps large
// chunks the kernel may back with huge pages, carves blocks out of them and
// keeps the freed ones for the next list. Shared by all stores and threads.

#include "libanalyzer/analyzerdata.h"

#include <cstddef>
#include <mutex>

class SmpBlockPool {
public:
    // Never destroyed: stores may outlive static objects.
    static SmpBlockPool& instance();

    // A block with num = 0 and its entries not cleared; null when no memory
    // could be mapped.
    DataBlock* take();
    // Takes back a block that take() gave out.
    void give(DataBlock* b);

#ifdef TAV_SMP_SMALL_BLOCKS
    // Small enough that tests cross chunk borders with a few dozen blocks.
    static constexpr size_t ChunkBytes = size_t(4) << 10;
#else
    static constexpr size_t ChunkBytes = size_t(32) << 20;
#endif
    // Fully free chunks kept mapped for the next capture or filter.
    static constexpr int SpareChunks = 2;
    static int blocksPerChunk();

    struct Stats {
        long long mapped = 0;     // chunks mapped now
        long long spare = 0;      // of them fully free
        long long inUse = 0;      // blocks given out and not yet back
    };
    Stats stats() const;

    struct Chunk;

private:
    SmpBlockPool() = default;
    DataBlock* takeFrom(Chunk* c);
    void unlink(Chunk*& head, Chunk* c);
    void push(Chunk*& head, Chunk* c);

    mutable std::mutex mutex_;
    Chunk* partial_ = nullptr;   // with blocks in use and room for more
    Chunk* spare_ = nullptr;     // fully free
    Stats stats_;
};
