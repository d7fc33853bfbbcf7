#pragma once
// The demo generator's view of the analyzers that simulate protocol traffic.
// The device layer knows nothing of the analyzer host; the host registers a
// provider here and the demo thread asks it for copies once per pass.

#include <QVector>

class Analyzer;

// A simulating analyzer copy and the plug-in function that frees it. The
// plug-ins stay loaded for the life of the process, so the pair stays valid
// whatever happens to the host's list meanwhile.
struct SimuAnalyzer {
    Analyzer* analyzer = nullptr;
    void (*destroy)(Analyzer*) = nullptr;
};

class SimuAnalyzerProvider
{
public:
    // Any thread. New copies of the analyzers in use, in list order, each
    // already set up to simulate at sampleRate (Hz). The caller owns them
    // and frees them with freeSimuAnalyzers.
    virtual QVector<SimuAnalyzer> makeSimuAnalyzers(long long sampleRate) = 0;

protected:
    ~SimuAnalyzerProvider() = default;
};

// Registration; null unregisters. An unregister waits for a call that is
// still making copies, so the provider may go away once it returns.
void setSimuAnalyzerProvider(SimuAnalyzerProvider* provider);
// Copies from the registered provider; empty without one.
QVector<SimuAnalyzer> getSimuAnalyzers(long long sampleRate);
// Frees every copy with its own plug-in's function and empties the list.
void freeSimuAnalyzers(QVector<SimuAnalyzer>& list);
