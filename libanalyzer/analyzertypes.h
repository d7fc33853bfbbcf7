#pragma once
// Basic types of the analyzer framework, shared by the host and the plug-ins.

#include <cstdint>

typedef int8_t S8;
typedef int16_t S16;
typedef int32_t S32;
typedef int64_t S64;
typedef uint8_t U8;
typedef uint16_t U16;
typedef uint32_t U32;
typedef uint64_t U64;

// Number format of decoded values. The host stores the number as decimal text.
enum DisplayBase : int {
    DisplayBin = 0,
    DisplayDec = 1,
    DisplayHex = 2,
    DisplayAscii = 3,
    DisplayAsciiHex = 4
};

// Marker shapes drawn on the waveform; the numbers are what the host draws.
enum MarkerType : U8 {
    MarkerDot = 0,
    MarkerErrorDot = 1,
    MarkerSquare = 2,
    MarkerErrorSquare = 3,
    MarkerUpArrow = 4,
    MarkerDownArrow = 5,
    MarkerX = 6,
    MarkerErrorX = 7,
    MarkerStart = 8,
    MarkerStop = 9,
    MarkerOne = 10,
    MarkerZero = 11
};

// One marker: the sample it points at and its shape.
struct Marker {
    S64 sample = 0;
    MarkerType type = MarkerDot;
};

// Highest channel number a setting may name: the capture record has at most
// 64 channels (one start-level bit each).
constexpr U32 kAnalyzerMaxChannels = 64;
