#include "scope/gridvoltinforitem.h"

#include "core/config.h"
#include "scope/osccolors.h"

#include <QPainter>
#include <QPen>

GridVoltInforItem::GridVoltInforItem() : OscValueBox(Config::pixel(0), Config::pixel(18)), boxWidth(Config::pixel(60))
{
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

void GridVoltInforItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const int pw = Config::pixel(1);
    drawBox(painter, QRect(QPoint(width - boxWidth - 2 * pw, 0), QPoint(width - 2 * pw - 1, height - 3 * pw - 1)),
            Qt::white, width - boxWidth - pw, boxWidth, height - 4 * pw);
    painter->setPen(QPen(color, pw, Qt::DashLine));
    painter->drawLine(0, height, width, height);
}
