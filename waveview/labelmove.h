#pragma once
// The channel number strip of a row, also its drag handle: reports press,
// release and the vertical distance dragged since the press.

#include <QLabel>

class LabelMove : public QLabel
{
    Q_OBJECT

public:
    explicit LabelMove(QWidget* parent = nullptr);

    int chnIndex = 0;

signals:
    // mouseFlag 1 press, 2 release, 3 move; move in pixels since the press.
    void channelMoveCallback(int mouseFlag, int movedPhyIndex, int move);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    double pressX = 0;
    double pressY = 0;
};
