#include "scope/gridlabelitem.h"

#include "app/core/config.h"
#include "scope/osccolors.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <cmath>

GridLabelItem::GridLabelItem() : width(Config::pixel(60)), height(Config::pixel(15))
{
    setCacheMode(QGraphicsItem::NoCache);
    setAcceptHoverEvents(false);
    setFlag(QGraphicsItem::ItemIsSelectable, false);
    hide();
}

void GridLabelItem::setText(int idx, const QString& text)
{
    if (idx == -1)
        color = OscColors::trigger();
    else if (idx >= OscColors::chnNum())
        color = QColor(Qt::white);
    else
        color = OscColors::channel(idx);
    txt = text;
}

QRectF GridLabelItem::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void GridLabelItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const int pw = Config::pixel(1);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(color, pw, Qt::SolidLine));
    painter->setBrush(Config::grayColor.value(8));
    painter->drawRect(QRect(QPoint(0, 0), QPoint(width - 1, height - 1)));
    const int tw = painter->fontMetrics().horizontalAdvance(txt);
    painter->drawText(int(std::trunc((width - tw) * 0.5)), height - 2 * pw, txt);
}
