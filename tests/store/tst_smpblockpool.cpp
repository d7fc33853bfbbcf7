// The block pool: blocks never overlap across chunk borders, freed blocks are
// taken again before anything new is mapped and are off limits meanwhile
// under AddressSanitizer, chunks beyond the spare ones go back to the system,
// and threads taking and giving at once never share a block. Built with the
// shipped and with tiny block and chunk sizes.
#include "device/smpblockpool.h"

#include <QtTest>

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

// First and last entry, so that overlapping blocks show as a changed tag.
void mark(DataBlock* b, uint32_t tag)
{
    b->posLow[0] = tag;
    b->posLow[DataBlock::Capacity - 1] = ~tag;
}

bool marked(const DataBlock* b, uint32_t tag)
{
    return b->posLow[0] == tag && b->posLow[DataBlock::Capacity - 1] == ~tag;
}

bool poisoned(const DataBlock* b)
{
#if defined(__SANITIZE_ADDRESS__)
    return __asan_address_is_poisoned(b) && __asan_address_is_poisoned(&b->num);
#else
    (void)b;
    return true;
#endif
}

} // namespace

class TstSmpBlockPool : public QObject
{
    Q_OBJECT

private slots:
    void takeAndGive_data();
    void takeAndGive();
    void threadsTakeAndGive();
};

void TstSmpBlockPool::takeAndGive_data()
{
    QTest::addColumn<int>("n");
    const int per = SmpBlockPool::blocksPerChunk();
    QTest::newRow("one") << 1;
    QTest::newRow("one chunk") << per;
    QTest::newRow("one chunk and one") << per + 1;
    QTest::newRow("three chunks and five") << 3 * per + 5;
}

void TstSmpBlockPool::takeAndGive()
{
    QFETCH(int, n);
    SmpBlockPool& pool = SmpBlockPool::instance();
    const SmpBlockPool::Stats before = pool.stats();
    QCOMPARE(before.inUse, 0LL);
    const int per = SmpBlockPool::blocksPerChunk();
    const long long chunks = std::max(before.mapped, (long long)(n + per - 1) / per);
    std::vector<DataBlock*> blocks;
    for (int i = 0; i < n; ++i) {
        DataBlock* b = pool.take();
        QVERIFY(b);
        QCOMPARE(b->num, 0);
        QCOMPARE(uintptr_t(b) % 64, uintptr_t(0));
        mark(b, uint32_t(i + 1));
        blocks.push_back(b);
    }
    // Spare chunks are used before new ones are mapped.
    QCOMPARE(pool.stats().mapped, chunks);
    std::vector<DataBlock*> sorted = blocks;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i)
        QVERIFY(reinterpret_cast<char*>(sorted[i]) >= reinterpret_cast<char*>(sorted[i - 1]) + sizeof(DataBlock));
    for (int i = 0; i < n; ++i)
        QVERIFY(marked(blocks[size_t(i)], uint32_t(i + 1)));

    // Every other block back while the rest stays out: the same ones come
    // back, nothing new is mapped.
    std::vector<DataBlock*> freed, again;
    for (int i = 1; i < n; i += 2) {
        pool.give(blocks[size_t(i)]);
        QVERIFY(poisoned(blocks[size_t(i)]));
        freed.push_back(blocks[size_t(i)]);
    }
    for (size_t i = 0; i < freed.size(); ++i)
        again.push_back(pool.take());
    QCOMPARE(pool.stats().mapped, chunks);
    std::sort(freed.begin(), freed.end());
    std::sort(again.begin(), again.end());
    QVERIFY(freed == again);

    std::shuffle(blocks.begin(), blocks.end(), std::mt19937(unsigned(n)));
    for (DataBlock* b : blocks)
        pool.give(b);
    const SmpBlockPool::Stats after = pool.stats();
    QCOMPARE(after.inUse, 0LL);
    QCOMPARE(after.mapped, std::min<long long>(chunks, SmpBlockPool::SpareChunks));
    QCOMPARE(after.spare, after.mapped);
}

void TstSmpBlockPool::threadsTakeAndGive()
{
    SmpBlockPool& pool = SmpBlockPool::instance();
    const int rounds = 4 * SmpBlockPool::blocksPerChunk();
    std::atomic<int> faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng{unsigned(t)};
            std::vector<std::pair<DataBlock*, uint32_t>> held;
            uint32_t tag = uint32_t(t) << 24;
            // Mostly taking at first, mostly giving later: chunks fill, drain
            // and are mapped again while the other threads work.
            for (int r = 0; r < rounds; ++r) {
                if (!held.empty() && int(rng() % unsigned(rounds)) < r) {
                    const size_t k = rng() % held.size();
                    faults += !marked(held[k].first, held[k].second);
                    pool.give(held[k].first);
                    held[k] = held.back();
                    held.pop_back();
                } else if (DataBlock* b = pool.take()) {
                    mark(b, ++tag);
                    held.emplace_back(b, tag);
                } else {
                    ++faults;
                }
            }
            for (auto& h : held) {
                faults += !marked(h.first, h.second);
                pool.give(h.first);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    QCOMPARE(faults.load(), 0);
    const SmpBlockPool::Stats s = pool.stats();
    QCOMPARE(s.inUse, 0LL);
    QVERIFY(s.mapped <= SmpBlockPool::SpareChunks);
    QCOMPARE(s.spare, s.mapped);
}

QTEST_GUILESS_MAIN(TstSmpBlockPool)
#include "tst_smpblockpool.moc"
