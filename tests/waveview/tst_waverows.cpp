// The row items painted into images: trace levels and colours, decoded
// bubbles and markers from a real UART decode, the marker shapes, the
// background, the period arrows and the edge button.

#include "tests/analyzers/pluginloader.h"
#include "tests/waveview/wavetestutil.h"

#include "core/config.h"
#include "libanalyzer/analyzer.h"
#include "waveview/itemwavearrow.h"
#include "waveview/itemwavebackground.h"
#include "waveview/itemwaveline.h"
#include "waveview/nextedge.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <memory>

using namespace WaveTest;

namespace {

const QColor paper(0x10, 0x20, 0x30);

QImage blank(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(paper);
    return img;
}

QColor at(const QImage& img, int x, int y)
{
    return QColor::fromRgba(img.pixel(x, y));
}

bool near(const QColor& a, const QColor& b, int tol = 2)
{
    return qAbs(a.red() - b.red()) <= tol && qAbs(a.green() - b.green()) <= tol
           && qAbs(a.blue() - b.blue()) <= tol;
}

QColor grey(int i)
{
    return Config::grayColor.at(i);
}

// The analyzers of channel 0, as the host hands them to the rows.
class TestSource : public WaveAnalyzerSource
{
public:
    QVector<Analyzer*> list;
    int format = DisplayHex;
    QVector<Analyzer*> chnAnalyzers(int chn) const override
    {
        return chn == 0 ? list : QVector<Analyzer*>();
    }
    int analyzerDisplayFormat(Analyzer*) const override { return format; }
};

// An analyzer whose results the test writes directly.
class PlainResults : public AnalyzerResults
{
protected:
    void GenerateBubbleText(U64 i, const Channel&, DisplayBase) override
    {
        AddResultString(std::to_string(i).c_str());
    }
    void GenerateTabularText(U64, DisplayBase) override {}
    void GenerateExportHeader(unsigned) override {}
    void GenerateExportRow(U64, DisplayBase, unsigned) override {}
};

class PlainAnalyzer : public Analyzer
{
public:
    PlainAnalyzer() { SetAnalyzerResults(&results); }
    const char* GetProtocolName() const override { return "Plain"; }
    U32 MakeSimulationData(U64, U32, SimulationChannelDescriptor**) override { return 0; }
    PlainResults results;

protected:
    void SetupResults() override {}
    void WorkerThread() override {}
};

// "Hi!U" at 100 kbit/s sampled at 1 MHz (10 samples a bit), characters 130
// samples apart from sample 1000; '!' has a low stop bit (framing error).
constexpr long long uartStart = 1000;
constexpr long long uartSpb = 10;
constexpr long long uartPeriod = 130;
const std::string uartText = "Hi!U";

} // namespace

class TestWaveRows : public QObject
{
    Q_OBJECT

    std::unique_ptr<SmpData> store;
    std::unique_ptr<WaveDataGen> gen;
    AnalyzerPlugin uart;
    Analyzer* uartAnalyzer = nullptr;
    DataForAnly capture;
    TestSource source;
    Chn dense;   // channel 3

    // A view of spp samples a pixel with sample `off` at pixel 0.
    void view(double spp, double off, int width = 800)
    {
        gen->setViewWidth(width);
        WaveDataGen::moveDecode(0, spp * (width / 2) - 1);
        gen->moveTo(off);
        QCOMPARE(gen->frame()->smpPerPixel, spp);
        QCOMPARE(gen->frame()->smpOffset, off);
    }

    QImage paintRow(ItemWaveLine& item, int w, int h)
    {
        item.setSize(w, h);
        QImage img = blank(w, h);
        QPainter p(&img);
        item.paint(&p, nullptr, nullptr);
        return img;
    }

    void collect(ItemWaveLine& item, std::vector<ItemWaveLine::Bubble>* b,
                 std::vector<ItemWaveLine::MarkerRec>* m)
    {
        item.setSize(gen->frame()->viewWidth, 60);
        item.collectDecoded(*gen->frame(), b, m);
    }

private slots:
    void initTestCase()
    {
        Config::fillLists();
        Config::createFont();
        Config::colorWaveLine = false;

        std::vector<Chn> chns;
        chns.push_back(uartChn(uartText, uartStart, uartSpb, 3, {2}));
        chns.push_back(Chn{1, {400}});   // high, then low from sample 400
        chns.push_back(Chn{0, {100, 300, 500}});
        // Edges 1 to 6 samples apart: hundreds of separate columns.
        for (long long p = 3, k = 0; p < 4000; p += 1 + (k++ * 7) % 6)
            dense.edges.push_back(p);
        chns.push_back(dense);
        store = makeStore(chns, 4000, 1000000);
        gen.reset(new WaveDataGen());
        const SmpData* s = store.get();
        gen->setDataSource([s] { return s; });
        gen->setChannelCount(int(chns.size()));
        gen->setReboundEnable(false);

        QVERIFY2(uart.load("libUART.so"), dlerror());
        uartAnalyzer = uart.create();
        const QByteArray settings = QByteArray(uartAnalyzer->GetAnalyzerSettings()->SaveToText())
                                        .replace("baud=115200", "baud=100000");
        QVERIFY(uartAnalyzer->GetAnalyzerSettings()->LoadFromText(settings.constData()));
        capture = DataForAnly();
        capture.chnData = store->chnData.data();
        capture.smpCount = store->smpCount;
        capture.smpFrequ = store->smpFrequ;
        capture.chnNum = store->chnNum;
        AnalyzerResults* r = decodeNow(uartAnalyzer, &capture);
        QVERIFY(r);
        QCOMPARE(int(r->GetNumFrames()), int(uartText.size()));
        for (int k = 0; k < int(uartText.size()); ++k) {
            const Frame f = r->GetFrame(U64(k));
            QCOMPARE(f.startSample, uartStart + k * uartPeriod);
            QCOMPARE(f.endSample, uartStart + k * uartPeriod + 10 * uartSpb);
            QCOMPARE(f.data1, U64((unsigned char)uartText[size_t(k)]));
            QCOMPARE(f.HasFlag(Frame::kError), k == 2);
        }
        source.list = {uartAnalyzer};
        ItemWaveLine::setAnalyzerSource(&source);
    }

    void cleanupTestCase()
    {
        ItemWaveLine::setAnalyzerSource(nullptr);
        gen.reset();
        if (uartAnalyzer)
            uart.destroy(uartAnalyzer);
    }

    void init()
    {
        Config::colorWaveLine = false;
        source.format = DisplayHex;
    }

    void traceLevels_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("yHigh");
        QTest::addColumn<int>("yLow");
        QTest::newRow("30 pixels") << 30 << 7 << 25;
        QTest::newRow("200 pixels, both limited") << 200 << 24 << 179;
        QTest::newRow("42 pixels") << 42 << 8 << 36;
        QTest::newRow("120 pixels") << 120 << 17 << 105;
    }
    void traceLevels()
    {
        QFETCH(int, height);
        QFETCH(int, yHigh);
        QFETCH(int, yLow);
        QCOMPARE(ItemWaveLine::levelHigh(height), yHigh);
        QCOMPARE(ItemWaveLine::levelLow(height), yLow);

        // Channel 1: high up to sample 400, then low; spp 1 from sample 0.
        view(1.0, 0.0);
        ItemWaveLine item(1, gen.get());
        const QImage img = paintRow(item, 800, height);
        const QColor trace = grey(0);
        QVERIFY(near(at(img, 100, yHigh), trace));
        QVERIFY(near(at(img, 100, yLow), paper));
        QVERIFY(near(at(img, 100, yHigh - 1), paper));
        QVERIFY(near(at(img, 100, yHigh + 1), paper));
        QVERIFY(near(at(img, 600, yLow), trace));
        QVERIFY(near(at(img, 600, yHigh), paper));
        for (int y = yHigh; y <= yLow; ++y)
            QVERIFY2(near(at(img, 400, y), trace), qPrintable(QString::number(y)));
        QVERIFY(near(at(img, 400, yLow + 1), paper));
        QVERIFY(near(at(img, 799, yLow), trace));
    }

    void denseRowsMatchTheirRuns_data()
    {
        QTest::addColumn<double>("spp");
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("coloured");
        QTest::newRow("dense, in place") << 3.3 << 0 << 0 << false;
        QTest::newRow("dense, translated") << 3.3 << 7 << 45 << true;
        QTest::newRow("zoomed in") << 0.4 << 0 << 0 << false;
        QTest::newRow("whole capture") << 5.0 << 3 << 2 << true;
        QTest::newRow("edges about a column apart") << 2.0 << 0 << 0 << true;
        QTest::newRow("edges about two columns apart") << 1.75 << 5 << 11 << false;
    }
    void denseRowsMatchTheirRuns()
    {
        // Every pixel of the row is trace colour exactly where a record
        // covers it: columns from yHigh to yLow, runs from x to x + width.
        QFETCH(double, spp);
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(bool, coloured);
        Config::colorWaveLine = coloured;
        // Column borders between whole samples, where the runs and the plain
        // per-pixel reference agree on every edge's column.
        const double off = 0.37;
        view(spp, off);
        const int h = 60;
        ItemWaveLine item(3, gen.get());
        item.setSize(800, h);
        QImage img = blank(800 + dx, h + dy);
        {
            QPainter p(&img);
            p.translate(dx, dy);
            item.paint(&p, nullptr, nullptr);
        }
        const QColor trace = coloured ? item.traceColor() : grey(0);
        std::vector<char> want(size_t(800 * h), 0);
        const WaveLine* l = nullptr;
        const int n = gen->frame()->getData(3, &l);
        QVERIFY(n > 100);
        // The runs themselves, against the ones built pixel by pixel from the edges.
        const std::vector<WaveLine> ref = refRuns(dense, 4000, off, spp, 800);
        QCOMPARE(n, int(ref.size()));
        for (int i = 0; i < n; ++i) {
            const WaveLine& a = l[i];
            const WaveLine& b = ref[size_t(i)];
            QVERIFY2(a.x == b.x && a.width == b.width && a.type == b.type, qPrintable(QString::number(i)));
        }
        const int yHigh = ItemWaveLine::levelHigh(h), yLow = ItemWaveLine::levelLow(h);
        int columns = 0;
        for (int i = 0; i < n; ++i) {
            if (l[i].type == 2) {
                ++columns;
                for (int y = yHigh; y <= yLow; ++y)
                    want[size_t(y * 800 + l[i].x)] = 1;
            } else {
                const int y = l[i].type == 1 ? yHigh : yLow;
                for (int x = l[i].x; x <= l[i].x + l[i].width && x < 800; ++x)
                    want[size_t(y * 800 + x)] = 1;
            }
        }
        QVERIFY(columns > 48);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 800; ++x)
                wrong += near(at(img, x + dx, y + dy), trace, 0) != bool(want[size_t(y * 800 + x)]);
        QCOMPARE(wrong, 0);
    }

    void traceColour_data()
    {
        QTest::addColumn<int>("chn");
        QTest::addColumn<bool>("coloured");
        QTest::newRow("grey, channel 1") << 1 << false;
        QTest::newRow("coloured, channel 1") << 1 << true;
        QTest::newRow("coloured, channel 9 takes colour 1") << 9 << true;
        QTest::newRow("coloured, channel 2") << 2 << true;
    }
    void traceColour()
    {
        QFETCH(int, chn);
        QFETCH(bool, coloured);
        Config::colorWaveLine = coloured;
        view(1.0, 0.0);
        ItemWaveLine item(chn, gen.get());
        const QColor want = coloured ? Config::chnColor.at(chn % 8).lighter(120) : grey(0);
        QCOMPARE(item.traceColor(), Config::chnColor.at(chn % 8).lighter(120));
        // Channel 9 has no data here: draw the colour through a channel that has.
        ItemWaveLine drawn(chn % 8 == 1 ? 1 : 2, gen.get());
        if (chn == 9) {
            QCOMPARE(item.traceColor(), drawn.traceColor());
            return;
        }
        const QImage img = paintRow(drawn, 800, 30);
        QVERIFY(near(at(img, 50, chn == 1 ? 7 : 25), want));
        QVERIFY(!near(want, coloured ? grey(0) : Config::chnColor.at(chn % 8).lighter(120)));
    }

    void nothingWithoutSamplesOrHeight()
    {
        view(1.0, 0.0);
        ItemWaveLine item(1, gen.get());
        item.setSize(800, 0);
        QImage img = blank(800, 30);
        {
            QPainter p(&img);
            item.paint(&p, nullptr, nullptr);
        }
        QVERIFY(near(at(img, 100, 7), paper));
        // A store without samples: the row stays empty.
        std::unique_ptr<SmpData> empty = makeStore({Chn{1, {}}, Chn{1, {}}}, 0);
        const SmpData* e = empty.get();
        gen->setDataSource([e] { return e; });
        gen->genData();
        img = paintRow(item, 800, 30);
        for (int x = 0; x < 800; x += 7)
            for (int y = 0; y < 30; ++y)
                QVERIFY(near(at(img, x, y), paper));
        const SmpData* s = store.get();
        gen->setDataSource([s] { return s; });
        gen->genData();
    }

    void bubblesFromUart_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("hex") << int(DisplayHex) << QStringList{"0x48", "0x69", "!", "0x55"};
        QTest::newRow("decimal") << int(DisplayDec) << QStringList{"72", "105", "!", "85"};
        QTest::newRow("ascii") << int(DisplayAscii) << QStringList{"H", "i", "!", "U"};
        QTest::newRow("unknown format shows hex") << -1 << QStringList{"0x48", "0x69", "!", "0x55"};
    }
    void bubblesFromUart()
    {
        QFETCH(int, format);
        QFETCH(QStringList, texts);
        source.format = format;
        // spp 1: each character's bubble is 100 pixels wide.
        const double off = 900;
        view(1.0, off);
        ItemWaveLine item(0, gen.get());
        std::vector<ItemWaveLine::Bubble> bubbles;
        collect(item, &bubbles, nullptr);
        QCOMPARE(int(bubbles.size()), 4);
        const QFontMetrics fm(Config::fontSmall);
        for (int k = 0; k < 4; ++k) {
            const ItemWaveLine::Bubble& b = bubbles[size_t(k)];
            QCOMPARE(b.x1, uartStart + k * uartPeriod - 900);
            QCOMPARE(b.x2, b.x1 + 100);
            if (k == 2) {
                // "!", "<v> !" and "<v> (framing error)": the widest that fits 100 pixels.
                QVERIFY(b.text.endsWith('!') || b.text.endsWith("error)"));
                QVERIFY(b.textWidth <= 100);
            } else {
                QCOMPARE(b.text, texts.at(k));
            }
            QCOMPARE(b.textWidth, fm.horizontalAdvance(b.text));
        }

        const QImage img = paintRow(item, 800, 60);
        // Outline in the channel colour, text in grey 0 inside the bubble.
        const int x1 = int(bubbles[0].x1);
        QVERIFY(near(at(img, x1, 0), Config::chnColor.at(0)));
        QVERIFY(near(at(img, x1 + 99, 13), Config::chnColor.at(0)));
        QVERIFY(!near(at(img, x1 + 100, 13), Config::chnColor.at(0)));
        QVERIFY(near(at(img, x1 + 55, 14), paper));
        int textPixels = 0;
        for (int x = x1 + 1; x < x1 + 99; ++x)
            for (int y = 1; y < 13; ++y)
                textPixels += near(at(img, x, y), grey(0), 40);
        QVERIFY(textPixels > 5);
        // Between bubbles nothing is drawn at the top.
        QVERIFY(near(at(img, x1 + 115, 5), paper));
    }

    void bubbleOutlineFollowsColourSetting()
    {
        Config::colorWaveLine = true;
        view(1.0, 900);
        ItemWaveLine item(0, gen.get());
        const QImage img = paintRow(item, 800, 60);
        QVERIFY(near(at(img, 100, 0), grey(2)));
        QVERIFY(!near(at(img, 100, 0), Config::chnColor.at(0)));
    }

    void bubbleTextRules_data()
    {
        QTest::addColumn<int>("room");     // bubble width in pixels; -1: below one pixel
        QTest::addColumn<QString>("text");
        QTest::newRow("narrower than a pixel: no bubble") << -1 << QString();
        QTest::newRow("too narrow, 11 pixels: no text") << 11 << QString("");
        QTest::newRow("too narrow, 12 pixels: dots") << 12 << QString("...");
        QTest::newRow("too narrow, 20 pixels: dots") << 20 << QString("...");
        QTest::newRow("wide enough") << 100 << QString("0x48");
    }
    void bubbleTextRules()
    {
        QFETCH(int, room);
        QFETCH(QString, text);
        const QFontMetrics fm(Config::fontSmall);
        QVERIFY(fm.horizontalAdvance("0x48") > 20);   // the narrow rows cannot fit it
        // Frame 0 (100 samples) starts at pixel 0 and ends at pixel `room`.
        const double spp = room < 0 ? 150.0 : 100.0 / (room + 0.5);
        view(spp, double(uartStart));
        ItemWaveLine item(0, gen.get());
        std::vector<ItemWaveLine::Bubble> bubbles;
        collect(item, &bubbles, nullptr);
        if (room < 0) {
            QVERIFY(bubbles.empty());
            const QImage img = paintRow(item, 800, 60);
            for (int x = 0; x < 800; ++x)
                QVERIFY(!near(at(img, x, 0), Config::chnColor.at(0)));
            return;
        }
        QVERIFY(!bubbles.empty());
        const ItemWaveLine::Bubble& b = bubbles.front();
        QCOMPARE(b.x1, 0LL);
        QCOMPARE(b.x2, (long long)room);
        QCOMPARE(b.text, text);
        QCOMPARE(b.textWidth, text == "..." ? 10 : fm.horizontalAdvance(text));
    }

    void errorBubbleTakesTheWidestFittingText()
    {
        // The framing-error character offers "!", "0x21 !" and "0x21 (framing
        // error)"; each room between two widths must pick the shorter one.
        const QFontMetrics fm(Config::fontSmall);
        const QStringList all{"!", "0x21 !", "0x21 (framing error)"};
        for (int i = 0; i < all.size(); ++i) {
            const int room = fm.horizontalAdvance(all[i]) + 1;
            if (i + 1 < all.size() && room >= fm.horizontalAdvance(all[i + 1]))
                continue;
            view(100.0 / (room + 0.5), double(uartStart + 2 * uartPeriod));
            ItemWaveLine item(0, gen.get());
            std::vector<ItemWaveLine::Bubble> bubbles;
            collect(item, &bubbles, nullptr);
            QVERIFY(!bubbles.empty());
            QCOMPARE(bubbles.front().text, all[i]);
        }
    }

    void uartMarkersCrowdedOrApart_data()
    {
        QTest::addColumn<double>("spp");
        QTest::addColumn<int>("drawn");
        // Data-bit markers lie 10 samples apart; the framing error's X 10
        // samples after the last data bit of '!'.
        QTest::newRow("5 pixels apart: all hidden") << 2.0 << 0;
        QTest::newRow("8 pixels apart: all drawn") << 1.25 << 4 * 8 + 1;
        QTest::newRow("10 pixels apart: all drawn") << 1.0 << 4 * 8 + 1;
    }
    void uartMarkersCrowdedOrApart()
    {
        QFETCH(double, spp);
        QFETCH(int, drawn);
        const double off = 950;
        view(spp, off);
        ItemWaveLine item(0, gen.get());
        std::vector<ItemWaveLine::MarkerRec> markers;
        collect(item, nullptr, &markers);
        QCOMPARE(int(markers.size()), drawn);
        const int h = 60;
        const QImage img = paintRow(item, 800, h);
        const int yc = 0 + 2 + h / 2;
        // Data bit k of character c lies at start + (1.5 + k) x 10 samples.
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 8; ++k) {
                const long long p = uartStart + c * uartPeriod + 15 + 10 * k;
                QCOMPARE(markers.empty() ? -1LL : markers[size_t(c * 8 + k + (c > 2 ? 1 : 0))].pos,
                         markers.empty() ? -1LL : p);
                const int x = int((p - off) / spp);
                const bool dot = near(at(img, x, yc), grey(1));
                QVERIFY2(dot == (drawn > 0), qPrintable(QString("char %1 bit %2").arg(c).arg(k)));
            }
        }
        if (drawn) {
            // The framing error of '!' is a red X at the stop bit's middle.
            const ItemWaveLine::MarkerRec& x = markers[size_t(2 * 8 + 8)];
            QCOMPARE(x.type, int(MarkerErrorX));
            QCOMPARE(x.pos, uartStart + 2 * uartPeriod + 95);
        }
    }

    void crowdedMarkersHideOnlyTheirGroup()
    {
        // Markers written directly: a lone one, a pair 5 pixels apart, then
        // two 8 pixels apart; spp 2.
        PlainAnalyzer a;
        const Channel ch(0, 0);
        a.results.AddMarker(100, MarkerDot, ch);
        a.results.AddMarker(300, MarkerSquare, ch);
        a.results.AddMarker(310, MarkerSquare, ch);
        a.results.AddMarker(500, MarkerStart, ch);
        a.results.AddMarker(516, MarkerStop, ch);
        a.results.AddMarker(900, MarkerOne, ch);
        a.results.AddMarker(901, MarkerZero, ch);   // same window as the one before
        source.list = {&a};
        view(2.0, 0);
        ItemWaveLine item(0, gen.get());
        std::vector<ItemWaveLine::MarkerRec> markers;
        collect(item, nullptr, &markers);
        source.list = {uartAnalyzer};
        QCOMPARE(int(markers.size()), 3);
        QCOMPARE(markers[0].pos, 100LL);
        QCOMPARE(markers[1].pos, 500LL);
        QCOMPARE(markers[1].type, int(MarkerStart));
        QCOMPARE(markers[2].pos, 516LL);
    }

    void markerShapes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("draws");
        for (int t = -2; t <= 14; ++t)
            QTest::newRow(qPrintable(QString("type %1").arg(t))) << t << (t >= 0 && t <= 11);
        QTest::newRow("type 255") << 255 << false;
    }
    void markerShapes()
    {
        QFETCH(int, type);
        QFETCH(bool, draws);
        view(1.0, 0);
        ItemWaveLine item(1, gen.get());
        item.setSize(40, 40);
        QImage img = blank(40, 40);
        {
            QPainter p(&img);
            item.drawMarkers(type, 20, &p);
        }
        int changed = 0;
        for (int x = 0; x < 40; ++x)
            for (int y = 0; y < 40; ++y)
                changed += at(img, x, y) != paper;
        QCOMPARE(changed > 0, draws);
        if (!draws)
            return;
        // Everything stays within 5 pixels of the centre (x 20, y 2 + 20).
        for (int x = 0; x < 40; ++x)
            for (int y = 0; y < 40; ++y)
                if (at(img, x, y) != paper)
                    QVERIFY(qAbs(x - 20) <= 5 && qAbs(y - 22) <= 5);
        const QColor centre = at(img, 20, 22);
        if (type == 1 || type == 3 || type == 9)
            QVERIFY(near(centre, Qt::red));
        if (type == 0 || type == 2)
            QVERIFY(near(centre, grey(1)));
        if (type == 8)
            QVERIFY(near(centre, Qt::green));
    }

    void bubbleScanMovesForward_data()
    {
        QTest::addColumn<double>("spp");
        QTest::addColumn<int>("bubbles");
        // Frames [10,11) [11,12) [12,13) [13,40) [40,41): one sample each but
        // for the fourth. At 0.05 samples a pixel each is 20 pixels wide.
        QTest::newRow("zoomed in: every frame") << 0.05 << 4;
        QTest::newRow("one sample a pixel") << 1.0 << 5;
        QTest::newRow("three samples a pixel: only the long one") << 3.0 << 1;
    }
    void bubbleScanMovesForward()
    {
        QFETCH(double, spp);
        QFETCH(int, bubbles);
        PlainAnalyzer a;
        const Channel ch(0, 0);
        a.results.AddChannelBubblesWillAppearOn(ch);
        for (auto r : std::vector<std::pair<int, int>>{{10, 11}, {11, 12}, {12, 13}, {13, 40}, {40, 41}}) {
            Frame f;
            f.startSample = r.first;
            f.endSample = r.second;
            QVERIFY(a.results.AddFrame(f) != AnalyzerResults::kNoFrame);
        }
        source.list = {&a};
        view(spp, 9.5, 80);
        ItemWaveLine item(0, gen.get());
        item.setSize(80, 40);
        std::vector<ItemWaveLine::Bubble> found;
        collect(item, &found, nullptr);
        source.list = {uartAnalyzer};
        QCOMPARE(int(found.size()), bubbles);
        for (size_t i = 1; i < found.size(); ++i)
            QVERIFY(found[i].x1 >= found[i - 1].x2);
    }

    void bubblesFarOffScreenStayIn64Bits()
    {
        // Zoomed to 0.01 samples a pixel far into a long frame: its ends lie
        // millions of pixels away, the visible part is still drawn.
        PlainAnalyzer a;
        const Channel ch(0, 0);
        a.results.AddChannelBubblesWillAppearOn(ch);
        Frame f;
        f.startSample = 10;
        f.endSample = 3990;
        a.results.AddFrame(f);
        source.list = {&a};
        view(0.01, 2000);
        ItemWaveLine item(0, gen.get());
        std::vector<ItemWaveLine::Bubble> found;
        collect(item, &found, nullptr);
        QCOMPARE(int(found.size()), 1);
        QCOMPARE(found[0].x1, -199000LL);
        QCOMPARE(found[0].x2, 199000LL);
        const QImage img = paintRow(item, 800, 40);
        source.list = {uartAnalyzer};
        QVERIFY(near(at(img, 400, 0), Config::chnColor.at(0)));   // top edge
        QVERIFY(near(at(img, 400, 13), Config::chnColor.at(0)));  // bottom edge
        QVERIFY(!near(at(img, 400, 6), Config::chnColor.at(0)));  // inside
    }

    void extremeViewsStaySafe_data()
    {
        QTest::addColumn<double>("spp");
        QTest::addColumn<double>("off");
        QTest::newRow("zoomed out to 1e300") << 1e300 << -1e302;
        QTest::newRow("far beyond the end") << 1.0 << 1e18;
        QTest::newRow("far before the start") << 0.01 << -1e17;
    }
    void extremeViewsStaySafe()
    {
        QFETCH(double, spp);
        QFETCH(double, off);
        gen->setViewWidth(800);
        WaveDataGen::moveDecode(0, spp * 400 - 1);
        gen->moveTo(off);
        ItemWaveLine item(0, gen.get());
        std::vector<ItemWaveLine::Bubble> bubbles;
        std::vector<ItemWaveLine::MarkerRec> markers;
        collect(item, &bubbles, &markers);
        QVERIFY(bubbles.empty());
        QVERIFY(markers.empty());
        const QImage img = paintRow(item, 800, 60);
        // At most the trace's level line: nothing at the bubble or marker heights.
        for (int x = 0; x < 800; x += 3) {
            QVERIFY(near(at(img, x, 3), paper));
            QVERIFY(near(at(img, x, 32), paper));
        }
    }

    void rowBackground()
    {
        ItemWaveBackground bg(3);
        QCOMPARE(bg.boundingRect(), QRectF());
        bg.setSize(50, 30);
        QCOMPARE(bg.boundingRect(), QRectF(0, 0, 50, 30));
        QImage img = blank(50, 30);
        {
            QPainter p(&img);
            bg.paint(&p, nullptr, nullptr);
        }
        // From grey 3 at the top edge down to grey 8 at 4 pixels.
        const int mid = (grey(3).red() + grey(8).red()) / 2;
        QVERIFY(at(img, 10, 0).red() > mid && at(img, 10, 0).red() <= grey(3).red());
        for (int y = 1; y < 4; ++y)
            QVERIFY(at(img, 10, y).red() < at(img, 10, y - 1).red());
        for (int y = 4; y < 30; ++y)
            QVERIFY(near(at(img, 10, y), grey(8)));
        QVERIFY(near(at(img, 49, 29), grey(8)));
        // Height 0 paints nothing.
        bg.setSize(50, 0);
        img = blank(50, 30);
        {
            QPainter p(&img);
            bg.paint(&p, nullptr, nullptr);
        }
        QVERIFY(near(at(img, 10, 10), paper));
    }

    void periodArrows()
    {
        ItemWaveArrow arrow;
        // Spans under 4 pixels draw nothing.
        const double tiny[4] = {10, 13, 10, 13};
        arrow.setEdgeWidth(tiny, 7, 30);
        QCOMPARE(arrow.value(), 7);
        QImage img = blank(80, 30);
        {
            QPainter p(&img);
            arrow.paint(&p, nullptr, nullptr);
        }
        for (int x = 0; x < 80; ++x)
            for (int y = 0; y < 30; ++y)
                QVERIFY(at(img, x, y) == paper);

        // Width arrow 10..30, period arrow 10..50, row height 30: y = 17.
        const double xs[4] = {10, 30, 10, 50};
        arrow.setEdgeWidth(xs, 0, 30);
        QVERIFY(arrow.boundingRect().contains(QPointF(50, 17)));
        img = blank(80, 30);
        {
            QPainter p(&img);
            arrow.paint(&p, nullptr, nullptr);
        }
        const QColor g2 = grey(2);
        for (int x = 10; x <= 48; ++x)
            QVERIFY2(near(at(img, x, 17), g2), qPrintable(QString::number(x)));
        QVERIFY(near(at(img, 50, 17), g2));
        // Three head steps at both ends of the width arrow, at the right end
        // of the period arrow.
        for (int k = 1; k <= 3; ++k) {
            QVERIFY(near(at(img, 10 + k, 17 - k), g2));
            QVERIFY(near(at(img, 30 - k, 17 + k), g2));
            QVERIFY(near(at(img, 50 - k, 17 - k), g2));
            QVERIFY(near(at(img, 50 - k, 17 + k), g2));
        }
        QVERIFY(near(at(img, 14, 13), paper));
        QVERIFY(near(at(img, 60, 17), paper));

        // Far off-screen ends (a long pulse at high zoom) stay drawable.
        const double far[4] = {-1e12, 1e12, -1e12, 1e13};
        arrow.setEdgeWidth(far, 0, 30);
        img = blank(80, 30);
        {
            QPainter p(&img);
            arrow.paint(&p, nullptr, nullptr);
        }
        QVERIFY(near(at(img, 40, 17), g2));
    }

    void edgeButton_data()
    {
        QTest::addColumn<bool>("previous");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<int>("dir");
        QTest::newRow("previous") << true << QString("Move previous edge to center") << 1;
        QTest::newRow("next") << false << QString("Move next edge to center") << -1;
    }
    void edgeButton()
    {
        QFETCH(bool, previous);
        QFETCH(QString, tip);
        QFETCH(int, dir);
        NextEdge button;
        QVERIFY(!button.isVisible());
        QCOMPARE(button.channel(), -1);
        button.setParameters(previous, 5, 30, 40);
        QCOMPARE(button.toolTip(), tip);
        QCOMPARE(button.channel(), 5);
        QCOMPARE(button.boundingRect(), QRectF(0, 0, 30, 40));
        QImage img(30, 40, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            button.paint(&p, nullptr, nullptr);
        }
        if (!qEnvironmentVariableIsEmpty("TAV_DUMP"))
            img.save(QString("/tmp/nextedge_%1.png").arg(previous));
        // Translucent white field, chevron of grey-8 points opening away from the apex.
        QCOMPARE(at(img, 2, 2).alpha(), 150);
        QVERIFY(near(at(img, 2, 2), Qt::white));
        const int ax = previous ? 15 - 2 : 15 + 2;
        QVERIFY(near(at(img, ax, 20), grey(8), 6));
        for (int k = 1; k <= 6; ++k) {
            QVERIFY(near(at(img, ax + dir * k, 20 - k), grey(8), 6));
            QVERIFY(near(at(img, ax + dir * k, 20 + k), grey(8), 6));
        }
        QVERIFY(!near(at(img, ax - dir, 20), grey(8), 6));
    }
};

QTEST_MAIN(TestWaveRows)
#include "tst_waverows.moc"
