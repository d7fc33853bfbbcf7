#include "scope/gridvoltinforitem.h"

#include "app/core/config.h"
#include "scope/osccolors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

GridVoltInforItem::GridVoltInforItem()
    : width(Config::pixel(0)), height(Config::pixel(18)), boxWidth(Config::pixel(60))
{
    setCacheMode(QGraphicsItem::NoCache);
    setAcceptHoverEvents(false);
    setFlag(QGraphicsItem::ItemIsSelectable, false);
    hide();
}

void GridVoltInforItem::setText(int idx, const QString& text)
{
    color = OscColors::channel(idx);
    txt = text;
}

void GridVoltInforItem::setWidth(int w)
{
    prepareGeometryChange();
    width = w;
}

QRectF GridVoltInforItem::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void GridVoltInforItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const int pw = Config::pixel(1);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(Qt::white, pw, Qt::SolidLine));
    painter->setBrush(Config::grayColor.value(8));
    painter->drawRect(QRect(QPoint(width - boxWidth - 2 * pw, 0), QPoint(width - 2 * pw - 1, height - 3 * pw - 1)));
    const int tw = painter->fontMetrics().horizontalAdvance(txt);
    painter->drawText(width - boxWidth - pw + (boxWidth - tw) / 2, height - 4 * pw, txt);
    painter->setPen(QPen(color, pw, Qt::DashLine));
    painter->drawLine(0, height, width, height);
}
