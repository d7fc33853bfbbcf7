// Text/CSV and binary exports and the exact time formatter, against the
// documented examples and brute-force per-sample references.
#include "filetesthelp.h"

#include "core/config.h"
#include "core/lang.h"
#include "common/tempenv.h"
#include "files/datafile.h"
#include "files/smptimeexport.h"

#include <QtTest>

#include <memory>

namespace {

QByteArray timeOf(long long rate, long long trg, long long pos)
{
    char buf[SmpTimeExport::MaxTextLen];
    const int n = SmpTimeExport(rate, trg).toString(pos, buf);
    return QByteArray(buf, n);
}

QByteArray defaultHeader(const Sel& sel, int chnNum)
{
    QByteArray h = "Time[s]";
    for (int c = 0; c < chnNum; ++c)
        if (sel[size_t(c)])
            h += ", Channel " + QByteArray::number(c);
    return h + "\n";
}

long long captureLength()
{
    return DataGroup::EntryCapacity < 100000 ? 5000 : 60000;
}

} // namespace

class TstSampleExport : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;

    QByteArray csvOf(SmpData& s, const Sel& sel, long long a, long long b, bool* ok = nullptr)
    {
        const QString p = env->path("out.csv");
        QFile::remove(p);
        DataFile df;
        df.smpData = &s;
        const bool r = df.exportCSV(p, sel.data(), a, b, true);
        if (ok)
            *ok = r;
        return readAllOf(p);
    }
    QByteArray binOf(SmpData& s, const Sel& sel, long long a, long long b, bool* ok = nullptr)
    {
        const QString p = env->path("out.bin");
        QFile::remove(p);
        DataFile df;
        df.smpData = &s;
        const bool r = df.exportBin(p, sel.data(), a, b, true);
        if (ok)
            *ok = r;
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

    void timeConstruction_data()
    {
        QTest::addColumn<long long>("rate");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<long long>("scale");
        QTest::addColumn<long long>("frequ");
        QTest::newRow("100 MHz") << 100000000LL << 8 << 1LL << 1LL;
        QTest::newRow("200 MHz") << 200000000LL << 9 << 10LL << 2LL;
        QTest::newRow("500 MHz") << 500000000LL << 9 << 10LL << 5LL;
        QTest::newRow("16 MHz") << 16000000LL << 10 << 10000LL << 16LL;
        QTest::newRow("24 MHz") << 24000000LL << 12 << 1000000LL << 24LL;
        QTest::newRow("1 Hz") << 1LL << 0 << 1LL << 1LL;
        QTest::newRow("1 THz") << 1000000000000LL << 12 << 1LL << 1LL;
        QTest::newRow("3 Hz") << 3LL << 12 << 1000000000000LL << 3LL;
    }
    void timeConstruction()
    {
        QFETCH(long long, rate);
        QFETCH(int, decimals);
        QFETCH(long long, scale);
        QFETCH(long long, frequ);
        const SmpTimeExport t(rate, 77);
        QVERIFY(t.isValid());
        QCOMPARE(t.decimals, decimals);
        QCOMPARE(t.scale, scale);
        QCOMPARE(t.frequ, frequ);
        QCOMPARE(t.trgPoint, 77LL);
    }

    void timeText_data()
    {
        QTest::addColumn<long long>("rate");
        QTest::addColumn<long long>("trigger");
        QTest::addColumn<long long>("position");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("1") << 100000000LL << 0LL << 10LL << QByteArray("0.00000010");
        QTest::newRow("2") << 100000000LL << 0LL << 1234567890LL << QByteArray("12.34567890");
        QTest::newRow("3") << 100000000LL << 5LL << 5LL << QByteArray("0.00000000");
        QTest::newRow("4") << 24000000LL << 1000LL << 0LL << QByteArray("-0.000041666666");
        QTest::newRow("5") << 24000000LL << 1LL << 0LL << QByteArray("-0.000000041666");
        QTest::newRow("6") << 24000000LL << 0LL << 24000000LL << QByteArray("1.000000000000");
        QTest::newRow("7") << 16000000LL << 0LL << 3LL << QByteArray("0.0000001875");
        QTest::newRow("8") << 200000000LL << 0LL << 1LL << QByteArray("0.000000005");
        // The product needs more than 64 bits.
        QTest::newRow("3 Hz, last 40-bit position") << 3LL << 0LL << 1099511627775LL
                                                    << QByteArray("366503875925.000000000000");
        QTest::newRow("3 Hz, before the trigger") << 3LL << 1099511627775LL << 0LL
                                                  << QByteArray("-366503875925.000000000000");
        QTest::newRow("7 Hz") << 7LL << 0LL << 10LL << QByteArray("1.428571428571");
        QTest::newRow("1 Hz, no decimals") << 1LL << 10LL << 3LL << QByteArray("-7.");
    }
    void timeText()
    {
        QFETCH(long long, rate);
        QFETCH(long long, trigger);
        QFETCH(long long, position);
        QFETCH(QByteArray, text);
        QCOMPARE(timeOf(rate, trigger, position), text);
        QCOMPARE(refTime(rate, trigger, position), text);
    }

    // Random positions over the whole 40-bit range against the exact quotient.
    void timeMatchesExactQuotient()
    {
        std::mt19937_64 rng(5);
        const long long rates[] = {1, 3, 7, 9, 1000, 24000000, 16000000, 200000000, 999999999999LL,
                                   1000000000000LL, 123456789, 40000000, 250000000};
        for (long long rate : rates) {
            for (int i = 0; i < 2000; ++i) {
                const long long trg = (long long)(rng() & 0xFFFFFFFFFFULL);
                const long long pos = (long long)(rng() & 0xFFFFFFFFFFULL);
                QCOMPARE(timeOf(rate, trg, pos), refTime(rate, trg, pos));
            }
        }
    }

    void timeRefusesRatesWithoutFormat()
    {
        QVERIFY(!SmpTimeExport(0, 0).isValid());
        QVERIFY(!SmpTimeExport(-5, 0).isValid());
        QVERIFY(!SmpTimeExport(1000000000001LL, 0).isValid());
        char buf[SmpTimeExport::MaxTextLen];
        QVERIFY(SmpTimeExport(0, 0).toString(5, buf) > 0);
    }

    // The documented four lines.
    void csvExample()
    {
        RefCapture r;
        r.chnNum = 16;
        r.count = 400;
        r.rate = 100000000;
        r.trigger = 20;
        r.chn.resize(16);
        r.chn[0] = {true, 0, {20}};
        r.chn[3] = {true, 1, {270}};
        r.chn[1] = {true, 0, {15, 100}};   // not selected: no column, no rows
        SmpData s(16);
        fillStore(s, r);
        Sel sel{};
        sel[0] = sel[3] = true;
        QCOMPARE(csvOf(s, sel, 10, 300),
                 QByteArray("Time[s], Channel 0, Channel 3\n"
                            "-0.00000010, 0, 1\n"
                            "0.00000000, 1, 1\n"
                            "0.00000250, 1, 0\n"));
        // Display names come from the settings.
        Config::saveGlobalParam(QStringLiteral("chnShowName3"), QStringLiteral("CLK"));
        QCOMPARE(csvOf(s, sel, 10, 300).left(27), QByteArray("Time[s], Channel 0, CLK\n-0."));
    }

    void csvCases_data()
    {
        QTest::addColumn<long long>("a");
        QTest::addColumn<long long>("b");
        QTest::addColumn<QByteArray>("selected");
        QTest::addColumn<QByteArray>("text");
        // 100 samples at 100 MHz, trigger 50; channel 0 edges 10, 30;
        // channel 1 edges 30, 60; channel 2 has no list.
        QTest::newRow("no channel") << 0LL << 99LL << QByteArray("") << QByteArray("Time[s]\n-0.00000050\n");
        QTest::newRow("change at the end") << 0LL << 30LL << QByteArray("0")
                                           << QByteArray("Time[s], Channel 0\n-0.00000050, 1\n"
                                                         "-0.00000040, 0\n-0.00000020, 1\n");
        QTest::newRow("change after the end") << 0LL << 29LL << QByteArray("0")
                                              << QByteArray("Time[s], Channel 0\n-0.00000050, 1\n"
                                                            "-0.00000040, 0\n");
        QTest::newRow("two channels at one position")
            << 20LL << 40LL << QByteArray("01")
            << QByteArray("Time[s], Channel 0, Channel 1\n-0.00000030, 0, 0\n-0.00000020, 1, 1\n");
        QTest::newRow("channel without list")
            << 55LL << 70LL << QByteArray("12")
            << QByteArray("Time[s], Channel 1, Channel 2\n0.00000005, 1, 0\n0.00000010, 0, 0\n");
        QTest::newRow("swapped and clamped")
            << 500LL << 95LL << QByteArray("1") << QByteArray("Time[s], Channel 1\n0.00000045, 0\n");
    }
    void csvCases()
    {
        QFETCH(long long, a);
        QFETCH(long long, b);
        QFETCH(QByteArray, selected);
        QFETCH(QByteArray, text);
        RefCapture r;
        r.chnNum = 8;
        r.count = 100;
        r.rate = 100000000;
        r.trigger = 50;
        r.chn.resize(8);
        r.chn[0] = {true, 1, {10, 30}};
        r.chn[1] = {true, 0, {30, 60}};
        r.chn[3] = {true, 0, {45}};   // never selected
        SmpData s(8);
        fillStore(s, r);
        Sel sel{};
        for (char c : selected)
            sel[size_t(c - '0')] = true;
        bool ok = false;
        QCOMPARE(csvOf(s, sel, a, b, &ok), text);
        QVERIFY(ok);
        QCOMPARE(refCsv(r, sel, a, b, defaultHeader(sel, 8)), text);
    }

    void csvMatchesReference_data()
    {
        QTest::addColumn<int>("chnNum");
        QTest::addColumn<long long>("rate");
        QTest::addColumn<double>("density");
        QTest::addColumn<int>("seed");
        QTest::newRow("8 at 100 MHz") << 8 << 100000000LL << 0.01 << 1;
        QTest::newRow("16 at 24 MHz dense") << 16 << 24000000LL << 0.3 << 2;
        QTest::newRow("32 at 3 Hz") << 32 << 3LL << 0.02 << 3;
        QTest::newRow("12 at 16 MHz") << 12 << 16000000LL << 0.1 << 4;
    }
    void csvMatchesReference()
    {
        QFETCH(int, chnNum);
        QFETCH(long long, rate);
        QFETCH(double, density);
        QFETCH(int, seed);
        std::mt19937_64 rng((unsigned long long)seed);
        RefCapture r = randomCapture(rng, chnNum, captureLength(), density);
        r.rate = rate;
        SmpData s(chnNum);
        fillStore(s, r);
        for (int round = 0; round < 4; ++round) {
            Sel sel{};
            for (int c = 0; c < chnNum; ++c)
                sel[size_t(c)] = (rng() % 3) == 0;
            const long long a = (long long)(rng() % (unsigned long long)r.count) - 10;
            const long long b = round == 0 ? r.count + 10 : (long long)(rng() % (unsigned long long)r.count);
            bool ok = false;
            const QByteArray got = csvOf(s, sel, a, b, &ok);
            QVERIFY(ok);
            const QByteArray want = refCsv(r, sel, a, b, defaultHeader(sel, chnNum));
            QCOMPARE(got.size(), want.size());
            QVERIFY(got == want);
        }
    }

    // 12 channels: 2-byte records, channel i in bit i mod 8 of byte i div 8.
    void binLayout()
    {
        RefCapture r;
        r.chnNum = 12;
        r.count = 4;
        r.chn.resize(12);
        r.chn[0] = {true, 1, {2}};
        r.chn[9] = {true, 0, {1}};
        r.chn[10] = {true, 1, {}};   // high, not selected
        r.chn[11] = {true, 1, {}};
        SmpData s(12);
        fillStore(s, r);
        Sel sel{};
        sel[0] = sel[9] = sel[11] = true;
        sel[5] = true;   // selected without a list: 0
        bool ok = false;
        QCOMPARE(binOf(s, sel, 0, 3, &ok), QByteArray::fromHex("0108010a000a000a"));
        QVERIFY(ok);
        QCOMPARE(binOf(s, sel, 3, 1), QByteArray::fromHex("010a000a000a"));
        QCOMPARE(binOf(s, Sel{}, 0, 99), QByteArray(8, 0));
        for (int i = 1; i < 8; i += 2)
            QCOMPARE((unsigned char)binOf(s, sel, 0, 3)[i] & 0xF0, 0);
    }

    void binMatchesReference_data()
    {
        QTest::addColumn<int>("chnNum");
        QTest::addColumn<double>("density");
        QTest::addColumn<int>("seed");
        QTest::newRow("8 sparse") << 8 << 0.0005 << 1;
        QTest::newRow("12 mixed") << 12 << 0.05 << 2;
        QTest::newRow("16 dense") << 16 << 0.4 << 3;
        QTest::newRow("24") << 24 << 0.01 << 4;
        QTest::newRow("32 sparse") << 32 << 0.001 << 5;
    }
    void binMatchesReference()
    {
        QFETCH(int, chnNum);
        QFETCH(double, density);
        QFETCH(int, seed);
        std::mt19937_64 rng((unsigned long long)seed);
        const RefCapture r = randomCapture(rng, chnNum, captureLength() * 4, density);
        SmpData s(chnNum);
        fillStore(s, r);
        for (int round = 0; round < 4; ++round) {
            Sel sel{};
            for (int c = 0; c < chnNum; ++c)
                sel[size_t(c)] = (rng() % 4) != 0;
            const long long a = round == 0 ? -3 : (long long)(rng() % (unsigned long long)r.count);
            const long long b = round == 0 ? r.count * 2 : (long long)(rng() % (unsigned long long)r.count);
            bool ok = false;
            const QByteArray got = binOf(s, sel, a, b, &ok);
            QVERIFY(ok);
            const QByteArray want = refBin(r, sel, a, b);
            QCOMPARE(got.size(), want.size());
            QVERIFY(got == want);
        }
    }

    // Stores the loader never produces: the exports refuse instead of
    // dividing by zero or writing rows without end, and keep the old file.
    void exportsGuardBadStores()
    {
        const QString csv = env->path("keep.csv");
        const QString bin = env->path("keep.bin");
        QVERIFY(writeFile(csv, "old csv"));
        QVERIFY(writeFile(bin, "old bin"));
        Sel sel{};
        sel[0] = true;

        RefCapture r;
        r.chnNum = 8;
        r.count = 50;
        r.rate = 0;
        r.chn.resize(8);
        r.chn[0] = {true, 0, {7}};
        SmpData s(8);
        fillStore(s, r);
        DataFile df;
        df.smpData = &s;
        QVERIFY(!df.exportCSV(csv, sel.data(), 0, 49, true));
        QCOMPARE(readAllOf(csv), QByteArray("old csv"));

        // A list with a repeated position.
        SmpData dup(8);
        const bool ena[8] = {true};
        QVERIFY(dup.dataConvertStart(0, 1000, ena));
        QVERIFY(SmpData::appendEntry(dup.chnData[0], 5));
        QVERIFY(SmpData::appendEntry(dup.chnData[0], 5));
        dup.smpCount = 10;
        QVERIFY(dup.dataConvertComplete(10));
        DataFile d2;
        d2.smpData = &dup;
        QVERIFY(!d2.exportCSV(csv, sel.data(), 0, 9, true));
        QVERIFY(!d2.exportBin(bin, sel.data(), 0, 9, true));
        QCOMPARE(readAllOf(csv), QByteArray("old csv"));
        QCOMPARE(readAllOf(bin), QByteArray("old bin"));

        // Nothing to export from an empty store.
        SmpData empty(8);
        DataFile d3;
        d3.smpData = &empty;
        QVERIFY(!d3.exportCSV(csv, sel.data(), 0, 9, true));
        QVERIFY(!d3.exportBin(bin, sel.data(), 0, 9, true));
        QCOMPARE(folderEntries(env->path(QString())).filter(QStringLiteral("keep")),
                 (QStringList{"keep.bin", "keep.csv"}));
    }
};

QTEST_MAIN(TstSampleExport)
#include "tst_sampleexport.moc"
