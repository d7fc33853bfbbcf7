#pragma once
// Zero-line marker of an analog channel beside the graticule: a flag
// pointing right with the channel number. With chn equal to the channel
// count it is the math trace's marker, white and without a number.

#include "scope/osctagitem.h"

#include <QString>

class ChnTagOsc : public OscTagItem
{
    Q_OBJECT

public:
    explicit ChnTagOsc(int chn);

    int channel() const { return chnIndex; }
    bool isChannel() const { return chnFlag; }
    QString label() const { return text; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QPoint outline[5];
    int chnIndex;
    QString text;
    bool chnFlag;
};
