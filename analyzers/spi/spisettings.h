#pragma once
#include "libanalyzer/analyzersettings.h"

class SpiSettings : public AnalyzerSettings {
public:
    SpiSettings();

    AnalyzerSettingInterfaceChannel mosi{"mosi"};
    AnalyzerSettingInterfaceChannel miso{"miso"};
    AnalyzerSettingInterfaceChannel clock{"clk"};
    AnalyzerSettingInterfaceChannel enable{"en"};
    AnalyzerSettingInterfaceNumberList cpol{"cpol"};
    AnalyzerSettingInterfaceNumberList cpha{"cpha"};
    AnalyzerSettingInterfaceNumberList bits{"bits"};
    AnalyzerSettingInterfaceNumberList lsbFirst{"order"};
    AnalyzerSettingInterfaceNumberList enableHigh{"enlevel"};

protected:
    bool CheckInterfaces(std::string* error) const override;
};
