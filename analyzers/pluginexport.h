#pragma once
// The four exports every analyzer plug-in gives the host, with C linkage.

#include "libanalyzer/analyzer.h"

// Every model code of the instrument family: the plug-ins serve them all.
#define TAV_ALL_MODELS "0,1,2,3,4,5,6,7,8,9,49,65"

#define TAV_DEFINE_ANALYZER_PLUGIN(AnalyzerClass, name)                        \
    TAV_ANALYZER_EXPORT const char* GetAnalyzerName() { return name; }         \
    TAV_ANALYZER_EXPORT Analyzer* CreateAnalyzer() { return new AnalyzerClass; } \
    TAV_ANALYZER_EXPORT void DestroyAnalyzer(Analyzer* analyzer) { delete analyzer; } \
    TAV_ANALYZER_EXPORT const char* GetParaInfoList() { return TAV_ALL_MODELS; }
