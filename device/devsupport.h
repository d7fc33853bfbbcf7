#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

// The maker's USB vendor ID: every model of the family shares it.
#ifndef TAV_VENDOR_ID
#define TAV_VENDOR_ID 0x2A0E
#endif

class UsbMonitor;

// Result codes of every transfer operation of DevSupport.
enum UsbResult {
    UsbOk = 0,
    UsbErrNoDevice = 1,   // no device open (or no callback for a bulk read)
    UsbErrTransfer = 2,   // a control or bulk transfer (or claiming the interface) failed
    UsbErrAsync = 3,      // an asynchronous transfer failed or delivered nothing
    UsbErrNoMemory = 4
};

// Receiver of the bulk IN data of one capture run.
class InterfaceDevCallback
{
public:
    virtual ~InterfaceDevCallback() = default;
    // Called once both transfers are queued: the instrument may start now.
    virtual void devCbPostSmpStart() {}
    // Takes ownership of buf (release it with free()).
    virtual void devCbAutoBulkRead(unsigned char* buf, int len) = 0;
};

// The program's only access to the instrument: finds and opens it, and
// carries control requests and bulk transfers over libusb.
//
// Threads: devRetrieve runs in the GUI thread; the transfer operations run in
// any thread (start-up, sampling, GUI). The object owns the open device: an
// operation holds it while it runs, so closing never pulls it away underneath
// and never waits for an operation; the last holder closes the handle. The
// public fields are atomic: devRetrieve writes the device's fields before it
// publishes the device, and an operation always uses the endpoints of the
// device it holds.
class DevSupport
{
public:
    static constexpr uint16_t makerVendorId = TAV_VENDOR_ID;

    DevSupport();
    // Waits, bounded, for operations still running and the event thread;
    // when they do not end, the USB layer is left behind (logged).
    ~DevSupport();
    DevSupport(const DevSupport&) = delete;
    DevSupport& operator=(const DevSupport&) = delete;

    bool registerNotification(void* fn);
    bool isDevChangeNotification(void* msg);

    int devRetrieve();
    bool devInitCheck();

    int ctrlRead(unsigned char req, unsigned short value, unsigned char* buf, int len, int* done = nullptr);
    int ctrlWrite(unsigned char req, unsigned short value, unsigned char* buf, int len, int* done = nullptr);
    int ctrlWriteRAM(unsigned int addr, unsigned char* buf, int len);
    int manuBulkWrite(unsigned char* buf, int len, int* done = nullptr);
    int autoBulkRead(int total);
    void setAutoReadBufSize(long long bitsPerSecond);

    // False when libusb could not be initialised: the program runs without
    // an instrument (demo mode).
    bool isUsbAvailable() const;
    bool isDevOpen() const;
    // Why the last devRetrieve gave up a device of the maker that it had
    // opened: UsbErrTransfer when its interface could not be claimed or set
    // up; 0 when it refused none for that reason.
    int openError() const;

    std::atomic<bool> isOpenReady{false};
    std::atomic<uint16_t> vendorId{0};
    std::atomic<uint16_t> productId{0};
    std::atomic<uint16_t> usbVersion{0};
    std::atomic<uint8_t> epOut{0x02};
    std::atomic<uint8_t> epIn{0x86};
    std::atomic<int> bulkSize{1048576};
    std::atomic<InterfaceDevCallback*> devCallback{nullptr};

    // Bound of the destructor's waits: above every transfer time-out.
    static std::atomic<int> closeTimeoutMs;

private:
    struct State;
    class HandleUse;

    int ctrlTransfer(uint8_t type, unsigned char req, unsigned short value, unsigned short index,
                     unsigned char* buf, int len, unsigned timeout, int* done);
    void closeDev();

    std::unique_ptr<State> d;
    UsbMonitor* monitor = nullptr;
    int initCount = 0;
};
