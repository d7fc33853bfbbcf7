#include "scope/cursormarkerosc.h"

#include "core/config.h"

#include <QPainter>
#include <QPen>

CursorMarkerOsc::CursorMarkerOsc(int i, int kind, QGraphicsItem* parent)
    : QGraphicsItem(parent)
    , id(i)
    , cursorKind(kind)
    , width(kind == 1 ? Config::pixel(3) : 0)
    , height(kind == 1 ? 0 : Config::pixel(3))
    , cursorName((kind == 1 ? QStringLiteral("X") : QStringLiteral("Y")) + QString::number(i))
    , placedShape(kind == 1 ? Qt::CrossCursor : Qt::ArrowCursor)
    , resizeShape(kind == 1 ? Qt::SizeHorCursor : Qt::SizeVerCursor)
{
    setAcceptHoverEvents(true);
    hide();
}

QColor CursorMarkerOsc::stateColor(int state)
{
    return state == 3 ? QColor(31, 191, 31) : QColor(0, 255, 0);
}

void CursorMarkerOsc::setStateType(int state)
{
    if (state == sta)
        return;
    sta = state;
    if (state == 2)
        setCursor(resizeShape);
    else if (state == 3)
        setCursor(placedShape);
    setVisible(state != 0);
    update();
}

void CursorMarkerOsc::setLen(int len)
{
    prepareGeometryChange();
    if (cursorKind == 0)
        width = len;
    else
        height = len;
}

QRectF CursorMarkerOsc::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void CursorMarkerOsc::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const int p = Config::pixel(1);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(stateColor(sta), p, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    if (cursorKind == 1) {
        const int x = p / 2 + width / 2;
        painter->drawLine(x, 0, x, height - p);
    } else {
        const int y = p / 2 + height / 2;
        painter->drawLine(0, y, width - p, y);
    }
}
