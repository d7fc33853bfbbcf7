#pragma once
#include "libanalyzer/analyzersettings.h"

class UartSettings : public AnalyzerSettings {
public:
    enum Parity { ParityNone = 0, ParityEven = 1, ParityOdd = 2 };

    UartSettings();

    AnalyzerSettingInterfaceChannel input{"rx"};
    AnalyzerSettingInterfaceInteger bitRate{"baud"};
    AnalyzerSettingInterfaceNumberList dataBits{"bits"};
    AnalyzerSettingInterfaceNumberList parity{"parity"};
    AnalyzerSettingInterfaceNumberList stopBits{"stop"};
    AnalyzerSettingInterfaceNumberList msbFirst{"order"};
    AnalyzerSettingInterfaceBool inverted{"inv"};
};
