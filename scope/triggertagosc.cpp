#include "scope/triggertagosc.h"

#include "core/config.h"
#include "scope/osccolors.h"

// An outline takes no drags, so it shows no resize cursor.
TriggerTagOsc::TriggerTagOsc(int kind, int chn, bool fill)
    : OscTagItem(kind == 0 ? OscColors::channel(chn) : OscColors::trigger(),
                 kind == 0 ? Qt::SizeVerCursor : Qt::SizeHorCursor, fill)
    , arm(Config::pixel(5))
    , tagKind(kind)
    , chnIndex(chn < 0 ? 0 : chn)
    , filled(fill)
{
    const int hp = Config::pixel(1) / 2;
    const int a = arm;
    if (kind == 0) {
        triangle[0] = QPoint(hp + 2 * a, hp);
        triangle[1] = QPoint(hp, hp + a);
        triangle[2] = QPoint(hp + 2 * a, hp + 2 * a);
    } else {
        triangle[0] = QPoint(hp, hp);
        triangle[1] = QPoint(hp + 2 * a, hp);
        triangle[2] = QPoint(hp + a, hp + 2 * a);
    }
}

void TriggerTagOsc::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    drawShape(painter, triangle, 3, filled ? color : QColor(QRgb(0)));
}
