#include "widgets/oscpanelkit.h"

#include "core/config.h"
#include "widgets/mybutton.h"
#include "widgets/myswitch.h"
#include "widgets/osctabframe.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>

OscPanelKit::Header OscPanelKit::header(QWidget* parent, const QString& title, bool titleExpands)
{
    Header h;
    h.frame = new OscTabFrame(parent);
    h.frame->setFixedHeight(Config::pixel(24) - Config::pixel(2));
    h.layout = new QHBoxLayout(h.frame);
    h.layout->setContentsMargins(0, 0, 0, 0);
    h.layout->setSpacing(0);
    h.drop = collapseButton(h.frame);
    h.title = new QLabel(title, h.frame);
    if (titleExpands)
        h.title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    h.layout->addWidget(h.drop, 1);
    h.layout->addWidget(h.title);
    return h;
}

MySwitch* OscPanelKit::headerSwitch(QWidget* parent)
{
    const int px1 = Config::pixel(1);
    auto* sw = new MySwitch(parent);
    sw->setFixedSize(Config::pixel(30), Config::pixel(18));
    sw->setContentsMargins(2 * px1, 2 * px1, 2 * px1, 2 * px1);
    return sw;
}

QVBoxLayout* OscPanelKit::column(QFrame* panel, const QString& style, int spacing)
{
    panel->setStyleSheet(frameStyle() + style);
    panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* lay = new QVBoxLayout(panel);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(spacing);
    return lay;
}

MyButton* OscPanelKit::collapseButton(QWidget* parent)
{
    auto* b = new MyButton(parent);
    styleFlat(b, Config::grayColor.value(5), Config::pixel(2));
    return b;
}

void OscPanelKit::styleFlat(MyButton* b, const QColor& hover, int radius)
{
    b->setFixedSize(Config::pixel(16), Config::pixel(16));
    b->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    b->normalColor = QColor(0, 0, 0, 0);
    b->hoverColor = hover;
    b->gradientNormal = false;
    b->gradientHover = false;
    b->setBorderRadius(radius);
}

void OscPanelKit::styleFramed(MyButton* b)
{
    b->normalColor = Config::grayColor.value(6);
    b->hoverColor = Config::grayColor.value(5);
    b->borderWidth = Config::pixel(1);
    b->setBorderRadius(Config::pixel(3));
}

QLabel* OscPanelKit::title(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFixedHeight(Config::pixel(16));
    l->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return l;
}

QGridLayout* OscPanelKit::panelGrid(QWidget* panel, QWidget* deploy, QWidget* title, QWidget* set, QWidget* body)
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

bool OscPanelKit::finishEdit(QLineEdit* edit)
{
    if (!edit->hasFocus())
        return false;
    edit->clearFocus();
    return true;
}

QList<QAction*> OscPanelKit::trimMenu(QMenu* menu, int n)
{
    QList<QAction*> entries = menu->actions();
    while (entries.size() > qMax(n, 0)) {
        QAction* a = entries.takeLast();
        menu->removeAction(a);
        delete a;
    }
    return entries;
}

QString OscPanelKit::frameStyle()
{
    return QStringLiteral("QFrame{background-color:#3f3f3f;color:#f7f7f7;border:") + QString::number(Config::pixel(1))
           + QStringLiteral("px solid #afafaf;border-radius:0;}");
}

void OscPanelKit::showExpanded(QWidget* panel, MyButton* button, bool expanded, int expandedHeight)
{
    showExpandIcon(button, expanded);
    panel->setFixedHeight(expanded ? expandedHeight : Config::pixel(24));
}

void OscPanelKit::showExpandIcon(MyButton* button, bool expanded)
{
    button->setIcon(QIcon(expanded ? QStringLiteral(":/res/btnExpand") : QStringLiteral(":/res/btnCollapse")));
}
