#include "device/smpdataosc.h"
#include "device/smpdataosc_p.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TAV_OSC_AVX2 1
#include <immintrin.h>
#endif

namespace {

// Pixel columns stay far inside int whatever the scale asks for.
int pixelOf(double v)
{
    if (!(v > -1e9))
        return -1000000000;
    if (v > 1e9)
        return 1000000000;
    return int(v);
}

short clampCode(long long v)
{
    return short(std::min<long long>(std::max<long long>(v, std::numeric_limits<short>::min()),
                                     std::numeric_limits<short>::max()));
}

// (z + 4r) * g / 1000 in 32-bit signed arithmetic (wrapping as the instrument's
// reference does), truncated toward zero, stored as 16 bits.
void fillCodeTable(short* table, int z, int g)
{
    for (int b = 0; b < 256; ++b) {
        const int r = int(static_cast<signed char>(b));
        const uint32_t p = uint32_t((static_cast<long long>(z) + 4LL * r) * g);
        const int32_t w = int32_t(p);
        table[b] = short(int16_t(uint16_t(uint32_t(w / 1000))));
    }
}

// Byte pairs to the two channels' codes; eight bytes read at a time.
void convertPairs(const uchar* __restrict p, short* __restrict a, short* __restrict b,
                  long long pairs, const short* __restrict t0, const short* __restrict t1)
{
    long long i = 0;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    for (; i + 4 <= pairs; i += 4) {
        uint64_t w;
        std::memcpy(&w, p + 2 * i, 8);
        a[i] = t0[w & 0xFF];
        b[i] = t1[(w >> 8) & 0xFF];
        a[i + 1] = t0[(w >> 16) & 0xFF];
        b[i + 1] = t1[(w >> 24) & 0xFF];
        a[i + 2] = t0[(w >> 32) & 0xFF];
        b[i + 2] = t1[(w >> 40) & 0xFF];
        a[i + 3] = t0[(w >> 48) & 0xFF];
        b[i + 3] = t1[(w >> 56) & 0xFF];
    }
#endif
    for (; i < pairs; ++i) {
        a[i] = t0[p[2 * i]];
        b[i] = t1[p[2 * i + 1]];
    }
}

#ifdef TAV_OSC_AVX2
// The code table's arithmetic, sixteen codes at a time. (z + 4r) * g wraps to
// the same 32 bits as r * g4 + zg with g4 = 4g and zg = z * g taken modulo
// 2^32. The quotient by 1000 truncates toward zero: the high half of the
// product with ceil(2^38 / 1000), shifted by 6, plus one for a negative
// dividend (exact for every int32). Only the low 16 bits are kept.
struct Lin {
    __m256i g4, zg;
};

__attribute__((target("avx2"))) inline Lin linOf(int z, int g)
{
    const auto w = [](long long v) { return int(uint32_t(v)); };
    return {_mm256_set1_epi32(w(4LL * g)), _mm256_set1_epi32(w(static_cast<long long>(z) * g))};
}

// r holds sixteen signed samples as int16; the even ones are converted with
// ke, the odd ones with ko. Each 64-bit quarter of the result takes its four
// codes from four 32x32-bit products (one per word), so the codes come out in
// sample order without a shuffle.
__attribute__((target("avx2"))) inline __m256i codes16(__m256i r, const Lin& ke, const Lin& ko)
{
    const __m256i m = _mm256_set1_epi32(0x10624DD3);
    const __m256i re = _mm256_srai_epi32(_mm256_slli_epi32(r, 16), 16);
    const __m256i ro = _mm256_srai_epi32(r, 16);
    const __m256i pe = _mm256_add_epi32(_mm256_mullo_epi32(re, ke.g4), ke.zg);   // samples 2j
    const __m256i po = _mm256_add_epi32(_mm256_mullo_epi32(ro, ko.g4), ko.zg);   // samples 2j + 1
    // Bits 38-53 of each product are the floor quotient's low 16 bits.
    const __m256i w0 = _mm256_srli_epi64(_mm256_mul_epi32(pe, m), 38);
    const __m256i w1 = _mm256_srli_epi64(_mm256_mul_epi32(po, m), 22);
    const __m256i w2 = _mm256_srli_epi64(_mm256_mul_epi32(_mm256_srli_epi64(pe, 32), m), 6);
    const __m256i w3 = _mm256_slli_epi64(_mm256_mul_epi32(_mm256_srli_epi64(po, 32), m), 10);
    const __m256i q = _mm256_blend_epi16(_mm256_blend_epi32(w0, w2, 0xAA),
                                         _mm256_blend_epi32(w1, w3, 0xAA), 0xAA);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i neg = _mm256_blend_epi16(_mm256_cmpgt_epi32(zero, pe),
                                           _mm256_cmpgt_epi32(zero, po), 0xAA);
    return _mm256_sub_epi16(q, neg);
}

// Dual record: 32 bytes (16 pairs) per step, the rest through the tables.
__attribute__((target("avx2"))) void convertPairsAvx2(
    const uchar* __restrict p, short* __restrict a, short* __restrict b, long long pairs,
    const short* __restrict t0, const short* __restrict t1, int z0, int g0, int z1, int g1)
{
    const Lin ka = linOf(z0, g0);
    const Lin kb = linOf(z1, g1);
    long long i = 0;
    for (; i + 16 <= pairs; i += 16) {
        // Word k holds pair k: channel a's byte low, b's high.
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2 * i));
        const __m256i ra = _mm256_srai_epi16(_mm256_slli_epi16(v, 8), 8);
        const __m256i rb = _mm256_srai_epi16(v, 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(a + i), codes16(ra, ka, ka));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i), codes16(rb, kb, kb));
    }
    convertPairs(p + 2 * i, a + i, b + i, pairs - i, t0, t1);
}

// Single-channel record starting at an even sample: byte i is sample i, taken
// by ADC half i & 1. 16 bytes per step, the rest through the tables.
__attribute__((target("avx2"))) void convertAlternateAvx2(
    const uchar* __restrict p, short* __restrict d, long long n, const short* __restrict t0,
    const short* __restrict t1, int z0, int g0, int z1, int g1)
{
    const Lin k0 = linOf(z0, g0);
    const Lin k1 = linOf(z1, g1);
    long long i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                            codes16(_mm256_cvtepi8_epi16(v), k0, k1));
    }
    for (; i < n; ++i)
        d[i] = (i & 1) ? t1[p[i]] : t0[p[i]];
}

bool cpuHasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#else
bool cpuHasAvx2()
{
    return false;
}
#endif

std::atomic<bool> tableForced{false};

} // namespace

bool SmpDataOscPath::vectorSupported()
{
    return cpuHasAvx2();
}

void SmpDataOscPath::forceTable(bool on)
{
    tableForced.store(on, std::memory_order_relaxed);
}

bool SmpDataOscPath::vectorActive()
{
    return cpuHasAvx2() && !tableForced.load(std::memory_order_relaxed);
}

SmpDataOsc::SmpDataOsc(int chnNum_, int)
    : chnData(size_t(chnNum_ > 0 ? chnNum_ : 0), nullptr),
      chnNum(chnNum_ > 0 ? chnNum_ : 0),
      mathData(size_t(chnNum_ > 0 ? chnNum_ : 0), nullptr),
      levelHigh(chnNum_ > 0 ? chnNum_ : 0, 0.0),
      levelLow(chnNum_ > 0 ? chnNum_ : 0, 0.0),
      rng(QRandomGenerator::global()->generate())
{
}

SmpDataOsc::~SmpDataOsc()
{
    freeAll();
}

void SmpDataOsc::freeAll()
{
    for (AnalogChnData*& d : chnData) {
        std::free(d);
        d = nullptr;
    }
    for (MathChnBuf*& m : mathData) {
        std::free(m);
        m = nullptr;
    }
}

void SmpDataOsc::clearData()
{
    freeAll();
    trgRecord = 0;
    rawBytes = 0;
    runSerial = 0;
}

const AnalogChnData* SmpDataOsc::block(int chn) const
{
    if (chn < 0 || chn >= chnNum)
        return nullptr;
    return chnData[size_t(chn)];
}

double SmpDataOsc::codeToMv(const AnalogChnData* d, double code)
{
    if (d->halfScreenCodes == 0)
        return 0.0;
    return (code * 0.5 / d->halfScreenCodes - d->offset / 1000.0) * d->voltDiv * 10.0;
}

bool SmpDataOsc::dataConvertStart(int trgPosition_, qint64 smpFrequ_, const int* voltDiv,
                                  const int* halfScreenCodes, const int* offset, const bool* chnEna)
{
    for (MathChnBuf*& m : mathData) {
        std::free(m);
        m = nullptr;
    }
    smpFrequ = smpFrequ_;
    trgPosition = trgPosition_;
    trgRecord = trgPosition_;
    rawBytes = 0;
    runSerial = 0;
    bool ok = true;
    for (int ch = 0; ch < chnNum; ++ch) {
        AnalogChnData*& d = chnData[size_t(ch)];
        if (!chnEna || !chnEna[ch]) {
            std::free(d);
            d = nullptr;
            continue;
        }
        // A block of the previous capture is reused: its pages are already mapped.
        if (!d)
            d = static_cast<AnalogChnData*>(std::malloc(sizeof(AnalogChnData)));
        if (!d) {
            ok = false;
            continue;
        }
        d->smpCount = 0;
        d->trgPosition = 0;
        d->halfScreenCodes = halfScreenCodes ? halfScreenCodes[ch] : 0;
        d->offset = offset ? offset[ch] : 0;
        d->voltDiv = voltDiv ? voltDiv[ch] : 0;
        d->smpFrequ = smpFrequ_;
    }
    return ok;
}

const short* SmpDataOsc::codeTable(int half, int zero, int slope)
{
    CodeTable& t = tables[half];
    if (!t.valid || t.zero != zero || t.slope != slope) {
        fillCodeTable(t.code, zero, slope);
        t.zero = zero;
        t.slope = slope;
        t.valid = true;
    }
    return t.code;
}

bool SmpDataOsc::dataConvertM2_16(const CalibAdcData* cal, const uchar* raw, int len,
                                  int* consumed)
{
    if (consumed)
        *consumed = len > 0 ? len : 0;
    if (len <= 0 || !raw || !cal)
        return true;
    const long long start = rawBytes;
    rawBytes += len;

    AnalogChnData* a = chnNum > 0 ? chnData[0] : nullptr;
    AnalogChnData* b = chnNum > 1 ? chnData[1] : nullptr;
    constexpr long long cap = AnalogChnData::Capacity;

    if (a && b) {
        const short* t0 = codeTable(0, cal->zeroDual[0], cal->slope[0]);
        const short* t1 = codeTable(1, cal->zeroDual[1], cal->slope[1]);
        // Byte k belongs to channel k & 1, sample k / 2.
        long long k = start;
        const long long endByte = std::min(start + len, 2 * cap);
        const uchar* p = raw;
        if (k < endByte && (k & 1)) {
            b->data[k >> 1] = t1[*p++];
            ++k;
        }
        const long long pairs = (endByte - k) / 2;
#ifdef TAV_OSC_AVX2
        if (SmpDataOscPath::vectorActive())
            convertPairsAvx2(p, a->data + (k >> 1), b->data + (k >> 1), pairs, t0, t1,
                             cal->zeroDual[0], cal->slope[0], cal->zeroDual[1], cal->slope[1]);
        else
#endif
            convertPairs(p, a->data + (k >> 1), b->data + (k >> 1), pairs, t0, t1);
        k += 2 * pairs;
        p += 2 * pairs;
        if (k < endByte)
            a->data[k >> 1] = t0[*p];

        const int n = int(std::min(rawBytes / 2, cap));
        int trg = trgRecord / 2;
        if (trg >= n)
            trg = n - 1;
        if (trg < 0)
            trg = 0;
        trgPosition = trg;
        a->smpCount = b->smpCount = n;
        a->trgPosition = b->trgPosition = trg;
        return true;
    }

    AnalogChnData* d = a ? a : b;
    if (!d)
        return true;   // no analog channel enabled: nothing can hold the bytes
    const short* t0 = codeTable(0, cal->zeroSingle[0], cal->slope[0]);
    const short* t1 = codeTable(1, cal->zeroSingle[1], cal->slope[1]);
    // Byte k is sample k, taken by ADC half k & 1.
    const long long endByte = std::min(start + len, cap);
    long long k = start;
#ifdef TAV_OSC_AVX2
    if (SmpDataOscPath::vectorActive() && k < endByte) {
        if (k & 1) {
            d->data[k] = t1[raw[0]];
            ++k;
        }
        convertAlternateAvx2(raw + (k - start), d->data + k, endByte - k, t0, t1,
                             cal->zeroSingle[0], cal->slope[0], cal->zeroSingle[1], cal->slope[1]);
        k = endByte;
    }
#endif
    for (; k < endByte; ++k) {
        const uchar v = raw[k - start];
        d->data[k] = (k & 1) ? t1[v] : t0[v];
    }
    if (start == 0)
        d->smpFrequ *= 2;   // the two halves sample alternately
    const int n = int(std::min(2 * (rawBytes / 2), cap));
    int trg = trgRecord;
    if (trg >= n)
        trg = n - 1;
    if (trg < 0)
        trg = 0;
    trgPosition = trg;
    d->smpCount = n;
    d->trgPosition = trg;
    return true;
}

bool SmpDataOsc::dataConvertSimu(const int* levels, int levelNum, int chn, int trgPercent,
                                 int smpNum)
{
    if (chn < 0 || chn >= chnNum)
        return true;
    AnalogChnData* d = chnData[size_t(chn)];
    if (!d)
        return true;
    if (chn != 0 && (!levels || levelNum <= 0))
        return true;
    smpNum = std::min(std::max(smpNum, 0), int(AnalogChnData::Capacity));
    trgPercent = std::min(std::max(trgPercent, 0), 1000);
    d->smpCount = smpNum;
    d->trgPosition = trgPercent * smpNum / 1000;
    if (smpNum == 0)
        return true;
    const int h = d->halfScreenCodes;
    const int base = int(static_cast<long long>(h) * d->offset / 500);
    auto noise = [this]() {
        const int r = int(rng.generate() & 0x7fffffff) % 128;
        return r < 7 ? r - 3 : 0;
    };

    if (chn == 0) {
        const int phase = int(rng.generate() & 0x7fffffff) % 90;
        const double a = std::fabs(0.5 - d->offset / 1000.0);
        const double f = (a <= 0 || a >= 1) ? 0.4 : 0.8 * (a > 0.5 ? 1 - a : a);
        const double amp = 2 * f * h;
        const double w = 36.44247416 / smpNum;
        const double ph = phase * 3.1415926 / 180;
        for (int i = 0; i < smpNum; ++i) {
            const double v = std::sin(i * w + ph) * (amp + noise()) + base;
            d->data[i] = clampCode((long long)v);
        }
        return true;
    }

    const double step = levelNum * 5.2 / smpNum;
    for (int i = 0; i < smpNum; ++i) {
        const double p = i * step;
        const int k = int((long long)p % levelNum);
        const int k1 = (k + 1) % levelNum;
        const long long c0 = base + 4LL * levels[k];
        const long long c1 = base + 4LL * levels[k1];
        const double v = double(c1 - c0 + noise()) * (p - std::floor(p));
        d->data[i] = clampCode((long long)v + c0);
    }
    return true;
}

int SmpDataOsc::getAnalogData(int chn, short** data) const
{
    const AnalogChnData* d = block(chn);
    if (!d)
        return 0;
    if (data)
        *data = const_cast<short*>(d->data);
    return d->smpCount;
}

bool SmpDataOsc::hasValidDataA(int chn) const
{
    const AnalogChnData* d = block(chn);
    return d && d->smpCount >= 1;
}

int SmpDataOsc::getAWaveLineData(int chn, double startSmp, double smpPerPixel, int width,
                                 WaveLineA* out) const
{
    const AnalogChnData* d = block(chn);
    // A width of 0 or less means no columns.
    if (!d || !out || width <= 0 || !(smpPerPixel > 0) || !std::isfinite(smpPerPixel)
        || !std::isfinite(startSmp) || d->smpCount < 1 || d->halfScreenCodes == 0)
        return 0;
    const long long cnt = std::min<long long>(d->smpCount, AnalogChnData::Capacity);
    if (startSmp >= double(cnt))
        return 0;
    long long s0 = 0;
    double frac;
    if (startSmp >= 0) {
        s0 = (long long)startSmp;
        frac = (double(s0) - startSmp) / smpPerPixel;
    } else {
        frac = -startSmp / smpPerPixel;
    }
    const long long b = s0;
    const double k = 5.0 * d->voltDiv / d->halfScreenCodes;
    const double off = d->voltDiv * d->offset / 100.0;
    auto mv = [k, off](int code) { return code * k - off; };

    if (smpPerPixel <= 1) {
        for (int j = 0;; ++j) {
            const int x = pixelOf(j / smpPerPixel + frac);
            const double v = mv(d->data[s0 + j]);
            out[j] = WaveLineA{x, v, v, true};
            if (j + 1 >= width || x >= width - 1 || s0 + j + 1 >= cnt)
                return j + 1;
        }
    }

    int j = 0;
    long long s = s0;
    while (s < cnt) {
        const int x = pixelOf(j + frac);
        const double eu = (j + 1) * smpPerPixel + double(b);
        long long e = eu >= double(cnt) ? cnt : (long long)eu;
        if (e <= s)
            e = s + 1;
        short lo = d->data[s];
        short hi = lo;
        for (long long i = s + 1; i < e; ++i) {
            const short c = d->data[i];
            lo = std::min(lo, c);
            hi = std::max(hi, c);
        }
        out[j] = WaveLineA{x, mv(hi), mv(lo), false};
        ++j;
        if (eu >= double(cnt) || j >= width || x >= width - 1)
            break;
        s = e;
    }
    return j;
}

int SmpDataOsc::getAMathWaveLineData(int op, const int* chns, double startSmp,
                                     double smpPerPixel, int width, WaveLineA* out)
{
    if (!chns || !out || width <= 0 || !(smpPerPixel > 0) || !std::isfinite(smpPerPixel)
        || !std::isfinite(startSmp))
        return 0;
    const int ca = chns[0];
    const int cb = chns[1];
    // A channel takes part when it has samples and a usable range.
    auto usable = [this](int c) -> const AnalogChnData* {
        const AnalogChnData* d = block(c);
        return d && d->smpCount > 0 && d->halfScreenCodes > 0 && d->voltDiv > 0 ? d : nullptr;
    };
    const AnalogChnData* da = usable(ca);
    const AnalogChnData* db = usable(cb);

    bool fresh = false;
    auto prepare = [this, &fresh](int c, const AnalogChnData*& d) {
        if (!d || mathData[size_t(c)])
            return;
        auto* m = static_cast<MathChnBuf*>(std::malloc(sizeof(MathChnBuf)));
        if (!m) {
            d = nullptr;   // treated as a channel without data
            return;
        }
        m->smpCount = 0;
        m->voltDiv = d->voltDiv;
        mathData[size_t(c)] = m;
        fresh = true;
    };
    prepare(ca, da);
    prepare(cb, db);
    if (!da && !db)
        return 0;

    double divA = 1.0;
    double divB = 1.0;
    MathChnBuf* ma = da ? mathData[size_t(ca)] : nullptr;
    MathChnBuf* mb = db ? mathData[size_t(cb)] : nullptr;
    if (ma && mb && ma->voltDiv != mb->voltDiv) {
        const int m = std::max(da->voltDiv, db->voltDiv);
        divA = double(m) / da->voltDiv;
        divB = double(m) / db->voltDiv;
        ma->voltDiv = m;
        mb->voltDiv = m;
        fresh = true;
    }
    if (fresh) {
        auto rescale = [](const AnalogChnData* d, MathChnBuf* m, double divisor) {
            const double base = double(d->offset) * 2 * d->halfScreenCodes / 1000;
            const double factor = 1000.0 / d->halfScreenCodes;
            const long long n = std::min<long long>(d->smpCount, AnalogChnData::Capacity);
            m->smpCount = n;
            for (long long i = 0; i < n; ++i)
                m->values[i] = (d->data[i] - base) * factor / divisor;
        };
        if (ma)
            rescale(da, ma, divA);
        if (mb && cb != ca)
            rescale(db, mb, divB);
    }

    double s = startSmp;
    double p0 = 0;
    if (startSmp < 0) {
        p0 = -startSmp / smpPerPixel;
        s = 0;
    }
    long long count = ma ? ma->smpCount : mb->smpCount;
    if (ma && mb)
        count = std::min(ma->smpCount, mb->smpCount);   // never read past either buffer
    const double e = std::min(width * smpPerPixel + startSmp, double(count));
    if (!(s < e))
        return 0;
    const long long first = (long long)s;
    const long long last = (long long)std::ceil(e);   // i < e
    mathResult.clear();
    mathResult.reserve(AnalogChnData::Capacity);
    const double* va = ma ? ma->values : nullptr;
    const double* vb = mb ? mb->values : nullptr;
    if (op < 0 || op > 3)
        return 0;
    for (long long i = first; i < last && double(i) < e; ++i) {
        double r;
        if (va && vb) {
            switch (op) {
            case 0: r = va[i] + vb[i]; break;
            case 1: r = va[i] - vb[i]; break;
            case 2: r = va[i] * vb[i]; break;
            default: r = vb[i] == 0 ? 0.0 : va[i] / vb[i]; break;
            }
        } else if (op == 0) {
            r = va ? va[i] : vb[i];
        } else if (op == 1) {
            r = va ? va[i] : -vb[i];
        } else {
            r = 0.0;
        }
        mathResult.push_back(r);
    }
    const long long size = (long long)mathResult.size();
    if (size == 0)
        return 0;
    const double scale = (ma ? ma->voltDiv : mb->voltDiv) * 0.005;
    const double* R = mathResult.data();

    if (smpPerPixel <= 1) {
        for (int j = 0;; ++j) {
            const int x = pixelOf(j / smpPerPixel + p0);
            const double v = R[j] * scale;
            out[j] = WaveLineA{x, v, v, true};
            if (j + 1 >= width || x >= width - 1 || j + 1 >= size)
                return j + 1;
        }
    }
    int j = 0;
    long long k = 0;
    while (k < size) {
        const int x = pixelOf(j + p0);
        const double eu = (j + 1) * smpPerPixel;
        long long end = eu >= double(size) ? size : (long long)eu;
        if (end <= k)
            end = k + 1;
        double lo = R[k];
        double hi = lo;
        for (long long i = k + 1; i < end; ++i) {
            lo = std::min(lo, R[i]);
            hi = std::max(hi, R[i]);
        }
        out[j] = WaveLineA{x, hi * scale, lo * scale, false};
        ++j;
        if (eu >= double(size) || j >= width || x >= width - 1)
            break;
        k = end;
    }
    return j;
}
