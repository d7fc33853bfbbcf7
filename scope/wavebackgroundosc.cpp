#include "scope/wavebackgroundosc.h"

#include "core/config.h"

#include <QPainter>
#include <QPen>

#include <cmath>

WaveBackgroundOsc::WaveBackgroundOsc(WaveDataGenOsc* g) : gen(g) {}

void WaveBackgroundOsc::setSize(int w, int h)
{
    prepareGeometryChange();
    width = w;
    height = h;
}

QRectF WaveBackgroundOsc::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

int WaveBackgroundOsc::gridLine(int i, int size, int pw)
{
    const int units = i * (size / pw - 3);
    return int(std::trunc(0.1 * units)) * pw + pw / 2 + pw;
}

void WaveBackgroundOsc::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (height <= 0)
        return;
    const int pw = Config::pixel(1);
    const QColor c = Config::grayColor.value(2);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(c, pw, Qt::SolidLine));
    painter->drawRect(QRect(QPoint(pw / 2, pw / 2), QPoint(width - pw - 1, height - pw - 1)));
    for (int i = 1; i <= 9; ++i) {
        painter->setPen(QPen(c, pw, i == 5 ? Qt::DashLine : Qt::DotLine));
        const int y = gridLine(i, height, pw);
        painter->drawLine(pw, y, width - pw, y);
        const int x = gridLine(i, width, pw);
        painter->drawLine(x, pw, x, height - pw);
    }
}
