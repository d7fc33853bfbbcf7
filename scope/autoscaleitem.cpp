#include "scope/autoscaleitem.h"

#include "core/config.h"

#include <QPainter>
#include <QRadialGradient>

AutoScaleItem::AutoScaleItem() : width(Config::pixel(60)), height(Config::pixel(60))
{
    setCacheMode(QGraphicsItem::NoCache);
    setAcceptHoverEvents(false);
    setFlag(QGraphicsItem::ItemIsSelectable, false);
    hide();
}

void AutoScaleItem::setSize(int w, int h)
{
    prepareGeometryChange();
    width = w;
    height = h;
}

QRectF AutoScaleItem::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void AutoScaleItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const int r = width / 2;
    painter->translate(r, r);
    QRadialGradient g(0, 0, r);
    const QColor c(0, 180, 0, 50);
    g.setColorAt(0, c);
    g.setColorAt(0.5, c);
    g.setColorAt(1, c);
    painter->setBrush(g);
    painter->setPen(Qt::transparent);
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->drawEllipse(QRect(QPoint(-r, -r), QPoint(r - 1, r - 1)));
}
