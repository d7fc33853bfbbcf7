#include "analyzers/spi/spiresults.h"

#include "libanalyzer/analyzerhelpers.h"

namespace {
std::string incompleteText(const Frame& f, U32 bits)
{
    return "incomplete: " + std::to_string(f.type) + " of " + std::to_string(bits) + " bits";
}
}  // namespace

void SpiResults::GenerateBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    const bool onMiso = miso_.IsDefined() && channel.index == miso_.index;
    std::string v = AnalyzerHelpers::FormatNumber(onMiso ? f.data2 : f.data1, base, f.type);
    if (f.HasFlag(kIncomplete)) {
        AddResultString("!");
        AddResultString(v.c_str(), " !");
        AddResultString(v.c_str(), " (", incompleteText(f, bits_).c_str(), ")");
    } else {
        AddResultString(v.c_str());
    }
}

void SpiResults::GenerateTabularText(U64 frameIndex, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    if (mosi_.IsDefined())
        AddTabularText("MOSI: ", AnalyzerHelpers::FormatNumber(f.data1, base, f.type).c_str());
    if (mosi_.IsDefined() && miso_.IsDefined())
        AddTabularText("  ");
    if (miso_.IsDefined())
        AddTabularText("MISO: ", AnalyzerHelpers::FormatNumber(f.data2, base, f.type).c_str());
    if (f.HasFlag(kIncomplete))
        AddTabularText(" (", incompleteText(f, bits_).c_str(), ")");
}

void SpiResults::GenerateExportHeader(unsigned)
{
    AddExportField("MOSI");
    AddExportField("MISO");
    AddExportField("Error");
}

void SpiResults::GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned)
{
    Frame f = GetFrame(frameIndex);
    AddExportField(mosi_.IsDefined() ? AnalyzerHelpers::FormatNumber(f.data1, base, f.type).c_str() : "");
    AddExportField(miso_.IsDefined() ? AnalyzerHelpers::FormatNumber(f.data2, base, f.type).c_str() : "");
    AddExportField(f.HasFlag(kIncomplete) ? incompleteText(f, bits_).c_str() : "");
}
