#include "analyzers/uart/uartsettings.h"

UartSettings::UartSettings() : AnalyzerSettings("UART")
{
    input.SetTitleAndTooltip("Input", "The channel that carries the serial data");
    input.SetChannel(Channel(0, 0));

    bitRate.SetTitleAndTooltip("Bit Rate (Bits/s)", "Bits per second, for example 9600 or 115200");
    bitRate.SetMin(1);
    bitRate.SetMax(100000000);
    bitRate.SetInteger(115200);

    dataBits.SetTitleAndTooltip("Data Bits", "Data bits per character");
    for (int b = 5; b <= 9; ++b) {
        std::string t = std::to_string(b) + " Bits per Transfer";
        dataBits.AddNumber(b, t.c_str(), "");
    }
    dataBits.SetNumber(8);

    parity.SetTitleAndTooltip("Parity", "Parity bit after the data bits");
    parity.AddNumber(ParityNone, "No Parity Bit", "");
    parity.AddNumber(ParityEven, "Even Parity Bit", "");
    parity.AddNumber(ParityOdd, "Odd Parity Bit", "");

    stopBits.SetTitleAndTooltip("Stop Bits", "Length of the stop bit");
    stopBits.AddNumber(1.0, "1 Stop Bit", "");
    stopBits.AddNumber(1.5, "1.5 Stop Bits", "");
    stopBits.AddNumber(2.0, "2 Stop Bits", "");

    msbFirst.SetTitleAndTooltip("Bit Order", "Which data bit is sent first");
    msbFirst.AddNumber(0, "Least Significant Bit First", "");
    msbFirst.AddNumber(1, "Most Significant Bit First", "");

    inverted.SetTitleAndTooltip("", "Idle level low, data bits inverted");
    inverted.SetCheckBoxText("Inverted (idle low)");

    for (AnalyzerSettingInterface* s : std::initializer_list<AnalyzerSettingInterface*>{
             &input, &bitRate, &dataBits, &parity, &stopBits, &msbFirst, &inverted})
        AddInterface(s);
    ApplyInterfaces();

    AddExportOption(0, "Decoded data");
    AddExportExtension(0, "Text file", "txt");
    AddExportExtension(0, "CSV file", "csv");
}
