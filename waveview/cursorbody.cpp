#include "waveview/cursorbody.h"

#include "core/config.h"

#include <QPainter>

CursorBody::CursorBody(int id, int height)
    : id(id), name(markerName(id)), width(Config::pixel(1)), height(height)
{
    setFlags(GraphicsItemFlags());
    setVisible(false);
}

QString CursorBody::markerName(int id)
{
    return QString(QChar('A' + id / 2)) + QString::number(id % 2 + 1);
}

QColor CursorBody::stateColor(int state)
{
    return state == 3 ? QColor(31, 191, 31) : QColor(0, 255, 0);
}

void CursorBody::setStateType(int s)
{
    state = s;
    setVisible(s != 0);
    update();
}

void CursorBody::setLen(int h)
{
    prepareGeometryChange();
    height = h;
}

QRectF CursorBody::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void CursorBody::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*)
{
    p->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(stateColor(state));
    pen.setWidth(Config::pixel(1));
    p->setPen(pen);
    p->drawLine(QPointF(width / 2, 0), QPointF(width / 2, height));
}
