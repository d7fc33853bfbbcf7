#include "libanalyzer/analyzerresults.h"

#include "libanalyzer/chunkedstore.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSlots = 8;  // channels with bubbles or markers per analyzer

// One set of results; ClearResults replaces the whole set.
struct Generation {
    Generation()
    {
        for (auto& c : markerChn)
            c.store(Channel::kNoChannel, std::memory_order_relaxed);
        for (auto& s : lastMarker)
            s = -1;
    }
    ChunkedStore<Frame> frames;
    ChunkedStore<U64> markers[kSlots];  // (sample << 8) | type
    std::atomic<U32> markerChn[kSlots];
    std::atomic<int> markerSlots{0};
    // Writer-only order checks.
    S64 lastStart = LLONG_MIN;
    S64 lastEnd = LLONG_MIN;
    S64 lastMarker[kSlots];
};

// Texts made by one thread.
struct TextBuffers {
    std::vector<std::string> results;
    std::vector<const char*> resultPtrs;
    std::string tabular;
    std::vector<std::string> fields;
};
thread_local TextBuffers tls;

void appendPieces(std::string& out, const char* const* pieces, int n)
{
    for (int i = 0; i < n; ++i)
        if (pieces[i])
            out += pieces[i];
}

Marker unpackMarker(U64 v)
{
    Marker m;
    m.sample = S64(v >> 8);
    m.type = MarkerType(v & 0xFF);
    return m;
}

}  // namespace

struct AnalyzerResults::Private {
    Private()
    {
        for (auto& c : bubbleChn)
            c.store(Channel::kNoChannel, std::memory_order_relaxed);
    }
    std::atomic<Generation*> gen{new Generation};
    std::atomic<int> users{0};
    std::atomic<U32> bubbleChn[kSlots];
    std::atomic<int> bubbleCount{0};
    std::atomic<double> progress{0.0};
    std::atomic<bool> cancel{false};
    std::atomic<S64> rate{0};
    std::atomic<S64> trigger{0};
};

namespace {

// Holds the current result set for the length of one call, so that
// ClearResults does not free it underneath.
class GenGuard {
public:
    GenGuard(std::atomic<int>& users, std::atomic<Generation*>& gen) : users_(users)
    {
        users_.fetch_add(1, std::memory_order_seq_cst);
        g = gen.load(std::memory_order_seq_cst);
    }
    ~GenGuard() { users_.fetch_sub(1, std::memory_order_release); }
    GenGuard(const GenGuard&) = delete;
    GenGuard& operator=(const GenGuard&) = delete;
    Generation* g;

private:
    std::atomic<int>& users_;
};

// First index in [lo, n) at which the rising test holds (n when none).
template <typename Test>
U64 firstWhere(U64 lo, U64 n, Test test)
{
    U64 hi = n;
    while (lo < hi) {
        U64 mid = lo + (hi - lo) / 2;
        if (test(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The entries of a sorted list that a sample range covers: from the first
// that reaches into it to the last before the first that lies after it.
// False when none does.
template <typename Reaches, typename After>
bool coveredEntries(U64 n, Reaches reaches, After after, U64* first, U64* last)
{
    const U64 a = firstWhere(0, n, reaches);
    const U64 end = firstWhere(a, n, after);
    if (a >= n || end == a)
        return false;
    if (first)
        *first = a;
    if (last)
        *last = end - 1;
    return true;
}

int findSlot(const Generation* g, U32 chn)
{
    int n = g->markerSlots.load(std::memory_order_acquire);
    for (int i = 0; i < n; ++i)
        if (g->markerChn[i].load(std::memory_order_relaxed) == chn)
            return i;
    return -1;
}

}  // namespace

AnalyzerResults::AnalyzerResults() : d(new Private) {}

AnalyzerResults::~AnalyzerResults()
{
    delete d->gen.load();
    delete d;
}

U64 AnalyzerResults::GetNumFrames() const
{
    GenGuard guard(d->users, d->gen);
    return guard.g->frames.size();
}

Frame AnalyzerResults::GetFrame(U64 index) const
{
    GenGuard guard(d->users, d->gen);
    if (index >= guard.g->frames.size())
        return Frame();
    return guard.g->frames.at(index);
}

bool AnalyzerResults::GetFramesInRange(S64 firstSample, S64 lastSample, U64* firstFrame,
                                       U64* lastFrame) const
{
    GenGuard guard(d->users, d->gen);
    const ChunkedStore<Frame>& f = guard.g->frames;
    U64 n = f.size();
    if (n == 0 || lastSample < firstSample)
        return false;
    // Frames ending after firstSample and starting at or before lastSample
    // (starts and ends grow with the index).
    return coveredEntries(
        n, [&f, firstSample](U64 i) { return f.at(i).endSample > firstSample; },
        [&f, lastSample](U64 i) { return f.at(i).startSample > lastSample; }, firstFrame, lastFrame);
}

bool AnalyzerResults::DoBubblesAppearOnChannel(const Channel& channel) const
{
    int n = d->bubbleCount.load(std::memory_order_acquire);
    for (int i = 0; i < n; ++i)
        if (d->bubbleChn[i].load(std::memory_order_relaxed) == channel.index)
            return channel.IsDefined();
    return false;
}

bool AnalyzerResults::DoMarkersAppearOnChannel(const Channel& channel) const
{
    GenGuard guard(d->users, d->gen);
    int s = findSlot(guard.g, channel.index);
    return s >= 0 && guard.g->markers[s].size() > 0;
}

U64 AnalyzerResults::GetNumMarkers(const Channel& channel) const
{
    GenGuard guard(d->users, d->gen);
    int s = findSlot(guard.g, channel.index);
    return s < 0 ? 0 : guard.g->markers[s].size();
}

Marker AnalyzerResults::GetMarker(const Channel& channel, U64 index) const
{
    GenGuard guard(d->users, d->gen);
    int s = findSlot(guard.g, channel.index);
    if (s < 0 || index >= guard.g->markers[s].size()) {
        Marker m;
        m.sample = -1;
        return m;
    }
    return unpackMarker(guard.g->markers[s].at(index));
}

bool AnalyzerResults::GetMarkersInRange(const Channel& channel, S64 firstSample, S64 lastSample,
                                        U64* firstMarker, U64* lastMarker) const
{
    GenGuard guard(d->users, d->gen);
    int s = findSlot(guard.g, channel.index);
    if (s < 0 || lastSample < firstSample)
        return false;
    const ChunkedStore<U64>& m = guard.g->markers[s];
    U64 n = m.size();
    auto sampleAt = [&m](U64 i) { return S64(m.at(i) >> 8); };
    return coveredEntries(
        n, [&](U64 i) { return sampleAt(i) >= firstSample; }, [&](U64 i) { return sampleAt(i) > lastSample; },
        firstMarker, lastMarker);
}

void AnalyzerResults::MakeBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base)
{
    tls.results.clear();
    if (frameIndex < GetNumFrames())
        GenerateBubbleText(frameIndex, channel, base);
}

void AnalyzerResults::GetResultStrings(const char* const** strings, unsigned* count) const
{
    tls.resultPtrs.clear();
    for (const std::string& s : tls.results)
        tls.resultPtrs.push_back(s.c_str());
    if (strings)
        *strings = tls.resultPtrs.data();
    if (count)
        *count = unsigned(tls.resultPtrs.size());
}

void AnalyzerResults::MakeTabularText(U64 frameIndex, DisplayBase base)
{
    tls.tabular.clear();
    if (frameIndex < GetNumFrames())
        GenerateTabularText(frameIndex, base);
}

const char* AnalyzerResults::GetTabularTextString() const
{
    return tls.tabular.c_str();
}

void AnalyzerResults::AddResultString(const char* s1, const char* s2, const char* s3, const char* s4,
                                      const char* s5, const char* s6)
{
    const char* p[] = {s1, s2, s3, s4, s5, s6};
    tls.results.emplace_back();
    appendPieces(tls.results.back(), p, 6);
}

void AnalyzerResults::AddTabularText(const char* s1, const char* s2, const char* s3, const char* s4,
                                     const char* s5, const char* s6)
{
    const char* p[] = {s1, s2, s3, s4, s5, s6};
    appendPieces(tls.tabular, p, 6);
}

void AnalyzerResults::AddExportField(const char* text)
{
    tls.fields.emplace_back(text ? text : "");
}

U64 AnalyzerResults::AddFrame(const Frame& frame)
{
    GenGuard guard(d->users, d->gen);
    Generation* g = guard.g;
    if (frame.endSample <= frame.startSample || frame.startSample < g->lastEnd)
        return kNoFrame;
    if (!g->frames.push(frame))
        return kNoFrame;
    g->lastStart = frame.startSample;
    g->lastEnd = frame.endSample;
    return g->frames.size() - 1;
}

bool AnalyzerResults::AddMarker(S64 sample, MarkerType type, const Channel& channel)
{
    if (!channel.IsDefined() || sample < 0 || sample >= (S64(1) << 55))
        return false;
    GenGuard guard(d->users, d->gen);
    Generation* g = guard.g;
    int s = findSlot(g, channel.index);
    if (s < 0) {
        s = g->markerSlots.load(std::memory_order_relaxed);
        if (s >= kSlots)
            return false;
        g->markerChn[s].store(channel.index, std::memory_order_relaxed);
        g->markerSlots.store(s + 1, std::memory_order_release);
    }
    if (sample < g->lastMarker[s])
        return false;
    if (!g->markers[s].push((U64(sample) << 8) | U64(type)))
        return false;
    g->lastMarker[s] = sample;
    return true;
}

void AnalyzerResults::AddChannelBubblesWillAppearOn(const Channel& channel)
{
    if (!channel.IsDefined() || DoBubblesAppearOnChannel(channel))
        return;
    int n = d->bubbleCount.load(std::memory_order_relaxed);
    if (n >= kSlots)
        return;
    d->bubbleChn[n].store(channel.index, std::memory_order_relaxed);
    d->bubbleCount.store(n + 1, std::memory_order_release);
}

void AnalyzerResults::ClearBubbleChannels()
{
    d->bubbleCount.store(0, std::memory_order_release);
}

void AnalyzerResults::ClearResults()
{
    Generation* fresh = new Generation;
    Generation* old = d->gen.exchange(fresh, std::memory_order_seq_cst);
    // Calls already inside the old set finish their one lookup; new calls
    // see the fresh set.
    while (d->users.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    delete old;
}

void AnalyzerResults::SetTimeBase(S64 sampleRate, S64 triggerSample)
{
    d->rate.store(sampleRate, std::memory_order_relaxed);
    d->trigger.store(triggerSample, std::memory_order_relaxed);
}

// ---- export ----

void AnalyzerResults::StartExportThread(const char*, DisplayBase, unsigned)
{
    d->progress.store(0.0);
    d->cancel.store(false);
}

double AnalyzerResults::GetProgress() const
{
    return d->progress.load(std::memory_order_relaxed);
}

void AnalyzerResults::CancelExport()
{
    d->cancel.store(true);
}

namespace {

bool endsWithCsv(const char* path)
{
    size_t n = std::strlen(path);
    if (n < 4)
        return false;
    const char* e = path + n - 4;
    return e[0] == '.' && (e[1] | 0x20) == 'c' && (e[2] | 0x20) == 's' && (e[3] | 0x20) == 'v';
}

void writeField(std::string& line, const std::string& f, bool csv)
{
    if (csv) {
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            line += f;
            return;
        }
        line += '"';
        for (char c : f) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    } else {
        for (char c : f)
            line += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
}

void writeLine(std::string& line, const std::vector<std::string>& fields, bool csv)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += csv ? ',' : '\t';
        writeField(line, fields[i], csv);
    }
    line += '\n';
}

std::atomic<unsigned> exportCounter{0};

}  // namespace

bool AnalyzerResults::WriteExportFile(const char* path, DisplayBase base, unsigned exportId)
{
    struct Done {
        std::atomic<double>& p;
        ~Done() { p.store(1.0); }
    } done{d->progress};
    if (!path || !*path)
        return false;
    const bool csv = endsWithCsv(path);
    std::string tmp = std::string(path) + ".part" + std::to_string(getpid()) + "-"
        + std::to_string(exportCounter.fetch_add(1));
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    std::vector<char> buf(1 << 16);
    setvbuf(f, buf.data(), _IOFBF, buf.size());

    const S64 rate = d->rate.load(std::memory_order_relaxed);
    const S64 trig = d->trigger.load(std::memory_order_relaxed);
    std::string line;
    bool ok = true;

    tls.fields.clear();
    tls.fields.emplace_back("Time [s]");
    GenerateExportHeader(exportId);
    writeLine(line, tls.fields, csv);

    const U64 n = GetNumFrames();
    char tbuf[64];
    for (U64 i = 0; i < n && ok; ++i) {
        if (d->cancel.load(std::memory_order_relaxed)) {
            ok = false;
            break;
        }
        // Results cleared under the export: the file would be cut short.
        if (i >= GetNumFrames()) {
            ok = false;
            break;
        }
        Frame fr = GetFrame(i);
        if (rate > 0)
            std::snprintf(tbuf, sizeof tbuf, "%.9f", double(fr.startSample - trig) / double(rate));
        else
            std::snprintf(tbuf, sizeof tbuf, "%lld", (long long)(fr.startSample - trig));
        tls.fields.clear();
        tls.fields.emplace_back(tbuf);
        GenerateExportRow(i, base, exportId);
        writeLine(line, tls.fields, csv);
        if (line.size() >= (1u << 15)) {
            ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
            line.clear();
        }
        if ((i & 1023) == 0)
            d->progress.store(double(i) / double(n), std::memory_order_relaxed);
    }
    if (ok && !line.empty())
        ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    if (ok)
        ok = std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    ok = (std::fclose(f) == 0) && ok;
    if (ok)
        ok = std::rename(tmp.c_str(), path) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}
