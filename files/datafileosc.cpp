// The oscilloscope block of a data file ("vtdms"): a 40-byte head, then per
// analog channel a 32-byte head and its 16-bit samples.
#include "files/datafile.h"

#include "device/smpdataosc.h"

#include <QSaveFile>

#include <cstring>
#include <memory>
#include <vector>

static_assert(sizeof(short) == 2, "samples are 16-bit");

bool DataFile::saveFileOsc_vtdat()
{
    const SmpDataOsc* s = smpDataOsc;
    if (s->smpFrequ < 1 || s->smpFrequ > MaxRate)
        return false;
    char h[DataHeadSize] = {};
    std::memcpy(h, "vtdms", 5);
    int64ToByte5(s->smpFrequ, h + 16);
    int64ToByte5((long long)s->trgPosition, h + 24);   // sign-extended to 40 bits
    h[32] = char(oscLogicChnNum);
    h[33] = char(s->chnNum);
    if (!writeAll(h, DataHeadSize))
        return false;
    for (int chn = 0; chn < s->chnNum; ++chn) {
        const AnalogChnData* d = s->chnData[size_t(chn)];
        if (!d || d->smpCount < 1)
            continue;
        // Never write what the reader would refuse. The trigger may sit just
        // past the last sample (the demo capture puts it there at 100 %).
        if (d->smpCount > AnalogChnData::Capacity || d->trgPosition < 0 || d->trgPosition > d->smpCount)
            return false;
        char a[AChnHeadSize] = {};
        std::memcpy(a, "#MA", 3);
        a[4] = char(chn);
        a[10] = char(d->halfScreenCodes);
        a[11] = char(d->halfScreenCodes >> 8);
        a[12] = char(d->offset);
        a[13] = char(d->offset >> 8);
        a[14] = char(d->voltDiv);
        a[15] = char(d->voltDiv >> 8);
        int64ToByte5(d->smpFrequ, a + 16);
        int32ToByte4(d->trgPosition, a + 24);
        int32ToByte4(d->smpCount, a + 28);
        if (!writeAll(a, AChnHeadSize))
            return false;
        // Samples are little-endian 16-bit words, as the block holds them.
        if (!writeAll(reinterpret_cast<const char*>(d->data), qint64(d->smpCount) * 2))
            return false;
    }
    return true;
}

namespace {

struct OscSection {
    int chn;
    int halfScreenCodes;
    int offset;
    int voltDiv;
    long long smpFrequ;
    int trgPosition;
    int smpCount;
    std::vector<short> data;
};

} // namespace

bool DataFile::readFileOsc_vtdat()
{
    SmpDataOsc* s = smpDataOsc;
    qint64 pos = file.pos();
    char h[DataHeadSize];
    if (fileSize - pos < DataHeadSize || !readAll(h, DataHeadSize))
        return false;
    pos += DataHeadSize;
    const long long rate = byte5toInt64(h + 16);
    if (std::memcmp(h, "vtdms", 5) != 0 || rate < 1 || rate > MaxRate)
        return false;
    const int start = byte4toInt32(h + 24);

    // Read and check the whole block before the store is touched.
    std::vector<OscSection> secs;
    std::vector<char> seen(size_t(s->chnNum > 0 ? s->chnNum : 0), 0);
    while (pos < fileSize) {
        char a[AChnHeadSize];
        if (fileSize - pos < AChnHeadSize || !readAll(a, AChnHeadSize))
            return false;
        pos += AChnHeadSize;
        OscSection sec;
        sec.chn = (unsigned char)a[4];
        sec.halfScreenCodes = (unsigned char)a[10] | ((unsigned char)a[11] << 8);
        sec.offset = (short)((unsigned char)a[12] | ((unsigned char)a[13] << 8));
        sec.voltDiv = (short)((unsigned char)a[14] | ((unsigned char)a[15] << 8));
        sec.smpFrequ = byte5toInt64(a + 16);
        sec.trgPosition = byte4toInt32(a + 24);
        sec.smpCount = byte4toInt32(a + 28);
        if (std::memcmp(a, "#MA", 3) != 0 || sec.chn >= s->chnNum || seen[size_t(sec.chn)] || sec.smpCount < 0
            || sec.smpCount > AnalogChnData::Capacity || qint64(sec.smpCount) * 2 > fileSize - pos)
            return false;
        if (sec.trgPosition < 0 || sec.trgPosition > sec.smpCount)
            return false;
        seen[size_t(sec.chn)] = 1;
        sec.data.resize(size_t(sec.smpCount));
        if (sec.smpCount > 0 && !readAll(reinterpret_cast<char*>(sec.data.data()), qint64(sec.smpCount) * 2))
            return false;
        pos += qint64(sec.smpCount) * 2;
        secs.push_back(std::move(sec));
    }

    const size_t n = seen.size();
    std::vector<int> voltDiv(n, 0), half(n, 0), offset(n, 0);
    std::unique_ptr<bool[]> ena(new bool[n ? n : 1]());
    for (const OscSection& sec : secs) {
        voltDiv[size_t(sec.chn)] = sec.voltDiv;
        half[size_t(sec.chn)] = sec.halfScreenCodes;
        offset[size_t(sec.chn)] = sec.offset;
        ena[size_t(sec.chn)] = true;
    }
    if (!s->dataConvertStart(start, rate, voltDiv.data(), half.data(), offset.data(), ena.get())) {
        s->clearData();
        return false;
    }
    for (const OscSection& sec : secs) {
        AnalogChnData* d = s->chnData[size_t(sec.chn)];
        if (!d) {
            s->clearData();
            return false;
        }
        if (sec.smpCount > 0)
            std::memcpy(d->data, sec.data.data(), size_t(sec.smpCount) * 2);
        d->smpCount = sec.smpCount;
        d->trgPosition = sec.trgPosition;
        d->halfScreenCodes = sec.halfScreenCodes;
        d->offset = sec.offset;
        d->voltDiv = sec.voltDiv;
        d->smpFrequ = sec.smpFrequ;
    }
    return true;
}
