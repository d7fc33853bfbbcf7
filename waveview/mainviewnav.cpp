// Navigation of the waveform area: mouse, wheel and keys, the period mark
// and measure texts under the mouse, the edge buttons at the row ends and
// the vertical coupling of sidebar and view.

#include "waveview/mainview.h"

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "waveview/cursorbody.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/itemwavearrow.h"
#include "waveview/nextedge.h"
#include "waveview/wavedatagen.h"
#include "scope/wavedatagenosc.h"
#include "waveview/wavemeasure.h"
#include "waveview/waveview.h"
#include "widgets/itemsmpprogress.h"
#include "widgets/myscrollbar.h"

#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>

#include <algorithm>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

} // namespace

// ---------------------------------------------------------------- mouse

void MainView::slotMousePressed(QMouseEvent* e)
{
    mouseMoved = false;
    if (e->button() != Qt::LeftButton)
        return;
    lastMousePoint = e->pos();
    if (isOscMode())
        mousePressedOsc(e);
}

void MainView::slotMouseMoved(QMouseEvent* e)
{
    mouseMoved = true;
    if (isOscMode()) {
        mouseMovedOsc(e);
        return;
    }
    const QPoint p = e->pos();
    if (nextEdge->isVisible() && waveView->itemAt(p) == nextEdge) {
        updatePeriodMark(p);
        return;
    }
    if (e->buttons() == Qt::NoButton) {
        updatePeriodMark(p);
        const int chn = getMouseChnPhy(p);
        const int follow = getCursorBodyIndex(1);
        if (follow >= 0) {
            qint64 smp = 0;
            int x = 0;
            getCursorBodyCoordinateX(p.x(), chn, &smp, &x);
            cursorBodies[follow]->smpPoint = smp;
            setTimeMarkerPosition(follow, double(smp));
            setLogTimeMarkerValue(follow, 1);
            setLogTimeMarkerPulseMeasures(cursorBodies[follow]->id);
            return;
        }
        for (int i = 0; i < cursorBodies.size(); ++i) {
            CursorBody* c = cursorBodies[i];
            if (!c->isVisible())
                continue;
            const double bx = c->x();
            if (p.x() >= bx - px(1) && p.x() <= bx + c->width + px(1)) {
                setLogTimeMarkerStateType(i, 2);
                return;
            }
        }
        const int hovered = getCursorBodyIndex(2);
        if (hovered >= 0)
            setLogTimeMarkerStateType(hovered, 3);

        const int w = nextEdge->isVisible() ? int(nextEdge->boundingRect().width()) : px(12);
        if (p.x() <= w) {
            setLeftEdgeShow(true, chn, w);
        } else {
            MyScrollbar* bar = waveView->overlayBar();
            const int r = waveView->width() - (bar->isVisible() ? bar->width() + px(1) : 0);
            if (r - w <= p.x() && p.x() < r)
                setLeftEdgeShow(false, chn, r);
            else
                nextEdge->hide();
        }
        return;
    }
    if ((e->buttons() & Qt::LeftButton) && samplesPresent()) {
        emit mouseDraged((p.x() - lastMousePoint.x()) / px(1));
        lastMousePoint = p;
    }
}

void MainView::slotMouseReleased(QMouseEvent* e)
{
    if (isOscMode()) {
        mouseReleasedOsc(e);
        return;
    }
    if (mouseMoved || !samplesPresent())
        return;
    const QPoint p = e->pos();
    if (nextEdge->isVisible() && waveView->itemAt(p) == nextEdge) {
        if (e->button() == Qt::LeftButton)
            moveEdgetoCenter();
        return;
    }
    if (e->button() == Qt::LeftButton) {
        const int follow = getCursorBodyIndex(1);
        const int hovered = getCursorBodyIndex(2);
        if (follow >= 0) {
            setLogTimeMarkerStateType(follow, 3);
        } else if (hovered >= 0) {
            setLogTimeMarkerStateType(hovered, 1);
            nextEdge->hide();
        } else {
            emit zoomChangedByMouse(1, p.x() / px(1));
        }
    } else if (e->button() == Qt::RightButton) {
        const int follow = getCursorBodyIndex(1);
        if (follow >= 0) {
            setLogTimeMarkerStateType(follow, 0);
            nextEdge->hide();
        } else {
            emit zoomChangedByMouse(2, p.x() / px(1));
        }
    }
}

void MainView::slotMouseLeave()
{
    waveArrow->hide();
    nextEdge->hide();
    updateMeasureValue(-1, -1, -1, -1);
    const int hovered = getCursorBodyIndex(2);
    if (hovered >= 0)
        setLogTimeMarkerStateType(hovered, 3);
    mouseLeaveOsc();
}

void MainView::slotWheelChanged(int flag, QPoint point)
{
    if (isOscMode()) {
        wheelOsc(flag, point);
        return;
    }
    emit zoomChangedByMouse(flag == 1 ? 1 : 2, point.x() / px(1));
}

void MainView::slotMouseZoomChanged(int flag, int location)
{
    if (isOscMode()) {
        if (waveDataGenOsc)
            waveDataGenOsc->zoom(location);
        return;
    }
    if (!samplesPresent() || !waveDataGen)
        return;
    if (flag == 2)
        waveDataGen->zoomOut(location);
    else if (flag == 1)
        waveDataGen->zoomIn(location);
}

void MainView::slotMouseDraged(int move)
{
    if (isOscMode()) {
        if (waveDataGenOsc)
            waveDataGenOsc->moveOffset(move);
        return;
    }
    if (waveDataGen)
        waveDataGen->moveTo(waveDataGen->getSmpOffset() - move * waveDataGen->getSmpPerPixel());
}

// ---------------------------------------------------------------- keys

void MainView::registerShortCutkey()
{
    qDeleteAll(shortcuts);
    shortcuts.clear();
    auto add = [this](const QKeySequence& key, void (MainView::*slot)()) {
        auto* s = new QShortcut(key, this);
        s->setContext(Qt::WindowShortcut);
        s->setAutoRepeat(false);
        connect(s, &QShortcut::activated, this, slot);
        shortcuts.append(s);
    };
    if (isOscMode()) {
        for (int d = 1; d <= 4; ++d)
            add(QKeySequence(Qt::Key_0 + d), &MainView::slotShortCutMarkerOsc);
        return;
    }
    for (int d = 0; d <= 9; ++d)
        add(QKeySequence(Qt::Key_0 + d), &MainView::slotShortCutTimeMarker);
    add(QKeySequence(Qt::Key_Up), &MainView::slotShortCutZoomIn);
    add(QKeySequence(Qt::Key_Plus), &MainView::slotShortCutZoomIn);
    add(QKeySequence(Qt::Key_Equal), &MainView::slotShortCutZoomIn);
    add(QKeySequence(Qt::Key_Down), &MainView::slotShortCutZoomOut);
    add(QKeySequence(Qt::Key_Minus), &MainView::slotShortCutZoomOut);
    add(QKeySequence(Qt::Key_Home), &MainView::slotShortCutMovToBeg);
    add(QKeySequence(Qt::Key_End), &MainView::slotShortCutMovToEnd);
}

void MainView::slotShortCutZoomIn()
{
    if (samplesPresent())
        emit zoomChangedByMouse(1, waveView->width() / px(1) / 2);
}

void MainView::slotShortCutZoomOut()
{
    if (samplesPresent())
        emit zoomChangedByMouse(2, waveView->width() / px(1) / 2);
}

void MainView::slotShortCutMovToBeg()
{
    if (samplesPresent() && waveDataGen)
        waveDataGen->moveTo(-1000.0);
}

void MainView::slotShortCutMovToEnd()
{
    if (samplesPresent() && waveDataGen)
        waveDataGen->moveEnd();
}

// ---------------------------------------------------------------- reading under the mouse

int MainView::getMouseChnPhy(QPoint p) const
{
    if (isOscMode())
        return -1;
    const int y = p.y() + waveView->vScrollValue();
    if (p.x() < 0 || y < 0 || p.x() >= waveView->width())
        return -1;
    const int n = std::min(logicChannelCount(), int(chnSidebars.size()));
    for (int i = 0; i < n; ++i) {
        const QRect g = chnSidebars[i]->geometry();
        if (g.top() <= y && y < g.top() + g.height())
            return chnSidebars[i]->chnIndex;
    }
    return -1;
}

void MainView::updatePeriodMark(QPoint p)
{
    const int chn = samplesPresent() && p.y() <= height() ? getMouseChnPhy(p) : -1;
    auto s = chn >= 0 && devUsing ? devUsing->displayedSmpData() : nullptr;
    if (!s || !waveDataGen) {
        waveArrow->hide();
        updateMeasureValue(-1, -1, -1, -1);
        return;
    }
    const WaveFramePtr f = waveDataGen->frame();
    const double k = f->smpPerPixel, o = f->smpOffset;
    const long long smp = wavePixelTrunc((p.x() / px(1)) * k + o);
    WaveMeasure::Period pd;
    if (!WaveMeasure::periodAt(&*s, chn, smp, &pd)) {
        waveArrow->hide();
        updateMeasureValue(-1, -1, -1, -1);
        return;
    }
    updateMeasureValue(pd.width, pd.period, pd.duty, pd.freq);

    const double w = waveView->width() / px(1);
    double xs[4] = {0, 0, 0, 0};
    xs[0] = std::max((double(pd.pre) - o) / k + 2, -10.0);
    const double e = (double(pd.next) - o) / k;
    if (e - 2 > w + 10) {
        xs[1] = w + 10;
    } else {
        xs[1] = e - 2;
        if (e + 3 < w) {
            xs[2] = e + 3;
            xs[3] = std::min(w + 10, (double(pd.after) - o) / k - 2);
        }
    }
    const QRect row = chnSidebars[chn]->geometry();
    waveArrow->setPos(0, row.top() + 2 * px(1));
    waveArrow->setEdgeWidth(xs, int(w), row.height() - 4 * px(1));
    waveArrow->show();
}

void MainView::updateMeasureValue(double width, double period, double duty, double freq)
{
    emit logMeasureChanged(WaveMeasure::measureTexts(width, period, duty, freq));
}

// ---------------------------------------------------------------- edge buttons

void MainView::setLeftEdgeShow(bool pre, int chn, int x)
{
    if (chn < 0 || chn >= chnSidebars.size() || !samplesPresent())
        return;
    if (x == 0) {
        nextEdge->hide();
        return;
    }
    const QRect row = chnSidebars[chn]->geometry();
    nextEdge->setParameters(pre, chn, px(12), row.height() - px(5));
    nextEdge->setPos(x - nextEdge->boundingRect().width(), row.top() + px(4));
    nextEdge->show();
}

void MainView::moveEdgetoCenter()
{
    if (!waveDataGen || nextEdge->channel() < 0)
        return;
    if (nextEdge->previous())
        waveDataGen->movePreEdge(nextEdge->channel());
    else
        waveDataGen->moveNextEdge(nextEdge->channel());
}

// ---------------------------------------------------------------- vertical scrolling

void MainView::slotSidebarVerValueChanged(int value)
{
    waveView->setVScrollValue(value);
    const int ih = int(smpProgress->boundingRect().height());
    const int y = int(waveView->mapToScene(0, 0).y()) + (height() >= ih ? (height() - ih) / 2 : 0);
    smpProgress->setPos(smpProgress->x(), y);
}

void MainView::slotSidebarVerRangChanged(int min, int max)
{
    // The scroll area sets the range before the page step: the bar's page
    // step is still the old viewport's here, the viewport already the new one.
    waveView->setVScrollRang(min, max, sidebarArea->viewport()->height());
}
