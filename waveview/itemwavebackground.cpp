#include "waveview/itemwavebackground.h"

#include "core/config.h"

#include <QLinearGradient>
#include <QPainter>

ItemWaveBackground::ItemWaveBackground(int chn) : chn(chn)
{
    setFlags(GraphicsItemFlags());
}

void ItemWaveBackground::setSize(int w, int h)
{
    prepareGeometryChange();
    width = std::max(0, w);
    height = std::max(0, h);
    update();
}

QRectF ItemWaveBackground::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

void ItemWaveBackground::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (height == 0 || width == 0)
        return;
    // The gradient spans the top pixel(4) rows; below it the colour holds,
    // and a solid fill of the rest costs a fraction of a gradient fill.
    const int g4 = std::min(height, Config::pixel(4));
    QLinearGradient g(0, 0, 0, Config::pixel(4));
    g.setColorAt(0, Config::grayColor.value(3));
    g.setColorAt(1, Config::grayColor.value(8));
    painter->fillRect(QRect(0, 0, width, g4), g);
    if (height > g4)
        painter->fillRect(QRect(0, g4, width, height - g4), Config::grayColor.value(8));
}
