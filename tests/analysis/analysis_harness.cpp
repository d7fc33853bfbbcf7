// The analysis panels beside the waveform area on a demo capture, wired the
// way the main window wires them: UART and SPI are added through their
// settings dialogs, the demo capture carries their simulated traffic, the
// host decodes it, the decoded results follow the view, a search picks the
// letter o and a click on a result moves the view there. The window is as
// large as the program's below its toolbar, in the program's fonts. Saves a
// screenshot of the window (argv[1]) and four more: the whole list before
// the search, the SPI settings dialog, the table of supported protocols and,
// for the user guide, the analyzer panel with the waves beside it (_panel).
//
//   analysis_harness <png>

#include "tests/common/programlook.h"
#include "tests/waveview/demohost.h"
#include "tests/waveview/viewwiring.h"

#include "analysis/analyzerdatagen.h"
#include "analysis/protocoledit.h"
#include "analysis/protocolitem.h"
#include "analysis/protocolresult.h"
#include "analysis/protocolsetting.h"
#include "analysis/resultview.h"
#include "analysis/searchedit.h"
#include "waveview/itemchnsidebar.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>

using namespace WaveTest;

namespace {

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

QString named(QString out, QString const& part)
{
    return out.replace(QStringLiteral(".png"), part + QStringLiteral(".png"));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("analysis_harness.png");
    Config::fillLists();
    ProgramLook::useDesktopFontSize();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);

    // Settings in memory only, plug-ins linked into a private resource tree.
    DemoHost host;
    for (QString const& f : {QStringLiteral("libUART.so"), QStringLiteral("libSPI.so")})
        QFile::link(QString::fromLocal8Bit(qgetenv("TAV_BIN_DIR")) + QStringLiteral("/../Resources/Analyzer/") + f,
                    host.env.resources() + QStringLiteral("Analyzer/") + f);
    host.mgr.reset(new AnalyzerManager);
    AnalyzerManager* mgr = host.mgr.get();
    host.setRateDepth(10000000, 1000000);

    // The window: the waveform area's cells on the left, the side column on the right.
    QWidget window;
    ViewWiring w(mgr, [mgr] { mgr->startDecode(); });
    QObject::connect(mgr, &AnalyzerManager::analyzerDecodedChanged, w.mainView, &MainView::slotUpdateAnalyzerDecoded);
    QObject::connect(mgr, &AnalyzerManager::analyzerItemChanged, w.mainView, &MainView::slotAnalyzerItemChanged);
    // A refresh that asks decoded results to follow the view.
    QObject::connect(w.gen, &WaveDataGen::sigViewRefresh, &window, [](bool dec) {
        if (dec)
            ProtocolResult::updateDecodeProtocols();
    });
    w.devModelChanged();
    auto* h = new QHBoxLayout(&window);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    h->addWidget(w.window, 1);
    auto* side = new QWidget;
    side->setFixedWidth(ProgramLook::SideWidth);
    side->setStyleSheet(QStringLiteral("background-color:#2f2f2f;"));
    auto* v = new QVBoxLayout(side);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(6);
    auto* setting = new ProtocolSetting(mgr);
    auto* result = new ProtocolResult(mgr);
    v->addWidget(setting);
    v->addWidget(result, 1);
    h->addWidget(side);
    // As large as the program's first window below its toolbar.
    window.resize(ProgramLook::WindowWidth, ProgramLook::WindowHeight - ProgramLook::ToolbarHeight);
    window.show();
    app.processEvents();

    // The first rows appear with the host's first change notice.
    mgr->restoreUsing();
    addThroughDialog(*mgr, QStringLiteral("libUART.so"), setting);
    addThroughDialog(*mgr, QStringLiteral("libSPI.so"), setting);
    mgr->setUsingDisplayFormat(0, DisplayAsciiHex);

    int decoded = 0;
    QObject::connect(mgr, &AnalyzerManager::analyzerDecodedChanged, &app, [&decoded] { ++decoded; });
    AnalyzerManager::stopAllAnalyzer();
    AnalyzerManager::clearAnalyzerResult();
    ProtocolResult::clearFindText();
    host.dev->smpStart(SmpStartSingle);
    bool ok = waitFor([&] { return w.captures >= 2 && decoded >= mgr->usingCount(); }, 30000);
    ok = ok && waitFor([&] { return !result->pageTexts().isEmpty() && result->engine()->isIdle(); }, 5000);
    app.processEvents();
    window.grab().save(named(out, QStringLiteral("_list")));
    {
        ProtocolEdit dlg(true, mgr, 1, setting);
        dlg.show();
        app.processEvents();
        dlg.grab().save(named(out, QStringLiteral("_edit")));
    }
    // The support table, from the add menu's last entry; closed once seen.
    QTimer::singleShot(300, [&out] {
        if (QWidget* d = QApplication::activeModalWidget()) {
            d->grab().save(named(out, QStringLiteral("_support")));
            d->close();
        }
    });
    setting->addMenu()->actions().last()->trigger();

    // Search for the letter o and jump to the second hit.
    result->searchBox()->setText(QStringLiteral("(0x6f)"));
    waitFor([&] { return result->pageTexts().size() > 2 && result->engine()->isIdle(); }, 10000);
    app.processEvents();
    ResultView* list = result->listView();
    const QModelIndex hit = list->model()->index(1, 0);
    list->setCurrentIndex(hit);
    emit list->clicked(hit);
    waitFor([&] { return !w.gen->isAnimating(); }, 2000);
    app.processEvents();

    const QImage shot = window.grab().toImage();
    // For the guide, the analyzer panel and the waveform beside it down to
    // the last SPI row.
    const QWidget* row = w.mainView->getChnSidebars()[4];
    const int bottom = row->mapTo(&window, QPoint(0, row->height())).y() + 1;
    const QRect panel(shot.width() - ProgramLook::GuideWidth, 0, ProgramLook::GuideWidth, bottom);
    const bool saved = shot.save(out) && ProgramLook::saveCrop(shot, panel, named(out, QStringLiteral("_panel")));
    std::printf("rows %d, page %d, count '%s', view %.3f spp from %.1f -> %s\n", int(setting->rows().size()),
                int(result->pageTexts().size()), qPrintable(result->searchBox()->totalText()),
                w.gen->getSmpPerPixel(), w.gen->getSmpOffset(), qPrintable(out));
    const bool good = ok && saved && setting->rows().size() == 2 && result->pageTexts().size() > 2;
    delete side;
    return good ? 0 : 1;
}
