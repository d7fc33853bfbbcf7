#pragma once
// Background of one logic channel row: a short dark gradient under the top edge.

#include <QGraphicsItem>

class ItemWaveBackground : public QGraphicsItem
{
public:
    explicit ItemWaveBackground(int chn);

    void setSize(int w, int h);
    int channel() const { return chn; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int chn;
    int width = 0;
    int height = 0;
};
