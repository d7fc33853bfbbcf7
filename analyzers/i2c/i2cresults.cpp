#include "analyzers/i2c/i2cresults.h"

#include "libanalyzer/analyzerhelpers.h"

namespace {
// Addresses read as numbers: ASCII makes no sense for them.
std::string addressText(U64 address, DisplayBase base)
{
    if (base == DisplayAscii || base == DisplayAsciiHex)
        base = DisplayHex;
    return AnalyzerHelpers::FormatNumber(address, base, 7);
}
const char* ackText(const Frame& f)
{
    return f.HasFlag(I2cResults::kNak) ? "NAK" : "ACK";
}
}  // namespace

void I2cResults::GenerateBubbleText(U64 frameIndex, const Channel&, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    switch (f.type) {
    case Start:
        AddResultString("S");
        AddResultString("Start");
        break;
    case RepeatedStart:
        AddResultString("Sr");
        AddResultString("Repeated start");
        break;
    case Stop:
        AddResultString("P");
        AddResultString("Stop");
        break;
    case Address: {
        const bool read = f.data1 & 1;
        std::string a = addressText(f.data1 >> 1, base);
        AddResultString(read ? "R" : "W");
        AddResultString(read ? "R " : "W ", a.c_str());
        AddResultString(read ? "R " : "W ", a.c_str(), " ", ackText(f));
        AddResultString(read ? "Read from " : "Write to ", a.c_str(), ", ", ackText(f));
        break;
    }
    case Data: {
        std::string v = AnalyzerHelpers::FormatNumber(f.data1, base, 8);
        AddResultString(v.c_str());
        AddResultString(v.c_str(), " ", ackText(f));
        break;
    }
    default: {
        std::string n = std::to_string(f.data2);
        AddResultString("!");
        AddResultString("Incomplete");
        AddResultString("Incomplete byte (", n.c_str(), " bits)");
        break;
    }
    }
}

void I2cResults::GenerateTabularText(U64 frameIndex, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    switch (f.type) {
    case Start:
        AddTabularText("Start");
        break;
    case RepeatedStart:
        AddTabularText("Repeated start");
        break;
    case Stop:
        AddTabularText("Stop");
        break;
    case Address:
        AddTabularText((f.data1 & 1) ? "Read from " : "Write to ", addressText(f.data1 >> 1, base).c_str(),
                       ", ", ackText(f));
        break;
    case Data:
        AddTabularText(AnalyzerHelpers::FormatNumber(f.data1, base, 8).c_str(), ", ", ackText(f));
        break;
    default:
        AddTabularText("Incomplete byte (", std::to_string(f.data2).c_str(), " bits)");
        break;
    }
}

void I2cResults::GenerateExportHeader(unsigned)
{
    AddExportField("Event");
    AddExportField("Value");
    AddExportField("Read/Write");
    AddExportField("ACK/NAK");
}

void I2cResults::GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned)
{
    Frame f = GetFrame(frameIndex);
    static const char* const names[] = {"Start", "Repeated start", "Stop", "Address", "Data", "Incomplete byte"};
    AddExportField(f.type <= Incomplete ? names[f.type] : "");
    if (f.type == Address) {
        AddExportField(addressText(f.data1 >> 1, base).c_str());
        AddExportField((f.data1 & 1) ? "Read" : "Write");
        AddExportField(ackText(f));
    } else if (f.type == Data) {
        AddExportField(AnalyzerHelpers::FormatNumber(f.data1, base, 8).c_str());
        AddExportField((f.data2 & 1) ? "Read" : "Write");
        AddExportField(ackText(f));
    } else if (f.type == Incomplete) {
        AddExportField(std::to_string(f.data2).append(" bits").c_str());
        AddExportField("");
        AddExportField("");
    } else {
        AddExportField("");
        AddExportField("");
        AddExportField("");
    }
}
