// The firmware image parsers on good, damaged and hostile input, and the
// placeholder resources as the program reads them.

#include "device/devinit.h"
#include "device/firmware.h"

#include <QFile>
#include <QResource>
#include <QtTest>

namespace {

// One Intel HEX record with its checksum, built plainly.
QByteArray rec(int addr, int type, const QByteArray& data)
{
    QByteArray body;
    body.append(char(data.size()));
    body.append(char(addr >> 8));
    body.append(char(addr & 0xFF));
    body.append(char(type));
    body.append(data);
    int sum = 0;
    for (char c : body)
        sum += quint8(c);
    body.append(char((0x100 - (sum & 0xFF)) & 0xFF));
    return ':' + body.toHex().toUpper() + "\r\n";
}

const QByteArray endRec = ":00000001FF\r\n";

QByteArray le(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}

QByteArray section(quint32 words, quint32 addr, char fill)
{
    return le(words) + le(addr) + QByteArray(int(words * 4), fill);
}

QByteArray boot(const QByteArray& sections, quint32 first = 0, quint32 entry = 0x1234)
{
    return QByteArray("CY\0\0", 4) + sections + le(first) + le(entry) + le(0);
}

} // namespace

class TstFirmware : public QObject
{
    Q_OBJECT

private slots:
    void hexGood();
    void hexLowerCase();
    void hexBad_data();
    void hexBad();
    void bootGood();
    void bootBad_data();
    void bootBad();
    void detect_data();
    void detect();
    void resources();
    void resourceNames();
};

void TstFirmware::hexGood()
{
    const QByteArray text = rec(0x0000, 0, "\x01\x02\x03") + rec(0x1000, 0, QByteArray(16, '\xAA')) +
                            rec(0, 4, QByteArray("\x00\x00", 2)) + rec(0xFFFE, 0, "\x10\x20") + endRec;
    std::vector<FwChunk> out;
    QString err;
    QVERIFY2(FirmwareImage::parseHex(text, &out, &err), qPrintable(err));
    QCOMPARE(int(out.size()), 3);
    QCOMPARE(out[0].addr, 0u);
    QCOMPARE(out[0].data, QByteArray("\x01\x02\x03"));
    QCOMPARE(out[1].addr, 0x1000u);
    QCOMPARE(out[1].data, QByteArray(16, '\xAA'));
    QCOMPARE(out[2].addr, 0xFFFEu);
    // A record copied from a typical image, checksum included.
    QVERIFY(FirmwareImage::parseHex(":0300300002337A1E\n:00000001FF\n", &out, &err));
    QCOMPARE(out[0].addr, 0x0030u);
    QCOMPARE(out[0].data, QByteArray("\x02\x33\x7A"));
}

void TstFirmware::hexLowerCase()
{
    std::vector<FwChunk> upper, lower;
    const QByteArray text = rec(0x0ABC, 0, "\xDE\xAD\xBE\xEF") + endRec;
    QVERIFY(FirmwareImage::parseHex(text, &upper, nullptr));
    QVERIFY(FirmwareImage::parseHex(text.toLower(), &lower, nullptr));
    QCOMPARE(int(lower.size()), 1);
    QCOMPARE(lower[0].addr, upper[0].addr);
    QCOMPARE(lower[0].data, upper[0].data);
}

void TstFirmware::hexBad_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray good = rec(0x0100, 0, "\x11\x22\x33\x44");
    QByteArray badSum = good;
    badSum[good.indexOf("\r") - 1] = badSum[good.indexOf("\r") - 1] == '0' ? '1' : '0';
    QTest::newRow("checksum") << badSum + endRec;
    QTest::newRow("length beyond text") << good.left(15) + "\r\n" + endRec;
    QTest::newRow("cut at end of file") << good.left(8);
    QTest::newRow("length larger than data") << QByteArray(":10010000112233445566\r\n") + endRec;
    QTest::newRow("not a hex digit") << QByteArray(":0401000011G23344A4\r\n") + endRec;
    QTest::newRow("beyond 64 KiB") << rec(0xFFFE, 0, "\x01\x02\x03") + endRec;
    QTest::newRow("no end record") << good;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text between records") << good + "junk\r\n" + endRec;
    QTest::newRow("unknown type") << rec(0, 7, "\x00") + endRec;
    QTest::newRow("end record with data") << good + rec(0, 1, "\x01");
    QTest::newRow("text after end") << good + endRec + "x";
    QTest::newRow("record longer than length") << QByteArray(":0101000011EDFF\r\n") + endRec;
}

void TstFirmware::hexBad()
{
    QFETCH(QByteArray, text);
    std::vector<FwChunk> out;
    QString err;
    QVERIFY(!FirmwareImage::parseHex(text, &out, &err));
    QVERIFY(!err.isEmpty());
}

void TstFirmware::bootGood()
{
    const QByteArray img = boot(section(3, 0x100, '\x01') + section(0, 0x200, 0) + section(300, 0x400, '\x02'));
    std::vector<FwChunk> out;
    quint32 entry = 0;
    QString err;
    QVERIFY2(FirmwareImage::parseBoot(img, &out, &entry, &err), qPrintable(err));
    QCOMPARE(int(out.size()), 2);
    QCOMPARE(out[0].addr, 0x100u);
    QCOMPARE(out[0].data, QByteArray(12, '\x01'));
    QCOMPARE(out[1].addr, 0x400u);
    QCOMPARE(out[1].data.size(), 1200);
    QCOMPARE(entry, 0x1234u);
    // No sections at all is a valid (if useless) image.
    QVERIFY(FirmwareImage::parseBoot(boot(QByteArray()), &out, &entry, &err));
    QCOMPARE(int(out.size()), 0);
}

void TstFirmware::bootBad_data()
{
    QTest::addColumn<QByteArray>("img");
    QTest::newRow("too short") << QByteArray("CY\0\0\0\0\0\0", 8);
    QTest::newRow("section past the image") << boot(le(100) + le(0) + QByteArray(8, 'x'));
    QTest::newRow("huge length") << boot(le(0xFFFFFFFFu) + le(0) + QByteArray(8, 'x'));
    QTest::newRow("header into trailer") << boot(QByteArray(4, '\0'));
    QTest::newRow("trailer not zero") << boot(section(1, 0, 'a'), 5);
    QTest::newRow("beyond address space") << boot(section(2, 0xFFFFFFFCu, 'a'));
    QTest::newRow("no signature") << QByteArray("XY\0\0", 4) + QByteArray(12, '\0');
}

void TstFirmware::bootBad()
{
    QFETCH(QByteArray, img);
    std::vector<FwChunk> out;
    quint32 entry = 0;
    QString err;
    QVERIFY(!FirmwareImage::parseBoot(img, &out, &entry, &err));
    QVERIFY(!err.isEmpty());
}

void TstFirmware::detect_data()
{
    QTest::addColumn<QByteArray>("img");
    QTest::addColumn<int>("format");
    QTest::newRow("small boot image") << boot(section(1, 0, 'a')) << int(FirmwareImage::FormatBoot);
    QTest::newRow("large HEX text") << QByteArray(70000, '\n') + endRec << int(FirmwareImage::FormatHex);
    QTest::newRow("HEX") << rec(0, 0, "a") + endRec << int(FirmwareImage::FormatHex);
    QTest::newRow("neither") << QByteArray("hello") << int(FirmwareImage::FormatUnknown);
    QTest::newRow("empty") << QByteArray() << int(FirmwareImage::FormatUnknown);
}

void TstFirmware::detect()
{
    QFETCH(QByteArray, img);
    QFETCH(int, format);
    QCOMPARE(int(FirmwareImage::detect(img)), format);
}

void TstFirmware::resources()
{
    // Every image the program names exists in the test build and reads back
    // as the generated file, the two compressed ones uncompressed.
    const QStringList usb = {"fw01A1", "fw01A2", "fw01A3", "fw01A4", "fw03A1"};
    const QStringList fpga = {"VX2121A0", "VX2121A1", "VX2121A2", "VX2127A1", "VX3127A1", "VX6127A1", "VX6127A3",
                              "VX6143A0", "VX6143A3", "VX2127", "VX3127", "VX6127", "VQ7329"};
    int compressed = 0;
    auto check = [&compressed](const QString& res, const QString& file) {
        QFile r(res), f(file);
        QVERIFY2(r.open(QIODevice::ReadOnly), qPrintable(res));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file));
        QCOMPARE(r.readAll(), f.readAll());
        if (QResource(res).compressionAlgorithm() != QResource::NoCompression)
            ++compressed;
    };
    for (const QString& n : usb)
        check(":/fwusb/" + n, QStringLiteral(TAV_FW_PLACEHOLDER "/fwusb/") + n);
    for (const QString& n : fpga)
        check(":/fwfpga/" + n, QStringLiteral(TAV_FW_PLACEHOLDER "/fwfpga/") + n);
    QCOMPARE(compressed, 2);
    QVERIFY(QResource(":/fwfpga/VX6127A1").compressionAlgorithm() != QResource::NoCompression);
}

void TstFirmware::resourceNames()
{
    QCOMPARE(DevInit::usbFirmwareResource(0x01A4), QStringLiteral(":/fwusb/fw01A4"));
    QCOMPARE(DevInit::usbFirmwareResource(0x02A1), QString());
    QCOMPARE(DevInit::fpgaResource(5, 2), QStringLiteral(":/fwfpga/VX2121A2"));
    QCOMPARE(DevInit::fpgaResource(65, 1), QStringLiteral(":/fwfpga/VX6127A1"));
    QCOMPARE(DevInit::fpgaResource(49, 7), QStringLiteral(":/fwfpga/VQ7329"));
    QCOMPARE(DevInit::fpgaResource(1, 0), QString());
    QCOMPARE(DevInit::fpgaResource(10, 0), QString());
    QVERIFY(DevInit::isAcceptedProduct(0x03A3));
    QVERIFY(!DevInit::isAcceptedProduct(0x03A4));
}

QTEST_GUILESS_MAIN(TstFirmware)
#include "tst_firmware.moc"
