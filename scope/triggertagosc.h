#pragma once
// Trigger markers over and beside the graticule: kind 0 the trigger level of
// channel chn (a triangle pointing left in the channel's colour), any other
// kind the trigger position (pointing down, green); filled, or an outline on
// black.

#include "scope/osctagitem.h"

class TriggerTagOsc : public OscTagItem
{
    Q_OBJECT

public:
    TriggerTagOsc(int kind, int chn, bool filled);

    int kind() const { return tagKind; }
    int channel() const { return chnIndex; }
    bool isFilled() const { return filled; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Where the marker stands as a fraction of the view (vertical for a
    // level, horizontal for a position); kept by the view, unclamped.
    double fraction = 0;

private:
    int arm;
    QPoint triangle[3];
    int tagKind;
    int chnIndex;
    bool filled;
};
