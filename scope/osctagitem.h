#pragma once
// What the draggable markers beside and over the graticule share: an 11 x 11
// pixel box, a polygon in the tag's colour, selectable, and a resize cursor
// under the mouse while the tag takes drags.

#include <QColor>
#include <QGraphicsObject>
#include <QPoint>

class OscTagItem : public QGraphicsObject
{
public:
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    QColor tagColor() const { return color; }

    QRectF boundingRect() const override;

    // Set and cleared by the view while the user drags the tag.
    bool dragging = false;

protected:
    // hover: the cursor under the mouse; none while takesDrags is false.
    OscTagItem(const QColor& color, Qt::CursorShape hover, bool takesDrags);

    // The outline in the tag's colour around fill, without antialiasing.
    void drawShape(QPainter* painter, const QPoint* points, int n, const QColor& fill) const;

    void hoverEnterEvent(QGraphicsSceneHoverEvent* e) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* e) override;

    const int width;
    const int height;
    const QColor color;

private:
    const Qt::CursorShape hoverShape;
    const bool takesDrags;
};
