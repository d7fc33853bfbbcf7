#include "waveview/labelmove.h"

#include <QMouseEvent>

#include <cmath>

LabelMove::LabelMove(QWidget* parent) : QLabel(parent) {}

void LabelMove::mousePressEvent(QMouseEvent* e)
{
    setCursor(Qt::ClosedHandCursor);
    pressX = std::round(e->globalPos().x());
    pressY = std::round(e->globalPos().y());
    emit channelMoveCallback(1, chnIndex, 0);
    QLabel::mousePressEvent(e);
}

void LabelMove::mouseReleaseEvent(QMouseEvent* e)
{
    setCursor(Qt::OpenHandCursor);
    emit channelMoveCallback(2, chnIndex, 0);
    QLabel::mouseReleaseEvent(e);
}

void LabelMove::mouseMoveEvent(QMouseEvent* e)
{
    emit channelMoveCallback(3, chnIndex, int(e->globalPos().y() - pressY));
    QLabel::mouseMoveEvent(e);
}

void LabelMove::enterEvent(QEvent* e)
{
    setCursor(Qt::OpenHandCursor);
    QLabel::enterEvent(e);
}

void LabelMove::leaveEvent(QEvent* e)
{
    setCursor(Qt::ArrowCursor);
    QLabel::leaveEvent(e);
}
