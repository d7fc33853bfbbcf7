#include "scope/triggertagosc.h"

#include "app/core/config.h"
#include "scope/osccolors.h"

#include <QPainter>
#include <QPen>

TriggerTagOsc::TriggerTagOsc(int kind, int chn, bool fill)
    : width(Config::pixel(11))
    , height(Config::pixel(11))
    , arm(Config::pixel(5))
    , color(kind == 0 ? OscColors::channel(chn) : OscColors::trigger())
    , hoverCursor(kind == 0 ? Qt::SizeVerCursor : Qt::SizeHorCursor)
    , tagKind(kind)
    , chnIndex(chn < 0 ? 0 : chn)
    , filled(fill)
{
    const int hp = Config::pixel(1) / 2;
    const int a = arm;
    if (kind == 0) {
        triangle[0] = QPoint(hp + 2 * a, hp);
        triangle[1] = QPoint(hp, hp + a);
        triangle[2] = QPoint(hp + 2 * a, hp + 2 * a);
    } else {
        triangle[0] = QPoint(hp, hp);
        triangle[1] = QPoint(hp + 2 * a, hp);
        triangle[2] = QPoint(hp + a, hp + 2 * a);
    }
    setCacheMode(QGraphicsItem::NoCache);
    setAcceptHoverEvents(true);
    setFlag(QGraphicsItem::ItemIsSelectable, true);
}

QRectF TriggerTagOsc::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void TriggerTagOsc::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setPen(QPen(color, 0, Qt::SolidLine));
    painter->setBrush(filled ? color : QColor(QRgb(0)));
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->drawPolygon(triangle, 3, Qt::OddEvenFill);
}

void TriggerTagOsc::hoverEnterEvent(QGraphicsSceneHoverEvent*)
{
    if (filled)
        setCursor(hoverCursor);
}

void TriggerTagOsc::hoverLeaveEvent(QGraphicsSceneHoverEvent*)
{
    if (filled)
        setCursor(Qt::ArrowCursor);
}
