// Self-checks of the instrument emulator where its faults would make the
// device tests lie: register file, firmware and FPGA start-up, and the capture
// data it plays back, checked against plain references built here.

#include "usbtesthelp.h"

#include <QTemporaryDir>
#include <QtTest>

#include <libusb.h>

#include <vector>

using namespace usbtest;

namespace {

libusb_device_handle* openInstrument()
{
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(nullptr, &list);
    libusb_device_handle* h = nullptr;
    for (ssize_t i = 0; i < n && !h; ++i) {
        libusb_device_descriptor d;
        libusb_get_device_descriptor(list[i], &d);
        if (d.idVendor == TAV_VENDOR_ID && libusb_open(list[i], &h) != 0)
            h = nullptr;
    }
    if (list)
        libusb_free_device_list(list, 1);
    return h;
}

int wr(libusb_device_handle* h, int req, int value, QByteArray b = QByteArray())
{
    return libusb_control_transfer(h, 0x40, uint8_t(req), uint16_t(value), 0,
                                   reinterpret_cast<unsigned char*>(b.data()), uint16_t(b.size()), 2000);
}

QByteArray rd(libusb_device_handle* h, int req, int value, int len)
{
    QByteArray b(len, '\0');
    const int r = libusb_control_transfer(h, 0xC0, uint8_t(req), uint16_t(value), 0,
                                          reinterpret_cast<unsigned char*>(b.data()), uint16_t(len), 2000);
    return r < 0 ? QByteArray() : b.left(r);
}

int status(libusb_device_handle* h)
{
    const QByteArray s = rd(h, 0x20, 0, 2);
    return s.size() == 2 ? (uchar(s[0]) | uchar(s[1]) << 8) : -1;
}

QByteArray le(qint64 v, int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

quint32 u32(const QByteArray& b, int at)
{
    return uchar(b[at]) | uchar(b[at + 1]) << 8 | uchar(b[at + 2]) << 16 | quint32(uchar(b[at + 3])) << 24;
}

// Loads and starts the FPGA the documented way.
void startFpga(libusb_device_handle* h)
{
    wr(h, 0x50, 0, le(5000, 4));
    QByteArray img(8192, '\x33');
    int moved = 0;
    libusb_bulk_transfer(h, 0x02, reinterpret_cast<unsigned char*>(img.data()), img.size(), &moved, 3000);
    rd(h, 0x50, 0, 1);
    wr(h, 0x10, 1);
}

QByteArray bulkIn(libusb_device_handle* h, int len, int* result = nullptr)
{
    QByteArray b(len, '\0');
    int moved = 0;
    const int r = libusb_bulk_transfer(h, 0x86, reinterpret_cast<unsigned char*>(b.data()), len, &moved, 2800);
    if (result)
        *result = r;
    return b.left(moved);
}

// Flat reference: level of channel ch at sample p from its edge list.
int refLevel(const std::vector<qint64>& edges, int init, qint64 p)
{
    int lvl = init;
    for (qint64 e : edges)
        if (e <= p)
            lvl ^= 1;
    return lvl;
}

}  // namespace

class TstUsbEmu : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(libusb_init(nullptr), 0); }
    void cleanupTestCase() { libusb_exit(nullptr); }
    void init() { emu_reset(); }
    void registerWriteVisible();
    void firmwareUploadReenumerates_data();
    void firmwareUploadReenumerates();
    void fpgaUploadAndStatus();
    void eepromRecords();
    void bufferCapture_data();
    void bufferCapture();
    void damagedRecords_data();
    void damagedRecords();
    void liveLevels();
    void modelForms_data();
    void modelForms();
    void streamStopsAfterStopRegister();
    void scriptFile();
    void pacedStream();
    void streamByteForm();
    void analogRecord();
};

void TstUsbEmu::registerWriteVisible()
{
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    const QByteArray masks = bytes({0xFF, 0xFF, 0, 0, 0x0C, 0, 0, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0});
    QCOMPARE(wr(h, 0x20, 0x20, masks), 16);
    unsigned char reg[32];
    QCOMPARE(emu_reg_get(0x20, reg, 32), 16);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(reg), 16), masks);
    QCOMPARE(emu_reg_write_count(0x20), 1);
    QCOMPARE(rd(h, 0x20, 0x20, 16), masks);
    QCOMPARE(emu_protocol_violations(nullptr, 0), 0);
    // Lengths and values outside the documented protocol are flagged.
    wr(h, 0x20, 0x10, QByteArray(15, '\0'));
    wr(h, 0x20, 0x00, bytes({2}));
    wr(h, 0x60, 0, bytes({0xA3, 0x01}));
    char last[256];
    QCOMPARE(emu_protocol_violations(last, sizeof last), 3);
    QCOMPARE(QString(last), QString("device ID key of 2 bytes"));
    libusb_close(h);
}

void TstUsbEmu::firmwareUploadReenumerates_data()
{
    QTest::addColumn<bool>("bootImage");
    QTest::newRow("hex firmware") << false;
    QTest::newRow("boot image") << true;
}

void TstUsbEmu::firmwareUploadReenumerates()
{
    QFETCH(bool, bootImage);
    emu_set_firmware_running(0);
    emu_set_reenum_delay_ms(0);
    emu_set_bus_address(7);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    // Without firmware only the controller's RAM requests answer.
    QCOMPARE(rd(h, 0x20, 0, 2), QByteArray());
    if (bootImage) {
        QCOMPARE(rd(h, 0xA0, 0, 1).size(), 1);
        QCOMPARE(wr(h, 0xA0, 0x0000, bytes({1, 2, 3, 4})), 4);
        QCOMPARE(wr(h, 0xA0, 0x0000), 0);  // zero-length write to the entry point
    } else {
        QCOMPARE(wr(h, 0xA0, 0xE600, bytes({1})), 1);
        QCOMPARE(wr(h, 0xA0, 0x0000, bytes({1, 2, 3, 4})), 4);
        QCOMPARE(emu_firmware_starts(), 0);
        QCOMPARE(wr(h, 0xA0, 0xE600, bytes({0})), 1);
    }
    QCOMPARE(emu_firmware_starts(), 1);
    QCOMPARE(emu_ram_bytes_written(), 4);
    QCOMPARE(wr(h, 0xA0, 0x0000, bytes({1})), int(LIBUSB_ERROR_NO_DEVICE));
    libusb_close(h);
    QCOMPARE(emu_device_count(), 1);
    QCOMPARE(emu_bus_address(), 8);
    h = openInstrument();
    QVERIFY(h);
    QCOMPARE(status(h), 0xFFFF);  // firmware runs, FPGA not loaded yet
    libusb_close(h);
}

void TstUsbEmu::fpgaUploadAndStatus()
{
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    QCOMPARE(status(h), 0xFFFF);
    QCOMPARE(wr(h, 0x50, 0, le(4096, 4)), 4);
    QCOMPARE(emu_fpga_size_announced(), 4096LL);
    QByteArray img(8192, '\x11');
    int moved = 0;
    QCOMPARE(libusb_bulk_transfer(h, 0x02, reinterpret_cast<unsigned char*>(img.data()), 4096, &moved, 3000), 0);
    QCOMPARE(rd(h, 0x50, 0, 1), bytes({0}));
    QByteArray got(8192, '\0');
    QCOMPARE(emu_fpga_image(reinterpret_cast<unsigned char*>(got.data()), got.size()), 4096LL);
    QCOMPARE(got.left(4096), img.left(4096));
    QCOMPARE(status(h), 0x0000);  // loaded, not started
    QCOMPARE(wr(h, 0x10, 1), 0);
    QCOMPARE(status(h), 0x85C1);
    QVERIFY(emu_fpga_running());
    // A short image is refused.
    QCOMPARE(wr(h, 0x50, 0, le(9000, 4)), 4);
    QCOMPARE(libusb_bulk_transfer(h, 0x02, reinterpret_cast<unsigned char*>(img.data()), 8192, &moved, 3000), 0);
    QCOMPARE(rd(h, 0x50, 0, 1), bytes({1}));
    libusb_close(h);
}

void TstUsbEmu::eepromRecords()
{
    emu_set_model_record(65, 1);
    emu_set_batch(0x1234);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    QCOMPARE(rd(h, 0xA2, 0x08, 8), bytes({65, 0xBE, 1, 0xFE, 65, 0xBE, 1, 0xFE}));
    QCOMPARE(rd(h, 0xA2, 0x20, 4), bytes({0x34, 0x12, 0xCB, 0xED}));
    QCOMPARE(wr(h, 0xA2, 0x40, bytes({9, 8, 7})), 3);
    unsigned char back[3];
    emu_eeprom_read(0x40, back, 3);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 3), bytes({9, 8, 7}));
    QCOMPARE(rd(h, 0x60, 0, 12).mid(2, 8), QByteArray(8, '\0'));  // no key yet
    QCOMPARE(wr(h, 0x60, 0, bytes({0xA3, 0x01, 0xCA})), 3);
    QCOMPARE(rd(h, 0x60, 0, 12).mid(2, 8), bytes({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    libusb_close(h);
}

void TstUsbEmu::bufferCapture_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<qint64>("memBase");
    QTest::addColumn<qint64>("memBytes");
    QTest::newRow("16 channels") << 16 << 0LL << 134217728LL;
    QTest::newRow("32 channels") << 32 << 0LL << 134217728LL;
    QTest::newRow("16 channels, memory wraps") << 16 << 4000LL << 4096LL;
}

void TstUsbEmu::bufferCapture()
{
    QFETCH(int, form);
    QFETCH(qint64, memBase);
    QFETCH(qint64, memBytes);
    const int nch = form;
    const int perFrame = form == 32 ? 6 : 5;
    const int frameBytes = form == 32 ? 32 : 16;
    emu_set_raw_form(form);
    emu_set_memory(memBytes);
    emu_set_memory_base(memBase);
    // Script: ch0 a long high pulse (runs over 255), ch3 rises at 700 and
    // 1500, ch(n-1) toggles often.
    const qint64 samples = 3000;
    emu_script_clear(samples);
    std::vector<std::vector<qint64>> edges(static_cast<size_t>(nch));
    edges[0] = {100, 900};
    edges[3] = {50, 60, 700, 800, 1500};
    for (qint64 p = 7; p < samples; p += 37)
        edges[size_t(nch - 1)].push_back(p);
    for (int ch = 0; ch < nch; ++ch)
        emu_script_channel(ch, 0, edges[size_t(ch)].data(), int(edges[size_t(ch)].size()));
    const qint64 depth = 1000, pre = 200;
    // Reference trigger: first rising edge of ch3 at or after the pre-trigger depth.
    qint64 trg = -1;
    for (qint64 p = pre; p < samples && trg < 0; ++p)
        if (refLevel(edges[3], 0, p) == 1 && refLevel(edges[3], 0, p - 1) == 0)
            trg = p;
    QCOMPARE(trg, 700LL);

    emu_set_buffer_phases(2, 1, 1);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    startFpga(h);
    wr(h, 0x20, 0x03, bytes({0}));
    QByteArray masks(16, '\0');
    for (int i = 0; i < 4; ++i)
        masks[i] = char(0xFF);     // all enabled
    masks[4] = 0x08;               // ch3 takes part, edge, rising
    wr(h, 0x20, 0x20, masks);
    wr(h, 0x20, 0x10, le(depth, 5) + le(pre, 5) + le(0, 3) + le(2, 3));
    wr(h, 0x20, 0x00, bytes({3}));
    QVector<int> seen;
    for (int i = 0; i < 6; ++i)
        seen.append(status(h));
    QCOMPARE(seen, QVector<int>({0x85C2, 0x85C2, 0x85CA, 0x85C6, 0x85C5, 0x85C5}));
    QCOMPARE(emu_capture_trigger(), trg);

    const QByteArray res = rd(h, 0x20, 0x10, 12);
    QCOMPARE(res.size(), 12);
    const quint32 trgRecord = u32(res, 0);
    const qint32 records = qint32(u32(res, 4));
    const qint32 endAddress = qint32(u32(res, 8));
    QVERIFY(records > 0);
    QCOMPARE(records % perFrame, 0);
    const qint64 readLen = qint64(records / perFrame) * frameBytes;
    qint64 start = endAddress - readLen;
    if (start < 0)
        start += memBytes;
    wr(h, 0x38, 0);
    wr(h, 0x20, 0x08, le(start, 4) + le(readLen, 4));
    wr(h, 0x30, 0);
    int r = 0;
    const QByteArray raw = bulkIn(h, int(readLen) + 512, &r);
    QCOMPARE(r, 0);
    QCOMPARE(qint64(raw.size()), readLen);

    // Expand the records and compare every sample with the script.
    std::vector<quint32> levels;
    qint64 atTrigger = -1;
    for (int f = 0; f < raw.size() / frameBytes; ++f) {
        const QByteArray fr = raw.mid(f * frameBytes, frameBytes);
        for (int k = 0; k < perFrame; ++k) {
            quint32 w;
            int run;
            if (form == 32) {
                w = u32(fr, k * 5);
                run = uchar(fr[k * 5 + 4]);
            } else {
                w = uchar(fr[k * 3]) | uchar(fr[k * 3 + 1]) << 8;
                run = uchar(fr[k * 3 + 2]);
            }
            QVERIFY2(run > 0, "zero run");
            levels.insert(levels.end(), size_t(run), w);
            if (quint32(f * perFrame + k + 1) == trgRecord)
                atTrigger = qint64(levels.size());
        }
        if (form == 32)
            QCOMPARE(uchar(fr[30]) ^ uchar(fr[31]), 0xFF);
    }
    QCOMPARE(atTrigger, pre);
    QVERIFY(qint64(levels.size()) >= depth);
    for (qint64 i = 0; i < depth; ++i) {
        quint32 want = 0;
        for (int ch = 0; ch < nch; ++ch)
            want |= quint32(refLevel(edges[size_t(ch)], 0, trg - pre + i)) << ch;
        QCOMPARE(levels[size_t(i)], want);
    }
    char last[256];
    QVERIFY2(emu_protocol_violations(last, sizeof last) == 0, last);
    libusb_close(h);
}

void TstUsbEmu::damagedRecords_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("offset");  // damaged byte in the memory image
    QTest::addColumn<int>("value");   // -1: check byte equal to its partner
    // Record 7: frame 1, record 2 (16 channels) or record 1 (32 channels).
    QTest::newRow("zero run, 16 channels") << 16 << int(EMU_REC_ZERO_RUN) << 16 + 2 * 3 + 2 << 0;
    QTest::newRow("zero run, 32 channels") << 32 << int(EMU_REC_ZERO_RUN) << 32 + 1 * 5 + 4 << 0;
    QTest::newRow("bad check bytes") << 32 << int(EMU_REC_BAD_CHECK) << 32 + 31 << -1;
}

void TstUsbEmu::damagedRecords()
{
    QFETCH(int, form);
    QFETCH(int, fault);
    QFETCH(int, offset);
    QFETCH(int, value);
    emu_set_raw_form(form);
    emu_script_clear(5000);
    emu_script_square(0, 10);  // records of 10 samples each
    emu_fail_record(fault, fault == EMU_REC_BAD_CHECK ? 1 : 7);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    startFpga(h);
    wr(h, 0x20, 0x03, bytes({2}));
    wr(h, 0x20, 0x10, le(1000, 5) + le(0, 5) + le(0, 6));
    wr(h, 0x20, 0x00, bytes({3}));
    const QByteArray res = rd(h, 0x20, 0x10, 12);
    const int frameBytes = form == 32 ? 32 : 16;
    const qint64 readLen = qint64(u32(res, 4)) / (form == 32 ? 6 : 5) * frameBytes;
    wr(h, 0x38, 0);
    wr(h, 0x20, 0x08, le(qint64(u32(res, 8)) - readLen, 4) + le(readLen, 4));
    wr(h, 0x30, 0);
    const QByteArray raw = bulkIn(h, int(readLen));
    QCOMPARE(qint64(raw.size()), readLen);
    // The last two frames may hold runs split to fill whole frames.
    for (int i = 0; i < raw.size() - 2 * frameBytes; ++i) {
        if (i == offset) {
            QCOMPARE(int(uchar(raw[i])), value < 0 ? int(uchar(raw[i - 1])) : value);
        } else if (form == 16 ? (i % 16) % 3 == 2 && i % 16 < 15 : (i % 32) < 30 && (i % 32) % 5 == 4) {
            QCOMPARE(int(uchar(raw[i])), 10);  // every other run is intact
        }
    }
    libusb_close(h);
}

void TstUsbEmu::liveLevels()
{
    emu_script_clear(100);
    const qint64 none[] = {50};
    emu_script_channel(1, 1, none, 1);
    emu_script_channel(9, 1, none, 1);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    QCOMPARE(rd(h, 0x20, 0x04, 4), bytes({0x02, 0x02, 0, 0}));
    emu_set_live_levels(reinterpret_cast<const unsigned char*>("\x01\x80\x01\x00"), 4);
    QCOMPARE(rd(h, 0x20, 0x04, 4), bytes({0x01, 0x80, 0x01, 0x00}));
    libusb_close(h);
}

void TstUsbEmu::modelForms_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("liveBytes");  // two bits per channel
    QTest::newRow("8-channel model") << 0x01A2 << 1 << 2;
    QTest::newRow("16-channel model") << 0x01A2 << 3 << 4;
    QTest::newRow("32-channel model") << 0x01A2 << 6 << 8;
    QTest::newRow("32-channel model, new record") << 0x01A2 << 101 << 8;
    QTest::newRow("product 0x01A1 ignores the record") << 0x01A1 << 6 << 4;
}

void TstUsbEmu::modelForms()
{
    QFETCH(int, pid);
    QFETCH(int, code);
    QFETCH(int, liveBytes);
    emu_set_ids(TAV_VENDOR_ID, quint16(pid));
    emu_set_model(code, 0);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    QCOMPARE(rd(h, 0xA2, 0x08, 2), bytes({code, 255 - code}));
    QCOMPARE(rd(h, 0x20, 0x04, liveBytes).size(), liveBytes);
    QCOMPARE(emu_protocol_violations(nullptr, 0), 0);
    rd(h, 0x20, 0x04, liveBytes + 2);
    QCOMPARE(emu_protocol_violations(nullptr, 0), 1);
    libusb_close(h);
}

void TstUsbEmu::streamStopsAfterStopRegister()
{
    emu_script_clear(100000);
    const qint64 e2[] = {3, 20, 21};
    const qint64 e5[] = {15, 16, 40};
    emu_script_channel(2, 1, e2, 3);
    emu_script_channel(5, 0, e5, 3);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    startFpga(h);
    wr(h, 0x20, 0x03, bytes({1}));
    QByteArray masks(16, '\0');
    masks[0] = char(0x24);  // channels 2 and 5
    wr(h, 0x20, 0x20, masks);
    wr(h, 0x20, 0x00, bytes({3}));
    QCOMPARE(emu_protocol_violations(nullptr, 0), 0);
    wr(h, 0x30, 0);
    QVERIFY(emu_stream_running());
    // A synchronous reader is not waiting yet when the stream starts.
    QCOMPARE(emu_protocol_violations(nullptr, 0), 1);
    const QByteArray got = bulkIn(h, 16);
    // Words alternate ch2, ch5; bit j = sample 16k + j.
    QByteArray want;
    for (int k = 0; k < 8; ++k)
        for (int ch : {2, 5}) {
            const std::vector<qint64> e = ch == 2 ? std::vector<qint64>(e2, e2 + 3) : std::vector<qint64>(e5, e5 + 3);
            quint16 w = 0;
            for (int j = 0; j < 16; ++j)
                w |= quint16(refLevel(e, ch == 2 ? 1 : 0, 16 * k + j) << j);
            want += le(w, 2);
        }
    QCOMPARE(got, want.left(16));
    QCOMPARE(bulkIn(h, 16), want.mid(16, 16));
    wr(h, 0x20, 0x00, bytes({0}));
    QVERIFY(!emu_stream_running());
    int r = 0;
    QCOMPARE(bulkIn(h, 512, &r).size(), 0);
    QCOMPARE(r, int(LIBUSB_ERROR_TIMEOUT));
    libusb_close(h);
}

void TstUsbEmu::streamByteForm()
{
    emu_set_raw_form(EMU_FORM_8);
    emu_script_clear(1000);
    const qint64 e0[] = {2, 5};
    const qint64 e7[] = {3};
    emu_script_channel(0, 0, e0, 2);
    emu_script_channel(7, 0, e7, 1);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    startFpga(h);
    wr(h, 0x20, 0x03, bytes({1}));
    wr(h, 0x20, 0x00, bytes({3}));
    wr(h, 0x30, 0);
    QCOMPARE(bulkIn(h, 7), bytes({0, 0, 1, 0x81, 0x81, 0x80, 0x80}));
    libusb_close(h);
}

void TstUsbEmu::scriptFile()
{
    QTemporaryDir tmp;
    QFile f(tmp.filePath("cap.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("# two channels\nsamples 64\nedges 3 1 2 5   # high, low at 2, high at 5\nsquare 0 3\n");
    f.close();
    QFile bad(tmp.filePath("bad.txt"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("samples 10\nsquare 40 2\n");
    bad.close();
    QCOMPARE(emu_script_load(qPrintable(f.fileName())), 1);
    QCOMPARE(emu_script_load(qPrintable(bad.fileName())), 0);  // channel 40 does not exist
    QCOMPARE(emu_script_load(qPrintable(tmp.filePath("missing.txt"))), 0);
    emu_set_raw_form(EMU_FORM_8);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    startFpga(h);
    wr(h, 0x20, 0x03, bytes({1}));
    wr(h, 0x20, 0x00, bytes({3}));
    wr(h, 0x30, 0);
    // ch0: 0 0 0 1 1 1 0 0; ch3: 1 1 0 0 0 1 1 1
    QCOMPARE(bulkIn(h, 8), bytes({0x08, 0x08, 0x00, 0x01, 0x01, 0x09, 0x08, 0x08}));
    libusb_close(h);
}

void TstUsbEmu::pacedStream()
{
    // Paced or not, the stream carries the same bytes.
    QByteArray unpaced;
    for (long long rate : {0LL, 400000LL}) {
        emu_reset();
        emu_set_stream_rate(rate);
        emu_plug();
        libusb_device_handle* h = openInstrument();
        QVERIFY(h);
        startFpga(h);
        wr(h, 0x20, 0x03, bytes({1}));
        wr(h, 0x20, 0x00, bytes({3}));
        wr(h, 0x30, 0);
        QByteArray got;
        for (int i = 0; i < 3; ++i)
            got += bulkIn(h, 1024);
        QCOMPARE(got.size(), 3072);
        QCOMPARE(emu_stream_bytes(), 3072LL);
        if (rate == 0)
            unpaced = got;
        else
            QCOMPARE(got, unpaced);
        libusb_close(h);
    }
}

void TstUsbEmu::analogRecord()
{
    std::vector<signed char> rec(40960);
    for (size_t i = 0; i < rec.size(); ++i)
        rec[i] = static_cast<signed char>(int(i % 251) - 125);
    emu_script_analog(rec.data(), int(rec.size()), 20480);
    emu_plug();
    libusb_device_handle* h = openInstrument();
    QVERIFY(h);
    startFpga(h);
    wr(h, 0x20, 0x03, bytes({0}));
    wr(h, 0x20, 0x00, bytes({3}));
    int polls = 0;
    while (status(h) != 0x85C5 && polls < 10)
        ++polls;
    QVERIFY(polls < 10);
    const QByteArray res = rd(h, 0x20, 0x10, 12);
    QCOMPARE(u32(res, 0), 20480u);
    QVERIFY(qint32(u32(res, 4)) >= 1);
    qint64 start = qint64(u32(res, 8)) - 40960;
    if (start < 0)
        start += 134217728;
    wr(h, 0x38, 0);
    wr(h, 0x20, 0x08, le(start, 4) + le(40960, 4));
    wr(h, 0x30, 0);
    const QByteArray raw = bulkIn(h, 40960);
    QCOMPARE(raw, QByteArray(reinterpret_cast<const char*>(rec.data()), 40960));
    libusb_close(h);
}

QTEST_GUILESS_MAIN(TstUsbEmu)
#include "tst_usbemu.moc"
