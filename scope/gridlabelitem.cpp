#include "scope/gridlabelitem.h"

#include "core/config.h"
#include "scope/osccolors.h"

GridLabelItem::GridLabelItem() : OscValueBox(Config::pixel(60), Config::pixel(15)) {}

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

void GridLabelItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    drawBox(painter, QRect(QPoint(0, 0), QPoint(width - 1, height - 1)), color, 0, width,
            height - 2 * Config::pixel(1));
}
