#pragma once
// Shared by the waveform tests: captures built plainly into a store, a
// brute-force per-pixel reference of the runs, UART waveforms written bit by
// bit, and a stand-in for the main window that acknowledges each refresh.

#include "device/smpdata.h"
#include "waveview/wavedatagen.h"

#include <QObject>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace WaveTest {

struct Chn {
    int init = 0;
    std::vector<long long> edges;   // strictly increasing, in [1, count)
};

// Fills a store with the channels as a finished capture leaves it.
inline void fillStore(SmpData* s, const std::vector<Chn>& chns, long long count, long long rate, long long trg)
{
    std::vector<char> ena(size_t(s->chnNum), 1);
    s->dataConvertStart(0, rate, reinterpret_cast<const bool*>(ena.data()));
    for (size_t c = 0; c < chns.size() && int(c) < s->chnNum; ++c) {
        for (long long e : chns[c].edges)
            SmpData::appendEntry(s->chnData[c], e);
        s->setInitLevel(int(c), chns[c].init);
    }
    s->smpCount = count;
    s->dataConvertComplete(count);
    s->trgPosition = trg;
}

// A complete store as a finished capture leaves it.
inline std::unique_ptr<SmpData> makeStore(const std::vector<Chn>& chns, long long count,
                                          long long rate = 1000000, long long trg = 0)
{
    std::unique_ptr<SmpData> s(new SmpData(int(chns.size())));
    fillStore(s.get(), chns, count, rate, trg);
    return s;
}

// The runs a view must show, built pixel by pixel from the flat edge list:
// an edge column where an edge falls in the pixel, else the level at the
// pixel's first sample; nothing left of sample 0 or from the end entry's
// pixel on. Runs end where the next column starts; the last run of a view
// that the capture fills ends at pixel width-1 (width (width-1)-x).
inline std::vector<WaveLine> refRuns(const Chn& c, long long count, double off, double spp, int width)
{
    std::vector<WaveLine> out;
    auto pixelOf = [&](long long e) { return (long long)((double(e) - off) / spp); };
    auto levelAt = [&](long long p) {
        long long n = (long long)(std::upper_bound(c.edges.begin(), c.edges.end(), p) - c.edges.begin());
        return int((c.init + n) & 1);
    };
    const long long startSmp = off < 0 ? 0 : (long long)off;
    long long xs = off < 0 ? (long long)(-off / spp) : 0;
    if (xs >= width || startSmp > count)
        return out;
    const long long pe = pixelOf(count);
    const bool endInView = pe <= width - 1;
    // Runs cover [xs, runEnd); an edge column may also sit on the end's pixel.
    const long long runEnd = endInView ? pe : width;
    const long long colEnd = endInView ? pe + 1 : width;
    std::vector<char> column(size_t(width), 0);
    for (auto it = std::upper_bound(c.edges.begin(), c.edges.end(), startSmp); it != c.edges.end(); ++it) {
        long long px = pixelOf(*it);
        if (px >= colEnd)
            break;
        column[size_t(std::max(px, xs))] = 1;
    }
    long long x = xs;
    while (x < colEnd) {
        if (column[size_t(x)]) {
            out.push_back(WaveLine{int(x), 1, 2});
            ++x;
            continue;
        }
        if (x >= runEnd)
            break;
        const long long p = (long long)(double(x) * spp + off);
        const int lvl = levelAt(std::max(0LL, p));
        long long y = x;
        while (y < runEnd && !column[size_t(y)])
            ++y;
        long long w = y - x;
        if (y == width)
            w = (width - 1) - x;   // the final run stops at the last pixel
        out.push_back(WaveLine{int(x), int(w), lvl});
        x = y;
    }
    return out;
}

// Random edges: gaps drawn from a mix of short and long ones.
template <class Rng>
Chn randomChn(Rng& rng, long long count, long long edges)
{
    Chn c;
    c.init = int(rng() & 1);
    const long long mean = std::max(2LL, count / std::max(1LL, edges));
    long long p = 0;
    for (;;) {
        const long long r = (long long)(rng() % 16);
        long long gap = r < 10 ? 1 + (long long)(rng() % 3) : 1 + (long long)(rng() % (2 * mean));
        p += gap;
        if (p >= count)
            break;
        c.edges.push_back(p);
    }
    return c;
}

// UART line (idle high, 8 data bits LSB first, one stop bit) carrying the
// bytes from sample `start`, `spb` samples a bit, `gap` idle bits between
// characters. A byte listed in `badStop` gets a low stop bit.
inline Chn uartChn(const std::string& bytes, long long start, long long spb, long long gap,
                   std::vector<size_t> badStop = {})
{
    Chn c;
    c.init = 1;
    int level = 1;
    long long t = start;
    auto put = [&](int lvl) {
        if (lvl != level) {
            c.edges.push_back(t);
            level = lvl;
        }
        t += spb;
    };
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = (unsigned char)bytes[i];
        put(0);
        for (int k = 0; k < 8; ++k)
            put((b >> k) & 1);
        const bool bad = std::find(badStop.begin(), badStop.end(), i) != badStop.end();
        put(bad ? 0 : 1);
        for (long long g = 0; g < gap; ++g)
            put(1);
    }
    return c;
}

// Stands in for the main window: records every refresh and, when `autoAck`,
// acknowledges it after "drawing" (taking the published frame).
class Harness : public QObject
{
    Q_OBJECT

public:
    struct Seen {
        bool dec;
        double spp;
        double off;
        unsigned long long serial;
    };

    explicit Harness(WaveDataGen* gen, bool autoAck = true) : gen(gen), autoAck(autoAck)
    {
        connect(gen, &WaveDataGen::sigViewRefresh, this, &Harness::slotRefresh);
    }

    void ack() { gen->setRefreshDone(); }

    std::vector<Seen> seen;
    std::vector<QString> faults;   // frames whose runs disagree with their own view
    const SmpData* check = nullptr;

signals:
    void refreshed(bool dec);

public slots:
    void slotRefresh(bool dec)
    {
        const WaveFramePtr f = gen->frame();
        seen.push_back(Seen{dec, f->smpPerPixel, f->smpOffset, f->serial});
        if (check)
            verify(*f);
        if (autoAck)
            gen->setRefreshDone();
        emit refreshed(dec);
    }

private:
    // A frame's runs must be the ones of the frame's own view.
    void verify(const WaveFrame& f)
    {
        std::vector<WaveLine> buf(size_t(f.viewWidth));
        for (int c = 0; c < int(f.counts.size()); ++c) {
            const int n = check->getWaveLineData(c, f.smpOffset, f.smpPerPixel, f.viewWidth, buf.data());
            const WaveLine* got = nullptr;
            const int m = f.getData(c, &got);
            bool same = n == m;
            for (int i = 0; same && i < n; ++i)
                same = got[i].x == buf[size_t(i)].x && got[i].width == buf[size_t(i)].width
                       && got[i].type == buf[size_t(i)].type;
            if (!same)
                faults.push_back(QString("frame %1 channel %2").arg(f.serial).arg(c));
        }
    }

    WaveDataGen* gen;
    bool autoAck;
};

} // namespace WaveTest
