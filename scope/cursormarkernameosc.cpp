#include "scope/cursormarkernameosc.h"

#include "core/config.h"
#include "scope/cursormarkerosc.h"

#include <QFont>
#include <QPainter>
#include <QPen>

CursorMarkerNameOsc::CursorMarkerNameOsc(const QString& name, QGraphicsItem* parent)
    : QGraphicsItem(parent), width(Config::pixel(15)), height(Config::pixel(11)), text(name)
{
    hide();
}

void CursorMarkerNameOsc::setStateType(int state)
{
    if (state == sta)
        return;
    sta = state;
    setVisible(state != 0);
    update();
}

QRectF CursorMarkerNameOsc::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void CursorMarkerNameOsc::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const int p = Config::pixel(1);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(CursorMarkerOsc::stateColor(sta), p, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    QFont f;
    f.setPixelSize(Config::pixel(12));
    painter->setFont(f);
    painter->drawText(QRect(0, 0, width - 1, height - 1), Qt::AlignHCenter | Qt::AlignVCenter, text);
}
