#include "widgets/mydial.h"

#include "core/config.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>

#include <cmath>

namespace {

const double radPerDeg = 0.017453292777777778;
const double degPerRad = 57.29577866666166;

// Unit vector of a dial angle in screen coordinates (y grows downwards).
QPointF direction(qreal deg)
{
    const double a = deg * radPerDeg;
    return QPointF(-std::cos(a), -std::sin(a));
}

// A dial angle as Qt's arc angle (anticlockwise from 3 o'clock).
qreal qtAngle(qreal deg)
{
    return 180 - deg;
}

// The unit is one character when the rest reads as a nonzero integer ("1V"),
// else two ("10mV", "500ns").
int unitLength(const QString& text)
{
    bool ok = false;
    const int v = text.left(text.size() - 1).toInt(&ok);
    return (ok && v != 0) ? 1 : 2;
}

} // namespace

MyDial::MyDial(QWidget* parent)
    : QWidget(parent)
    , bar(new QWidget(this))
    , btnMinus(new QPushButton(QStringLiteral("-"), bar))
    , btnPlus(new QPushButton(QStringLiteral("+"), bar))
    , label(new QLabel(bar))
{
    const QString one = QString::number(Config::pixel(1));
    const QString three = QString::number(Config::pixel(3));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7; border-radius: 0; border:") + one
                         + QStringLiteral("px solid #f7f7f7;}QLabel::disabled{color:gray; border:") + one
                         + QStringLiteral("px solid gray;}"));
    const QString disabled = QStringLiteral("QPushButton::disabled{background-color:transparent; color:gray; border:")
                             + one + QStringLiteral("px solid gray;}");
    btnMinus->setStyleSheet(QStringLiteral("QPushButton{border-left:") + one
                            + QStringLiteral("px solid #f7f7f7; border-right:0; border-top:") + one
                            + QStringLiteral("px solid #f7f7f7; border-bottom:") + one
                            + QStringLiteral("px solid #f7f7f7; border-top-left-radius:") + three
                            + QStringLiteral("px; border-bottom-left-radius:") + three
                            + QStringLiteral("px; border-top-right-radius: 0; border-bottom-right-radius: 0;}")
                            + disabled);
    btnPlus->setStyleSheet(QStringLiteral("QPushButton{border-left:0; border-right:") + one
                           + QStringLiteral("px solid #f7f7f7; border-top:") + one
                           + QStringLiteral("px solid #f7f7f7; border-bottom:") + one
                           + QStringLiteral("px solid #f7f7f7; border-top-right-radius:") + three
                           + QStringLiteral("px; border-bottom-right-radius:") + three
                           + QStringLiteral("px; border-top-left-radius: 0; border-bottom-left-radius: 0;}")
                           + disabled);
    btnMinus->setObjectName(QStringLiteral("0"));
    btnPlus->setObjectName(QStringLiteral("1"));
    const QSize btnSize(Config::pixel(16) * 3 / 2, Config::pixel(16) + Config::pixel(4));
    btnMinus->setFixedSize(btnSize);
    btnPlus->setFixedSize(btnSize);

    auto* lay = new QHBoxLayout(bar);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(btnMinus);
    lay->addWidget(label);
    lay->addWidget(btnPlus);

    connect(btnMinus, &QPushButton::clicked, this, &MyDial::slotBtnClicked);
    connect(btnPlus, &QPushButton::clicked, this, &MyDial::slotBtnClicked);

    digitHeight = fontMetrics().boundingRect(QStringLiteral("500")).height();
    ascent = fontMetrics().ascent();
}

QString MyDial::unitPart(const QString& text)
{
    return text.right(unitLength(text));
}

QString MyDial::numberPart(const QString& text)
{
    return text.left(qMax(0, text.size() - unitLength(text)));
}

bool MyDial::isMajor(int position) const
{
    return position % 3 == 0 || texts.size() < 13 || position == texts.size() - 1;
}

void MyDial::setTextList(const QStringList& list)
{
    if (list.isEmpty())
        return;
    texts = list;
    const int n = texts.size();
    index = qBound(0, index, n - 1);
    label->setText(texts[index]);

    if (n == 1) {
        // A single position has no step: it sits at the top and never moves.
        step = 0;
        start = 90;
    } else {
        step = 250 / (n - 1);
        start = (360.0 - step * (n - 1)) / 2 - 90;
    }

    units.clear();
    arcs.clear();
    QString cur = QStringLiteral("**");
    for (int i = 0; i < n; ++i) {
        const QString& t = texts[i];
        if (t.endsWith(cur)) {
            arcs.last() += step;
            continue;
        }
        cur = unitPart(t);
        units.append(cur);
        const qreal a = arcs.isEmpty() ? start : arcs.last() + step;
        arcs.append(a);
        arcs.append(a);
    }
    // Widen the runs so that neighbouring arcs end up 10 degrees apart.
    const qreal margin = step > 10 ? (step - 10) / 2.0 : 0;
    const int runs = units.size();
    for (int k = 0; k < runs; ++k) {
        if (k > 0)
            arcs[2 * k] -= margin;
        if (k < runs - 1)
            arcs[2 * k + 1] += margin;
    }

    bounds.resize(n);
    for (int i = 0; i < n; ++i)
        bounds[i] = start + (i + 0.5) * step;

    updateGeometryCache();
    update();
}

void MyDial::setCurrentIndex(int i)
{
    if (texts.isEmpty())
        return;
    index = qBound(0, i, texts.size() - 1);
    label->setText(texts[index]);
    update();
}

void MyDial::moveTo(int newIndex)
{
    if (newIndex == index)
        return;
    index = newIndex;
    label->setText(texts[index]);
    emit btnClicked(index);
    update();
}

void MyDial::slotBtnClicked()
{
    if (texts.isEmpty())
        return;
    const int dir = (sender() && sender()->objectName() == QLatin1String("1")) ? 1 : -1;
    const int target = index + dir;
    if (target < 0 || target >= texts.size())
        return;
    moveTo(target);
}

int MyDial::mouseToPosion(QPoint p) const
{
    if (texts.isEmpty())
        return 0;
    const double dx = p.x() - centreX;
    const double dy = p.y() - centreY;
    double angle;
    if (dx != 0) {
        angle = std::atan(dy / dx) * degPerRad;
        if (dx > 0)
            angle += 180;
    } else if (dy < 0) {
        angle = 90;
    } else {
        // Straight down goes to the nearer end of the scale.
        angle = angleOf(index) >= 90 ? 270 : -90;
    }
    for (int i = 0; i < bounds.size(); ++i) {
        if (bounds[i] > angle)
            return i;
    }
    return texts.size() - 1;
}

void MyDial::pickFromMouse(QPoint pos)
{
    if (texts.isEmpty())
        return;
    moveTo(mouseToPosion(pos));
}

void MyDial::mousePressEvent(QMouseEvent* e)
{
    pickFromMouse(e->localPos().toPoint());
}

void MyDial::mouseMoveEvent(QMouseEvent* e)
{
    pickFromMouse(e->localPos().toPoint());
}

void MyDial::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (!texts.isEmpty())
        updateGeometryCache();
}

void MyDial::updateGeometryCache()
{
    const qreal half = width() / 2.0;
    outerR = static_cast<int>(half - 18);
    knobR = outerR - (digitHeight + 2 + tickLen) - 2 * tickGap;
    centreX = static_cast<int>(half + 6);
    centreY = outerR + 5;
    bar->setGeometry(37, centreY + knobR + 4, width() - 59, btnMinus->height());
}

void MyDial::paintEvent(QPaintEvent*)
{
    if (texts.isEmpty())
        return;
    updateGeometryCache();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const bool on = isEnabled();
    const QColor outline = on ? QColor(Qt::white) : QColor(Qt::gray);
    const QColor marks = on ? Config::grayColor.value(0) : QColor(Qt::gray);
    const QPointF c(centreX, centreY);

    // Knob.
    p.setPen(QPen(outline, 3));
    p.setBrush(QColor(0xaf, 0xaf, 0xaf));
    if (knobR > 0)
        p.drawEllipse(c, knobR, knobR);

    // Pointer.
    const int r = static_cast<int>(0.35 * knobR);
    const QPointF dir = direction(angleOf(index));
    const QPointF pc = c + dir * (knobR - r - 4);
    if (r > 0) {
        QRadialGradient grad(pc, r);
        grad.setColorAt(0, Qt::white);
        grad.setColorAt(0.4, Qt::lightGray);
        grad.setColorAt(0.6, Qt::gray);
        grad.setColorAt(1, Qt::darkGray);
        p.setPen(QPen(QColor(Qt::lightGray), 1));
        p.setBrush(grad);
        p.drawEllipse(pc, r, r);
        p.setPen(QPen(QColor(Qt::red), 1));
        p.drawLine(pc, pc + dir * (r - 1));
    }

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(marks, 1));
    p.setFont(font());
    const QFontMetrics fm = fontMetrics();
    const QRectF outerRect(centreX - outerR, centreY - outerR, 2 * outerR, 2 * outerR);

    // Unit arcs with their names.
    for (int k = 0; k < units.size(); ++k) {
        const qreal a0 = arcs[2 * k];
        const qreal a1 = arcs[2 * k + 1];
        const qreal mid = (a0 + a1) / 2;
        p.drawArc(outerRect, static_cast<int>(qtAngle(a0) * 16), static_cast<int>(-(a1 - a0) * 16));
        const QPointF m = c + direction(mid) * outerR;
        const int tw = fm.horizontalAdvance(units[k]);
        const qreal x = mid > 90 ? m.x() + 3 : m.x() - 4 - tw;
        const qreal y = m.y() + static_cast<int>(std::fabs(90 - mid) * ascent / 2 / 90 - 2);
        p.drawText(QPointF(x, y), units[k]);
    }

    // Ticks and numbers.
    for (int i = 0; i < texts.size(); ++i) {
        const qreal a = angleOf(i);
        const QPointF d = direction(a);
        const bool major = isMajor(i);
        const int len = major ? tickLen : (tickLen + 1) / 2;
        p.drawLine(c + d * (knobR + tickGap), c + d * (knobR + tickGap + len));
        if (!major)
            continue;
        const QString num = numberPart(texts[i]);
        const QPointF anchor = c + d * (knobR + tickGap + tickLen + tickGap);
        const int tw = fm.horizontalAdvance(num);
        const qreal x = a > 90 ? anchor.x()
                               : anchor.x() + static_cast<int>(-(std::cos(a * radPerDeg) + 1) * tw / 2 - 1);
        const qreal y = anchor.y() + static_cast<int>(std::fabs(90 - a) * ascent / 2 / 90 - 2);
        p.drawText(QPointF(x, y), num);
    }
}
