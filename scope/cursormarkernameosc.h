#pragma once
// Name tag of an oscilloscope cursor ("x1", "Y2") at the grid's edge; shown
// with its cursor, in the same colour.

#include <QGraphicsItem>
#include <QString>

class CursorMarkerNameOsc : public QGraphicsItem
{
public:
    explicit CursorMarkerNameOsc(const QString& name, QGraphicsItem* parent = nullptr);

    void setStateType(int state);
    int state() const { return sta; }
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    QString name() const { return text; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int width;
    int height;
    QString text;
    int sta = 0;
};
