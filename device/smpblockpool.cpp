#include "device/smpblockpool.h"

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace {

// Blocks start on cache lines, so that two threads writing neighbouring
// blocks never share one.
constexpr size_t Line = 64;
constexpr size_t roundUp(size_t n, size_t to)
{
    return (n + to - 1) / to * to;
}
constexpr size_t Stride = roundUp(sizeof(DataBlock), Line);
constexpr size_t MaxBlocks = SmpBlockPool::ChunkBytes / Stride;
static_assert(MaxBlocks > 1 && MaxBlocks < 65536, "chunk too small or too large for its block indices");
static_assert((SmpBlockPool::ChunkBytes & (SmpBlockPool::ChunkBytes - 1)) == 0,
              "chunks are aligned to their size, so their size is a power of two");

} // namespace

// The head of every chunk; the blocks follow it. Chunks are aligned to their
// size, so a block finds its chunk by masking its address.
struct SmpBlockPool::Chunk {
    Chunk* prev;
    Chunk* next;
    bool listed;       // in a list; false while all its blocks are out
    int used;          // blocks given out
    int carved;        // blocks [0, carved) have been given out at least once
    int freeNum;       // entries in freeIdx
    uint16_t freeIdx[MaxBlocks];   // given back and not yet taken again
};

namespace {

constexpr size_t HeadBytes = roundUp(sizeof(SmpBlockPool::Chunk), Line);
constexpr int Blocks = int((SmpBlockPool::ChunkBytes - HeadBytes) / Stride);
static_assert(Blocks > 0, "chunk too small for a block");

char* blockAt(SmpBlockPool::Chunk* c, int i)
{
    return reinterpret_cast<char*>(c) + HeadBytes + size_t(i) * Stride;
}

// ChunkBytes of fresh memory aligned to ChunkBytes, null when none is left.
SmpBlockPool::Chunk* mapChunk()
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t span = SmpBlockPool::ChunkBytes > page ? 2 * SmpBlockPool::ChunkBytes : SmpBlockPool::ChunkBytes;
    void* m = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        return nullptr;
    const uintptr_t at = uintptr_t(m);
    const uintptr_t base = roundUp(at, SmpBlockPool::ChunkBytes);
    if (base > at)
        munmap(m, base - at);
    const uintptr_t end = at + span;
    if (end > base + SmpBlockPool::ChunkBytes)
        munmap(reinterpret_cast<void*>(base + SmpBlockPool::ChunkBytes), end - base - SmpBlockPool::ChunkBytes);
#ifdef MADV_HUGEPAGE
    // A hint: where the kernel has no huge pages the chunk works as it is.
    madvise(reinterpret_cast<void*>(base), SmpBlockPool::ChunkBytes, MADV_HUGEPAGE);
#endif
    auto* c = reinterpret_cast<SmpBlockPool::Chunk*>(base);
    c->prev = c->next = nullptr;
    c->listed = false;
    c->used = c->carved = c->freeNum = 0;
    // A block not given out is off limits, as freed heap memory would be.
    ASAN_POISON_MEMORY_REGION(blockAt(c, 0), size_t(Blocks) * Stride);
    return c;
}

void unmapChunk(SmpBlockPool::Chunk* c)
{
    // The address range may be handed to anyone next.
    ASAN_UNPOISON_MEMORY_REGION(blockAt(c, 0), size_t(Blocks) * Stride);
    munmap(c, SmpBlockPool::ChunkBytes);
}

} // namespace

SmpBlockPool& SmpBlockPool::instance()
{
    static SmpBlockPool* pool = new SmpBlockPool;
    return *pool;
}

int SmpBlockPool::blocksPerChunk()
{
    return Blocks;
}

void SmpBlockPool::unlink(Chunk*& head, Chunk* c)
{
    if (c->prev)
        c->prev->next = c->next;
    else
        head = c->next;
    if (c->next)
        c->next->prev = c->prev;
    c->prev = c->next = nullptr;
    c->listed = false;
}

void SmpBlockPool::push(Chunk*& head, Chunk* c)
{
    c->prev = nullptr;
    c->next = head;
    if (head)
        head->prev = c;
    head = c;
    c->listed = true;
}

DataBlock* SmpBlockPool::takeFrom(Chunk* c)
{
    const int i = c->freeNum > 0 ? c->freeIdx[--c->freeNum] : c->carved++;
    ++c->used;
    ++stats_.inUse;
    if (c->freeNum == 0 && c->carved == Blocks)
        unlink(partial_, c);
    char* p = blockAt(c, i);
    ASAN_UNPOISON_MEMORY_REGION(p, sizeof(DataBlock));
    return new (p) DataBlock;
}

DataBlock* SmpBlockPool::take()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (partial_)
            return takeFrom(partial_);
        if (Chunk* c = spare_) {
            unlink(spare_, c);
            --stats_.spare;
            push(partial_, c);
            return takeFrom(c);
        }
    }
    // Mapped without the lock: other threads go on taking blocks meanwhile.
    Chunk* c = mapChunk();
    if (!c)
        return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    ++stats_.mapped;
    push(partial_, c);
    return takeFrom(c);
}

void SmpBlockPool::give(DataBlock* b)
{
    if (!b)
        return;
    auto* c = reinterpret_cast<Chunk*>(uintptr_t(b) & ~uintptr_t(ChunkBytes - 1));
    const int i = int((reinterpret_cast<char*>(b) - blockAt(c, 0)) / ptrdiff_t(Stride));
    ASAN_POISON_MEMORY_REGION(b, sizeof(DataBlock));
    Chunk* drop = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --stats_.inUse;
        c->freeIdx[c->freeNum++] = uint16_t(i);
        if (--c->used > 0) {
            if (!c->listed)
                push(partial_, c);
            return;
        }
        if (c->listed)
            unlink(partial_, c);
        if (stats_.spare < SpareChunks) {
            // Its pages stay mapped and are handed out again from the start.
            c->carved = c->freeNum = 0;
            push(spare_, c);
            ++stats_.spare;
            return;
        }
        --stats_.mapped;
        drop = c;
    }
    unmapChunk(drop);
}

SmpBlockPool::Stats SmpBlockPool::stats() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
}
