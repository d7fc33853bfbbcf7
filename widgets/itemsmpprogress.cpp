#include "widgets/itemsmpprogress.h"

#include "core/config.h"
#include "widgets/smpprogress.h"

#include <QFont>
#include <QPainter>
#include <QTextOption>

ItemSmpProgress::ItemSmpProgress()
{
    setVisible(false);
}

void ItemSmpProgress::setSize(int width, int height)
{
    prepareGeometryChange();
    w = width;
    h = height;
}

void ItemSmpProgress::setValue(int state, int value)
{
    prepareGeometryChange();
    const SmpProgress s = SmpProgress::of(state, value);
    outer = s.capture;
    inner = s.reading;
    if (!s.phase.isEmpty())
        txt = s.phase;
    // Only the start shows the disc; the other running states leave it as it is.
    if (state == 0 || !s.running)
        setVisible(s.running);
}

QRectF ItemSmpProgress::boundingRect() const
{
    return QRectF(0, 0, w, h);
}

void ItemSmpProgress::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (h == 0)
        return;
    p->setRenderHint(QPainter::Antialiasing, true);
    const int a = Config::pixel(2);
    const int b = Config::pixel(6);
    const int k = Config::pixel(4);

    p->setPen(QPen(QColor(160, 180, 160), a));
    p->setBrush(QColor(100, 100, 100, 100));
    const int d = a / 2 + 1;
    p->drawEllipse(QRect(QPoint(d, d), QPoint(w + a / 2 - 2 * d, h + a / 2 - 2 * d)));

    // Arcs start at 12 o'clock and run clockwise; 100 % is 5760 sixteenths.
    p->setBrush(Qt::NoBrush);
    p->setPen(QPen(QColor(0, 207, 0), b));
    const int r1 = b / 2 + a + 1;
    p->drawArc(QRect(r1, r1, w - 2 * r1, h - 2 * r1), 1440, -(outer * 576 / 10));
    if (inner > 0) {
        p->setPen(QPen(QColor(0, 192, 207), k));
        const int r2 = k / 2 + (a + 1 + b);
        p->drawArc(QRect(r2, r2, w - 2 * r2, h - 2 * r2), 1440, -(inner * 576 / 10));
        p->setPen(QPen(QColor(0, 207, 0), k));
    }

    QFont f;
    f.setPixelSize(Config::pixel(22));
    p->setFont(f);
    QTextOption opt(Qt::AlignCenter);
    opt.setWrapMode(QTextOption::WordWrap);
    const int r3 = k + (a + 1 + b);
    p->drawText(QRectF(r3, r3, w - 2 * r3, h - 2 * r3), txt, opt);
}
