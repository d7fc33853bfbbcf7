#include "updater/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int rc;
    {
        MainWindow w;
        w.show();
        rc = app.exec();
    }
    return rc;
}
