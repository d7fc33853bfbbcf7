#include "waveview/itemwavebackground.h"

#include "app/core/config.h"

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
    QLinearGradient g(0, 0, 0, Config::pixel(4));
    g.setColorAt(0, Config::grayColor.value(3));
    g.setColorAt(1, Config::grayColor.value(8));
    painter->fillRect(QRect(0, 0, width, height), g);
}
