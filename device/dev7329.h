#pragma once
// The mixed-signal model: sixteen logic channels and two analog channels on
// an 8-bit ADC. The only model that works as an oscilloscope (work mode 1).
// The factory gives its code the demo device, so it exists only where code
// creates it directly.
//
// The analog settings and their setters belong to DevBase, so the panels reach
// them through devUsing; this class adds the calibration and the connection.

#include "device/devbase.h"
#include "device/usbrequests.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

class Dev7329 : public DevBase
{
    Q_OBJECT

public:
    static constexpr int AChnNum = 2;
    static constexpr int CalibRecordSize = 48;   // 18 + 4 x 7 data bytes and a check word
    static constexpr int CalibAddr0 = UsbAddr::EepromCalib0;
    static constexpr int CalibAddr1 = UsbAddr::EepromCalib1;

    Dev7329();

    int devConnect(unsigned char* ident, double vrefIn) override;
    bool isSmpModeSelectable() override { return false; }
    void setSmpMode(DevSmpMode mode) override;
    void setWorkMode(DevWorkMode mode) override;
    // Both EEPROM copies, the first first; stops at the first failure and
    // returns its transport code (1 no device, 2 transfer failed or short).
    int saveCalibParam() override;

    // --- calibration
    void resetCalibParam();
    // The record of the calibration block, check word included.
    QByteArray calibRecord() const;
    // Loads a valid record into the calibration block; false (block unchanged)
    // for a short or invalid record.
    bool loadCalibRecord(const unsigned char* rec, int len);
    static bool isCalibRecordValid(const unsigned char* rec, int len);
    // Plain sum of len bytes taken as unsigned.
    static quint32 getCheckSum(const unsigned char* data, int len);

private:
    int readCalib(int addr, unsigned char* rec);
};
