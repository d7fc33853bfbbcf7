// The program end to end with the shared emulator standing in for libusb:
// from plug-in (controller without firmware) to connected, then one single
// capture, judged by the emulator's request log, the screen and the saved
// settings; and without an instrument, a demo capture decoded as UART.

#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TstE2e : public QObject
{
    Q_OBJECT

private slots:
    void plugInToSingleCapture();
    void demoCaptureDecoded();

private:
    // Runs a driver under xvfb-run; its verdict and the program's output on failure.
    static void runDriver(const char* driver, const char* program, const QString& work);
};

void TstE2e::runDriver(const char* driver, const char* program, const QString& work)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(TAV_XVFB_RUN, {"-a", "-s", "-screen 0 1600x1000x24", TAV_PYTHON, driver, program, TAV_EMU_DIR, work});
    QVERIFY(p.waitForStarted());
    QVERIFY(p.waitForFinished(200000));
    const QByteArray out = p.readAll();
    QFile prog(work + QStringLiteral("/program.out"));
    prog.open(QIODevice::ReadOnly);
    QVERIFY2(p.exitCode() == 0, (out + prog.readAll()).constData());
}

void TstE2e::demoCaptureDecoded()
{
    if (QByteArray(TAV_XVFB_RUN).isEmpty())
        QSKIP("xvfb-run is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    runDriver(TAV_E2E_DEMO_DRIVER, TAV_DEMO_PROGRAM, dir.path());
}

void TstE2e::plugInToSingleCapture()
{
    if (QByteArray(TAV_XVFB_RUN).isEmpty())
        QSKIP("xvfb-run is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    runDriver(TAV_E2E_DRIVER, TAV_PROGRAM, dir.path());
    if (QTest::currentTestFailed())
        return;

    QFile logFile(dir.filePath("emu.log"));
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> log = logFile.readAll().split('\n');
    int cpuRelease = -1, fpgaDone = -1, connectReset = -1, start = -1, window = -1, data = -1, stop = -1;
    qint64 bulkIn = 0;
    for (int i = 0; i < log.size(); ++i) {
        const QByteArray& l = log[i];
        QVERIFY2(!l.startsWith("PROTOCOL"), l.constData());
        if (l.startsWith("CTRL rt=40 req=a0 val=e600") && l.endsWith(": 00"))
            cpuRelease = i;
        if (l.startsWith("CTRL rt=c0 req=50") && l.endsWith(": 00"))
            fpgaDone = i;
        if (fpgaDone >= 0 && connectReset < 0 && l.startsWith("CTRL rt=40 req=38"))
            connectReset = i;
        if (l.startsWith("CTRL rt=40 req=20 val=0000") && l.endsWith(": 03"))
            start = i;
        if (start >= 0 && l.startsWith("CTRL rt=40 req=20 val=0008"))
            window = i;
        if (window >= 0 && l.startsWith("BULK_IN")) {
            data = i;
            const int a = l.indexOf("act=");
            bulkIn += l.mid(a + 4, l.indexOf(' ', a) - a - 4).toLongLong();
        }
        if (data >= 0 && stop < 0 && l.startsWith("CTRL rt=40 req=20 val=0000") && l.endsWith(": 00"))
            stop = i;
    }
    // Firmware, re-enumeration and FPGA, connected, then the capture:
    // start, read window, read-out, stop.
    QVERIFY(cpuRelease >= 0);
    QVERIFY(fpgaDone > cpuRelease);
    QVERIFY(connectReset > fpgaDone);
    QVERIFY(start > connectReset);
    QVERIFY(window > start);
    QVERIFY(data > window);
    QVERIFY(stop > data);
    QVERIFY(bulkIn > 0);

    // The window replaced the demo device by the attached model, which the
    // settings keep.
    QFile cfg(dir.filePath("data/vormel/tav.config"));
    QVERIFY(cfg.open(QIODevice::ReadOnly));
    QDomDocument d;
    QVERIFY(d.setContent(&cfg));
    QCOMPARE(d.documentElement().firstChildElement("global").firstChildElement("devModel").text(),
             QStringLiteral("2"));
}

QTEST_GUILESS_MAIN(TstE2e)
#include "tst_e2e.moc"
