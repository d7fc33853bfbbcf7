// Data file blocks: byte layout read back by a plain reader, ranges, round
// trips, and corrupt files refused with the previous capture intact. Built
// with the shipped block sizes and with tiny ones.
#include "filetesthelp.h"

#include "core/config.h"
#include "core/lang.h"
#include "common/tempenv.h"
#include "device/smpdataosc.h"
#include "files/datafile.h"

#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::function<void(QByteArray&)>)

namespace {

// Entries per channel that cross block borders (and group borders with tiny blocks).
long long bigCount()
{
    return DataGroup::EntryCapacity < 100000 ? 6000 : 150000;
}

// The small capture the corrupt-file cases start from: 16 channels, 1000
// samples, sections for channels 0, 2 and 7.
RefCapture smallCapture()
{
    RefCapture r;
    r.chnNum = 16;
    r.count = 1000;
    r.rate = 100000000;
    r.trigger = 40;
    r.chn.resize(16);
    r.chn[0] = {true, 0, {5, 100, 900}};
    r.chn[2] = {true, 1, {}};
    r.chn[7] = {true, 0, {1, 999}};
    r.chn[9] = {true, 1, {3, 4}};   // present but not selected
    return r;
}

Sel smallSelection()
{
    Sel s{};
    s[0] = s[2] = s[7] = true;
    s[5] = true;   // selected without a list: no section
    return s;
}

// A different capture that a refused load must leave in place.
RefCapture otherCapture()
{
    RefCapture r;
    r.chnNum = 16;
    r.count = 77;
    r.rate = 5000;
    r.trigger = 9;
    r.chn.resize(16);
    r.chn[3] = {true, 1, {10, 20, 30}};
    r.chn[15] = {true, 0, {76}};
    return r;
}

struct OscImage {
    long long rate;
    int trg;
    std::vector<std::vector<short>> data;
    std::vector<std::vector<long long>> fields;

    static OscImage of(const SmpDataOsc& s)
    {
        OscImage im{s.smpFrequ, s.trgPosition, {}, {}};
        for (int c = 0; c < s.chnNum; ++c) {
            const AnalogChnData* d = s.chnData[size_t(c)];
            if (!d) {
                im.data.push_back({});
                im.fields.push_back({-1});
                continue;
            }
            im.data.emplace_back(d->data, d->data + std::max(0, std::min(d->smpCount, AnalogChnData::Capacity)));
            im.fields.push_back({d->smpCount, d->trgPosition, d->halfScreenCodes, d->offset, d->voltDiv, d->smpFrequ});
        }
        return im;
    }
    bool operator==(const OscImage& o) const
    {
        return rate == o.rate && trg == o.trg && data == o.data && fields == o.fields;
    }
};

// Two channels: channel 0 with three samples, channel 1 enabled but empty.
void fillOsc(SmpDataOsc& s)
{
    const int voltDiv[2] = {100, 200};
    const int half[2] = {480, 320};
    const int offset[2] = {-100, 50};
    const bool ena[2] = {true, true};
    QVERIFY(s.dataConvertStart(-5, 100000000, voltDiv, half, offset, ena));
    AnalogChnData* d = s.chnData[0];
    d->data[0] = 1;
    d->data[1] = -2;
    d->data[2] = 300;
    d->smpCount = 3;
    d->trgPosition = 1;
    d->smpFrequ = 100000000;
}

const char* oscGoldenHex()
{
    return "7674646d73" "0000000000000000000000" "00e1f50500" "000000" "fbffffffff" "000000" "10" "02"
           "000000000000"
           "234d41" "00" "00" "0000000000" "e001" "9cff" "6400" "00e1f50500" "000000" "01000000" "03000000"
           "0100" "feff" "2c01";
}

} // namespace

class TstDataFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;

    QString path(const QString& name) const { return env->path(name); }

    // Writes head + block and loads it into a store holding otherCapture().
    bool loadInto(SmpData& s, const QByteArray& head, const QByteArray& block, StoreImage* before = nullptr)
    {
        const QString p = path("in.vtdat");
        if (!writeFile(p, head + block))
            return false;
        DataFile df;
        df.smpData = &s;
        if (before)
            *before = StoreImage::of(s);
        return df.loadData(p, head.size());
    }

    QByteArray smallBlock()
    {
        SmpData s(16);
        fillStore(s, smallCapture());
        DataFile df;
        df.smpData = &s;
        const Sel sel = smallSelection();
        const QString p = path("small.vtdat");
        if (!df.saveData(p, QByteArray(), sel.data(), 0, 999, true))
            return QByteArray();
        return readAllOf(p);
    }

private slots:
    void init()
    {
        env.reset(new TempEnv);
        Lang::load(QStringLiteral("en-US"));
        Config::loadDefaultConfig();
    }
    void cleanup() { env.reset(); }

    void fields_data()
    {
        QTest::addColumn<long long>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zero") << 0LL << QByteArray::fromHex("0000000000");
        QTest::newRow("bytes in order") << 0x0102030405LL << QByteArray::fromHex("0504030201");
        QTest::newRow("largest") << 0xFFFFFFFFFFLL << QByteArray::fromHex("ffffffffff");
        QTest::newRow("rate") << 100000000LL << QByteArray::fromHex("00e1f50500");
    }
    void fields()
    {
        QFETCH(long long, value);
        QFETCH(QByteArray, bytes);
        char b[5];
        DataFile::int64ToByte5(value, b);
        QCOMPARE(QByteArray(b, 5), bytes);
        QCOMPARE(DataFile::byte5toInt64(bytes.constData()), value);
        char w[4];
        DataFile::int32ToByte4(-2, w);
        QCOMPARE(QByteArray(w, 4), QByteArray::fromHex("feffffff"));
        QCOMPARE(DataFile::byte4toInt32(w), -2);
        QVERIFY(!DataFile::isBigEndian());
    }

    // Every byte of a small save, written out by hand.
    void goldenLogicBlock()
    {
        RefCapture r;
        r.chnNum = 16;
        r.count = 100;
        r.rate = 100000000;
        r.trigger = 10;
        r.chn.resize(16);
        r.chn[0] = {true, 0, {5, 20}};
        r.chn[1] = {true, 1, {50}};   // not selected
        r.chn[3] = {true, 1, {}};
        SmpData s(16);
        fillStore(s, r);
        Sel sel{};
        sel[0] = sel[3] = true;
        DataFile df;
        df.smpData = &s;
        const QString p = path("g.vtdat");
        QVERIFY(df.saveData(p, QByteArray("<settings/>\n"), sel.data(), 0, 99, true));
        const QByteArray expect = QByteArray("<settings/>\n")
            + QByteArray::fromHex("7674646174000000" "6400000000000000" "00e1f50500000000" "0a00000000000000"
                                  "1000000000000000"
                                  "2323440000000000" "0300000000000000" "0500000000" "1400000000" "6400000000"
                                  "2323440003010000" "0100000000000000" "6400000000");
        QCOMPARE(readAllOf(p), expect);

        // A range of 8 samples from 8: the trigger moves to 2, channel 0 is high
        // and its next edge (20) is cut to the range's sample count.
        QVERIFY(df.saveData(p, QByteArray(), sel.data(), 15, 8, true));
        const QByteArray expect2 = QByteArray::fromHex(
            "7674646174000000" "0800000000000000" "00e1f50500000000" "0200000000000000" "1000000000000000"
            "2323440000010000" "0100000000000000" "0800000000"
            "2323440003010000" "0100000000000000" "0800000000");
        QCOMPARE(readAllOf(p), expect2);
    }

    // Random captures and ranges against the reference block, read plainly.
    void layoutMatchesReference_data()
    {
        QTest::addColumn<int>("chnNum");
        QTest::addColumn<int>("seed");
        QTest::addColumn<double>("density");
        QTest::newRow("8 sparse") << 8 << 1 << 0.001;
        QTest::newRow("16 dense") << 16 << 2 << 0.2;
        QTest::newRow("32 mixed") << 32 << 3 << 0.05;
        QTest::newRow("16 every sample") << 16 << 4 << 0.5;
    }
    void layoutMatchesReference()
    {
        QFETCH(int, chnNum);
        QFETCH(int, seed);
        QFETCH(double, density);
        std::mt19937_64 rng((unsigned long long)seed);
        const long long count = bigCount();
        const RefCapture r = randomCapture(rng, chnNum, count, density);
        SmpData s(chnNum);
        fillStore(s, r);
        const QString p = path("r.vtdat");
        for (int round = 0; round < 6; ++round) {
            Sel sel{};
            for (int c = 0; c < chnNum; ++c)
                sel[size_t(c)] = (rng() % 4) != 0;
            long long a = (long long)(rng() % (unsigned long long)(count + 200)) - 100;
            long long b = (long long)(rng() % (unsigned long long)(count + 200)) - 100;
            if (round == 0) {
                a = -5;
                b = count + 5;
            }
            DataFile df;
            df.smpData = &s;
            QVERIFY(df.saveData(p, QByteArray(), sel.data(), a, b, true));
            const QByteArray got = readAllOf(p);
            const QByteArray want = refBlock(r, sel, a, b);
            const ParsedBlock pb = parseBlock(got);
            QVERIFY2(pb.ok, qPrintable(pb.why));
            QCOMPARE(pb.chnNum, chnNum);
            QCOMPARE(got.size(), want.size());
            QVERIFY(got == want);
        }
    }

    void rangeCases_data()
    {
        QTest::addColumn<long long>("a");
        QTest::addColumn<long long>("b");
        QTest::addColumn<long long>("count");
        QTest::addColumn<long long>("trigger");
        QTest::addColumn<QVector<long long>>("records0");
        QTest::addColumn<int>("level0");
        // Capture: 1000 samples, trigger at 40, channel 0 edges 5, 100, 900.
        QTest::newRow("whole") << 0LL << 999LL << 1000LL << 40LL << QVector<long long>{5, 100, 900, 1000} << 0;
        QTest::newRow("trigger before range stores 0") << 50LL << 949LL << 900LL << 0LL
                                                       << QVector<long long>{50, 850, 900} << 1;
        QTest::newRow("trigger after range unchanged") << 0LL << 10LL << 11LL << 40LL << QVector<long long>{5, 11} << 0;
        QTest::newRow("swapped") << 949LL << 50LL << 900LL << 0LL << QVector<long long>{50, 850, 900} << 1;
        QTest::newRow("clamped both ends") << -100LL << 5000LL << 1000LL << 40LL
                                           << QVector<long long>{5, 100, 900, 1000} << 0;
        QTest::newRow("one sample") << 100LL << 100LL << 1LL << 0LL << QVector<long long>{1} << 0;
        QTest::newRow("one sample at the end") << 5000LL << 4000LL << 1LL << 0LL << QVector<long long>{1} << 1;
        QTest::newRow("edge at the range end") << 1LL << 100LL << 100LL << 39LL << QVector<long long>{4, 99, 100} << 0;
    }
    void rangeCases()
    {
        QFETCH(long long, a);
        QFETCH(long long, b);
        QFETCH(long long, count);
        QFETCH(long long, trigger);
        QFETCH(QVector<long long>, records0);
        QFETCH(int, level0);
        SmpData s(16);
        fillStore(s, smallCapture());
        Sel sel = smallSelection();
        DataFile df;
        df.smpData = &s;
        const QString p = path("range.vtdat");
        QVERIFY(df.saveData(p, QByteArray(), sel.data(), a, b, true));
        const ParsedBlock pb = parseBlock(readAllOf(p));
        QVERIFY2(pb.ok, qPrintable(pb.why));
        QCOMPARE(pb.count, count);
        QCOMPARE(pb.trigger, trigger);
        QCOMPARE(pb.rate, 100000000LL);
        // Sections: 0, 2 (no edges: N = 1), 7; not 5 (no list) nor 9 (not selected).
        QCOMPARE(int(pb.sections.size()), 3);
        QCOMPARE(pb.sections[0].chn, 0);
        QCOMPARE(pb.sections[1].chn, 2);
        QCOMPARE(pb.sections[2].chn, 7);
        QCOMPARE(QVector<long long>(pb.sections[0].records.begin(), pb.sections[0].records.end()), records0);
        QCOMPARE(pb.sections[0].level, level0);
        QCOMPARE(pb.sections[1].level, 1);
        QCOMPARE(int(pb.sections[1].records.size()), 1);
        QCOMPARE(pb.sections[1].records[0], count);
        QCOMPARE(pb.sections[2].records.back(), count);
    }

    void emptyStoreNotSaved()
    {
        SmpData s(16);
        Sel sel{};
        sel[0] = true;
        const QString p = path("old.vtdat");
        QVERIFY(writeFile(p, "old"));
        DataFile df;
        df.smpData = &s;
        QVERIFY(!df.saveData(p, QByteArray("h"), sel.data(), 0, 10, true));
        QCOMPARE(readAllOf(p), QByteArray("old"));
        // A rate the loader would refuse is never written either.
        fillStore(s, smallCapture());
        s.smpFrequ = 0;
        QVERIFY(!df.saveData(p, QByteArray("h"), sel.data(), 0, 10, true));
        QCOMPARE(readAllOf(p), QByteArray("old"));
        QCOMPARE(folderEntries(QFileInfo(p).path()), QStringList{"old.vtdat"});
    }

    // Save a range, load it: the range comes back with its start as sample 0.
    void roundTrip_data()
    {
        QTest::addColumn<int>("chnNum");
        QTest::addColumn<int>("seed");
        QTest::newRow("8") << 8 << 11;
        QTest::newRow("16") << 16 << 12;
        QTest::newRow("32") << 32 << 13;
    }
    void roundTrip()
    {
        QFETCH(int, chnNum);
        QFETCH(int, seed);
        std::mt19937_64 rng((unsigned long long)seed);
        const long long count = bigCount();
        const RefCapture r = randomCapture(rng, chnNum, count, 0.15);
        SmpData s(chnNum);
        fillStore(s, r);
        for (int round = 0; round < 4; ++round) {
            Sel sel{};
            for (int c = 0; c < chnNum; ++c)
                sel[size_t(c)] = (rng() % 3) != 0;
            long long a = (long long)(rng() % (unsigned long long)count);
            long long b = (long long)(rng() % (unsigned long long)count);
            if (round == 0) {
                a = 0;
                b = count - 1;
            }
            const QString p = path("rt.vtdat");
            const QByteArray head("<settings>x</settings>\r\n");
            DataFile w;
            w.smpData = &s;
            QVERIFY(w.saveData(p, head, sel.data(), a, b, true));

            SmpData back(chnNum);
            fillStore(back, otherCaptureFor(chnNum));
            DataFile rd;
            rd.smpData = &back;
            QVERIFY(rd.loadData(p, head.size()));
            QVERIFY(!rd.inThread);
            long long st, en;
            refRange(r, a, b, &st, &en);
            QCOMPARE(back.smpCount, en - st + 1);
            QCOMPARE(back.smpFrequ, r.rate);
            QCOMPARE(back.trgPosition, r.trigger >= st ? r.trigger - st : 0);
            for (int c = 0; c < chnNum; ++c) {
                const bool want = sel[size_t(c)] && r.chn[size_t(c)].present;
                QCOMPARE(back.chnData[size_t(c)] != nullptr, want);
                if (!want)
                    continue;
                std::vector<long long> expect;
                for (long long e : r.chn[size_t(c)].edges)
                    if (e > st && e <= en)
                        expect.push_back(e - st);
                expect.push_back(en - st + 1);
                QCOMPARE(storeList(back, c), expect);
                QCOMPARE(back.chnData[size_t(c)]->initLevel, r.level(c, st));
                QVERIFY(back.searchIndexValid(c));
                // The loaded list answers queries like the original range.
                const long long q = (long long)(rng() % (unsigned long long)(en - st + 1));
                QCOMPARE(back.getPointLevel(c, q), r.level(c, q + st));
            }
        }
    }

    void headOnlyFileLoads()
    {
        QByteArray block(40, 0);
        block.replace(0, 5, "vtdat");
        wr40(block, 8, 12345);
        wr40(block, 16, 250000000);
        wr40(block, 24, 99999);   // beyond the count: kept as it stands
        block[32] = 16;
        SmpData s(16);
        fillStore(s, otherCapture());
        QVERIFY(loadInto(s, QByteArray("<settings/>"), block));
        QCOMPARE(s.smpCount, 12345LL);
        QCOMPARE(s.smpFrequ, 250000000LL);
        QCOMPARE(s.trgPosition, 99999LL);
        for (int c = 0; c < 16; ++c)
            QVERIFY(!s.chnData[size_t(c)]);
    }

    // Every prefix of a file: whole sections load, anything else is refused
    // and leaves the store as it was.
    void everyTruncation()
    {
        const QByteArray block = smallBlock();
        QVERIFY(!block.isEmpty());
        // Head 40, sections of 16 + 5N bytes: channel 0 (N 4), 2 (N 1), 7 (N 3).
        const QVector<int> whole{40, 40 + 36, 40 + 36 + 21, 40 + 36 + 21 + 31};
        QCOMPARE(block.size(), whole.last());
        const QByteArray head("<settings>abc</settings>\n");
        for (int len = 0; len <= block.size(); ++len) {
            SmpData s(16);
            fillStore(s, otherCapture());
            StoreImage before;
            const bool ok = loadInto(s, head, block.left(len), &before);
            const int sections = whole.indexOf(len);
            if (sections < 0) {
                QVERIFY2(!ok, qPrintable(QString("prefix %1 accepted").arg(len)));
                QVERIFY(StoreImage::of(s) == before);
            } else {
                QVERIFY2(ok, qPrintable(QString("prefix %1 refused").arg(len)));
                QCOMPARE(s.smpCount, 1000LL);
                QCOMPARE(s.chnData[0] != nullptr, sections >= 1);
                QCOMPARE(s.chnData[2] != nullptr, sections >= 2);
                QCOMPARE(s.chnData[7] != nullptr, sections >= 3);
                QVERIFY(!s.chnData[3]);
            }
        }
        // An offset beyond the end of the file.
        SmpData s(16);
        fillStore(s, otherCapture());
        const StoreImage before = StoreImage::of(s);
        writeFile(path("short.vtdat"), "abc");
        DataFile df;
        df.smpData = &s;
        QVERIFY(!df.loadData(path("short.vtdat"), 10));
        QVERIFY(!df.loadData(path("missing.vtdat"), 0));
        QVERIFY(StoreImage::of(s) == before);
    }

    void corruptBlocks_data()
    {
        using Edit = std::function<void(QByteArray&)>;
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<bool>("accept");
        // Offsets in the small block: head 0..39; channel 0 head 40, records
        // 56 (5, 100, 900, 1000); channel 2 head 76, record 92; channel 7
        // head 97, records 113 (1, 999, 1000).
        QTest::newRow("unchanged") << Edit([](QByteArray&) {}) << true;
        QTest::newRow("wrong magic") << Edit([](QByteArray& b) { b[0] = 'w'; }) << false;
        QTest::newRow("oscilloscope magic") << Edit([](QByteArray& b) { b.replace(0, 5, "vtdms"); }) << false;
        QTest::newRow("8 channels") << Edit([](QByteArray& b) { b[32] = 8; }) << false;
        QTest::newRow("32 channels") << Edit([](QByteArray& b) { b[32] = 32; }) << false;
        QTest::newRow("count 0") << Edit([](QByteArray& b) { wr40(b, 8, 0); }) << false;
        QTest::newRow("count below records") << Edit([](QByteArray& b) { wr40(b, 8, 999); }) << false;
        QTest::newRow("rate 0") << Edit([](QByteArray& b) { wr40(b, 16, 0); }) << false;
        QTest::newRow("rate above 1 THz") << Edit([](QByteArray& b) { wr40(b, 16, 1000000000001LL); }) << false;
        QTest::newRow("rate 1 THz") << Edit([](QByteArray& b) { wr40(b, 16, 1000000000000LL); }) << true;
        QTest::newRow("rate 1 Hz") << Edit([](QByteArray& b) { wr40(b, 16, 1); }) << true;
        QTest::newRow("trigger beyond the count") << Edit([](QByteArray& b) { wr40(b, 24, 0xFFFFFFFFFFLL); }) << true;
        QTest::newRow("section magic") << Edit([](QByteArray& b) { b[76 + 2] = 'E'; }) << false;
        QTest::newRow("channel 16 of 16") << Edit([](QByteArray& b) { b[97 + 4] = 16; }) << false;
        QTest::newRow("channel 255") << Edit([](QByteArray& b) { b[97 + 4] = char(255); }) << false;
        QTest::newRow("duplicate channel") << Edit([](QByteArray& b) { b[76 + 4] = 0; }) << false;
        QTest::newRow("duplicate channel last") << Edit([](QByteArray& b) { b[97 + 4] = 2; }) << false;
        QTest::newRow("N 0") << Edit([](QByteArray& b) { wr40(b, 76 + 8, 0); }) << false;
        QTest::newRow("N huge") << Edit([](QByteArray& b) { wr40(b, 97 + 8, 0xFFFFFFFFFFLL); }) << false;
        QTest::newRow("N one beyond the file") << Edit([](QByteArray& b) { wr40(b, 97 + 8, 4); }) << false;
        QTest::newRow("N one short") << Edit([](QByteArray& b) { wr40(b, 97 + 8, 2); }) << false;
        QTest::newRow("record 0") << Edit([](QByteArray& b) { wr40(b, 56, 0); }) << false;
        QTest::newRow("records equal") << Edit([](QByteArray& b) { wr40(b, 61, 5); }) << false;
        QTest::newRow("records decreasing") << Edit([](QByteArray& b) { wr40(b, 61, 4); }) << false;
        QTest::newRow("edge at the count") << Edit([](QByteArray& b) { wr40(b, 66, 1000); }) << false;
        QTest::newRow("edge beyond the count") << Edit([](QByteArray& b) { wr40(b, 66, 1001); }) << false;
        QTest::newRow("closing record short") << Edit([](QByteArray& b) { wr40(b, 71, 999); }) << false;
        QTest::newRow("closing record long") << Edit([](QByteArray& b) { wr40(b, 92, 1001); }) << false;
        QTest::newRow("1 stray byte") << Edit([](QByteArray& b) { b.append(char(0)); }) << false;
        QTest::newRow("15 stray bytes") << Edit([](QByteArray& b) { b.append(QByteArray(15, '#')); }) << false;
        QTest::newRow("16 zero bytes") << Edit([](QByteArray& b) { b.append(QByteArray(16, 0)); }) << false;
        QTest::newRow("level byte 1") << Edit([](QByteArray& b) { b[40 + 5] = 1; }) << true;
        QTest::newRow("no sections") << Edit([](QByteArray& b) { b.truncate(40); }) << true;
    }
    void corruptBlocks()
    {
        QFETCH(std::function<void(QByteArray&)>, edit);
        QFETCH(bool, accept);
        QByteArray block = smallBlock();
        QVERIFY(!block.isEmpty());
        edit(block);
        SmpData s(16);
        fillStore(s, otherCapture());
        StoreImage before;
        const bool ok = loadInto(s, QByteArray("<settings></settings>\r\n\r\n"), block, &before);
        QCOMPARE(ok, accept);
        if (!ok)
            QVERIFY(StoreImage::of(s) == before);
        else
            QVERIFY(s.smpCount > 0 && !(StoreImage::of(s) == before));
    }

    // The settings head from Config and the offset extractConfig finds.
    void settingsHeadAndOffset()
    {
        QByteArray head;
        QVERIFY(DataFile::minConfigHead(QStringLiteral("VX3127"), &head));
        QVERIFY(head.contains("</settings>"));
        SmpData s(16);
        fillStore(s, smallCapture());
        const Sel sel = smallSelection();
        const QString p = path("withhead.vtdat");
        DataFile df;
        df.smpData = &s;
        QVERIFY(df.saveData(p, head, sel.data(), 0, 999, true));
        QByteArray found;
        QVERIFY(Config::extractConfig(p, found));
        QCOMPARE(found, head);
        QCOMPARE(readAllOf(p).mid(head.size()), smallBlock());
        SmpData back(16);
        DataFile rd;
        rd.smpData = &back;
        QVERIFY(rd.loadData(p, found.size()));
        QCOMPARE(storeList(back, 0), (std::vector<long long>{5, 100, 900, 1000}));
        QByteArray full;
        QVERIFY(DataFile::fullConfigHead(&full));
        QVERIFY(full.size() >= head.size());
    }

    void oscGoldenAndRoundTrip()
    {
        SmpDataOsc s(2, 16);
        fillOsc(s);
        DataFile df;
        df.smpDataOsc = &s;
        const QString p = path("osc.vtdat");
        QVERIFY(df.saveData(p, QByteArray("<settings/>"), nullptr, 0, 0, false));
        QCOMPARE(readAllOf(p), QByteArray("<settings/>") + QByteArray::fromHex(oscGoldenHex()));

        SmpDataOsc back(2, 16);
        DataFile rd;
        rd.smpDataOsc = &back;
        QVERIFY(rd.loadData(p, 11));
        QCOMPARE(back.smpFrequ, 100000000LL);
        QCOMPARE(back.trgPosition, -5);
        QVERIFY(!back.chnData[1]);
        const AnalogChnData* d = back.chnData[0];
        QVERIFY(d);
        QCOMPARE(d->smpCount, 3);
        QCOMPARE(d->trgPosition, 1);
        QCOMPARE(d->halfScreenCodes, 480);
        QCOMPARE(d->offset, -100);
        QCOMPARE(d->voltDiv, 100);
        QCOMPARE(d->smpFrequ, 100000000LL);
        QCOMPARE(d->data[0], short(1));
        QCOMPARE(d->data[1], short(-2));
        QCOMPARE(d->data[2], short(300));

        // A full channel survives too.
        AnalogChnData* c1 = s.chnData[1];
        for (int i = 0; i < AnalogChnData::Capacity; ++i)
            c1->data[i] = short(i * 7 - 30000);
        c1->smpCount = AnalogChnData::Capacity;
        c1->trgPosition = AnalogChnData::Capacity;
        c1->smpFrequ = 200000000;
        QVERIFY(df.saveData(p, QByteArray(), nullptr, 0, 0, true));
        QVERIFY(rd.loadData(p, 0));
        QVERIFY(OscImage::of(back) == OscImage::of(s));
    }

    void oscCorrupt_data()
    {
        using Edit = std::function<void(QByteArray&)>;
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<bool>("accept");
        // Head 0..39, channel 0 head 40..71, samples 72..77.
        QTest::newRow("unchanged") << Edit([](QByteArray&) {}) << true;
        QTest::newRow("no sections") << Edit([](QByteArray& b) { b.truncate(40); }) << true;
        QTest::newRow("wrong magic") << Edit([](QByteArray& b) { b[4] = 't'; }) << false;
        QTest::newRow("short head") << Edit([](QByteArray& b) { b.truncate(39); }) << false;
        QTest::newRow("rate 0") << Edit([](QByteArray& b) { wr40(b, 16, 0); }) << false;
        QTest::newRow("section magic") << Edit([](QByteArray& b) { b[41] = 'N'; }) << false;
        QTest::newRow("channel 2 of 2") << Edit([](QByteArray& b) { b[44] = 2; }) << false;
        QTest::newRow("duplicate channel") << Edit([](QByteArray& b) { b.append(b.mid(40)); }) << false;
        QTest::newRow("count 51201") << Edit([](QByteArray& b) {
            DataFile::int32ToByte4(51201, b.data() + 68);
            b.append(QByteArray(2 * 51201 - 6, 0));
        }) << false;
        QTest::newRow("count -1") << Edit([](QByteArray& b) { DataFile::int32ToByte4(-1, b.data() + 68); }) << false;
        QTest::newRow("count beyond the file") << Edit([](QByteArray& b) { DataFile::int32ToByte4(4, b.data() + 68); })
                                               << false;
        QTest::newRow("trigger -1") << Edit([](QByteArray& b) { DataFile::int32ToByte4(-1, b.data() + 64); }) << false;
        QTest::newRow("trigger beyond the count")
            << Edit([](QByteArray& b) { DataFile::int32ToByte4(4, b.data() + 64); }) << false;
        QTest::newRow("stray bytes") << Edit([](QByteArray& b) { b.append("#MA"); }) << false;
        QTest::newRow("truncated samples") << Edit([](QByteArray& b) { b.chop(1); }) << false;
    }
    void oscCorrupt()
    {
        QFETCH(std::function<void(QByteArray&)>, edit);
        QFETCH(bool, accept);
        QByteArray block = QByteArray::fromHex(oscGoldenHex());
        edit(block);
        const QString p = path("osc.vtdat");
        QVERIFY(writeFile(p, block));
        SmpDataOsc s(2, 16);
        const int voltDiv[2] = {20, 50};
        const int half[2] = {320, 480};
        const int offset[2] = {0, 0};
        const bool ena[2] = {false, true};
        QVERIFY(s.dataConvertStart(3, 1000, voltDiv, half, offset, ena));
        s.chnData[1]->smpCount = 2;
        s.chnData[1]->data[0] = 9;
        s.chnData[1]->data[1] = 8;
        const OscImage before = OscImage::of(s);
        DataFile rd;
        rd.smpDataOsc = &s;
        QCOMPARE(rd.loadData(p, 0), accept);
        if (!accept)
            QVERIFY(OscImage::of(s) == before);
        else
            QCOMPARE(s.smpFrequ, 100000000LL);
    }

private:
    static RefCapture otherCaptureFor(int chnNum)
    {
        RefCapture r = otherCapture();
        r.chnNum = chnNum;
        r.chn.resize(size_t(chnNum));
        return r;
    }
};

QTEST_MAIN(TstDataFile)
#include "tst_datafile.moc"
