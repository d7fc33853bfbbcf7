#pragma once
// The translucent green disc shown over the graticule while auto-scale runs.

#include <QGraphicsItem>

class AutoScaleItem : public QGraphicsItem
{
public:
    AutoScaleItem();

    void setSize(int width, int height);
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int width;
    int height;
};
