#pragma once
// Append-only storage for one writer and many readers (internal to the
// library). Items live in fixed chunks that never move; the writer publishes
// the item count with a release store after writing the item, so a reader
// that loads the count with acquire may read every item below it.

#include <atomic>
#include <cstddef>
#include <new>

template <class T>
class ChunkedStore {
public:
    static constexpr unsigned kChunkBits = 12;  // 4096 items per chunk
    static constexpr unsigned kDirBits = 10;    // 1024 chunks per directory
    static constexpr unsigned kTopSize = 4096;  // 4096 directories: 2^34 items
    static constexpr size_t kChunkSize = size_t(1) << kChunkBits;
    static constexpr size_t kDirSize = size_t(1) << kDirBits;
    static constexpr unsigned long long kCapacity =
        (unsigned long long)kTopSize * kDirSize * kChunkSize;

    ChunkedStore() = default;
    ChunkedStore(const ChunkedStore&) = delete;
    ChunkedStore& operator=(const ChunkedStore&) = delete;
    ~ChunkedStore()
    {
        if (!top_)
            return;
        for (unsigned t = 0; t < kTopSize && top_[t]; ++t) {
            for (size_t d = 0; d < kDirSize && top_[t][d]; ++d)
                delete[] top_[t][d];
            delete[] top_[t];
        }
        delete[] top_;
    }

    unsigned long long size() const { return count_.load(std::memory_order_acquire); }

    // Reader: the caller keeps i below a count it loaded.
    const T& at(unsigned long long i) const
    {
        return top_[i >> (kChunkBits + kDirBits)][(i >> kChunkBits) & (kDirSize - 1)]
                   [i & (kChunkSize - 1)];
    }

    // Writer only. False when full or out of memory; the store is unchanged then.
    bool push(const T& item)
    {
        unsigned long long n = count_.load(std::memory_order_relaxed);
        size_t slot = size_t(n & (kChunkSize - 1));
        if (slot == 0 && !grow(n))
            return false;
        chunk_[slot] = item;
        count_.store(n + 1, std::memory_order_release);
        return true;
    }

    // Writer only: the last item pushed (count must be > 0).
    const T& back() const { return chunk_[(count_.load(std::memory_order_relaxed) - 1) & (kChunkSize - 1)]; }

private:
    bool grow(unsigned long long n)
    {
        if (n >= kCapacity)
            return false;
        if (!top_) {
            top_ = new (std::nothrow) T** [kTopSize]();
            if (!top_)
                return false;
        }
        size_t t = size_t(n >> (kChunkBits + kDirBits));
        size_t d = size_t((n >> kChunkBits) & (kDirSize - 1));
        if (!top_[t]) {
            top_[t] = new (std::nothrow) T* [kDirSize]();
            if (!top_[t])
                return false;
        }
        T* c = new (std::nothrow) T[kChunkSize];
        if (!c)
            return false;
        top_[t][d] = c;
        chunk_ = c;
        return true;
    }

    T*** top_ = nullptr;
    T* chunk_ = nullptr;
    std::atomic<unsigned long long> count_{0};
};
