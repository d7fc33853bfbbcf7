#pragma once
// What the value boxes over the graticule share: a passive item, hidden until
// the view shows it, holding a colour and a text and drawing the text centred
// in a framed grey box.

#include <QColor>
#include <QGraphicsItem>
#include <QString>

class OscValueBox : public QGraphicsItem
{
public:
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    QString text() const { return txt; }

    QRectF boundingRect() const override;

protected:
    OscValueBox(int width, int height);

    // The box on grey 8 framed in frame; the text centred over the textWidth
    // pixels from textLeft, on baseline.
    void drawBox(QPainter* painter, const QRect& box, const QColor& frame, int textLeft, int textWidth,
                 int baseline) const;

    int width;
    int height;
    QColor color;
    QString txt;
};
