#pragma once
// Converter of the stream mode: takes the buffers the stream thread releases
// and converts them into the store that is not on display, so that reading
// from USB never waits for conversion.

#include <QThread>

#include <atomic>

class DevBase;
class SmpCtrlStream;

class SmpCnvtStream : public QThread
{
public:
    explicit SmpCnvtStream(DevBase* dev);
    ~SmpCnvtStream() override;

    // Ends the thread at the next start request.
    std::atomic<bool> exitFlag{false};
    // The stream thread of this device (for its cycle offset and the discard flag).
    SmpCtrlStream* ctrl = nullptr;

protected:
    void run() override;

private:
    DevBase* dev;
};
