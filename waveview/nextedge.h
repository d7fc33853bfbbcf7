#pragma once
// The previous/next-edge button shown at a row's left or right end.

#include <QGraphicsObject>

class NextEdge : public QGraphicsObject
{
    Q_OBJECT

public:
    explicit NextEdge(QGraphicsItem* parent = nullptr);

    void setParameters(bool isPrevious, int chn, int width, int height);
    bool previous() const { return isPrevious; }
    int channel() const { return chn; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    bool isPrevious = true;
    int chn = -1;
    int width = 0;
    int height = 0;
};
