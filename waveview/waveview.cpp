#include "waveview/waveview.h"

#include "core/config.h"
#include "widgets/myscrollbar.h"

#include <QScrollBar>
#include <QWheelEvent>

WaveView::WaveView(QWidget* parent) : QGraphicsView(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(true);
    setAcceptDrops(false);
    setDragMode(QGraphicsView::NoDrag);
    setStyleSheet(QStringLiteral("QGraphicsView{background-color:#2f2f2f;border:0;}"));
    scrollBar = new MyScrollbar(this);
    connect(scrollBar, &MyScrollbar::valueChanged, this, &WaveView::slotValueChanged);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &WaveView::slotValueChangedErr);
}

void WaveView::setVScrollValue(int v)
{
    scrollBar->setValue(v);
    verticalScrollBar()->setValue(v);
}

void WaveView::setVScrollRang(int min, int max, int pageStep)
{
    if (max < 1) {
        scrollBar->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    scrollBar->setRange(min, max);
    scrollBar->setPageStep(pageStep);
    verticalScrollBar()->setRange(min, max);
    verticalScrollBar()->setPageStep(pageStep);
}

int WaveView::vScrollValue() const
{
    return verticalScrollBar()->value();
}

void WaveView::slotValueChanged(qlonglong value)
{
    verticalScrollBar()->setValue(int(value));
    emit vScrollValueChanged(value);
}

void WaveView::slotValueChangedErr(int value)
{
    // Only the overlay bar or the sidebar may scroll the view.
    if (scrollBar->value() != value)
        verticalScrollBar()->setValue(int(scrollBar->value()));
}

void WaveView::mousePressEvent(QMouseEvent* e)
{
    emit mousePressed(e);
    QGraphicsView::mousePressEvent(e);
}

void WaveView::mouseReleaseEvent(QMouseEvent* e)
{
    emit mouseReleased(e);
    QGraphicsView::mouseReleaseEvent(e);
}

void WaveView::mouseMoveEvent(QMouseEvent* e)
{
    emit mouseMoved(e);
    QGraphicsView::mouseMoveEvent(e);
}

void WaveView::wheelEvent(QWheelEvent* e)
{
    const int flag = e->angleDelta().y() >= 1 ? 1 : -1;
    emit wheelChanged(flag, e->position().toPoint());
}

void WaveView::leaveEvent(QEvent* e)
{
    emit mouseLeave();
    QGraphicsView::leaveEvent(e);
}

void WaveView::resizeEvent(QResizeEvent* e)
{
    QGraphicsView::resizeEvent(e);
    const int w = Config::pixel(10);
    scrollBar->setGeometry(width() - w, 0, w, height());
}
