#include "app/core/config.h"
#include "app/core/lang.h"
#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    int ret = 0;
    {
        QApplication app(argc, argv);
        Config::init();
        Lang::init();
        Config::createFont();
        QApplication::setFont(Config::fontNormal);

        MainWindow* w = new MainWindow(nullptr);
        w->show();
        ret = QApplication::exec();
        delete w;
    }
    return ret;
}
