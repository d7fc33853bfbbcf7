// The ruler, the waveform area and the overview strip in the cells of the
// main window, on a demo capture with UART decoded on channel 0 and two
// timing-marker pairs placed, as large as in the program's first window.
// Saves a screenshot (argv[1]) and checks what a person would check on it:
// the ruler starts where the waves start, the marker heads sit centred on
// their lines, the bubbles are there. Then, for the user guide, the channel
// menu of row 1 with the rows around it (<png>_menu.png) and the glitch
// filter dialog with channel 1 ticked (<png>_filter.png).
//
//   mainview_harness <png>

#include "tests/waveview/decodeddemo.h"
#include "tests/common/programlook.h"

#include "waveview/cursorbody.h"
#include "waveview/cursorhandle.h"
#include "waveview/dlgfilter.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/itemwaveline.h"
#include "waveview/waveview.h"
#include "widgets/mybutton.h"
#include "widgets/myspinbox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QPainter>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>

using namespace WaveTest;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("mainview_harness.png");
    ProgramLook::useDesktopFontSize();
    setUpLook();

    DecodedDemo demo;
    if (!demo.start())
        return 1;
    DemoHost& host = demo.host;
    ViewWiring& w = *demo.wiring;
    host.dev->setDChnTrg(2, TrgFall);
    w.devModelChanged();
    w.mainView->slotAnalyzerItemChanged();
    // The cells as large as in the program's first window.
    w.window->resize(ProgramLook::WindowWidth - ProgramLook::SideWidth,
                     ProgramLook::WindowHeight - ProgramLook::ToolbarHeight);
    w.window->show();
    app.processEvents();

    if (!demo.capture())
        return 1;
    const QVector<Frame> frames = host.uartFrames();
    if (frames.size() < 20) {
        std::fprintf(stderr, "only %d UART frames\n", int(frames.size()));
        return 1;
    }
    // A few characters across the middle half of the view.
    WaveDataGen::moveDecode(double(frames[10].startSample), double(frames[13].endSample));
    // A view still moving after 3 s is shown as it stands.
    (void)QTest::qWaitFor([&] { return !w.gen->isAnimating(); }, 3000);

    // Pair A over one character, pair B reversed over the next two.
    MainView* mv = w.mainView;
    const int vw = mv->getWaveView()->width();
    mv->slotTimingMarkerPairClicked(0, 0);
    mv->slotTimingMarkerPairClicked(0, 2);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(0), 3, vw * 30 / 100);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(1), 3, vw * 45 / 100);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(3), 3, vw * 55 / 100);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(2), 3, vw * 72 / 100);
    app.processEvents();

    // The checks a person makes on the picture.
    int faults = 0;
    const QPoint waveLeft = mv->getWaveView()->mapTo(w.window, QPoint(0, 0));
    const QPoint rulerLeft = w.timeView->mapTo(w.window, QPoint(0, 0));
    if (waveLeft.x() != rulerLeft.x()) {
        std::fprintf(stderr, "ruler starts at %d, waves at %d\n", rulerLeft.x(), waveLeft.x());
        ++faults;
    }
    for (CursorHandle* h : w.timeView->getCursorHandles()) {
        const int i = mv->findCursorBody(h->id);
        const CursorBody* b = mv->getCursorBodies()[i];
        const int lineX = int(b->x()) + b->width / 2;
        const int apex = h->x() + h->width() / 2;
        if (!h->isVisible() || apex != lineX) {
            std::fprintf(stderr, "head %s at %d, line at %d\n", qPrintable(h->name), apex, lineX);
            ++faults;
        }
    }
    std::vector<ItemWaveLine::Bubble> bubbles;
    std::vector<ItemWaveLine::MarkerRec> marks;
    mv->getWaveLines()[0]->collectDecoded(*w.gen->frame(), &bubbles, &marks);
    if (bubbles.empty()) {
        std::fprintf(stderr, "no bubbles on the UART row\n");
        ++faults;
    }
    // The mouse over channel 1 shows its period arrows and texts.
    const QPoint over(vw / 3, mv->getChnSidebars()[1]->y() + 20);
    QMouseEvent move(QEvent::MouseMove, over, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(mv->getWaveView()->viewport(), &move);
    app.processEvents();

    bool saved = w.window->grab().save(out);
    std::printf("frames %d bubbles %zu markers %d faults %d -> %s\n", int(frames.size()), bubbles.size(),
                int(mv->getCursorBodies().size()), faults, qPrintable(out));

    // The channel menu of row 1 (height x2), drawn where it pops up.
    const QString base = out.endsWith(QStringLiteral(".png")) ? out.chopped(4) : out;
    ItemChnSidebar* row = mv->getChnSidebars()[1];
    row->setShowMultip(2);
    mv->slotChnExpansion();
    MyButton* set = row->settingButton();
    QCursor::setPos(set->mapToGlobal(set->rect().center()));
    set->click();
    app.processEvents();
    QMenu* menu = mv->getChnMenu();
    if (!menu || !menu->isVisible() || menu->actions().size() != 13 || !menu->actions()[8]->isChecked()) {
        std::fprintf(stderr, "channel menu missing or without its x2 entry checked\n");
        ++faults;
    }
    if (menu) {
        QImage shot = w.window->grab().toImage();
        const QRect menuRect(menu->pos() - w.window->mapToGlobal(QPoint(0, 0)), menu->size());
        QPainter p(&shot);
        p.drawPixmap(menuRect.topLeft(), menu->grab());
        p.end();
        // For the guide, the menu with the rows it opened over and a little
        // of the waveform beside it.
        const QRect part(0, 0, menuRect.right() + 120, menuRect.bottom() + 16);
        saved = ProgramLook::saveCrop(shot, part, base + QStringLiteral("_menu.png")) && saved;
        menu->hide();
    }

    // The glitch filter dialog, channel 1 ticked with a width of 3.
    bool dialogSeen = false;
    QTimer::singleShot(200, [&] {
        DlgFilter* d = mv->getDlgFilter();
        if (!d || !d->isVisible())
            return;
        dialogSeen = true;
        d->checkBox(1)->click();
        d->widthSpinBox(1)->setValue(3);
        if (d->channelCount() != 16 || d->checkBox(8)->x() <= d->checkBox(0)->x()) {
            std::fprintf(stderr, "filter dialog without two blocks of eight\n");
            ++faults;
        }
        saved = d->grab().save(base + QStringLiteral("_filter.png")) && saved;
        d->reject();
    });
    mv->slotFilterClicked();
    if (!dialogSeen) {
        std::fprintf(stderr, "no filter dialog\n");
        ++faults;
    }
    return saved && faults == 0 ? 0 : 1;
}
