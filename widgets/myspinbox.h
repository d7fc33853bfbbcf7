#pragma once

#include <QSpinBox>

// Spin box that finishes editing on Return by giving up the keyboard focus.
class MySpinBox : public QSpinBox
{
    Q_OBJECT
public:
    explicit MySpinBox(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* e) override;
};
