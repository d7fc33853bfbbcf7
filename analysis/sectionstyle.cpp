#include "analysis/sectionstyle.h"

#include "app/core/config.h"
#include "widgets/mybutton.h"

#include <QGridLayout>
#include <QLabel>

namespace SectionStyle {

QString expandIcon(bool open)
{
    return open ? QStringLiteral(":/res/btnExpand") : QStringLiteral(":/res/btnCollapse");
}

static void iconOnly(MyButton* b, const QString& icon, int hoverGrey, int radius)
{
    const int p16 = Config::pixel(16);
    b->setFixedSize(p16, p16);
    b->setIconSize(QSize(p16, p16));
    if (!icon.isEmpty())
        b->setIcon(QIcon(icon));
    b->normalColor = QColor(0, 0, 0, 0);
    b->hoverColor = Config::grayColor[hoverGrey];
    b->gradientNormal = false;
    b->gradientHover = false;
    b->setBorderRadius(radius);
}

void expandButton(MyButton* b)
{
    iconOnly(b, QString(), 5, Config::pixel(2));
}

void flatButton(MyButton* b)
{
    b->normalColor = Config::grayColor[6];
    b->hoverColor = Config::grayColor[5];
    b->borderWidth = Config::pixel(1);
    b->setBorderRadius(Config::pixel(3));
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
    t.title = new QLabel(title, owner);
    t.title->setFixedHeight(Config::pixel(16));
    t.title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
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
