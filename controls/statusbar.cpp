#include "controls/statusbar.h"

#include "core/config.h"
#include "core/lang.h"
#include "widgets/smpprogress.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QString connectText(bool connected)
{
    return Lang::tr(connected ? QStringLiteral("Device connected") : QStringLiteral("Device unconnected"));
}

} // namespace

StatusBar::StatusBar(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(Config::pixel(196), Config::pixel(20));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusBar::setConnectSta(bool c)
{
    connected = c;
    txt = connectText(c);
    value1 = 0;
    value2 = 0;
    update();
}

void StatusBar::setDataReview(bool c)
{
    connected = c;
    txt = c ? Lang::tr(QStringLiteral("Device connected")) : Lang::tr(QStringLiteral("Data review"));
}

void StatusBar::setSmpProgress(int state, int value)
{
    const SmpProgress s = SmpProgress::of(state, value);
    value1 = s.capture;
    value2 = s.reading;
    if (!s.phase.isEmpty())
        txt = s.phase;
    else if (!s.running)
        txt = connectText(connected);
    update();
}

void StatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int px = Config::pixel(1);
    const int w = width();
    const int h = height();

    QPainterPath frame;
    frame.addRect(QRectF(0.5 * px, 0.5 * px, w - px, h - px));
    p.fillPath(frame, Config::grayColor.value(7));
    p.strokePath(frame, QPen(Config::grayColor.value(4), px, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));

    auto drawBar = [&](int v, const QColor& col) {
        if (v <= 0)
            return;
        int len = w - 4 * px;
        if (v < 100)
            len = v * (w - 4 * px) / 100;
        if (len > 0)
            p.fillRect(QRect(QPoint(2 * px, 2 * px), QPoint(2 * px + len - 1, h - 2 * px - 1)), col);
    };
    drawBar(value1, QColor(0, 192, 0));
    drawBar(value2, QColor(0, 160, 192));

    p.setPen(Config::grayColor.value(0));
    p.setFont(font());
    p.drawText(QRect(QPoint(0, 0), QPoint(w - 1, h - 1)), Qt::AlignCenter, txt);
}
