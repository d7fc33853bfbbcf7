#pragma once

#include <QGraphicsItem>
#include <QString>

// Sampling progress on the waveform scene: a translucent disc with an outer
// arc (capture), an inner arc (read-out) and the phase text. Starts hidden.
// Part of the kit, so the waveform area shows it without reaching up to the
// capture controls.
class ItemSmpProgress : public QGraphicsItem
{
public:
    ItemSmpProgress();

    void setSize(int width, int height);
    // state: the device's sampling state (0 started ... 4 reading, others end
    // the run and hide the item); value: percent, clamped to 0..100.
    void setValue(int state, int value);

    int outerValue() const { return outer; }
    int innerValue() const { return inner; }
    QString text() const { return txt; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int h = 0;
    int w = 0;
    int outer = 0;
    int inner = 0;
    QString txt;
};
