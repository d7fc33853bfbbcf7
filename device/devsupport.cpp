#include "device/devsupport.h"

#include "device/usbmonitor.h"

#include <QSemaphore>
#include <QThread>

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <vector>

namespace {

// Process-wide state of the USB layer: one instrument, one handle.
struct UsbState {
    std::mutex m;
    std::condition_variable idle;
    bool usbReady = false;
    libusb_device_handle* handle = nullptr;
    int busAddress = -1;
    bool closing = false;   // the handle is being closed: no new users
    int users = 0;          // operations currently using the handle
    std::vector<libusb_transfer*> active;  // submitted bulk IN transfers
};

UsbState& usb()
{
    static UsbState s;
    return s;
}

// One permit per completed asynchronous transfer.
QSemaphore& completionSem()
{
    static QSemaphore sem(0);
    return sem;
}

// Holds the handle for one operation, so that closing it waits until the
// operation has finished instead of pulling it away underneath.
class HandleUse
{
public:
    HandleUse()
    {
        UsbState& s = usb();
        std::lock_guard<std::mutex> lk(s.m);
        if (s.handle && !s.closing) {
            h = s.handle;
            ++s.users;
        }
    }
    ~HandleUse()
    {
        if (!h)
            return;
        UsbState& s = usb();
        std::lock_guard<std::mutex> lk(s.m);
        if (--s.users == 0)
            s.idle.notify_all();
    }
    HandleUse(const HandleUse&) = delete;
    HandleUse& operator=(const HandleUse&) = delete;

    libusb_device_handle* h = nullptr;
};

struct XferState {
    std::atomic<bool> done{false};
};

void LIBUSB_CALL onTransferDone(libusb_transfer* t)
{
    static_cast<XferState*>(t->user_data)->done.store(true);
    completionSem().release();
}

constexpr int ctrlTimeout = 2000;
constexpr int bulkOutTimeout = 3000;
constexpr int bulkInTimeout = 2800;
constexpr int descTimeout = 1000;
constexpr int maxConfigDesc = 4096;

}  // namespace

DevSupport::DevSupport()
{
    monitor = new UsbMonitor;
    const int first = libusb_init(nullptr);
    const int second = libusb_init(nullptr);
    initCount = (first == 0) + (second == 0);
    if (second == 0) {
        usb().usbReady = true;
        monitor->start();
    }
}

DevSupport::~DevSupport()
{
    // Close first: a running read still needs the monitor to complete its
    // transfers.
    closeDev();
    delete monitor;
    monitor = nullptr;
    usb().usbReady = false;
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
    return usb().usbReady;
}

bool DevSupport::isDevOpen() const
{
    UsbState& s = usb();
    std::lock_guard<std::mutex> lk(s.m);
    return s.handle != nullptr && !s.closing;
}

void DevSupport::closeDev()
{
    UsbState& s = usb();
    libusb_device_handle* h = nullptr;
    {
        std::unique_lock<std::mutex> lk(s.m);
        if (!s.handle || s.closing)
            return;
        s.closing = true;
        // A read in progress ends with a cancelled transfer; every other
        // operation is bounded by its time-out.
        for (libusb_transfer* t : s.active)
            libusb_cancel_transfer(t);
        s.idle.wait(lk, [&] { return s.users == 0; });
        h = s.handle;
        s.handle = nullptr;
        s.busAddress = -1;
        s.closing = false;
    }
    libusb_release_interface(h, 0);
    libusb_close(h);
}

int DevSupport::devRetrieve()
{
    UsbState& s = usb();
    if (!s.usbReady)
        return 0;
    bool opened;
    int address;
    {
        std::lock_guard<std::mutex> lk(s.m);
        opened = s.handle != nullptr;
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
            vendorId = desc.idVendor;
            productId = desc.idProduct;
            usbVersion = desc.bcdUSB;
            if (productId == 0x01A3) {
                epOut = 0x00;
                epIn = 0x82;
            } else {
                epOut = 0x02;
                epIn = 0x86;
            }
            libusb_device_handle* h = nullptr;
            for (int attempt = 0; attempt < 20 && !h; ++attempt) {
                QThread::msleep(50);
                if (libusb_open(list[i], &h) != 0)
                    h = nullptr;
            }
            if (!h)
                continue;
            {
                std::lock_guard<std::mutex> lk(s.m);
                s.handle = h;
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
    std::vector<unsigned char> d(size_t(total), 0);
    if (ctrlTransfer(LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR, LIBUSB_DT_CONFIG << 8, 0, d.data(), total,
                     descTimeout, &done) != 0 || done != total)
        return false;

    // Walk the descriptors by their own length and type; anything that
    // claims to run past what was received is refused.
    int pos = 0;
    int iface = -1;
    while (pos + 2 <= total) {
        const int len = d[pos];
        if (len < 2 || pos + len > total)
            return false;
        if (d[pos + 1] == LIBUSB_DT_INTERFACE && len >= 9) {
            iface = pos;
            break;
        }
        pos += len;
    }
    if (iface < 0)
        return false;
    const int numEp = d[iface + 4];
    int maxPacket = -1;
    pos = iface + d[iface];
    for (int seen = 0; seen < numEp && pos + 2 <= total;) {
        const int len = d[pos];
        if (len < 2 || pos + len > total)
            return false;
        const int type = d[pos + 1];
        if (type == LIBUSB_DT_INTERFACE)
            break;
        if (type == LIBUSB_DT_ENDPOINT && len >= 7) {
            ++seen;
            if (d[pos + 2] == epIn) {
                maxPacket = d[pos + 4] | d[pos + 5] << 8;
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
        HandleUse use;
        if (!use.h)
            return false;
        libusb_claim_interface(use.h, 0);
        if (libusb_set_interface_alt_setting(use.h, 0, 0) != 0)
            return false;
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
    HandleUse use;
    if (!use.h)
        return 1;
    const int r = libusb_control_transfer(use.h, type, req, value, index, buf, uint16_t(len), timeout);
    if (done)
        *done = r;
    return r < 0 ? 2 : 0;
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
    const int r = ctrlTransfer(LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE, 0xA0,
                               uint16_t(addr & 0xFFFF), uint16_t(addr >> 16), buf, len, ctrlTimeout, &done);
    if (r != 0)
        return r;
    return done < len ? 2 : 0;
}

int DevSupport::manuBulkWrite(unsigned char* buf, int len, int* done)
{
    HandleUse use;
    if (!use.h)
        return 1;
    int moved = 0;
    const int r = libusb_bulk_transfer(use.h, epOut, buf, len, &moved, bulkOutTimeout);
    if (done)
        *done = moved;
    return r < 0 ? 2 : 0;
}

int DevSupport::autoBulkRead(int total)
{
    HandleUse use;
    InterfaceDevCallback* cb = devCallback;
    if (!use.h || !cb)
        return 1;
    UsbState& s = usb();
    QSemaphore& sem = completionSem();
    sem.tryAcquire(sem.available());

    struct Slot {
        libusb_transfer* t = nullptr;
        unsigned char* buf = nullptr;
        XferState st;
        bool submitted = false;
    };
    Slot slot[2];
    const int size = bulkSize;
    const unsigned char ep = epIn;

    auto release = [&] {
        for (Slot& x : slot) {
            libusb_free_transfer(x.t);
            free(x.buf);
        }
    };
    auto submit = [&](Slot& x) {
        libusb_fill_bulk_transfer(x.t, use.h, ep, x.buf, size, onTransferDone, &x.st, bulkInTimeout);
        x.st.done.store(false);
        std::lock_guard<std::mutex> lk(s.m);
        if (s.closing || libusb_submit_transfer(x.t) != 0)
            return false;
        x.submitted = true;
        s.active.push_back(x.t);
        return true;
    };
    // Waits for the completion of x; permits taken for the other transfer
    // are accounted for by its done flag.
    auto await = [&](Slot& x) {
        while (!x.st.done.load())
            sem.acquire();
        x.submitted = false;
        std::lock_guard<std::mutex> lk(s.m);
        s.active.erase(std::remove(s.active.begin(), s.active.end(), x.t), s.active.end());
    };

    for (Slot& x : slot) {
        x.t = libusb_alloc_transfer(0);
        x.buf = static_cast<unsigned char*>(malloc(size_t(size)));
        if (!x.t || !x.buf) {
            release();
            return 4;
        }
    }
    long long requested = 0;
    long long received = 0;
    if (!submit(slot[0])) {
        release();
        return 3;
    }
    requested += size;
    if (total == 0 || total > size) {
        if (!submit(slot[1])) {
            libusb_cancel_transfer(slot[0].t);
            await(slot[0]);
            release();
            return 3;
        }
        requested += size;
    }
    cb->devCbPostSmpStart();

    int result = 0;
    int cur = 0;
    for (;;) {
        Slot& x = slot[cur];
        if (!x.submitted) {
            // With no transfer left the data is short: return and let the
            // caller report it, instead of waiting for nothing.
            if (!slot[1 - cur].submitted) {
                result = 0;
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
            result = 3;
            break;
        }
        unsigned char* b = x.buf;
        x.buf = nullptr;
        cb->devCbAutoBulkRead(b, n);
        if (total > 0) {
            received += n;
            if (received >= total) {
                result = 0;
                break;
            }
            if (requested >= total) {
                cur = 1 - cur;
                continue;
            }
        } else if (n < size) {
            result = 0;
            break;
        }
        x.buf = static_cast<unsigned char*>(malloc(size_t(size)));
        if (!x.buf) {
            result = 4;
            break;
        }
        if (!submit(x)) {
            result = 3;
            break;
        }
        requested += size;
        cur = 1 - cur;
    }

    for (Slot& x : slot) {
        if (!x.submitted)
            continue;
        {
            std::lock_guard<std::mutex> lk(s.m);
            libusb_cancel_transfer(x.t);
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
