#pragma once
// Stream-mode capture: the instrument streams every sample over USB; this
// thread queues the buffers, searches the trigger in software, drops what
// lies before the pre-trigger window and hands the rest to the converter
// thread (SmpCnvtStream) through the device object's semaphores.

#include "device/devsupport.h"

#include <QThread>

#include <atomic>
#include <cstdint>
#include <vector>

class DevBase;
class SmpCnvtStream;

class SmpCtrlStream : public QThread, public InterfaceDevCallback
{
public:
    explicit SmpCtrlStream(DevBase* dev);
    ~SmpCtrlStream() override;

    void devCbPostSmpStart() override;
    void devCbAutoBulkRead(unsigned char* buf, int len) override;

    // Trigger search in the 16-bit word form: sample index relative to the
    // first cycle completed in this buffer, or -1.
    int getTrgIndex(const unsigned char* buf, int len, int firstOrdinal);
    // Trigger search in the 8-channel byte form: byte index or -1.
    int getTrgIndex(const unsigned char* buf, int len);
    long long getSampledDepth() const;
    void removeQueueHead();
    // Buffers queued for the converter, and how many of them it may take now.
    int queuedBlocks() const;
    int releasedBlocks() const;
    void setChnNum(int n);

    // Set up the masks and word order from the device object, as a run does
    // (exposed for the trigger-search tests and the benchmark).
    void prepareRun();
    void resetRun();

    int cycleOffset = 0;
    int wordsPerCycle = 0;
    long long expectDepth = 0;
    long long preTrgDepth = 0;
    long long bytesReceived = 0;
    long long bytesDropped = 0;
    bool forceTrigger = false;
    bool firstBuffer = true;
    std::vector<int> trgTypes;
    uint32_t edgeMask = 0, fallMask = 0, levelMask = 0, levelValue = 0;

    // Set when a pass ends without a trigger: the converter frees the
    // queued buffers without converting them.
    std::atomic<bool> discardPass{false};

    // Refused start: no logic channel is enabled.
    static constexpr int ErrNoChannel = 16;

    static const uint8_t* risingEdgeTable();
    static const uint32_t* fallingEdgeTable();
    static const int8_t* lowestBitTable();

protected:
    void run() override;

private:
    long long droppedCycles() const;
    // Drops head buffers that lie wholly before the first kept byte and sets
    // cycleOffset to that byte's place in the new head.
    void trimToKeptStart();
    // Drops head buffers, never the last one queued, while canDrop(length of
    // the head) allows it.
    template <typename CanDrop>
    void dropHeadsWhile(CanDrop canDrop);

    DevBase* dev;
    long long headStart = 0;   // stream byte position of the queue head
    // Error of the start requests sent once the transfers are queued: the
    // instrument then never streams, and this, not the time-out, is reported.
    int startError = 0;

    // Word-search state carried across buffers: the previous sample of each
    // ordinal, the AND of the hit masks of the cycle in progress, and the
    // low byte of a word split across buffers.
    uint16_t prevSample[32] = {};
    uint32_t cycleMask = 0xFFFF;
    bool oddPending = false;
    uint8_t oddByte = 0;
    // Ordinals with a trigger condition, and their types.
    int trgOrdinals[32] = {};
    int trgKinds[32] = {};
    int trgCount = 0;
    // Byte-search state.
    uint8_t prevByte = 0;
};
