#include "widgets/colorlump.h"

#include <QPainter>

ColorLump::ColorLump(const QColor& color, int height, int marginX, int marginY, QWidget* parent)
    : QWidget(parent)
    , lumpColor(color)
    , mx(marginX)
    , my(marginY)
{
    setFixedHeight(height + 2 * marginY);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ColorLump::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect().adjusted(mx, my, -mx, -my), lumpColor);
}
