#pragma once
// An analyzer made in the test itself: frames are put in directly, and a row
// text is "<name> <value>" with the value in hexadecimal ("0x2f") or, for
// the decimal format, in decimal. A gate can stop the text maker at a given
// call until the host's handshake is under way, so a test can put the
// handshake in the middle of a long pass without relying on timing.

#include "analysis/analyzermanager.h"
#include "libanalyzer/analyzer.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <string>
#include <vector>

namespace fakeanly {

class FakeResults : public AnalyzerResults
{
public:
    std::string name;
    std::atomic<long long> texts{0};
    std::atomic<long long> gateAt{-1};   // call number that waits for the handshake
    std::atomic<bool> gateReached{false};

protected:
    void GenerateBubbleText(U64, const Channel&, DisplayBase) override {}
    void GenerateTabularText(U64 i, DisplayBase base) override
    {
        const long long n = texts.fetch_add(1);
        if (n == gateAt.load()) {
            gateReached = true;
            QElapsedTimer t;
            t.start();
            while (!AnalyzerManager::isModifyBusy() && t.elapsed() < 20000)
                QThread::usleep(100);
        }
        char buf[48];
        int p = 0;
        for (char c : name)
            buf[p++] = c;
        buf[p++] = ' ';
        unsigned long long v = GetFrame(i).data1;
        char digits[24];
        int k = 0;
        if (base == DisplayDec) {
            do {
                digits[k++] = char('0' + v % 10);
                v /= 10;
            } while (v);
        } else {
            do {
                digits[k++] = "0123456789abcdef"[v & 15];
                v >>= 4;
            } while (v);
            digits[k++] = 'x';
            digits[k++] = '0';
        }
        while (k)
            buf[p++] = digits[--k];
        buf[p] = 0;
        AddTabularText(buf);
    }
    void GenerateExportHeader(unsigned) override { AddExportField("Value"); }
    void GenerateExportRow(U64 i, DisplayBase, unsigned) override
    {
        AddExportField(std::to_string(GetFrame(i).data1).c_str());
    }
};

class FakeAnalyzer : public Analyzer
{
public:
    explicit FakeAnalyzer(std::string const& name)
    {
        results.name = name;
        SetAnalyzerResults(&results);
    }
    // Frames [start, start + len) carrying value; starts must grow.
    void add(long long start, long long len, unsigned long long value)
    {
        Frame f;
        f.startSample = start;
        f.endSample = start + len;
        f.data1 = value;
        results.AddFrame(f);
    }
    const char* GetProtocolName() const override { return results.name.c_str(); }
    U32 MakeSimulationData(U64, U32, SimulationChannelDescriptor**) override { return 0; }
    FakeResults results;

protected:
    void SetupResults() override {}
    void WorkerThread() override {}
};

}  // namespace fakeanly
