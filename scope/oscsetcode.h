#pragma once
// What an oscilloscope panel changed, as its signal tells the waveform area,
// and what the area's own tag and calibration handling asks of it. The numbers
// travel in the panels' int signals; keep them.

namespace OscSetCode {

enum Code : int {
    ChnEnable = 10,      // channel switched on or off
    OffsetFromTag = 11,  // offset taken from the channel tag (drag, calibration)
    Coupling = 12,
    ProbeRate = 13,
    VoltDiv = 14,        // volts per division
    OffsetTyped = 15,
    OffsetReset = 16,
    TimeDiv = 17,        // time per division
    TrgTime = 18,        // horizontal trigger time
    TrgChannel = 19,
    TrgEdge = 20,
    TrgLevelPlace = 21,  // level tag re-placed from the stored level only
    TrgLevelDragged = 22
};

} // namespace OscSetCode
