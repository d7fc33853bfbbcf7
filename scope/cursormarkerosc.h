#pragma once
// One measurement cursor of the oscilloscope view: kind 1 a vertical time
// cursor, kind 0 a horizontal voltage cursor. States: 0 hidden, 1 following
// the mouse, 2 hovered, 3 placed.

#include <QCursor>
#include <QGraphicsItem>
#include <QString>

class CursorMarkerOsc : public QGraphicsItem
{
public:
    CursorMarkerOsc(int id, int kind, QGraphicsItem* parent = nullptr);

    void setStateType(int state);
    // The cursor's length across the grid: the width of a voltage cursor,
    // the height of a time cursor.
    void setLen(int len);

    int cursorId() const { return id; }
    int kind() const { return cursorKind; }
    int state() const { return sta; }
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    QString name() const { return cursorName; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Pen colour of a state: bright green while moving or hovered, darker placed.
    static QColor stateColor(int state);

    // Position across the grid, 0..1; kept by the view.
    double fraction = 0.5;

private:
    int id;
    int cursorKind;
    int width;
    int height;
    int sta = 0;
    QString cursorName;
    QCursor placedShape;
    QCursor resizeShape;
};
