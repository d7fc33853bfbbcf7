#pragma once

#include <cstdint>

// The maker's USB vendor ID: every model of the family shares it.
#ifndef TAV_VENDOR_ID
#define TAV_VENDOR_ID 0x2A0E
#endif

class UsbMonitor;

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
class DevSupport
{
public:
    static constexpr uint16_t makerVendorId = TAV_VENDOR_ID;

    DevSupport();
    ~DevSupport();

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

    bool isOpenReady = false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t usbVersion = 0;
    uint8_t epOut = 0x02;
    uint8_t epIn = 0x86;
    int bulkSize = 1048576;
    InterfaceDevCallback* devCallback = nullptr;

private:
    int ctrlTransfer(uint8_t type, unsigned char req, unsigned short value, unsigned short index,
                     unsigned char* buf, int len, unsigned timeout, int* done);
    void closeDev();

    UsbMonitor* monitor = nullptr;
    int initCount = 0;
};
