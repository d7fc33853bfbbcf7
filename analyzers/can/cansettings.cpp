#include "analyzers/can/cansettings.h"

CanSettings::CanSettings() : AnalyzerSettings("CAN")
{
    input.SetTitleAndTooltip("CAN", "The CAN bus line (dominant low), for example CAN_RX of a transceiver");
    input.SetChannel(Channel(0, 0));
    bitRate.SetTitleAndTooltip("Bit Rate (Bits/s)", "Nominal bit rate, for example 125000 or 500000");
    bitRate.SetMin(1000);
    bitRate.SetMax(5000000);
    bitRate.SetInteger(500000);
    AddInterface(&input);
    AddInterface(&bitRate);
    ApplyInterfaces();

    AddExportOption(0, "Decoded data");
    AddExportExtension(0, "Text file", "txt");
    AddExportExtension(0, "CSV file", "csv");
}
