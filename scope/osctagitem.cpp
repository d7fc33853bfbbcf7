#include "scope/osctagitem.h"

#include "core/config.h"

#include <QCursor>
#include <QPainter>
#include <QPen>

OscTagItem::OscTagItem(const QColor& c, Qt::CursorShape hover, bool drags)
    : width(Config::pixel(11)), height(Config::pixel(11)), color(c), hoverShape(hover), takesDrags(drags)
{
    setCacheMode(QGraphicsItem::NoCache);
    setAcceptHoverEvents(true);
    setFlag(QGraphicsItem::ItemIsSelectable, true);
}

QRectF OscTagItem::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void OscTagItem::drawShape(QPainter* painter, const QPoint* points, int n, const QColor& fill) const
{
    painter->setPen(QPen(color, 0, Qt::SolidLine));
    painter->setBrush(fill);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->drawPolygon(points, n, Qt::OddEvenFill);
}

void OscTagItem::hoverEnterEvent(QGraphicsSceneHoverEvent*)
{
    if (takesDrags)
        setCursor(hoverShape);
}

void OscTagItem::hoverLeaveEvent(QGraphicsSceneHoverEvent*)
{
    if (takesDrags)
        setCursor(Qt::ArrowCursor);
}
