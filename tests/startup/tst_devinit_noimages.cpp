// Start-up of a build without the vendor's images: both kinds of missing
// image are reported, nothing is uploaded.

#include "startuphelp.h"

using startup::Rig;
using startup::Sta;

class TstDevInitNoImages : public QObject
{
    Q_OBJECT

private slots:
    void init() { emu_reset(); }
    void firmwareMissing();
    void fpgaMissing();
    void fpgaBadModel();
};

void TstDevInitNoImages::firmwareMissing()
{
    Rig rig;
    emu_set_ids(TAV_VENDOR_ID, 0x01A2);
    emu_set_firmware_running(0);
    emu_plug();
    devInit->init();
    QVERIFY(rig.waitFor(0, 1));
    rig.settle();
    QCOMPARE(rig.stages(), (QVector<Sta>{{0, 0, 0}, {0, 1, 0}}));
    QCOMPARE(emu_ram_bytes_written(), 0);
}

void TstDevInitNoImages::fpgaMissing()
{
    Rig rig;
    emu_set_ids(TAV_VENDOR_ID, 0x01A2);
    emu_plug();
    devInit->init();
    QVERIFY(rig.waitFor(4, 1));
    rig.settle();
    QCOMPARE(rig.stages(), (QVector<Sta>{{2, 0, 0}, {4, 1, 0}}));
    // Never a block of zeros in place of the image.
    QCOMPARE(emu_fpga_bytes_received(), 0LL);
    QCOMPARE(emu_fpga_size_announced(), 0LL);
    QVERIFY(!devUsing->isConnected);
}

void TstDevInitNoImages::fpgaBadModel()
{
    Rig rig;
    QCOMPARE(devInit->thrRenumDone->loadFpgaFw(0, 0), int(InitErrNoImage));
    QCOMPARE(devInit->thrRenumDone->loadFpgaFw(66, 0), int(InitErrNoImage));
    QCOMPARE(devInit->thrRenumDone->loadFpgaFw(10, 0), int(InitErrNoImage));
}

QTEST_GUILESS_MAIN(TstDevInitNoImages)
#include "tst_devinit_noimages.moc"
