#include "widgets/chnstashow.h"

#include "core/config.h"

#include <QPainter>
#include <QRadialGradient>

ChnStaShow::ChnStaShow(QWidget* parent)
    : QWidget(parent)
{
    setFixedWidth(Config::pixel(16));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setFont(Config::fontSmall);
}

void ChnStaShow::setSta(bool act, bool hi, bool lmp)
{
    active = act;
    high = hi;
    lamp = lmp;
    update();
}

void ChnStaShow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(7, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(Config::grayColor.value(4));
    if (!active) {
        p.drawEllipse(c, 6, 6);
        return;
    }
    p.drawEllipse(c, 7, 7);
    if (lamp) {
        QRadialGradient grad(c, 6, c + QPointF(-1, -2));
        grad.setColorAt(0, QColor(128, 255, 128));
        grad.setColorAt(1, QColor(0, 128, 0));
        p.setBrush(grad);
        p.drawEllipse(c, 6, 6);
        return;
    }
    const QString digit = high ? QStringLiteral("1") : QStringLiteral("0");
    p.setPen(Config::grayColor.value(0));
    p.setFont(font());
    p.drawText(7 - fontMetrics().horizontalAdvance(digit) / 2, 12, digit);
}
