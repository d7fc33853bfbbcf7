#pragma once
// The graphics view of the waveform area. It scrolls vertically only through
// its overlay bar (or the sidebar it is coupled to), never by the wheel, and
// reports mouse and wheel input to the area.

#include <QGraphicsView>
#include <QPoint>

class MyScrollbar;

class WaveView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit WaveView(QWidget* parent = nullptr);

    MyScrollbar* overlayBar() const { return scrollBar; }
    void setVScrollValue(int v);
    void setVScrollRang(int min, int max, int pageStep);
    // The vertical scroll value of the native bar (scene y at the top).
    int vScrollValue() const;

signals:
    void wheelChanged(int flag, QPoint point);
    void mouseLeave();
    void mousePressed(QMouseEvent* e);
    void mouseReleased(QMouseEvent* e);
    void mouseMoved(QMouseEvent* e);
    void vScrollValueChanged(qlonglong value);

public slots:
    void slotValueChanged(qlonglong value);
    void slotValueChangedErr(int value);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    MyScrollbar* scrollBar;
};
