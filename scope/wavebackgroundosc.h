#pragma once
// The oscilloscope graticule: a border and 10 x 10 divisions, the centre
// lines dashed, the others dotted.

#include <QGraphicsItem>

class WaveDataGenOsc;

class WaveBackgroundOsc : public QGraphicsItem
{
public:
    explicit WaveBackgroundOsc(WaveDataGenOsc* gen);

    void setSize(int width, int height);
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Position of grid line i (1..9) across an item size: at unit scale
    // trunc(0.1 x i x (size - 3)) + 1.
    static int gridLine(int i, int size, int pw);

private:
    WaveDataGenOsc* gen;
    int width = 0;
    int height = 0;
};
