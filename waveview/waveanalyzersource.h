#pragma once
// What the waveform area needs of the analyzer host: the analyzers whose
// bubbles and markers a row draws and their display formats, the alias
// texts of the rows, and decoding again after the shown capture changed.
// The host implements it; the waveform never includes the host.

#include <QStringList>
#include <QVector>

class Analyzer;

class WaveAnalyzerSource
{
public:
    virtual ~WaveAnalyzerSource() = default;
    // The analyzers bound to a channel, valid for one paint.
    virtual QVector<Analyzer*> chnAnalyzers(int chn) const = 0;
    // A DisplayBase number; anything else shows hexadecimal.
    virtual int analyzerDisplayFormat(Analyzer* analyzer) const = 0;
    // Two entries per logic channel: its number and the aliases of the
    // analyzers bound to it.
    virtual QStringList chnAliasList() const { return QStringList(); }
    // Stops every analyzer and clears its results.
    virtual void stopDecoding() {}
    // Stops and clears every analyzer, then decodes the displayed capture again.
    virtual void redecode() {}
};
