// Raw capture converters against plain reference decoders, on the documented
// examples and on random data fed whole and split at every offset.
#include "storeref.h"

#include "device/wordquiet.h"

#include <QtTest>

#include <cstring>

namespace {

using Bytes = std::vector<unsigned char>;

struct Decoded {
    std::vector<std::vector<long long>> edges;   // per channel, before completion
    long long count = 0;
    unsigned long long initLevels = 0;
    long long trgPosition = 0;
    int badRecordOffset = -1;
};

bool operator==(const Decoded& a, const Decoded& b)
{
    return a.edges == b.edges && a.count == b.count && a.initLevels == b.initLevels
        && a.trgPosition == b.trgPosition;
}

char* toString(const Decoded& d)
{
    QString s = QString("count %1 init %2 trg %3 |").arg(d.count).arg(d.initLevels, 0, 16).arg(d.trgPosition);
    for (size_t c = 0; c < d.edges.size(); ++c) {
        s += QString(" ch%1:").arg(c);
        for (size_t k = 0; k < d.edges[c].size() && k < 12; ++k)
            s += QString(" %1").arg(d.edges[c][k]);
        if (d.edges[c].size() > 12)
            s += QString(" ... (%1)").arg(d.edges[c].size());
    }
    return qstrdup(qPrintable(s));
}

Decoded stateOf(const SmpData& s)
{
    Decoded d;
    for (int c = 0; c < s.chnNum; ++c)
        d.edges.push_back(flatten(s.chnData[size_t(c)]));
    d.count = s.smpCount;
    d.initLevels = s.initLevels;
    d.trgPosition = s.trgPosition;
    d.badRecordOffset = s.badRecordOffset;
    return d;
}

void start(SmpData& s, unsigned long long mask, int trgRecord = 0)
{
    bool ena[64] = {};
    for (int c = 0; c < s.chnNum; ++c)
        ena[c] = (mask >> c) & 1;
    s.dataConvertStart(trgRecord, 1000000, ena);
}

// ---- plain reference decoders

// Buffer-mode frames: records of levelBytes level bytes and one run byte.
Decoded refFrames(const Bytes& buf, int frameBytes, int records, int levelBytes, bool checked,
                  int chnNum, unsigned long long mask, int trgRecord)
{
    Decoded d;
    d.edges.resize(size_t(chnNum));
    const int recBytes = levelBytes + 1;
    unsigned long long prev = 0;
    long long recNo = 0;
    for (size_t f = 0; f + size_t(frameBytes) <= buf.size(); f += size_t(frameBytes)) {
        for (int r = 0; r < records; ++r) {
            const size_t at = f + size_t(r * recBytes);
            unsigned long long lv = 0;
            for (int b = 0; b < levelBytes; ++b)
                lv |= (unsigned long long)buf[at + size_t(b)] << (8 * b);
            if (f == 0 && r == 0) {
                prev = lv;
                d.initLevels = lv;
            }
            for (int c = 0; c < chnNum && c < levelBytes * 8; ++c)
                if (((mask >> c) & 1) && (((prev ^ lv) >> c) & 1))
                    d.edges[size_t(c)].push_back(d.count);
            const int run = buf[at + size_t(levelBytes)];
            d.count += run;
            if (run == 0)
                d.badRecordOffset = int(at);
            prev = lv;
            if (++recNo == trgRecord)
                d.trgPosition = d.count;
        }
        if (checked && (buf[f + size_t(frameBytes) - 2] ^ buf[f + size_t(frameBytes) - 1]) != 0xFF)
            d.badRecordOffset = int(f) + frameBytes - 2;
    }
    return d;
}

// Byte stream: byte 0 gives the start levels, sample 0 is byte `first`.
Decoded refBytes(const Bytes& buf, int first, int chnNum, unsigned long long mask)
{
    Decoded d;
    d.edges.resize(size_t(chnNum));
    if (buf.empty())
        return d;
    d.initLevels = buf[0];
    unsigned prev = buf[0];
    for (size_t i = size_t(first); i < buf.size(); ++i) {
        for (int c = 0; c < chnNum && c < 8; ++c)
            if (((mask >> c) & 1) && (((prev ^ buf[i]) >> c) & 1))
                d.edges[size_t(c)].push_back((long long)i - first);
        prev = buf[i];
    }
    d.count = (long long)buf.size() - first;
    return d;
}

// Word stream: expand every enabled channel to single samples, then diff.
Decoded refWords(const Bytes& buf, int first, int chnNum, unsigned long long mask)
{
    Decoded d;
    d.edges.resize(size_t(chnNum));
    std::vector<int> order;
    for (int c = 0; c < chnNum; ++c)
        if ((mask >> c) & 1)
            order.push_back(c);
    if (order.empty())
        return d;
    std::vector<std::vector<int>> samples((size_t(chnNum)));
    size_t words = (buf.size() - size_t(first)) / 2;
    for (size_t w = 0; w < words; ++w) {
        const unsigned v = buf[size_t(first) + 2 * w] | (buf[size_t(first) + 2 * w + 1] << 8);
        const int ch = order[w % order.size()];
        for (int j = 0; j < 16; ++j)
            samples[size_t(ch)].push_back((v >> j) & 1);
    }
    for (int ch : order) {
        const std::vector<int>& s = samples[size_t(ch)];
        if (s.empty())
            continue;
        if (s[0])
            d.initLevels |= 1ULL << ch;
        for (size_t i = 1; i < s.size(); ++i)
            if (s[i] != s[i - 1])
                d.edges[size_t(ch)].push_back((long long)i);
    }
    d.count = 16 * (long long)(words / order.size());
    return d;
}

// ---- random raw data with a mix of quiet and busy stretches

Bytes randomFrames(std::mt19937_64& rng, int frames, int frameBytes, int records, int levelBytes,
                   bool zeroRuns)
{
    Bytes b(size_t(frames * frameBytes));
    unsigned long long level = rng();
    for (int f = 0; f < frames; ++f) {
        unsigned char* fr = b.data() + f * frameBytes;
        for (int r = 0; r < records; ++r) {
            if (rng() % 3)
                level ^= 1ULL << (rng() % unsigned(levelBytes * 8));
            if (rng() % 7 == 0)
                level = rng();
            for (int i = 0; i < levelBytes; ++i)
                fr[r * (levelBytes + 1) + i] = (unsigned char)(level >> (8 * i));
            int run = zeroRuns && rng() % 9 == 0 ? 0 : 1 + int(rng() % 255);
            fr[r * (levelBytes + 1) + levelBytes] = (unsigned char)run;
        }
        for (int i = records * (levelBytes + 1); i < frameBytes; ++i)
            fr[i] = (unsigned char)rng();
    }
    return b;
}

Bytes randomStream(std::mt19937_64& rng, size_t n, bool words)
{
    Bytes b(n);
    unsigned char cur = (unsigned char)rng();
    for (size_t i = 0; i < n; ++i) {
        switch (rng() % 6) {
        case 0: cur = (unsigned char)rng(); break;            // busy
        case 1: cur ^= (unsigned char)(1u << (rng() % 8)); break;
        default: break;                                       // quiet
        }
        b[i] = words && rng() % 4 ? (unsigned char)(cur & 1 ? 0xFF : 0x00) : cur;
    }
    return b;
}

// Word stream in which each of `enabled` channels mostly repeats its level,
// so whole cycles carry no edge, with a rare word that changes inside.
Bytes quietWords(std::mt19937_64& rng, size_t words, int enabled, size_t lead)
{
    Bytes b(lead + 2 * words);
    for (size_t i = 0; i < lead; ++i)
        b[i] = (unsigned char)rng();
    std::vector<unsigned> level((size_t(enabled)));
    for (unsigned& l : level)
        l = rng() & 1 ? 0xFFFF : 0;
    for (size_t w = 0; w < words; ++w) {
        unsigned& l = level[w % size_t(enabled)];
        unsigned v = l;
        if (rng() % 150 == 0) {
            const unsigned j = 1 + unsigned(rng() % 15);
            v = (l & ((1u << j) - 1)) | (~l & 0xFFFF & ~((1u << j) - 1));
            l = v & 0x8000 ? 0xFFFF : 0;
        }
        b[lead + 2 * w] = (unsigned char)v;
        b[lead + 2 * w + 1] = (unsigned char)(v >> 8);
    }
    return b;
}

// Word stream of `enabled` channels where the first changes every few dozen
// samples and the others every few thousand: most words repeat their level
// but few stretches of whole cycles do.
Bytes mixedWords(std::mt19937_64& rng, size_t words, int enabled)
{
    Bytes b(2 * words);
    std::vector<int> level(size_t(enabled), 0);
    for (size_t w = 0; w < words; ++w) {
        const size_t ch = w % size_t(enabled);
        const unsigned odds = ch == 0 ? 40 : 4000;
        unsigned v = 0;
        for (int k = 0; k < 16; ++k) {
            if (rng() % odds == 0)
                level[ch] ^= 1;
            v |= unsigned(level[ch]) << k;
        }
        b[2 * w] = (unsigned char)v;
        b[2 * w + 1] = (unsigned char)(v >> 8);
    }
    return b;
}

// Splits of [0, n): one cut at each offset, or several random cuts.
std::vector<std::vector<size_t>> cutSets(std::mt19937_64& rng, size_t from, size_t n)
{
    std::vector<std::vector<size_t>> sets;
    for (size_t k = from; k <= n; ++k)
        sets.push_back({k});
    for (int t = 0; t < 40; ++t) {
        std::vector<size_t> cuts;
        int m = 2 + int(rng() % 6);
        for (int i = 0; i < m; ++i)
            cuts.push_back(from + size_t(rng() % (n - from + 1)));
        std::sort(cuts.begin(), cuts.end());
        sets.push_back(cuts);
    }
    return sets;
}

} // namespace

class TstRawConvert : public QObject {
    Q_OBJECT
private slots:
    void frames16Example();
    void zeroRunRecorded();
    void frames32CheckBytes_data();
    void frames32CheckBytes();
    void shortFrameBuffers_data();
    void shortFrameBuffers();
    void framesMatchReference_data();
    void framesMatchReference();
    void framesSplitAnywhere_data();
    void framesSplitAnywhere();
    void firstBufferOfZeroRuns();
    void framesTrigger();
    void bytesMatchReference();
    void bytesSplitAnywhere();
    void bytesEmptyFirstBuffer();
    void wordsExample();
    void wordsCycleAcrossBuffers();
    void wordsMatchReference_data();
    void wordsMatchReference();
    void wordsEmptyFirstBuffer();
    void simuRuns();
    void simuZeroRunsCancel();
    void completeAfterStream();
    void converterOutOfMemory();
    void quietWordMasks();
};

void TstRawConvert::frames16Example()
{
    // First record level 0x0005 for 10 samples, then 0x0004 for 3.
    const Bytes frame = {0x05, 0x00, 10, 0x04, 0x00, 3, 0x04, 0x00, 0,
                         0x04, 0x00, 0,  0x04, 0x00, 0, 0x00};
    SmpData s(16);
    start(s, 0xFFFF);
    int consumed = 0;
    QVERIFY(s.dataConvertP5_16(frame.data(), int(frame.size()), &consumed));
    QCOMPARE(consumed, 16);
    QCOMPARE(s.initLevels, 5ULL);
    QCOMPARE(flatten(s.chnData[0]), std::vector<long long>{10});
    QCOMPARE(flatten(s.chnData[2]), std::vector<long long>{});
    QCOMPARE(s.smpCount, 13LL);
    QCOMPARE(s.badRecordOffset, 12);   // records 2-4 had no samples: the last one is reported
}

void TstRawConvert::zeroRunRecorded()
{
    Bytes buf(32, 0);
    for (int r = 0; r < 5; ++r) {
        buf[size_t(r * 3 + 2)] = 4;
        buf[size_t(16 + r * 3 + 2)] = 4;
    }
    buf[16 + 2 * 3 + 2] = 0;   // frame 1, record 2
    SmpData s(16);
    start(s, 0xFFFF);
    int consumed = 0;
    QVERIFY(s.dataConvertP5_16(buf.data(), int(buf.size()), &consumed));
    QCOMPARE(s.badRecordOffset, 16 + 6);
    QCOMPARE(s.smpCount, 9LL * 4);
}

void TstRawConvert::frames32CheckBytes_data()
{
    QTest::addColumn<int>("b30");
    QTest::addColumn<int>("b31");
    QTest::addColumn<int>("bad");
    QTest::newRow("0x5A 0xA5 accepted") << 0x5A << 0xA5 << -1;
    QTest::newRow("0x5A 0x5A damaged") << 0x5A << 0x5A << 32 + 30;
    QTest::newRow("0x00 0xFF accepted") << 0x00 << 0xFF << -1;
}

void TstRawConvert::frames32CheckBytes()
{
    QFETCH(int, b30);
    QFETCH(int, b31);
    QFETCH(int, bad);
    Bytes buf(64, 0);
    for (int f = 0; f < 2; ++f) {
        for (int r = 0; r < 6; ++r)
            buf[size_t(f * 32 + r * 5 + 4)] = 1;
        buf[size_t(f * 32 + 30)] = 0x00;
        buf[size_t(f * 32 + 31)] = 0xFF;
    }
    buf[32 + 30] = (unsigned char)b30;
    buf[32 + 31] = (unsigned char)b31;
    SmpData s(32);
    start(s, 0xFFFFFFFF);
    int consumed = 0;
    QVERIFY(s.dataConvertP6_32(buf.data(), 64, &consumed));
    QCOMPARE(consumed, 64);
    QCOMPARE(s.smpCount, 12LL);
    QCOMPARE(s.badRecordOffset, bad);
}

void TstRawConvert::shortFrameBuffers_data()
{
    QTest::addColumn<bool>("wide");
    QTest::addColumn<int>("len");
    QTest::newRow("16-ch 0") << false << 0;
    QTest::newRow("16-ch 1") << false << 1;
    QTest::newRow("16-ch 15") << false << 15;
    QTest::newRow("32-ch 1") << true << 1;
    QTest::newRow("32-ch 31") << true << 31;
}

void TstRawConvert::shortFrameBuffers()
{
    QFETCH(bool, wide);
    QFETCH(int, len);
    // The short buffer sits at the very end of an allocation: reading its
    // first record anyway would be caught by the sanitizer build.
    std::unique_ptr<unsigned char[]> buf(new unsigned char[size_t(std::max(len, 1))]);
    std::memset(buf.get(), 0x33, size_t(std::max(len, 1)));
    SmpData s(wide ? 32 : 16);
    start(s, 0xFFFF);
    int consumed = 5;
    bool ok = wide ? s.dataConvertP6_32(buf.get(), len, &consumed)
                   : s.dataConvertP5_16(buf.get(), len, &consumed);
    QVERIFY(ok);
    QCOMPARE(consumed, 5 + len);
    QCOMPARE(s.smpCount, 0LL);
    QCOMPARE(s.initLevels, 0ULL);
    for (int c = 0; c < 16; ++c)
        QCOMPARE(tavEntryCount(s.chnData[size_t(c)]), 0LL);
}

void TstRawConvert::framesMatchReference_data()
{
    QTest::addColumn<bool>("wide");
    QTest::addColumn<int>("chnNum");
    QTest::addColumn<qulonglong>("mask");
    QTest::newRow("16 of 16") << false << 16 << qulonglong(0xFFFF);
    QTest::newRow("some of 16") << false << 16 << qulonglong(0x8421);
    QTest::newRow("8-channel model") << false << 8 << qulonglong(0xFF);
    QTest::newRow("32 of 32") << true << 32 << qulonglong(0xFFFFFFFF);
    QTest::newRow("some of 32") << true << 32 << qulonglong(0x80010003);
}

void TstRawConvert::framesMatchReference()
{
    QFETCH(bool, wide);
    QFETCH(int, chnNum);
    QFETCH(qulonglong, mask);
    const int fb = wide ? 32 : 16, rec = wide ? 6 : 5, lb = wide ? 4 : 2;
    std::mt19937_64 rng(mask ^ 0x1234);
    for (int round = 0; round < 20; ++round) {
        const int frames = round == 0 ? 3 * DataBlock::Capacity / rec + 5 : 1 + int(rng() % 300);
        Bytes buf = randomFrames(rng, frames, fb, rec, lb, true);
        // Trailing bytes of an unfinished frame are held back, not read.
        const int extra = int(rng() % unsigned(fb));
        buf.resize(buf.size() + size_t(extra), 0xEE);
        const int trg = 1 + int(rng() % unsigned(frames * rec));
        Decoded want = refFrames(buf, fb, rec, lb, wide, chnNum, mask, trg);
        SmpData s(chnNum);
        start(s, mask, trg);
        int consumed = 0;
        QVERIFY(wide ? s.dataConvertP6_32(buf.data(), int(buf.size()), &consumed)
                     : s.dataConvertP5_16(buf.data(), int(buf.size()), &consumed));
        QCOMPARE(consumed, int(buf.size()));
        Decoded got = stateOf(s);
        QCOMPARE(got, want);
        QCOMPARE(got.badRecordOffset, want.badRecordOffset);
        for (int c = 0; c < chnNum; ++c)
            if (!((mask >> c) & 1))
                QVERIFY(s.chnData[size_t(c)] == nullptr);
    }
}

void TstRawConvert::framesSplitAnywhere_data()
{
    QTest::addColumn<bool>("wide");
    QTest::newRow("16-channel frames") << false;
    QTest::newRow("32-channel frames") << true;
}

void TstRawConvert::framesSplitAnywhere()
{
    QFETCH(bool, wide);
    const int fb = wide ? 32 : 16, rec = wide ? 6 : 5, lb = wide ? 4 : 2;
    const int chnNum = wide ? 32 : 16;
    const unsigned long long mask = wide ? 0xF0F0F0F3ULL : 0xFFFFULL;
    std::mt19937_64 rng(wide ? 77 : 78);
    Bytes buf = randomFrames(rng, 9, fb, rec, lb, true);
    const int trg = 17;
    SmpData whole(chnNum);
    start(whole, mask, trg);
    int consumed = 0;
    QVERIFY(wide ? whole.dataConvertP6_32(buf.data(), int(buf.size()), &consumed)
                 : whole.dataConvertP5_16(buf.data(), int(buf.size()), &consumed));
    const Decoded want = stateOf(whole);
    QCOMPARE(want, refFrames(buf, fb, rec, lb, wide, chnNum, mask, trg));

    for (const std::vector<size_t>& cuts : cutSets(rng, 0, buf.size())) {
        SmpData s(chnNum);
        start(s, mask, trg);
        int total = 0;
        size_t from = 0;
        std::vector<size_t> ends = cuts;
        ends.push_back(buf.size());
        for (size_t to : ends) {
            // Each piece in its own allocation, so reading past it is caught.
            Bytes piece(buf.begin() + long(from), buf.begin() + long(to));
            int c = 0;
            QVERIFY(wide ? s.dataConvertP6_32(piece.data(), int(piece.size()), &c)
                         : s.dataConvertP5_16(piece.data(), int(piece.size()), &c));
            QCOMPARE(c, int(piece.size()));
            total += c;
            from = to;
        }
        QCOMPARE(total, int(buf.size()));
        const Decoded got = stateOf(s);
        if (!(got == want))
            QFAIL(qPrintable(QString("cut at %1: %2").arg(cuts[0]).arg(toString(got))));
    }
}

void TstRawConvert::firstBufferOfZeroRuns()
{
    // A first buffer whose runs are all zero still starts the capture; the
    // next buffer must not take its first level as the start level again.
    Bytes first(16, 0), second(16, 0);
    for (int r = 0; r < 5; ++r) {
        first[size_t(r * 3)] = 0x03;      // channels 0 and 1 high, no samples
        second[size_t(r * 3)] = 0x01;     // channel 1 falls
        second[size_t(r * 3 + 2)] = 10;
    }
    SmpData s(16);
    start(s, 0xFFFF);
    int consumed = 0;
    QVERIFY(s.dataConvertP5_16(first.data(), 16, &consumed));
    QCOMPARE(s.smpCount, 0LL);
    QVERIFY(s.dataConvertP5_16(second.data(), 16, &consumed));
    QCOMPARE(s.initLevels, 3ULL);
    QCOMPARE(flatten(s.chnData[1]), std::vector<long long>{0});
    QCOMPARE(s.smpCount, 50LL);
    QVERIFY(s.dataConvertComplete(50));
    QCOMPARE(s.getPointLevel(0, 0), 1);
    QCOMPARE(s.getPointLevel(1, 0), 0);

    // A second capture in the same store starts afresh.
    start(s, 0xFFFF);
    QVERIFY(s.dataConvertP5_16(second.data(), 16, &consumed));
    QCOMPARE(s.initLevels, 1ULL);
    QCOMPARE(tavEntryCount(s.chnData[1]), 0LL);
}

void TstRawConvert::framesTrigger()
{
    Bytes buf(48, 0);
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 5; ++r)
            buf[size_t(f * 16 + r * 3 + 2)] = (unsigned char)(r + 1);   // runs 1..5
    SmpData s(16);
    start(s, 0xFFFF, 7);   // after record 7: 15 + 1 + 2
    int consumed = 0;
    QVERIFY(s.dataConvertP5_16(buf.data(), 20, &consumed));
    QVERIFY(s.dataConvertP5_16(buf.data() + 20, 28, &consumed));
    QCOMPARE(s.trgPosition, 18LL);
    QCOMPARE(s.smpCount, 45LL);
}

void TstRawConvert::bytesMatchReference()
{
    std::mt19937_64 rng(91);
    for (int round = 0; round < 30; ++round) {
        const size_t n = round == 0 ? size_t(8 * DataBlock::Capacity + 77) : 1 + size_t(rng() % 5000);
        Bytes buf = randomStream(rng, n, false);
        const int first = int(rng() % std::min<size_t>(n, 5));
        const unsigned long long mask = round % 3 ? 0xFF : (rng() & 0xFF);
        SmpData s(8);
        start(s, mask);
        long long count = -1;
        QVERIFY(s.dataConvertP1_8(buf.data(), int(n), first, &count));
        QCOMPARE(count, (long long)n - first);
        QCOMPARE(stateOf(s), refBytes(buf, first, 8, mask));
    }
}

void TstRawConvert::bytesSplitAnywhere()
{
    std::mt19937_64 rng(92);
    Bytes buf = randomStream(rng, 300, false);
    // Long quiet stretches too, so the word-at-a-time skip meets the cuts.
    for (size_t i = 100; i < 220; ++i)
        buf[i] = buf[99];
    const int first = 3;
    const Decoded want = refBytes(buf, first, 8, 0xFF);
    for (const std::vector<size_t>& cuts : cutSets(rng, size_t(first) + 1, buf.size())) {
        SmpData s(8);
        start(s, 0xFF);
        size_t from = 0;
        std::vector<size_t> ends = cuts;
        ends.push_back(buf.size());
        bool firstCall = true;
        long long count = -1;
        for (size_t to : ends) {
            Bytes piece(buf.begin() + long(from), buf.begin() + long(to));
            QVERIFY(s.dataConvertP1_8(piece.data(), int(piece.size()), firstCall ? first : -1, &count));
            firstCall = false;
            from = to;
        }
        QCOMPARE(count, want.count);
        QCOMPARE(stateOf(s), want);
    }
}

void TstRawConvert::bytesEmptyFirstBuffer()
{
    // An empty first buffer must not be read; the capture starts with the next one.
    Bytes buf = {0x01, 0x01, 0x03, 0x02};
    SmpData s(8);
    start(s, 0xFF);
    long long count = -1;
    std::unique_ptr<unsigned char[]> none(new unsigned char[1]);
    QVERIFY(s.dataConvertP1_8(none.get(), 0, 0, &count));
    QCOMPARE(count, 0LL);
    QVERIFY(s.dataConvertP1_8(buf.data(), 4, -1, &count));
    QCOMPARE(stateOf(s), refBytes(buf, 0, 8, 0xFF));
    QCOMPARE(count, 4LL);
}

void TstRawConvert::wordsExample()
{
    // Channels 2 and 5 enabled: words alternate 2, 5.
    SmpData s(16);
    start(s, (1 << 2) | (1 << 5));
    const Bytes cycle0 = {0x00, 0x00, 0xFF, 0xFF};   // ch2 low, ch5 high
    long long count = -1;
    QVERIFY(s.dataConvertS16_N(cycle0.data(), 4, 0, &count));
    QCOMPARE(count, 16LL);
    QCOMPARE(s.initLevels, 1ULL << 5);
    QCOMPARE(s.chnOrder[0], 2);
    QCOMPARE(s.chnOrder[1], 5);
    // 0x0001 for channel 2 at level 0: rises at 16 + 0, falls at 16 + 1.
    const Bytes w2 = {0x01, 0x00};
    QVERIFY(s.dataConvertS16_N(w2.data(), 2, -1, &count));
    QCOMPARE(count, 16LL);   // the cycle is not finished until channel 5's word
    QCOMPARE(flatten(s.chnData[2]), (std::vector<long long>{16, 17}));
    const Bytes w5 = {0xFF, 0x7F};
    QVERIFY(s.dataConvertS16_N(w5.data(), 2, -1, &count));
    QCOMPARE(count, 32LL);
    QCOMPARE(flatten(s.chnData[5]), std::vector<long long>{31});
    QCOMPARE(s.chnLevel[5], 0u);
    QCOMPARE(s.chnLevel[2], 0u);
}

void TstRawConvert::wordsCycleAcrossBuffers()
{
    // Three enabled channels: a 6-byte cycle never lines up with the buffers,
    // and the start levels come from a cycle split over two buffers.
    const unsigned long long mask = 0b1011;
    Bytes buf = {0x01, 0x00, 0xFE, 0xFF, 0xF0, 0x0F,  0x00, 0x00, 0xFF, 0xFF, 0x0F, 0x00};
    SmpData s(4);
    start(s, mask);
    long long count = -1;
    QVERIFY(s.dataConvertS16_N(buf.data(), 3, 0, &count));   // ends inside a word
    QCOMPARE(count, 0LL);
    QVERIFY(s.dataConvertS16_N(buf.data() + 3, 5, -1, &count));
    QCOMPARE(count, 16LL);
    QVERIFY(s.dataConvertS16_N(buf.data() + 8, 4, -1, &count));
    QCOMPARE(count, 32LL);
    QCOMPARE(stateOf(s), refWords(buf, 0, 4, mask));
    QCOMPARE(s.initLevels, 0b0001ULL);
}

void TstRawConvert::wordsMatchReference_data()
{
    QTest::addColumn<int>("chnNum");
    QTest::addColumn<qulonglong>("mask");
    QTest::newRow("1 of 16") << 16 << qulonglong(0x0100);
    QTest::newRow("2 of 16") << 16 << qulonglong(0x0024);
    QTest::newRow("3 of 16") << 16 << qulonglong(0x1005);
    QTest::newRow("5 of 16") << 16 << qulonglong(0x801F & 0x8017);
    QTest::newRow("7 of 16") << 16 << qulonglong(0x7F00);
    QTest::newRow("16 of 16") << 16 << qulonglong(0xFFFF);
    QTest::newRow("9 of 32") << 32 << qulonglong(0x810300F1);
    QTest::newRow("32 of 32") << 32 << qulonglong(0xFFFFFFFF);
}

void TstRawConvert::wordsMatchReference()
{
    QFETCH(int, chnNum);
    QFETCH(qulonglong, mask);
    std::mt19937_64 rng(mask * 31 + 7);
    // Whole buffers of several sizes.
    for (int round = 0; round < 10; ++round) {
        const size_t n = round == 0 ? size_t(40 * DataBlock::Capacity + 11) : size_t(rng() % 4000);
        Bytes buf = randomStream(rng, n + 8, true);
        const int first = int(rng() % 8);
        SmpData s(chnNum);
        start(s, mask);
        long long count = -1;
        QVERIFY(s.dataConvertS16_N(buf.data(), int(buf.size()), first, &count));
        const Decoded want = refWords(buf, first, chnNum, mask);
        QCOMPARE(count, want.count);
        QCOMPARE(stateOf(s), want);
    }
    // Mostly quiet streams: long runs of unchanged cycles between changes.
    const int enabled = __builtin_popcountll(mask);
    for (int round = 0; round < 6; ++round) {
        const size_t lead = size_t(rng() % 5);
        Bytes buf = quietWords(rng, size_t(enabled) * (200 + rng() % 3000) + rng() % 7, enabled, lead);
        SmpData s(chnNum);
        start(s, mask);
        long long count = -1;
        QVERIFY(s.dataConvertS16_N(buf.data(), int(buf.size()), int(lead), &count));
        const Decoded want = refWords(buf, int(lead), chnNum, mask);
        QCOMPARE(count, want.count);
        QCOMPARE(stateOf(s), want);
    }
    // One busy channel beside quiet ones, in buffers of random sizes.
    for (int round = 0; round < 4; ++round) {
        const Bytes buf = mixedWords(rng, size_t(enabled) * (500 + rng() % 4000) + rng() % 3, enabled);
        const Decoded want = refWords(buf, 0, chnNum, mask);
        SmpData s(chnNum);
        start(s, mask);
        long long count = -1;
        for (size_t from = 0; from < buf.size();) {
            const size_t len = std::min(buf.size() - from, size_t(1 + rng() % 3000));
            QVERIFY(s.dataConvertS16_N(buf.data() + from, int(len), from == 0 ? 0 : -1, &count));
            from += len;
        }
        QCOMPARE(count, want.count);
        QCOMPARE(stateOf(s), want);
    }
    // A clock whose period divides 16 samples repeats the same word every
    // cycle, edges and all, beside channels that hold their level.
    for (const unsigned clock : {0x5555u, 0x0F0Fu, 0x00FFu}) {
        const size_t cycles = 3000;
        const size_t at = size_t(rng() % unsigned(enabled));
        Bytes buf(2 * cycles * size_t(enabled));
        for (size_t w = 0; w < buf.size() / 2; ++w) {
            const size_t ord = w % size_t(enabled);
            const unsigned v = ord == at ? clock : (ord % 3 == 0 ? 0xFFFFu : 0u);
            buf[2 * w] = (unsigned char)v;
            buf[2 * w + 1] = (unsigned char)(v >> 8);
        }
        const Decoded want = refWords(buf, 0, chnNum, mask);
        SmpData s(chnNum);
        start(s, mask);
        long long count = -1;
        QVERIFY(s.dataConvertS16_N(buf.data(), int(buf.size()), 0, &count));
        QCOMPARE(count, want.count);
        QCOMPARE(stateOf(s), want);
    }
    // Both kinds cut at every offset, including odd ones.
    for (int kind = 0; kind < 2; ++kind) {
        Bytes buf = kind == 0 ? randomStream(rng, 200, true)
                              : quietWords(rng, size_t(enabled) * 40 + 3, enabled, 2);
        const int first = 2;
        const Decoded want = refWords(buf, first, chnNum, mask);
        for (const std::vector<size_t>& cuts : cutSets(rng, size_t(first), buf.size())) {
            SmpData s(chnNum);
            start(s, mask);
            size_t from = 0;
            std::vector<size_t> ends = cuts;
            ends.push_back(buf.size());
            bool firstCall = true;
            long long count = -1;
            for (size_t to : ends) {
                Bytes piece(buf.begin() + long(from), buf.begin() + long(to));
                QVERIFY(s.dataConvertS16_N(piece.data(), int(piece.size()), firstCall ? first : -1, &count));
                firstCall = false;
                from = to;
            }
            const Decoded got = stateOf(s);
            if (!(got == want))
                QFAIL(qPrintable(QString("cut at %1: %2").arg(cuts[0]).arg(toString(got))));
        }
    }
}

void TstRawConvert::wordsEmptyFirstBuffer()
{
    SmpData s(16);
    start(s, 0x0003);
    long long count = -1;
    std::unique_ptr<unsigned char[]> none(new unsigned char[1]);
    QVERIFY(s.dataConvertS16_N(none.get(), 0, 0, &count));
    QVERIFY(s.dataConvertS16_N(none.get(), 0, -1, &count));
    const Bytes buf = {0xFF, 0xFF, 0x00, 0x80, 0x00, 0xFF, 0x00, 0x80};
    QVERIFY(s.dataConvertS16_N(buf.data(), 8, -1, &count));
    QCOMPARE(count, 32LL);
    QCOMPARE(stateOf(s), refWords(buf, 0, 16, 0x0003));
}

void TstRawConvert::simuRuns()
{
    SmpData s(4);
    start(s, 0b0101);
    long long pos = 0;
    const int a[] = {5, 5};
    QVERIFY(s.dataConvertSimu(a, 2, 0, &pos));
    QCOMPARE(flatten(s.chnData[0]), (std::vector<long long>{5, 10}));
    QCOMPARE(pos, 10LL);
    const int b[] = {3, 4};
    QVERIFY(s.dataConvertSimu(b, 2, 0, &pos, true));
    QCOMPARE(flatten(s.chnData[0]), (std::vector<long long>{5, 13, 17}));
    QCOMPARE(pos, 17LL);
    // Not merged: every run ends at an edge.
    QVERIFY(s.dataConvertSimu(b, 2, 0, &pos, false));
    QCOMPARE(flatten(s.chnData[0]), (std::vector<long long>{5, 13, 17, 20, 24}));
    // Channels without a list, out of range, or no runs: nothing happens.
    long long p2 = 0;
    QVERIFY(s.dataConvertSimu(a, 2, 1, &p2));
    QVERIFY(s.chnData[1] == nullptr);
    QVERIFY(s.dataConvertSimu(a, 2, 4, &p2));
    QVERIFY(s.dataConvertSimu(a, 2, -1, &p2));
    QVERIFY(s.dataConvertSimu(a, 0, 2, &p2));
    QCOMPARE(p2, 0LL);
    QCOMPARE(tavEntryCount(s.chnData[2]), 0LL);
}

void TstRawConvert::simuZeroRunsCancel()
{
    // A zero run puts two edges on one position; they cancel.
    SmpData s(1);
    start(s, 1);
    long long pos = 0;
    const int runs[] = {4, 0, 6, 0, 0, 2};
    QVERIFY(s.dataConvertSimu(runs, 6, 0, &pos));
    QCOMPARE(pos, 12LL);
    QCOMPARE(flatten(s.chnData[0]), (std::vector<long long>{10, 12}));
    // Many runs crossing blocks and groups.
    std::vector<int> many(size_t(4 * DataBlock::Capacity + 3), 2);
    QVERIFY(s.dataConvertSimu(many.data(), int(many.size()), 0, &pos));
    s.smpCount = pos + 1;
    QVERIFY(s.dataConvertComplete(s.smpCount));
    VERIFY_LIST_SHAPE(s.chnData[0]);
    QCOMPARE(tavEntryCount(s.chnData[0]), 2 + (long long)many.size() + 1);
}

void TstRawConvert::completeAfterStream()
{
    // Edges of an unfinished cycle lie at or beyond the sample count; the
    // completion drops them and the list ends with the count.
    SmpData s(16);
    start(s, 0x0003);
    const Bytes buf = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x00, 0xFF};
    long long count = -1;
    QVERIFY(s.dataConvertS16_N(buf.data(), int(buf.size()), 0, &count));
    QCOMPARE(count, 32LL);
    QCOMPARE(flatten(s.chnData[0]), (std::vector<long long>{36, 40}));
    QVERIFY(s.dataConvertComplete(1000));
    QCOMPARE(flatten(s.chnData[1]), std::vector<long long>{32});
    QCOMPARE(flatten(s.chnData[0]), std::vector<long long>{32});
    VERIFY_LIST_SHAPE(s.chnData[1]);
}

void TstRawConvert::converterOutOfMemory()
{
#ifndef TAV_SMP_ALLOC_HOOK
    QSKIP("allocation failures are injected in the small-block build");
#else
    std::mt19937_64 rng(99);
    Bytes buf = randomFrames(rng, 200, 16, 5, 2, false);
    const Decoded full = refFrames(buf, 16, 5, 2, false, 16, 0xFFFF, 0);
    SmpData s(16);
    start(s, 0xFFFF);
    SmpData::setAllocBudget(40);
    int consumed = 0;
    const bool ok = s.dataConvertP5_16(buf.data(), int(buf.size()), &consumed);
    SmpData::setAllocBudget(-1);
    QVERIFY(!ok);
    QVERIFY(consumed % 16 == 0);
    QVERIFY(consumed < int(buf.size()));
    // Every list is a prefix of the full decode, up to the failing frame.
    const Decoded part = stateOf(s);
    for (int c = 0; c < 16; ++c) {
        const std::vector<long long>& got = part.edges[size_t(c)];
        const std::vector<long long>& all = full.edges[size_t(c)];
        QVERIFY(got.size() <= all.size());
        QVERIFY(std::equal(got.begin(), got.end(), all.begin()));
    }
    // The stream converters report the failure the same way.
    SmpData w(16);
    start(w, 0xFFFF);
    Bytes words = randomStream(rng, 4000, true);
    long long count = -1;
    SmpData::setAllocBudget(30);
    const bool okW = w.dataConvertS16_N(words.data(), int(words.size()), 0, &count);
    SmpData::setAllocBudget(-1);
    QVERIFY(!okW);
    QCOMPARE(count, w.smpCount);
    QVERIFY(w.dataConvertComplete(w.smpCount));
    for (int c = 0; c < 16; ++c)
        VERIFY_LIST_SHAPE(w.chnData[size_t(c)]);
#endif
}

void TstRawConvert::quietWordMasks()
{
    // The masks of words that do not repeat their channel's level, one word
    // at a time against the word one cycle back, for both forms.
    std::mt19937_64 rng(404);
    const uint16_t picks[] = {0x0000, 0xFFFF, 0x8000, 0x7FFF, 0x0001, 0xFFFE, 0x00FF, 0xFF00};
    for (int round = 0; round < 20000; ++round) {
        const size_t back = 2 * (1 + rng() % 32);
        std::vector<uint16_t> w(back / 2 + 16);
        for (uint16_t& v : w)
            v = rng() % 3 ? picks[rng() % 8] : uint16_t(rng());
        // Mostly repeats, so masks with few bits set come up too.
        for (size_t i = back / 2; i < w.size(); ++i)
            if (rng() % 2)
                w[i] = (w[i - back / 2] & 0x8000) ? 0xFFFF : 0;
        Bytes b(2 * w.size());
        std::memcpy(b.data(), w.data(), b.size());
        uint32_t want = 0, zero = 0, ones = 0;
        for (int k = 0; k < 16; ++k) {
            const uint16_t now = w[back / 2 + size_t(k)];
            const uint16_t level = (w[size_t(k)] & 0x8000) ? 0xFFFF : 0;
            want |= uint32_t(now != level) << k;
            zero |= uint32_t(now == 0) << k;
            ones |= uint32_t(now == 0xFFFF) << k;
        }
        const unsigned char* p = b.data() + back;
        auto same = [&](const wordquiet::WordMasks& m) {
            return m.changed == want && m.zero == zero && m.ones == ones;
        };
        QCOMPARE(wordquiet::changedWords16Swar(p, back), want);
        QVERIFY(same(wordquiet::wordMasks16Swar(p, back)));
#ifdef __SSE2__
        QCOMPARE(wordquiet::changedWords16Sse2(p, back), want);
        QVERIFY(same(wordquiet::wordMasks16Sse2(p, back)));
#endif
        QCOMPARE(wordquiet::changedWords16(p, back), want);
    }
}

QTEST_APPLESS_MAIN(TstRawConvert)
#include "tst_rawconvert.moc"
