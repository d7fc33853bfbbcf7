#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// Turns SIGTERM, SIGINT and SIGHUP into a normal close of the main window, so
// a session logout or a terminal Ctrl+C still stops the capture and saves
// the settings. The signal handler only writes to a pipe; the rest runs in
// the event loop.
class SignalCloser : public QObject
{
    Q_OBJECT

public:
    explicit SignalCloser(QObject* parent = nullptr);
    ~SignalCloser() override;

    void setWindow(QWidget* w) { window = w; }

private:
    void onSignal();
    static void handler(int sig);

    static int fds[2];
    QSocketNotifier* notifier = nullptr;
    QWidget* window = nullptr;
};
