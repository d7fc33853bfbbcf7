#include "widgets/myswitch.h"

#include "core/config.h"

#include <QPainter>

MySwitch::MySwitch(QWidget* parent)
    : QPushButton(parent)
{
    setAttribute(Qt::WA_LayoutUsesWidgetRect);
}

void MySwitch::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRect r = contentsRect();
    const int iw = r.width();
    const int ih = r.height();
    p.setPen(Qt::NoPen);
    p.setBrush(switchOn ? QColor(0, 180, 0) : Config::grayColor.value(5));
    p.drawRoundedRect(r, ih / 2, ih / 2);

    const int d = ih - 4;
    const int x = switchOn ? r.left() + iw - ih + 2 : r.left() + 2;
    p.setBrush(Config::grayColor.value(0));
    p.drawEllipse(QRect(x, r.top() + 2, d, d));
}
