#pragma once
// Start-up of an attached instrument: controller firmware upload and
// re-enumeration (ThrDevAttach), then model record, FPGA image, run and
// status check and the connection of the device object (ThrRenumDone).
// Every stage is reported through sigInitSta(stage, error, value).

#include "device/devbase.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <mutex>
#include <cstdint>

class DevInit;

// Start-up error codes beside the transport's 1..4.
enum DevInitError {
    InitErrNoImage = 1,        // no firmware / FPGA image, or an unknown model record
    InitErrReenumTimeout = 5,  // the controller did not come back within 10 s
    InitErrBadImage = 6,       // the image is damaged and was not uploaded
    InitErrFpgaFfff = 7,
    InitErrFpgaZero = 8,
    InitErrFpgaOther = 9,
    // The start-up thread of an earlier device did not end in time: this
    // device is not started (the next USB change tries again).
    InitErrStillRunning = 11
};

// What both start-up threads share: the abort flag and a bounded join.
class StartupThread : public QThread
{
public:
    // Set by the GUI thread when it gives the thread up (another device,
    // shutdown): every wait of the thread ends on it, and the thread then
    // touches nothing more.
    std::atomic<bool> abort{false};

    // Waits up to ms for run() to end; true when it has (or never ran).
    bool join(unsigned long ms);

protected:
    // Held by run() while it runs and taken after the join, so thread
    // checkers that do not see Qt's join still see the order.
    std::mutex endMutex;
};

class ThrDevAttach : public StartupThread
{
public:
    explicit ThrDevAttach(DevInit* owner);
    ~ThrDevAttach() override;

    // Both refuse a damaged image with InitErrBadImage before sending anything.
    int load68013fw(QByteArray& hex);
    int load3014fw(QByteArray& image);

    // Length of one re-enumeration wait step (tests shorten it).
    static std::atomic<int> waitStepMs;

protected:
    void run() override;

private:
    DevInit* owner;
};

class ThrRenumDone : public StartupThread
{
public:
    explicit ThrRenumDone(DevInit* owner);
    ~ThrRenumDone() override;

    int loadFpgaFw(int model, int rev);

protected:
    void run() override;

private:
    DevInit* owner;
};

class DevInit : public QObject
{
    Q_OBJECT
public:
    DevInit();
    ~DevInit() override;

    // One USB change; GUI thread only.
    void init();

    ThrDevAttach* thrDevAttach = nullptr;
    ThrRenumDone* thrRenumDone = nullptr;

    // Identification data of the device found: sample and PWM clock in MHz.
    static unsigned char devIdent[DevIdentSize];

    static bool isAcceptedProduct(uint16_t pid);
    // Resource names; empty when the product or model has none.
    static QString usbFirmwareResource(uint16_t pid);
    static QString fpgaResource(int model, int rev);
    // Model, FPGA revision and reference voltage from the 8-byte EEPROM
    // record; false for an unknown model code.
    static bool decodeModelRecord(const unsigned char rec[8], uint16_t pid, int* model, int* rev, double* vref);
    // Batch word from the 4 bytes at EEPROM 0x20; 0 when not valid.
    static uint16_t decodeBatch(const unsigned char b[4]);

    // Called by ThrRenumDone: hands the connection to the GUI thread, which
    // emits sigDevPreConnect, takes ident as devIdent and connects devUsing
    // (so only the GUI thread writes the device object), and waits for it.
    // Returns the connection's result, or -1 when start-up was aborted
    // (another device, shutdown) before the GUI thread took it.
    int connectDevice(int model, const unsigned char* ident, double vref);

    // How long the GUI thread waits for a start-up thread to end before it
    // reports InitErrStillRunning (tests shorten it).
    static std::atomic<int> threadEndTimeoutMs;

signals:
    void sigInitSta(int stage, int error, int value);
    // Emitted in the GUI thread while the start-up thread waits: connect it
    // directly (or automatically), never blocking-queued.
    void sigDevPreConnect(int model);

private:
    // Sets abort and waits, bounded, for t to end; false (reported as
    // InitErrStillRunning at this stage) when it did not.
    bool endThread(StartupThread* t, int stage);
};

extern DevInit* devInit;
