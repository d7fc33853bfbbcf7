#pragma once

#include <QString>
#include <QWidget>

// One line of text (connection state or capture phase) over two progress
// bars: green for the capture, blue for the read-out.
class StatusBar : public QWidget
{
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void setConnectSta(bool connected);
    // Shows the text only; the bars and the screen update at the next repaint.
    void setDataReview(bool connected);
    // state: the device's sampling state (0 started ... 4 reading, others idle);
    // value: percent, clamped to 0..100.
    void setSmpProgress(int state, int value);

    bool isConnected() const { return connected; }
    int bar1() const { return value1; }
    int bar2() const { return value2; }
    QString text() const { return txt; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    bool connected = false;
    int value1 = 0;
    int value2 = 0;
    QString txt;
};
