#pragma once

#include <QMenu>

// Pop-up panel of settings widgets in a light style that stays open while
// its entries are used (same release rule as MyMenu).
class MenuDialog : public QMenu
{
public:
    explicit MenuDialog(QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};
