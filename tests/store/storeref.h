#pragma once
// Plain references for the logic sample store: a capture as a flat sorted
// vector of edge positions, with brute-force answers to every query.

#include "device/smpdata.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

struct RefChannel {
    int initLevel = 0;
    std::vector<long long> edges;   // strictly increasing, all < count
    long long count = 0;

    // Entries as the store holds them: edges, then the end entry.
    std::vector<long long> entries() const
    {
        std::vector<long long> e = edges;
        e.push_back(count);
        return e;
    }
    bool inRange(long long p) const { return p >= 0 && p <= count; }
    long long edgesUpTo(long long p) const
    {
        return (long long)(std::upper_bound(edges.begin(), edges.end(), p) - edges.begin());
    }
    int level(long long p) const
    {
        if (!inRange(p))
            return -1;
        return int((initLevel + edgesUpTo(p)) & 1);
    }
    // Index (in entries()) of the first entry after p; the end entry at p == count.
    long long firstAfter(long long p) const { return std::min(edgesUpTo(p), (long long)edges.size()); }
    long long entry(long long k) const
    {
        return k < (long long)edges.size() ? edges[size_t(k)] : count;
    }
};

// Flat copy of a list, walking the three levels.
inline std::vector<long long> flatten(const DigitalChnData* d)
{
    std::vector<long long> out;
    if (!d)
        return out;
    for (int g = 0; g < d->groupNum; ++g)
        for (int b = 0; b < d->groups[g]->blockNum; ++b) {
            const DataBlock* blk = d->groups[g]->blocks[b];
            for (int i = 0; i < blk->num; ++i)
                out.push_back(blk->pos(i));
        }
    return out;
}

// Shape of a complete list: full blocks and groups but the last, index
// arrays matching the entries, strictly increasing entries.
inline bool listShapeOk(const DigitalChnData* d, QString* why)
{
    if (!d || d->groupNum < 1) {
        *why = "no group";
        return false;
    }
    long long last = -1;
    for (int g = 0; g < d->groupNum; ++g) {
        const DataGroup* grp = d->groups[g];
        if (grp->blockNum < 1 || (g < d->groupNum - 1 && grp->blockNum != DataGroup::Capacity)) {
            *why = QString("group %1 holds %2 blocks").arg(g).arg(grp->blockNum);
            return false;
        }
        for (int b = 0; b < grp->blockNum; ++b) {
            const DataBlock* blk = grp->blocks[b];
            bool lastBlock = g == d->groupNum - 1 && b == grp->blockNum - 1;
            if (blk->num < 1 || (!lastBlock && blk->num != DataBlock::Capacity)) {
                *why = QString("block %1/%2 holds %3").arg(g).arg(b).arg(blk->num);
                return false;
            }
            for (int i = 0; i < blk->num; ++i) {
                if (blk->pos(i) <= last) {
                    *why = QString("entry %1/%2/%3 not increasing").arg(g).arg(b).arg(i);
                    return false;
                }
                last = blk->pos(i);
            }
            if (grp->blockLast[b] != last) {
                *why = QString("blockLast %1/%2 stale").arg(g).arg(b);
                return false;
            }
        }
        if (d->groupLast[g] != last) {
            *why = QString("groupLast %1 stale").arg(g);
            return false;
        }
    }
    return true;
}

#define VERIFY_LIST_SHAPE(d)                                                                  \
    do {                                                                                      \
        QString why_;                                                                         \
        QVERIFY2(listShapeOk((d), &why_), qPrintable(why_));                                  \
    } while (0)

// Fills a store from reference channels, as a converter and completion would.
inline void buildStore(SmpData& s, const std::vector<RefChannel>& chans, long long count)
{
    bool ena[64] = {};
    for (size_t c = 0; c < chans.size() && c < 64; ++c)
        ena[c] = true;
    s.dataConvertStart(0, 100000000, ena);
    for (size_t c = 0; c < chans.size() && int(c) < s.chnNum; ++c) {
        for (long long e : chans[c].edges)
            SmpData::appendEntry(s.chnData[c], e);
        s.setInitLevel(int(c), chans[c].initLevel);
    }
    s.smpCount = count;
    s.dataConvertComplete(count);
}

// Random capture of `edges` edges in [0, count): runs drawn from a mix of
// short and long lengths, optionally placed just below and above 2^32.
inline RefChannel randomChannel(std::mt19937_64& rng, long long count, int edges)
{
    RefChannel ch;
    ch.count = count;
    ch.initLevel = int(rng() & 1);
    std::vector<long long> pos;
    pos.reserve(size_t(edges) * 2);
    const long long high = 1LL << 32;
    for (int i = 0; i < edges; ++i) {
        long long p;
        switch (rng() % 4) {
        case 0: // near the 32-bit border of positions
            p = high - 64 + (long long)(rng() % 128);
            break;
        case 1: // close to the start
            p = (long long)(rng() % 256);
            break;
        default:
            p = (long long)(rng() % (unsigned long long)count);
        }
        if (p >= 0 && p < count)
            pos.push_back(p);
    }
    std::sort(pos.begin(), pos.end());
    pos.erase(std::unique(pos.begin(), pos.end()), pos.end());
    ch.edges = pos;
    return ch;
}

// Pixel map that getWaveLineData must draw: for each pixel -1 (not drawn),
// 0/1 (a run at that level) or 2 (an edge column). Built pixel by pixel from
// the flat list: a pixel is an edge column when an edge maps into it; any
// other pixel from the first one up to the end entry's pixel shows the level
// after all earlier edges; a run reaching past the view stops before the last
// pixel, which is drawn only as an edge column. Right after an edge column
// the next run starts from the level at that pixel's first sample, so an edge
// exactly on that sample is taken into the level, not drawn as a column.
inline std::vector<int> refWavePixels(const RefChannel& ch, double offset, double spp, int width)
{
    std::vector<int> px(size_t(std::max(width, 0)), -1);
    if (width <= 0)
        return px;
    long long x0 = 0;
    if (offset < 0) {
        double fx = -offset / spp;
        x0 = fx >= width ? width : (long long)fx;
    }
    const long long startSmp = offset < 0 ? 0 : (long long)offset;
    auto pixelOf = [&](long long e) {
        double f = (double(e) - offset) / spp;
        return f >= width ? (long long)width : (long long)f;
    };
    const long long endPx = pixelOf(ch.count);
    const long long limit = std::min<long long>(endPx, width - 1);
    std::vector<int> edgesIn(size_t(width), 0);
    std::vector<int> onFirstSample(size_t(width), 0);
    const long long before = ch.edgesUpTo(startSmp);   // edges at or before the start sample
    for (size_t k = size_t(before); k < ch.edges.size(); ++k) {
        const long long e = ch.edges[k];
        const long long p = pixelOf(e);
        if (p >= width)
            break;
        edgesIn[size_t(p)] += 1;
        if (e <= (long long)(double(p) * spp + offset))
            onFirstSample[size_t(p)] += 1;
    }
    long long parity = ch.initLevel + before;
    bool prevColumn = false;
    for (long long x = x0; x < width; ++x) {
        int n = edgesIn[size_t(x)];
        if (prevColumn && onFirstSample[size_t(x)]) {
            n -= onFirstSample[size_t(x)];
            parity += onFirstSample[size_t(x)];
        }
        prevColumn = false;
        if (n > 0) {
            px[size_t(x)] = 2;
            prevColumn = true;
        } else if (x < limit) {
            px[size_t(x)] = int(parity & 1);
        }
        parity += n;
    }
    return px;
}

// The glitch filter's rules one entry at a time: a step of at most w samples
// is a glitch; a long step after an odd number of glitches moves the last
// kept edge to its own position (or, before anything is kept, keeps the
// change at the last glitch); after an even number it keeps the last glitch
// and itself. A pulse running into the end leaves the last kept entry there.
inline std::vector<long long> plainFilter(const std::vector<long long>& raw, long long w)
{
    std::vector<long long> out;
    long long prev = 0, s = 0;
    bool written = false;
    for (long long p : raw) {
        if (p - prev > w) {
            if (s == 0) {
                out.push_back(p);
            } else if (s % 2 == 1) {
                if (written) {
                    out.back() = p;
                } else {
                    out.push_back(prev);
                    out.push_back(p);
                }
            } else {
                if (written) {
                    out.back() = prev;
                    out.push_back(p);
                } else {
                    out.push_back(p);
                }
            }
            written = true;
            s = 0;
        } else {
            ++s;
        }
        prev = p;
    }
    if (s > 0) {
        if (out.empty())
            out.push_back(prev);
        else
            out.back() = prev;
    }
    return out;
}
