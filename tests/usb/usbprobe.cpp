// A small program that uses the transport against whatever libusb-1.0.so.0
// the loader finds: the end-to-end tests run it with the emulator standing in.

#include "device/devsupport.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DevSupport ds;
    if (!ds.isUsbAvailable()) {
        printf("no usb\n");
        return 0;
    }
    const int r = ds.devRetrieve();
    printf("retrieve %d vendor %04x product %04x ready %d bulk %d\n", r, unsigned(ds.vendorId), unsigned(ds.productId),
           ds.isOpenReady ? 1 : 0, int(ds.bulkSize));
    if (r == 1) {
        unsigned char rec[8] = {};
        int done = 0;
        const int e = ds.ctrlRead(0xA2, 0x08, rec, 8, &done);
        printf("eeprom %d %d:", e, done);
        for (unsigned char b : rec)
            printf(" %02x", b);
        printf("\n");
    }
    return 0;
}
