#pragma once
// The trigger-level line across the graticule with the level's value in a
// box at its right end; the view puts its bottom edge on the level.

#include <QColor>
#include <QGraphicsItem>
#include <QString>

class GridVoltInforItem : public QGraphicsItem
{
public:
    GridVoltInforItem();

    // Line colour of channel idx (modulo the channel count) and the text;
    // the caller moves and shows the item next.
    void setText(int idx, const QString& text);
    void setWidth(int w);
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    QString text() const { return txt; }
    QColor lineColor() const { return color; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int width;
    int height;
    QColor color;
    QString txt;
    int boxWidth;
};
