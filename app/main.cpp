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
#include <QKeySequence>
#include <QShortcut>
#include <QTimer>

namespace {

// Hot-plug notification: called in the GUI thread on every USB change.
void libusbHotplugCallback()
{
    if (devInit)
        devInit->init();
}

// The start-up thread waits in DevInit until this has run: the device object
// becomes one of the attached model before it is connected.
void devPreConnect(int model)
{
    if (devUsing && int(devUsing->devModel) == model)
        return;
    delete devUsing;
    devUsing = DevBase::createDevice(model);
}

} // namespace

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
        devSupport = new DevSupport;
        devUsing = DevBase::createDevice(model);
        devInit = new DevInit;
        QObject::connect(devInit, &DevInit::sigDevPreConnect, devInit, &devPreConnect);

        MainWindow* w = new MainWindow(nullptr);
        closer.setWindow(w);
        // F5 starts a single capture (the toolbar's single button, until the
        // toolbar takes the shortcut over).
        auto* single = new QShortcut(QKeySequence(Qt::Key_F5), w);
        single->setAutoRepeat(false);
        QObject::connect(single, &QShortcut::activated, [] {
            if (devUsing)
                devUsing->smpStart(SmpStartSingle);
        });
        w->show();
        devSupport->registerNotification(reinterpret_cast<void*>(&libusbHotplugCallback));
        QTimer::singleShot(200, Qt::CoarseTimer, devInit, &libusbHotplugCallback);
        ret = QApplication::exec();
        closer.setWindow(nullptr);
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
