#pragma once

#include <QThread>

#include <atomic>
#include <climits>
#include <mutex>

// Runs libusb's event loop (which also completes the asynchronous bulk
// transfers) and reports changes of the number of USB devices to the GUI
// thread, where the registered notification function is called.
class UsbMonitor : public QThread
{
    Q_OBJECT
public:
    using NotifyFn = void (*)();

    UsbMonitor();
    ~UsbMonitor() override;

    void setNotification(NotifyFn fn);
    // Ends the event loop and joins the thread, waiting up to ms (safe when
    // never started); false when it still runs.
    bool stop(unsigned long ms = ULONG_MAX);

signals:
    void sigDevListChanged();

public slots:
    void slotDevListChanged();

protected:
    void run() override;

private:
    static int countDevices();

    std::atomic<NotifyFn> notifyFn{nullptr};
    std::atomic<bool> quit{false};
    // Held by run() while it runs and taken by stop() after the join, so
    // thread checkers that do not see Qt's join still see the order.
    std::mutex endMutex;
};
