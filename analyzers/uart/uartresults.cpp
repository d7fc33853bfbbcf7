#include "analyzers/uart/uartresults.h"

#include "libanalyzer/analyzerhelpers.h"

const char* UartResults::errorText(U8 flags)
{
    bool p = flags & kParityError, f = flags & kFramingError;
    if (p && f)
        return "parity and framing error";
    if (p)
        return "parity error";
    if (f)
        return "framing error";
    return nullptr;
}

void UartResults::GenerateBubbleText(U64 frameIndex, const Channel&, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    std::string v = AnalyzerHelpers::FormatNumber(f.data1, base, bits_);
    const char* err = errorText(f.flags);
    if (!err) {
        AddResultString(v.c_str());
        return;
    }
    AddResultString("!");
    AddResultString(v.c_str(), " !");
    AddResultString(v.c_str(), " (", err, ")");
}

void UartResults::GenerateTabularText(U64 frameIndex, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    std::string v = AnalyzerHelpers::FormatNumber(f.data1, base, bits_);
    const char* err = errorText(f.flags);
    if (err)
        AddTabularText(v.c_str(), " (", err, ")");
    else
        AddTabularText(v.c_str());
}

void UartResults::GenerateExportHeader(unsigned)
{
    AddExportField("Value");
    AddExportField("Error");
}

void UartResults::GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned)
{
    Frame f = GetFrame(frameIndex);
    AddExportField(AnalyzerHelpers::FormatNumber(f.data1, base, bits_).c_str());
    const char* err = errorText(f.flags);
    AddExportField(err ? err : "");
}
