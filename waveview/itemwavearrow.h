#pragma once
// Pulse-width and period arrows under the mouse, in view pixels.

#include <QGraphicsItem>

class ItemWaveArrow : public QGraphicsItem
{
public:
    ItemWaveArrow();

    // xs: x0, x1 (pulse-width arrow), x2, x3 (period arrow); a: kept for the
    // caller; h: row height.
    void setEdgeWidth(const double* xs, int a, int h);
    double edge(int i) const { return xs[i]; }
    int value() const { return kept; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    double xs[4] = {0, 0, 0, 0};
    int kept = 0;
    int height = 0;
};
