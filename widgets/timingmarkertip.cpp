#include "widgets/timingmarkertip.h"

#include <QCursor>
#include <QFontMetrics>
#include <QToolTip>

TimingMarkerTip::TimingMarkerTip(const QString& text, QWidget* parent)
    : QLabel(parent)
{
    setText(text);
}

bool TimingMarkerTip::textCut() const
{
    return QFontMetrics(font()).horizontalAdvance(text()) > width();
}

void TimingMarkerTip::enterEvent(QEvent* e)
{
    QLabel::enterEvent(e);
    if (textCut())
        QToolTip::showText(QCursor::pos(), text(), this, rect());
    else
        QToolTip::hideText();
}
