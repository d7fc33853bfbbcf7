#pragma once

#include <QWidget>

class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;

// The program's only top-level window. It owns every panel and service of the
// program, lays them out and saves its geometry and the settings on close.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    bool isClosing() const { return closing; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool closing = false;
};
