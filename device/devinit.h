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
#include <cstdint>

class DevInit;

// Start-up error codes beside the transport's 1..4.
enum DevInitError {
    InitErrNoImage = 1,        // no firmware / FPGA image, or an unknown model record
    InitErrReenumTimeout = 5,  // the controller did not come back within 10 s
    InitErrBadImage = 6,       // the image is damaged and was not uploaded
    InitErrFpgaFfff = 7,
    InitErrFpgaZero = 8,
    InitErrFpgaOther = 9
};

class ThrDevAttach : public QThread
{
public:
    explicit ThrDevAttach(DevInit* owner);
    ~ThrDevAttach() override;

    // Ends a waiting attach thread; written by the GUI thread.
    std::atomic<bool> abort{false};

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

class ThrRenumDone : public QThread
{
public:
    explicit ThrRenumDone(DevInit* owner);
    ~ThrRenumDone() override;

    // Set when the start-up controller goes away: ends the pre-connect wait.
    std::atomic<bool> abort{false};

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

    // Called by ThrRenumDone: has the GUI thread emit sigDevPreConnect and
    // waits until it has been handled. False when start-up was aborted
    // (shutdown) before that happened.
    bool preConnect(int model);

    // How long the destructor waits for a start-up thread.
    static constexpr int joinTimeoutMs = 5000;

signals:
    void sigInitSta(int stage, int error, int value);
    // Emitted in the GUI thread while the start-up thread waits: connect it
    // directly (or automatically), never blocking-queued.
    void sigDevPreConnect(int model);

private:
    void stopThread(QThread* t);
};

extern DevInit* devInit;
