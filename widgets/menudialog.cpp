#include "widgets/menudialog.h"

#include "core/config.h"
#include "widgets/kitstyle.h"
#include "widgets/mymenu.h"

#include <QMouseEvent>

MenuDialog::MenuDialog(QWidget* parent)
    : QMenu(parent)
{
    setStyleSheet(QStringLiteral("QMenu{background-color:#F0F0F0; color:black;}") + KitStyle::groupBox());
    setContentsMargins(Config::pixel(8), Config::pixel(10), Config::pixel(8), Config::pixel(6));
}

void MenuDialog::mouseReleaseEvent(QMouseEvent* e)
{
    QAction* action = actionAt(e->localPos().toPoint());
    if (MyMenu::releaseClosesMenu(action)) {
        QMenu::mouseReleaseEvent(e);
        return;
    }
    action->activate(QAction::Trigger);
}
