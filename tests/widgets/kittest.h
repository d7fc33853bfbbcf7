#pragma once

#include "core/config.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

// Helpers shared by the widget-kit tests.
namespace KitTest {

// Paints a widget (and its children) onto a transparent image, without any
// window background, so that every pixel is the widget's own.
inline QImage render(QWidget& w)
{
    QImage img(w.size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img;
}

inline QColor pixel(const QImage& img, int x, int y)
{
    return QColor::fromRgba(img.pixel(x, y));
}

// The documented grey n.
inline QColor grey(int n)
{
    return Config::grayColor.at(n);
}

inline bool near(const QColor& a, const QColor& b, int tol = 3)
{
    return qAbs(a.red() - b.red()) <= tol && qAbs(a.green() - b.green()) <= tol && qAbs(a.blue() - b.blue()) <= tol
           && qAbs(a.alpha() - b.alpha()) <= tol;
}

} // namespace KitTest
