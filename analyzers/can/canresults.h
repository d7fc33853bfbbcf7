#pragma once
#include "libanalyzer/analyzerresults.h"

#include <string>

// One frame per field of a CAN message:
//   Identifier  data1 = identifier, data2 bit 0 = extended, bit 1 = remote
//   Control     data1 = data length code
//   Data        data1 = byte, data2 = its index
//   Crc         data1 = received CRC, data2 = computed CRC (kError when they differ)
//   Ack         data1 = 1 when a node acknowledged (kError when none did)
//   EndOfFrame
//   Error       data1 = ErrorStuff or ErrorForm
class CanResults : public AnalyzerResults {
public:
    enum Type : U8 { Identifier = 0, Control = 1, Data = 2, Crc = 3, Ack = 4, EndOfFrame = 5, Error = 6 };
    enum ErrorKind : U8 { ErrorStuff = 1, ErrorForm = 2 };

protected:
    void GenerateBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base) override;
    void GenerateTabularText(U64 frameIndex, DisplayBase base) override;
    void GenerateExportHeader(unsigned exportId) override;
    void GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned exportId) override;

private:
    void describe(const Frame& f, DisplayBase base, std::string* name, std::string* value, std::string* note);
};
