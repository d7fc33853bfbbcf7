#include "waveview/itemwavearrow.h"

#include "core/config.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// View pixels far outside the row are pulled in before narrowing to int; a
// line drawn to them still leaves the view at the same place.
constexpr double xLimit = 1 << 20;

int itemX(double x)
{
    const int w = Config::pixel(1);
    if (!std::isfinite(x))
        x = 0;
    x = std::clamp(std::trunc(x), -xLimit, xLimit);
    return int(x) * w + w / 2;
}

} // namespace

ItemWaveArrow::ItemWaveArrow()
{
    setFlags(GraphicsItemFlags());
}

void ItemWaveArrow::setEdgeWidth(const double* v, int a, int h)
{
    prepareGeometryChange();
    for (int i = 0; i < 4; ++i)
        xs[i] = std::isfinite(v[i]) ? v[i] : 0;
    kept = a;
    height = std::max(0, h);
    update();
}

QRectF ItemWaveArrow::boundingRect() const
{
    const int w = Config::pixel(1);
    const int left = std::min(itemX(xs[0]), itemX(xs[2])) - 4 * w;
    const int right = std::max(itemX(xs[1]), itemX(xs[3])) + 4 * w;
    return QRectF(left, 0, std::max(0, right - left), height);
}

void ItemWaveArrow::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const double span1 = xs[1] - xs[0];
    const double span2 = xs[3] - xs[2];
    if (span1 < 4 && span2 < 4)
        return;
    const int w = Config::pixel(1);
    const int hw = w / 2;
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(Config::grayColor.value(2));
    pen.setWidth(w);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::BevelJoin);
    painter->setPen(pen);
    const int y = (Config::pixel(4) + height) / 2 + hw;

    // Pulse-width arrow, heads at both ends.
    const int a0 = itemX(xs[0]);
    const int a1 = itemX(xs[1]);
    const double q = std::trunc((span1 - 1) / 2 - 1);
    if (q < 2) {
        painter->drawLine(a0, y, a1, y);
    } else {
        painter->drawLine(a0 + 2 * w, y, a1 - 2 * w, y);
        painter->drawPoint(a0, y);
        painter->drawPoint(a1, y);
    }
    int m = 0;
    if (q >= 1) {
        m = int(std::min(q, 3.0));
        for (int k = 1; k <= m; ++k) {
            painter->drawPoint(a0 + k * w, y - k * w);
            painter->drawPoint(a0 + k * w, y + k * w);
            painter->drawPoint(a1 - k * w, y - k * w);
            painter->drawPoint(a1 - k * w, y + k * w);
        }
    }

    // Period arrow, head at the right end only.
    if (xs[3] > 0) {
        const double q2 = std::trunc(span2 - 1);
        const int b0 = itemX(xs[2]);
        const int b1 = itemX(xs[3]);
        const int steps = m > 0 ? m : int(std::clamp(q2, 0.0, 3.0));
        const bool head = m > 0 ? q2 >= m : q2 >= 2;
        if (head) {
            painter->drawLine(b0, y, b1 - 2 * w, y);
            painter->drawPoint(b1, y);
            for (int k = 1; k <= steps; ++k) {
                painter->drawPoint(b1 - k * w, y - k * w);
                painter->drawPoint(b1 - k * w, y + k * w);
            }
        } else if (q2 >= 1) {
            painter->drawLine(b0, y, b1, y);
        }
    }
}
