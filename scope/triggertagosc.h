#pragma once
// Trigger markers over and beside the graticule: kind 0 the trigger level of
// channel chn (a triangle pointing left in the channel's colour), any other
// kind the trigger position (pointing down, green); filled, or an outline on
// black.

#include <QColor>
#include <QCursor>
#include <QGraphicsObject>
#include <QPoint>

class TriggerTagOsc : public QGraphicsObject
{
    Q_OBJECT

public:
    TriggerTagOsc(int kind, int chn, bool filled);

    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    int kind() const { return tagKind; }
    int channel() const { return chnIndex; }
    bool isFilled() const { return filled; }
    QColor tagColor() const { return color; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Where the marker stands as a fraction of the view (vertical for a
    // level, horizontal for a position); kept by the view, unclamped.
    double fraction = 0;
    // Set and cleared by the view while the user drags the tag.
    bool dragging = false;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* e) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* e) override;

private:
    int width;
    int height;
    int arm;
    QColor color;
    QCursor hoverCursor;
    QPoint triangle[3];
    int tagKind;
    int chnIndex;
    bool filled;
};
