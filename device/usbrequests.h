#pragma once
// Vendor control requests of the instruments' USB controller and the fixed
// addresses they reach. The program and the instrument emulator both take
// them from here, so the two cannot drift apart. Plain C++ without Qt.

#include <cstdint>

namespace UsbReq {
constexpr uint8_t FpgaRun = 0x10;      // wValue 1 runs the FPGA, 0 puts it to standby
constexpr uint8_t Register = 0x20;     // register access, wValue = register number
constexpr uint8_t BulkStart = 0x30;    // start the bulk IN upload
constexpr uint8_t BulkPrepare = 0x38;  // prepare / reset the bulk path
constexpr uint8_t FpgaLoad = 0x50;     // OUT: image size; IN: load result
constexpr uint8_t DeviceId = 0x60;     // OUT: request key; IN: 12-byte answer
constexpr uint8_t Ram = 0xA0;          // controller RAM, wValue/wIndex = address
constexpr uint8_t Eeprom = 0xA2;       // wValue = EEPROM address
}  // namespace UsbReq

namespace UsbAddr {
constexpr uint32_t CpuCtrl = 0xE600;     // controller RAM: 1 holds the CPU in reset, 0 releases it
constexpr uint16_t EepromModel = 0x08;   // 8-byte model record
constexpr uint16_t EepromBatch = 0x20;   // batch word and its complement
constexpr uint16_t EepromCalib0 = 0x40;  // calibration record, first copy
constexpr uint16_t EepromCalib1 = 0xA0;  // calibration record, second copy
}  // namespace UsbAddr
