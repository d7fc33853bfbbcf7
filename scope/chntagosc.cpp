#include "scope/chntagosc.h"

#include "core/config.h"
#include "scope/osccolors.h"

#include <QFont>
#include <QPainter>
#include <QPen>

ChnTagOsc::ChnTagOsc(int chn)
    : OscTagItem(chn < OscColors::chnNum() ? OscColors::channel(chn) : QColor(Qt::white), Qt::SizeVerCursor, true)
    , chnIndex(chn)
    , text(QString::number(chn + 1))
    , chnFlag(chn < OscColors::chnNum())
{
    const int w = width;
    const int h = height;
    const int pw = Config::pixel(1);
    outline[0] = QPoint(0, 0);
    outline[1] = QPoint(w / 2, 0);
    outline[2] = QPoint(w - pw, h / 2);
    outline[3] = QPoint(w / 2, h - pw);
    outline[4] = QPoint(0, h - pw);
}

void ChnTagOsc::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    drawShape(painter, outline, 5, color);
    if (!chnFlag)
        return;
    const int pw = Config::pixel(1);
    QFont f;
    f.setPixelSize(Config::pixel(10));
    painter->setFont(f);
    painter->setPen(QPen(Qt::black, pw));
    painter->setBrush(Qt::NoBrush);
    painter->setRenderHint(QPainter::Antialiasing, true);
    const int right = int(2 * pw + width * 0.5) - 1;
    painter->drawText(QRect(QPoint(0, 0), QPoint(right, height - 2 * pw - 1)), Qt::AlignHCenter | Qt::AlignVCenter,
                      text);
}
