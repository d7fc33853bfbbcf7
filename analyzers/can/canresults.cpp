#include "analyzers/can/canresults.h"

#include "libanalyzer/analyzerhelpers.h"

namespace {
std::string numberText(U64 v, DisplayBase base, U32 bits)
{
    if (base == DisplayAscii || base == DisplayAsciiHex)
        base = DisplayHex;
    return AnalyzerHelpers::FormatNumber(v, base, bits);
}
}  // namespace

void CanResults::describe(const Frame& f, DisplayBase base, std::string* name, std::string* value,
                          std::string* note)
{
    name->clear();
    value->clear();
    note->clear();
    switch (f.type) {
    case Identifier: {
        const bool ext = f.data2 & 1, remote = f.data2 & 2;
        *name = ext ? "Extended ID" : "Standard ID";
        *value = numberText(f.data1, base, ext ? 29 : 11);
        if (remote)
            *note = "remote frame";
        break;
    }
    case Control:
        *name = "DLC";
        *value = std::to_string(f.data1);
        break;
    case Data:
        *name = "Data";
        *value = AnalyzerHelpers::FormatNumber(f.data1, base, 8);
        break;
    case Crc:
        *name = "CRC";
        *value = numberText(f.data1, base, 15);
        if (f.HasFlag(Frame::kError))
            *note = "CRC error, expected " + numberText(f.data2, base, 15);
        break;
    case Ack:
        *name = "ACK";
        if (f.data1 == 0)
            *note = "no ACK";
        break;
    case EndOfFrame:
        *name = "EOF";
        if (f.HasFlag(Frame::kError))
            *note = "form error";
        break;
    default:
        *name = "Error";
        *note = f.data1 == ErrorStuff ? "bit stuffing error" : "form error";
        break;
    }
}

void CanResults::GenerateBubbleText(U64 frameIndex, const Channel&, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    std::string name, value, note;
    describe(f, base, &name, &value, &note);
    if (f.type == Error) {
        AddResultString("!");
        AddResultString("Error");
        AddResultString("Error: ", note.c_str());
        return;
    }
    if (!value.empty()) {
        AddResultString(value.c_str());
        AddResultString(name.c_str(), " ", value.c_str());
    } else {
        AddResultString(name.c_str());
    }
    if (!note.empty())
        AddResultString(name.c_str(), value.empty() ? "" : " ", value.c_str(), " (", note.c_str(), ")");
}

void CanResults::GenerateTabularText(U64 frameIndex, DisplayBase base)
{
    Frame f = GetFrame(frameIndex);
    std::string name, value, note;
    describe(f, base, &name, &value, &note);
    AddTabularText(name.c_str());
    if (!value.empty())
        AddTabularText(" ", value.c_str());
    if (!note.empty())
        AddTabularText(f.type == Error ? ": " : " (", note.c_str(), f.type == Error ? "" : ")");
}

void CanResults::GenerateExportHeader(unsigned)
{
    AddExportField("Field");
    AddExportField("Value");
    AddExportField("Note");
}

void CanResults::GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned)
{
    Frame f = GetFrame(frameIndex);
    std::string name, value, note;
    describe(f, base, &name, &value, &note);
    AddExportField(name.c_str());
    AddExportField(value.c_str());
    AddExportField(note.c_str());
}
