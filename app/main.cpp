#include "app/core/config.h"
#include "app/core/lang.h"
#include "app/mainwindow.h"
#include "app/signalcloser.h"
#include "device/devbase.h"
#include "device/devinit.h"
#include "device/devsupport.h"
#include "device/smpctrlfactory.h"
#include "device/smpsimulate.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    int ret = 0;
    {
        QApplication app(argc, argv);
        SignalCloser closer;
        Config::init();
        Lang::init();
        Config::createFont();
        QApplication::setFont(Config::fontNormal);

        // Without an instrument, captures come from the demo generator.
        SmpCtrlFactory::install([](DevBase* dev) -> QThread* { return new SmpSimulate(dev); });
        const int model = Config::getDevModel();
        // The transport first (it starts the hot-plug monitor), then the device
        // object, then the start-up controller that connects it.
        devSupport = new DevSupport;
        devUsing = DevBase::createDevice(model);
        devInit = new DevInit;

        MainWindow* w = new MainWindow(nullptr);
        closer.setWindow(w);
        w->show();
        ret = QApplication::exec();
        closer.setWindow(nullptr);
        // In reverse: each one goes only once nothing that reads it is left.
        delete w;
        delete devInit;
        devInit = nullptr;
        delete devUsing;
        devUsing = nullptr;
        delete devSupport;
        devSupport = nullptr;
    }
    return ret;
}
