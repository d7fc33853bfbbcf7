#include "device/simuanalyzers.h"

#include <mutex>

namespace {
std::mutex providerMutex;
SimuAnalyzerProvider* provider = nullptr;
}

void setSimuAnalyzerProvider(SimuAnalyzerProvider* p)
{
    std::lock_guard<std::mutex> lock(providerMutex);
    provider = p;
}

void dropSimuAnalyzerProvider(SimuAnalyzerProvider* p)
{
    std::lock_guard<std::mutex> lock(providerMutex);
    if (provider == p)
        provider = nullptr;
}

QVector<SimuAnalyzer> getSimuAnalyzers(long long sampleRate)
{
    std::lock_guard<std::mutex> lock(providerMutex);
    if (!provider)
        return {};
    return provider->makeSimuAnalyzers(sampleRate);
}

void freeSimuAnalyzers(QVector<SimuAnalyzer>& list)
{
    for (SimuAnalyzer& s : list) {
        if (s.analyzer && s.destroy)
            s.destroy(s.analyzer);
        s.analyzer = nullptr;
    }
    list.clear();
}
