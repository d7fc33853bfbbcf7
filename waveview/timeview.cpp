#include "waveview/timeview.h"

#include "core/config.h"
#include "waveview/cursorhandle.h"
#include "waveview/wavemeasure.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

} // namespace

TimeView::TimeView(QWidget* parent) : QWidget(parent)
{
    units = WaveMeasure::timeUnits;
    setFixedHeight(px(36) + 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
}

void TimeView::init()
{
    qDeleteAll(cursorHandles);
    cursorHandles.clear();
    startTime = 0;
    timePerPixel = 0;
    update();
}

void TimeView::setTimesValues(double start, double perPixel)
{
    startTime = start;
    timePerPixel = perPixel;
    update();
}

QVector<TimeView::Tick> TimeView::ticks(int w) const
{
    QVector<Tick> out;
    if (!(timePerPixel > 0) || !std::isfinite(timePerPixel) || !std::isfinite(startTime) || w <= 0)
        return out;
    const double span = timePerPixel * w;
    int k = 0;
    double m = span;
    while (m >= 10) {
        m /= 10;
        ++k;
    }
    if (w / (m * 10) >= 25 && k > 0)
        --k;
    const double step = std::pow(10.0, k);
    const int u = k <= 11 ? k / 3 : 4;
    const long long t = k <= 11 ? (long long)std::pow(10.0, k % 3) : (long long)std::pow(10.0, k - 12);
    const int digits = QString::number(t).size();
    const int labelW = (QFontMetrics(Config::fontNormal).horizontalAdvance(units[u]) + (digits + 1) * px(6)
                        + px(8)) / px(1);
    const long long stepPx = (long long)(step / timePerPixel);
    int every = 1;
    if (stepPx <= labelW)
        every = 2 * stepPx <= labelW ? 5 : 2;

    const double f = startTime / step;
    double i = std::ceil(f);
    long long x = (long long)((i - f) * step / timePerPixel);
    while (x < w) {
        const double ai = std::fabs(i);
        const long long mod = (long long)std::fmod(ai, 10.0);
        if (mod == 0) {
            double v = ai * step;
            int n = 0;
            while (v >= 1000 && n < 4) {
                v /= 1000;
                ++n;
            }
            QString text = v == 0 ? QStringLiteral("0") : QString::number(v, 'g', 12) + units[n];
            if (i < 0 && v != 0)
                text.prepend(QLatin1Char('-'));
            out.append(Tick{int(x), true, text});
        } else {
            const long long j = i >= 0 ? mod : 10 - mod;
            if (j % every == 0)
                out.append(Tick{int(x), false, QStringLiteral("+") + QString::number(j * t) + units[u]});
        }
        i += 1;
        x = (long long)((i - f) * step / timePerPixel);
    }
    return out;
}

void TimeView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int q = px(1), h = height();
    p.fillRect(0, 0, width(), h - 1, Config::grayColor.value(8));
    p.fillRect(0, h - 1, width(), 1, Config::grayColor.value(3));
    QPen pen(Config::grayColor.value(0));
    pen.setWidth(q);
    p.setPen(pen);
    p.setFont(Config::fontNormal);
    for (const Tick& t : ticks(width() / q)) {
        const int x = t.x * q;
        // A label would start left of the ruler at the first pixels (the "0"
        // of a view starting at the trigger): it starts at the edge instead;
        // the tick line stays where the wave view's pixel is.
        if (t.major) {
            p.drawText(QPoint(std::max(0, x - px(6) / 2), px(16)), t.text);
            p.drawLine(x + q / 2, px(21), x + q / 2, h - 2);
        } else {
            p.drawText(QPoint(std::max(0, x - px(8) / 2), px(28)), t.text);
            p.drawLine(x + q / 2, px(31), x + q / 2, h - 2);
        }
    }
}

void TimeView::slotMainViewMarkerChanged(int changedType, int index, int value)
{
    if (changedType == 7) {
        setCursorHandleStateType(index, value);
    } else if (changedType == 8) {
        if (index < 0 || index >= cursorHandles.size())
            return;
        CursorHandle* c = cursorHandles[index];
        c->setGeometry(px(1) / 2 + value - c->width() / 2, height() - c->height(), c->width(), c->height());
    } else if (changedType == 9) {
        if (index < 0 || index + 1 >= cursorHandles.size())
            return;
        CursorHandle* a = cursorHandles[index];
        CursorHandle* b = cursorHandles[index + 1];
        cursorHandles.remove(index, 2);
        a->hide();
        b->hide();
        a->deleteLater();
        b->deleteLater();
    }
}

void TimeView::setCursorHandleStateType(int id, int state)
{
    if (id < 0 || id > 9)
        return;
    int i = 0;
    while (i < cursorHandles.size() && cursorHandles[i]->id < id)
        ++i;
    if (i < cursorHandles.size() && cursorHandles[i]->id == id) {
        cursorHandles[i]->setStateType(state);
        return;
    }
    const int e = id & ~1;
    auto* h0 = new CursorHandle(e, this);
    auto* h1 = new CursorHandle(e + 1, this);
    for (CursorHandle* h : {h0, h1}) {
        connect(h, &CursorHandle::mouseEnter, this, &TimeView::slotMouseEnter);
        connect(h, &CursorHandle::mouseLeave, this, &TimeView::slotMouseLeave);
    }
    (id == e ? h0 : h1)->setStateType(state);
    cursorHandles.insert(i, h1);
    cursorHandles.insert(i, h0);
}

int TimeView::getCursorHandleIndex(int state) const
{
    for (int i = 0; i < cursorHandles.size(); ++i)
        if (cursorHandles[i]->state == state)
            return i;
    return -1;
}

void TimeView::mousePressEvent(QMouseEvent* e)
{
    moved = false;
    QWidget::mousePressEvent(e);
}

void TimeView::mouseMoveEvent(QMouseEvent* e)
{
    moved = true;
    const int i = getCursorHandleIndex(1);
    if (i >= 0)
        emit timeMarkerChanged(6, i, 1, qRound(e->localPos().x()));
    QWidget::mouseMoveEvent(e);
}

void TimeView::mouseReleaseEvent(QMouseEvent* e)
{
    if (!moved) {
        if (e->button() == Qt::LeftButton) {
            for (int i = 0; i < cursorHandles.size(); ++i) {
                const int s = cursorHandles[i]->state;
                if (s == 1 || s == 2) {
                    emit timeMarkerChanged(5, i, s == 1 ? 3 : 1, 0);
                    break;
                }
            }
        } else if (e->button() == Qt::RightButton) {
            const int i = getCursorHandleIndex(1);
            if (i >= 0)
                emit timeMarkerChanged(5, i, 0, 0);
        }
    }
    QWidget::mouseReleaseEvent(e);
}

void TimeView::slotMouseEnter(int phyId)
{
    if (getCursorHandleIndex(1) >= 0)
        return;
    for (CursorHandle* h : cursorHandles)
        if (h->id == phyId)
            h->setStateType(2);
}

void TimeView::slotMouseLeave(int phyId)
{
    const int i = getCursorHandleIndex(2);
    if (i >= 0 && cursorHandles[i]->id == phyId)
        cursorHandles[i]->setStateType(3);
}
