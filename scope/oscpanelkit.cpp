#include "scope/oscpanelkit.h"

#include "app/core/config.h"
#include "device/devbase.h"
#include "widgets/mybutton.h"
#include "widgets/osctabframe.h"

#include <QHBoxLayout>
#include <QIcon>

OscTabFrame* OscPanelKit::header(QWidget* parent, QHBoxLayout** layout)
{
    auto* frame = new OscTabFrame(parent);
    frame->setFixedHeight(Config::pixel(24) - Config::pixel(2));
    auto* lay = new QHBoxLayout(frame);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    *layout = lay;
    return frame;
}

MyButton* OscPanelKit::collapseButton(QWidget* parent)
{
    auto* b = new MyButton(parent);
    b->setFixedSize(Config::pixel(16), Config::pixel(16));
    b->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    b->normalColor = QColor(0, 0, 0, 0);
    b->hoverColor = Config::grayColor.value(5);
    b->gradientNormal = false;
    b->gradientHover = false;
    b->setBorderRadius(Config::pixel(2));
    return b;
}

QString OscPanelKit::frameStyle()
{
    return QStringLiteral("QFrame{background-color:#3f3f3f;color:#f7f7f7;border:") + QString::number(Config::pixel(1))
           + QStringLiteral("px solid #afafaf;border-radius:0;}");
}

void OscPanelKit::showExpanded(QWidget* panel, MyButton* button, bool expanded, int expandedHeight)
{
    button->setIcon(QIcon(expanded ? QStringLiteral(":/res/btnExpand") : QStringLiteral(":/res/btnCollapse")));
    panel->setFixedHeight(expanded ? expandedHeight : Config::pixel(24));
}

SmpPause::SmpPause()
{
    if (devUsing)
        devUsing->smpStopForRestart();
}

SmpPause::~SmpPause()
{
    if (devUsing)
        devUsing->smpRestartIfNeed();
}
