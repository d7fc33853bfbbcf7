#include "waveview/nextedge.h"

#include "core/config.h"
#include "core/lang.h"

#include <QPainter>

NextEdge::NextEdge(QGraphicsItem* parent) : QGraphicsObject(parent)
{
    setFlags(GraphicsItemFlags());
    setVisible(false);
}

void NextEdge::setParameters(bool previous, int channel, int w, int h)
{
    prepareGeometryChange();
    isPrevious = previous;
    chn = channel;
    width = std::max(0, w);
    height = std::max(0, h);
    setToolTip(isPrevious ? Lang::tr(QStringLiteral("Move previous edge to center"))
                          : Lang::tr(QStringLiteral("Move next edge to center")));
    update();
}

QRectF NextEdge::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void NextEdge::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (width < 1 || height < 1)
        return;
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(255, 255, 255, 150));
    painter->drawRect(QRectF(0, 0, width - 1, height - 1));

    // A chevron of points: apex left of centre opening right for the
    // previous edge, right of centre opening left for the next one.
    const int step = Config::pixel(1);
    const int ax = isPrevious ? width / 2 - Config::pixel(2) : width / 2 + Config::pixel(2);
    const int ay = height / 2;
    const int dir = isPrevious ? 1 : -1;
    QPen pen(Config::grayColor.value(8));
    pen.setWidth(step);
    painter->setPen(pen);
    painter->drawPoint(QPoint(ax, ay));
    for (int k = 1; k <= 6; ++k) {
        painter->drawPoint(QPoint(ax + dir * k * step, ay - k * step));
        painter->drawPoint(QPoint(ax + dir * k * step, ay + k * step));
    }
}
