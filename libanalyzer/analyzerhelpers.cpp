#include "libanalyzer/analyzerhelpers.h"

#include <cstdio>

std::string AnalyzerHelpers::FormatHex(U64 value, U32 bits)
{
    if (bits == 0)
        bits = 1;
    if (bits > 64)
        bits = 64;
    unsigned digits = (bits + 3) / 4;
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%0*llX", int(digits), (unsigned long long)value);
    return buf;
}

std::string AnalyzerHelpers::FormatNumber(U64 value, DisplayBase base, U32 bits)
{
    if (bits == 0)
        bits = 1;
    if (bits > 64)
        bits = 64;
    if (bits < 64)
        value &= (U64(1) << bits) - 1;
    char buf[80];
    switch (base) {
    case DisplayBin: {
        std::string s = "0b";
        for (int i = int(bits) - 1; i >= 0; --i)
            s += ((value >> i) & 1) ? '1' : '0';
        return s;
    }
    case DisplayDec:
        std::snprintf(buf, sizeof buf, "%llu", (unsigned long long)value);
        return buf;
    case DisplayAscii:
    case DisplayAsciiHex: {
        if (value > 255)
            return FormatHex(value, bits);
        std::string s;
        unsigned char c = (unsigned char)value;
        if (c >= 0x20 && c < 0x7F)
            s = char(c);
        else if (c == '\r')
            s = "\\r";
        else if (c == '\n')
            s = "\\n";
        else if (c == '\t')
            s = "\\t";
        else if (c == 0)
            s = "\\0";
        else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s = buf;
        }
        if (base == DisplayAsciiHex)
            s += " (" + FormatHex(value, bits) + ")";
        return s;
    }
    case DisplayHex:
    default:
        return FormatHex(value, bits);
    }
}

U64 AnalyzerHelpers::ReverseBits(U64 value, U32 bits)
{
    U64 r = 0;
    for (U32 i = 0; i < bits && i < 64; ++i)
        r |= ((value >> i) & 1) << (bits - 1 - i);
    return r;
}
