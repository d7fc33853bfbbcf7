#pragma once
// Converters from the instrument's raw capture forms to the edge lists of a
// SmpData. Each converter is fed one buffer at a time in arrival order and
// keeps what it needs between buffers (levels, record counter, a partial
// frame, an odd byte, the place in the stream cycle) in a RawConvertState.
// All return false only when an allocation fails.

#include <cstdint>

class SmpData;

struct RawConvertState {
    // Set by SmpData::dataConvertStart: the next frame buffer is the first of a
    // capture (a run count of zero says nothing about that).
    bool framesFirst = true;
    uint32_t framePrevLevel = 0;
    long long frameRecords = 0;
    unsigned char frameCarry[32] = {};   // bytes of a frame split across buffers
    int frameCarryLen = 0;

    // 8-channel byte stream.
    bool bytesFirst = true;              // byte 0 still to be seen
    unsigned char bytePrev = 0;

    // 16-bit word stream.
    int wordOrdinal = 0;                 // place of the next word in the cycle
    int wordEnabled = 0;                 // enabled channels = words per cycle
    uint64_t wordKnown = 0;              // bit k: ordinal k has taken its start level
    bool wordOddPending = false;         // low byte of a word split across buffers
    unsigned char wordOddByte = 0;
};

// 16-channel buffer-mode frames (16 bytes: five 3-byte records and a spare).
bool rawConvertFrames16(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                        int* consumed);
// 32-channel buffer-mode frames (32 bytes: six 5-byte records and two check bytes).
bool rawConvertFrames32(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                        int* consumed);
// One byte per sample; start >= 0 marks the first buffer of a capture.
bool rawConvertBytes8(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                      int start, long long* smpCount);
// 16-bit words, one per enabled channel in turn; start >= 0 marks the first
// buffer and is the byte offset of the first word of a cycle.
bool rawConvertWords16(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                       int start, long long* smpCount);
// Demo run lengths for one channel; *pos is the running position.
bool rawConvertRuns(SmpData& d, const int* runs, int n, int chn, long long* pos, bool merge);
