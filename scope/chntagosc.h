#pragma once
// Zero-line marker of an analog channel beside the graticule: a flag
// pointing right with the channel number. With chn equal to the channel
// count it is the math trace's marker, white and without a number.

#include <QColor>
#include <QGraphicsObject>
#include <QPoint>
#include <QString>

class ChnTagOsc : public QGraphicsObject
{
    Q_OBJECT

public:
    explicit ChnTagOsc(int chn);

    int itemWidth() const { return width; }
    int itemHeight() const { return height; }
    int channel() const { return chnIndex; }
    bool isChannel() const { return chnFlag; }
    QString label() const { return text; }
    QColor tagColor() const { return color; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Set and cleared by the view while the user drags the tag.
    bool dragging = false;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* e) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* e) override;

private:
    int width;
    int height;
    QColor color;
    QPoint outline[5];
    int chnIndex;
    QString text;
    bool chnFlag;
};
