// A demo capture in a waveform scene driven by the generator the way the main
// window drives it: every refresh repaints the rows and is acknowledged. The
// first channel carries UART text decoded by the real plug-in. Saves a
// screenshot of the zoomed view (argv[1]) and one of the whole capture.
//
//   wave_harness <png> [--colour]

#include "tests/analyzers/pluginloader.h"
#include "tests/waveview/wavetestutil.h"

#include "core/config.h"
#include "libanalyzer/analyzer.h"
#include "waveview/itemwavearrow.h"
#include "waveview/itemwavebackground.h"
#include "waveview/itemwaveline.h"
#include "waveview/nextedge.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTimer>

#include <cstdio>
#include <random>

using namespace WaveTest;

namespace {

class HostStandIn : public WaveAnalyzerSource
{
public:
    Analyzer* uart = nullptr;
    QVector<Analyzer*> chnAnalyzers(int chn) const override
    {
        return chn == 0 && uart ? QVector<Analyzer*>{uart} : QVector<Analyzer*>();
    }
    int analyzerDisplayFormat(Analyzer*) const override { return DisplayAscii; }
};

// Repaints on every refresh and acknowledges it, as the main window will.
class WindowStandIn : public QObject
{
    Q_OBJECT

public:
    WindowStandIn(WaveDataGen* gen, QGraphicsScene* scene) : gen(gen), scene(scene)
    {
        connect(gen, &WaveDataGen::sigViewRefresh, this, [this](bool dec) {
            this->scene->update();
            this->gen->setRefreshDone();
            if (dec)
                emit lastFrame();
        });
    }
signals:
    void lastFrame();

private:
    WaveDataGen* gen;
    QGraphicsScene* scene;
};

// Waits for the end of an animation (or its rebound) with a bound.
void settle(WindowStandIn* w, int ms = 2000)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(w, &WindowStandIn::lastFrame, &loop, [&loop] { QTimer::singleShot(150, &loop, &QEventLoop::quit); });
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("wave_harness.png");
    Config::fillLists();
    Config::createFont();
    Config::colorWaveLine = app.arguments().contains(QStringLiteral("--colour"));
    Config::viewState = ViewAll;

    // The demo capture: 1 MHz, 200000 samples.
    const long long n = 200000;
    std::vector<Chn> chns;
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "Hello, VormelTAV! 0123456789\r\n";
    chns.push_back(uartChn(text, 2000, 10, 2, {5}));
    Chn clock;
    for (long long p = 20; p < n; p += 20)
        clock.edges.push_back(p);
    chns.push_back(clock);
    std::mt19937_64 rng(42);
    for (int c = 2; c < 8; ++c)
        chns.push_back(randomChn(rng, n, 200 * c));
    std::unique_ptr<SmpData> store = makeStore(chns, n, 1000000, 5000);

    // The real UART plug-in on channel 0 at 100 kbit/s.
    if (qEnvironmentVariableIsEmpty("TAV_BIN_DIR"))
        qputenv("TAV_BIN_DIR", (QCoreApplication::applicationDirPath() + "/../../bin").toLocal8Bit());
    AnalyzerPlugin plugin;
    HostStandIn host;
    DataForAnly rec = DataForAnly();
    if (plugin.load(QStringLiteral("libUART.so"))) {
        host.uart = plugin.create();
        const QByteArray s = QByteArray(host.uart->GetAnalyzerSettings()->SaveToText())
                                 .replace("baud=115200", "baud=100000");
        host.uart->GetAnalyzerSettings()->LoadFromText(s.constData());
        rec.chnData = store->chnData.data();
        rec.smpCount = store->smpCount;
        rec.smpFrequ = store->smpFrequ;
        rec.chnNum = store->chnNum;
        decodeNow(host.uart, &rec);
    } else {
        std::fprintf(stderr, "UART plug-in not found: %s\n", dlerror());
    }
    ItemWaveLine::setAnalyzerSource(&host);

    WaveDataGen gen;
    const SmpData* sp = store.get();
    gen.setDataSource([sp] { return sp; });
    gen.setChannelCount(int(chns.size()));

    const int width = 1400, rowH = 60;
    QGraphicsScene scene;
    scene.setBackgroundBrush(QColor("#2f2f2f"));
    std::vector<ItemWaveLine*> lines;
    for (int c = 0; c < int(chns.size()); ++c) {
        auto* bg = new ItemWaveBackground(c);
        bg->setSize(width, rowH);
        bg->setPos(0, c * rowH);
        bg->setZValue(0);
        scene.addItem(bg);
        auto* line = new ItemWaveLine(c, &gen);
        line->setSize(width, rowH);
        line->setPos(0, c * rowH);
        line->setZValue(1);
        scene.addItem(line);
        lines.push_back(line);
    }
    // A period arrow on the clock row and the next-edge button at its right end.
    auto* arrow = new ItemWaveArrow();
    arrow->setZValue(2);
    arrow->setPos(0, rowH);
    scene.addItem(arrow);
    auto* edge = new NextEdge();
    edge->setParameters(false, 1, 20, rowH);
    edge->setPos(width - 20 - 10, rowH);
    edge->setZValue(3);
    edge->show();
    scene.addItem(edge);
    scene.setSceneRect(0, 0, width, rowH * int(chns.size()));

    QGraphicsView view(&scene);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    view.setStyleSheet("QGraphicsView{background-color:#2f2f2f;border:0;}");
    view.setFixedSize(width, rowH * int(chns.size()));
    view.show();
    WindowStandIn window(&gen, &scene);
    gen.setViewWidth(width);

    // Whole capture first, then a few characters around the sixth line (its
    // framing error) by way of a decoded range and an animated zoom-out.
    gen.zoomFirst();
    app.processEvents();
    QString whole = out;
    whole.replace(QStringLiteral(".png"), QStringLiteral("_all.png"));
    view.grab().save(whole);

    const long long charLen = 12 * 10;
    const long long line5 = 2000 + 5 * 30 * charLen;
    WaveDataGen::moveDecode(double(line5), double(line5 + 3 * charLen));
    settle(&window);
    gen.zoomOut(width / 2);
    settle(&window);
    // Period of the clock under pixel 300, as navigation would set it.
    const WaveFramePtr f = gen.frame();
    const long long s0 = (long long)f->sampleAt(300) / 20 * 20;
    const double xs[4] = {double(f->pixelOf(double(s0))), double(f->pixelOf(double(s0 + 10))),
                          double(f->pixelOf(double(s0))), double(f->pixelOf(double(s0 + 20)))};
    arrow->setEdgeWidth(xs, 0, rowH);
    scene.update();
    app.processEvents();
    const bool saved = view.grab().save(out);

    std::vector<ItemWaveLine::Bubble> bubbles;
    std::vector<ItemWaveLine::MarkerRec> markers;
    lines[0]->collectDecoded(*gen.frame(), &bubbles, &markers);
    std::printf("spp %.4f offset %.1f bubbles %zu markers %zu -> %s\n", gen.frame()->smpPerPixel,
                gen.frame()->smpOffset, bubbles.size(), markers.size(), qPrintable(out));

    ItemWaveLine::setAnalyzerSource(nullptr);
    if (host.uart)
        plugin.destroy(host.uart);
    return saved && !bubbles.empty() ? 0 : 1;
}

#include "wave_harness.moc"
