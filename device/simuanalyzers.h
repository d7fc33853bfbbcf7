#pragma once
// The demo generator's view of the analyzers that simulate protocol traffic.
// The device layer knows nothing of the analyzer host; the host registers a
// provider here and the demo thread asks it for copies once per pass.

#include <QVector>

class Analyzer;
class SimulationChannelDescriptor;

// A simulating analyzer copy, the host function that asks it for traffic
// and the plug-in function that frees it. Plug-ins and the host's code stay
// loaded for the life of the process, so the record stays valid whatever
// happens to the host's list meanwhile. The device layer never calls the
// analyzer library itself.
struct SimuAnalyzer {
    Analyzer* analyzer = nullptr;
    void (*destroy)(Analyzer*) = nullptr;
    // Traffic up to at least sample `newest` at `rate`; *descriptors points
    // at the copy's descriptors. Returns their number.
    unsigned (*simulate)(Analyzer*, unsigned long long newest, unsigned rate,
                         SimulationChannelDescriptor** descriptors) = nullptr;
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
// Unregisters the provider when it is the registered one.
void dropSimuAnalyzerProvider(SimuAnalyzerProvider* provider);
// Copies from the registered provider; empty without one.
QVector<SimuAnalyzer> getSimuAnalyzers(long long sampleRate);
// Frees every copy with its own plug-in's function and empties the list.
void freeSimuAnalyzers(QVector<SimuAnalyzer>& list);
