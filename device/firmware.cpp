#include "device/firmware.h"

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Two hex digits at p; -1 when either is not one.
int hexByte(const char* p)
{
    const int h = hexDigit(p[0]);
    const int l = hexDigit(p[1]);
    return h < 0 || l < 0 ? -1 : (h << 4) | l;
}

bool isSpace(char c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

uint32_t le32(const QByteArray& b, qint64 o)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + o;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

FirmwareImage::Format FirmwareImage::detect(const QByteArray& image)
{
    if (image.size() >= 2 && image[0] == 'C' && image[1] == 'Y')
        return FormatBoot;
    for (char c : image) {
        if (isSpace(c))
            continue;
        return c == ':' ? FormatHex : FormatUnknown;
    }
    return FormatUnknown;
}

bool FirmwareImage::parseHex(const QByteArray& text, std::vector<FwChunk>* data, QString* error)
{
    if (data)
        data->clear();
    const char* s = text.constData();
    const int n = text.size();
    int pos = 0;
    int line = 1;
    while (pos < n) {
        const char c = s[pos];
        if (isSpace(c)) {
            if (c == '\n')
                ++line;
            ++pos;
            continue;
        }
        if (c != ':')
            return fail(error, QStringLiteral("line %1: text outside a record").arg(line));
        // ':' LL AAAA TT [DD...] CC
        if (n - pos < 11)
            return fail(error, QStringLiteral("line %1: record cut short").arg(line));
        const int len = hexByte(s + pos + 1);
        const int ah = hexByte(s + pos + 3);
        const int al = hexByte(s + pos + 5);
        const int type = hexByte(s + pos + 7);
        if (len < 0 || ah < 0 || al < 0 || type < 0)
            return fail(error, QStringLiteral("line %1: not a hex digit").arg(line));
        if (n - pos < 11 + 2 * len)
            return fail(error, QStringLiteral("line %1: record cut short").arg(line));
        unsigned sum = unsigned(len + ah + al + type);
        QByteArray bytes(len, '\0');
        for (int i = 0; i < len; ++i) {
            const int b = hexByte(s + pos + 9 + 2 * i);
            if (b < 0)
                return fail(error, QStringLiteral("line %1: not a hex digit").arg(line));
            bytes[i] = char(b);
            sum += unsigned(b);
        }
        const int check = hexByte(s + pos + 9 + 2 * len);
        if (check < 0)
            return fail(error, QStringLiteral("line %1: not a hex digit").arg(line));
        if (((sum + unsigned(check)) & 0xFF) != 0)
            return fail(error, QStringLiteral("line %1: checksum mismatch").arg(line));
        pos += 11 + 2 * len;
        if (pos < n && !isSpace(s[pos]) && s[pos] != ':')
            return fail(error, QStringLiteral("line %1: record longer than its length").arg(line));
        const uint32_t addr = uint32_t(ah << 8 | al);
        if (type == 0) {
            if (addr + uint32_t(len) > 0x10000)
                return fail(error, QStringLiteral("line %1: data beyond the address space").arg(line));
            if (data && len > 0)
                data->push_back({addr, bytes});
        } else if (type == 1) {
            if (len != 0)
                return fail(error, QStringLiteral("line %1: end record with data").arg(line));
            // Anything after the end record other than white space is damage.
            for (; pos < n; ++pos)
                if (!isSpace(s[pos]))
                    return fail(error, QStringLiteral("text after the end record"));
            return true;
        } else if (type > 5) {
            return fail(error, QStringLiteral("line %1: unknown record type %2").arg(line).arg(type));
        }
        // Address records (types 2 to 5) do not apply to this controller's
        // 16-bit space; they are checked and skipped.
    }
    return fail(error, QStringLiteral("no end record"));
}

bool FirmwareImage::parseBoot(const QByteArray& image, std::vector<FwChunk>* sections, uint32_t* entry,
                              QString* error)
{
    if (sections)
        sections->clear();
    const qint64 size = image.size();
    if (detect(image) != FormatBoot)
        return fail(error, QStringLiteral("no boot image signature"));
    if (size < 4 + 12)
        return fail(error, QStringLiteral("boot image too short"));
    const qint64 end = size - 12;
    qint64 off = 4;
    while (off < end) {
        if (end - off < 8)
            return fail(error, QStringLiteral("section header at %1 runs into the trailer").arg(off));
        const qint64 words = le32(image, off);
        const uint32_t addr = le32(image, off + 4);
        const qint64 bytes = words * 4;
        if (bytes > end - off - 8)
            return fail(error, QStringLiteral("section at %1 runs past the image").arg(off));
        if (uint64_t(addr) + uint64_t(bytes) > 0x100000000ULL)
            return fail(error, QStringLiteral("section at %1 beyond the address space").arg(off));
        if (sections && bytes > 0)
            sections->push_back({addr, image.mid(int(off + 8), int(bytes))});
        off += 8 + bytes;
    }
    if (le32(image, end) != 0)
        return fail(error, QStringLiteral("trailer does not start with 0"));
    if (entry)
        *entry = le32(image, end + 4);
    return true;
}
