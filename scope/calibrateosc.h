#pragma once
// The calibration window of the oscilloscope model: the offset zero, offset
// slope and gain tables of the two analog channels edited in place in the
// device object, the automatic ADC calibration (calibrateoscauto.cpp), and
// "Save", which writes the tables into the instrument.

#include <QVector>
#include <QWidget>

class ColorLump;
class DevBase;
class MySpinBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QTextEdit;
class SmpDataOsc;

class CalibrateOsc : public QWidget
{
    Q_OBJECT
    friend class TstCalibrateOsc;

public:
    static constexpr int ChnNum = 2;

    explicit CalibrateOsc(QWidget* parent = nullptr);

    // Loads every box from the device object's tables, rebuilding the rows
    // when the device's tables have another shape, then applies setEna.
    void init();
    void setEna();
    // Evaluates the capture on display when it is one the automatic
    // calibration started; called for every display notification.
    void smpDataReady();

signals:
    // Flag 3 and the channel after a gain edit; flag 2 (both channels) after
    // a zero or slope edit and after each automatic step.
    void calibSettingChanged(int flag, int chn);

protected:
    void timerEvent(QTimerEvent* event) override;

private slots:
    void slotSpinZeroChanged(int value);
    void slotSpinSlopeChanged(int value);
    void slotBtnAutoClicked();
    void slotSpinGainChanged(int value);
    void slotBtnSaveClicked();

private:
    // Row counts the window shows for the current device object.
    static int zeroRowsOf(const DevBase* dev);
    static int gainRowsOf(const DevBase* dev);
    void buildRows();
    void loadBoxes();
    QVector<MySpinBox*> allBoxes() const;
    // Marks the sender red; the device object when an edit may go ahead.
    DevBase* beginEdit();
    static bool parsePair(const QString& name, int* chn, int* index);

    // Automatic calibration.
    void startOwnCapture();
    bool evaluateStep(DevBase* dev, const SmpDataOsc& shown);
    void failStep(const char* word);

    QGridLayout* layoutMain = nullptr;
    QVector<ColorLump*> separators;
    QGridLayout* layoutStep1 = nullptr;
    QLabel* labelStep1 = nullptr;
    QVector<QGridLayout*> layoutZeroChn;
    QVector<QLabel*> labelZeroChn;
    QVector<QLabel*> labelZeroRows[4];
    QVector<MySpinBox*> spinZero[4];
    QGridLayout* layoutStep2 = nullptr;
    QLabel* labelStep2 = nullptr;
    QVector<QLabel*> labelSlopeChn;
    QVector<MySpinBox*> spinSlope;
    QGridLayout* layoutStep3 = nullptr;
    QLabel* labelStep3 = nullptr;
    QLabel* labelAuto = nullptr;
    QPushButton* btnAuto = nullptr;
    QTextEdit* textLog = nullptr;
    int autoStep = -1;
    QGridLayout* layoutStep4 = nullptr;
    QLabel* labelStep4 = nullptr;
    QVector<QGridLayout*> layoutGainChn;
    QVector<QLabel*> labelGainChn;
    QVector<QLabel*> labelGainRows[4];
    QVector<MySpinBox*> spinGain[4];
    QGridLayout* layoutStep5 = nullptr;
    QLabel* labelStep5 = nullptr;
    QPushButton* btnSave = nullptr;

    int builtZeroRows = -1;
    int builtGainRows = -1;
    int autoTimer = 0;
    // Run number of the capture the calibration started and waits for; 0 none.
    quint32 ownRun = 0;
};
