#include "device/simuanalyzers.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex providerMutex;
SimuAnalyzerProvider* provider = nullptr;
}

void setSimuAnalyzerProvider(SimuAnalyzerProvider* p)
{
    QMutexLocker lock(&providerMutex);
    provider = p;
}

void dropSimuAnalyzerProvider(SimuAnalyzerProvider* p)
{
    QMutexLocker lock(&providerMutex);
    if (provider == p)
        provider = nullptr;
}

QVector<SimuAnalyzer> getSimuAnalyzers(long long sampleRate)
{
    QMutexLocker lock(&providerMutex);
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
