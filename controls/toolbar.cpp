#include "controls/toolbar.h"

#include "core/config.h"
#include "controls/controlsresources.h"
#include "controls/devsetting.h"
#include "controls/pwmsetting.h"
#include "controls/smpctrl.h"
#include "controls/smpsetting.h"
#include "controls/smpzoom.h"
#include "device/devbase.h"

#include <QHBoxLayout>

Toolbar::Toolbar(QWidget* parent)
    : QWidget(parent)
{
    initControlsResources();
    setFixedHeight(Config::pixel(48));
    setContentsMargins(2, 2, 2, 2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QPalette pal = palette();
    pal.setColor(QPalette::All, QPalette::Window, Config::grayColor.value(5));
    setPalette(pal);
    setAutoFillBackground(true);

    devSet = new DevSetting;
    smpSet = new SmpSetting;
    pwm = new PWMSetting;
    ctrl = new SmpCtrl;
    zoom = new SmpZoom;

    auto* layout = new QHBoxLayout(this);
    layout->setAlignment(Qt::AlignLeft);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3 * Config::pixel(2));
    layout->addWidget(devSet);
    layout->addWidget(smpSet);
    layout->addWidget(ctrl);
    layout->addWidget(zoom);
    layout->addWidget(pwm);

    connect(devSet, &DevSetting::simDevModelChanged, this, &Toolbar::simDevModelChanged);
    connect(zoom, &SmpZoom::zoomValueChanged, this, &Toolbar::zoomValued);
}

void Toolbar::devModelChanged()
{
    const bool logic = devUsing->workMode == WorkModeLogic;
    devSet->devModelChanged();
    ctrl->devModelChanged();
    smpSet->devModelChanged();
    smpSet->setVisible(logic);
    zoom->setVisible(logic);
    pwm->updateSetting();
}

void Toolbar::devSmpModeChanged()
{
    devSet->devSmpModeChanged();
    smpSet->devSmpModeChanged();
}

void Toolbar::devConnectChanged(bool connected)
{
    ctrl->devConnectChanged(connected);
}

void Toolbar::slotShortcutF5()
{
    ctrl->slotSingleClicked();
}

void Toolbar::devSmpStaChanged(int sta)
{
    ctrl->devSmpStaChanged(sta);
}

void Toolbar::slotToolbarPWMEna()
{
    pwm->updateSetting();
}
