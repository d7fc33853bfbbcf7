#include "device/rawconvert.h"

#include "device/smpblockpool.h"
#include "device/smpdata.h"
#include "device/wordquiet.h"

#include <algorithm>
#include <cstring>

namespace {

using wordquiet::load64;

inline long long report(const SmpData& d, long long* smpCount)
{
    if (smpCount)
        *smpCount = d.smpCount;
    return d.smpCount;
}

// Appends to the lists of one conversion call. The last block and its fill of
// every channel are kept here, so an append is one store pair and a compare,
// not a walk down the three levels; flush() writes the fills back.
class Appender {
public:
    Appender(SmpData& d, int limit)
    {
        const int n = std::min(std::min(limit, d.chnNum), 64);
        for (int c = 0; c < n; ++c) {
            Tail& t = tails_[c];
            t.list = d.chnData[size_t(c)];
            if (!t.list)
                continue;
            mask_ |= 1ULL << c;
            if (t.list->groupNum > 0) {
                DataGroup* g = t.list->groups[t.list->groupNum - 1];
                if (g->blockNum > 0) {
                    t.blk = g->blocks[g->blockNum - 1];
                    t.num = t.blk->num;
                }
            }
        }
    }
    ~Appender() { flush(); }
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    uint64_t enabled() const { return mask_; }

    __attribute__((always_inline)) bool add(int c, long long pos)
    {
        Tail& t = tails_[c];
        if (t.num < DataBlock::Capacity) {
            t.blk->setPos(t.num++, pos);
            return true;
        }
        return addSlow(t, pos);
    }

    // Edges of channel c at base + j for every bit j set in t (t < 2^16). The
    // first four are written without a jump on their number, which is random
    // on busy data; further ones take the loop. Slots past the count are
    // written but not counted, so the next edge overwrites them.
    __attribute__((always_inline)) bool addBits(int c, long long base, uint32_t t)
    {
        Tail& tl = tails_[c];
        if (tl.num + 4 <= DataBlock::Capacity) {
            const uint32_t t1 = t & (t - 1);
            const uint32_t t2 = t1 & (t1 - 1);
            const uint32_t t3 = t2 & (t2 - 1);
            DataBlock* const b = tl.blk;
            const int n = tl.num;
            // All four share the top byte unless base + 16 crosses 2^32.
            const uint8_t hi = uint8_t(uint64_t(base) >> 32);
            if (uint8_t(uint64_t(base + 16) >> 32) == hi) {
                // Packed by hand into three stores: left to itself the
                // compiler moves the four values through vector registers.
                const uint64_t lo = uint32_t(base);
                const uint64_t p01 = (lo + __builtin_ctz(t | 0x10000u))
                    | (lo + __builtin_ctz(t1 | 0x10000u)) << 32;
                const uint64_t p23 = (lo + __builtin_ctz(t2 | 0x10000u))
                    | (lo + __builtin_ctz(t3 | 0x10000u)) << 32;
                const uint32_t h4 = hi * 0x01010101u;
                std::memcpy(b->posLow + n, &p01, 8);
                std::memcpy(b->posLow + n + 2, &p23, 8);
                std::memcpy(b->posHigh + n, &h4, 4);
            } else {
                b->setPos(n, base + __builtin_ctz(t | 0x10000u));
                b->setPos(n + 1, base + __builtin_ctz(t1 | 0x10000u));
                b->setPos(n + 2, base + __builtin_ctz(t2 | 0x10000u));
                b->setPos(n + 3, base + __builtin_ctz(t3 | 0x10000u));
            }
            tl.num = n + int(t != 0) + int(t1 != 0) + int(t2 != 0) + int(t3 != 0);
            t = t3 & (t3 - 1);
        }
        while (t) {
            const int j = __builtin_ctz(t);
            t &= t - 1;
            if (!add(c, base + j))
                return false;
        }
        return true;
    }

    // An edge at pos for every channel whose bit is set in changed.
    bool addChanged(uint64_t changed, long long pos)
    {
        while (changed) {
            const int c = __builtin_ctzll(changed);
            changed &= changed - 1;
            if (!add(c, pos))
                return false;
        }
        return true;
    }

    void flush()
    {
        uint64_t m = mask_;
        while (m) {
            Tail& t = tails_[__builtin_ctzll(m)];
            m &= m - 1;
            if (t.blk)
                t.blk->num = t.num;
        }
    }

private:
    struct Tail {
        DigitalChnData* list = nullptr;
        DataBlock* blk = nullptr;
        int num = DataBlock::Capacity;   // full: the first add opens a block
    };

    __attribute__((noinline)) bool addSlow(Tail& t, long long pos)
    {
        if (t.blk)
            t.blk->num = t.num;
        if (!SmpData::newDataBlock(t.list))
            return false;
        DataGroup* g = t.list->groups[t.list->groupNum - 1];
        t.blk = g->blocks[g->blockNum - 1];
        t.num = 0;
        t.blk->setPos(t.num++, pos);
        return true;
    }

    Tail tails_[64];
    uint64_t mask_ = 0;
};

// Buffer-mode frames: Records records of LevelBytes level bytes and a run byte.
template <int FrameBytes, int Records, int LevelBytes, bool Checked>
struct FrameConverter {
    static constexpr int RecordBytes = LevelBytes + 1;

    static uint32_t level(const unsigned char* r)
    {
        uint32_t v = 0;
        for (int i = 0; i < LevelBytes; ++i)
            v |= uint32_t(r[i]) << (8 * i);
        return v;
    }

    // Converts one whole frame; frameOffset is its offset in the caller's
    // buffer (negative when its first bytes came with the previous buffer).
    static bool frame(SmpData& d, RawConvertState& st, Appender& app, uint64_t enabled,
                      const unsigned char* f, long long frameOffset)
    {
        if (st.framesFirst) {
            st.framePrevLevel = level(f);
            st.frameRecords = 0;
            d.initLevels = st.framePrevLevel;
            st.framesFirst = false;
        }
        for (int r = 0; r < Records; ++r) {
            const unsigned char* rec = f + r * RecordBytes;
            const uint32_t lv = level(rec);
            const int run = rec[LevelBytes];
            const uint64_t changed = uint64_t(st.framePrevLevel ^ lv) & enabled;
            if (changed && !app.addChanged(changed, d.smpCount))
                return false;
            d.smpCount += run;
            if (run == 0)
                d.badRecordOffset = int(std::max(0LL, frameOffset + r * RecordBytes));
            st.framePrevLevel = lv;
            if (++st.frameRecords == d.trgRecord)
                d.trgPosition = d.smpCount;
        }
        if (Checked && (f[FrameBytes - 2] ^ f[FrameBytes - 1]) != 0xFF)
            d.badRecordOffset = int(std::max(0LL, frameOffset + FrameBytes - 2));
        return true;
    }

    static bool convert(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                        int* consumed)
    {
        if (!buf || len <= 0)
            return true;
        Appender app(d, LevelBytes * 8);
        const uint64_t enabled = app.enabled();
        int off = 0;
        if (st.frameCarryLen > 0) {
            // Complete the frame that the previous buffer began.
            const int take = std::min(FrameBytes - st.frameCarryLen, len);
            std::memcpy(st.frameCarry + st.frameCarryLen, buf, size_t(take));
            st.frameCarryLen += take;
            off = take;
            if (st.frameCarryLen < FrameBytes) {
                if (consumed)
                    *consumed += len;
                return true;
            }
            st.frameCarryLen = 0;
            if (!frame(d, st, app, enabled, st.frameCarry, off - FrameBytes))
                return false;   // consumed += 0: the frame began before this buffer
        }
        for (; off + FrameBytes <= len; off += FrameBytes) {
            if (!frame(d, st, app, enabled, buf + off, off)) {
                if (consumed)
                    *consumed += off;
                return false;
            }
        }
        st.frameCarryLen = len - off;
        std::memcpy(st.frameCarry, buf + off, size_t(st.frameCarryLen));
        if (consumed)
            *consumed += len;
        return true;
    }
};

// Removes the last entry of a list (two edges at one position cancel).
void popEntry(DigitalChnData* d)
{
    DataGroup* g = d->groups[d->groupNum - 1];
    DataBlock* b = g->blocks[g->blockNum - 1];
    if (--b->num > 0)
        return;
    SmpBlockPool::instance().give(b);
    if (--g->blockNum > 0)
        return;
    delete g;
    --d->groupNum;
}

inline DataBlock* lastBlock(DigitalChnData* d)
{
    DataGroup* g = d->groups[d->groupNum - 1];
    return g->blocks[g->blockNum - 1];
}

} // namespace

bool rawConvertFrames16(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                        int* consumed)
{
    return FrameConverter<16, 5, 2, false>::convert(d, st, buf, len, consumed);
}

bool rawConvertFrames32(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                        int* consumed)
{
    return FrameConverter<32, 6, 4, true>::convert(d, st, buf, len, consumed);
}

bool rawConvertBytes8(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                      int start, long long* smpCount)
{
    int begin = 0;
    if (start >= 0) {
        st.bytesFirst = true;
        begin = start;
    }
    if (!buf || len <= 0) {
        report(d, smpCount);
        return true;
    }
    if (st.bytesFirst) {
        st.bytePrev = buf[0];
        d.initLevels = buf[0];
        st.bytesFirst = false;
    }
    if (begin >= len) {
        report(d, smpCount);
        return true;
    }

    Appender app(d, 8);
    const uint64_t enabled = app.enabled() * 0x0101010101010101ULL;
    const long long base = d.smpCount - begin;   // position of byte i is base + i
    const size_t n = size_t(len);
    size_t i = size_t(begin);
    uint64_t prev = st.bytePrev;
    bool ok = true;
    // Eight samples at a time: byte k of x holds the channels that change at
    // sample i + k, so bit b is channel b % 8 at sample i + b / 8.
    while (i + 8 <= n) {
        const uint64_t w = load64(buf + i);
        uint64_t x = (w ^ ((w << 8) | prev)) & enabled;
        prev = w >> 56;
        if (x) {
            const long long at = base + (long long)i;
            do {
                const int b = __builtin_ctzll(x);
                x &= x - 1;
                if (!app.add(b & 7, at + (b >> 3))) {
                    ok = false;
                    break;
                }
            } while (x);
            if (!ok)
                break;
            i += 8;
            continue;
        }
        i += 8;
        // Quiet stretch: skip whole 32-byte runs of the same byte.
        const uint64_t pat = prev * 0x0101010101010101ULL;
        while (i + 32 <= n
               && ((load64(buf + i) ^ pat) | (load64(buf + i + 8) ^ pat)
                   | (load64(buf + i + 16) ^ pat) | (load64(buf + i + 24) ^ pat))
                   == 0)
            i += 32;
    }
    for (; ok && i < n; ++i) {
        uint64_t x = (prev ^ buf[i]) & enabled & 0xFF;
        prev = buf[i];
        while (x) {
            const int c = __builtin_ctzll(x);
            x &= x - 1;
            if (!app.add(c, base + (long long)i)) {
                ok = false;
                break;
            }
        }
    }
    // After a failed allocation the converted part stays consistent; the
    // count stops at the word being converted.
    st.bytePrev = (unsigned char)prev;
    d.smpCount = ok ? base + len : base + (long long)i;
    report(d, smpCount);
    return ok;
}

bool rawConvertWords16(SmpData& d, RawConvertState& st, const unsigned char* buf, int len,
                       int start, long long* smpCount)
{
    int begin = 0;
    if (start >= 0) {
        st.wordOrdinal = 0;
        st.wordKnown = 0;
        st.wordOddPending = false;
        d.initLevels = 0;
        int k = 0;
        for (int ch = 0; ch < d.chnNum; ++ch) {
            d.chnLevel[size_t(ch)] = 0;
            if (d.chnData[size_t(ch)] && ch < 64)
                d.chnOrder[size_t(k++)] = ch;
        }
        st.wordEnabled = k;
        if (!buf || start >= len) {
            report(d, smpCount);
            return true;
        }
        begin = start;
    } else if (!buf || len <= 0) {
        report(d, smpCount);
        return true;
    }
    const int n = st.wordEnabled;
    if (n == 0) {
        report(d, smpCount);
        return true;
    }

    Appender app(d, 64);
    const int* order = d.chnOrder.data();
    unsigned int* levels = d.chnLevel.data();
    const uint64_t allKnown = n >= 64 ? ~0ULL : ((1ULL << n) - 1);
    int ord = st.wordOrdinal;
    long long count = d.smpCount;   // first sample of the current cycle

    // One word of the channel at the current ordinal: an edge at every bit
    // that differs from the bit before it (the first from the current level).
    auto word = [&app, order, levels, n](uint32_t w, int& ord, long long& count)
        __attribute__((always_inline)) -> bool {
        const int ch = order[ord];
        const unsigned old = levels[ch];
        if (!app.addBits(ch, count, (w ^ ((w << 1) | old)) & 0xFFFFu))
            return false;
        levels[ch] = (w >> 15) & 1;
        if (++ord == n) {
            ord = 0;
            count += 16;
        }
        return true;
    };
    // The first word of each channel gives its start level (bit 0).
    auto firstWord = [&](uint32_t w) -> bool {
        const int ch = order[ord];
        levels[ch] = w & 1;
        if (w & 1)
            d.initLevels |= 1ULL << ch;
        st.wordKnown |= 1ULL << ord;
        return word(w, ord, count);
    };
    auto anyWord = [&](uint32_t w) -> bool {
        return st.wordKnown == allKnown ? word(w, ord, count) : firstWord(w);
    };

    size_t i = size_t(begin);
    const size_t total = size_t(len);
    bool ok = true;
    if (st.wordOddPending) {
        // The low byte of this word ended the previous buffer.
        st.wordOddPending = false;
        ok = anyWord(uint32_t(st.wordOddByte) | (uint32_t(buf[i]) << 8));
        ++i;
    }
    const size_t firstWhole = i;   // words of this buffer start here
    while (ok && i + 2 <= total && st.wordKnown != allKnown) {
        ok = firstWord(uint32_t(buf[i]) | (uint32_t(buf[i + 1]) << 8));
        i += 2;
    }
    // Until the previous word of every channel lies in this buffer.
    const size_t cycleBytes = 2 * size_t(n);
    const size_t bulkFrom = firstWhole + cycleBytes;
    for (; ok && i < bulkFrom && i + 2 <= total; i += 2)
        ok = word(uint32_t(buf[i]) | (uint32_t(buf[i + 1]) << 8), ord, count);
    if (ok && n <= 32 && i >= bulkFrom && i + 32 <= total) {
        // Sixteen words at a time. A word carries no edge when it repeats the
        // last bit of the same channel's previous word, which lies one cycle
        // (n words) back in the buffer: compare with that bit broadcast. Quiet
        // stretches cost a few operations per sixteen words whatever n is.
        uint8_t ordAt[32][17];
        uint8_t cycAt[32][17];
        for (int o = 0; o < n; ++o)
            for (int k = 0; k <= 16; ++k) {
                ordAt[o][k] = uint8_t((o + k) % n);
                cycAt[o][k] = uint8_t((o + k) / n);
            }
        // Thirty-two words further: ordinal and whole cycles.
        uint8_t ord32[32];
        uint8_t cyc32[32];
        for (int o = 0; o < n; ++o) {
            ord32[o] = uint8_t((o + 32) % n);
            cyc32[o] = uint8_t((o + 32) / n);
        }
        int o = ord;
        long long c = count;
        // Set when the last n words are all 0 or 0xFFFF: then a word repeats
        // its level exactly when it equals the word one cycle back, a plain
        // compare that long quiet stretches take 64 bytes at a time.
        bool calm = false;
        while (i + 32 <= total) {
            if (calm) {
                while (i + 64 <= total) {
                    const unsigned char* p = buf + i;
                    const unsigned char* q = p - cycleBytes;
                    uint64_t diff = 0;
                    for (int b = 0; b < 64; b += 8)
                        diff |= load64(p + b) ^ load64(q + b);
                    if (diff)
                        break;
                    i += 64;
                    c += 16LL * cyc32[o];
                    o = ord32[o];
                }
                if (i + 32 > total)
                    break;
            }
            const unsigned char* p = buf + i;
            uint32_t lanes = wordquiet::changedWords16(p, cycleBytes);
            calm = lanes == 0 && n <= 16;
            if (lanes != 0) {
                do {
                    const int k = __builtin_ctz(lanes);
                    lanes &= lanes - 1;
                    const uint32_t w = uint32_t(p[2 * k]) | (uint32_t(p[2 * k + 1]) << 8);
                    const uint32_t old = (p - cycleBytes)[2 * k + 1] >> 7;
                    if (!app.addBits(order[ordAt[o][k]], c + 16LL * cycAt[o][k], (w ^ ((w << 1) | old)) & 0xFFFFu)) {
                        ok = false;
                        i += 2 * size_t(k);
                        c += 16LL * cycAt[o][k];
                        o = ordAt[o][k];
                        break;
                    }
                } while (lanes);
                if (!ok)
                    break;
            }
            i += 32;
            c += 16LL * cycAt[o][16];
            o = ordAt[o][16];
        }
        ord = o;
        count = c;
        // Each channel's level is the last bit of its latest word.
        for (int k = 1; k <= n; ++k) {
            const unsigned char* p = buf + i - 2 * size_t(k);
            levels[order[(ord - k + 2 * n) % n]] = (p[1] >> 7) & 1u;
        }
    }
    for (; ok && i + 2 <= total; i += 2)
        ok = word(uint32_t(buf[i]) | (uint32_t(buf[i + 1]) << 8), ord, count);
    if (ok && i < total) {
        st.wordOddPending = true;
        st.wordOddByte = buf[i];
    }
    st.wordOrdinal = ord;
    d.smpCount = count;
    report(d, smpCount);
    return ok;
}

bool rawConvertRuns(SmpData& d, const int* runs, int n, int chn, long long* pos, bool merge)
{
    if (!runs || !pos || n < 1 || chn < 0 || chn >= d.chnNum)
        return true;
    DigitalChnData* list = d.chnData[size_t(chn)];
    if (!list)
        return true;
    int i = 0;
    if (merge && *pos >= 1 && tavEntryCount(list) > 0) {
        // The first run continues the last one of the previous call.
        *pos += std::max(runs[0], 0);
        DataBlock* b = lastBlock(list);
        b->setPos(b->num - 1, *pos);
        i = 1;
    }
    for (; i < n; ++i) {
        // A run of zero puts two edges on one position: they cancel.
        *pos += std::max(runs[i], 0);
        if (tavEntryCount(list) > 0) {
            DataBlock* b = lastBlock(list);
            if (b->pos(b->num - 1) == *pos) {
                popEntry(list);
                continue;
            }
        }
        if (!SmpData::appendEntry(list, *pos))
            return false;
    }
    return true;
}
