#include "device/devsupport.h"

#include "device/usbmonitor.h"
#include "device/usbrequests.h"

#include <QSemaphore>
#include <QThread>

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// One opened instrument. Operations hold it while they run; whoever lets go
// of it last (closeDev, or an operation that was still running) closes it.
struct OpenDev {
    OpenDev(libusb_device_handle* h, uint8_t in, uint8_t out) : handle(h), epIn(in), epOut(out) {}
    ~OpenDev()
    {
        // Nothing is left to report to: a release that fails (the device
        // is gone) changes nothing, the handle is closed next either way.
        if (claimed.load())
            (void)libusb_release_interface(handle, 0);
        libusb_close(handle);
    }
    OpenDev(const OpenDev&) = delete;
    OpenDev& operator=(const OpenDev&) = delete;

    libusb_device_handle* const handle;
    const uint8_t epIn;
    const uint8_t epOut;
    std::atomic<bool> claimed{false};
    std::vector<libusb_transfer*> active;  // submitted bulk IN transfers; under State::m
};

struct XferState {
    std::atomic<bool> done{false};
    QSemaphore* sem = nullptr;
};

void LIBUSB_CALL onTransferDone(libusb_transfer* t)
{
    auto* st = static_cast<XferState*>(t->user_data);
    // The read may return as soon as it sees done: st is not touched after.
    QSemaphore* sem = st->sem;
    st->done.store(true);
    sem->release();
}

constexpr int ctrlTimeout = 2000;
constexpr int bulkOutTimeout = 3000;
constexpr int bulkInTimeout = 2800;
constexpr int descTimeout = 1000;
constexpr int maxConfigDesc = 4096;

}  // namespace

std::atomic<int> DevSupport::closeTimeoutMs{10000};

// The USB layer's state: owned by the DevSupport object, guarded by m.
struct DevSupport::State {
    std::mutex m;
    std::condition_variable idle;
    std::atomic<bool> usbReady{false};
    std::shared_ptr<OpenDev> dev;  // the open instrument, null when none
    int busAddress = -1;
    int users = 0;                 // operations running, on any device
    std::atomic<int> openErr{0};
    // One permit per completed asynchronous transfer. It outlives every read,
    // as a completion may still be releasing it when its read has returned.
    QSemaphore completion{0};
    // One bulk read at a time: reads share the completion permits.
    std::mutex readLock;
};

// Holds the open device for one operation.
class DevSupport::HandleUse
{
public:
    explicit HandleUse(State& st) : s(st)
    {
        std::lock_guard<std::mutex> lk(s.m);
        dev = s.dev;
        if (dev)
            ++s.users;
    }
    ~HandleUse()
    {
        if (!dev)
            return;
        // Closes the device when this was its last holder; outside the lock,
        // and counted as running until done, so the destructor waits for it.
        dev.reset();
        std::lock_guard<std::mutex> lk(s.m);
        if (--s.users == 0)
            s.idle.notify_all();
    }
    HandleUse(const HandleUse&) = delete;
    HandleUse& operator=(const HandleUse&) = delete;

    libusb_device_handle* h() const { return dev ? dev->handle : nullptr; }
    // Still the open device (not closed since this operation began)? Under State::m.
    bool current() const { return s.dev == dev; }

    State& s;
    std::shared_ptr<OpenDev> dev;
};

DevSupport::DevSupport() : d(new State)
{
    monitor = new UsbMonitor;
    const int first = libusb_init(nullptr);
    const int second = libusb_init(nullptr);
    initCount = (first == 0) + (second == 0);
    if (second == 0) {
        d->usbReady = true;
        monitor->start();
    }
}

DevSupport::~DevSupport()
{
    // Close first: a running read still needs the monitor to complete its
    // transfers. Every thread that uses the transport has been joined by its
    // owner by now; an operation still running here ends with its time-out,
    // or is given up after the bound.
    closeDev();
    bool idle;
    {
        std::unique_lock<std::mutex> lk(d->m);
        idle = d->idle.wait_for(lk, std::chrono::milliseconds(closeTimeoutMs.load()),
                                [this] { return d->users == 0; });
    }
    // A running thread is never deleted, nor what an operation still in
    // progress uses: its state, the library, and the event thread that
    // completes its transfers stay behind.
    if (!idle) {
        qWarning("VormelTAV: a USB transfer did not end; the USB layer is left behind");
        static_cast<void>(d.release());
        return;
    }
    if (!monitor->stop(ulong(closeTimeoutMs.load()))) {
        qWarning("VormelTAV: the USB event thread did not end; it is left behind");
        return;
    }
    delete monitor;
    monitor = nullptr;
    d->usbReady = false;
    for (; initCount > 0; --initCount)
        libusb_exit(nullptr);
}

bool DevSupport::registerNotification(void* fn)
{
    monitor->setNotification(reinterpret_cast<UsbMonitor::NotifyFn>(fn));
    return true;
}

bool DevSupport::isDevChangeNotification(void*)
{
    return false;
}

bool DevSupport::isUsbAvailable() const
{
    return d->usbReady;
}

bool DevSupport::isDevOpen() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->dev != nullptr;
}

int DevSupport::openError() const
{
    return d->openErr;
}

void DevSupport::closeDev()
{
    std::shared_ptr<OpenDev> old;
    {
        std::lock_guard<std::mutex> lk(d->m);
        old = std::move(d->dev);
        d->busAddress = -1;
        if (!old)
            return;
        // A read in progress ends with a cancelled transfer; every other
        // operation is bounded by its time-out. A cancel that finds the
        // transfer already completed fails harmlessly.
        for (libusb_transfer* t : old->active)
            (void)libusb_cancel_transfer(t);
    }
    // Closed here, or by the last operation still holding it.
}

int DevSupport::devRetrieve()
{
    State& s = *d;
    s.openErr = 0;
    if (!s.usbReady)
        return 0;
    bool opened;
    int address;
    {
        std::lock_guard<std::mutex> lk(s.m);
        opened = s.dev != nullptr;
        address = s.busAddress;
    }
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(nullptr, &list);
    int result = 0;
    if (n <= 0) {
        result = opened ? -1 : 0;
    } else if (opened) {
        result = -1;
        for (ssize_t i = 0; i < n; ++i)
            if (libusb_get_device_address(list[i]) == address)
                result = 0;
    } else {
        for (ssize_t i = 0; i < n && result == 0; ++i) {
            libusb_device_descriptor desc;
            if (libusb_get_device_descriptor(list[i], &desc) != 0 || desc.idVendor != makerVendorId)
                continue;
            const uint8_t out = desc.idProduct == 0x01A3 ? 0x00 : 0x02;
            const uint8_t in = desc.idProduct == 0x01A3 ? 0x82 : 0x86;
            vendorId = desc.idVendor;
            productId = desc.idProduct;
            usbVersion = desc.bcdUSB;
            epOut = out;
            epIn = in;
            libusb_device_handle* h = nullptr;
            for (int attempt = 0; attempt < 20 && !h; ++attempt) {
                QThread::msleep(50);
                if (libusb_open(list[i], &h) != 0)
                    h = nullptr;
            }
            if (!h)
                continue;
            {
                auto dev = std::make_shared<OpenDev>(h, in, out);
                std::lock_guard<std::mutex> lk(s.m);
                s.dev = std::move(dev);
                s.busAddress = libusb_get_device_address(list[i]);
            }
            bool ok = true;
            if (libusb_kernel_driver_active(h, 0) == 1)
                ok = libusb_detach_kernel_driver(h, 0) == 0;
            if (ok && devInitCheck())
                result = 1;
            else
                closeDev();
        }
    }
    if (result == -1 && opened)
        closeDev();
    if (list)
        libusb_free_device_list(list, 1);
    return result;
}

bool DevSupport::devInitCheck()
{
    unsigned char head[9];
    int done = 0;
    if (ctrlTransfer(LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR, LIBUSB_DT_CONFIG << 8, 0, head, 9,
                     descTimeout, &done) != 0 || done < 9)
        return false;
    const int total = head[2] | head[3] << 8;
    if (total < 9 || total > maxConfigDesc)
        return false;
    std::vector<unsigned char> desc(size_t(total), 0);
    if (ctrlTransfer(LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR, LIBUSB_DT_CONFIG << 8, 0, desc.data(), total,
                     descTimeout, &done) != 0 || done != total)
        return false;

    // Walk the descriptors by their own length and type; anything that
    // claims to run past what was received is refused.
    int pos = 0;
    int iface = -1;
    while (pos + 2 <= total) {
        const int len = desc[pos];
        if (len < 2 || pos + len > total)
            return false;
        if (desc[pos + 1] == LIBUSB_DT_INTERFACE && len >= 9) {
            iface = pos;
            break;
        }
        pos += len;
    }
    if (iface < 0)
        return false;
    const int numEp = desc[iface + 4];
    const uint8_t in = epIn;
    int maxPacket = -1;
    pos = iface + desc[iface];
    for (int seen = 0; seen < numEp && pos + 2 <= total;) {
        const int len = desc[pos];
        if (len < 2 || pos + len > total)
            return false;
        const int type = desc[pos + 1];
        if (type == LIBUSB_DT_INTERFACE)
            break;
        if (type == LIBUSB_DT_ENDPOINT && len >= 7) {
            ++seen;
            if (desc[pos + 2] == in) {
                maxPacket = desc[pos + 4] | desc[pos + 5] << 8;
                break;
            }
        }
        pos += len;
    }
    if (maxPacket <= 0) {  // no endpoints, no bulk IN, or no packets: no firmware yet
        isOpenReady = false;
        return true;
    }
    {
        HandleUse use(*d);
        if (!use.h())
            return false;
        // Another program holding the interface would make every transfer
        // fail later: refuse the device now and say why.
        if (libusb_claim_interface(use.h(), 0) != 0) {
            d->openErr = UsbErrTransfer;
            return false;
        }
        use.dev->claimed = true;
        if (libusb_set_interface_alt_setting(use.h(), 0, 0) != 0) {
            d->openErr = UsbErrTransfer;
            return false;
        }
    }
    if (maxPacket < 512) {
        bulkSize = 102400;
        if (usbVersion > 0x0110)
            usbVersion = 0x0110;
    } else {
        bulkSize = 1048576;
    }
    isOpenReady = true;
    return true;
}

int DevSupport::ctrlTransfer(uint8_t type, unsigned char req, unsigned short value, unsigned short index,
                             unsigned char* buf, int len, unsigned timeout, int* done)
{
    HandleUse use(*d);
    if (!use.h())
        return UsbErrNoDevice;
    const int r = libusb_control_transfer(use.h(), type, req, value, index, buf, uint16_t(len), timeout);
    if (done)
        *done = r;
    return r < 0 ? UsbErrTransfer : UsbOk;
}

int DevSupport::ctrlRead(unsigned char req, unsigned short value, unsigned char* buf, int len, int* done)
{
    return ctrlTransfer(LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE, req, value, 0,
                        buf, len, ctrlTimeout, done);
}

int DevSupport::ctrlWrite(unsigned char req, unsigned short value, unsigned char* buf, int len, int* done)
{
    return ctrlTransfer(LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE, req, value, 0,
                        buf, len, ctrlTimeout, done);
}

int DevSupport::ctrlWriteRAM(unsigned int addr, unsigned char* buf, int len)
{
    int done = 0;
    const int r = ctrlTransfer(LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE, UsbReq::Ram,
                               uint16_t(addr & 0xFFFF), uint16_t(addr >> 16), buf, len, ctrlTimeout, &done);
    if (r != 0)
        return r;
    return done < len ? UsbErrTransfer : UsbOk;
}

int DevSupport::manuBulkWrite(unsigned char* buf, int len, int* done)
{
    HandleUse use(*d);
    if (!use.h())
        return UsbErrNoDevice;
    int moved = 0;
    const int r = libusb_bulk_transfer(use.h(), use.dev->epOut, buf, len, &moved, bulkOutTimeout);
    if (done)
        *done = moved;
    return r < 0 ? UsbErrTransfer : UsbOk;
}

int DevSupport::autoBulkRead(int total)
{
    HandleUse use(*d);
    InterfaceDevCallback* cb = devCallback;
    if (!use.h() || !cb)
        return UsbErrNoDevice;
    State& s = *d;
    std::lock_guard<std::mutex> one(s.readLock);
    QSemaphore& sem = s.completion;
    sem.tryAcquire(sem.available());

    struct Slot {
        libusb_transfer* t = nullptr;
        unsigned char* buf = nullptr;
        XferState st;
        bool submitted = false;
    };
    Slot slot[2];
    const int size = bulkSize;
    const unsigned char ep = use.dev->epIn;
    OpenDev& od = *use.dev;

    auto release = [&] {
        for (Slot& x : slot) {
            libusb_free_transfer(x.t);
            free(x.buf);
        }
    };
    auto submit = [&](Slot& x) {
        x.st.sem = &sem;
        libusb_fill_bulk_transfer(x.t, use.h(), ep, x.buf, size, onTransferDone, &x.st, bulkInTimeout);
        x.st.done.store(false);
        std::lock_guard<std::mutex> lk(s.m);
        // A closed device takes no new transfers.
        if (!use.current() || libusb_submit_transfer(x.t) != 0)
            return false;
        x.submitted = true;
        od.active.push_back(x.t);
        return true;
    };
    // Waits for the completion of x; permits taken for the other transfer
    // are accounted for by its done flag.
    auto await = [&](Slot& x) {
        while (!x.st.done.load())
            sem.acquire();
        x.submitted = false;
        std::lock_guard<std::mutex> lk(s.m);
        od.active.erase(std::remove(od.active.begin(), od.active.end(), x.t), od.active.end());
    };

    for (Slot& x : slot) {
        x.t = libusb_alloc_transfer(0);
        x.buf = static_cast<unsigned char*>(malloc(size_t(size)));
        if (!x.t || !x.buf) {
            release();
            return UsbErrNoMemory;
        }
    }
    long long requested = 0;
    long long received = 0;
    if (!submit(slot[0])) {
        release();
        return UsbErrAsync;
    }
    requested += size;
    if (total == 0 || total > size) {
        if (!submit(slot[1])) {
            {
                std::lock_guard<std::mutex> lk(s.m);
                (void)libusb_cancel_transfer(slot[0].t);
            }
            await(slot[0]);
            release();
            return UsbErrAsync;
        }
        requested += size;
    }
    cb->devCbPostSmpStart();

    int result = UsbOk;
    int cur = 0;
    for (;;) {
        Slot& x = slot[cur];
        if (!x.submitted) {
            // With no transfer left the data is short: return and let the
            // caller report it, instead of waiting for nothing.
            if (!slot[1 - cur].submitted) {
                result = UsbOk;
                break;
            }
            cur = 1 - cur;
            continue;
        }
        await(x);
        const int status = x.t->status;
        const int n = x.t->actual_length;
        if (status != LIBUSB_TRANSFER_COMPLETED || n <= 0) {
            if (status == LIBUSB_TRANSFER_TIMED_OUT && n > 0) {
                // What arrived before the time-out is still valid data.
                unsigned char* b = x.buf;
                x.buf = nullptr;
                cb->devCbAutoBulkRead(b, n);
            }
            result = UsbErrAsync;
            break;
        }
        unsigned char* b = x.buf;
        x.buf = nullptr;
        cb->devCbAutoBulkRead(b, n);
        if (total > 0) {
            received += n;
            if (received >= total) {
                result = UsbOk;
                break;
            }
            if (requested >= total) {
                cur = 1 - cur;
                continue;
            }
        } else if (n < size) {
            result = UsbOk;
            break;
        }
        x.buf = static_cast<unsigned char*>(malloc(size_t(size)));
        if (!x.buf) {
            result = UsbErrNoMemory;
            break;
        }
        if (!submit(x)) {
            result = UsbErrAsync;
            break;
        }
        requested += size;
        cur = 1 - cur;
    }

    for (Slot& x : slot) {
        if (!x.submitted)
            continue;
        {
            // Fails harmlessly when the transfer has completed meanwhile.
            std::lock_guard<std::mutex> lk(s.m);
            (void)libusb_cancel_transfer(x.t);
        }
        await(x);
    }
    release();
    return result;
}

void DevSupport::setAutoReadBufSize(long long r)
{
    if (r < 1)
        return;
    const long long bytesPerSecond = r >> 3;
    // bulkSize is an int: the largest power of two it holds bounds the growth.
    constexpr long long maxSize = 1LL << 30;
    long long size = 1048576;
    for (;;) {
        const double t = bytesPerSecond > 0 ? double(size) / double(bytesPerSecond)
                                            : std::numeric_limits<double>::infinity();
        if (t > 0.2) {
            if (size < 4098) {
                bulkSize = 2048;
                return;
            }
            size /= 2;
        } else if (t < 0.05) {
            if (size >= maxSize) {
                bulkSize = int(maxSize);
                return;
            }
            size *= 2;
        } else {
            bulkSize = int(size);
            return;
        }
    }
}
