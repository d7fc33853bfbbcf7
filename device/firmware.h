#pragma once
// Parsers of the controller firmware images: Intel HEX text and the binary
// boot image that begins with "CY". Every record and section is checked
// before anything is sent, so a damaged image is refused, never half loaded.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

struct FwChunk {
    uint32_t addr;
    QByteArray data;
};

class FirmwareImage
{
public:
    enum Format { FormatUnknown = 0, FormatHex = 1, FormatBoot = 2 };

    // By content: "CY" at the start is a boot image, a ':' record start
    // (after optional white space) is Intel HEX.
    static Format detect(const QByteArray& image);

    // Intel HEX: upper- or lower-case digits, every record checksum verified,
    // data records must stay inside the 64 KiB address space, only white
    // space between records, an end record required. Data records are
    // returned in file order.
    static bool parseHex(const QByteArray& text, std::vector<FwChunk>* data, QString* error);

    // Boot image: 4-byte header, sections {length in words, address, data},
    // a 12-byte trailer {0, entry, checksum}; every section must end inside
    // the image before the trailer and the last one must end exactly at it.
    static bool parseBoot(const QByteArray& image, std::vector<FwChunk>* sections, uint32_t* entry,
                          QString* error);
};
