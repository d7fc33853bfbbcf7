// The analysis panels beside the waveform rows on a demo capture, driven the
// way the main window will drive them: UART and SPI are added through their
// settings dialogs, the demo capture carries their simulated traffic, the
// host decodes it, the decoded results follow the view, a search picks the
// letter 'o' and a click on a result moves the view there. Saves a
// screenshot of the window (argv[1]).
//
//   analysis_harness <png>

#include "analysis/analyzerdatagen.h"
#include "analysis/analyzermanager.h"
#include "analysis/protocoledit.h"
#include "analysis/protocolitem.h"
#include "analysis/protocolresult.h"
#include "analysis/protocolsetting.h"
#include "analysis/resultview.h"
#include "analysis/searchedit.h"
#include "app/core/apppaths.h"
#include "app/core/config.h"
#include "device/devbase.h"
#include "device/smpsimulate.h"
#include "libanalyzer/analyzer.h"
#include "waveview/itemwavebackground.h"
#include "waveview/itemwaveline.h"
#include "waveview/wavedatagen.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>

namespace {

// The waveform rows read the analyzers through this until the host serves them.
class HostSource : public WaveAnalyzerSource
{
public:
    QVector<Analyzer*> getUsingChnAnalyzers(int chn) const override
    {
        return AnalyzerManager::getUsingChnAnalyzers(chn);
    }
    int getAnalyzerDisplayFormat(Analyzer* a) const override { return AnalyzerManager::getAnalyzerDisplayFormat(a); }
};

QThread* makeWorker(DevBase* d, int kind)
{
    return kind == SmpWorkerSimulate ? new SmpSimulate(d) : nullptr;
}

// Runs the event loop until done() holds or ms have passed.
bool waitFor(std::function<bool()> const& done, int ms)
{
    QEventLoop loop;
    QTimer poll, limit;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(10);
    limit.start(ms);
    if (!done())
        loop.exec();
    return done();
}

// Adds a new analyzer of a plug-in through its settings dialog, as OK does.
void addThroughDialog(AnalyzerManager& mgr, QString const& file, QWidget* parent)
{
    for (int i = 0; i < mgr.files().size(); ++i)
        if (mgr.files()[i].fileName == file) {
            ProtocolEdit dlg(false, &mgr, i, parent);
            dlg.buttonBox()->buttons().first()->click();
            return;
        }
    std::fprintf(stderr, "plug-in %s not found\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("analysis_harness.png");
    QByteArray bin = qgetenv("TAV_BIN_DIR");
    if (bin.isEmpty())
        bin = (QCoreApplication::applicationDirPath() + "/../../bin").toLocal8Bit();
    AppPaths::setResources(QString::fromLocal8Bit(bin) + QStringLiteral("/../Resources/"));
    // Settings in memory only: the user's file is never read or written.
    Config::cfgDoc.setContent(Config::defaultDocument());
    Config::fillLists();
    Config::createFont();

    DevBase::smpWorkerFactory = &makeWorker;
    devUsing = DevBase::createDevice(0);
    const int rate = devUsing->smpFrequList.indexOf(10000000);
    const int depth = devUsing->smpDepthList.indexOf(1000000);
    if (rate >= 0)
        devUsing->setSmpFrequ(rate);
    if (depth >= 0)
        devUsing->setSmpDepth(depth);

    auto* mgr = new AnalyzerManager;
    HostSource source;
    ItemWaveLine::setAnalyzerSource(&source);
    auto* gen = new WaveDataGen;
    gen->setDataSource([] { return devUsing->displayedSmpData(); });
    gen->setChannelCount(devUsing->dChnEna.size());

    // The window: waveform rows on the left, the side column on the right.
    QWidget window;
    window.setStyleSheet(QStringLiteral("background-color:#2f2f2f;"));
    auto* h = new QHBoxLayout(&window);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    const int width = 1000, rowH = 50, rows = 8;
    QGraphicsScene scene;
    scene.setBackgroundBrush(QColor("#2f2f2f"));
    for (int c = 0; c < rows; ++c) {
        auto* bg = new ItemWaveBackground(c);
        bg->setSize(width, rowH);
        bg->setPos(0, c * rowH);
        scene.addItem(bg);
        auto* line = new ItemWaveLine(c, gen);
        line->setSize(width, rowH);
        line->setPos(0, c * rowH);
        line->setZValue(1);
        scene.addItem(line);
    }
    scene.setSceneRect(0, 0, width, rows * rowH);
    auto* view = new QGraphicsView(&scene);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    view->setStyleSheet(QStringLiteral("QGraphicsView{background-color:#2f2f2f;border:0;}"));
    view->setFixedSize(width, rows * rowH);
    h->addWidget(view, 0, Qt::AlignTop);

    auto* side = new QWidget;
    side->setFixedWidth(240);
    side->setStyleSheet(QStringLiteral("background-color:#2f2f2f;"));
    auto* v = new QVBoxLayout(side);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(6);
    auto* setting = new ProtocolSetting(mgr);
    auto* result = new ProtocolResult(mgr);
    v->addWidget(setting);
    v->addWidget(result, 1);
    h->addWidget(side);
    window.resize(width + 240, 640);
    window.show();

    QObject::connect(gen, &WaveDataGen::sigViewRefresh, &scene, [&scene, gen](bool dec) {
        scene.update();
        gen->setRefreshDone();
        if (dec)
            ProtocolResult::updateDecodeProtocols();
    });
    gen->setViewWidth(width);

    // The first rows appear with the host's first change notice.
    mgr->restoreUsing();
    addThroughDialog(*mgr, QStringLiteral("libUART.so"), setting);
    addThroughDialog(*mgr, QStringLiteral("libSPI.so"), setting);
    mgr->setUsingDisplayFormat(0, DisplayAsciiHex);

    int ready = 0;
    QObject::connect(devUsing, &DevBase::sigSmpDataReady, &app, [&ready](int d) { ready += d ? 1 : 0; });
    int decoded = 0;
    QObject::connect(mgr, &AnalyzerManager::analyzerDecodedChanged, &app, [&decoded] { ++decoded; });
    AnalyzerManager::stopAllAnalyzer();
    AnalyzerManager::clearAnalyzerResult();
    ProtocolResult::clearFindText();
    devUsing->smpStart(SmpStartSingle);
    bool ok = waitFor([&] { return ready > 0 && !devUsing->smpRunning; }, 30000);
    mgr->startDecode();
    ok = ok && waitFor([&] { return decoded >= mgr->usingCount(); }, 30000);
    gen->zoomFirst();
    waitFor([&] { return !result->pageTexts().isEmpty(); }, 5000);

    QString extra = out;
    extra.replace(QStringLiteral(".png"), QStringLiteral("_list.png"));
    window.grab().save(extra);
    {
        ProtocolEdit dlg(true, mgr, 1, setting);
        dlg.show();
        app.processEvents();
        extra.replace(QStringLiteral("_list.png"), QStringLiteral("_edit.png"));
        dlg.grab().save(extra);
    }
    // The support table, from the add menu's last entry; closed once seen.
    QTimer::singleShot(300, [&extra] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            extra.replace(QStringLiteral("_edit.png"), QStringLiteral("_support.png"));
            w->grab().save(extra);
            w->close();
        }
    });
    setting->addMenu()->actions().last()->trigger();

    // Search for the letter o and jump to the second hit.
    result->searchBox()->setText(QStringLiteral("(0x6f)"));
    waitFor([&] { return result->pageTexts().size() > 2 && result->engine()->isIdle(); }, 10000);
    ResultView* list = result->listView();
    const QModelIndex hit = list->model()->index(1, 0);
    list->setCurrentIndex(hit);
    emit list->clicked(hit);
    waitFor([&] { return !gen->isAnimating(); }, 2000);
    app.processEvents();

    const bool saved = window.grab().save(out);
    std::printf("rows %d, page %d, count '%s', view %.3f spp from %.1f -> %s\n", int(setting->rows().size()),
                int(result->pageTexts().size()), qPrintable(result->searchBox()->totalText()),
                gen->getSmpPerPixel(), gen->getSmpOffset(), qPrintable(out));
    const bool good = ok && saved && setting->rows().size() == 2 && result->pageTexts().size() > 2;

    ItemWaveLine::setAnalyzerSource(nullptr);
    delete result;
    delete setting;
    delete mgr;
    gen->releaseDevice();
    delete gen;
    delete devUsing;
    devUsing = nullptr;
    return good ? 0 : 1;
}
