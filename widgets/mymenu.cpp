#include "widgets/mymenu.h"

#include <QMouseEvent>

MyMenu::MyMenu(QWidget* parent)
    : QMenu(parent)
{
}

bool MyMenu::releaseClosesMenu(const QAction* action)
{
    if (!action)
        return true;
    // Entries a plain menu would not trigger are left to it.
    if (action->isSeparator() || action->menu() || !action->isEnabled())
        return true;
    return action->property("canHideMenu").toString() == QLatin1String("true");
}

void MyMenu::mouseReleaseEvent(QMouseEvent* e)
{
    QAction* action = actionAt(e->localPos().toPoint());
    if (releaseClosesMenu(action)) {
        QMenu::mouseReleaseEvent(e);
        return;
    }
    action->activate(QAction::Trigger);
}
