#pragma once
// Shared by the analyzer tests: running a plug-in's simulation into a capture
// the way the demo generator feeds the sample store, and collecting results.

#include "tests/analyzers/capturebuilder.h"

#include "libanalyzer/analyzer.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

// Runs MakeSimulationData in blocks up to `samples` and turns the run lengths
// into edge lists: a run whose level differs from the level before it starts
// with an edge; runs cut at a block border join.
inline std::unique_ptr<TestCapture> captureFromSimulation(Analyzer* a, int channels, int64_t samples,
                                                          int64_t rate, int64_t block = 100000)
{
    struct Line {
        int init = 0, level = 0;
        int64_t pos = 0;
        std::vector<int64_t> edges;
    };
    std::map<U32, Line> lines;
    long long r = rate;
    a->Init(nullptr, &r, nullptr);
    bool first = true;
    for (int64_t newest = block; newest - block < samples; newest += block) {
        SimulationChannelDescriptor* d = nullptr;
        U32 n = a->MakeSimulationData(U64(newest), U32(rate), &d);
        for (U32 i = 0; i < n; ++i) {
            U32 ch = d[i].GetChannel().index;
            Line& l = lines[ch];
            if (first)
                l.init = l.level = d[i].GetInitialBitState();
            std::vector<U32>& runs = d[i].GetData();
            size_t k = runs.size();
            // The last run has the current level; earlier ones alternate.
            int lvl = (k % 2 == 1) ? d[i].GetCurrentBitState() : 1 - d[i].GetCurrentBitState();
            for (U32 len : runs) {
                if (lvl != l.level) {
                    if (l.pos == 0)
                        l.init = lvl;
                    else
                        l.edges.push_back(l.pos);
                    l.level = lvl;
                }
                l.pos += len;
                lvl ^= 1;
            }
            runs.clear();
        }
        first = false;
    }
    auto cap = std::make_unique<TestCapture>(channels, samples, rate);
    for (auto& kv : lines) {
        if (int(kv.first) >= channels)
            continue;
        std::vector<int64_t> edges;
        for (int64_t e : kv.second.edges)
            if (e < samples)
                edges.push_back(e);
        cap->setChannel(int(kv.first), kv.second.init, edges);
    }
    return cap;
}

inline std::vector<Frame> allFrames(AnalyzerResults* r)
{
    std::vector<Frame> out;
    for (U64 i = 0; i < r->GetNumFrames(); ++i)
        out.push_back(r->GetFrame(i));
    return out;
}

inline QStringList tabularTexts(AnalyzerResults* r, DisplayBase base)
{
    QStringList out;
    for (U64 i = 0; i < r->GetNumFrames(); ++i) {
        r->MakeTabularText(i, base);
        out << QString::fromUtf8(r->GetTabularTextString());
    }
    return out;
}

inline QStringList bubbleTexts(AnalyzerResults* r, U64 frame, const Channel& ch, DisplayBase base)
{
    r->MakeBubbleText(frame, ch, base);
    const char* const* s = nullptr;
    unsigned n = 0;
    r->GetResultStrings(&s, &n);
    QStringList out;
    for (unsigned i = 0; i < n; ++i)
        out << QString::fromUtf8(s[i]);
    return out;
}
