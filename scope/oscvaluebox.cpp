#include "scope/oscvaluebox.h"

#include "core/config.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

OscValueBox::OscValueBox(int w, int h) : width(w), height(h)
{
    setCacheMode(QGraphicsItem::NoCache);
    setAcceptHoverEvents(false);
    setFlag(QGraphicsItem::ItemIsSelectable, false);
    hide();
}

QRectF OscValueBox::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void OscValueBox::drawBox(QPainter* painter, const QRect& box, const QColor& frame, int textLeft, int textWidth,
                          int baseline) const
{
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(frame, Config::pixel(1), Qt::SolidLine));
    painter->setBrush(Config::grayColor.value(8));
    painter->drawRect(box);
    const int tw = painter->fontMetrics().horizontalAdvance(txt);
    painter->drawText(textLeft + (textWidth - tw) / 2, baseline, txt);
}
