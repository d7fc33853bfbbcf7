#include "analyzers/i2c/i2csettings.h"

I2cSettings::I2cSettings() : AnalyzerSettings("I2C")
{
    sda.SetTitleAndTooltip("SDA", "Serial data line");
    sda.SetChannel(Channel(0, 0));
    scl.SetTitleAndTooltip("SCL", "Serial clock line");
    scl.SetChannel(Channel(0, 1));
    AddInterface(&sda);
    AddInterface(&scl);
    ApplyInterfaces();

    AddExportOption(0, "Decoded data");
    AddExportExtension(0, "Text file", "txt");
    AddExportExtension(0, "CSV file", "csv");
}
