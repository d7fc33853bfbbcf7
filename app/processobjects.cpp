#include "app/processobjects.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "device/devinit.h"
#include "device/devsupport.h"
#include "device/smpctrlfactory.h"
#include "device/smpsimulate.h"

#include <QApplication>

void ProcessObjects::initLanguageAndFonts()
{
    Lang::init();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);
}

void ProcessObjects::createDevices()
{
    SmpCtrlFactory::install([](DevBase* dev) -> QThread* { return new SmpSimulate(dev); });
    const int model = Config::getDevModel();
    devSupport = new DevSupport;
    devUsing = DevBase::createDevice(model);
    devInit = new DevInit;
}

void ProcessObjects::deleteDevices()
{
    delete devInit;
    devInit = nullptr;
    DevBase::deleteWhenStopped(devUsing);
    devUsing = nullptr;
    delete devSupport;
    devSupport = nullptr;
}
