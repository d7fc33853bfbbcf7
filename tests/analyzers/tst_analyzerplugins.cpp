// The four analyzer plug-ins, loaded with dlopen from the resource folder:
// golden captures written plainly here decode to the expected frames and
// texts, malformed traffic gives error frames, the simulators decode back to
// what they sent, and the settings text survives round trips and hostile input.
#include "tests/analyzers/analyzertesthelpers.h"
#include "tests/analyzers/pluginloader.h"

#include <QtTest>

#include <memory>
#include <random>
#include <thread>

Q_DECLARE_METATYPE(DisplayBase)

namespace {

AnalyzerPlugin gUart, gSpi, gI2c, gCan;

struct Instance {
    explicit Instance(AnalyzerPlugin& p) : plugin(p), a(p.create()) {}
    ~Instance() { plugin.destroy(a); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    AnalyzerPlugin& plugin;
    Analyzer* a;
    bool load(const char* text) { return a->GetAnalyzerSettings()->LoadFromText(text); }
};

// ---- UART, written bit by bit ----
struct UartLine {
    int bits = 8;
    int parity = 0;  // 0 none, 1 even, 2 odd
    double stop = 1;
    bool msb = false;
    bool inv = false;
    int spb = 100;
};

int64_t uartChar(WaveBuilder& w, int64_t t, unsigned v, const UartLine& c, bool badParity = false,
                 bool badStop = false)
{
    const int inv = c.inv ? 1 : 0;
    w.set(t, 0 ^ inv);
    t += c.spb;
    int ones = 0;
    for (int k = 0; k < c.bits; ++k) {
        int b = c.msb ? (v >> (c.bits - 1 - k)) & 1 : (v >> k) & 1;
        ones += b;
        w.set(t, b ^ inv);
        t += c.spb;
    }
    if (c.parity) {
        int p = (ones & 1) ^ (c.parity == 2 ? 1 : 0);
        w.set(t, (p ^ (badParity ? 1 : 0)) ^ inv);
        t += c.spb;
    }
    w.set(t, (badStop ? 0 : 1) ^ inv);
    t += int64_t(c.stop * c.spb);
    w.set(t, 1 ^ inv);
    return t;
}

// ---- CAN, written from the documented frame layout ----
uint16_t crc15(const std::vector<int>& bits)
{
    uint16_t crc = 0;
    for (int b : bits) {
        int next = b ^ ((crc >> 14) & 1);
        crc = uint16_t((crc << 1) & 0x7FFF);
        if (next)
            crc ^= 0x4599;
    }
    return crc;
}

void putBits(std::vector<int>& out, uint32_t v, int n)
{
    for (int k = n - 1; k >= 0; --k)
        out.push_back(int((v >> k) & 1));
}

// SOF to the end of the CRC, unstuffed.
std::vector<int> canFrameBits(uint32_t id, bool ext, bool rtr, const std::vector<int>& data, int dlc,
                              uint16_t* crcOut, bool badCrc = false)
{
    std::vector<int> b;
    putBits(b, 0, 1);
    if (ext) {
        putBits(b, id >> 18, 11);
        putBits(b, 1, 1);  // SRR
        putBits(b, 1, 1);  // IDE
        putBits(b, id & 0x3FFFF, 18);
        putBits(b, rtr, 1);
        putBits(b, 0, 2);
    } else {
        putBits(b, id, 11);
        putBits(b, rtr, 1);
        putBits(b, 0, 2);
    }
    putBits(b, uint32_t(dlc), 4);
    for (int d : data)
        putBits(b, uint32_t(d), 8);
    uint16_t crc = crc15(b);
    *crcOut = crc;
    putBits(b, badCrc ? crc ^ 0x0001 : crc, 15);
    return b;
}

std::vector<int> stuffBits(const std::vector<int>& in)
{
    std::vector<int> out;
    int last = -1, same = 0;
    for (int b : in) {
        out.push_back(b);
        same = b == last ? same + 1 : 1;
        last = b;
        if (same == 5) {
            out.push_back(1 - b);
            last = 1 - b;
            same = 1;
        }
    }
    return out;
}

int64_t canWrite(WaveBuilder& w, int64_t t, const std::vector<int>& stuffed, bool ack, int spb)
{
    std::vector<int> all = stuffed;
    all.push_back(1);            // CRC delimiter
    all.push_back(ack ? 0 : 1);  // ACK slot
    for (int k = 0; k < 11; ++k)
        all.push_back(1);        // ACK delimiter, EOF, intermission
    for (int b : all) {
        w.set(t, b);
        t += spb;
    }
    return t;
}

// ---- I2C ----
struct I2cBus {
    WaveBuilder sda{1}, scl{1};
    int64_t t = 40;
    int q = 5;
    bool zeroHold = false;  // data changes at the same sample as the SCL fall
    void start()
    {
        sda.set(t, 0);
        t += 2 * q;
        scl.set(t, 0);
        if (!zeroHold)
            t += q;
    }
    void bit(int b)
    {
        sda.set(t, b);
        t += q;
        scl.set(t, 1);
        t += 2 * q;
        scl.set(t, 0);
        if (!zeroHold)
            t += q;
    }
    void byte(unsigned v, bool ack, int nbits = 8)
    {
        for (int k = 7; k >= 8 - nbits; --k)
            bit((v >> k) & 1);
        if (nbits == 8)
            bit(ack ? 0 : 1);
    }
    void repeatedStart()
    {
        sda.set(t, 1);
        t += q;
        scl.set(t, 1);
        t += q;
        sda.set(t, 0);
        t += q;
        scl.set(t, 0);
        t += q;
    }
    void stop()
    {
        sda.set(t, 0);
        t += q;
        scl.set(t, 1);
        t += q;
        sda.set(t, 1);
        t += 4 * q;
    }
};

// ---- SPI ----
struct SpiBus {
    WaveBuilder mosi{0}, miso{0}, clk, en{1};
    int64_t t = 20;
    int half = 5;
    int cpol = 0, cpha = 0;
    bool lsb = false;
    explicit SpiBus(int pol, int pha, bool lsbFirst) : clk(pol), cpol(pol), cpha(pha), lsb(lsbFirst) {}
    void select() { en.set(t, 0); t += half; }
    void release() { t += half; en.set(t, 1); t += 4 * half; }
    void word(uint64_t vo, uint64_t vi, int bits, int sendBits = -1)
    {
        if (sendBits < 0)
            sendBits = bits;
        for (int k = 0; k < sendBits; ++k) {
            int bit = lsb ? k : bits - 1 - k;
            int bo = int((vo >> bit) & 1), bi = int((vi >> bit) & 1);
            if (cpha == 0) {
                mosi.set(t, bo);
                miso.set(t, bi);
            }
            t += half;
            clk.set(t, 1 - cpol);
            if (cpha == 1) {
                mosi.set(t, bo);
                miso.set(t, bi);
            }
            t += half;
            clk.set(t, cpol);
        }
        t += half;
    }
};

}  // namespace

class TestAnalyzerPlugins : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exports();

    void uartFormats_data();
    void uartFormats();
    void uartFrameLayout_data();
    void uartFrameLayout();
    void uartErrors();
    void uartGlitchAndEarlyStart();

    void spiModes_data();
    void spiModes();
    void spiIncompleteWordAndNoEnable();

    void i2cTransaction_data();
    void i2cTransaction();
    void i2cMalformed();

    void canCrcReference();
    void canFrames();
    void canMalformed();

    void formatsAcrossAnalyzers_data();
    void formatsAcrossAnalyzers();
    void exportDecodedUart();
    void readersWhileDecoding();

    void simulationRoundTrip_data();
    void simulationRoundTrip();

    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void hostileSettingsText_data();
    void hostileSettingsText();
    void channelLimit();
    void exportOptions();
};

void TestAnalyzerPlugins::initTestCase()
{
    QVERIFY2(!qgetenv("TAV_BIN_DIR").isEmpty(), "TAV_BIN_DIR not set");
    QVERIFY(gUart.load("libUART.so"));
    QVERIFY(gSpi.load("libSPI.so"));
    QVERIFY(gI2c.load("libI2C.so"));
    QVERIFY(gCan.load("libCAN.so"));
}

void TestAnalyzerPlugins::exports()
{
    QCOMPARE(QString(gUart.name()), QString("UART"));
    QCOMPARE(QString(gSpi.name()), QString("SPI"));
    QCOMPARE(QString(gI2c.name()), QString("I2C"));
    QCOMPARE(QString(gCan.name()), QString("CAN"));
    for (AnalyzerPlugin* p : {&gUart, &gSpi, &gI2c, &gCan}) {
        QVERIFY(p->paraInfo);
        QStringList models = QString(p->paraInfo()).split(',');
        for (const char* m : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "49", "65"})
            QVERIFY2(models.contains(m), m);
        Instance in(*p);
        QCOMPARE(QString(in.a->GetProtocolName()), QString(p->name()));
        // Channel settings first, as the settings dialog lays them out.
        AnalyzerSettings* s = in.a->GetAnalyzerSettings();
        for (unsigned i = 0; i < s->GetChannelsCount(); ++i)
            QCOMPARE(s->GetSettingsInterface(i)->GetKind(), int(AnalyzerSettingInterface::KindChannel));
    }
}

// ---------------- UART ----------------

void TestAnalyzerPlugins::uartFormats_data()
{
    QTest::addColumn<DisplayBase>("base");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Bin") << DisplayBin << QStringList{"0b01001000", "0b00001101", "0b11111111", "0b00100000"};
    QTest::newRow("Dec") << DisplayDec << QStringList{"72", "13", "255", "32"};
    QTest::newRow("Hex") << DisplayHex << QStringList{"0x48", "0x0D", "0xFF", "0x20"};
    QTest::newRow("ASCII") << DisplayAscii << QStringList{"H", "\\r", "\\xFF", " "};
    QTest::newRow("ASCII & Hex") << DisplayAsciiHex
                                 << QStringList{"H (0x48)", "\\r (0x0D)", "\\xFF (0xFF)", "  (0x20)"};
}

void TestAnalyzerPlugins::uartFormats()
{
    QFETCH(DisplayBase, base);
    QFETCH(QStringList, texts);
    UartLine c;
    WaveBuilder w(1);
    int64_t t = 500;
    for (unsigned v : {0x48u, 0x0Du, 0xFFu, 0x20u})
        t = uartChar(w, t, v, c) + 150;
    TestCapture cap(4, t + 500, 1000000);
    cap.setChannel(2, w.initLevel(), w.edges());
    Instance in(gUart);
    QVERIFY(in.load("UART,1,rx=2,baud=10000"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    QCOMPARE(tabularTexts(r, base), texts);
    for (U64 i = 0; i < r->GetNumFrames(); ++i)
        QCOMPARE(bubbleTexts(r, i, Channel(0, 2), base), QStringList{texts[int(i)]});
    QVERIFY(r->DoBubblesAppearOnChannel(Channel(0, 2)));
    QVERIFY(!r->DoBubblesAppearOnChannel(Channel(0, 1)));
}

void TestAnalyzerPlugins::uartFrameLayout_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<double>("stop");
    QTest::addColumn<bool>("msb");
    QTest::addColumn<bool>("inv");
    QTest::newRow("8N1") << "baud=10000" << 8 << 0 << 1.0 << false << false;
    QTest::newRow("7E1") << "baud=10000,bits=7,parity=1" << 7 << 1 << 1.0 << false << false;
    QTest::newRow("8O2") << "baud=10000,parity=2,stop=2" << 8 << 2 << 2.0 << false << false;
    QTest::newRow("5N1.5") << "baud=10000,bits=5,stop=1.5" << 5 << 0 << 1.5 << false << false;
    QTest::newRow("9N1 MSB first") << "baud=10000,bits=9,order=1" << 9 << 0 << 1.0 << true << false;
    QTest::newRow("8E1 inverted") << "baud=10000,parity=1,inv=1" << 8 << 1 << 1.0 << false << true;
}

void TestAnalyzerPlugins::uartFrameLayout()
{
    QFETCH(QString, settings);
    QFETCH(int, bits);
    QFETCH(int, parity);
    QFETCH(double, stop);
    QFETCH(bool, msb);
    QFETCH(bool, inv);
    UartLine c;
    c.bits = bits;
    c.parity = parity;
    c.stop = stop;
    c.msb = msb;
    c.inv = inv;
    const std::vector<unsigned> values{0x01, 0x1A5 & ((1u << bits) - 1), 0x10, (1u << bits) - 1, 0};
    WaveBuilder w(inv ? 0 : 1);
    int64_t t = 300;
    std::vector<int64_t> starts;
    for (unsigned v : values) {
        starts.push_back(t);
        t = uartChar(w, t, v, c) + 200;
    }
    TestCapture cap(1, t + 300, 1000000);
    cap.setChannel(0, w.initLevel(), w.edges());
    Instance in(gUart);
    QVERIFY(in.load(("UART,1,rx=0," + settings).toLatin1().constData()));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    std::vector<Frame> f = allFrames(r);
    QCOMPARE(f.size(), values.size());
    const int64_t len = int64_t((1 + bits + (parity ? 1 : 0) + stop) * 100 + 0.5);
    for (size_t i = 0; i < f.size(); ++i) {
        QCOMPARE(f[i].data1, U64(values[i]));
        QCOMPARE(int(f[i].flags), 0);
        QCOMPARE(f[i].startSample, starts[i]);
        QCOMPARE(f[i].endSample, starts[i] + len);
    }
}

void TestAnalyzerPlugins::uartErrors()
{
    UartLine c;
    c.parity = 1;
    WaveBuilder w(1);
    int64_t t = 300;
    t = uartChar(w, t, 0x41, c, true, false) + 300;  // parity error
    t = uartChar(w, t, 0x42, c, false, true) + 300;  // framing error (stop bit low)
    t = uartChar(w, t, 0x43, c) + 300;               // good again
    TestCapture cap(1, t + 300, 1000000);
    cap.setChannel(0, 1, w.edges());
    Instance in(gUart);
    QVERIFY(in.load("UART,1,rx=0,baud=10000,parity=1"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    QCOMPARE(tabularTexts(r, DisplayHex),
             QStringList({"0x41 (parity error)", "0x42 (framing error)", "0x43"}));
    std::vector<Frame> f = allFrames(r);
    QVERIFY(f[0].HasFlag(Frame::kError));
    QVERIFY(f[1].HasFlag(Frame::kError));
    QVERIFY(!f[2].HasFlag(Frame::kError));
    QCOMPARE(bubbleTexts(r, 1, Channel(0, 0), DisplayHex),
             QStringList({"!", "0x42 !", "0x42 (framing error)"}));
    // Error markers: a red dot on the parity bit, a red X on the stop bit.
    bool parityMark = false, stopMark = false;
    for (U64 i = 0; i < r->GetNumMarkers(Channel(0, 0)); ++i) {
        Marker m = r->GetMarker(Channel(0, 0), i);
        parityMark |= m.type == MarkerErrorDot && m.sample == 300 + 950;
        stopMark |= m.type == MarkerErrorX;
    }
    QVERIFY(parityMark);
    QVERIFY(stopMark);
}

void TestAnalyzerPlugins::uartGlitchAndEarlyStart()
{
    UartLine c;
    WaveBuilder w(1);
    // A 10-sample low glitch is no start bit.
    w.set(200, 0);
    w.set(210, 1);
    // The second character starts half a bit early (short stop bit): both
    // decode and the first bubble ends where the second begins.
    int64_t t = uartChar(w, 1000, 0x55, c);
    int64_t second = t - 30;
    t = uartChar(w, second, 0xAA, c) + 500;
    TestCapture cap(1, t, 1000000);
    cap.setChannel(0, 1, w.edges());
    Instance in(gUart);
    QVERIFY(in.load("UART,1,rx=0,baud=10000"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    std::vector<Frame> f = allFrames(r);
    QCOMPARE(f.size(), size_t(2));
    QCOMPARE(f[0].data1, U64(0x55));
    QCOMPARE(f[1].data1, U64(0xAA));
    QCOMPARE(f[0].startSample, int64_t(1000));
    QCOMPARE(f[0].endSample, second);
    QCOMPARE(f[1].startSample, second);
}

// ---------------- SPI ----------------

void TestAnalyzerPlugins::spiModes_data()
{
    QTest::addColumn<int>("cpol");
    QTest::addColumn<int>("cpha");
    QTest::addColumn<bool>("lsb");
    QTest::addColumn<int>("bits");
    QTest::newRow("mode 0") << 0 << 0 << false << 8;
    QTest::newRow("mode 1") << 0 << 1 << false << 8;
    QTest::newRow("mode 2") << 1 << 0 << false << 8;
    QTest::newRow("mode 3") << 1 << 1 << false << 8;
    QTest::newRow("mode 0 LSB first") << 0 << 0 << true << 8;
    QTest::newRow("mode 3, 12 bits") << 1 << 1 << false << 12;
    QTest::newRow("mode 1, 64 bits") << 0 << 1 << true << 64;
}

void TestAnalyzerPlugins::spiModes()
{
    QFETCH(int, cpol);
    QFETCH(int, cpha);
    QFETCH(bool, lsb);
    QFETCH(int, bits);
    const uint64_t mask = bits == 64 ? ~0ull : (1ull << bits) - 1;
    const std::vector<std::pair<uint64_t, uint64_t>> words{
        {0xA5, 0x5A}, {0x3C & mask, 0xC3 & mask}, {0xFFFFFFFFFFFFFFFFull & mask, 0}, {0x0123456789ABCDEFull & mask, 0x81}};
    SpiBus bus(cpol, cpha, lsb);
    bus.select();
    for (auto& w : words)
        bus.word(w.first, w.second, bits);
    bus.release();
    TestCapture cap(4, bus.t + 100, 1000000);
    cap.setChannel(0, 0, bus.mosi.edges());
    cap.setChannel(1, 0, bus.miso.edges());
    cap.setChannel(2, cpol, bus.clk.edges());
    cap.setChannel(3, 1, bus.en.edges());
    Instance in(gSpi);
    QString text = QString("SPI,1,mosi=0,miso=1,clk=2,en=3,cpol=%1,cpha=%2,bits=%3,order=%4")
                       .arg(cpol).arg(cpha).arg(bits).arg(lsb ? 1 : 0);
    QVERIFY(in.load(text.toLatin1().constData()));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    std::vector<Frame> f = allFrames(r);
    QCOMPARE(f.size(), words.size());
    for (size_t i = 0; i < f.size(); ++i) {
        QCOMPARE(f[i].data1, U64(words[i].first));
        QCOMPARE(f[i].data2, U64(words[i].second));
        QCOMPARE(int(f[i].flags), 0);
    }
    if (bits == 8) {
        QCOMPARE(tabularTexts(r, DisplayHex).first(), QString("MOSI: 0xA5  MISO: 0x5A"));
        QCOMPARE(tabularTexts(r, DisplayDec).first(), QString("MOSI: 165  MISO: 90"));
        QCOMPARE(bubbleTexts(r, 1, Channel(0, 1), DisplayBin), QStringList{"0b11000011"});
        QCOMPARE(bubbleTexts(r, 1, Channel(0, 0), DisplayAscii), QStringList{"<"});
    }
    // One clock marker per bit, on the sampling edges.
    QCOMPARE(r->GetNumMarkers(Channel(0, 2)), U64(words.size() * size_t(bits)));
}

void TestAnalyzerPlugins::spiIncompleteWordAndNoEnable()
{
    {
        SpiBus bus(0, 0, false);
        bus.select();
        bus.word(0x81, 0x18, 8);
        bus.word(0xF0, 0x0F, 8, 5);  // enable released after 5 bits
        bus.release();
        TestCapture cap(4, bus.t + 100, 1000000);
        cap.setChannel(0, 0, bus.mosi.edges());
        cap.setChannel(1, 0, bus.miso.edges());
        cap.setChannel(2, 0, bus.clk.edges());
        cap.setChannel(3, 1, bus.en.edges());
        Instance in(gSpi);
        QVERIFY(in.load("SPI,1,mosi=0,miso=1,clk=2,en=3"));
        AnalyzerResults* r = decodeNow(in.a, cap.record());
        QCOMPARE(tabularTexts(r, DisplayHex),
                 QStringList({"MOSI: 0x81  MISO: 0x18",
                              "MOSI: 0x1E  MISO: 0x01 (incomplete: 5 of 8 bits)"}));
        QVERIFY(r->GetFrame(1).HasFlag(Frame::kError));
        // Start and stop of the selection on the enable line.
        QCOMPARE(r->GetNumMarkers(Channel(0, 3)), U64(2));
        QCOMPARE(r->GetMarker(Channel(0, 3), 0).type, MarkerStart);
        QCOMPARE(r->GetMarker(Channel(0, 3), 1).type, MarkerStop);
    }
    {
        // No enable line, no MISO: words run on through the capture.
        SpiBus bus(1, 0, false);
        bus.word(0x12, 0, 8);
        bus.word(0x34, 0, 8);
        bus.word(0x56, 0, 8);
        TestCapture cap(3, bus.t + 50, 1000000);
        cap.setChannel(0, 0, bus.mosi.edges());
        cap.setChannel(2, 1, bus.clk.edges());
        Instance in(gSpi);
        QVERIFY(in.load("SPI,1,mosi=0,miso=none,clk=2,en=none,cpol=1"));
        AnalyzerResults* r = decodeNow(in.a, cap.record());
        QCOMPARE(tabularTexts(r, DisplayHex), QStringList({"MOSI: 0x12", "MOSI: 0x34", "MOSI: 0x56"}));
    }
}

// ---------------- I2C ----------------

void TestAnalyzerPlugins::i2cTransaction_data()
{
    QTest::addColumn<bool>("zeroHold");
    QTest::newRow("data changes a quarter period after SCL falls") << false;
    QTest::newRow("data changes at the sample SCL falls") << true;
}

void TestAnalyzerPlugins::i2cTransaction()
{
    QFETCH(bool, zeroHold);
    I2cBus bus;
    bus.zeroHold = zeroHold;
    const int64_t startAt = bus.t;
    bus.start();
    bus.byte(0x50 << 1, true);
    bus.byte(0x10, true);
    bus.repeatedStart();
    bus.byte((0x50 << 1) | 1, true);
    bus.byte(0x41, false);
    bus.stop();
    TestCapture cap(2, bus.t + 100, 1000000);
    cap.setChannel(0, 1, bus.sda.edges());
    cap.setChannel(1, 1, bus.scl.edges());
    Instance in(gI2c);
    QVERIFY(in.load("I2C,1,sda=0,scl=1"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    QCOMPARE(tabularTexts(r, DisplayHex),
             QStringList({"Start", "Write to 0x50, ACK", "0x10, ACK", "Repeated start",
                          "Read from 0x50, ACK", "0x41, NAK", "Stop"}));
    QCOMPARE(tabularTexts(r, DisplayDec)[1], QString("Write to 80, ACK"));
    QCOMPARE(tabularTexts(r, DisplayAscii)[5], QString("A, NAK"));
    QCOMPARE(r->GetFrame(0).startSample, startAt);
    // The NAK that ends a read is normal: a warning, not an error.
    QVERIFY(r->GetFrame(5).HasFlag(Frame::kWarning));
    QVERIFY(!r->GetFrame(5).HasFlag(Frame::kError));
    QCOMPARE(bubbleTexts(r, 1, Channel(0, 0), DisplayHex),
             QStringList({"W", "W 0x50", "W 0x50 ACK", "Write to 0x50, ACK"}));
    QCOMPARE(r->GetMarker(Channel(0, 0), 0).type, MarkerStart);
}

void TestAnalyzerPlugins::i2cMalformed()
{
    I2cBus bus;
    bus.start();
    bus.byte(0x3C << 1, false);  // nobody answers
    bus.stop();
    bus.start();
    bus.byte(0x50 << 1, true);
    bus.byte(0xA0, true, 3);  // cut short by a stop
    bus.stop();
    TestCapture cap(2, bus.t + 100, 1000000);
    cap.setChannel(0, 1, bus.sda.edges());
    cap.setChannel(1, 1, bus.scl.edges());
    Instance in(gI2c);
    QVERIFY(in.load("I2C,1,sda=0,scl=1"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    QCOMPARE(tabularTexts(r, DisplayHex),
             QStringList({"Start", "Write to 0x3C, NAK", "Stop", "Start", "Write to 0x50, ACK",
                          "Incomplete byte (3 bits)", "Stop"}));
    QVERIFY(r->GetFrame(1).HasFlag(Frame::kError));
    QVERIFY(r->GetFrame(5).HasFlag(Frame::kError));
    QCOMPARE(r->GetFrame(5).data1, U64(0x5));  // 101
}

// ---------------- CAN ----------------

void TestAnalyzerPlugins::canCrcReference()
{
    // The published check value of CRC-15/CAN over the ASCII text "123456789".
    std::vector<int> bits;
    for (char c : std::string("123456789"))
        putBits(bits, uint8_t(c), 8);
    QCOMPARE(crc15(bits), uint16_t(0x059E));
}

void TestAnalyzerPlugins::canFrames()
{
    const int spb = 10;
    WaveBuilder w(1);
    int64_t t = 200;
    uint16_t crcA, crcB;
    t = canWrite(w, t, stuffBits(canFrameBits(0x123, false, false, {0x11, 0x22}, 2, &crcA)), true, spb) + 50;
    const int64_t secondStart = t;
    t = canWrite(w, t, stuffBits(canFrameBits(0x18DAF110, true, true, {}, 3, &crcB)), true, spb) + 100;
    TestCapture cap(1, t, 1000000);
    cap.setChannel(0, 1, w.edges());
    Instance in(gCan);
    QVERIFY(in.load("CAN,1,can=0,rate=100000"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    char crcTextA[16], crcTextB[16];
    std::snprintf(crcTextA, sizeof crcTextA, "CRC 0x%04X", crcA);
    std::snprintf(crcTextB, sizeof crcTextB, "CRC 0x%04X", crcB);
    QCOMPARE(tabularTexts(r, DisplayHex),
             QStringList({"Standard ID 0x123", "DLC 2", "Data 0x11", "Data 0x22", crcTextA, "ACK", "EOF",
                          "Extended ID 0x18DAF110 (remote frame)", "DLC 3", crcTextB, "ACK", "EOF"}));
    QCOMPARE(r->GetFrame(0).startSample, int64_t(200));
    QCOMPARE(r->GetFrame(7).startSample, secondStart);
    QCOMPARE(r->GetFrame(7).data2, U64(3));  // extended, remote
    for (U64 i = 0; i < r->GetNumFrames(); ++i)
        QVERIFY(!r->GetFrame(i).HasFlag(Frame::kError));
    QCOMPARE(tabularTexts(r, DisplayDec)[0], QString("Standard ID 291"));
    QCOMPARE(bubbleTexts(r, 0, Channel(0, 0), DisplayHex), QStringList({"0x123", "Standard ID 0x123"}));
}

void TestAnalyzerPlugins::canMalformed()
{
    const int spb = 10;
    WaveBuilder w(1);
    int64_t t = 100;
    uint16_t crc;
    // No node acknowledges.
    t = canWrite(w, t, stuffBits(canFrameBits(0x7FF, false, false, {0x55}, 1, &crc)), false, spb) + 50;
    // A CRC that does not match the frame.
    t = canWrite(w, t, stuffBits(canFrameBits(0x100, false, false, {0x01}, 1, &crc, true)), true, spb) + 50;
    // Identifier 0: the stuff bit after five dominant bits is missing.
    std::vector<int> s = stuffBits(canFrameBits(0x000, false, false, {}, 0, &crc));
    QCOMPARE(s[5], 1);
    s.erase(s.begin() + 5);
    const int64_t stuffAt = t + 5 * spb;
    for (int b : s) {
        w.set(t, b);
        t += spb;
    }
    w.set(t, 1);
    t += 30 * spb;  // bus idle again
    // A node holding the bus dominant for a long time, then idle again.
    w.set(t, 0);
    t += 100000 * spb;
    w.set(t, 1);
    t += 20 * spb;
    // A good frame after the errors is decoded again.
    t = canWrite(w, t, stuffBits(canFrameBits(0x0AB, false, false, {0xEE}, 1, &crc)), true, spb) + 50;
    TestCapture cap(1, t, 1000000);
    cap.setChannel(0, 1, w.edges());
    Instance in(gCan);
    QVERIFY(in.load("CAN,1,can=0,rate=100000"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    QStringList texts = tabularTexts(r, DisplayHex);
    QVERIFY2(texts.contains("ACK (no ACK)"), qPrintable(texts.join(" | ")));
    int crcErr = -1, stuffErr = -1;
    for (int i = 0; i < texts.size(); ++i) {
        if (texts[i].startsWith("CRC ") && texts[i].contains("CRC error"))
            crcErr = i;
        if (texts[i] == "Error: bit stuffing error" && stuffErr < 0)
            stuffErr = i;
    }
    QVERIFY2(crcErr >= 0, qPrintable(texts.join(" | ")));
    QVERIFY2(stuffErr >= 0, qPrintable(texts.join(" | ")));
    QVERIFY(r->GetFrame(U64(crcErr)).HasFlag(Frame::kError));
    QCOMPARE(r->GetFrame(U64(stuffErr)).startSample, stuffAt);
    // The held bus reads as a frame start whose sixth bit breaks the stuffing.
    QCOMPARE(texts.count("Error: bit stuffing error"), 2);
    char crcText[16];
    std::snprintf(crcText, sizeof crcText, "CRC 0x%04X", crc);
    QCOMPARE(texts.mid(texts.size() - 6),
             QStringList({"Standard ID 0x0AB", "DLC 1", "Data 0xEE", crcText, "ACK", "EOF"}));
}

// ---------------- every format, every analyzer ----------------

void TestAnalyzerPlugins::formatsAcrossAnalyzers_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<DisplayBase>("base");
    QTest::addColumn<QString>("text");  // of the second frame
    QTest::newRow("SPI Bin") << "SPI" << DisplayBin << "MOSI: 0b01000001  MISO: 0b00001010";
    QTest::newRow("SPI Dec") << "SPI" << DisplayDec << "MOSI: 65  MISO: 10";
    QTest::newRow("SPI Hex") << "SPI" << DisplayHex << "MOSI: 0x41  MISO: 0x0A";
    QTest::newRow("SPI ASCII") << "SPI" << DisplayAscii << "MOSI: A  MISO: \\n";
    QTest::newRow("SPI ASCII & Hex") << "SPI" << DisplayAsciiHex << "MOSI: A (0x41)  MISO: \\n (0x0A)";
    QTest::newRow("I2C Bin") << "I2C" << DisplayBin << "Write to 0b1010000, ACK";
    QTest::newRow("I2C Dec") << "I2C" << DisplayDec << "Write to 80, ACK";
    QTest::newRow("I2C Hex") << "I2C" << DisplayHex << "Write to 0x50, ACK";
    QTest::newRow("I2C ASCII") << "I2C" << DisplayAscii << "Write to 0x50, ACK";
    QTest::newRow("I2C ASCII & Hex") << "I2C" << DisplayAsciiHex << "Write to 0x50, ACK";
    QTest::newRow("CAN Bin") << "CAN" << DisplayBin << "Standard ID 0b00100100011";
    QTest::newRow("CAN Dec") << "CAN" << DisplayDec << "Standard ID 291";
    QTest::newRow("CAN Hex") << "CAN" << DisplayHex << "Standard ID 0x123";
    QTest::newRow("CAN ASCII") << "CAN" << DisplayAscii << "Standard ID 0x123";
    QTest::newRow("CAN ASCII & Hex") << "CAN" << DisplayAsciiHex << "Standard ID 0x123";
}

void TestAnalyzerPlugins::formatsAcrossAnalyzers()
{
    QFETCH(QString, plugin);
    QFETCH(DisplayBase, base);
    QFETCH(QString, text);
    std::unique_ptr<TestCapture> cap;
    std::unique_ptr<Instance> in;
    if (plugin == "SPI") {
        SpiBus bus(0, 0, false);
        bus.select();
        bus.word(0x00, 0xFF, 8);
        bus.word(0x41, 0x0A, 8);
        bus.release();
        cap.reset(new TestCapture(4, bus.t + 10, 1000000));
        cap->setChannel(0, 0, bus.mosi.edges());
        cap->setChannel(1, 0, bus.miso.edges());
        cap->setChannel(2, 0, bus.clk.edges());
        cap->setChannel(3, 1, bus.en.edges());
        in.reset(new Instance(gSpi));
        QVERIFY(in->load("SPI,1,mosi=0,miso=1,clk=2,en=3"));
    } else if (plugin == "I2C") {
        I2cBus bus;
        bus.start();
        bus.byte(0x50 << 1, true);
        bus.stop();
        cap.reset(new TestCapture(2, bus.t + 10, 1000000));
        cap->setChannel(0, 1, bus.sda.edges());
        cap->setChannel(1, 1, bus.scl.edges());
        in.reset(new Instance(gI2c));
        QVERIFY(in->load("I2C,1,sda=0,scl=1"));
    } else {
        WaveBuilder w(1);
        uint16_t crc;
        int64_t t = canWrite(w, 50, stuffBits(canFrameBits(0x123, false, false, {}, 0, &crc)), true, 10);
        cap.reset(new TestCapture(1, t + 10, 1000000));
        cap->setChannel(0, 1, w.edges());
        in.reset(new Instance(gCan));
        QVERIFY(in->load("CAN,1,can=0,rate=100000"));
        // The identifier is the first frame; put it second like the others.
        AnalyzerResults* r = decodeNow(in->a, cap->record());
        QCOMPARE(tabularTexts(r, base).value(0), text);
        return;
    }
    AnalyzerResults* r = decodeNow(in->a, cap->record());
    QCOMPARE(tabularTexts(r, base).value(1), text);
}

void TestAnalyzerPlugins::exportDecodedUart()
{
    UartLine c;
    WaveBuilder w(1);
    int64_t t = 1000;
    t = uartChar(w, t, 'O', c) + 200;
    t = uartChar(w, t, ',', c) + 200;
    c.parity = 0;
    TestCapture cap(1, t + 500, 1000000);
    cap.record()->trgPosition = 1000;
    cap.setChannel(0, 1, w.edges());
    Instance in(gUart);
    QVERIFY(in.load("UART,1,rx=0,baud=10000"));
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    QTemporaryDir dir;
    const QString csv = dir.filePath("uart.csv"), txt = dir.filePath("uart.txt");
    r->StartExportThread(nullptr, DisplayAscii, 0);
    QVERIFY(r->WriteExportFile(QFile::encodeName(csv).constData(), DisplayAscii, 0));
    QVERIFY(r->WriteExportFile(QFile::encodeName(txt).constData(), DisplayAsciiHex, 0));
    QFile f(csv), g(txt);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(g.open(QIODevice::ReadOnly));
    QCOMPARE(QString(f.readAll()), QString("Time [s],Value,Error\n0.000000000,O,\n0.001200000,\",\",\n"));
    QCOMPARE(QString(g.readAll()),
             QString("Time [s]\tValue\tError\n0.000000000\tO (0x4F)\t\n0.001200000\t, (0x2C)\t\n"));
}

namespace {
// A host-like manager: the decode runs on its own thread.
class WorkerRun : public ProgressManager {
public:
    explicit WorkerRun(Analyzer* a) : a_(a) {}
    void startWorkThread() override { t_ = std::thread([this] { a_->DecodeLoop(); }); }
    void stopWorkThread() override { done = true; }
    void reportProgress(double) override {}
    void join() { t_.join(); }
    std::atomic<bool> done{false};

private:
    Analyzer* a_;
    std::thread t_;
};
}  // namespace

void TestAnalyzerPlugins::readersWhileDecoding()
{
    // Two readers (the waveform and the list) read texts while the worker
    // appends; every text they see is a whole, known character.
    Instance sim(gUart);
    QVERIFY(sim.load("UART,1,rx=0,baud=1000000"));
    std::unique_ptr<TestCapture> cap = captureFromSimulation(sim.a, 1, 40000000, 20000000, 1000000);
    Instance in(gUart);
    QVERIFY(in.load("UART,1,rx=0,baud=1000000"));
    WorkerRun run(in.a);
    in.a->Init(cap->record(), nullptr, &run);
    in.a->ResetResults();
    in.a->InitialWorkerThread();
    AnalyzerResults* r = nullptr;
    QVERIFY(in.a->GetAnalyzerResults(&r));
    const QByteArray msg = "Hello from the demo capture 0123456789\r\n";
    std::atomic<int> bad{0}, seen{0};
    auto reader = [&](DisplayBase base) {
        std::mt19937 rng{unsigned(base)};
        while (!run.done) {
            U64 n = r->GetNumFrames();
            if (n == 0)
                continue;
            U64 i = rng() % n;
            r->MakeTabularText(i, DisplayHex);
            QByteArray expect = QByteArray("0x") + QByteArray::number(uint8_t(msg[int(i % U64(msg.size()))]), 16).toUpper().rightJustified(2, '0');
            if (QByteArray(r->GetTabularTextString()) != expect)
                ++bad;
            r->MakeBubbleText(i, Channel(0, 0), base);
            const char* const* strings = nullptr;
            unsigned count = 0;
            r->GetResultStrings(&strings, &count);
            if (count != 1)
                ++bad;
            ++seen;
        }
    };
    std::thread a([&] { reader(DisplayAscii); }), b([&] { reader(DisplayBin); });
    in.a->StartProcessing();
    run.join();
    a.join();
    b.join();
    QCOMPARE(bad.load(), 0);
    QVERIFY(r->GetNumFrames() > 100000);
}

// ---------------- simulation ----------------

void TestAnalyzerPlugins::simulationRoundTrip_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QString>("settings");
    QTest::newRow("UART 8N1") << "UART" << "UART,1,rx=1,baud=115200";
    QTest::newRow("UART 7O2 MSB inverted") << "UART" << "UART,1,rx=3,baud=9600,bits=7,parity=2,stop=2,order=1,inv=1";
    QTest::newRow("SPI mode 0") << "SPI" << "SPI,1,mosi=0,miso=1,clk=2,en=3";
    QTest::newRow("SPI mode 3 16 bits") << "SPI" << "SPI,1,mosi=4,miso=5,clk=6,en=7,cpol=1,cpha=1,bits=16,order=1,enlevel=1";
    QTest::newRow("I2C") << "I2C" << "I2C,1,sda=2,scl=3";
    QTest::newRow("CAN") << "CAN" << "CAN,1,can=5,rate=250000";
}

void TestAnalyzerPlugins::simulationRoundTrip()
{
    QFETCH(QString, plugin);
    QFETCH(QString, settings);
    AnalyzerPlugin& p = plugin == "UART" ? gUart : plugin == "SPI" ? gSpi : plugin == "I2C" ? gI2c : gCan;
    const int64_t rate = 10000000, samples = 3000000;
    Instance sim(p);
    QVERIFY(sim.load(settings.toLatin1().constData()));
    std::unique_ptr<TestCapture> cap = captureFromSimulation(sim.a, 8, samples, rate, 77777);
    Instance dec(p);
    QVERIFY(dec.load(settings.toLatin1().constData()));
    AnalyzerResults* r = decodeNow(dec.a, cap->record());
    std::vector<Frame> f = allFrames(r);
    QVERIFY(f.size() > 20);
    // Drop what the capture's end cut.
    QStringList texts = tabularTexts(r, DisplayHex);
    if (plugin == "UART") {
        const QByteArray msg = "Hello from the demo capture 0123456789\r\n";
        const bool seven = settings.contains("bits=7");
        for (size_t i = 0; i < f.size(); ++i) {
            QCOMPARE(int(f[i].flags), 0);
            QCOMPARE(f[i].data1, U64(uint8_t(msg[int(i % size_t(msg.size()))]) & (seven ? 0x7F : 0xFF)));
        }
    } else if (plugin == "SPI") {
        const bool sixteen = settings.contains("bits=16");
        for (size_t i = 0; i < f.size(); ++i) {
            const U64 mask = sixteen ? 0xFFFF : 0xFF;
            QCOMPARE(int(f[i].flags), 0);
            QCOMPARE(f[i].data1, U64(i * 0x9D + 0x31) & mask);
            QCOMPARE(f[i].data2, U64(~U64(i)) & mask);
        }
    } else if (plugin == "I2C") {
        QCOMPARE(texts.mid(0, 8), QStringList({"Start", "Write to 0x50, ACK", "0x00, ACK", "Repeated start",
                                               "Read from 0x50, ACK", "0x30, ACK", "0x41, NAK", "Stop"}));
        // The fifth transaction goes to an address nobody answers.
        QVERIFY(texts.contains("Write to 0x3C, NAK"));
        for (size_t i = 0; i < f.size(); ++i)
            if (f[i].HasFlag(Frame::kError))
                QCOMPARE(texts[int(i)], QString("Write to 0x3C, NAK"));
    } else {
        int acks = 0, noAcks = 0;
        for (size_t i = 0; i < f.size(); ++i) {
            QVERIFY2(f[i].type != 6, qPrintable(texts[int(i)]));  // no error frames
            if (f[i].type == 3)
                QCOMPARE(f[i].data1, f[i].data2);  // received CRC = computed
            if (f[i].type == 4)
                (f[i].data1 ? acks : noAcks)++;
        }
        QVERIFY(acks > 10);
        QVERIFY(texts.contains("Standard ID 0x123"));
        QVERIFY(texts.contains("Extended ID 0x18DAF111"));
        QVERIFY(texts.contains("Standard ID 0x173 (remote frame)"));
        Q_UNUSED(noAcks);
    }
}

// ---------------- settings ----------------

void TestAnalyzerPlugins::settingsRoundTrip_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QString>("text");
    QTest::newRow("UART") << "UART" << "UART,1,rx=7,baud=250000,bits=9,parity=2,stop=1.5,order=1,inv=1";
    QTest::newRow("SPI") << "SPI" << "SPI,1,mosi=none,miso=3,clk=1,en=none,cpol=1,cpha=0,bits=24,order=1,enlevel=1";
    QTest::newRow("I2C") << "I2C" << "I2C,1,sda=12,scl=31";
    QTest::newRow("CAN") << "CAN" << "CAN,1,can=63,rate=1000000";
}

void TestAnalyzerPlugins::settingsRoundTrip()
{
    QFETCH(QString, plugin);
    QFETCH(QString, text);
    AnalyzerPlugin& p = plugin == "UART" ? gUart : plugin == "SPI" ? gSpi : plugin == "I2C" ? gI2c : gCan;
    Instance a(p), b(p);
    const QString defaults = a.a->GetAnalyzerSettings()->SaveToText();
    QVERIFY(!defaults.contains(';') && !defaults.contains(' '));
    QVERIFY(a.load(text.toLatin1().constData()));
    QCOMPARE(QString(a.a->GetAnalyzerSettings()->SaveToText()), text);
    QVERIFY(b.load(a.a->GetAnalyzerSettings()->SaveToText()));
    QCOMPARE(QString(b.a->GetAnalyzerSettings()->SaveToText()), text);
    // What the dialog writes is only taken by ApplyInterfaces.
    AnalyzerSettings* s = b.a->GetAnalyzerSettings();
    auto* ch = static_cast<AnalyzerSettingInterfaceChannel*>(s->GetSettingsInterface(0));
    ch->SetChannel(Channel(0, 2));
    QCOMPARE(QString(s->SaveToText()), text);
    QVERIFY(s->ApplyInterfaces());
    QVERIFY(QString(s->SaveToText()) != text || text.contains("=2,"));
    // Loading the defaults back restores them.
    QVERIFY(b.load(defaults.toLatin1().constData()));
    QCOMPARE(QString(s->SaveToText()), defaults);
}

void TestAnalyzerPlugins::hostileSettingsText_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::newRow("UART") << "UART";
    QTest::newRow("SPI") << "SPI";
    QTest::newRow("I2C") << "I2C";
    QTest::newRow("CAN") << "CAN";
}

void TestAnalyzerPlugins::hostileSettingsText()
{
    QFETCH(QString, plugin);
    AnalyzerPlugin& p = plugin == "UART" ? gUart : plugin == "SPI" ? gSpi : plugin == "I2C" ? gI2c : gCan;
    Instance in(p);
    AnalyzerSettings* s = in.a->GetAnalyzerSettings();
    const QByteArray before = s->SaveToText();
    auto refusedAndKept = [&](const QByteArray& t) {
        bool ok = s->LoadFromText(t.constData());
        return !ok && QByteArray(s->SaveToText()) == before;
    };
    // Truncations of a valid text either load (a prefix that ends on a whole
    // field) or leave the settings as they were.
    for (int n = 0; n < before.size(); ++n) {
        QByteArray cut = before.left(n);
        if (!s->LoadFromText(cut.constData()))
            QCOMPARE(QByteArray(s->SaveToText()), before);
        QVERIFY(s->LoadFromText(before.constData()));
    }
    QVERIFY(!s->LoadFromText(nullptr));
    const QByteArray tag = before.left(before.indexOf(','));
    for (const QByteArray& bad :
         {QByteArray(""), QByteArray(","), tag, tag + ",2", tag + ",1,=", tag + ",1,x", tag + ",1,==1",
          QByteArray("UARTX,1"), tag + ",1,a=b=c"})
        QVERIFY2(refusedAndKept(bad), bad.constData());
    // Every value of every field replaced by junk is refused.
    QList<QByteArray> fields = before.split(',');
    for (int i = 2; i < fields.size(); ++i) {
        QByteArray key = fields[i].left(fields[i].indexOf('='));
        for (const QByteArray& junk : {QByteArray("-1"), QByteArray("64"), QByteArray("4294967295"),
                                       QByteArray("99999999999999999999"), QByteArray("1e999"),
                                       QByteArray("nan"), QByteArray(" 1"), QByteArray("0x10"),
                                       QByteArray("1.0000001"), QByteArray("")}) {
            QList<QByteArray> f2 = fields;
            f2[i] = key + "=" + junk;
            QByteArray t = f2.join(',');
            if (s->LoadFromText(t.constData())) {
                // 64 is a real bit rate and word width; nothing else here is a value.
                QVERIFY2(junk == "64", t.constData());
                QVERIFY(s->LoadFromText(before.constData()));
            }
            QCOMPARE(QByteArray(s->SaveToText()), before);
        }
        // The same key twice.
        QByteArray dup = before + "," + fields[i];
        QVERIFY(refusedAndKept(dup));
    }
    // Random bytes, and random bytes after a valid head.
    std::mt19937 rng(7);
    for (int k = 0; k < 2000; ++k) {
        QByteArray t = (k % 2) ? tag + ",1," : QByteArray();
        int len = int(rng() % 60);
        for (int j = 0; j < len; ++j)
            t += char(1 + rng() % 255);
        if (s->LoadFromText(t.constData()))
            QVERIFY(s->LoadFromText(before.constData()));
        QCOMPARE(QByteArray(s->SaveToText()), before);
    }
    // A huge text is refused without being parsed.
    QByteArray huge = tag + ",1," + QByteArray(1 << 20, 'a');
    QVERIFY(refusedAndKept(huge));
}

void TestAnalyzerPlugins::channelLimit()
{
    Instance in(gI2c);
    AnalyzerSettings* s = in.a->GetAnalyzerSettings();
    QVERIFY(s->LoadFromText("I2C,1,sda=40,scl=41"));
    s->SetChannelLimit(16);
    QVERIFY(!s->LoadFromText("I2C,1,sda=16,scl=1"));
    QVERIFY(s->LoadFromText("I2C,1,sda=15,scl=1"));
    QVERIFY(!s->LoadFromText("I2C,1,sda=3,scl=3"));  // one line for both inputs
    QVERIFY(!s->LoadFromText("I2C,1,sda=none,scl=3"));  // SDA is required
    QCOMPARE(QString(s->SaveToText()), QString("I2C,1,sda=15,scl=1"));
    // A channel the capture does not have decodes to nothing, without harm.
    TestCapture cap(8, 1000, 1000000);
    cap.setChannel(1, 1, {100, 200});
    AnalyzerResults* r = decodeNow(in.a, cap.record());
    QCOMPARE(r->GetNumFrames(), U64(0));
    // After a decode the capture's channel count is the limit.
    QVERIFY(!s->LoadFromText("I2C,1,sda=8,scl=1"));
    QVERIFY(s->LoadFromText("I2C,1,sda=7,scl=1"));
}

void TestAnalyzerPlugins::exportOptions()
{
    for (AnalyzerPlugin* p : {&gUart, &gSpi, &gI2c, &gCan}) {
        Instance in(*p);
        AnalyzerSettings* s = in.a->GetAnalyzerSettings();
        QCOMPARE(s->GetExportOptionsCount(), 1u);
        unsigned id = 99;
        const char* name = nullptr;
        QVERIFY(s->GetExportOption(0, &id, &name));
        QCOMPARE(s->GetFileExtensionCount(id), 2u);
        const char *en = nullptr, *ext = nullptr;
        QVERIFY(s->GetFileExtension(id, 0, &en, &ext));
        QCOMPARE(QString(ext), QString("txt"));
        QVERIFY(s->GetFileExtension(id, 1, &en, &ext));
        QCOMPARE(QString(ext), QString("csv"));
        QVERIFY(!s->GetFileExtension(id, 2, &en, &ext));
    }
}

QTEST_GUILESS_MAIN(TestAnalyzerPlugins)
#include "tst_analyzerplugins.moc"
