// USB transport and hot-plug monitor, driven against the instrument emulator.

#include "device/devsupport.h"
#include "usbtesthelp.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QThread>
#include <QtTest>

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <initializer_list>

using namespace usbtest;

namespace {

class Collector : public InterfaceDevCallback
{
public:
    std::function<void()> onStart;
    QVector<int> lens;
    QByteArray data;
    void devCbPostSmpStart() override
    {
        if (onStart)
            onStart();
    }
    void devCbAutoBulkRead(unsigned char* buf, int len) override
    {
        lens.append(len);
        data.append(reinterpret_cast<const char*>(buf), len);
        free(buf);
    }
};

// What the stream thread does once the transfers are queued.
void startStream(DevSupport& ds)
{
    unsigned char mode = 1, run = 3;
    ds.ctrlWrite(0x20, 0x03, &mode, 1);
    ds.ctrlWrite(0x20, 0x00, &run, 1);
    ds.ctrlWrite(0x30, 0, nullptr, 0);
}

QAtomicInt notifyCount;
std::atomic<QThread*> notifyThread{nullptr};
DevSupport* notifyDs = nullptr;
std::atomic<int> lastRetrieve{99};
QVector<int> retrieveResults;  // GUI thread only

void onDevChange()
{
    notifyThread.store(QThread::currentThread());
    if (notifyDs) {
        lastRetrieve.store(notifyDs->devRetrieve());
        retrieveResults.append(lastRetrieve.load());
    }
    notifyCount.ref();
}

// Runs autoBulkRead on its own thread, as a sampling thread does.
class Reader : public QThread
{
public:
    Reader(DevSupport& d, int t) : ds(d), total(t) {}
    void run() override { result = ds.autoBulkRead(total); }
    DevSupport& ds;
    int total;
    std::atomic<int> result{-1};
};

}  // namespace

class TstDevSupport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void noUsbGivesDemoMode();
    void descriptorForms_data();
    void descriptorForms();
    void endpointsByProduct_data();
    void endpointsByProduct();
    void openAttempts_data();
    void openAttempts();
    void kernelDriver_data();
    void kernelDriver();
    void foreignDeviceSkipped();
    void retrieveTracksPresence();
    void malformedDescriptors_data();
    void malformedDescriptors();
    void controlRequests();
    void bulkWrite();
    void autoReadBufSize_data();
    void autoReadBufSize();
    void autoBulkReadQueuesOneWhenItFits();
    void autoBulkReadEnds_data();
    void autoBulkReadEnds();
    void shortDeliveryReturns();
    void silentDeviceTimesOut();
    void notificationInGuiThread();
    void firmwareStartReenumerates();
    void unplugDuringRead();
    void unplugDuringControlRequests();
    void destructorClosesDevice();
    void shutdownWakesMonitor();
    void interfaceNotTaken_data();
    void interfaceNotTaken();
    void stressFromThreads();
};

void TstDevSupport::init()
{
    emu_reset();
    emu_set_log_in_cap(1 << 22);
    notifyDs = nullptr;
}

void TstDevSupport::noUsbGivesDemoMode()
{
    emu_fail_init(1);
    emu_plug();
    DevSupport ds;
    QVERIFY(!ds.isUsbAvailable());
    QCOMPARE(ds.devRetrieve(), 0);
    unsigned char b[2];
    QCOMPARE(ds.ctrlRead(0x20, 0, b, 2), 1);
    QCOMPARE(ds.manuBulkWrite(b, 2), 1);
    Collector c;
    ds.devCallback = &c;
    QCOMPARE(ds.autoBulkRead(0), 1);
    QCOMPARE(countKind(EMU_LOG_OPEN), 0);
}

void TstDevSupport::descriptorForms_data()
{
    QTest::addColumn<bool>("firmware");
    QTest::addColumn<int>("form");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("bulkSize");
    QTest::addColumn<int>("usbVersion");
    QTest::newRow("no endpoints") << false << int(EMU_DESC_NO_ENDPOINTS) << false << 1048576 << 0x0200;
    QTest::newRow("no IN endpoint") << false << int(EMU_DESC_NO_IN) << false << 1048576 << 0x0200;
    QTest::newRow("zero packet size") << false << int(EMU_DESC_ZERO_PACKET) << false << 1048576 << 0x0200;
    QTest::newRow("high speed") << true << int(EMU_DESC_HIGH_SPEED) << true << 1048576 << 0x0200;
    QTest::newRow("full speed") << true << int(EMU_DESC_FULL_SPEED) << true << 102400 << 0x0110;
}

void TstDevSupport::descriptorForms()
{
    QFETCH(bool, firmware);
    QFETCH(int, form);
    emu_set_firmware_running(firmware);
    if (firmware)
        emu_set_firmware_desc_form(form);
    else
        emu_set_boot_desc_form(form);
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    QVERIFY(ds.isDevOpen());
    QTEST(ds.isOpenReady.load(), "ready");
    QTEST(ds.bulkSize.load(), "bulkSize");
    QTEST(int(ds.usbVersion), "usbVersion");
    QCOMPARE(int(ds.vendorId), TAV_VENDOR_ID);
    QCOMPARE(int(ds.productId), 0x01A2);
    // The interface is claimed only once the firmware runs.
    QCOMPARE(countKind(EMU_LOG_ALT_SETTING), firmware ? 1 : 0);
    const auto desc = controls(6);
    QCOMPARE(desc.size(), 2);
    QCOMPARE(int(desc[0].request_type), 0x80);
    QCOMPARE(int(desc[0].value), 0x0200);
    QCOMPARE(desc[0].length, 9);
}

void TstDevSupport::endpointsByProduct_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("epOut");
    QTest::addColumn<int>("epIn");
    QTest::newRow("0x01A2") << 0x01A2 << 0x02 << 0x86;
    QTest::newRow("0x01A3") << 0x01A3 << 0x00 << 0x82;
    QTest::newRow("0x03A1") << 0x03A1 << 0x02 << 0x86;
}

void TstDevSupport::endpointsByProduct()
{
    QFETCH(int, pid);
    emu_set_ids(TAV_VENDOR_ID, quint16(pid));
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    QTEST(int(ds.epOut), "epOut");
    QTEST(int(ds.epIn), "epIn");
    // The emulated instrument offers its IN endpoint under that address only.
    QVERIFY(ds.isOpenReady);
    unsigned char b[4] = {1, 2, 3, 4};
    int done = 0;
    QCOMPARE(ds.manuBulkWrite(b, 4, &done), 0);
    QCOMPARE(done, 4);
    const auto out = logEntries(EMU_LOG_BULK_OUT);
    QCOMPARE(out.size(), 1);
    QTEST(int(out[0].endpoint), "epOut");
}

void TstDevSupport::openAttempts_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("attempts");
    QTest::newRow("opens at once") << 0 << 1 << 1;
    QTest::newRow("opens at the 20th attempt") << 19 << 1 << 20;
    QTest::newRow("gives up after 20") << 20 << 0 << 20;
}

void TstDevSupport::openAttempts()
{
    QFETCH(int, failures);
    emu_fail_open(failures, LIBUSB_ERROR_ACCESS);
    emu_plug();
    DevSupport ds;
    QTEST(ds.devRetrieve(), "result");
    QTEST(countKind(EMU_LOG_OPEN), "attempts");
    QCOMPARE(ds.isDevOpen(), failures < 20);
}

void TstDevSupport::kernelDriver_data()
{
    QTest::addColumn<bool>("active");
    QTest::addColumn<int>("detachErr");
    QTest::addColumn<int>("result");
    QTest::newRow("no driver") << false << 0 << 1;
    QTest::newRow("driver detached") << true << 0 << 1;
    QTest::newRow("driver holds it") << true << int(LIBUSB_ERROR_ACCESS) << 0;
}

void TstDevSupport::kernelDriver()
{
    QFETCH(bool, active);
    QFETCH(int, detachErr);
    emu_set_kernel_driver(active, detachErr);
    emu_plug();
    DevSupport ds;
    QTEST(ds.devRetrieve(), "result");
    QCOMPARE(countKind(EMU_LOG_DETACH), active ? 1 : 0);
    if (detachErr) {
        QVERIFY(!ds.isDevOpen());
        QCOMPARE(countKind(EMU_LOG_CLOSE), 1);
        QCOMPARE(controls(6).size(), 0);  // skipped before the descriptor check
    }
}

void TstDevSupport::foreignDeviceSkipped()
{
    emu_add_foreign(0x1234, 0x5678);
    {
        DevSupport ds;
        QCOMPARE(ds.devRetrieve(), 0);
        QCOMPARE(countKind(EMU_LOG_OPEN), 0);
    }
    emu_plug();
    emu_log_clear();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    QCOMPARE(countKind(EMU_LOG_OPEN), 1);  // only the maker's device is opened
    QCOMPARE(int(ds.vendorId), TAV_VENDOR_ID);
}

void TstDevSupport::retrieveTracksPresence()
{
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    QCOMPARE(ds.devRetrieve(), 0);  // still there
    emu_unplug();                   // the list is now empty
    QCOMPARE(ds.devRetrieve(), -1);
    QVERIFY(!ds.isDevOpen());
    QCOMPARE(countKind(EMU_LOG_CLOSE), 1);
    unsigned char b[2];
    QCOMPARE(ds.ctrlRead(0x20, 0, b, 2), 1);
    QCOMPARE(ds.devRetrieve(), 0);

    // Gone while another device stays listed; back at a new address.
    emu_add_foreign(0x1234, 0x5678);
    emu_plug();
    QCOMPARE(ds.devRetrieve(), 1);
    emu_unplug();
    QCOMPARE(ds.devRetrieve(), -1);
    emu_set_bus_address(9);
    emu_plug();
    QCOMPARE(ds.devRetrieve(), 1);
}

void TstDevSupport::malformedDescriptors_data()
{
    QTest::addColumn<QByteArray>("desc");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("ready");
    const QByteArray cfg = bytes({9, 2, 32, 0, 1, 1, 0, 0x80, 50});
    const QByteArray iface2 = bytes({9, 4, 0, 0, 2, 0xFF, 0, 0, 0});
    const QByteArray epOut = bytes({7, 5, 0x02, 2, 0x00, 0x02, 0});
    const QByteArray epIn = bytes({7, 5, 0x86, 2, 0x00, 0x02, 0});
    QTest::newRow("well formed") << cfg + iface2 + epOut + epIn << 1 << true;
    QByteArray extra = bytes({9, 2, 37, 0, 1, 1, 0, 0x80, 50}) + iface2 + bytes({5, 0x24, 1, 2, 3}) + epOut + epIn;
    QTest::newRow("class descriptor before the endpoints") << extra << 1 << true;
    QTest::newRow("total length beyond the data") << bytes({9, 2, 64, 0, 1, 1, 0, 0x80, 50}) + iface2 + epOut + epIn
                                                   << 0 << false;
    QTest::newRow("total length 0xFFFF") << bytes({9, 2, 0xFF, 0xFF, 1, 1, 0, 0x80, 50}) + iface2 + epOut + epIn
                                         << 0 << false;
    QTest::newRow("header only") << bytes({9, 2, 9, 0, 1, 1, 0, 0x80, 50}) << 0 << false;
    QTest::newRow("zero-length descriptor") << bytes({9, 2, 25, 0, 1, 1, 0, 0x80, 50}) + iface2 + bytes({0, 5, 0x86, 2, 0, 2, 0})
                                            << 0 << false;
    QTest::newRow("endpoint running past the end")
        << bytes({9, 2, 24, 0, 1, 1, 0, 0x80, 50}) + iface2 + bytes({7, 5, 0x86, 2, 0x00, 0x02})
        << 0 << false;
    QTest::newRow("fewer endpoints than counted")
        << bytes({9, 2, 25, 0, 1, 1, 0, 0x80, 50}) + bytes({9, 4, 0, 0, 3, 0xFF, 0, 0, 0}) + epOut << 1 << false;
}

void TstDevSupport::malformedDescriptors()
{
    QFETCH(QByteArray, desc);
    emu_set_config_descriptor(reinterpret_cast<const unsigned char*>(desc.constData()), desc.size());
    emu_plug();
    DevSupport ds;
    QTEST(ds.devRetrieve(), "result");
    QTEST(ds.isOpenReady.load(), "ready");
}

void TstDevSupport::controlRequests()
{
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    emu_log_clear();

    // Trigger masks of the documented example: all 16 on, ch3 rising, ch2 high.
    const QByteArray masks = bytes({0xFF, 0xFF, 0, 0, 0x0C, 0, 0, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0});
    QByteArray m = masks;
    int done = 0;
    QCOMPARE(ds.ctrlWrite(0x20, 0x20, reinterpret_cast<unsigned char*>(m.data()), m.size(), &done), 0);
    QCOMPARE(done, 16);
    auto log = logEntries(EMU_LOG_CONTROL);
    QCOMPARE(log.size(), 1);
    QCOMPARE(int(log[0].request_type), 0x40);
    QCOMPARE(int(log[0].request), 0x20);
    QCOMPARE(int(log[0].value), 0x20);
    QCOMPARE(int(log[0].index), 0);
    QCOMPARE(data(log[0]), masks);

    unsigned char status[2] = {0, 0};
    QCOMPARE(ds.ctrlRead(0x20, 0, status, 2, &done), 0);
    QCOMPARE(done, 2);
    QCOMPARE(int(logEntries(EMU_LOG_CONTROL).last().request_type), 0xC0);

    // Controller RAM: address split into value and index.
    unsigned char fw[3] = {0xDE, 0xAD, 0x01};
    QCOMPARE(ds.ctrlWriteRAM(0x00121A80, fw, 3), 0);
    const emu_log_entry ram = logEntries(EMU_LOG_CONTROL).last();
    QCOMPARE(int(ram.request), 0xA0);
    QCOMPARE(int(ram.value), 0x1A80);
    QCOMPARE(int(ram.index), 0x0012);
    unsigned char back[3];
    QCOMPARE(emu_ram_read(0x00121A80, back, 3), 3);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 3), bytes({0xDE, 0xAD, 0x01}));

    // Errors come back as 2 with the libusb result; a short RAM write is 2 too.
    emu_fail_control(1, 0x20, 0, 0, 1, LIBUSB_ERROR_TIMEOUT);
    QCOMPARE(ds.ctrlRead(0x20, 0, status, 2, &done), 2);
    QCOMPARE(done, int(LIBUSB_ERROR_TIMEOUT));
    QCOMPARE(ds.ctrlRead(0x20, 0, status, 2, &done), 0);
    emu_fail_control(1, 0xA2, -1, 0, 1, 3);
    unsigned char ee[8];
    QCOMPARE(ds.ctrlRead(0xA2, 0x08, ee, 8, &done), 0);  // short is not an error
    QCOMPARE(done, 3);
    emu_fail_control(0, 0xA0, -1, 0, 1, 2);
    QCOMPARE(ds.ctrlWriteRAM(0x1000, fw, 3), 2);
}

void TstDevSupport::bulkWrite()
{
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    QByteArray img(4096, '\x5A');
    int done = 0;
    QCOMPARE(ds.manuBulkWrite(reinterpret_cast<unsigned char*>(img.data()), img.size(), &done), 0);
    QCOMPARE(done, 4096);
    emu_fail_bulk_out(1000, LIBUSB_ERROR_TIMEOUT);
    QCOMPARE(ds.manuBulkWrite(reinterpret_cast<unsigned char*>(img.data()), img.size(), &done), 2);
    QCOMPARE(done, 1000);
    const auto out = logEntries(EMU_LOG_BULK_OUT);
    QCOMPARE(out.size(), 2);
    QCOMPARE(data(out[0]), img);
}

void TstDevSupport::autoReadBufSize_data()
{
    QTest::addColumn<qlonglong>("rate");
    QTest::addColumn<int>("expected");
    QTest::newRow("zero keeps") << 0LL << 777;
    QTest::newRow("negative keeps") << -5LL << 777;
    QTest::newRow("below a byte per second") << 1LL << 2048;
    QTest::newRow("tiny rate") << 8000LL << 2048;
    // 1 MB/s: 1 MiB lasts 1.05 s; halved four times it lasts 0.131 s.
    QTest::newRow("1 MB/s") << 8000000LL << 131072;
    // 10 MB/s: 1 MiB lasts 0.105 s.
    QTest::newRow("10 MB/s") << 80000000LL << 1048576;
    // 100 MB/s: 8 MiB lasts 0.084 s.
    QTest::newRow("100 MB/s") << 800000000LL << 8388608;
    QTest::newRow("absurd rate is bounded") << (1LL << 62) << (1 << 30);
}

void TstDevSupport::autoReadBufSize()
{
    QFETCH(qlonglong, rate);
    DevSupport ds;
    ds.bulkSize = 777;
    ds.setAutoReadBufSize(rate);
    QTEST(ds.bulkSize.load(), "expected");
    // Brute-force property: the chosen buffer lasts 0.05..0.2 s where possible.
    if (rate >= 8 * 2048 * 5 && rate < (1LL << 40)) {
        const double t = ds.bulkSize / double(rate >> 3);
        QVERIFY2(t >= 0.05 && t <= 0.2, qPrintable(QString::number(t)));
    }
}

void TstDevSupport::autoBulkReadQueuesOneWhenItFits()
{
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    ds.setAutoReadBufSize(1);  // 2048-byte buffers
    QCOMPARE(ds.bulkSize.load(), 2048);
    Collector c;
    c.onStart = [&] { startStream(ds); };
    ds.devCallback = &c;
    emu_log_clear();
    QCOMPARE(ds.autoBulkRead(2048), 0);
    QCOMPARE(c.lens, QVector<int>({2048}));
    // The instrument was told to start only once the transfer was queued.
    QCOMPARE(emu_protocol_violations(nullptr, 0), 0);
    QCOMPARE(countKind(EMU_LOG_BULK_IN), 1);
    QCOMPARE(countKind(EMU_LOG_CANCEL), 0);

    // One byte more needs both transfers.
    emu_log_clear();
    c.lens.clear();
    QCOMPARE(ds.autoBulkRead(2049), 0);
    QCOMPARE(c.lens.size(), 2);
    QCOMPARE(countKind(EMU_LOG_BULK_IN), 2);
}

void TstDevSupport::autoBulkReadEnds_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("result");
    QTest::addColumn<QVector<int>>("lens");
    QTest::newRow("stream ends at a short transfer") << 0 << int(EMU_IN_SHORT) << 5000 << 0
                                                     << QVector<int>{2048, 2048, 904};
    QTest::newRow("stream ends at an empty transfer") << 0 << int(EMU_IN_EMPTY) << 4096 << 3
                                                      << QVector<int>{2048, 2048};
    QTest::newRow("time-out keeps its partial data") << 0 << int(EMU_IN_TIMEOUT) << 4096 << 3
                                                     << QVector<int>{2048, 2048, 1024};
    QTest::newRow("transfer error mid-stream") << 0 << int(EMU_IN_ERROR) << 2048 << 3 << QVector<int>{2048};
    QTest::newRow("nothing at all times out") << 0 << int(EMU_IN_SHORT) << 0 << 3 << QVector<int>{};
    QTest::newRow("exact total") << 6144 << int(EMU_IN_NONE) << 0 << 0 << QVector<int>{2048, 2048, 2048};
    QTest::newRow("error before the total") << 6144 << int(EMU_IN_ERROR) << 4096 << 3 << QVector<int>{2048, 2048};
}

void TstDevSupport::autoBulkReadEnds()
{
    QFETCH(int, total);
    QFETCH(int, fault);
    QFETCH(int, after);
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    ds.setAutoReadBufSize(1);
    Collector c;
    c.onStart = [&] { startStream(ds); };
    ds.devCallback = &c;
    emu_fail_bulk_in(fault, after);
    emu_log_clear();
    QTEST(ds.autoBulkRead(total), "result");
    QTEST(c.lens, "lens");
    // Every delivered byte reaches the callback in order, unchanged.
    QByteArray wire;
    for (const emu_log_entry& e : logEntries(EMU_LOG_BULK_IN))
        wire += data(e);
    QCOMPARE(c.data, wire.left(c.data.size()));
}

void TstDevSupport::shortDeliveryReturns()
{
    // The instrument sends fewer bytes than asked: the read must return (so
    // that the caller reports short data) rather than wait for a transfer
    // that was never queued.
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    ds.setAutoReadBufSize(1);
    Collector c;
    c.onStart = [&] { startStream(ds); };
    ds.devCallback = &c;
    emu_fail_bulk_in(EMU_IN_SHORT, 5000);
    Reader r(ds, 6144);
    r.start();
    QVERIFY(r.wait(20000));
    QCOMPARE(r.result.load(), 0);
    QCOMPARE(c.data.size(), 5000);
}

void TstDevSupport::silentDeviceTimesOut()
{
    // The instrument is never told to send: the transfers end by their own
    // time-out (2.8 s) and the read reports a failed transfer.
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    Collector c;
    ds.devCallback = &c;
    emu_log_clear();
    QCOMPARE(ds.autoBulkRead(0), 3);
    QVERIFY(c.lens.isEmpty());
    const auto in = logEntries(EMU_LOG_BULK_IN);
    QVERIFY(!in.isEmpty());
    QCOMPARE(in[0].result, int(LIBUSB_TRANSFER_TIMED_OUT));
}

void TstDevSupport::notificationInGuiThread()
{
    DevSupport ds;
    notifyCount = 0;
    notifyThread = nullptr;
    QVERIFY(ds.registerNotification(reinterpret_cast<void*>(&onDevChange)));
    // The monitor takes its first count when its thread starts: change the
    // bus until one change lands after that.
    auto toggle = [] {
        if (emu_is_plugged())
            emu_unplug();
        else
            emu_plug();
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(toggle() && notifyCount.loadAcquire() >= 1, 5000);
    QCOMPARE(notifyThread.load(), QCoreApplication::instance()->thread());
    // Only the count is compared, and the monitor may not have seen the last
    // toggle yet: two more devices give a count it cannot hold already.
    const int before = notifyCount.loadAcquire();
    emu_add_foreign(0x1234, 0x0001);
    emu_add_foreign(0x1234, 0x0002);
    QTRY_VERIFY_WITH_TIMEOUT(notifyCount.loadAcquire() > before, 5000);
}

void TstDevSupport::firmwareStartReenumerates()
{
    // Start-up without firmware: upload, the controller leaves the bus and
    // comes back with its firmware; the monitor reports both changes.
    emu_set_firmware_running(0);
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    QVERIFY(!ds.isOpenReady);
    const int oldAddress = emu_bus_address();
    notifyDs = &ds;
    retrieveResults.clear();
    ds.registerNotification(reinterpret_cast<void*>(&onDevChange));
    unsigned char hold = 1, run = 0;
    unsigned char code[4] = {0x02, 0x00, 0x06, 0x22};
    QCOMPARE(ds.ctrlWriteRAM(0xE600, &hold, 1), 0);
    QCOMPARE(ds.ctrlWriteRAM(0x0000, code, 4), 0);
    QCOMPARE(ds.ctrlWriteRAM(0xE600, &run, 1), 0);
    QTRY_COMPARE_WITH_TIMEOUT(retrieveResults, QVector<int>({-1, 1}), 10000);
    QVERIFY(ds.isOpenReady);
    QCOMPARE(ds.bulkSize.load(), 1048576);
    QVERIFY(emu_bus_address() != oldAddress);
    unsigned char back[4];
    QCOMPARE(emu_ram_read(0x0000, back, 4), 4);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 4), QByteArray(reinterpret_cast<char*>(code), 4));
    notifyDs = nullptr;
}

void TstDevSupport::unplugDuringRead()
{
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    ds.setAutoReadBufSize(1);
    notifyDs = &ds;
    lastRetrieve = 99;
    notifyCount = 0;
    ds.registerNotification(reinterpret_cast<void*>(&onDevChange));
    Collector c;
    c.onStart = [&] { startStream(ds); };
    ds.devCallback = &c;
    emu_fail_bulk_in(EMU_IN_UNPLUG, 8192);
    Reader r(ds, 0);
    r.start();
    QTRY_VERIFY_WITH_TIMEOUT(notifyCount.loadAcquire() >= 1, 10000);
    QVERIFY(r.wait(10000));
    QCOMPARE(lastRetrieve.load(), -1);
    QCOMPARE(r.result.load(), 3);
    QVERIFY(c.data.size() >= 4096);
    QVERIFY(!ds.isDevOpen());
    QCOMPARE(ds.autoBulkRead(0), 1);
    notifyDs = nullptr;
}

void TstDevSupport::unplugDuringControlRequests()
{
    // A start-up thread keeps the handle busy while the device goes away.
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 1);
    std::atomic<int> lastResult{0};
    std::atomic<int> calls{0};
    QScopedPointer<QThread> worker(QThread::create([&] {
        unsigned char b[12];
        int r;
        do {
            r = ds.ctrlRead(0x60, 0, b, 12);
            ++calls;
        } while (r != 1);
        lastResult = r;
    }));
    worker->start();
    QTRY_VERIFY(calls.load() > 10);
    emu_unplug();
    QCOMPARE(ds.devRetrieve(), -1);
    QVERIFY(worker->wait(10000));
    QCOMPARE(lastResult.load(), 1);
}

void TstDevSupport::destructorClosesDevice()
{
    emu_plug();
    {
        DevSupport ds;
        QCOMPARE(ds.devRetrieve(), 1);
        emu_log_clear();
    }
    QCOMPARE(countKind(EMU_LOG_RELEASE), 1);
    QCOMPARE(countKind(EMU_LOG_CLOSE), 1);
    // A second transport starts cleanly after the first one's shutdown.
    DevSupport again;
    QVERIFY(again.isUsbAvailable());
    QCOMPARE(again.devRetrieve(), 1);
}

void TstDevSupport::shutdownWakesMonitor()
{
    // Event handling that would block for ten minutes: only the interrupt
    // lets the monitor leave, so the destructor returns only through it.
    emu_set_event_wait_ms(600000);
    {
        DevSupport ds;
        QCOMPARE(emu_init_refs(), 2);
    }
    QCOMPARE(emu_interrupts(), 1);
    QCOMPARE(emu_init_refs(), 0);
}

void TstDevSupport::interfaceNotTaken_data()
{
    QTest::addColumn<int>("claimErr");
    QTest::addColumn<int>("altErr");
    QTest::addColumn<int>("releases");
    QTest::newRow("claimed by another program") << int(LIBUSB_ERROR_BUSY) << 0 << 0;
    QTest::newRow("alternate setting refused") << 0 << int(LIBUSB_ERROR_IO) << 1;
}

void TstDevSupport::interfaceNotTaken()
{
    // The device is given up and the reason kept, where the claim result
    // used to be ignored and the device taken anyway.
    QFETCH(int, claimErr);
    QFETCH(int, altErr);
    emu_fail_claim(claimErr);
    emu_fail_alt_setting(altErr);
    emu_plug();
    DevSupport ds;
    QCOMPARE(ds.devRetrieve(), 0);
    QCOMPARE(ds.openError(), int(UsbErrTransfer));
    QVERIFY(!ds.isDevOpen());
    QCOMPARE(countKind(EMU_LOG_CLOSE), 1);
    // Only a claimed interface is released.
    QTEST(countKind(EMU_LOG_RELEASE), "releases");
    unsigned char b[2];
    QCOMPARE(ds.ctrlRead(0x20, 0, b, 2), int(UsbErrNoDevice));

    emu_fail_claim(0);
    emu_fail_alt_setting(0);
    QCOMPARE(ds.devRetrieve(), 1);
    QCOMPARE(ds.openError(), 0);
    QVERIFY(ds.isOpenReady);
}

void TstDevSupport::stressFromThreads()
{
    // The hot-plug path swaps the device (and its endpoints) in the GUI
    // thread while other threads send requests, read in bulk and read and
    // write the public fields, as start-up, sampling and the GUI do. Meant
    // for the sanitizer builds as much as for its own checks.
    emu_set_stream_rate(0);
    DevSupport ds;
    QVERIFY(ds.isUsbAvailable());
    std::atomic<bool> stop{false};
    std::atomic<int> badResults{0};
    std::atomic<int> badFields{0};
    std::atomic<int> requests{0};
    auto expect = [&badResults](int r, std::initializer_list<int> allowed) {
        if (std::find(allowed.begin(), allowed.end(), r) == allowed.end())
            ++badResults;
    };

    QScopedPointer<QThread> control(QThread::create([&] {
        for (int i = 0; !stop; ++i) {
            unsigned char pwm[8] = {uchar(i), uchar(i >> 8), 0, 0, 1, 0, 0, 0};
            expect(ds.ctrlWrite(0x20, 0x70, pwm, 8), {0, 1, 2});
            unsigned char st[2];
            int done = 0;
            expect(ds.ctrlRead(0x20, 0, st, 2, &done), {0, 1, 2});
            ++requests;
        }
    }));
    // Counts what arrives; the stream is started as the stream thread does.
    struct Sink : InterfaceDevCallback {
        DevSupport* ds = nullptr;
        std::atomic<long long> bytes{0};
        void devCbPostSmpStart() override { startStream(*ds); }
        void devCbAutoBulkRead(unsigned char* buf, int len) override
        {
            bytes += len;
            free(buf);
        }
    } sink;
    sink.ds = &ds;
    QScopedPointer<QThread> reader(QThread::create([&] {
        while (!stop) {
            expect(ds.autoBulkRead(65536), {0, 1, 3});
            unsigned char halt = 0;
            ds.ctrlWrite(0x20, 0x00, &halt, 1);
        }
    }));
    QScopedPointer<QThread> fields(QThread::create([&] {
        const long long rates[3] = {1, 400000, 800000};
        for (int i = 0; !stop; ++i) {
            const int pid = ds.productId;
            const int in = ds.epIn;
            const int out = ds.epOut;
            const int size = ds.bulkSize;
            if ((pid != 0 && pid != 0x01A2 && pid != 0x01A3) || (in != 0x82 && in != 0x86) ||
                (out != 0x00 && out != 0x02) ||
                (size != 2048 && size != 8192 && size != 16384 && size != 1048576))
                ++badFields;
            ds.setAutoReadBufSize(rates[i % 3]);
            ds.devCallback = (i % 5 == 0) ? nullptr : static_cast<InterfaceDevCallback*>(&sink);
        }
    }));
    control->start();
    reader->start();
    fields->start();

    for (int cycle = 0; cycle < 30; ++cycle) {
        emu_set_ids(TAV_VENDOR_ID, cycle % 2 ? 0x01A3 : 0x01A2);
        emu_plug();
        QCOMPARE(ds.devRetrieve(), 1);
        QCOMPARE(int(ds.epIn), cycle % 2 ? 0x82 : 0x86);
        // The others get to use this device, reads included.
        const int seen = requests;
        const long long got = sink.bytes;
        QTRY_VERIFY(requests > seen + 5 && sink.bytes > got);
        emu_unplug();
        QCOMPARE(ds.devRetrieve(), -1);
    }
    stop = true;
    QVERIFY(control->wait(60000));
    QVERIFY(reader->wait(60000));
    QVERIFY(fields->wait(60000));
    QCOMPARE(badResults.load(), 0);
    QCOMPARE(badFields.load(), 0);

    // Afterwards the transport works as before, on the endpoints of the
    // device now open.
    emu_set_ids(TAV_VENDOR_ID, 0x01A3);
    emu_plug();
    QCOMPARE(ds.devRetrieve(), 1);
    ds.setAutoReadBufSize(1);
    Collector after;
    after.onStart = [&] { startStream(ds); };
    ds.devCallback = &after;
    emu_log_clear();
    QCOMPARE(ds.autoBulkRead(4096), 0);
    QCOMPARE(after.data.size(), 4096);
    for (const emu_log_entry& e : logEntries(EMU_LOG_BULK_IN))
        QCOMPARE(int(e.endpoint), 0x82);
}

QTEST_GUILESS_MAIN(TstDevSupport)
#include "tst_devsupport.moc"
