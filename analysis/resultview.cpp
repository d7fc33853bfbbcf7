#include "analysis/resultview.h"

#include "widgets/myscrollbar.h"

#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>

ResultView::ResultView(QWidget* parent) : QListView(parent), bar(new MyScrollbar(this))
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setStyleSheet(QStringLiteral("QListView{background-color:#1f1f23;border:0px solid #7f7f7f;color:#f7f7f7;}"));
    setMouseTracking(true);
}

int ResultView::rowHeight() const
{
    return std::max(1, gridSize().height());
}

void ResultView::resizeEvent(QResizeEvent*)
{
    const int h = rowHeight();
    rowNum = height() / h;
    emit listRowChanged(rowNum);
    // A whole number of rows.
    if (height() != h * rowNum)
        resize(width(), h * rowNum);
    bar->setGeometry(width() - 8, 0, 8, height());
    const qlonglong content = bar->maximum() + bar->pageStep() - bar->minimum();
    bar->setPageStep(height());
    bar->setRange(0, content - height());
    bar->setValue(bar->value());
}

void ResultView::wheelEvent(QWheelEvent* e)
{
    if (bar->maximum() < 1)
        return;
    const int dy = e->angleDelta().y();
    if (dy > 0)
        bar->setValue(bar->value() - rowHeight());
    else if (dy < 0)
        bar->setValue(bar->value() + rowHeight());
}

void ResultView::mouseMoveEvent(QMouseEvent* e)
{
    const QModelIndex index = indexAt(e->pos());
    if (!index.isValid()) {
        lastMouseY = -1;
        return;
    }
    const int y = int(std::lround(e->localPos().y()));
    if (y == lastMouseY)
        return;
    lastMouseY = y;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (fontMetrics().horizontalAdvance(text) <= width() - bar->width()) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(e->globalPos(), text, this, visualRect(index));
}
