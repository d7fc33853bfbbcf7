#pragma once

#include <QMenu>

// Menu whose entries trigger in place and keep it open, unless the entry's
// action carries the property "canHideMenu" with the text "true".
class MyMenu : public QMenu
{
public:
    explicit MyMenu(QWidget* parent = nullptr);

    // True when a release on this action should take the normal path
    // (trigger and close, or nothing for separators, sub-menus, disabled entries).
    static bool releaseClosesMenu(const QAction* action);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};
