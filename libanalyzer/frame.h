#pragma once
#include "libanalyzer/analyzertypes.h"

// One decoded unit (a byte, a field, a condition). Frames cover the samples
// [startSample, endSample): endSample is the first sample after the frame, so
// every frame is at least one sample long. The meaning of type, data1, data2
// and the low six flag bits belongs to the analyzer that made the frame.
class Frame {
public:
    static constexpr U8 kError = 0x80;    // shown as an error
    static constexpr U8 kWarning = 0x40;  // shown as a warning

    bool HasFlag(U8 flag) const { return (flags & flag) != 0; }

    S64 startSample = 0;  // the host relies on these two coming first
    S64 endSample = 0;
    U64 data1 = 0;
    U64 data2 = 0;
    U8 type = 0;
    U8 flags = 0;
};
