// The whole main window as a user sees it after pressing F5 without an
// instrument: a demo capture with UART decoded on channel 0, zoomed in on a
// few characters, one pair of timing markers placed. Saves a screenshot.
//
//   mainwindow_harness <png>

#include "programrig.h"

#include "analysis/analyzermanager.h"
#include "libanalyzer/analyzer.h"
#include "libanalyzer/analyzerresults.h"
#include "waveview/mainview.h"
#include "waveview/wavedatagen.h"
#include "waveview/waveview.h"

#include <QtTest>

#include <cstdio>

using apptest::ProgramRig;
using apptest::settingsXml;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("mainwindow_harness.png");

    const QString uart =
        QStringLiteral("<item0><fileName>libUART.so</fileName><parameters/><format>2</format></item0>");
    ProgramRig rig(settingsXml(QStringLiteral("<disAnimateZoom>1</disAnimateZoom>"),
                               QStringLiteral("<Demo><smpFrequ>10000</smpFrequ><smpDepth>1000</smpDepth></Demo>"),
                               uart),
                   {}, true);
    MainWindow* w = rig.window;
    w->resize(1400, 800);
    w->show();
    w->activateWindow();
    if (!rig.uartLinked || !QTest::qWaitForWindowActive(w)) {
        std::fprintf(stderr, "no UART plug-in or no window\n");
        return 1;
    }
    // The device search of the start-up timer finds nothing and ends.
    if (!QTest::qWaitFor([w] { return !w->startupPending(); }, 20000)) {
        std::fprintf(stderr, "start-up search did not end\n");
        return 1;
    }
    AnalyzerManager* mgr = w->getAnalyzerManager();
    int decoded = 0;
    QObject::connect(mgr, &AnalyzerManager::analyzerDecodedChanged, [&decoded] { ++decoded; });
    QTest::keyClick(w, Qt::Key_F5);
    AnalyzerResults* results = nullptr;
    const bool done = QTest::qWaitFor(
        [&] {
            return decoded > 0 && !devUsing->smpRunning && mgr->usingCount() == 1 &&
                   mgr->getUsingAnalyzer(0)->GetAnalyzerResults(&results) && results &&
                   results->GetNumFrames() > 20;
        },
        30000);
    if (!done) {
        std::fprintf(stderr, "no decoded demo capture\n");
        return 1;
    }
    const Frame first = results->GetFrame(10);
    const Frame last = results->GetFrame(14);
    WaveDataGen::moveDecode(double(first.startSample), double(last.endSample));
    (void)QTest::qWaitFor([w] { return !w->getWaveDataGen()->isAnimating(); }, 3000);

    // Markers 1 and 2 around one character.
    MainView* mv = w->getMainView();
    const int vw = mv->getWaveView()->width();
    mv->slotTimingMarkerPairClicked(0, 0);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(0), 3, vw * 35 / 100);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(1), 3, vw * 52 / 100);
    QTest::qWait(50);   // lets queued repaints land before the grab

    const bool saved = w->grab().save(out);
    std::printf("frames %d -> %s\n", int(results->GetNumFrames()), qPrintable(out));
    return saved ? 0 : 1;
}
