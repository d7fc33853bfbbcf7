#include "widgets/osctabframe.h"

#include "core/config.h"

#include <QPainter>

OscTabFrame::OscTabFrame(QWidget* parent)
    : QFrame(parent)
{
}

void OscTabFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int band = Config::pixel(10);
    p.fillRect(QRect(0, 0, width(), band), QColor(0x84, 0x84, 0x84));
    p.fillRect(QRect(0, band, width(), height() - band), QColor(0x78, 0x78, 0x78));
}
