#pragma once
// Text helpers shared by the analyzers.
//
// Number formats (bits = the value's width):
//   Bin       "0b" and exactly `bits` binary digits         0b01000001
//   Dec       decimal                                        65
//   Hex       "0x" and ceil(bits/4) upper-case digits        0x41
//   ASCII     printable characters as themselves, \r \n \t \0, any other
//             byte as \xHH; values above 255 as Hex           A
//   ASCII & Hex  the ASCII text, a blank and the Hex text in parentheses
//                                                            A (0x41)

#include "libanalyzer/analyzertypes.h"

#include <string>

class AnalyzerHelpers {
public:
    static std::string FormatNumber(U64 value, DisplayBase base, U32 bits);
    // Value as Hex for fields where a character makes no sense (addresses, ids).
    static std::string FormatHex(U64 value, U32 bits);
    // Number of set bits modulo 2.
    static int Parity(U64 value) { return __builtin_parityll(value); }
    // The low `bits` bits of value in reverse order.
    static U64 ReverseBits(U64 value, U32 bits);
};
