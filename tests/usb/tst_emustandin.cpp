// The shared emulator stands in for the system libusb of a real program.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TstEmuStandIn : public QObject
{
    Q_OBJECT
private slots:
    void probe_data();
    void probe();
};

void TstEmuStandIn::probe_data()
{
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QString>("expected");
    QTest::newRow("instrument with firmware")
        << QStringList{"TAV_EMU_PRODUCT=0x01A4", "TAV_EMU_MODEL=5"}
        << QString("retrieve 1 vendor %1 product 01a4 ready 1 bulk 1048576\neeprom 0 8: 05 fa 00 ff 05 fa 00 ff\n")
               .arg(TAV_VENDOR_ID, 4, 16, QChar('0'));
    QTest::newRow("full speed without model")
        << QStringList{"TAV_EMU_PRODUCT=0x02A1", "TAV_EMU_SPEED=full"}
        << QString("retrieve 1 vendor %1 product 02a1 ready 1 bulk 102400\neeprom 0 8: 03 fc 00 ff 03 fc 00 ff\n")
               .arg(TAV_VENDOR_ID, 4, 16, QChar('0'));
    QTest::newRow("waiting for firmware") << QStringList{"TAV_EMU_PRODUCT=0x01A1", "TAV_EMU_FIRMWARE=0"}
                                          << QString("retrieve 1 vendor %1 product 01a1 ready 0 bulk 1048576\n"
                                                     "eeprom 2 -9: 00 00 00 00 00 00 00 00\n")
                                                 .arg(TAV_VENDOR_ID, 4, 16, QChar('0'));
    QTest::newRow("nothing attached") << QStringList{} << QString("retrieve 0 vendor 0000 product 0000 ready 0 bulk 1048576\n");
    QTest::newRow("no usb in this machine") << QStringList{"TAV_EMU_NO_USB=1"} << QString("no usb\n");
}

void TstEmuStandIn::probe()
{
    QFETCH(QStringList, env);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString logPath = tmp.filePath("usb.log");
    QProcess p;
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    for (const QString& k : pe.keys())
        if (k.startsWith("TAV_EMU_"))
            pe.remove(k);
    pe.insert("LD_LIBRARY_PATH", TAV_EMU_DIR);
    pe.insert("TAV_EMU_LOG", logPath);
    for (const QString& kv : env)
        pe.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(pe);
    p.start(QString::fromUtf8(TAV_USBPROBE), QStringList());
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QTEST(QString::fromLatin1(p.readAllStandardOutput()), "expected");
    // The stand-in logs what the program asked of it.
    QFile log(logPath);
    if (env.contains("TAV_EMU_PRODUCT=0x01A4")) {
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("req=a2 val=0008"));
    }
}

QTEST_GUILESS_MAIN(TstEmuStandIn)
#include "tst_emustandin.moc"
