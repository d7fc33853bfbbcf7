// The store's fast paths against plain step-by-step versions of the same
// rules: the batched drawing search (with its sampled index, predictions and
// fall-backs), the index's life through completion, filtering and clearing,
// and the glitch filter on dense random data. Built with the shipped and with
// tiny block sizes.
#include "storeref.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::vector<long long>)

namespace {

// getWaveLineData done one column at a time on the flat entry list: the
// first entry above the column's first sample by binary search, never moving
// back past the last drawn edge.
int plainWaveLines(const std::vector<long long>& e, int initLevel, double offset, double spp,
                   int width, std::vector<WaveLine>& out)
{
    out.clear();
    if (e.empty() || !std::isfinite(offset) || !std::isfinite(spp) || !(spp > 0))
        return -1;
    const long long end = e.back();
    const long long last = (long long)e.size() - 1;
    auto firstAbove = [&](long long p) {
        return std::min((long long)(std::upper_bound(e.begin(), e.end(), p) - e.begin()), last);
    };
    long long startSmp, x;
    if (offset < 0) {
        startSmp = 0;
        const double fx = -offset / spp;
        x = fx >= double(width) ? (long long)(width > 0 ? width : 0) : (long long)fx;
    } else {
        if (offset >= double(end) + 1.0)
            return -1;
        startSmp = (long long)offset;
        x = 0;
    }
    long long k = firstAbove(startSmp);
    int level = int((k + initLevel) & 1);
    for (;;) {
        if (x >= width)
            return int(out.size());
        const long long v = e[size_t(k)];
        const double fpx = (double(v) - offset) / spp;
        if (fpx >= double(width))
            break;
        long long px = std::max(x, (long long)fpx);
        if (px > x)
            out.push_back(WaveLine{int(x), int(px - x), level});
        if (v >= end)
            return int(out.size());
        out.push_back(WaveLine{int(px), 1, 2});
        x = px + 1;
        ++k;
        const double next = double(x) * spp + offset;
        if (next >= double(end) + 1.0 || (long long)next < 0)
            return int(out.size());
        k = std::max(k, firstAbove((long long)next));
        level = int((k + initLevel) & 1);
    }
    out.push_back(WaveLine{int(x), int((width - 1) - x), level});
    return int(out.size());
}

// Edges in bursts: dense runs (an edge every 1..gap samples) separated by
// quiet stretches, so the edge density changes from column to column.
RefChannel burstChannel(std::mt19937_64& rng, long long start, int edges, long long gap,
                        long long quiet)
{
    RefChannel ch;
    ch.initLevel = int(rng() & 1);
    long long p = start;
    while ((int)ch.edges.size() < edges) {
        const int run = 1 + int(rng() % 400);
        for (int i = 0; i < run && (int)ch.edges.size() < edges; ++i) {
            p += 1 + (long long)(rng() % (unsigned long long)gap);
            ch.edges.push_back(p);
        }
        if (rng() % 3 == 0)
            p += 1 + (long long)(rng() % (unsigned long long)quiet);
    }
    ch.count = p + 1 + (long long)(rng() % 1000);
    return ch;
}

int denseEdgeCount()
{
    long long n = 3 * DataBlock::Capacity + 1234;
    if (DataGroup::EntryCapacity < 100000)
        n = std::max<long long>(n, 40 * DataGroup::EntryCapacity + 5);
    return int(n);
}

} // namespace

class TstStoreFast : public QObject {
    Q_OBJECT
private slots:
    void waveLinesMatchPlainSearch_data();
    void waveLinesMatchPlainSearch();
    void waveLinesOnColumnBorders_data();
    void waveLinesOnColumnBorders();
    void searchIndexFollowsLists();
    void filterMatchesPlainRules_data();
    void filterMatchesPlainRules();
    void filterPatternsMatchPlainRules_data();
    void filterPatternsMatchPlainRules();
};

namespace {

// The store's drawing of one view against the plain search: empty when equal.
QString drawingDiffers(const SmpData& s, const std::vector<long long>& e, int initLevel,
                       double offset, double spp, int width)
{
    std::vector<WaveLine> want, got(size_t(width) + 10);
    const int n = s.getWaveLineData(0, offset, spp, width, got.data());
    const int m = plainWaveLines(e, initLevel, offset, spp, width, want);
    if (n != m)
        return QString("offset %1 spp %2 width %3: %4 records, expected %5")
            .arg(offset, 0, 'f', 6).arg(spp, 0, 'g', 17).arg(width).arg(n).arg(m);
    for (int i = 0; i < n; ++i) {
        const WaveLine& a = got[size_t(i)];
        const WaveLine& b = want[size_t(i)];
        if (a.x != b.x || a.width != b.width || a.type != b.type)
            return QString("offset %1 spp %2 width %3: record %4 is {%5,%6,%7}, expected {%8,%9,%10}")
                .arg(offset, 0, 'f', 6).arg(spp, 0, 'g', 17).arg(width).arg(i)
                .arg(a.x).arg(a.width).arg(a.type).arg(b.x).arg(b.width).arg(b.type);
    }
    return QString();
}

} // namespace

void TstStoreFast::waveLinesOnColumnBorders_data()
{
    QTest::addColumn<qlonglong>("period");   // samples per column at the exact scale
    QTest::addColumn<qlonglong>("base");     // position of column 0's first sample
    QTest::newRow("256") << qlonglong(256) << qlonglong(0);
    QTest::newRow("1000") << qlonglong(1000) << qlonglong(0);
    QTest::newRow("1000 beyond 2^32") << qlonglong(1000) << qlonglong((1LL << 32) - 700000);
    QTest::newRow("333") << qlonglong(333) << qlonglong(17);
}

void TstStoreFast::waveLinesOnColumnBorders()
{
    // Dense edges that fall exactly on, just before and just after column
    // borders, while some columns hold none: the columns drawn from the index
    // alone must meet the exact search where the scale puts borders on whole
    // samples, and where rounding moves them by one.
    QFETCH(qlonglong, period);
    QFETCH(qlonglong, base);
    std::mt19937_64 rng(uint64_t(period * 131 + base));
    RefChannel ch;
    ch.initLevel = 1;
    long long p = base;
    for (long long col = 0; (long long)ch.edges.size() < denseEdgeCount(); ++col) {
        const long long from = base + col * period;
        if (col % 37 == 5)
            continue;   // a column without an edge
        for (long long q = std::max(p + 1, from - 1); q < from + period; q += 1 + (long long)(rng() % 8))
            ch.edges.push_back(q);
        p = ch.edges.back();
        if (rng() % 3 == 0 && p + 1 < from + period)
            ch.edges.push_back(p = from + period - 1);   // the column's last sample
    }
    ch.count = p + 5;
    SmpData s(1);
    buildStore(s, {ch}, ch.count);
    QVERIFY(s.searchIndexValid(0));
    const std::vector<long long> e = ch.entries();
    const double per = double(period);
    for (int width : {1920, 777}) {
        for (double offset : {double(base), double(base) + 0.5, double(base) - 1, double(base) + per - 1e-7}) {
            for (double spp : {per, per * (1 - 1e-12), per * (1 + 1e-12), per - 0.5, per + 0.25}) {
                const QString diff = drawingDiffers(s, e, ch.initLevel, offset, spp, width);
                if (!diff.isEmpty())
                    QFAIL(qPrintable(diff));
            }
        }
    }
}

void TstStoreFast::waveLinesMatchPlainSearch_data()
{
    QTest::addColumn<qlonglong>("start");   // first edge after this position
    QTest::addColumn<qlonglong>("gap");     // edges 1..gap samples apart inside a burst
    QTest::addColumn<qlonglong>("quiet");   // longest gap between bursts
    QTest::newRow("even, every column") << qlonglong(0) << qlonglong(200) << qlonglong(1);
    QTest::newRow("bursts") << qlonglong(0) << qlonglong(50) << qlonglong(3000000);
    QTest::newRow("sparse bursts") << qlonglong(0) << qlonglong(3) << qlonglong(300000000);
    QTest::newRow("across 2^32") << qlonglong((1LL << 32) - 4000000) << qlonglong(300)
                                 << qlonglong(100000);
    QTest::newRow("beyond 2^33") << qlonglong((1LL << 33) + 17) << qlonglong(1000) << qlonglong(1);
}

void TstStoreFast::waveLinesMatchPlainSearch()
{
    QFETCH(qlonglong, start);
    QFETCH(qlonglong, gap);
    QFETCH(qlonglong, quiet);
    std::mt19937_64 rng(uint64_t(start) ^ uint64_t(gap * 7 + quiet));
    const RefChannel ref = burstChannel(rng, start, denseEdgeCount(), gap, quiet);
    SmpData s(1);
    buildStore(s, {ref}, ref.count);
    QVERIFY(s.searchIndexValid(0));
    const std::vector<long long> e = ref.entries();
    const double first = double(ref.edges.front());
    const double span = double(ref.count) - first;
    std::vector<WaveLine> want, got(2000);
    int compared = 0;
    for (int v = 0; v < 60; ++v) {
        const int width = v % 3 == 0 ? 1920 : 1 + int(rng() % 1500);
        double spp, offset;
        switch (v % 5) {
        case 0:   // the whole capture
            spp = double(ref.count) / width;
            offset = 0;
            break;
        case 1:   // a part holding many edges per column
            spp = span / width * (0.01 + double(rng() % 100) / 100.0);
            offset = first + double(rng() % (unsigned long long)(span / 2));
            break;
        case 2:   // zoomed in, a few samples per column
            spp = 0.3 + double(rng() % 50) / 7.0;
            offset = double(e[rng() % e.size()]) - double(rng() % 1000);
            break;
        case 3:   // starting left of the capture
            spp = double(ref.count) / width * 1.3;
            offset = -double(rng() % 100000) - 0.5;
            break;
        default:   // running past the end
            spp = span / width * 0.7;
            offset = double(ref.count) - span * 0.3 + 0.25;
        }
        const int n = s.getWaveLineData(0, offset, spp, width, got.data());
        const int m = plainWaveLines(e, ref.initLevel, offset, spp, width, want);
        QCOMPARE(n, m);
        for (int i = 0; i < n; ++i) {
            const WaveLine& a = got[size_t(i)];
            const WaveLine& b = want[size_t(i)];
            if (a.x != b.x || a.width != b.width || a.type != b.type)
                QFAIL(qPrintable(QString("view %1 (offset %2 spp %3 width %4): record %5 is "
                                         "{%6,%7,%8}, expected {%9,%10,%11}")
                                     .arg(v).arg(offset, 0, 'f', 2).arg(spp).arg(width).arg(i)
                                     .arg(a.x).arg(a.width).arg(a.type)
                                     .arg(b.x).arg(b.width).arg(b.type)));
        }
        compared += n > 0;
    }
    QVERIFY(compared > 40);
}

void TstStoreFast::searchIndexFollowsLists()
{
    std::mt19937_64 rng(5);
    RefChannel a = burstChannel(rng, 0, denseEdgeCount(), 6, 1000);
    RefChannel b = burstChannel(rng, 0, 500, 100, 10);
    b.count = a.count;
    SmpData s(3);
    QVERIFY(!s.searchIndexValid(0));
    buildStore(s, {a, b}, a.count);
    QVERIFY(s.searchIndexValid(0));
    QVERIFY(s.searchIndexValid(1));
    QVERIFY(!s.searchIndexValid(2));   // channel 2 not captured
    QVERIFY(!s.searchIndexValid(-1));
    QVERIFY(!s.searchIndexValid(3));

    // Drawing agrees with the plain search on whatever list is in use.
    auto drawsRight = [&](int chn) {
        const std::vector<long long> e = flatten(s.chnData[size_t(chn)]);
        std::vector<WaveLine> want, got(1930);
        const double spp = double(a.count) / 1920;
        const int n = s.getWaveLineData(chn, 0, spp, 1920, got.data());
        const int m = plainWaveLines(e, s.chnData[size_t(chn)]->initLevel, 0, spp, 1920, want);
        if (n != m || n <= 0)
            return false;
        for (int i = 0; i < n; ++i)
            if (got[size_t(i)].x != want[size_t(i)].x || got[size_t(i)].width != want[size_t(i)].width
                || got[size_t(i)].type != want[size_t(i)].type)
                return false;
        return true;
    };
    QVERIFY(drawsRight(0));

    unsigned w3[3] = {3, 0, 0};
    QVERIFY(s.modifyFilter(w3));
    QVERIFY(s.searchIndexValid(0));
    QVERIFY(flatten(s.chnData[0]) != a.entries());
    QVERIFY(drawsRight(0));
    unsigned w9[3] = {9, 2, 0};
    QVERIFY(s.modifyFilter(w9));
    QVERIFY(s.searchIndexValid(0));
    QVERIFY(s.searchIndexValid(1));
    QVERIFY(drawsRight(0));
    QVERIFY(drawsRight(1));
    QVERIFY(s.updateFilter());
    QVERIFY(s.searchIndexValid(0));
    QVERIFY(drawsRight(0));
    unsigned w0[3] = {0, 0, 0};
    QVERIFY(s.modifyFilter(w0));
    QCOMPARE(flatten(s.chnData[0]), a.entries());
    QVERIFY(s.searchIndexValid(0));
    QVERIFY(drawsRight(0));

    // Lists swapped in from outside: the stale index is not used, and a
    // rebuild makes it match again.
    std::swap(s.chnData[0], s.chnData[1]);
    QVERIFY(!s.searchIndexValid(0));
    QVERIFY(!s.searchIndexValid(1));
    QVERIFY(drawsRight(0));
    QVERIFY(drawsRight(1));
    s.rebuildSearchIndex();
    QVERIFY(s.searchIndexValid(0));
    QVERIFY(s.searchIndexValid(1));
    QVERIFY(drawsRight(0));
    std::swap(s.chnData[0], s.chnData[1]);

    // A list changed after completion (a longer capture of the same channel)
    // no longer matches its stamp.
    SmpData::appendEntry(s.chnData[1], a.count + 10);
    s.chnData[1]->groups[s.chnData[1]->groupNum - 1]
        ->blockLast[s.chnData[1]->groups[s.chnData[1]->groupNum - 1]->blockNum - 1] = a.count + 10;
    s.chnData[1]->groupLast[s.chnData[1]->groupNum - 1] = a.count + 10;
    QVERIFY(!s.searchIndexValid(1));

    s.clearData();
    for (int c = 0; c < 3; ++c)
        QVERIFY(!s.searchIndexValid(c));
    buildStore(s, {b}, a.count);
    QVERIFY(s.searchIndexValid(0));
    QVERIFY(!s.searchIndexValid(1));
    QVERIFY(drawsRight(0));
}

void TstStoreFast::filterMatchesPlainRules_data()
{
    QTest::addColumn<qlonglong>("start");
    QTest::addColumn<uint>("width");
    QTest::addColumn<qlonglong>("gap");
    QTest::newRow("w3, steps 1..8") << qlonglong(0) << 3u << qlonglong(8);
    QTest::newRow("w1, steps 1..3") << qlonglong(0) << 1u << qlonglong(3);
    QTest::newRow("w5, steps 1..6") << qlonglong(0) << 5u << qlonglong(6);
    QTest::newRow("w3 across 2^32") << qlonglong((1LL << 32) - 30000) << 3u << qlonglong(8);
    QTest::newRow("w7 beyond 2^35") << qlonglong((1LL << 35) + 3) << 7u << qlonglong(20);
}

void TstStoreFast::filterMatchesPlainRules()
{
    QFETCH(qlonglong, start);
    QFETCH(uint, width);
    QFETCH(qlonglong, gap);
    std::mt19937_64 rng(uint64_t(start) + width * 131 + uint64_t(gap));
    for (int round = 0; round < 3; ++round) {
        RefChannel ref;
        ref.initLevel = round & 1;
        long long p = start + (round == 1 ? 0 : 1 + (long long)(rng() % 3));
        const int n = round == 2 ? 7 : denseEdgeCount();
        for (int i = 0; i < n; ++i) {
            if (i > 0 || round != 1)
                p += 1 + (long long)(rng() % (unsigned long long)gap);
            ref.edges.push_back(p);
        }
        ref.count = p + 1 + (long long)(rng() % (unsigned long long)(2 * width));
        SmpData s(1);
        buildStore(s, {ref}, ref.count);
        DigitalChnData* out = new DigitalChnData;
        QVERIFY(SmpData::dataFilter(s.chnData[0], out, width));
        const std::vector<long long> got = flatten(out);
        SmpData::clearOneChn(out);
        QCOMPARE(got, plainFilter(ref.entries(), width));
    }
}

// Repeated step patterns that put glitches at every place of a run of four
// entries, exactly at the width and one above it, across 2^32 and into the
// end entry; the list is also checked for its shape and its search index.
void TstStoreFast::filterPatternsMatchPlainRules_data()
{
    QTest::addColumn<qlonglong>("start");
    QTest::addColumn<uint>("width");
    QTest::addColumn<std::vector<long long>>("steps");   // repeated
    QTest::addColumn<int>("edges");
    QTest::addColumn<qlonglong>("tail");                  // end entry minus last edge
    const int n = denseEdgeCount();
    using V = std::vector<long long>;
    QTest::newRow("only long steps") << 0LL << 3u << V{4, 9, 5} << n << 4LL;
    QTest::newRow("steps at and above the width") << 0LL << 3u << V{4, 3, 4, 4, 4, 4, 3, 3, 4} << n << 3LL;
    QTest::newRow("one glitch in five") << 7LL << 3u << V{5, 5, 5, 5, 1} << n << 2LL;
    QTest::newRow("glitch pairs in seven") << 0LL << 3u << V{5, 5, 5, 1, 5, 2, 2} << n << 9LL;
    QTest::newRow("width 1") << 0LL << 1u << V{2, 1, 2, 2, 2, 1, 1, 2, 2} << n << 1LL;
    QTest::newRow("width 0 keeps every edge") << 0LL << 0u << V{1, 2, 1, 1} << n << 1LL;
    QTest::newRow("long steps across 2^32") << qlonglong((1LL << 32) - 40003) << 3u << V{4, 7, 5, 1} << n << 5LL;
    QTest::newRow("no edge") << 0LL << 3u << V{5} << 0 << 100LL;
    QTest::newRow("one long edge") << 0LL << 3u << V{5} << 1 << 100LL;
    QTest::newRow("one edge, glitch at the end") << 0LL << 3u << V{5} << 1 << 2LL;
    QTest::newRow("four long edges") << 0LL << 3u << V{5} << 4 << 6LL;
}

void TstStoreFast::filterPatternsMatchPlainRules()
{
    QFETCH(qlonglong, start);
    QFETCH(uint, width);
    QFETCH(std::vector<long long>, steps);
    QFETCH(int, edges);
    QFETCH(qlonglong, tail);
    RefChannel ref;
    ref.initLevel = 1;
    long long p = start;
    for (int i = 0; i < edges; ++i) {
        p += steps[size_t(i) % steps.size()];
        ref.edges.push_back(p);
    }
    ref.count = p + tail;
    SmpData s(1);
    buildStore(s, {ref}, ref.count);
    SmpData::FilteredChn f;
    QVERIFY(SmpData::buildFiltered(s.chnData[0], width, &f));
    const std::vector<long long> got = flatten(f.list);
    QString why;
    const bool shape = listShapeOk(f.list, &why);
    const bool indexed = f.index.matches(f.list);
    SmpData::clearOneChn(f.list);
    QVERIFY2(shape, qPrintable(why));
    QVERIFY(indexed);
    QCOMPARE(got, plainFilter(ref.entries(), width));
    // The search index sampled while filtering: every Step-th entry.
    std::vector<long long> every;
    for (size_t k = 0; k < got.size(); k += SmpSearchIndex::Step)
        every.push_back(got[k]);
    QCOMPARE(f.index.sample, every);
    if (width == 0)
        QCOMPARE(got, ref.entries());
}

QTEST_APPLESS_MAIN(TstStoreFast)
#include "tst_storefast.moc"
