// Device start-up end to end against the instrument emulator: firmware
// uploads compared with the placeholder images, the reported stages, the
// error stages, the model record, the FPGA upload, re-plugging, removal and
// shutdown while a start-up thread waits.

#include "startuphelp.h"

#include "device/firmware.h"

#include <QFile>
#include <QMap>

#include <libusb.h>

#include <atomic>

using startup::Rig;
using startup::Sta;

namespace {

QByteArray placeholder(const QString& rel)
{
    QFile f(QStringLiteral(TAV_FW_PLACEHOLDER "/") + rel);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Address -> byte of every data record, read plainly from the HEX text.
QMap<unsigned, unsigned char> hexBytes(const QByteArray& text)
{
    QMap<unsigned, unsigned char> out;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (!line.startsWith(':'))
            continue;
        const QByteArray b = QByteArray::fromHex(line.mid(1));
        const int n = quint8(b[0]);
        const unsigned addr = unsigned(quint8(b[1])) << 8 | quint8(b[2]);
        if (b[3] != 0)
            continue;
        for (int i = 0; i < n; ++i)
            out[addr + unsigned(i)] = quint8(b[4 + i]);
    }
    return out;
}

quint32 le32(const QByteArray& b, int o)
{
    return quint32(quint8(b[o])) | quint32(quint8(b[o + 1])) << 8 | quint32(quint8(b[o + 2])) << 16 |
           quint32(quint8(b[o + 3])) << 24;
}

struct RamWrite {
    unsigned addr;
    int len;
};

// Controller RAM writes (request 0xA0 OUT) in log order.
QVector<RamWrite> ramWrites()
{
    QVector<RamWrite> out;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && e.request == 0xA0 && !(e.request_type & 0x80))
            out.append({unsigned(e.value) | unsigned(e.index) << 16, e.length});
    }
    return out;
}

int controlCount(int request, bool in)
{
    int n = 0;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && e.request == request &&
            bool(e.request_type & 0x80) == in)
            ++n;
    }
    return n;
}

void plugWaitingForFirmware(unsigned short pid)
{
    emu_set_ids(TAV_VENDOR_ID, pid);
    emu_set_firmware_running(0);
    emu_set_reenum_delay_ms(20);
    emu_plug();
}

void plugRunning(unsigned short pid = 0x01A2)
{
    emu_set_ids(TAV_VENDOR_ID, pid);
    emu_set_firmware_running(1);
    emu_plug();
}

} // namespace

class TstDevInit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hexUpload_data();
    void hexUpload();
    void bootUpload();
    void stageSequence();
    void errorStages_data();
    void errorStages();
    void reenumTimeout();
    void batchWord();
    void modelRecord_data();
    void modelRecord();
    void modelRecordOnDevice_data();
    void modelRecordOnDevice();
    void fpga4096();
    void fpgaFirstBlockFails();
    void malformedImageNotUploaded();
    void replugDuringWait();
    void unknownProduct();
    void removal();
    void shutdownDuringPreConnect();
    void shutdownDuringWait();
    void claimRefusedReported();
    void stuckThreadReported_data();
    void stuckThreadReported();
    void shutdownWithStuckThread();
    void replacedWithinOneChange();
};

void TstDevInit::init()
{
    emu_reset();
    emu_log_clear();
    ThrDevAttach::waitStepMs = 200;
    DevInit::threadEndTimeoutMs = 5000;
}

void TstDevInit::cleanup()
{
    ThrDevAttach::waitStepMs = 200;
    DevInit::threadEndTimeoutMs = 5000;
}

void TstDevInit::hexUpload_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<QString>("image");
    QTest::addColumn<int>("model");
    QTest::newRow("01A1") << 0x01A1 << "fw01A1" << int(DevModel6127);
    QTest::newRow("01A2") << 0x01A2 << "fw01A2" << int(DevModel2127);
    QTest::newRow("01A3") << 0x01A3 << "fw01A3" << int(DevModel2127);
    QTest::newRow("03A1") << 0x03A1 << "fw03A1" << int(DevModel2127);
}

void TstDevInit::hexUpload()
{
    QFETCH(int, pid);
    QFETCH(QString, image);
    QFETCH(int, model);
    Rig rig;
    plugWaitingForFirmware(quint16(pid));
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();

    const QMap<unsigned, unsigned char> want = hexBytes(placeholder(QStringLiteral("fwusb/") + image));
    QVERIFY(want.size() > 100);
    for (auto it = want.begin(); it != want.end(); ++it) {
        unsigned char got = 0;
        emu_ram_read(it.key(), &got, 1);
        QCOMPARE(int(got), int(it.value()));
    }
    QCOMPARE(emu_ram_bytes_written(), want.size());
    QCOMPARE(emu_firmware_starts(), 1);
    // CPU held in reset first, released last.
    const QVector<RamWrite> w = ramWrites();
    QVERIFY(w.size() >= 3);
    QCOMPARE(w.first().addr, 0xE600u);
    QCOMPARE(w.last().addr, 0xE600u);
    QCOMPARE(int(devUsing->devModel), model);
    QVERIFY(devUsing->isConnected);
    QCOMPARE(emu_protocol_violations(nullptr, 0), 0);
}

void TstDevInit::bootUpload()
{
    Rig rig;
    plugWaitingForFirmware(0x01A4);
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();

    // The boot image is far below 64 KiB: its "CY" picks the loader.
    const QByteArray img = placeholder(QStringLiteral("fwusb/fw01A4"));
    QVERIFY(img.startsWith("CY"));
    QVERIFY(img.size() < 65536);
    int off = 4;
    int sections = 0;
    int bytes = 0;
    while (off < img.size() - 12) {
        const int words = int(le32(img, off));
        const unsigned addr = le32(img, off + 4);
        const QByteArray data = img.mid(off + 8, 4 * words);
        QByteArray got(data.size(), '\0');
        emu_ram_read(addr, reinterpret_cast<unsigned char*>(got.data()), got.size());
        QCOMPARE(got, data);
        bytes += data.size();
        off += 8 + 4 * words;
        ++sections;
    }
    QCOMPARE(sections, 3);
    QCOMPARE(emu_ram_bytes_written(), bytes);
    QCOMPARE(controlCount(0xA0, true), 1);   // the probe
    const QVector<RamWrite> w = ramWrites();
    for (const RamWrite& r : w)
        QVERIFY(r.len <= 1024);
    // 1200 bytes go as 1024 + 176, the empty section not at all, then the jump.
    QCOMPARE(w.size(), 4);
    QCOMPARE(w[0].len, 1024);
    QCOMPARE(w[1].len, 176);
    QCOMPARE(w[1].addr, 1024u);
    QCOMPARE(w.last().len, 0);
    QCOMPARE(w.last().addr, le32(img, img.size() - 8));
}

void TstDevInit::stageSequence()
{
    Rig rig;
    plugWaitingForFirmware(0x01A2);
    emu_set_reenum_delay_ms(700);
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    const QVector<Sta> s = rig.stages();
    QVERIFY(s.size() >= 6);
    QCOMPARE(s[0], (Sta{0, 0, 0}));
    QCOMPARE(s[1], (Sta{1, 0, 0}));
    int i = 2;
    int waited = 0;
    while (i < s.size() && s[i].stage == 1) {
        QCOMPARE(s[i].error, 0);
        QCOMPARE(s[i].value, waited + 200);
        waited = s[i].value;
        ++i;
    }
    QCOMPARE(s[i++], (Sta{2, 0, 0}));
    // VX2127: 4096 bytes, sent as 8192.
    QCOMPARE(s[i++], (Sta{4, 0, 50}));
    QCOMPARE(s[i++], (Sta{4, 0, 100}));
    QCOMPARE(s[i++], (Sta{5, 0, 0}));
    QCOMPARE(s[i++], (Sta{6, 0, 0}));
    QCOMPARE(i, s.size());
    // The bulk path is reset once connected.
    QVERIFY(controlCount(0x38, false) >= 1);
}

void TstDevInit::errorStages_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("firmware");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("error");
    // fault: 0 none, 1 RAM write fails, 2 model read fails, 3 unknown code,
    // 4 load result 3, 5/6/7 status FFFF/0000/0003, 8 run request fails,
    // 9 bulk OUT fails, 10 high status byte wrong (devConnect), 11 load result 255,
    // 12 device ID request fails, 13 bulk path reset fails
    QTest::newRow("no firmware resource") << 0x02A1 << false << 0 << 0 << 1;
    QTest::newRow("firmware upload fails") << 0x01A2 << false << 1 << 1 << 2;
    QTest::newRow("EEPROM model read fails") << 0x01A2 << true << 2 << 3 << 2;
    QTest::newRow("unknown model record") << 0x01A2 << true << 3 << 3 << 1;
    QTest::newRow("FPGA load result") << 0x01A2 << true << 4 << 4 << 3;
    QTest::newRow("FPGA load result 255") << 0x01A2 << true << 11 << 4 << 255;
    QTest::newRow("FPGA status FFFF") << 0x01A2 << true << 5 << 4 << 7;
    QTest::newRow("FPGA status 0000") << 0x01A2 << true << 6 << 4 << 8;
    QTest::newRow("FPGA status other") << 0x01A2 << true << 7 << 4 << 9;
    QTest::newRow("FPGA run request fails") << 0x01A2 << true << 8 << 4 << 2;
    QTest::newRow("FPGA bulk transfer fails") << 0x01A2 << true << 9 << 4 << 2;
    QTest::newRow("connect refused") << 0x01A2 << true << 10 << 5 << 12;
    QTest::newRow("device ID request fails") << 0x01A2 << true << 12 << 5 << 2;
    QTest::newRow("bulk path reset fails") << 0x01A2 << true << 13 << 5 << 2;
}

void TstDevInit::errorStages()
{
    QFETCH(int, pid);
    QFETCH(bool, firmware);
    QFETCH(int, fault);
    QFETCH(int, stage);
    QFETCH(int, error);
    Rig rig;
    switch (fault) {
    case 1: emu_fail_control(0, 0xA0, -1, 3, -1, LIBUSB_ERROR_PIPE); break;
    case 2: emu_fail_control(1, 0xA2, 0x08, 0, -1, LIBUSB_ERROR_PIPE); break;
    case 3: emu_set_model_record(11, 0); break;
    case 4: emu_set_fpga_load_result(3); break;
    case 5: emu_set_status_override(0xFFFF); break;
    case 6: emu_set_status_override(0x0000); break;
    case 7: emu_set_status_override(0x0003); break;
    case 8: emu_fail_control(0, 0x10, 1, 0, -1, LIBUSB_ERROR_PIPE); break;
    case 9: emu_fail_bulk_out(5000, LIBUSB_ERROR_IO); break;
    case 10: emu_set_status_override(0x05C1); break;
    case 11: emu_set_fpga_load_result(255); break;
    case 12: emu_fail_control(1, 0x60, -1, 0, -1, LIBUSB_ERROR_PIPE); break;
    case 13: emu_fail_control(0, 0x38, -1, 0, -1, LIBUSB_ERROR_PIPE); break;
    default: break;
    }
    if (firmware)
        plugRunning(quint16(pid));
    else
        plugWaitingForFirmware(quint16(pid));
    devInit->init();
    QVERIFY(rig.waitFor(stage, error));
    rig.settle();
    const QVector<Sta> s = rig.stages();
    QCOMPARE(s.last(), (Sta{stage, error, 0}));
    QVERIFY(!rig.seen(6, 0));
    QVERIFY(!devUsing->isConnected);
    // The device stays open: the next USB change starts over.
    QVERIFY(devSupport->isDevOpen());
    if (fault == 1)
        QCOMPARE(emu_firmware_starts(), 0);
}

void TstDevInit::reenumTimeout()
{
    Rig rig;
    ThrDevAttach::waitStepMs = 1;
    plugWaitingForFirmware(0x01A2);
    emu_set_reenum_delay_ms(-1);
    devInit->init();
    QVERIFY(rig.waitFor(1, 5));
    rig.settle();
    const QVector<Sta> s = rig.stages();
    QCOMPARE(s.size(), 2 + 50 + 1);
    for (int i = 0; i < 50; ++i)
        QCOMPARE(s[2 + i], (Sta{1, 0, 200 * (i + 1)}));
    QCOMPARE(s.last(), (Sta{1, 5, 0}));
}

void TstDevInit::batchWord()
{
    {
        Rig rig;
        emu_set_batch(0x1234);
        plugRunning();
        devInit->init();
        QVERIFY(rig.waitFor(6, 0));
        rig.settle();
        QCOMPARE(int(DevBase::devBatch), 0x1234);
    }
    {
        // A failed batch read is reported, and start-up goes on.
        emu_reset();
        Rig rig;
        emu_fail_control(1, 0xA2, 0x20, 0, -1, LIBUSB_ERROR_TIMEOUT);
        plugRunning();
        devInit->init();
        QVERIFY(rig.waitFor(6, 0));
        rig.settle();
        QCOMPARE(rig.stages()[1], (Sta{3, 2, 0}));
        QCOMPARE(int(DevBase::devBatch), 0);
    }
    {
        // Bytes 2-3 not the complement: no batch word.
        emu_reset();
        Rig rig;
        const unsigned char b[4] = {0x34, 0x12, 0x00, 0x00};
        emu_eeprom_write(0x20, b, 4);
        plugRunning();
        devInit->init();
        QVERIFY(rig.waitFor(6, 0));
        rig.settle();
        QCOMPARE(int(DevBase::devBatch), 0);
    }
}

void TstDevInit::modelRecord_data()
{
    QTest::addColumn<QByteArray>("rec");
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("rev");
    QTest::addColumn<double>("vref");
    auto r = [](int c0, int c1, int s0, int s1, int c4, int c5) {
        QByteArray b(8, '\0');
        b[0] = char(c0), b[1] = char(c1), b[2] = char(s0), b[3] = char(s1), b[4] = char(c4), b[5] = char(c5);
        return b;
    };
    auto code = [&r](int c, int sub = 0) { return r(c, 255 - c, sub, 255 - sub, c, 255 - c); };
    QTest::newRow("1") << code(1) << 0x01A2 << true << 1 << 0 << 1.2;
    QTest::newRow("2") << code(2) << 0x01A2 << true << 3 << 0 << 1.2;
    QTest::newRow("2 sub 1") << code(2, 1) << 0x01A2 << true << 7 << 1 << 1.2;
    QTest::newRow("2 sub 1 unchecked") << r(2, 253, 1, 0, 2, 253) << 0x01A2 << true << 3 << 0 << 1.2;
    QTest::newRow("3") << code(3) << 0x01A2 << true << 2 << 0 << 1.2;
    QTest::newRow("3 sub 1") << code(3, 1) << 0x01A2 << true << 6 << 1 << 1.2;
    QTest::newRow("3 sub 2") << code(3, 2) << 0x01A2 << true << 2 << 0 << 1.2;
    QTest::newRow("4") << code(4) << 0x01A2 << true << 5 << 0 << 1.2;
    QTest::newRow("5") << code(5) << 0x01A2 << true << 8 << 1 << 1.2;
    QTest::newRow("6") << code(6) << 0x01A2 << true << 9 << 0 << 1.2;
    QTest::newRow("7") << code(7) << 0x01A2 << true << 5 << 1 << 1.2;
    QTest::newRow("8") << code(8) << 0x01A2 << true << 7 << 1 << 1.2;
    QTest::newRow("9") << code(9) << 0x01A2 << true << 6 << 1 << 1.2;
    QTest::newRow("10") << code(10) << 0x01A2 << true << 5 << 2 << 1.1;
    QTest::newRow("49") << code(49) << 0x01A2 << true << 49 << 0 << 1.2;
    QTest::newRow("65") << code(65) << 0x01A2 << true << 65 << 1 << 1.2;
    QTest::newRow("101") << code(101) << 0x01A2 << true << 9 << 3 << 1.5;
    QTest::newRow("102") << code(102) << 0x01A2 << true << 8 << 3 << 1.5;
    QTest::newRow("second copy") << r(5, 0, 0, 255, 6, 249) << 0x01A2 << true << 9 << 0 << 1.2;
    QTest::newRow("no valid copy") << r(5, 0, 0, 255, 6, 0) << 0x01A2 << false << 0 << 0 << 0.0;
    QTest::newRow("01A1 ignores the record") << r(0, 0, 0, 0, 0, 0) << 0x01A1 << true << 4 << 0 << 1.2;
    for (int c : {0, 11, 48, 50, 64, 66, 100, 103, 255})
        QTest::newRow(qPrintable(QStringLiteral("unknown %1").arg(c))) << code(c) << 0x01A2 << false << 0 << 0 << 0.0;
}

void TstDevInit::modelRecord()
{
    QFETCH(QByteArray, rec);
    QFETCH(int, pid);
    QFETCH(bool, ok);
    QFETCH(int, model);
    QFETCH(int, rev);
    QFETCH(double, vref);
    int m = -1, v = -1;
    double u = -1;
    QCOMPARE(DevInit::decodeModelRecord(reinterpret_cast<const unsigned char*>(rec.constData()), quint16(pid), &m,
                                        &v, &u),
             ok);
    if (!ok)
        return;
    QCOMPARE(m, model);
    QCOMPARE(v, rev);
    QCOMPARE(u, vref);
}

void TstDevInit::modelRecordOnDevice_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("sub");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("image");
    QTest::newRow("code 4") << 4 << 0 << 5 << "VX2121A0";
    QTest::newRow("code 5 (compressed image)") << 5 << 0 << 8 << "VX6127A1";
    QTest::newRow("code 101 (compressed image)") << 101 << 0 << 9 << "VX6143A3";
    QTest::newRow("code 2 sub 1") << 2 << 1 << 7 << "VX3127A1";
    QTest::newRow("code 65") << 65 << 0 << 65 << "VX6127A1";
    QTest::newRow("code 1 (no FPGA)") << 1 << 0 << 1 << "";
}

void TstDevInit::modelRecordOnDevice()
{
    QFETCH(int, code);
    QFETCH(int, sub);
    QFETCH(int, model);
    QFETCH(QString, image);
    Rig rig;
    emu_set_model_record(code, sub);
    // The emulator always models an FPGA; the FPGA-less model answers a good status.
    if (image.isEmpty())
        emu_set_status_override(0x85C1);
    plugRunning();
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    QCOMPARE(int(devUsing->devModel), model);
    QVERIFY(devUsing->isConnected);
    QVERIFY(devUsing->smpClock > 0);
    if (image.isEmpty()) {
        QCOMPARE(emu_fpga_bytes_received(), 0LL);
        return;
    }
    // The image arrives uncompressed, byte for byte, zero-padded.
    const QByteArray want = placeholder(QStringLiteral("fwfpga/") + image);
    QVERIFY(!want.isEmpty());
    QCOMPARE(emu_fpga_size_announced(), qint64(want.size()));
    const qint64 padded = ((want.size() + 2047) / 4096) * 4096 + 4096;
    QCOMPARE(emu_fpga_bytes_received(), padded);
    QByteArray got(int(padded), '\x55');
    QCOMPARE(emu_fpga_image(reinterpret_cast<unsigned char*>(got.data()), padded), padded);
    QCOMPARE(got.left(want.size()), want);
    QCOMPARE(got.mid(want.size()), QByteArray(int(padded) - want.size(), '\0'));
}

void TstDevInit::fpga4096()
{
    Rig rig;
    plugRunning();   // default record: code 3 -> VX2127, exactly 4096 bytes
    QCOMPARE(placeholder(QStringLiteral("fwfpga/VX2127")).size(), 4096);
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    QCOMPARE(emu_fpga_size_announced(), 4096LL);
    QCOMPARE(emu_fpga_bytes_received(), 8192LL);
    QVector<int> progress;
    for (const Sta& s : rig.stages())
        if (s.stage == 4)
            progress.append(s.value);
    QCOMPARE(progress, (QVector<int>{50, 100}));
    // Two bulk blocks of 4096.
    int blocks = 0;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_BULK_OUT) {
            QCOMPARE(e.length, 4096);
            ++blocks;
        }
    }
    QCOMPARE(blocks, 2);
}

void TstDevInit::fpgaFirstBlockFails()
{
    // The upload ends at the first failed block, reported as stage 4.
    Rig rig;
    emu_fail_bulk_out(0, 0);
    plugRunning();
    devInit->init();
    QVERIFY(rig.waitFor(4, 2));
    rig.settle();
    QVERIFY(!devUsing->isConnected);
    QCOMPARE(emu_fpga_bytes_received(), 0LL);
}

void TstDevInit::malformedImageNotUploaded()
{
    Rig rig;
    plugWaitingForFirmware(0x01A2);
    QCOMPARE(devSupport->devRetrieve(), 1);
    emu_log_clear();
    QByteArray hex = placeholder(QStringLiteral("fwusb/fw01A2"));
    hex[20] = hex[20] == '0' ? '1' : '0';   // a data digit: the checksum no longer holds
    QCOMPARE(devInit->thrDevAttach->load68013fw(hex), int(InitErrBadImage));
    QByteArray boot = placeholder(QStringLiteral("fwusb/fw01A4"));
    boot.chop(20);   // the last section now runs into the trailer
    QCOMPARE(devInit->thrDevAttach->load3014fw(boot), int(InitErrBadImage));
    QCOMPARE(ramWrites().size(), 0);
    QCOMPARE(emu_firmware_starts(), 0);
}

void TstDevInit::replugDuringWait()
{
    Rig rig;
    plugWaitingForFirmware(0x01A2);
    emu_set_reenum_delay_ms(-1);   // the controller does not come back by itself
    devInit->init();
    QVERIFY(rig.waitFor(1, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!emu_is_plugged(), 5000);
    // The hot-plug monitor sees a change of the device count: let it see
    // the controller gone before it comes back.
    QTRY_VERIFY_WITH_TIMEOUT(!devSupport->isDevOpen(), 5000);
    // Plugged in again, firmware running: the waiting attach thread ends
    // silently and start-up goes on.
    emu_set_firmware_running(1);
    emu_plug();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    QVERIFY(!rig.seen(1, 5));
    QVERIFY(!devInit->thrDevAttach->isRunning());
    QVERIFY(devUsing->isConnected);
}

void TstDevInit::unknownProduct()
{
    Rig rig;
    emu_set_ids(TAV_VENDOR_ID, 0x0777);
    emu_set_firmware_running(1);
    emu_plug();
    devInit->init();
    QVERIFY(devSupport->isDevOpen());
    QVERIFY(!devInit->thrDevAttach->isRunning());
    QVERIFY(!devInit->thrRenumDone->isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(rig.count(), 0);
    QCOMPARE(controlCount(0xA2, true), 0);
}

void TstDevInit::removal()
{
    Rig rig;
    plugRunning();
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    emu_unplug();
    QVERIFY(rig.waitFor(7, 0));
    QCOMPARE(rig.stages().last(), (Sta{7, 0, 0}));
    QVERIFY(!devUsing->isConnected);
    QCOMPARE(devUsing->deviceID, QByteArray(8, '\0'));
}

void TstDevInit::shutdownDuringPreConnect()
{
    // The start-up thread waits for the GUI thread, which is busy deleting
    // the start-up controller and never runs its event loop again.
    auto* rig = new Rig;
    std::atomic<bool> waiting{false};
    QObject::connect(devInit, &DevInit::sigInitSta, devInit,
                     [&waiting](int stage, int, int) {
                         if (stage == 5)
                             waiting = true;
                     },
                     Qt::DirectConnection);
    plugRunning();
    devInit->init();
    while (!waiting && devInit->thrRenumDone->isRunning())
        QThread::msleep(5);
    QVERIFY(waiting);
    DevBase* before = devUsing;
    delete devInit;
    devInit = nullptr;
    QCOMPARE(devUsing, before);
    QVERIFY(!devUsing->isConnected);
    delete rig;
}

void TstDevInit::shutdownDuringWait()
{
    auto* rig = new Rig;
    plugWaitingForFirmware(0x01A2);
    emu_set_reenum_delay_ms(-1);
    devInit->init();
    QVERIFY(rig->waitFor(1, 0));
    QVERIFY(devInit->thrDevAttach->isRunning());
    delete rig;   // deletes the controller: the attach thread is ended and joined
    QVERIFY(devInit == nullptr);
}

void TstDevInit::claimRefusedReported()
{
    // Another program holds the interface: the device is given up and the
    // failure shown, where it used to pass silently.
    Rig rig;
    emu_fail_claim(LIBUSB_ERROR_BUSY);
    plugRunning();
    devInit->init();
    QTRY_COMPARE(rig.count(), 1);
    QCOMPARE(rig.stages()[0], (Sta{2, 2, 0}));
    QVERIFY(!devSupport->isDevOpen());
    QVERIFY(!devInit->thrRenumDone->isRunning());
    QVERIFY(!devUsing->isConnected);
    QCOMPARE(controlCount(0xA2, true), 0);
    // Free again: the next USB change connects.
    emu_fail_claim(0);
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    QVERIFY(devUsing->isConnected);
}

void TstDevInit::stuckThreadReported_data()
{
    QTest::addColumn<bool>("firmware");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("stage");
    QTest::newRow("firmware upload") << false << 0 << 0xA0 << 0;
    QTest::newRow("model record") << true << 1 << 0xA2 << 2;
}

void TstDevInit::stuckThreadReported()
{
    // A start-up thread whose request never completes, while the device is
    // unplugged and plugged again: the GUI thread gives up waiting for it
    // and reports that instead of freezing.
    QFETCH(bool, firmware);
    QFETCH(int, direction);
    QFETCH(int, request);
    QFETCH(int, stage);
    DevInit::threadEndTimeoutMs = 300;
    Rig rig;
    emu_hold_control(direction, request, -1);
    if (firmware)
        plugRunning();
    else
        plugWaitingForFirmware(0x01A2);
    devInit->init();
    QTRY_COMPARE_WITH_TIMEOUT(emu_held_controls(), 1, 10000);
    emu_unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!devSupport->isDevOpen(), 10000);
    emu_plug();
    QVERIFY(rig.waitFor(stage, InitErrStillRunning));
    QVERIFY(devSupport->isDevOpen());
    QCOMPARE(emu_held_controls(), 1);   // still stuck, and nothing started beside it

    // Once the request completes (on the device that left), the thread ends
    // and the next USB change starts over.
    DevInit::threadEndTimeoutMs = 5000;
    emu_release_control();
    rig.settle();
    QVERIFY(!rig.seen(6, 0));
    emu_unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!devSupport->isDevOpen(), 10000);
    emu_plug();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    QVERIFY(devUsing->isConnected);
}

void TstDevInit::shutdownWithStuckThread()
{
    // Shutdown while a start-up thread waits for a request that never
    // completes: the controller goes after the bound instead of freezing,
    // and the thread, left running, ends on its own once released.
    Rig rig;
    emu_hold_control(1, 0xA2, -1);
    plugRunning();
    devInit->init();
    QTRY_COMPARE_WITH_TIMEOUT(emu_held_controls(), 1, 10000);
    StartupThread* stuck = devInit->thrRenumDone;
    DevInit::threadEndTimeoutMs = 200;
    delete devInit;
    devInit = nullptr;
    QVERIFY(stuck->isRunning());
    QCOMPARE(emu_held_controls(), 1);

    emu_release_control();
    QTRY_VERIFY_WITH_TIMEOUT(stuck->isFinished(), 10000);
    delete stuck;
}

void TstDevInit::replacedWithinOneChange()
{
    // The controller leaves and comes back with its firmware before the
    // monitor counts again: one notification, which must still start it.
    Rig rig;
    devSupport->registerNotification(nullptr);
    plugWaitingForFirmware(0x01A2);
    emu_set_reenum_delay_ms(-1);
    devInit->init();
    QTRY_COMPARE_WITH_TIMEOUT(emu_firmware_starts(), 1, 10000);
    emu_set_bus_address(9);
    emu_set_firmware_running(1);
    emu_plug();
    devInit->init();
    QVERIFY(rig.waitFor(6, 0));
    rig.settle();
    QVERIFY(devUsing->isConnected);
    QCOMPARE(int(devUsing->devModel), int(DevModel2127));
}

QTEST_GUILESS_MAIN(TstDevInit)
#include "tst_devinit.moc"
