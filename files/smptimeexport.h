#pragma once

// Exact time text of a sample position for the text exports: the time
// (position - trgPoint) / rate in seconds, truncated toward zero to a fixed
// number of decimals, computed in integers only.
class SmpTimeExport
{
public:
    // The longest text toString writes (sign, 26 digits of a 128-bit quotient,
    // the point and the padding of 12 decimals).
    static constexpr int MaxTextLen = 48;

    SmpTimeExport(long long frequ, long long trgPoint);

    // A rate outside 1..10^12 Hz has no time format; toString then prints the
    // position difference with no decimals.
    bool isValid() const { return valid; }

    // Writes the text of a position into out (no terminating zero) and returns
    // its length; out must hold MaxTextLen bytes.
    int toString(long long position, char* out) const;
    // Writes a count of 10^-decimals seconds as "[-]seconds.decimals", every
    // decimal written and "0" for no whole seconds; returns the length. out
    // must hold MaxTextLen bytes.
    static int fixedText(bool negative, unsigned __int128 v, int decimals, char* out);

    long long trgPoint;
    long long scale;
    long long frequ;
    int decimals;

private:
    bool valid;
};
