#include "widgets/mybutton.h"

#include "core/config.h"

#include <QGraphicsDropShadowEffect>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

MyButton::MyButton(QWidget* parent)
    : QPushButton(parent)
{
    setAttribute(Qt::WA_LayoutUsesWidgetRect);
    setAttribute(Qt::WA_Hover);
}

void MyButton::setBorderRadius(int r)
{
    radiusTR = radiusTL = radiusBL = radiusBR = r;
}

void MyButton::setBorderRadius(int topRight, int topLeft, int bottomLeft, int bottomRight)
{
    radiusTR = topRight;
    radiusTL = topLeft;
    radiusBL = bottomLeft;
    radiusBR = bottomRight;
}

void MyButton::setShadowEnable()
{
    if (graphicsEffect())
        return;
    auto* effect = new QGraphicsDropShadowEffect(this);
    effect->setBlurRadius(20);
    effect->setColor(QColor(24, 160, 255, 255));
    effect->setOffset(0, 0);
    effect->setEnabled(false);
    setGraphicsEffect(effect);
}

void MyButton::setSelected(bool sel)
{
    selected = sel;
    if (QGraphicsEffect* effect = graphicsEffect())
        effect->setEnabled(sel);
    update();
}

void MyButton::enterEvent(QEvent* e)
{
    hovered = true;
    QWidget::enterEvent(e);
    update();
}

void MyButton::leaveEvent(QEvent* e)
{
    hovered = false;
    QWidget::leaveEvent(e);
    update();
}

void MyButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal w = width();
    const qreal h = height();
    const qreal b = borderWidth / 2.0;

    // One outline, walked anticlockwise from the right edge; radius <= 0 is a square corner.
    QPainterPath path;
    path.moveTo(w - b, b + qMax(radiusTR, 0));
    if (radiusTR > 0)
        path.arcTo(QRectF(w - b - 2 * radiusTR, b, 2 * radiusTR, 2 * radiusTR), 0, 90);
    path.lineTo(b + qMax(radiusTL, 0), b);
    if (radiusTL > 0)
        path.arcTo(QRectF(b, b, 2 * radiusTL, 2 * radiusTL), 90, 90);
    path.lineTo(b, h - b - qMax(radiusBL, 0));
    if (radiusBL > 0)
        path.arcTo(QRectF(b, h - b - 2 * radiusBL, 2 * radiusBL, 2 * radiusBL), 180, 90);
    path.lineTo(w - b - qMax(radiusBR, 0), h - b);
    if (radiusBR > 0)
        path.arcTo(QRectF(w - b - 2 * radiusBR, h - b - 2 * radiusBR, 2 * radiusBR, 2 * radiusBR),
                   270, 90);
    path.closeSubpath();

    QColor fill = normalColor;
    if (selected)
        fill = selectedColor;
    else if (hovered && isEnabled())
        fill = hoverColor;

    // An unset colour means no fill at all rather than an accidental black one.
    if (fill.isValid()) {
        const bool gradient = hovered ? gradientHover : gradientNormal;
        if (gradient) {
            const QColor ends = selected ? fill.darker(167) : fill.lighter(167);
            QLinearGradient grad(0, 0, 0, h - 1);
            grad.setColorAt(0, ends);
            grad.setColorAt(0.3, fill);
            grad.setColorAt(0.7, fill);
            grad.setColorAt(1, ends);
            p.fillPath(path, grad);
        } else {
            p.fillPath(path, fill);
        }
    }
    if (borderWidth >= 1) {
        p.strokePath(path, QPen(borderColor, borderWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    }

    const QIcon& ic = (selected && !selectedIcon.isNull()) ? selectedIcon : icon();
    if (!ic.isNull()) {
        const QSize is = iconSize();
        const QRect r((width() - is.width()) / 2, (height() - is.height()) / 2, is.width(), is.height());
        ic.paint(&p, r, Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    }

    const QString t = text();
    if (!t.isEmpty()) {
        p.setPen(Config::grayColor.value(isEnabled() ? 0 : 2));
        p.setFont(font());
        const int tw = fontMetrics().horizontalAdvance(t);
        const int hi = height();
        const int baseline = hi <= 20 ? hi / 2 + 5 : hi / 2 + 7;
        p.drawText((width() - tw) / 2, baseline, t);
    }
}
