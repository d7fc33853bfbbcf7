#include "analyzers/spi/spisettings.h"

SpiSettings::SpiSettings() : AnalyzerSettings("SPI")
{
    mosi.SetTitleAndTooltip("MOSI", "Master Out, Slave In (None if not captured)");
    mosi.SetChannel(Channel(0, 0));
    mosi.SetSelectionOfNoneIsAllowed(true);
    miso.SetTitleAndTooltip("MISO", "Master In, Slave Out (None if not captured)");
    miso.SetChannel(Channel(0, 1));
    miso.SetSelectionOfNoneIsAllowed(true);
    clock.SetTitleAndTooltip("Clock", "Serial clock");
    clock.SetChannel(Channel(0, 2));
    enable.SetTitleAndTooltip("Enable", "Chip select (None if not used)");
    enable.SetChannel(Channel(0, 3));
    enable.SetSelectionOfNoneIsAllowed(true);

    cpol.SetTitleAndTooltip("Clock State", "Clock polarity");
    cpol.AddNumber(0, "Clock is Low when inactive (CPOL = 0)", "");
    cpol.AddNumber(1, "Clock is High when inactive (CPOL = 1)", "");
    cpha.SetTitleAndTooltip("Clock Phase", "Clock phase");
    cpha.AddNumber(0, "Data is Valid on Clock Leading Edge (CPHA = 0)", "");
    cpha.AddNumber(1, "Data is Valid on Clock Trailing Edge (CPHA = 1)", "");
    bits.SetTitleAndTooltip("Bits per Transfer", "Bits in one word");
    for (int b = 1; b <= 64; ++b) {
        std::string t = std::to_string(b) + (b == 1 ? " Bit per Transfer" : " Bits per Transfer");
        bits.AddNumber(b, t.c_str(), "");
    }
    bits.SetNumber(8);
    lsbFirst.SetTitleAndTooltip("Bit Order", "Which bit of a word comes first");
    lsbFirst.AddNumber(0, "Most Significant Bit First (Standard)", "");
    lsbFirst.AddNumber(1, "Least Significant Bit First", "");
    enableHigh.SetTitleAndTooltip("Enable Line", "Level at which the enable line selects the device");
    enableHigh.AddNumber(0, "Enable Line is Active Low (Standard)", "");
    enableHigh.AddNumber(1, "Enable Line is Active High", "");

    for (AnalyzerSettingInterface* s : std::initializer_list<AnalyzerSettingInterface*>{
             &mosi, &miso, &clock, &enable, &cpol, &cpha, &bits, &lsbFirst, &enableHigh})
        AddInterface(s);
    ApplyInterfaces();

    AddExportOption(0, "Decoded data");
    AddExportExtension(0, "Text file", "txt");
    AddExportExtension(0, "CSV file", "csv");
}

bool SpiSettings::CheckInterfaces(std::string* error) const
{
    if (!mosi.GetChannel().IsDefined() && !miso.GetChannel().IsDefined()) {
        *error = "Please choose a channel for MOSI or MISO.";
        return false;
    }
    return true;
}
