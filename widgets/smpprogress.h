#pragma once

#include <QString>

// What a sampling state shows, shared by the status bar and the progress
// disc: the capture and read-out values and the phase text.
struct SmpProgress
{
    bool running = false;  // states 0 (started) to 4 (reading)
    int capture = 0;       // percent, 0..100
    int reading = 0;       // percent, 0..100
    QString phase;         // empty where the state names no phase (0 and the end)

    // value is clamped to 0..100.
    static SmpProgress of(int state, int value);
};
