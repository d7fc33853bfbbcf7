#pragma once
// The mixed-signal model connected to the instrument emulator, shared by the
// oscilloscope tests. Call after devtest::openEmulated.

#include "device/dev7329.h"
#include "device/devsupport.h"
#include "usbemu.h"

#include <QByteArray>

#include <memory>

namespace osctest {

// A Dev7329 that has run its connection (the calibration record read from
// the EEPROM); null when the connection fails.
inline std::unique_ptr<Dev7329> connectedDev(int smpMHz = 200)
{
    emu_set_status_override(0x85C1);
    auto dev = std::make_unique<Dev7329>();
    unsigned char ident[DevIdentSize] = {static_cast<unsigned char>(smpMHz), static_cast<unsigned char>(smpMHz >> 8),
                                         250, 0};
    if (dev->devConnect(ident, 0.0) != 0)
        return nullptr;
    return dev;
}

// A running FPGA answers with a capture's real states from here on; true
// when the start requests went through.
inline bool runFpga(DevSupport* ds, int pre, int wait, int triggered)
{
    emu_set_fpga_load_result(0);
    unsigned char res = 0xFF;
    if (ds->ctrlRead(0x50, 0, &res, 1) != 0 || ds->ctrlWrite(0x10, 1, nullptr, 0) != 0)
        return false;
    emu_set_status_override(-1);
    emu_set_buffer_phases(pre, wait, triggered);
    return true;
}

// A buffer-mode record of 20,480 sample pairs: ADC 0 bytes from a(i), ADC 1
// bytes from b(i).
template <typename A, typename B>
QByteArray adcRecord(A a, B b)
{
    QByteArray raw(40960, '\0');
    for (int i = 0; i < 20480; ++i) {
        raw[2 * i] = char(a(i));
        raw[2 * i + 1] = char(b(i));
    }
    return raw;
}

} // namespace osctest
