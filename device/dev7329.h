#pragma once
// The mixed-signal model: sixteen logic channels and two analog channels on
// an 8-bit ADC. The only model that works as an oscilloscope (work mode 1).
// The factory gives its code the demo device, so it exists only where code
// creates it directly.
//
// The analog settings and their setters live here until the device object
// carries them for every model; all of them take the GUI thread.

#include "device/devbase.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

class Dev7329 : public DevBase
{
    Q_OBJECT

public:
    static constexpr int AChnNum = 2;
    static constexpr int CalibRecordSize = 48;   // 18 + 4 x 7 data bytes and a check word
    static constexpr int CalibAddr0 = 0x40;
    static constexpr int CalibAddr1 = 0xA0;

    Dev7329();

    int devConnect(unsigned char* ident, double vrefIn) override;
    bool isSmpModeSelectable() override { return false; }
    void setSmpMode(DevSmpMode mode) override;
    void setWorkMode(DevWorkMode mode) override;
    void saveCalibParam() override;

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
    // The offset register word of a channel at its current settings.
    int offsetWord(int chn) const;

    // --- analog settings
    QStringList getVoltDivStringList(int chn) const;
    QStringList getATimeDivStringList() const;
    void setAChnEna(const QVector<bool>& ena);
    void setAChnEna();
    void setATrgType(int type);
    bool setATrgPercent(int percent);
    void setATrgVolt(int chn, double level);
    bool setATrgChn(int chn);
    void setAProbeRate(int chn, int rate);
    void setACoupling(int chn, int coupling);
    void setACoupling();
    void setAVoltDivIndex(int chn, int index);
    bool setAVoltDivValue(int chn, int mV);
    int getAVoltDivValue(int chn) const;
    void setATimeDivIndex(int index);
    bool setATimeDivValue(int ns);
    void setAChnOffset(int chn, int offset);
    void setAChnOffset();
    void setAChnGain();
    void saveAMathSet();
    void saveSmpCtrlSet();
    void resetAutoScaleSet();
    void loadAChnSettings();

private:
    bool validChn(int chn) const { return chn >= 0 && chn < aChnEna.size(); }
    void saveDev(const char* key, const QString& value);
    void saveIntList(const char* key, const QVector<int>& list);
    void writeWords(int reg, const QVector<int>& words);
    int readCalib(int addr, unsigned char* rec);
};
