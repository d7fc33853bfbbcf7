#include "device/usbmonitor.h"

#include <libusb.h>

UsbMonitor::UsbMonitor()
{
    // The object lives in the GUI thread, so the notification runs there.
    connect(this, &UsbMonitor::sigDevListChanged, this, &UsbMonitor::slotDevListChanged);
}

UsbMonitor::~UsbMonitor()
{
    stop();
}

void UsbMonitor::setNotification(NotifyFn fn)
{
    notifyFn.store(fn);
}

bool UsbMonitor::stop(unsigned long ms)
{
    if (!isRunning())
        return true;
    // Killing the thread while it may hold libusb's locks could deadlock
    // libusb_exit; wake it instead and let it leave on its own.
    quit.store(true);
    libusb_interrupt_event_handler(nullptr);
    if (!wait(ms))
        return false;
    std::lock_guard<std::mutex> joined(endMutex);
    return true;
}

void UsbMonitor::slotDevListChanged()
{
    if (NotifyFn fn = notifyFn.load())
        fn();
}

int UsbMonitor::countDevices()
{
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(nullptr, &list);
    if (list)
        libusb_free_device_list(list, 1);
    return n < 0 ? -1 : int(n);
}

void UsbMonitor::run()
{
    std::lock_guard<std::mutex> running(endMutex);
    int last = countDevices();
    while (!quit.load()) {
        const int r = libusb_handle_events(nullptr);
        if (quit.load())
            break;
        // An event loop that fails at once would spin: pause before the next try.
        if (r != 0 && r != LIBUSB_ERROR_INTERRUPTED && r != LIBUSB_ERROR_TIMEOUT)
            QThread::msleep(50);
        const int n = countDevices();
        if (n != last) {
            last = n;
            emit sigDevListChanged();
        }
    }
}
