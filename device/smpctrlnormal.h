#pragma once
// Buffer-mode capture: the instrument stores the capture in its own memory;
// this thread starts it, follows its progress, and reads it out through the
// bulk reader, converting each buffer as it arrives.

#include "device/devsupport.h"

#include <QThread>

#include <atomic>

class DevBase;

class SmpCtrlNormal : public QThread, public InterfaceDevCallback
{
public:
    explicit SmpCtrlNormal(DevBase* dev);
    ~SmpCtrlNormal() override;

    // Polls the run status until the capture is stored (0), a stop is
    // requested (0) or a request fails (its code).
    int monitorSmpProgress();
    void devCbAutoBulkRead(unsigned char* buf, int len) override;

    // Bytes to read for a result record, or -1 when it cannot be right
    // (more than the device memory holds).
    static long long readLength(bool osc, int chnNum, int records, long long memSize);

    long long readLen = 0;
    long long bytesRead = 0;
    int bytesConverted = 0;
    bool convertOk = true;

    // A read-out that asks for more than the device memory holds.
    static constexpr int ErrBadResult = 2;

protected:
    void run() override;

private:
    DevBase* dev;
};
