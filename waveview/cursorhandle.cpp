#include "waveview/cursorhandle.h"

#include "core/config.h"
#include "waveview/cursorbody.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

CursorHandle::CursorHandle(int id, QWidget* parent)
    : QLabel(parent), id(id), name(CursorBody::markerName(id)), a(Config::pixel(7)), b(Config::pixel(9))
{
    QFont f = QApplication::font();
    f.setPixelSize(Config::pixel(8));
    f.setWeight(75);
    setFont(f);
    textWidth = QFontMetrics(f).horizontalAdvance(name);
    const int ia = int(a), ib = int(b);
    setFixedSize(2 * ia + Config::pixel(1), ia + ib + Config::pixel(1));
    const int h = Config::pixel(1) / 2;
    outline = {QPoint(h, h), QPoint(2 * ia + h, h), QPoint(2 * ia + h, ib + h), QPoint(ia + h, ib + h + ia),
               QPoint(h, ib + h)};
    setVisible(false);
}

void CursorHandle::setStateType(int s)
{
    state = s;
    setVisible(s != 0);
    update();
}

void CursorHandle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(CursorBody::stateColor(state));
    pen.setWidth(Config::pixel(1));
    p.setPen(pen);
    p.setBrush(Config::grayColor.value(state == 3 ? 1 : 0));
    p.drawConvexPolygon(outline.data(), outline.size());
    p.setPen(QPen(Qt::black, 1));
    p.drawText(QPointF((width() - textWidth) / 2, b), name);
}

void CursorHandle::enterEvent(QEvent* e)
{
    if (state == 3)
        emit mouseEnter(id);
    QLabel::enterEvent(e);
}

void CursorHandle::leaveEvent(QEvent* e)
{
    if (state == 2)
        emit mouseLeave(id);
    QLabel::leaveEvent(e);
}
