#include "analysis/sectionstyle.h"

#include "core/config.h"
#include "widgets/oscpanelkit.h"
#include "widgets/mybutton.h"

#include <QGridLayout>
#include <QLabel>

namespace SectionStyle {

QString expandIcon(bool open)
{
    return open ? QStringLiteral(":/res/btnExpand") : QStringLiteral(":/res/btnCollapse");
}

// The oscilloscope panels' buttons look the same: one kit draws both.
static void iconOnly(MyButton* b, const QString& icon, int hoverGrey, int radius)
{
    OscPanelKit::styleFlat(b, Config::grayColor[hoverGrey], radius);
    if (!icon.isEmpty())
        b->setIcon(QIcon(icon));
}

void expandButton(MyButton* b)
{
    iconOnly(b, QString(), 5, Config::pixel(2));
}

void flatButton(MyButton* b)
{
    OscPanelKit::styleFramed(b);
}

void toolButton(MyButton* b, const QString& icon)
{
    const int p1 = Config::pixel(1);
    const int p16 = Config::pixel(16);
    b->setFixedSize(int(2 * p1 + 1.5 * p16), p16 + 2 * p1);
    b->setIconSize(QSize(p16, p16));
    b->setIcon(QIcon(icon));
    flatButton(b);
}

void rowIconButton(MyButton* b, const QString& icon)
{
    iconOnly(b, icon, 4, Config::pixel(16) / 2);
}

TitleBar titleBar(QWidget* owner, QGridLayout* grid, const QString& title, const QString& toolIcon)
{
    TitleBar t;
    t.expand = new MyButton(owner);
    expandButton(t.expand);
    t.title = OscPanelKit::title(title, owner);
    t.tool = new MyButton(owner);
    toolButton(t.tool, toolIcon);
    grid->addWidget(t.expand, 0, 0);
    grid->addWidget(t.title, 0, 1);
    grid->addWidget(t.tool, 0, 2);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(Config::pixel(6));
    return t;
}

} // namespace SectionStyle
