// mainwindow_harness <png> saves the whole main window as a user sees it after
// F5 without an instrument: a demo capture with UART decoded on channel 0,
// zoomed in on a few characters, one pair of timing markers placed. The
// window has the size and fonts of the program's first start. For the user
// guide: its top left part (<png>_left.png), and the threshold panel with
// its list of I/O standards open (<png>_threshold.png).

#include "programrig.h"

#include "common/programlook.h"

#include "analysis/analyzermanager.h"
#include "controls/vthsetting.h"
#include "libanalyzer/analyzer.h"
#include "libanalyzer/analyzerresults.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/mainview.h"
#include "waveview/wavedatagen.h"
#include "waveview/waveview.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPainter>
#include <QtTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("mainwindow_harness.png");
    using namespace apptest;
    ProgramLook::useDesktopFontSize();
    ProgramRig rig(settingsXml(QStringLiteral("<disAnimateZoom>1</disAnimateZoom>"),
                               QStringLiteral("<Demo><smpFrequ>10000</smpFrequ><smpDepth>1000</smpDepth></Demo>"),
                               QStringLiteral("<item0><fileName>libUART.so</fileName><parameters/><format>2</format></item0>")),
                   {}, true);
    MainWindow* w = rig.window;
    w->resize(ProgramLook::WindowWidth, ProgramLook::WindowHeight);
    w->show();
    w->activateWindow();
    AnalyzerManager* mgr = w->getAnalyzerManager();
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    AnalyzerResults* results = nullptr;
    // F5 once the device search of the start-up timer found nothing and ended.
    const bool ready = rig.uartLinked && QTest::qWaitForWindowActive(w)
        && QTest::qWaitFor([w] { return !w->startupPending(); }, 20000);
    if (ready)
        QTest::keyClick(w, Qt::Key_F5);
    if (!ready || !QTest::qWaitFor([&] {
            return !decoded.isEmpty() && !devUsing->smpRunning && mgr->usingCount() == 1
                && mgr->getUsingAnalyzer(0)->GetAnalyzerResults(&results) && results && results->GetNumFrames() > 20;
        }, 30000)) {
        std::fprintf(stderr, "no UART plug-in, no window or no decoded demo capture\n");
        return 1;
    }
    WaveDataGen::moveDecode(double(results->GetFrame(10).startSample), double(results->GetFrame(14).endSample));
    (void)QTest::qWaitFor([w] { return !w->getWaveDataGen()->isAnimating(); }, 3000);
    // Markers 1 and 2 around one character.
    MainView* mv = w->getMainView();
    mv->slotTimingMarkerPairClicked(0, 0);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(0), 3, mv->getWaveView()->width() * 35 / 100);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(1), 3, mv->getWaveView()->width() * 52 / 100);
    QTest::qWait(50); // lets queued repaints land before the grab
    std::printf("frames %d -> %s\n", int(results->GetNumFrames()), qPrintable(out));
    const QImage shot = w->grab().toImage();
    // The guide's picture: the toolbar's groups, the threshold panel, the
    // first eight rows with the decoded bubbles and the markers.
    const QWidget* row = mv->getChnSidebars()[7];
    const int bottom = row->mapTo(w, QPoint(0, row->height())).y() + 1;
    const QString base = out.endsWith(QStringLiteral(".png")) ? out.chopped(4) : out;
    const QRect left(0, 0, ProgramLook::GuideWidth, bottom);
    bool saved = shot.save(out) && ProgramLook::saveCrop(shot, left, base + QStringLiteral("_left.png"));

    // The threshold panel with its list of I/O standards open, drawn where
    // it pops up, and the rows it opens over.
    VthSetting* vth = w->getVthSetting();
    QComboBox* levels = vth->levelCombo();
    levels->showPopup();
    QTest::qWait(50);
    QWidget* popup = levels->view()->window();
    if (!popup->isVisible()) {
        std::fprintf(stderr, "the list of I/O standards did not open\n");
        return 1;
    }
    QImage open = w->grab().toImage();
    const QRect popupRect(popup->mapToGlobal(QPoint(0, 0)) - w->mapToGlobal(QPoint(0, 0)), popup->size());
    QPainter p(&open);
    p.drawPixmap(popupRect.topLeft(), popup->grab());
    p.end();
    levels->hidePopup();
    QRect part = QRect(vth->mapTo(w, QPoint(0, 0)), vth->size()).united(popupRect).adjusted(0, 0, 120, 12);
    part.setLeft(0);
    saved = ProgramLook::saveCrop(open, part, base + QStringLiteral("_threshold.png")) && saved;
    return saved ? 0 : 1;
}
