// Analog sample store: ADC conversion, demo synthesis, trace columns and the
// math trace, against values worked out plainly here.
#include "oscref.h"

#include "device/smpdataosc_p.h"

#include <QtTest>

#include <climits>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>

namespace {

struct Cal {
    int zd0, zd1, zs0, zs1, g0, g1;
};

CalibAdcData makeCal(const Cal& c)
{
    CalibAdcData d = {};
    d.zeroDual[0] = c.zd0;
    d.zeroDual[1] = c.zd1;
    d.zeroSingle[0] = c.zs0;
    d.zeroSingle[1] = c.zs1;
    d.slope[0] = c.g0;
    d.slope[1] = c.g1;
    return d;
}

// (z + 4r) x g / 1000, truncating toward zero; r is the byte taken as signed.
int refCode(unsigned char byte, int z, int g)
{
    const int r = byte >= 128 ? int(byte) - 256 : int(byte);
    const int p = (z + 4 * r) * g;
    return p / 1000;
}

// The same with the product wrapping to 32 bits, and the low 16 bits of the
// quotient kept: what the converter must give for any calibration pair.
int wrappedCode(unsigned char byte, int z, int g)
{
    const long long r = byte >= 128 ? int(byte) - 256 : int(byte);
    const long long p = (z + 4 * r) * g;   // |p| < 2^63 for any int z, g
    long long w = p & 0xFFFFFFFFLL;
    if (w >= 0x80000000LL)
        w -= 0x100000000LL;
    const long long low = (w / 1000) & 0xFFFF;
    return int(low >= 0x8000 ? low - 0x10000 : low);
}

std::unique_ptr<SmpDataOsc> startStore(bool ch0, bool ch1, int trg, long long rate = 1000000)
{
    auto s = std::make_unique<SmpDataOsc>(2, 16);
    const int vd[2] = {1000, 500};
    const int hs[2] = {480, 320};
    const int off[2] = {0, 100};
    const bool ena[2] = {ch0, ch1};
    s->dataConvertStart(trg, rate, vd, hs, off, ena);
    return s;
}

std::vector<unsigned char> randomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<unsigned char> v(n);
    for (auto& b : v)
        b = static_cast<unsigned char>(gen() & 0xFF);
    return v;
}

std::vector<WaveLineA> lines(int width)
{
    return std::vector<WaveLineA>(size_t(std::max(width, 1)) + 8, WaveLineA{-99, 0, 0, false});
}

// Sets the converter's path for one scope and puts it back however it is left.
class PathGuard {
public:
    explicit PathGuard(bool table)
    {
        SmpDataOscPath::forceTable(table);
    }
    ~PathGuard()
    {
        SmpDataOscPath::forceTable(false);
    }
    PathGuard(const PathGuard&) = delete;
    PathGuard& operator=(const PathGuard&) = delete;
};

// One record converted in the given buffer lengths (the last one takes the
// rest) through the chosen path.
std::unique_ptr<SmpDataOsc> convertInParts(bool table, bool dual, const CalibAdcData& cal,
                                           const std::vector<unsigned char>& raw,
                                           const std::vector<int>& parts)
{
    const PathGuard path(table);
    auto s = startStore(true, dual, 777, 2000000);
    size_t pos = 0;
    for (size_t i = 0; i <= parts.size(); ++i) {
        const int len = i < parts.size() ? parts[i] : int(raw.size() - pos);
        int used = -1;
        s->dataConvertM2_16(&cal, raw.data() + pos, len, &used);
        if (used != len)
            return nullptr;
        pos += size_t(len);
    }
    return s;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(Cal)

class TstSmpDataOsc : public QObject {
    Q_OBJECT
private slots:
    void conversionSpotValues_data();
    void conversionSpotValues();
    void conversionMatchesReference_data();
    void conversionMatchesReference();
    void vectorMatchesTable_data();
    void vectorMatchesTable();
    void vectorMatchesTableManyCalibrations();
    void conversionTrigger_data();
    void conversionTrigger();
    void conversionWithoutChannel();
    void startKeepsRanges();
    void sineSynthesis_data();
    void sineSynthesis();
    void pulseSynthesis();
    void synthesisLimits();
    void singleSampleColumns();
    void multiSampleColumns_data();
    void multiSampleColumns();
    void columnsTileTheWindow_data();
    void columnsTileTheWindow();
    void noColumns_data();
    void noColumns();
    void mathInMillivolts_data();
    void mathInMillivolts();
    void mathDivideByZero();
    void mathOneChannel_data();
    void mathOneChannel();
    void mathCacheLivesWithCapture();
    void mathColumnsAndStart();
    void mathNothing();
    void blockWithoutRange();
    void countBeyondCapacity();
};

void TstSmpDataOsc::conversionSpotValues_data()
{
    QTest::addColumn<int>("z");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("code");
    QTest::newRow("0x80 is -128") << 0 << 1000 << 0x80 << -512;
    QTest::newRow("0x7F is 127") << 0 << 1000 << 0x7F << 508;
    QTest::newRow("-1999 truncates to -1") << 3 << 1999 << 0xFF << -1;
    QTest::newRow("1999 truncates to 1") << -3 << 1999 << 0x01 << 1;
    QTest::newRow("offset and gain") << 2 << 1500 << 0x10 << 99;
    QTest::newRow("negative gain") << 0 << -1000 << 0x10 << -64;
}

void TstSmpDataOsc::conversionSpotValues()
{
    QFETCH(int, z);
    QFETCH(int, g);
    QFETCH(int, byte);
    QFETCH(int, code);
    const unsigned char b = static_cast<unsigned char>(byte);
    // Dual: the byte in channel 1's place, channel 0 with neutral calibration.
    {
        auto s = startStore(true, true, 0);
        const CalibAdcData cal = makeCal({0, z, 0, 0, 1000, g});
        const unsigned char raw[4] = {0x00, b, 0x01, b};
        int used = -1;
        QVERIFY(s->dataConvertM2_16(&cal, raw, 4, &used));
        QCOMPARE(used, 4);
        QCOMPARE(int(s->chnData[1]->data[0]), code);
        QCOMPARE(int(s->chnData[1]->data[1]), code);
        QCOMPARE(int(s->chnData[0]->data[1]), 4);
    }
    // Single: the byte taken by the odd ADC half.
    {
        auto s = startStore(false, true, 0);
        const CalibAdcData cal = makeCal({0, 0, 0, z, 1000, g});
        const unsigned char raw[2] = {0x02, b};
        int used = -1;
        QVERIFY(s->dataConvertM2_16(&cal, raw, 2, &used));
        QCOMPARE(int(s->chnData[1]->data[0]), 8);
        QCOMPARE(int(s->chnData[1]->data[1]), code);
    }
}

void TstSmpDataOsc::conversionMatchesReference_data()
{
    QTest::addColumn<bool>("dual");
    QTest::addColumn<int>("len");
    QTest::addColumn<std::vector<int>>("splits");   // buffer lengths in order; rest in the last
    QTest::newRow("dual, one record") << true << 40960 << std::vector<int>{};
    QTest::newRow("dual, split at an odd byte") << true << 40960 << std::vector<int>{20001};
    QTest::newRow("dual, three buffers") << true << 40960 << std::vector<int>{7, 16384};
    QTest::newRow("dual, beyond capacity") << true << 102400 + 999 << std::vector<int>{102399};
    QTest::newRow("dual, odd length") << true << 9 << std::vector<int>{};
    QTest::newRow("single, one record") << false << 40960 << std::vector<int>{};
    QTest::newRow("single, split at an odd byte") << false << 40960 << std::vector<int>{333};
    QTest::newRow("single, beyond capacity") << false << 51200 + 77 << std::vector<int>{51199};
    QTest::newRow("single, odd length") << false << 1001 << std::vector<int>{};
}

void TstSmpDataOsc::conversionMatchesReference()
{
    QFETCH(bool, dual);
    QFETCH(int, len);
    QFETCH(std::vector<int>, splits);
    const Cal c{-7, 5, 3, -2, 1013, 987};
    const CalibAdcData cal = makeCal(c);
    const std::vector<unsigned char> raw = randomBytes(size_t(len), unsigned(len));
    auto s = startStore(true, dual, 1000, 2000000);

    int pos = 0;
    std::vector<int> parts = splits;
    parts.push_back(len - std::accumulate(splits.begin(), splits.end(), 0));
    for (int part : parts) {
        int used = -1;
        QVERIFY(s->dataConvertM2_16(&cal, raw.data() + pos, part, &used));
        QCOMPARE(used, part);
        pos += part;
    }

    const int cap = AnalogChnData::Capacity;
    if (dual) {
        const int n = std::min(len / 2, cap);
        for (int ch = 0; ch < 2; ++ch) {
            const AnalogChnData* d = s->chnData[size_t(ch)];
            QCOMPARE(d->smpCount, n);
            QCOMPARE(d->smpFrequ, 2000000LL);
            for (int i = 0; i < n; ++i) {
                const int z = ch ? c.zd1 : c.zd0;
                const int g = ch ? c.g1 : c.g0;
                if (d->data[i] != refCode(raw[size_t(2 * i + ch)], z, g))
                    QFAIL(qPrintable(QString("channel %1 sample %2").arg(ch).arg(i)));
            }
            QCOMPARE(d->trgPosition, std::min(500, n - 1));
        }
        QCOMPARE(s->trgPosition, std::min(500, n - 1));
    } else {
        const int n = std::min(2 * (len / 2), cap);
        const AnalogChnData* d = s->chnData[0];
        QVERIFY(!s->chnData[1]);
        QCOMPARE(d->smpCount, n);
        QCOMPARE(d->smpFrequ, 4000000LL);   // doubled once, however many buffers
        for (int i = 0; i < n; ++i) {
            const int z = (i & 1) ? c.zs1 : c.zs0;
            const int g = (i & 1) ? c.g1 : c.g0;
            if (d->data[i] != refCode(raw[size_t(i)], z, g))
                QFAIL(qPrintable(QString("sample %1").arg(i)));
        }
        QCOMPARE(d->trgPosition, std::min(1000, n - 1));
        QCOMPARE(s->trgPosition, std::min(1000, n - 1));
    }
}

void TstSmpDataOsc::vectorMatchesTable_data()
{
    QTest::addColumn<bool>("dual");
    QTest::addColumn<Cal>("cal");
    struct Row {
        const char* name;
        Cal cal;   // the same zero for both modes of one half
    };
    std::vector<Row> rows = {
        {"neutral", {0, 0, 0, 0, 1000, 1000}},
        {"typical", {-7, 5, -7, 5, 1013, 987}},
        {"negative slopes", {3, -2, 3, -2, -1000, -1999}},
        {"slope 1 truncates small negatives", {0, -1, 0, -1, 1, 1}},
        {"exact thousands", {0, 500, 0, 500, 250, 1000}},
        {"codes beyond 16 bits", {0, -100, 0, -100, 500000, -300000}},
        {"slope at the int limits", {0, 1, 0, 1, INT_MAX, INT_MIN}},
        {"slope 2^24 wraps at r = 2", {0, 7, 0, 7, 1 << 24, -(1 << 24)}},
        {"zero at the int limits", {INT_MAX, INT_MIN, INT_MAX, INT_MIN, 1000, 1000}},
        {"everything at the limits", {INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX}},
    };
    std::mt19937 gen(1234);
    const auto any = [&gen]() { return int(gen()); };
    for (int i = 0; i < 4; ++i) {
        const int z0 = any(), z1 = any(), g0 = any(), g1 = any();
        rows.push_back({"random", {z0, z1, z0, z1, g0, g1}});
    }
    int n = 0;
    for (const Row& r : rows) {
        const QByteArray name = QByteArray(r.name) + " #" + QByteArray::number(n++);
        QTest::newRow((name + ", dual").constData()) << true << r.cal;
        QTest::newRow((name + ", single").constData()) << false << r.cal;
    }
}

void TstSmpDataOsc::vectorMatchesTable()
{
    QFETCH(bool, dual);
    QFETCH(Cal, cal);
    if (!SmpDataOscPath::vectorSupported())
        qInfo("no vector path on this CPU: both runs take the tables");
    const CalibAdcData c = makeCal(cal);
    // Every byte value on both channels (and both ADC halves) first, then noise;
    // one record is a little more than a full block.
    std::vector<unsigned char> raw = randomBytes(2 * AnalogChnData::Capacity + 11, 99);
    for (int j = 0; j < 256; ++j) {
        raw[size_t(2 * j)] = static_cast<unsigned char>(j);
        raw[size_t(2 * j + 1)] = static_cast<unsigned char>(255 - j);
    }
    // Buffer lengths: one whole block; odd pieces that leave the vector width
    // at every phase; records shorter than one vector step or just past one.
    const std::vector<std::pair<size_t, std::vector<int>>> splits = {
        {2 * AnalogChnData::Capacity, {}},
        {raw.size(), {1, 2, 3, 31, 33, 47, 64, 65, 1001, 16385}},
        {45, {}},
        {9, {}},
        {16, {15}},
    };
    for (const auto& sp : splits) {
        const std::vector<unsigned char> rec(raw.begin(), raw.begin() + long(sp.first));
        const auto fast = convertInParts(false, dual, c, rec, sp.second);
        const auto table = convertInParts(true, dual, c, rec, sp.second);
        QVERIFY(fast && table);
        for (int ch = 0; ch < (dual ? 2 : 1); ++ch) {
            const AnalogChnData* f = fast->chnData[size_t(ch)];
            const AnalogChnData* t = table->chnData[size_t(ch)];
            const int n = f->smpCount;
            QCOMPARE(n, t->smpCount);
            QCOMPARE(n, int(std::min<size_t>(dual ? rec.size() / 2 : rec.size() & ~size_t(1),
                                             AnalogChnData::Capacity)));
            QCOMPARE(f->trgPosition, t->trgPosition);
            QCOMPARE(f->smpFrequ, t->smpFrequ);
            for (int i = 0; i < n; ++i) {
                const size_t at = dual ? size_t(2 * i + ch) : size_t(i);
                const int half = dual ? ch : (i & 1);
                const int z = dual ? (half ? cal.zd1 : cal.zd0) : (half ? cal.zs1 : cal.zs0);
                const int want = wrappedCode(rec[at], z, half ? cal.g1 : cal.g0);
                if (f->data[i] != want || t->data[i] != want)
                    QFAIL(qPrintable(QString("%1 bytes, channel %2 sample %3: vector %4, "
                                             "table %5, expected %6")
                                         .arg(rec.size()).arg(ch).arg(i)
                                         .arg(f->data[i]).arg(t->data[i]).arg(want)));
            }
        }
    }
}

void TstSmpDataOsc::vectorMatchesTableManyCalibrations()
{
    // Every byte value on both channels, in one record of a few vector steps
    // and a tail, under calibrations of every magnitude.
    std::vector<unsigned char> raw(2 * 256 + 45);
    for (size_t j = 0; j < raw.size(); ++j)
        raw[j] = static_cast<unsigned char>(j & 1 ? 255 - (j / 2) % 256 : (j / 2) % 256);
    std::mt19937 gen(2024);
    const auto any = [&gen]() {
        const int v = int(gen());
        return v >> (gen() % 32);   // as many small values as large ones
    };
    for (int n = 0; n < 3000; ++n) {
        const Cal cal{any(), any(), any(), any(), any(), any()};
        const CalibAdcData c = makeCal(cal);
        for (bool dual : {true, false}) {
            const auto fast = convertInParts(false, dual, c, raw, {});
            const auto table = convertInParts(true, dual, c, raw, {});
            QVERIFY(fast && table);
            for (int ch = 0; ch < (dual ? 2 : 1); ++ch) {
                const AnalogChnData* f = fast->chnData[size_t(ch)];
                const AnalogChnData* t = table->chnData[size_t(ch)];
                QCOMPARE(f->smpCount, t->smpCount);
                for (int i = 0; i < f->smpCount; ++i) {
                    const int half = dual ? ch : (i & 1);
                    const int z = dual ? (half ? cal.zd1 : cal.zd0) : (half ? cal.zs1 : cal.zs0);
                    const int want = wrappedCode(raw[dual ? size_t(2 * i + ch) : size_t(i)], z,
                                                 half ? cal.g1 : cal.g0);
                    if (f->data[i] != want || t->data[i] != want)
                        QFAIL(qPrintable(QString("zero %1 slope %2, %3 channel %4 sample %5: "
                                                 "vector %6, table %7, expected %8")
                                             .arg(z).arg(half ? cal.g1 : cal.g0)
                                             .arg(dual ? "dual" : "single").arg(ch).arg(i)
                                             .arg(f->data[i]).arg(t->data[i]).arg(want)));
                }
            }
        }
    }
}

void TstSmpDataOsc::conversionTrigger_data()
{
    QTest::addColumn<bool>("dual");
    QTest::addColumn<int>("trg");
    QTest::addColumn<int>("len");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");
    QTest::newRow("dual 3001 of 1000 samples") << true << 3001 << 2000 << 1000 << 999;
    QTest::newRow("dual 1500 halves") << true << 1500 << 2000 << 1000 << 750;
    QTest::newRow("dual 1999 truncates") << true << 1999 << 2000 << 1000 << 999;
    QTest::newRow("dual 9 bytes") << true << 0 << 9 << 4 << 0;
    QTest::newRow("single 5000 of 1000") << false << 5000 << 1000 << 1000 << 999;
    QTest::newRow("single 999 stays") << false << 999 << 1000 << 1000 << 999;
}

void TstSmpDataOsc::conversionTrigger()
{
    QFETCH(bool, dual);
    QFETCH(int, trg);
    QFETCH(int, len);
    QFETCH(int, count);
    QFETCH(int, expected);
    auto s = startStore(true, dual, trg);
    const CalibAdcData cal = makeCal({0, 0, 0, 0, 1000, 1000});
    const std::vector<unsigned char> raw(size_t(len), 0x11);
    int used = 0;
    QVERIFY(s->dataConvertM2_16(&cal, raw.data(), len, &used));
    QCOMPARE(s->chnData[0]->smpCount, count);
    QCOMPARE(s->trgPosition, expected);
    QCOMPARE(s->chnData[0]->trgPosition, expected);
    if (dual)
        QCOMPARE(s->chnData[1]->trgPosition, expected);
}

void TstSmpDataOsc::conversionWithoutChannel()
{
    auto s = startStore(false, false, 10);
    const CalibAdcData cal = makeCal({0, 0, 0, 0, 1000, 1000});
    const std::vector<unsigned char> raw(4096, 0x40);
    int used = 0;
    QVERIFY(s->dataConvertM2_16(&cal, raw.data(), 4096, &used));
    QCOMPARE(used, 4096);
    QVERIFY(!s->hasValidDataA(0));
    QVERIFY(!s->hasValidDataA(1));
    short* p = nullptr;
    QCOMPARE(s->getAnalogData(0, &p), 0);
}

void TstSmpDataOsc::startKeepsRanges()
{
    auto s = std::make_unique<SmpDataOsc>(2, 16);
    QCOMPARE(s->levelHigh.size(), 2);
    QCOMPARE(s->levelLow.size(), 2);
    const int vd[2] = {20, 2000};
    const int hs[2] = {320, 480};
    const int off[2] = {-500, 250};
    const bool ena[2] = {true, true};
    QVERIFY(s->dataConvertStart(77, 123456, vd, hs, off, ena));
    QCOMPARE(s->smpFrequ, 123456LL);
    QCOMPARE(s->trgPosition, 77);
    for (int ch = 0; ch < 2; ++ch) {
        const AnalogChnData* d = s->chnData[size_t(ch)];
        QVERIFY(d);
        QCOMPARE(d->smpCount, 0);
        QCOMPARE(d->trgPosition, 0);
        QCOMPARE(d->voltDiv, vd[ch]);
        QCOMPARE(d->halfScreenCodes, hs[ch]);
        QCOMPARE(d->offset, off[ch]);
        QCOMPARE(d->smpFrequ, 123456LL);
    }
    QVERIFY(!s->hasValidDataA(0));
    // A later start frees the old blocks; one disabled channel has none.
    const bool ena2[2] = {false, true};
    QVERIFY(s->dataConvertStart(0, 1, vd, hs, off, ena2));
    QVERIFY(!s->chnData[0]);
    QVERIFY(s->chnData[1]);
    s->clearData();
    QVERIFY(!s->chnData[1]);
}

void TstSmpDataOsc::sineSynthesis_data()
{
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("offset");
    QTest::addColumn<double>("fraction");
    QTest::newRow("centred") << 480 << 0 << 0.4;
    QTest::newRow("quarter up") << 480 << 250 << 0.2;
    QTest::newRow("a tenth down") << 320 << -100 << 0.32;
    QTest::newRow("a tenth up") << 480 << 100 << 0.32;
    QTest::newRow("top edge") << 480 << 500 << 0.4;
    QTest::newRow("bottom edge") << 480 << -500 << 0.4;
}

void TstSmpDataOsc::sineSynthesis()
{
    QFETCH(int, h);
    QFETCH(int, offset);
    QFETCH(double, fraction);
    auto s = std::make_unique<SmpDataOsc>(2, 16);
    const int vd[2] = {1000, 1000};
    const int hs[2] = {h, h};
    const int off[2] = {offset, offset};
    const bool ena[2] = {true, true};
    s->dataConvertStart(0, 1000, vd, hs, off, ena);
    const int smpNum = 20480;
    const int unused[4] = {90, 90, 90, 90};
    QVERIFY(s->dataConvertSimu(unused, 4, 0, 500, smpNum));
    const AnalogChnData* d = s->chnData[0];
    QCOMPARE(d->smpCount, smpNum);
    QCOMPARE(d->trgPosition, 500 * smpNum / 1000);

    // The phase is random (whole degrees below 90): find the one that fits.
    const double amp = 2 * fraction * h;
    const int base = h * offset / 500;
    const double w = 36.44247416 / smpNum;
    int bestPhase = -1;
    int bestMatch = -1;
    for (int ph = 0; ph < 90; ++ph) {
        int match = 0;
        for (int i = 0; i < smpNum; i += 16)
            match += d->data[i] == int(std::sin(i * w + ph * 3.1415926 / 180) * amp + base);
        if (match > bestMatch) {
            bestMatch = match;
            bestPhase = ph;
        }
    }
    int exact = 0;
    for (int i = 0; i < smpNum; ++i) {
        const double ideal = std::sin(i * w + bestPhase * 3.1415926 / 180) * amp + base;
        exact += d->data[i] == int(ideal);
        // Noise is at most 3 codes of amplitude, on a few samples.
        if (std::abs(d->data[i] - ideal) > 4.0)
            QFAIL(qPrintable(QString("sample %1: %2 vs %3").arg(i).arg(d->data[i]).arg(ideal)));
    }
    QVERIFY2(exact > smpNum * 85 / 100, qPrintable(QString::number(exact)));
    QVERIFY(exact < smpNum);   // there is some noise
}

void TstSmpDataOsc::pulseSynthesis()
{
    // The demo generator's 64-entry pulse table.
    std::vector<int> t;
    auto rep = [&t](int v, int n) { t.insert(t.end(), size_t(n), v); };
    rep(0, 8); rep(1, 2); rep(0, 6); t.push_back(5); t.push_back(45); t.push_back(85);
    rep(90, 5); rep(89, 2); rep(90, 14); rep(89, 2); rep(90, 6);
    t.push_back(85); t.push_back(45); t.push_back(5); rep(0, 5); rep(1, 2); rep(0, 6);
    QCOMPARE(int(t.size()), 64);

    auto s = std::make_unique<SmpDataOsc>(2, 16);
    const int vd[2] = {1000, 1000};
    const int hs[2] = {480, 480};
    const int off[2] = {0, -200};
    const bool ena[2] = {true, true};
    s->dataConvertStart(0, 1000, vd, hs, off, ena);
    const int smpNum = 20480;
    QVERIFY(s->dataConvertSimu(t.data(), 64, 1, 250, smpNum));
    const AnalogChnData* d = s->chnData[1];
    QCOMPARE(d->smpCount, smpNum);
    QCOMPARE(d->trgPosition, 5120);

    const int base = 480 * -200 / 500;   // -192
    const double step = 64 * 5.2 / smpNum;
    int exact = 0;
    int top = 0;
    for (int i = 0; i < smpNum; ++i) {
        const double p = i * step;
        const int k = int(p) % 64;
        const int c0 = base + 4 * t[size_t(k)];
        const int c1 = base + 4 * t[size_t((k + 1) % 64)];
        const double frac = p - std::floor(p);
        const int ideal = int((c1 - c0) * frac) + c0;
        exact += d->data[i] == ideal;
        if (std::abs(d->data[i] - ideal) > 4)
            QFAIL(qPrintable(QString("sample %1").arg(i)));
        top = std::max<int>(top, d->data[i]);
    }
    QVERIFY(exact > smpNum * 85 / 100);
    QVERIFY(top >= base + 4 * 90 - 3 && top <= base + 4 * 90 + 3);
}

void TstSmpDataOsc::synthesisLimits()
{
    auto s = std::make_unique<SmpDataOsc>(2, 16);
    const int vd[2] = {1000, 1000};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {true, false};
    s->dataConvertStart(0, 1000, vd, hs, off, ena);
    const int lv[2] = {0, 10};
    // More samples than a block holds are cut to its capacity.
    QVERIFY(s->dataConvertSimu(lv, 2, 0, 1000, 1000000));
    QCOMPARE(s->chnData[0]->smpCount, AnalogChnData::Capacity);
    QCOMPARE(s->chnData[0]->trgPosition, AnalogChnData::Capacity);
    // A channel beyond the store, or one without a block, is left alone.
    QVERIFY(s->dataConvertSimu(lv, 2, 2, 500, 100));
    QVERIFY(s->dataConvertSimu(lv, 2, 1, 500, 100));
    QVERIFY(!s->chnData[1]);
    QVERIFY(s->dataConvertSimu(lv, 2, -1, 500, 100));
}

void TstSmpDataOsc::singleSampleColumns()
{
    std::vector<short> v(100);
    for (int i = 0; i < 100; ++i)
        v[size_t(i)] = short(i * 10 - 300);
    OscRange r{500, 480, 250};
    auto s = makeStore(&v, nullptr, r);

    // Starting 10 samples before the record at 2 pixels per sample: sample 0 at pixel 20.
    std::vector<WaveLineA> out = lines(100);
    int n = s->getAWaveLineData(0, -10, 0.5, 100, out.data());
    // Pixels 20, 22, ... 100: the record that reaches the last pixel (or
    // passes it) is the last, so the line runs to the edge.
    QCOMPARE(n, 41);
    QCOMPARE(out[40].x, 100);
    for (int j = 0; j < n; ++j) {
        QCOMPARE(out[size_t(j)].x, 20 + 2 * j);
        QVERIFY(out[size_t(j)].single);
        QCOMPARE(out[size_t(j)].low, refMv(r, v[size_t(j)]));
    }
    // Runs out of samples before the width.
    n = s->getAWaveLineData(0, 95.5, 1.0, 100, out.data());
    QCOMPARE(n, 5);
    QCOMPARE(out[0].low, refMv(r, v[95]));
    QCOMPARE(out[0].x, 0);   // trunc(-0.5)
    QCOMPARE(out[4].x, 3);
    // Stops at the width.
    n = s->getAWaveLineData(0, 0, 1.0, 7, out.data());
    QCOMPARE(n, 7);
    QCOMPARE(out[6].x, 6);
    // Starting past the end gives nothing.
    QCOMPARE(s->getAWaveLineData(0, 100, 0.5, 100, out.data()), 0);
}

void TstSmpDataOsc::multiSampleColumns_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("spp");
    QTest::addColumn<std::vector<int>>("ranges");   // first and last sample of each column
    QTest::addColumn<std::vector<int>>("xs");
    QTest::newRow("2.5 per pixel") << 0.0 << 2.5 << std::vector<int>{0, 1, 2, 4, 5, 6, 7, 9}
                                   << std::vector<int>{0, 1, 2, 3};
    // Sample 3 lies 0.35 pixel left of the grid: the first two columns share pixel 0.
    QTest::newRow("fractional start") << 3.7 << 2.0 << std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10}
                                      << std::vector<int>{0, 0, 1, 2};
    QTest::newRow("negative start") << -5.0 << 2.0 << std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}
                                    << std::vector<int>{2, 3, 4, 5};
}

void TstSmpDataOsc::multiSampleColumns()
{
    QFETCH(double, start);
    QFETCH(double, spp);
    QFETCH(std::vector<int>, ranges);
    QFETCH(std::vector<int>, xs);
    std::vector<short> v(1000);
    for (int i = 0; i < 1000; ++i)
        v[size_t(i)] = short(i);   // rising: a column's low and high name its samples
    OscRange r{1000, 480, 0};
    auto s = makeStore(&v, nullptr, r);
    std::vector<WaveLineA> out = lines(100);
    const int n = s->getAWaveLineData(0, start, spp, 100, out.data());
    QVERIFY(n >= int(xs.size()));
    for (size_t j = 0; j < xs.size(); ++j) {
        QVERIFY(!out[j].single);
        QCOMPARE(out[j].x, xs[j]);
        QCOMPARE(out[j].low, refMv(r, ranges[2 * j]));
        QCOMPARE(out[j].high, refMv(r, ranges[2 * j + 1]));
    }
}

void TstSmpDataOsc::columnsTileTheWindow_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("spp");
    QTest::addColumn<int>("width");
    QTest::newRow("1.3") << 17.25 << 1.3 << 300;
    QTest::newRow("7.77 to the end") << 1000.9 << 7.77 << 900;
    QTest::newRow("113 before the record") << -2000.0 << 113.0 << 200;
    QTest::newRow("huge") << 0.0 << 4000.0 << 10;
}

void TstSmpDataOsc::columnsTileTheWindow()
{
    QFETCH(double, start);
    QFETCH(double, spp);
    QFETCH(int, width);
    const int cnt = 30000;
    std::vector<short> v(static_cast<size_t>(cnt));
    for (int i = 0; i < cnt; ++i)
        v[size_t(i)] = short(i - 15000);
    OscRange r{1000, 480, 0};
    auto s = makeStore(&v, nullptr, r);
    std::vector<WaveLineA> out = lines(width);
    const int n = s->getAWaveLineData(0, start, spp, width, out.data());
    QVERIFY(n > 0 && n <= width);
    QCOMPARE(out[size_t(n)].x, -99);   // nothing written past the count
    // Recover each column's samples from the rising codes; they must follow
    // each other without gap or overlap and hold spp samples, give or take one.
    const double k = refMv(r, 1) - refMv(r, 0);
    auto sampleOf = [&](double mv) { return int(std::lround((mv - refMv(r, -15000)) / k)); };
    int expectFirst = start < 0 ? 0 : int(start);
    for (int j = 0; j < n; ++j) {
        const int a = sampleOf(out[size_t(j)].low);
        const int b = sampleOf(out[size_t(j)].high);
        QCOMPARE(a, expectFirst);
        const int len = b - a + 1;
        if (j + 1 < n)
            QVERIFY2(len >= int(spp) && len <= int(spp) + 1, qPrintable(QString::number(len)));
        // Column j sits at pixel j, or j - 1 when the first sample lies left of the grid.
        const int x = out[size_t(j)].x;
        if (start >= 0)
            QVERIFY(x == j || (x == j - 1 && start != std::floor(start)));
        else
            QCOMPARE(x, int(j - start / spp));
        expectFirst = b + 1;
    }
    // The columns end at the grid's edge or at the record's end.
    const double shown = start < 0 ? width * spp + start : width * spp + int(start);
    QVERIFY(expectFirst == cnt || std::abs(expectFirst - std::min<double>(shown, cnt)) <= spp + 1);
}

void TstSmpDataOsc::noColumns_data()
{
    QTest::addColumn<int>("chn");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("spp");
    QTest::addColumn<int>("width");
    QTest::newRow("channel without block") << 1 << 0.0 << 1.0 << 100;
    QTest::newRow("channel beyond the store") << 2 << 0.0 << 1.0 << 100;
    QTest::newRow("negative channel") << -1 << 0.0 << 1.0 << 100;
    QTest::newRow("zero per pixel") << 0 << 0.0 << 0.0 << 100;
    QTest::newRow("negative per pixel") << 0 << 0.0 << -2.0 << 100;
    QTest::newRow("NaN per pixel") << 0 << 0.0 << std::nan("") << 100;
    QTest::newRow("NaN start") << 0 << std::nan("") << 1.0 << 100;
    QTest::newRow("zero width") << 0 << 0.0 << 1.0 << 0;
    QTest::newRow("negative width") << 0 << 0.0 << 3.0 << -5;
    QTest::newRow("start past the end") << 0 << 1e30 << 3.0 << 100;
}

void TstSmpDataOsc::noColumns()
{
    QFETCH(int, chn);
    QFETCH(double, start);
    QFETCH(double, spp);
    QFETCH(int, width);
    std::vector<short> v(500, 7);
    auto s = makeStore(&v, nullptr);
    std::vector<WaveLineA> out = lines(100);
    QCOMPARE(s->getAWaveLineData(chn, start, spp, width, out.data()), 0);
    // The math trace of the channel with itself refuses the same arguments.
    const int pair[2] = {chn, chn};
    QCOMPARE(s->getAMathWaveLineData(0, pair, start, spp, width, out.data()), 0);
    QCOMPARE(out[0].x, -99);
}

void TstSmpDataOsc::mathInMillivolts_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::newRow("CH1 + CH2") << 0 << 0 << 1;
    QTest::newRow("CH1 - CH2") << 1 << 0 << 1;
    QTest::newRow("CH2 - CH1") << 1 << 1 << 0;
    QTest::newRow("CH1 x CH2") << 2 << 0 << 1;
}

void TstSmpDataOsc::mathInMillivolts()
{
    QFETCH(int, op);
    QFETCH(int, a);
    QFETCH(int, b);
    std::mt19937 gen(42);
    std::vector<short> v0(3000);
    std::vector<short> v1(3000);
    for (size_t i = 0; i < v0.size(); ++i) {
        v0[i] = short(int(gen() % 961) - 480);
        v1[i] = short(int(gen() % 641) - 320);
    }
    OscRange r[2] = {{1000, 480, 100}, {20, 320, -200}};
    auto s = makeStore(&v0, &v1, r[0], r[1]);
    const std::vector<short>* v[2] = {&v0, &v1};
    const int pair[2] = {a, b};
    std::vector<WaveLineA> out = lines(400);
    const int n = s->getAMathWaveLineData(op, pair, 100, 1.0, 400, out.data());
    QCOMPARE(n, 400);
    const double common = 1000;   // the larger step of the two
    for (int j = 0; j < n; ++j) {
        const double ma = refMv(r[a], (*v[a])[size_t(100 + j)]);
        const double mb = refMv(r[b], (*v[b])[size_t(100 + j)]);
        double want;
        switch (op) {
        case 0: want = ma + mb; break;
        case 1: want = ma - mb; break;
        default: want = ma * mb / (common * 0.005); break;
        }
        QVERIFY(out[size_t(j)].single);
        QCOMPARE(out[size_t(j)].x, j);
        if (std::abs(out[size_t(j)].low - want) > 1e-6 * std::max(1.0, std::abs(want)))
            QFAIL(qPrintable(QString("column %1: %2 vs %3").arg(j).arg(out[size_t(j)].low).arg(want)));
    }
}

void TstSmpDataOsc::mathDivideByZero()
{
    std::vector<short> v0(50, 240);
    std::vector<short> v1(50, 96);
    v1[7] = 0;
    OscRange r{500, 480, 0};
    auto s = makeStore(&v0, &v1, r, r);
    const int pair[2] = {0, 1};
    std::vector<WaveLineA> out = lines(50);
    QCOMPARE(s->getAMathWaveLineData(3, pair, 0, 1.0, 50, out.data()), 50);
    QCOMPARE(out[7].low, 0.0);
    // Elsewhere the quotient in the common unit: 2.5 scaled by 500 mV x 0.005.
    QCOMPARE(out[6].low, 240.0 / 96.0 * 2.5);
}

void TstSmpDataOsc::mathOneChannel_data()
{
    QTest::addColumn<bool>("haveA");
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("sign");   // 1 the channel, -1 negated, 0 flat zero
    QTest::newRow("B off, A + B") << true << 0 << 1;
    QTest::newRow("B off, A - B") << true << 1 << 1;
    QTest::newRow("B off, A x B") << true << 2 << 0;
    QTest::newRow("B off, A / B") << true << 3 << 0;
    QTest::newRow("A off, A + B") << false << 0 << 1;
    QTest::newRow("A off, A - B") << false << 1 << -1;
    QTest::newRow("A off, A x B") << false << 2 << 0;
    QTest::newRow("A off, A / B") << false << 3 << 0;
}

void TstSmpDataOsc::mathOneChannel()
{
    QFETCH(bool, haveA);
    QFETCH(int, op);
    QFETCH(int, sign);
    std::vector<short> v(200);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = short(int(i) * 3 - 250);
    OscRange r{200, 480, -300};
    auto s = haveA ? makeStore(&v, nullptr, r, r) : makeStore(nullptr, &v, r, r);
    const int pair[2] = {0, 1};
    std::vector<WaveLineA> out = lines(200);
    QCOMPARE(s->getAMathWaveLineData(op, pair, 0, 1.0, 200, out.data()), 200);
    for (int j = 0; j < 200; ++j) {
        const double want = sign * refMv(r, v[size_t(j)]);
        QVERIFY(std::abs(out[size_t(j)].low - want) < 1e-6);
    }
}

void TstSmpDataOsc::mathCacheLivesWithCapture()
{
    std::vector<short> v0(100, 480);
    std::vector<short> v1(100, 240);
    OscRange r0{1000, 480, 0};
    OscRange r1{500, 480, 0};
    auto s = makeStore(&v0, &v1, r0, r1);
    const int pair[2] = {0, 1};
    std::vector<WaveLineA> out = lines(100);
    QCOMPARE(s->getAMathWaveLineData(0, pair, 0, 1.0, 100, out.data()), 100);
    QCOMPARE(out[0].low, 5000.0 + 1250.0);
    // The cache keeps the capture's own steps when a block's range is touched.
    s->chnData[1]->voltDiv = 2000;
    s->chnData[1]->data[0] = 0;
    QCOMPARE(s->getAMathWaveLineData(0, pair, 0, 1.0, 100, out.data()), 100);
    QCOMPARE(out[0].low, 6250.0);
    // A new capture rebuilds it.
    const int vd[2] = {1000, 1000};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {true, true};
    s->dataConvertStart(0, 1000, vd, hs, off, ena);
    QVERIFY(!s->mathData[0] && !s->mathData[1]);
    for (int c = 0; c < 2; ++c) {
        s->chnData[size_t(c)]->smpCount = 100;
        std::fill(s->chnData[size_t(c)]->data, s->chnData[size_t(c)]->data + 100, short(48));
    }
    QCOMPARE(s->getAMathWaveLineData(0, pair, 0, 1.0, 100, out.data()), 100);
    QCOMPARE(out[0].low, 1000.0);
}

void TstSmpDataOsc::mathColumnsAndStart()
{
    std::vector<short> v0(1000);
    std::vector<short> v1(1000, 0);
    for (size_t i = 0; i < v0.size(); ++i)
        v0[i] = short(i);
    OscRange r{1000, 480, 0};
    auto s = makeStore(&v0, &v1, r, r);
    const int pair[2] = {0, 1};
    std::vector<WaveLineA> out = lines(100);
    // 2.5 samples per pixel: samples 0-1, 2-4, 5-6.
    int n = s->getAMathWaveLineData(0, pair, 0, 2.5, 100, out.data());
    QCOMPARE(n, 100);
    QCOMPARE(out[0].low, refMv(r, 0));
    QCOMPARE(out[0].high, refMv(r, 1));
    QCOMPARE(out[1].low, refMv(r, 2));
    QCOMPARE(out[1].high, refMv(r, 4));
    QCOMPARE(out[2].low, refMv(r, 5));
    QCOMPARE(out[2].high, refMv(r, 6));
    QVERIFY(!out[2].single);
    // A start before the record moves the first column right.
    n = s->getAMathWaveLineData(0, pair, -20, 0.5, 100, out.data());
    QCOMPARE(out[0].x, 40);
    QCOMPARE(out[0].low, refMv(r, 0));
    QCOMPARE(n, 30);
    // Past the end of the samples.
    QCOMPARE(s->getAMathWaveLineData(0, pair, 990, 1.0, 100, out.data()), 10);
}

void TstSmpDataOsc::mathNothing()
{
    std::vector<short> v(100, 5);
    auto s = makeStore(nullptr, nullptr);
    const int pair[2] = {0, 1};
    std::vector<WaveLineA> out = lines(100);
    QCOMPARE(s->getAMathWaveLineData(0, pair, 0, 1.0, 100, out.data()), 0);
    auto t = makeStore(&v, &v);
    QCOMPARE(t->getAMathWaveLineData(4, pair, 0, 1.0, 100, out.data()), 0);
    QCOMPARE(t->getAMathWaveLineData(-1, pair, 0, 1.0, 100, out.data()), 0);
    QCOMPARE(t->getAMathWaveLineData(0, pair, 0, 1.0, 0, out.data()), 0);
    QCOMPARE(out[0].x, -99);
}

void TstSmpDataOsc::blockWithoutRange()
{
    // A block read from a damaged file may carry no range: nothing is drawn
    // or measured from it rather than dividing by zero.
    std::vector<short> v(500, 100);
    OscRange none{1000, 0, 0};
    auto s = makeStore(&v, &v, none, OscRange());
    std::vector<WaveLineA> out = lines(100);
    QCOMPARE(s->getAWaveLineData(0, 0, 1.0, 100, out.data()), 0);
    double values[SmpDataOsc::ParamNum];
    bool valid[SmpDataOsc::ParamNum];
    s->getAParameterValues(0, 0, 500, values, valid);
    QVERIFY(!valid[4]);
    // The math trace takes only the channel that has a range.
    const int pair[2] = {0, 1};
    QCOMPARE(s->getAMathWaveLineData(1, pair, 0, 1.0, 100, out.data()), 100);
    QCOMPARE(out[0].low, -refMv(OscRange(), 100));
}

void TstSmpDataOsc::countBeyondCapacity()
{
    // A count larger than the block (a damaged file) is read as the capacity.
    std::vector<short> v(size_t(AnalogChnData::Capacity), 3);
    v.back() = 300;
    auto s = makeStore(&v, &v);
    s->chnData[0]->smpCount = 60000;
    s->chnData[1]->smpCount = 60000;
    std::vector<WaveLineA> out = lines(10);
    QCOMPARE(s->getAWaveLineData(0, 0, 10000.0, 10, out.data()), 6);
    QCOMPARE(out[5].high, refMv(OscRange(), 300));
    QCOMPARE(s->getAWaveLineData(0, 51199, 0.5, 10, out.data()), 1);
    double values[SmpDataOsc::ParamNum];
    bool valid[SmpDataOsc::ParamNum];
    s->getAParameterValues(0, 0, 1e9, values, valid);
    QVERIFY(valid[3]);
    QCOMPARE(values[3], refMv(OscRange(), 300) - refMv(OscRange(), 3));
    const int pair[2] = {0, 1};
    QCOMPARE(s->getAMathWaveLineData(0, pair, 51190, 1.0, 10, out.data()), 10);
    QCOMPARE(s->getAMathWaveLineData(0, pair, 51195, 1.0, 10, out.data()), 5);
}

QTEST_APPLESS_MAIN(TstSmpDataOsc)
#include "tst_smpdataosc.moc"
