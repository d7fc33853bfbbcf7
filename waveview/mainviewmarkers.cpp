// Timing markers of the waveform area: pairs created on demand, states,
// placing with edge snapping, the time texts for the pair panel and the
// pulse counts for the counter panel.

#include "waveview/mainview.h"

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "waveview/cursorbody.h"
#include "waveview/wavedatagen.h"
#include "waveview/wavemeasure.h"
#include "waveview/waveview.h"

#include <QCursor>
#include <QFrame>
#include <QGraphicsScene>
#include <QShortcut>

#include <algorithm>
#include <cmath>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

// Marker x far outside any view: narrowed into an int without overflow and
// still off every screen.
constexpr int markerFar = 1 << 22;

constexpr int markerIds = 10;

QString noCounts()
{
    return QStringLiteral(",###,###,###,###");
}

} // namespace

int MainView::markerX(double smp) const
{
    const WaveFramePtr f = waveDataGen ? waveDataGen->frame() : WaveFramePtr();
    if (!f)
        return 0;
    const long long x = wavePixelTrunc((smp - f->smpOffset) / f->smpPerPixel) * px(1);
    return wavePixelClamp(x, -markerFar, markerFar);
}

int MainView::findCursorBody(int id) const
{
    for (int i = 0; i < cursorBodies.size(); ++i)
        if (cursorBodies[i]->id == id)
            return i;
    return -1;
}

int MainView::getCursorBodySub(int id)
{
    if (id < 0 || id >= markerIds)
        return -1;
    int i = 0;
    while (i < cursorBodies.size() && cursorBodies[i]->id < id)
        ++i;
    if (i < cursorBodies.size() && cursorBodies[i]->id == id)
        return i;
    const int e = id & ~1;
    auto* b0 = new CursorBody(e, sidebarFrame->height());
    auto* b1 = new CursorBody(e + 1, sidebarFrame->height());
    for (CursorBody* b : {b0, b1}) {
        b->setZValue(1);
        scene->addItem(b);
    }
    cursorBodies.insert(i, b1);
    cursorBodies.insert(i, b0);
    emit timMarkPairChanged(0, e, QString(), QString());
    emit timeMarkBodyChanged(7, e, 0);
    emit timeMarkBodyChanged(7, e + 1, 0);
    return i + (id - e);
}

int MainView::getCursorBodyIndex(int state) const
{
    for (int i = 0; i < cursorBodies.size(); ++i)
        if (cursorBodies[i]->state == state)
            return i;
    return -1;
}

void MainView::setLogTimeMarkerStateType(int index, int state)
{
    if (index < 0 || index >= cursorBodies.size() || cursorBodies[index]->state == state)
        return;
    CursorBody* c = cursorBodies[index];
    const int old = c->state;
    c->setStateType(state);
    emit timeMarkBodyChanged(7, c->id, state);
    if (old == 0 || state == 0) {
        setLogTimeMarkerValue(index, state);
        setLogTimeMarkerPulseMeasures(c->id);
    }
}

void MainView::setLogTimeMarkerSmpPoint(int index, int state, int x)
{
    if (index < 0 || index >= cursorBodies.size() || !waveDataGen)
        return;
    CursorBody* c = cursorBodies[index];
    c->setStateType(state);
    emit timeMarkBodyChanged(7, c->id, state);
    const WaveFramePtr f = waveDataGen->frame();
    c->smpPoint = wavePixelTrunc(double(x / px(1)) * f->smpPerPixel + f->smpOffset + 0.5);
    setTimeMarkerPosition(index, double(c->smpPoint));
    setLogTimeMarkerValue(index, state);
    setLogTimeMarkerPulseMeasures(c->id);
}

void MainView::setTimeMarkerPosition(int index, double smp)
{
    if (index < 0 || index >= cursorBodies.size())
        return;
    CursorBody* c = cursorBodies[index];
    const int x = markerX(smp);
    c->setPos(px(1) / 2 + x - c->width / 2, 0);
    emit timeMarkBodyChanged(8, index, x);
}

void MainView::getCursorBodyCoordinateX(int x, int chn, qint64* smp, int* xOut) const
{
    if (!waveDataGen)
        return;
    const WaveFramePtr f = waveDataGen->frame();
    long long s = wavePixelTrunc(double(x) / px(1) * f->smpPerPixel + f->smpOffset + 0.5);
    if (chn >= 0 && devUsing) {
        auto store = devUsing->displayedSmpData();
        if (store && chn < store->chnNum)
            s = WaveMeasure::snapToEdge(&*store, chn, s, f->smpPerPixel, 10);
    }
    *smp = s;
    *xOut = markerX(double(s));
}

void MainView::setLogTimeMarkerValue(int index, int state)
{
    if (index < 0 || index >= cursorBodies.size())
        return;
    CursorBody* c = cursorBodies[index];
    QString value = QStringLiteral("###"), total = QStringLiteral("###");
    auto s = state != 0 && devUsing ? devUsing->displayedSmpData() : nullptr;
    if (s) {
        long long ps = 0;
        if (WaveMeasure::samplesToPs(double(c->smpPoint - s->trgPosition), s->smpFrequ, &ps))
            value = timeDataToString(ps);
        const int j = index % 2 == 0 ? index + 1 : index - 1;
        if (j >= 0 && j < cursorBodies.size() && cursorBodies[j]->state != 0) {
            const double d = std::fabs(double(c->smpPoint) - double(cursorBodies[j]->smpPoint));
            if (WaveMeasure::samplesToPs(d, s->smpFrequ, &ps))
                total = timeDataToString(ps);
        }
    }
    emit timMarkPairChanged(4, c->id, value, total);
}

void MainView::setLogTimeMarkerPulseMeasures(int id)
{
    if (id < 0 || id >= markerIds)
        return;
    const int pair = id / 2;
    PulseCounterSource* src = pulseCounterSource();
    QStringList list = src ? src->getChnSet(pair) : QStringList();
    if (list.isEmpty())
        return;
    const int i = findCursorBody(2 * pair);
    const bool shown = i >= 0 && i + 1 < cursorBodies.size() && cursorBodies[i]->isVisible()
        && cursorBodies[i + 1]->isVisible();
    auto s = shown && devUsing ? devUsing->displayedSmpData() : nullptr;
    if (!s) {
        for (QString& e : list)
            e += noCounts();
    } else {
        const long long a = std::min(cursorBodies[i]->smpPoint, cursorBodies[i + 1]->smpPoint);
        const long long b = std::max(cursorBodies[i]->smpPoint, cursorBodies[i + 1]->smpPoint);
        const int n = logicChannelCount();
        for (int k = list.size() - 1; k >= 0; --k) {
            bool ok = false;
            const int chn = list[k].toInt(&ok);
            if (!ok || chn < 0 || chn >= n) {
                list[k] += noCounts();
                continue;
            }
            if (!devUsing->dChnEna[chn]) {
                list.removeAt(k);
                continue;
            }
            list[k] += WaveMeasure::pulseCountText(&*s, chn, a, b);
        }
    }
    emit pulseMeasureChangedbyTimeMarker(pair, list);
}

void MainView::slotPulseMeasureInfoChanged()
{
    auto s = devUsing ? devUsing->displayedSmpData() : nullptr;
    if (!s || s->smpCount <= 0) {
        emit pulseMeasureChangedbySmpDone(QStringList());
        return;
    }
    PulseCounterSource* src = pulseCounterSource();
    QStringList list = src ? src->getChnAndTimeSet() : QStringList();
    const int n = logicChannelCount();
    for (int k = list.size() - 1; k >= 0; --k) {
        const QStringList f = list[k].split(QLatin1Char(','));
        bool okChn = false, okTime = false;
        const int chn = f.value(0).toInt(&okChn);
        const int t = f.value(1).toInt(&okTime);
        if (!okTime || t < 0 || t > markerIds / 2) {
            list.removeAt(k);
            continue;
        }
        long long a = 0, b = s->smpCount;
        if (t > 0) {
            const int i = findCursorBody(2 * (t - 1));
            if (i < 0 || i + 1 >= cursorBodies.size() || !cursorBodies[i]->isVisible()
                || !cursorBodies[i + 1]->isVisible()) {
                list.removeAt(k);
                continue;
            }
            a = std::min(cursorBodies[i]->smpPoint, cursorBodies[i + 1]->smpPoint);
            b = std::max(cursorBodies[i]->smpPoint, cursorBodies[i + 1]->smpPoint);
        }
        if (!okChn || chn < 0 || chn >= n)
            list[k] += noCounts();
        else
            list[k] += WaveMeasure::pulseCountText(&*s, chn, a, b);
    }
    emit pulseMeasureChangedbySmpDone(list);
}

void MainView::removeCursorPair(int index)
{
    // One code 9 per pair: the ruler removes both heads of it.
    emit timeMarkBodyChanged(9, index, -1);
    for (int k = 0; k < 2; ++k) {
        CursorBody* c = cursorBodies[index];
        scene->removeItem(c);
        delete c;
        cursorBodies.remove(index);
    }
}

void MainView::slotTimingMarkerPairClicked(int type, int phyId)
{
    if (phyId < 0 || phyId >= markerIds || type < 0 || type > 3)
        return;
    const int e = phyId & ~1;
    const int w = waveView->width();
    switch (type) {
    case 0:
        for (int id = e; id <= e + 1; ++id)
            setLogTimeMarkerSmpPoint(getCursorBodySub(id), 0, w * 4 / 5);
        break;
    case 1: {
        const int i = findCursorBody(e);
        if (i >= 0 && i + 1 < cursorBodies.size())
            removeCursorPair(i);
        setLogTimeMarkerPulseMeasures(e);
        break;
    }
    case 2: {
        const int follow = getCursorBodyIndex(1);
        if (follow >= 0) {
            setLogTimeMarkerStateType(follow, 0);
            if (cursorBodies[follow]->id == phyId)
                return;
        }
        const int i = getCursorBodySub(phyId);
        if (i < 0)
            return;
        if (cursorBodies[i]->state == 0)
            setLogTimeMarkerSmpPoint(i, 1, w - px(20));
        else
            setLogTimeMarkerStateType(i, 1);
        break;
    }
    case 3: {
        const int i = findCursorBody(e);
        if (i < 0 || i + 1 >= cursorBodies.size())
            return;
        const qint64 a = cursorBodies[i]->smpPoint, b = cursorBodies[i + 1]->smpPoint;
        WaveDataGen::moveDecode(double(std::min(a, b)), double(std::max(a, b)));
        break;
    }
    }
}

void MainView::slotTimeViewMarkerChanged(int changedType, int index, int state, int midX)
{
    if (changedType == 5)
        setLogTimeMarkerStateType(index, state);
    else if (changedType == 6)
        setLogTimeMarkerSmpPoint(index, state, midX);
}

void MainView::slotShortCutTimeMarker()
{
    auto* sc = qobject_cast<QShortcut*>(sender());
    if (!sc || sc->key().isEmpty())
        return;
    const int d = sc->key()[0] - Qt::Key_0;
    if (d < 0 || d > 9)
        return;
    const int i = getCursorBodySub((d + 9) % 10);
    if (i < 0 || !samplesPresent())
        return;
    const int follow = getCursorBodyIndex(1);
    if (follow >= 0) {
        setLogTimeMarkerStateType(follow, 0);
        if (follow == i)
            return;
    }
    const int st = cursorBodies[i]->state;
    if (st == 3 || st == 0) {
        int x = mapFromGlobal(QCursor::pos()).x() - waveView->x();
        if (x < 0 || x > waveView->width())
            x = waveView->width() / 2;
        setLogTimeMarkerSmpPoint(i, 1, x);
    }
}

QString MainView::timeDataToString(qint64 ps) const
{
    return WaveMeasure::timeText(double(ps));
}

void MainView::getTimeMarkersShow(bool* show, int n)
{
    for (int p = 0; p < std::min(n, markerIds / 2); ++p) {
        show[p] = false;
        if (!me)
            continue;
        const int i = me->findCursorBody(2 * p);
        show[p] = i >= 0 && i + 1 < me->cursorBodies.size() && me->cursorBodies[i]->isVisible()
            && me->cursorBodies[i + 1]->isVisible();
    }
}

void MainView::timeMarkersList(QStringList* names, QVector<qint64>* points)
{
    bool show[markerIds / 2];
    getTimeMarkersShow(show, markerIds / 2);
    for (int p = 0; p < markerIds / 2; ++p) {
        if (!show[p])
            continue;
        const int i = me->findCursorBody(2 * p);
        names->append(CursorBody::markerName(2 * p) + QStringLiteral(" - ") + CursorBody::markerName(2 * p + 1));
        points->append(me->cursorBodies[i]->smpPoint);
        points->append(me->cursorBodies[i + 1]->smpPoint);
    }
}
