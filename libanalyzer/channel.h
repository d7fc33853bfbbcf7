#pragma once
#include "libanalyzer/analyzertypes.h"

// A logic channel of a device. The undefined channel (no channel chosen) has
// every bit of both fields set; the host names capture channels Channel(0, n).
class Channel {
public:
    static constexpr U64 kNoDevice = ~U64(0);
    static constexpr U32 kNoChannel = ~U32(0);

    Channel() = default;
    Channel(U64 deviceId, U32 index) : deviceId(deviceId), index(index) {}

    bool IsDefined() const { return index != kNoChannel; }
    bool operator==(const Channel& o) const { return deviceId == o.deviceId && index == o.index; }
    bool operator!=(const Channel& o) const { return !(*this == o); }

    U64 deviceId = kNoDevice;
    U32 index = kNoChannel;
};
