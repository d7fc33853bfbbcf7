#pragma once
// The trigger-level line across the graticule with the level's value in a
// box at its right end; the view puts its bottom edge on the level.

#include "scope/oscvaluebox.h"

class GridVoltInforItem : public OscValueBox
{
public:
    GridVoltInforItem();

    // Line colour of channel idx (modulo the channel count) and the text;
    // the caller moves and shows the item next.
    void setText(int idx, const QString& text);
    void setWidth(int w);
    QColor lineColor() const { return color; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    int boxWidth;
};
