#pragma once

#include <QFrame>

// Background of the oscilloscope side panels: a light band over a darker body.
class OscTabFrame : public QFrame
{
    Q_OBJECT
public:
    explicit OscTabFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};
