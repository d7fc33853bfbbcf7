#pragma once
#include "libanalyzer/analyzersettings.h"

class CanSettings : public AnalyzerSettings {
public:
    CanSettings();

    AnalyzerSettingInterfaceChannel input{"can"};
    AnalyzerSettingInterfaceInteger bitRate{"rate"};
};
