#pragma once

#include <QWidget>

// 16-pixel-wide lamp with the live level of one logic channel.
class ChnStaShow : public QWidget
{
public:
    explicit ChnStaShow(QWidget* parent = nullptr);

    void setSta(bool active, bool high, bool lamp);
    bool isActive() const { return active; }
    bool isHigh() const { return high; }
    bool isLamp() const { return lamp; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    bool active = false;
    bool high = false;
    bool lamp = false;
};
