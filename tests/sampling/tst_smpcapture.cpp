// Buffer- and stream-mode captures end to end against the instrument
// emulator: the captured data compared sample for sample with the
// emulator's capture script, the reported states and the error paths.

#include "samplinghelp.h"

#include "device/smpctrlstream.h"

#include <atomic>

#include <libusb.h>

using sampling::Report;
using sampling::Rig;

namespace {

// Square wave of the script: starts low, toggles every `half` samples.
int square(long long p, long long half)
{
    return int((p / half) & 1);
}

// Every sample of every listed channel of the displayed store against the
// script's squares, the store's sample i being the script's `offset` + i.
bool sameAsScript(const SmpData* s, const QVector<int>& chns, const QVector<long long>& halves, long long offset,
                  QString* why)
{
    for (int k = 0; k < chns.size(); ++k) {
        DigitalDataSubs cur{};
        for (long long i = 0; i < s->smpCount; ++i) {
            const int got = s->getPointLevel(chns[k], i, &cur);
            const int want = square(offset + i, halves[k]);
            if (got != want) {
                *why = QStringLiteral("channel %1 sample %2: %3 instead of %4").arg(chns[k]).arg(i).arg(got).arg(want);
                return false;
            }
        }
    }
    return true;
}

int bulkInTimeouts()
{
    int n = 0;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_BULK_IN && e.result == LIBUSB_TRANSFER_TIMED_OUT)
            ++n;
    }
    return n;
}

QByteArray regWritten(int reg)
{
    QByteArray out;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && e.request == 0x20 && e.value == reg &&
            !(e.request_type & 0x80))
            out = QByteArray(reinterpret_cast<const char*>(e.data), e.data_len);
    }
    return out;
}

void squares(const QVector<int>& chns, const QVector<long long>& halves)
{
    emu_script_clear(50000000);
    for (int k = 0; k < chns.size(); ++k)
        emu_script_square(chns[k], halves[k]);
}

} // namespace

class TstSmpCapture : public QObject
{
    Q_OBJECT

private slots:
    void bufferCapture_data();
    void bufferCapture();
    void bufferStates();
    void bufferShortRead();
    void bufferStopDuringSingle();
    void bufferDamagedRecord();
    void streamCapture();
    void streamEarlyEnd();
    void streamStopDiscards();
    void streamNoChannel();
    void streamByteForm();
    void unplugDuringRun_data();
    void unplugDuringRun();
    void refusedRequestReported_data();
    void refusedRequestReported();
};

void TstSmpCapture::bufferCapture_data()
{
    QTest::addColumn<long long>("base");
    QTest::newRow("inside memory") << 0LL;
    QTest::newRow("wraps at the memory end") << 134217728LL - 100;
}

void TstSmpCapture::bufferCapture()
{
    QFETCH(long long, base);
    Rig rig(SmpModeBuffer);
    QVERIFY(rig.ok);
    QVector<int> chns;
    QVector<long long> halves;
    for (int c = 0; c < 16; ++c) {
        chns << c;
        halves << 50 + 37 * c;
    }
    squares(chns, halves);
    emu_set_memory_base(base);
    rig.dev->setDChnTrg(0, TrgRise);
    QVERIFY(rig.dev->setSmpDepth(0));
    QVERIFY(rig.dev->setTrgPosition(10));
    QVERIFY(rig.run(SmpStartSingle));
    QCOMPARE(rig.rec->errors().size(), 0);
    QCOMPARE(rig.dev->smpError.load(), 0);

    const SmpDataPtr s = rig.dev->displayedSmpData();
    QCOMPARE(s->smpCount, 20000LL);
    // First rising edge of channel 0 at or after the 2000 pre-trigger samples.
    QCOMPARE(emu_capture_trigger(), 2050LL);
    QString why;
    QVERIFY2(sameAsScript(s.get(), chns, halves, 2050 - 2000, &why), qPrintable(why));

    // The read window: length in whole frames, start before the end address,
    // wrapped into the circular memory when the end is nearer its start.
    const QByteArray w = regWritten(0x08);
    QCOMPARE(w.size(), 8);
    const qint64 start = quint32(quint8(w[0]) | quint8(w[1]) << 8 | quint8(w[2]) << 16 | quint32(quint8(w[3])) << 24);
    const qint64 len = quint32(quint8(w[4]) | quint8(w[5]) << 8 | quint8(w[6]) << 16 | quint32(quint8(w[7])) << 24);
    QCOMPARE(len % 16, 0LL);
    QCOMPARE(start, base);
    if (base > 0)
        QVERIFY(start + len > 134217728LL);
    QCOMPARE(emu_protocol_violations(nullptr, 0), 0);
}

void TstSmpCapture::bufferStates()
{
    Rig rig(SmpModeBuffer);
    QVERIFY(rig.ok);
    emu_set_buffer_phases(3, 3, 3);
    rig.dev->setDChnTrg(0, TrgRise);
    QVERIFY(rig.dev->setSmpDepth(0));
    // The run is over when "finished" is announced.
    std::atomic<int> runningAtDone{-1};
    DevBase* dev = rig.dev.get();
    QObject::connect(
        dev, &DevBase::sigSmpSta, dev,
        [&runningAtDone, dev](int s, int, int) {
            if (s == SmpStaDone)
                runningAtDone = dev->smpRunning ? 1 : 0;
        },
        Qt::DirectConnection);
    QVERIFY(rig.run(SmpStartSingle));
    QCOMPARE(runningAtDone.load(), 0);
    QCOMPARE(rig.rec->states(), (QVector<int>{SmpStaIdle, SmpStaPre, SmpStaWaitTrg, SmpStaSampling, SmpStaDone}));
    // The stored capture is reported as 100 % before the read-out.
    bool full = false;
    for (const Report& r : rig.rec->log)
        full = full || (r.kind == 0 && r.a == SmpStaSampling && r.c == 100);
    QVERIFY(full);
    for (const Report& r : rig.rec->log)
        if (r.kind == 0)
            QVERIFY(r.c >= 0 && r.c <= 100);
}

void TstSmpCapture::bufferShortRead()
{
    Rig rig(SmpModeBuffer);
    QVERIFY(rig.ok);
    QVERIFY(rig.dev->setSmpDepth(0));
    emu_fail_bulk_in(EMU_IN_SHORT, 160);
    QVERIFY(rig.run(SmpStartSingle));
    const QVector<Report> e = rig.rec->errors();
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].a, int(SmpStaReading));
    QCOMPARE(e[0].b, 14);
    // What did arrive is kept.
    QVERIFY(rig.dev->hasValidData());
}

void TstSmpCapture::bufferStopDuringSingle()
{
    Rig rig(SmpModeBuffer);
    QVERIFY(rig.ok);
    QVERIFY(rig.dev->setSmpDepth(0));
    emu_set_buffer_phases(1000000, 0, 0);   // never leaves pre-sampling by itself
    rig.dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec->states().contains(SmpStaPre), 10000);
    rig.dev->smpStop();
    QVERIFY(rig.waitEnd());
    QCOMPARE(rig.rec->errors().size(), 0);
    // A single run reads out and keeps what the instrument stored.
    QVERIFY(rig.dev->hasValidData());
    QCOMPARE(rig.dev->displayedSmpData()->smpCount, 20000LL);
}

void TstSmpCapture::bufferDamagedRecord()
{
    Rig rig(SmpModeBuffer);
    QVERIFY(rig.ok);
    QVERIFY(rig.dev->setSmpDepth(0));
    emu_fail_record(EMU_REC_ZERO_RUN, 7);
    QVERIFY(rig.run(SmpStartSingle));
    int ready = -1, damaged = -1;
    for (int i = 0; i < rig.rec->log.size(); ++i) {
        const Report& r = rig.rec->log[i];
        if (r.kind == 1 && r.a == 0 && ready < 0)
            ready = i;
        if (r.kind == 0 && r.b == 32)
            damaged = i;
    }
    QVERIFY(ready >= 0);
    QVERIFY(damaged > ready);   // reported after the data was completed
    const Report& d = rig.rec->log[damaged];
    QCOMPARE(d.a, int(SmpStaReading));
    // Record 7 is the third of the second 16-byte frame.
    QCOMPARE(d.c, 16 + 2 * 3);
    QCOMPARE(rig.dev->smpError.load(), 0);
}

void TstSmpCapture::streamCapture()
{
    Rig rig(SmpModeStream);
    QVERIFY(rig.ok);
    rig.enable({0, 1});
    squares({0, 1}, {5000, 777});
    rig.dev->setDChnTrg(0, TrgRise);
    QVERIFY(rig.dev->setSmpDepth(0));
    QVERIFY(rig.dev->setTrgPosition(5));
    QCOMPARE(rig.dev->getPreTrgDepth(), 1000LL);
    QVERIFY(rig.run(SmpStartSingle));
    QCOMPARE(rig.rec->errors().size(), 0);
    QCOMPARE(rig.dev->smpError.load(), 0);
    // The stop at the depth ended the transfer with a time-out: cleared.
    QVERIFY(bulkInTimeouts() >= 1);

    auto* ctrl = dynamic_cast<SmpCtrlStream*>(rig.dev->smpWorker(SmpWorkerStream));
    QVERIFY(ctrl);
    QCOMPARE(ctrl->bytesDropped, 1000LL);
    const SmpDataPtr s = rig.dev->displayedSmpData();
    QCOMPARE(s->trgPosition, 1000LL);
    QCOMPARE(s->smpCount, 20000LL);
    QString why;
    QVERIFY2(sameAsScript(s.get(), {0, 1}, {5000, 777}, 5000 - 1000, &why), qPrintable(why));
    QVERIFY(!s->hasValidData(2));
    const QVector<int> st = rig.rec->states();
    QCOMPARE(st.first(), int(SmpStaIdle));
    QVERIFY(st.contains(SmpStaSampling));
    QCOMPARE(st.last(), int(SmpStaDone));
}

void TstSmpCapture::streamEarlyEnd()
{
    Rig rig(SmpModeStream);
    QVERIFY(rig.ok);
    rig.enable({0, 1});
    squares({0, 1}, {100, 50});
    rig.dev->setDChnTrg(0, TrgRise);
    QVERIFY(rig.dev->setSmpDepth(0));
    emu_fail_bulk_in(EMU_IN_SHORT, 2000);   // 8000 samples of 20000
    QVERIFY(rig.run(SmpStartSingle));
    const QVector<Report> e = rig.rec->errors();
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].b, 14);
    QCOMPARE(rig.dev->smpError.load(), 14);
    // What came is completed and shown (no stop was requested).
    QVERIFY(rig.dev->hasValidData());
    QString why;
    const SmpDataPtr s = rig.dev->displayedSmpData();
    QVERIFY(s->smpCount > 0 && s->smpCount <= 8000);
    QVERIFY2(sameAsScript(s.get(), {0, 1}, {100, 50}, 100 - s->trgPosition, &why), qPrintable(why));
}

void TstSmpCapture::streamStopDiscards()
{
    Rig rig(SmpModeStream);
    QVERIFY(rig.ok);
    rig.enable({0, 1});
    squares({0, 1}, {100, 50});
    emu_set_stream_rate(400000);   // 100000 samples a second
    QVERIFY(rig.dev->setSmpDepth(5));   // 5 M samples: far more than the test waits for
    rig.dev->smpStart(SmpStartRepeatTrg);
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec->states().contains(SmpStaSampling), 10000);
    // The start put fresh stores in both slots; this one stays on display.
    const SmpDataPtr shown = rig.dev->displayedSmpData();
    rig.dev->smpStop();
    QVERIFY(rig.waitEnd());
    QCOMPARE(rig.rec->errors().size(), 0);
    // The interrupted pass is completed with keep = false: nothing shown.
    QCOMPARE(rig.dev->displayedSmpData(), shown);
    QVERIFY(!rig.dev->hasValidData());
    QVERIFY(rig.dev->fillingSmpData()->smpCount == 0);
}

void TstSmpCapture::streamNoChannel()
{
    Rig rig(SmpModeStream);
    QVERIFY(rig.ok);
    rig.enable({});
    QCOMPARE(rig.dev->getDChnEnaNum(), 0);
    QVERIFY(rig.run(SmpStartSingle));
    const QVector<Report> e = rig.rec->errors();
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].b, int(SmpCtrlStream::ErrNoChannel));
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry en;
        QVERIFY(emu_log_get(i, &en));
        QVERIFY(en.kind != EMU_LOG_BULK_IN);
    }
    QVERIFY(!rig.dev->hasValidData());
}

void TstSmpCapture::streamByteForm()
{
    Rig rig(SmpModeStream, EMU_FORM_8);
    QVERIFY(rig.ok);
    QCOMPARE(int(rig.dev->devModel), int(DevModel2113));
    QVector<int> chns;
    QVector<long long> halves;
    for (int c = 0; c < 8; ++c) {
        chns << c;
        halves << 300 + 11 * c;
    }
    squares(chns, halves);
    rig.dev->setDChnTrg(3, TrgFall);   // channel 3 falls at 2 x 333 = 666
    QVERIFY(rig.dev->setSmpDepth(0));
    QVERIFY(rig.dev->setTrgPosition(1));   // pre-trigger 200
    QVERIFY(rig.run(SmpStartSingle));
    QCOMPARE(rig.rec->errors().size(), 0);
    const SmpDataPtr s = rig.dev->displayedSmpData();
    QCOMPARE(s->smpCount, 20000LL);
    // (666 - 200) / 16 = 29 whole cycles dropped ahead of the window.
    QCOMPARE(s->trgPosition, 666LL - 29 * 16);
    QString why;
    QVERIFY2(sameAsScript(s.get(), chns, halves, 29 * 16, &why), qPrintable(why));
}

void TstSmpCapture::unplugDuringRun_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("buffer, while polling") << int(SmpModeBuffer);
    QTest::newRow("stream, while streaming") << int(SmpModeStream);
}

void TstSmpCapture::unplugDuringRun()
{
    // The run meets the missing device, ends with an error and joins its
    // converter; the device object can then go.
    QFETCH(int, mode);
    Rig rig(DevSmpMode(mode), EMU_FORM_16);
    QVERIFY(rig.ok);
    rig.enable({0, 1});
    squares({0, 1}, {100, 50});
    emu_set_buffer_phases(1000000, 0, 0);
    emu_set_stream_rate(400000);
    QVERIFY(rig.dev->setSmpDepth(5));
    rig.dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(rig.rec->states().contains(mode == SmpModeBuffer ? SmpStaPre : SmpStaSampling), 10000);
    emu_unplug();
    QVERIFY(rig.waitEnd());
    QVERIFY(!rig.rec->errors().isEmpty());
    QVERIFY(rig.dev->smpError != 0);
    auto* cnvt = rig.dev->smpWorker(SmpWorkerConvert);
    QVERIFY(!cnvt || !cnvt->isRunning());
}

void TstSmpCapture::refusedRequestReported_data()
{
    // A request of the run that the instrument refuses is the run's error,
    // where it used to be dropped (or show up later as a missing-data time-out).
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("skip");
    QTest::addColumn<bool>("kept");       // the capture is still shown
    QTest::addColumn<QByteArray>("run");  // last run control sent: stop, or none when never started
    const QByteArray stop(1, '\0');
    QTest::newRow("buffer, final stop") << int(SmpModeBuffer) << 0x20 << 0 << 1 << true << stop;
    QTest::newRow("stream, bulk path reset") << int(SmpModeStream) << 0x38 << -1 << 0 << false << QByteArray();
    QTest::newRow("stream, run request") << int(SmpModeStream) << 0x20 << 0 << 0 << false << stop;
    QTest::newRow("stream, upload request") << int(SmpModeStream) << 0x30 << -1 << 0 << false << stop;
}

void TstSmpCapture::refusedRequestReported()
{
    QFETCH(int, mode);
    QFETCH(int, request);
    QFETCH(int, value);
    QFETCH(int, skip);
    QFETCH(bool, kept);
    QFETCH(QByteArray, run);
    Rig rig{DevSmpMode(mode)};
    QVERIFY(rig.ok);
    rig.enable({0, 1});
    squares({0, 1}, {100, 50});
    QVERIFY(rig.dev->setSmpDepth(0));
    emu_fail_control(0, request, value, skip, 1, LIBUSB_ERROR_PIPE);
    QVERIFY(rig.run(SmpStartSingle));
    const QVector<Report> e = rig.rec->errors();
    QCOMPARE(e.size(), 1);
    QCOMPARE(e[0].b, int(UsbErrTransfer));
    QCOMPARE(rig.dev->smpError.load(), int(UsbErrTransfer));
    QCOMPARE(rig.dev->hasValidData(), kept);
    QCOMPARE(rig.rec->states().last(), int(SmpStaDone));
    // A started instrument was told to stop.
    QCOMPARE(regWritten(0x00), run);
}

QTEST_GUILESS_MAIN(TstSmpCapture)
#include "tst_smpcapture.moc"
