#include "widgets/mylightbtn.h"

#include "core/config.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

MyLightBtn::MyLightBtn(QWidget* parent)
    : QPushButton(parent)
    , textColor(Config::grayColor.value(0))
{
    setAttribute(Qt::WA_LayoutUsesWidgetRect);
    setAttribute(Qt::WA_Hover);
}

void MyLightBtn::setBorderRadius(int r)
{
    radius[0] = radius[1] = radius[2] = radius[3] = r;
}

void MyLightBtn::setBorderRadius(int topRight, int topLeft, int bottomLeft, int bottomRight)
{
    radius[0] = topRight;
    radius[1] = topLeft;
    radius[2] = bottomLeft;
    radius[3] = bottomRight;
}

void MyLightBtn::setSelected(bool sel)
{
    selected = sel;
    // setGraphicsEffect deletes the previous effect.
    auto* effect = new QGraphicsDropShadowEffect(this);
    effect->setOffset(0, 0);
    effect->setColor(sel ? shadowColor : QColor(Qt::transparent));
    effect->setBlurRadius(30);
    setGraphicsEffect(effect);
    update();
}

void MyLightBtn::enterEvent(QEvent* e)
{
    hovered = true;
    QWidget::enterEvent(e);
    update();
}

void MyLightBtn::leaveEvent(QEvent* e)
{
    hovered = false;
    QWidget::leaveEvent(e);
    update();
}

void MyLightBtn::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int w = width();
    const int h = height();
    const int pw = borderWidth;
    const int m = margin;

    QPainterPath path;
    path.addRoundedRect(QRectF(m + pw / 2, m + pw / 2, w - pw / 2 - 2 * m, h - pw / 2 - 2 * m), 4, 4);
    p.fillPath(path, fillColor);
    // A zero border width draws no outline (a cosmetic one-pixel pen would).
    if (pw > 0)
        p.strokePath(path, QPen(borderColor, pw, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));

    if (hovered) {
        const qreal r = w / 2 - m;
        const QPointF c(w / 2.0, h / 2.0);
        QRadialGradient grad(c, r);
        grad.setColorAt(0, glowColor);
        grad.setColorAt(1, Qt::transparent);
        p.setPen(Qt::NoPen);
        p.setBrush(grad);
        p.drawEllipse(c, r, r);
    }

    const bool second = !selectedIcon.isNull() && (showSelectedIcon || selected);
    const QIcon& ic = second ? selectedIcon : icon();
    if (!ic.isNull()) {
        const QSize is = iconSize();
        const QRect r((w - is.width()) / 2, (h - is.height()) / 2, is.width(), is.height());
        ic.paint(&p, r, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    }

    const QString t = text();
    if (!t.isEmpty()) {
        p.setPen(isEnabled() ? textColor : Config::grayColor.value(2));
        p.setFont(font());
        const int tw = fontMetrics().horizontalAdvance(t);
        const int baseline = h <= 20 ? h / 2 + 5 : h / 2 + 7;
        p.drawText((w - tw) / 2, baseline, t);
    }
}
