#pragma once

#include <QPushButton>

// On/off slide switch. It never flips itself: the owner handles clicked,
// flips switchOn, calls update() and applies the new state.
class MySwitch : public QPushButton
{
public:
    explicit MySwitch(QWidget* parent = nullptr);

    bool switchOn = false;

protected:
    void paintEvent(QPaintEvent* e) override;
};
