#include "scope/panelkit.h"

#include "app/core/config.h"
#include "widgets/mybutton.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>

namespace PanelKit {

void styleFlat(MyButton* b, const QColor& hover, int radius)
{
    b->setFixedSize(Config::pixel(16), Config::pixel(16));
    b->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    b->normalColor = QColor(0, 0, 0, 0);
    b->hoverColor = hover;
    b->gradientNormal = false;
    b->gradientHover = false;
    b->setBorderRadius(radius);
}

void styleFramed(MyButton* b)
{
    b->normalColor = Config::grayColor.value(6);
    b->hoverColor = Config::grayColor.value(5);
    b->borderWidth = Config::pixel(1);
    b->setBorderRadius(Config::pixel(3));
}

QLabel* title(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFixedHeight(Config::pixel(16));
    l->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return l;
}

QGridLayout* panelGrid(QWidget* panel, QWidget* deploy, QWidget* title, QWidget* set, QWidget* body)
{
    auto* g = new QGridLayout(panel);
    g->setContentsMargins(0, 0, 0, 0);
    g->setHorizontalSpacing(0);
    g->setVerticalSpacing(Config::pixel(6));
    g->addWidget(deploy, 0, 0);
    g->addWidget(title, 0, 1);
    g->addWidget(set, 0, 2);
    g->addWidget(body, 1, 0, 1, 3);
    return g;
}

QList<QAction*> trimMenu(QMenu* menu, int n)
{
    QList<QAction*> entries = menu->actions();
    while (entries.size() > qMax(n, 0)) {
        QAction* a = entries.takeLast();
        menu->removeAction(a);
        delete a;
    }
    return entries;
}

} // namespace PanelKit
