#pragma once
// A small value label beside a marker being moved: a channel's or the math
// trace's offset, or the trigger time.

#include <QColor>
#include <QGraphicsItem>
#include <QString>

class GridLabelItem : public QGraphicsItem
{
public:
    GridLabelItem();

    // idx -1: the trigger time (green); idx at or above the channel count:
    // the math trace (white); else channel idx's colour.
    void setText(int idx, const QString& text);
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    QString text() const { return txt; }
    QColor textColor() const { return color; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int width;
    int height;
    QColor color;
    QString txt;
};
