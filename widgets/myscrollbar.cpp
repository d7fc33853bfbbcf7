#include "widgets/myscrollbar.h"

#include "core/config.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// The handle's drawn minimum: three times 4 pixels.
int minHandle()
{
    return Config::pixel(12);
}

// max - min without signed overflow (the range can span all of 64 bits).
long double spanOf(qlonglong lo, qlonglong hi)
{
    return static_cast<long double>(hi) - static_cast<long double>(lo);
}

} // namespace

MyScrollbar::MyScrollbar(QWidget* parent)
    : QWidget(parent)
{
    setHidden(true);
}

void MyScrollbar::setRange(qlonglong newMin, qlonglong newMax)
{
    if (newMin != minV || newMax != maxV) {
        if (newMax > 0 && val > newMax) {
            minV = newMin;
            maxV = newMax;
            const qlonglong v = qMax(newMin, newMax);
            if (v != val) {
                val = v;
                update();
                emit valueChanged(val);
            }
        } else {
            // A bar that was idle stays silent about a negative range.
            if (!(newMax < 0 && maxV < 1))
                emit rangChanged(newMin, newMax);
            minV = newMin;
            maxV = newMax;
        }
    }
    if (newMax > newMin) {
        if (isHidden())
            show();
    } else if (!isHidden()) {
        hide();
    }
    update();
}

void MyScrollbar::setPageStep(qlonglong pageStep)
{
    page = pageStep;
    update();
}

void MyScrollbar::setValue(qlonglong v)
{
    if (maxV < 1)
        return;
    v = qBound(minV, v, qMax(minV, maxV));
    if (v != val) {
        val = v;
        update();
        emit valueChanged(val);
    }
}

void MyScrollbar::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && maxV >= 1) {
        pressPos = qRound(e->localPos().y());
        pressValue = val;
    }
}

void MyScrollbar::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton) || maxV < 1 || maxV <= minV)
        return;
    const int dy = qRound(e->localPos().y()) - pressPos;
    const long double denom = static_cast<long double>(height()) - handleLen;
    if (denom <= 0)
        return;
    // long double holds every 64-bit integer exactly, so nothing overflows
    // and the clamp below sees the true target.
    const long double delta = std::trunc(spanOf(minV, maxV) * dy / denom);
    const long double target = static_cast<long double>(pressValue) + delta;
    qlonglong v;
    if (target <= static_cast<long double>(minV))
        v = minV;
    else if (target >= static_cast<long double>(maxV))
        v = maxV;
    else
        v = static_cast<qlonglong>(target);
    if (v != val) {
        val = v;
        update();
        emit valueChanged(val);
    }
}

void MyScrollbar::paintEvent(QPaintEvent*)
{
    if (maxV < 1) {
        hide();
        return;
    }
    if (maxV <= minV)
        return;
    const int w = width();
    const int h = height();
    const long double range = spanOf(minV, maxV);
    const long double pg = qMax<qlonglong>(page, 0);
    handleLen = static_cast<qreal>(pg / (pg + range) * h);
    const qreal freeLen = h - handleLen;
    // Position from the minimum, clamped: a value left below a raised minimum
    // must not push the handle out of the bar.
    const long double pos = qBound<long double>(0, static_cast<long double>(val) - minV, range);
    qreal top = static_cast<qreal>(std::trunc(pos * freeLen / range));
    qreal drawn = handleLen;
    if (handleLen < minHandle()) {
        drawn = minHandle();
        top = freeLen > 0 ? std::trunc(std::trunc(top) * (h - minHandle()) / freeLen) : 0;
        top = qMax<qreal>(top, 0);
    }

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Transparent background: the view underneath stays visible.
    p.fillRect(rect(), QColor(0, 0, 0, 0));
    QPainterPath path;
    path.addRoundedRect(QRectF(0, top, w, drawn), w / 2, w / 2);
    p.fillPath(path, QColor(0, 0, 0, 200));
}
