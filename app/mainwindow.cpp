#include "app/mainwindow.h"

#include "app/core/config.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMimeData>
#include <QPalette>
#include <QtGlobal>

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent)
{
    Config::initResources();
    setWindowIcon(QIcon(QStringLiteral(":/res/Logo.ico")));
    setWindowTitle(QStringLiteral("VormelTAV"));
    setMinimumSize(Config::pixel(800), Config::pixel(320));
    setGeometry(Config::windowPosition);
    if (Config::readGlobalParam(QStringLiteral("windowMaximized")).toInt() != 0)
        setWindowState(windowState() | Qt::WindowMaximized);
    setAcceptDrops(true);

    QPalette pal = palette();
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        pal.setBrush(QPalette::ColorGroup(g), QPalette::Window, Config::grayColor.value(5));
    setPalette(pal);
    setAutoFillBackground(true);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    closing = true;
    const bool maximized = isMaximized();
    if (!maximized) {
        const QRect g = geometry();
        const int pos[4] = {g.x(), g.y(), g.right() - g.left() + 1, g.bottom() - g.top() + 1};
        Config::saveGlobalParam(QStringLiteral("windowPosition"), Config::IntArrayToString(pos, 4));
    }
    Config::saveGlobalParam(QStringLiteral("windowMaximized"), maximized ? QStringLiteral("1") : QStringLiteral("0"));
    if (!Config::close())
        qWarning("VormelTAV: the settings file %s could not be written", qPrintable(Config::cfgFile));
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    // Opening a dropped file arrives with the data-file service.
    Q_UNUSED(event);
}
