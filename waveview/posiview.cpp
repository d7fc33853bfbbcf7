#include "waveview/posiview.h"

#include "core/config.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

int truncInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::clamp(v, -1.0e9, 1.0e9));
}

} // namespace

PosiView::PosiView(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(px(20));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PosiView::slotSetPosition(int c, qlonglong trg, qlonglong total, double begin, double length)
{
    chn = c;
    if (c < 0) {
        trgPoint = 0;
        smpTotal = 0;
        begSmp = 0;
        viewSmpLen = 0;
    } else {
        trgPoint = trg;
        smpTotal = std::max(0LL, total);
        begSmp = std::isfinite(begin) ? begin : 0;
        viewSmpLen = std::isfinite(length) && length > 0 ? length : 0;
    }
    updateSpan();
    update();
}

void PosiView::updateSpan()
{
    leftExtra = begSmp < 0 ? -begSmp : 0;
    spanSmp = std::max(begSmp + viewSmpLen, double(smpTotal)) + leftExtra;
}

double PosiView::scale() const
{
    return spanSmp > 0 ? (width() - 2 * px(1)) / spanSmp : 0;
}

void PosiView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width(), h = height(), q = px(1), half = q / 2;
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen frame(QColor("#7f7f7f"));
    frame.setWidth(q);
    p.setPen(frame);
    p.setBrush(QColor("#2f2f2f"));
    p.drawRect(QRect(half, half, w - q, h - q));
    if (smpTotal == 0 || !(spanSmp > 0))
        return;
    const double sc = scale();
    const int m = px(6);

    int dx = truncInt(sc * leftExtra + q);
    int dw = truncInt(double(smpTotal) * sc);
    if (dw < m) {
        dx -= (m - dw) / 2;
        dw = m;
    }
    p.fillRect(QRect(dx, px(3), dw, h - 2 * px(3)), QColor(0, 100, 80));

    windowLeft = truncInt((begSmp + leftExtra) * sc + q);
    windowRight = truncInt((begSmp + viewSmpLen + leftExtra) * sc + q);
    int ww = truncInt(viewSmpLen * sc);
    if (ww < m) {
        windowLeft -= (m - ww) / 2;
        ww = m;
        windowRight = windowLeft + m - q;
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen black(Qt::black);
    black.setWidth(q);
    p.setPen(black);
    p.setBrush(QColor(255, 255, 255, 35));
    const int top = half + q;
    p.drawRect(QRectF(windowLeft - half, top, ww - q, (h - 1 - top) - top));

    p.setRenderHint(QPainter::Antialiasing, false);
    QPen green(QColor(0, 220, 0));
    green.setWidth(q);
    p.setPen(green);
    const int tx = truncInt(sc * (double(trgPoint) + leftExtra)) + q - half;
    p.drawLine(tx, half + q, tx, h - q - half);
}

void PosiView::mousePressEvent(QMouseEvent* e)
{
    dragging = false;
    if (smpTotal < 1 || e->button() != Qt::LeftButton)
        return;
    const int q = px(1);
    if (windowLeft <= q && windowRight >= width() - q)
        return;
    const int x = qRound(e->localPos().x());
    lastX = x;
    if (windowLeft < x && x <= windowRight) {
        dragging = true;
        return;
    }
    const double centre = x * spanSmp / (width() - 2 * q) - leftExtra;
    double begin = centre - viewSmpLen / 2;
    if (begin < 0)
        begin = 0;
    if (centre + viewSmpLen / 2 > double(smpTotal))
        begin = double(smpTotal) - viewSmpLen;
    emit sigPosiChanged(chn, begin);
}

void PosiView::mouseMoveEvent(QMouseEvent* e)
{
    if (!dragging || !(e->buttons() & Qt::LeftButton))
        return;
    const int x = qRound(e->localPos().x());
    const double begin = begSmp + (x - lastX) * spanSmp / (width() - 2 * px(1));
    lastX = x;
    emit sigPosiChanged(chn, begin);
}

void PosiView::mouseReleaseEvent(QMouseEvent*)
{
    dragging = false;
}
