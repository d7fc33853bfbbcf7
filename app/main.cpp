#include "core/config.h"
#include "app/mainwindow.h"
#include "app/processobjects.h"
#include "app/signalcloser.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    int ret = 0;
    {
        QApplication app(argc, argv);
        SignalCloser closer;
        Config::init();
        ProcessObjects::initLanguageAndFonts();
        ProcessObjects::createDevices();

        MainWindow* w = new MainWindow(nullptr);
        closer.setWindow(w);
        w->show();
        ret = QApplication::exec();
        closer.setWindow(nullptr);
        delete w;
        ProcessObjects::deleteDevices();
    }
    return ret;
}
