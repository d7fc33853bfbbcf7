#pragma once
// Plain references for the data file and export tests: captures as flat edge
// vectors, a store built from them, an independent reader of the logic block
// and brute-force exports.

#include "device/smpdata.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Channel selection as the callers pass it: one flag per channel index.
using Sel = std::array<bool, 64>;

struct RefChn {
    bool present = false;   // the store holds a list
    int initLevel = 0;
    std::vector<long long> edges;   // strictly increasing, all in (0, count)
};

struct RefCapture {
    int chnNum = 16;
    long long count = 0;
    long long rate = 100000000;
    long long trigger = 0;
    std::vector<RefChn> chn;

    int level(int c, long long p) const
    {
        const RefChn& r = chn[size_t(c)];
        const long long n = std::upper_bound(r.edges.begin(), r.edges.end(), p) - r.edges.begin();
        return int((r.initLevel + n) & 1);
    }
};

// Fills a store from a reference through its building interface.
inline void fillStore(SmpData& s, const RefCapture& r)
{
    Sel ena{};
    for (int c = 0; c < s.chnNum && c < int(r.chn.size()); ++c)
        ena[size_t(c)] = r.chn[size_t(c)].present;
    QVERIFY(s.dataConvertStart(0, r.rate, ena.data()));
    for (int c = 0; c < s.chnNum && c < int(r.chn.size()); ++c) {
        const RefChn& rc = r.chn[size_t(c)];
        if (!rc.present)
            continue;
        s.setInitLevel(c, rc.initLevel);
        for (long long e : rc.edges)
            QVERIFY(SmpData::appendEntry(s.chnData[size_t(c)], e));
    }
    s.smpCount = r.count;
    QVERIFY(s.dataConvertComplete(r.count));
    s.trgPosition = r.trigger;
}

// Flat list of one channel as the store holds it (edges and the end entry).
inline std::vector<long long> storeList(const SmpData& s, int c)
{
    std::vector<long long> out;
    const DigitalChnData* d = s.chnData[size_t(c)];
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

// Everything a load may change, to compare a store before and after.
struct StoreImage {
    long long count, rate, trigger;
    std::vector<int> present;
    std::vector<int> initLevel;
    std::vector<std::vector<long long>> lists;

    static StoreImage of(const SmpData& s)
    {
        StoreImage im{s.smpCount, s.smpFrequ, s.trgPosition, {}, {}, {}};
        for (int c = 0; c < s.chnNum; ++c) {
            const DigitalChnData* d = s.chnData[size_t(c)];
            im.present.push_back(d != nullptr);
            im.initLevel.push_back(d ? d->initLevel : -1);
            im.lists.push_back(storeList(s, c));
        }
        return im;
    }
    bool operator==(const StoreImage& o) const
    {
        return count == o.count && rate == o.rate && trigger == o.trigger && present == o.present
            && initLevel == o.initLevel && lists == o.lists;
    }
};

// Random capture: each present channel gets about `density` edges per sample.
inline RefCapture randomCapture(std::mt19937_64& rng, int chnNum, long long count, double density,
                                double presentProb = 0.85)
{
    RefCapture r;
    r.chnNum = chnNum;
    r.count = count;
    r.rate = 100000000;
    r.trigger = (long long)(rng() % (unsigned long long)count);
    r.chn.resize(size_t(chnNum));
    std::uniform_real_distribution<double> u(0, 1);
    for (auto& c : r.chn) {
        c.present = u(rng) < presentProb;
        if (!c.present)
            continue;
        c.initLevel = int(rng() & 1);
        const double d = density * u(rng) * 2;
        for (long long p = 1; p < count; ++p)
            if (u(rng) < d)
                c.edges.push_back(p);
    }
    return r;
}

inline long long rd40(const QByteArray& b, long long at)
{
    long long v = 0;
    for (int i = 4; i >= 0; --i)
        v = (v << 8) | (unsigned char)b[int(at + i)];
    return v;
}

inline void wr40(QByteArray& b, long long at, long long v)
{
    for (int i = 0; i < 5; ++i)
        b[int(at + i)] = char((v >> (8 * i)) & 0xff);
}

// A logic block as an independent reader sees it.
struct ParsedSection {
    int chn;
    int level;
    std::vector<long long> records;
};
struct ParsedBlock {
    bool ok = false;
    QString why;
    long long count = 0, rate = 0, trigger = 0;
    int chnNum = 0;
    std::vector<ParsedSection> sections;
};

inline ParsedBlock parseBlock(const QByteArray& b)
{
    ParsedBlock p;
    if (b.size() < 40) {
        p.why = "short head";
        return p;
    }
    if (b.left(5) != "vtdat" || b.mid(5, 3) != QByteArray(3, 0) || b.mid(13, 3) != QByteArray(3, 0)
        || b.mid(21, 3) != QByteArray(3, 0) || b.mid(29, 3) != QByteArray(3, 0) || b.mid(33, 7) != QByteArray(7, 0)) {
        p.why = "head bytes";
        return p;
    }
    p.count = rd40(b, 8);
    p.rate = rd40(b, 16);
    p.trigger = rd40(b, 24);
    p.chnNum = (unsigned char)b[32];
    long long at = 40;
    while (at < b.size()) {
        if (b.size() - at < 16 || b.mid(int(at), 3) != "##D" || b[int(at + 3)] != 0 || b.mid(int(at + 6), 2) != QByteArray(2, 0)
            || b.mid(int(at + 13), 3) != QByteArray(3, 0)) {
            p.why = QString("section head at %1").arg(at);
            return p;
        }
        ParsedSection s;
        s.chn = (unsigned char)b[int(at + 4)];
        s.level = (unsigned char)b[int(at + 5)];
        const long long n = rd40(b, at + 8);
        at += 16;
        if (b.size() - at < 5 * n) {
            p.why = "short records";
            return p;
        }
        for (long long i = 0; i < n; ++i)
            s.records.push_back(rd40(b, at + 5 * i));
        at += 5 * n;
        p.sections.push_back(s);
    }
    p.ok = true;
    return p;
}

inline QByteArray readAllOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& b)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(b) == b.size();
}

// The sorted, clamped range of a request.
inline void refRange(const RefCapture& r, long long a, long long b, long long* s, long long* e)
{
    if (a > b)
        std::swap(a, b);
    auto cl = [&](long long v) { return std::max(0LL, std::min(v, r.count - 1)); };
    *s = cl(a);
    *e = cl(b);
}

// Expected logic block of a range, built from the reference.
inline QByteArray refBlock(const RefCapture& r, const Sel& sel, long long a, long long b)
{
    long long s, e;
    refRange(r, a, b, &s, &e);
    const long long n = e - s + 1;
    QByteArray out(40, 0);
    out.replace(0, 5, "vtdat");
    wr40(out, 8, n);
    wr40(out, 16, r.rate);
    wr40(out, 24, r.trigger >= s ? r.trigger - s : 0);
    out[32] = char(r.chnNum);
    for (int c = 0; c < r.chnNum; ++c) {
        if (!sel[size_t(c)] || !r.chn[size_t(c)].present)
            continue;
        std::vector<long long> recs;
        for (long long p : r.chn[size_t(c)].edges)
            if (p > s && p <= e)
                recs.push_back(p - s);
        recs.push_back(n);
        QByteArray h(16, 0);
        h.replace(0, 3, "##D");
        h[4] = char(c);
        h[5] = char(r.level(c, s));
        wr40(h, 8, (long long)recs.size());
        out += h;
        QByteArray rb(int(recs.size() * 5), 0);
        for (size_t i = 0; i < recs.size(); ++i)
            wr40(rb, (long long)i * 5, recs[i]);
        out += rb;
    }
    return out;
}

// Exact time text, from the definition: trunc((p - trg) x 10^d / rate) in
// units of 10^-d s, d = 12 less the trailing zeros of 10^12 div rate.
inline QByteArray refTime(long long rate, long long trg, long long p)
{
    int d = 12;
    for (long long q = 1000000000000LL / rate; q % 10 == 0; q /= 10)
        --d;
    __int128 pow = 1;
    for (int i = 0; i < d; ++i)
        pow *= 10;
    __int128 v = (__int128)(p - trg) * pow / rate;
    const bool neg = v < 0;
    if (neg)
        v = -v;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(v % 10)));
        v /= 10;
    } while (v != 0);
    while ((int)digits.size() <= d)
        digits.insert(digits.begin(), '0');
    std::string txt = digits.substr(0, digits.size() - size_t(d)) + "." + digits.substr(digits.size() - size_t(d));
    return QByteArray((neg ? "-" : "") + QByteArray::fromStdString(txt));
}

// Brute-force text export: a row at the start and at every sample where a
// selected channel differs from the sample before.
inline QByteArray refCsv(const RefCapture& r, const Sel& sel, long long a, long long b,
                         const QByteArray& header)
{
    long long s, e;
    refRange(r, a, b, &s, &e);
    QByteArray out = header;
    for (long long p = s; p <= e; ++p) {
        bool row = p == s;
        for (int c = 0; c < r.chnNum && !row; ++c)
            row = sel[size_t(c)] && r.chn[size_t(c)].present && r.level(c, p) != r.level(c, p - 1);
        if (!row)
            continue;
        out += refTime(r.rate, r.trigger, p);
        for (int c = 0; c < r.chnNum; ++c)
            if (sel[size_t(c)])
                out += r.chn[size_t(c)].present && r.level(c, p) ? ", 1" : ", 0";
        out += '\n';
    }
    return out;
}

// Brute-force binary export, one record per sample.
inline QByteArray refBin(const RefCapture& r, const Sel& sel, long long a, long long b)
{
    long long s, e;
    refRange(r, a, b, &s, &e);
    const int bytes = (r.chnNum + 7) / 8;
    QByteArray out;
    out.reserve(int((e - s + 1) * bytes));
    for (long long p = s; p <= e; ++p) {
        char rec[8] = {};
        for (int c = 0; c < r.chnNum; ++c)
            if (sel[size_t(c)] && r.chn[size_t(c)].present && r.level(c, p))
                rec[c / 8] = char(rec[c / 8] | (1 << (c % 8)));
        out.append(rec, bytes);
    }
    return out;
}

// Names in a folder, to see that no temporary file was left behind.
inline QStringList folderEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}
