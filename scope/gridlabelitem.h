#pragma once
// A small value label beside a marker being moved: a channel's or the math
// trace's offset, or the trigger time.

#include "scope/oscvaluebox.h"

class GridLabelItem : public OscValueBox
{
public:
    GridLabelItem();

    // idx -1: the trigger time (green); idx at or above the channel count:
    // the math trace (white); else channel idx's colour.
    void setText(int idx, const QString& text);
    QColor textColor() const { return color; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
};
