// Built with tiny blocks and groups, so every block and group border of the
// edge lists is crossed with a few dozen edges.
#include "tests/analyzers/capturebuilder.h"

#include "libanalyzer/edgeiterator.h"

#include <QtTest>

#include <algorithm>
#include <random>

namespace {

struct Reference {
    int init;
    std::vector<int64_t> edges;
    int64_t end;
    int level(int64_t p) const
    {
        auto n = std::upper_bound(edges.begin(), edges.end(), p) - edges.begin();
        return init ^ int(n & 1);
    }
    int64_t nextEdge(int64_t p) const
    {
        auto it = std::upper_bound(edges.begin(), edges.end(), p);
        return it == edges.end() ? end : *it;
    }
};

Reference randomList(unsigned seed, int count, int64_t maxGap, int init, bool edgeAtZero)
{
    std::mt19937_64 rng(seed);
    Reference r;
    r.init = init;
    int64_t p = edgeAtZero ? 0 : 1 + int64_t(rng() % uint64_t(maxGap));
    for (int i = 0; i < count; ++i) {
        r.edges.push_back(p);
        p += 1 + int64_t(rng() % uint64_t(maxGap));
    }
    r.end = p + int64_t(rng() % 5);
    return r;
}

}  // namespace

class TestEdgeIterator : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(DataBlock::Capacity, 4); }

    void walk_data();
    void walk();
    void advanceTo_data() { walk_data(); }
    void advanceTo();
    void attachRefusesMissingData();
    void backwardAndBeyondEnd();
};

void TestEdgeIterator::walk_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("init");
    QTest::addColumn<bool>("edgeAtZero");
    QTest::newRow("no edge") << 0 << 1 << false;
    QTest::newRow("one edge") << 1 << 0 << false;
    QTest::newRow("three: one block with the end entry") << 3 << 1 << false;
    QTest::newRow("four: end entry opens a block") << 4 << 0 << false;
    QTest::newRow("eleven: end entry closes a group") << 11 << 1 << false;
    QTest::newRow("twelve: end entry opens a group") << 12 << 0 << false;
    QTest::newRow("edge at sample 0") << 7 << 1 << true;
    QTest::newRow("many groups") << 500 << 0 << false;
}

void TestEdgeIterator::walk()
{
    QFETCH(int, count);
    QFETCH(int, init);
    QFETCH(bool, edgeAtZero);
    Reference ref = randomList(unsigned(count) * 7 + 1, count, 9, init, edgeAtZero);
    TestCapture cap(2, ref.end, 1000);
    cap.setChannel(1, init, ref.edges);

    EdgeIterator it;
    QVERIFY(it.Attach(cap.record(), 1));
    QCOMPARE(it.Sample(), int64_t(0));
    QCOMPARE(it.Level(), ref.level(0));
    QCOMPARE(it.End(), ref.end);
    size_t k = edgeAtZero ? 1 : 0;  // an edge at 0 is already behind
    while (it.HasNextEdge()) {
        QVERIFY(k < ref.edges.size());
        QCOMPARE(it.NextEdge(), ref.edges[k]);
        it.AdvanceToNextEdge();
        QCOMPARE(it.Sample(), ref.edges[k]);
        QCOMPARE(it.Level(), ref.level(ref.edges[k]));
        ++k;
    }
    QCOMPARE(k, ref.edges.size());
    QCOMPARE(it.NextEdge(), ref.end);
    it.AdvanceToNextEdge();
    QCOMPARE(it.Sample(), ref.end);
    QCOMPARE(it.Level(), ref.level(ref.end));
}

void TestEdgeIterator::advanceTo()
{
    QFETCH(int, count);
    QFETCH(int, init);
    QFETCH(bool, edgeAtZero);
    Reference ref = randomList(unsigned(count) * 13 + 5, count, 9, init, edgeAtZero);
    TestCapture cap(1, ref.end, 1000);
    cap.setChannel(0, init, ref.edges);
    // Small steps, jumps over several blocks and groups, landing on edges.
    for (unsigned seed = 0; seed < 20; ++seed) {
        std::mt19937 rng(seed);
        EdgeIterator it;
        QVERIFY(it.Attach(cap.record(), 0));
        int64_t p = 0;
        while (p < ref.end) {
            switch (rng() % 4) {
            case 0: p += 1; break;
            case 1: p += int64_t(rng() % 8); break;
            case 2: p += int64_t(rng() % 200); break;
            default: p = ref.nextEdge(p); break;
            }
            p = std::min(p, ref.end);
            QCOMPARE(it.LevelAt(p), ref.level(p));
            QCOMPARE(it.Sample(), p);
            QCOMPARE(it.NextEdge(), p >= ref.end ? ref.end : ref.nextEdge(p));
            QCOMPARE(it.EdgeUpTo(p + 3), ref.nextEdge(p) < ref.end && ref.nextEdge(p) <= p + 3);
        }
    }
}

void TestEdgeIterator::attachRefusesMissingData()
{
    TestCapture cap(3, 100, 1000);
    cap.setChannel(0, 0, {10, 20});
    EdgeIterator it;
    QVERIFY(!it.Attach(cap.record(), 1));  // not captured
    QVERIFY(!it.IsValid());
    QVERIFY(!it.Attach(cap.record(), 3));  // beyond the channel count
    QVERIFY(!it.Attach(static_cast<const DataForAnly*>(nullptr), 0));
    DataForAnly empty = DataForAnly();
    QVERIFY(!it.Attach(&empty, 0));
    DigitalChnData noGroups;
    QVERIFY(!it.Attach(&noGroups));
    QVERIFY(it.Attach(cap.record(), 0));
    QVERIFY(it.IsValid());
}

void TestEdgeIterator::backwardAndBeyondEnd()
{
    TestCapture cap(1, 50, 1000);
    cap.setChannel(0, 1, {5, 9, 30});
    EdgeIterator it;
    QVERIFY(it.Attach(cap.record(), 0));
    it.AdvanceTo(20);
    QCOMPARE(it.Level(), 1);
    it.AdvanceTo(3);  // behind: stays
    QCOMPARE(it.Sample(), int64_t(20));
    it.AdvanceTo(1000);  // clamped to the end
    QCOMPARE(it.Sample(), int64_t(50));
    QCOMPARE(it.Level(), 0);
    QVERIFY(!it.HasNextEdge());
}

QTEST_GUILESS_MAIN(TestEdgeIterator)
#include "tst_edgeiterator.moc"
