#pragma once
// Settings panel of one analog channel in the oscilloscope side bar: enable,
// volts/div dial, coupling, probe rate and vertical offset. Each control
// writes the device object (a running capture paused around the write) and
// then reports chnSetChanged with its code:
// 10 enable, 12 coupling, 13 probe, 14 volts/div, 15 offset typed, 16 offset reset.

#include <QFrame>
#include <QList>
#include <QStringList>

class MyButton;
class MyDial;
class MySwitch;
class OscTabFrame;
class QButtonGroup;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

class ChnSetOsc : public QFrame
{
    Q_OBJECT

public:
    ChnSetOsc(int chn, QWidget* parent = nullptr);

    void init();
    // Unit, shown volts/div and decimals from the device; rewrites the offset
    // edit and returns its text with the unit ("-12.5mV").
    QString setChnVolt();
    void setChnEnaState(bool on);

    int channel() const { return chnIndex; }
    bool isExpanded() const { return expanded; }
    int shownVoltDiv() const { return voltShown; }
    int offsetDecimals() const { return decimals; }

    // The parts a user touches, for the view and for tests.
    MySwitch* enableSwitch() const { return swEna; }
    MyButton* dropButton() const { return btnDrop; }
    MyDial* voltDial() const { return dial; }
    QLineEdit* offsetEdit() const { return editOffset; }
    QLabel* unitLabel() const { return labUnit; }
    QPushButton* resetButton() const { return btnReset; }
    const QList<QRadioButton*>& couplingButtons() const { return btnCoupling; }
    const QList<QRadioButton*>& probeButtons() const { return btnProbe; }

    // The volts/div shown for a channel: volts/div x probe rate, in mV below
    // 1000 mV, else in V. A probe rate of 0 or less counts as 1.
    static int shownVolts(int voltDivMv, int probeRate, QString* unit);

signals:
    void stateChanged();
    void chnSetChanged(int type, int chn);

private slots:
    void slotBtnDropClicked();
    void slotEnaClicked();
    void slotCouplingClicked();
    void slotProbeRateChanged();
    void slotChnVoltChanged();
    void slotResetChnPosition();
    void slotDivVoltChanged(int index);

private:
    QRadioButton* addRadio(const QString& text, QButtonGroup* group, QWidget* row, QList<QRadioButton*>* list);
    QString offsetText(int perMille) const;

    QGridLayout* layout;
    OscTabFrame* tab;
    MyButton* btnDrop;
    QLabel* labTitle;
    MySwitch* swEna;
    QWidget* dialHolder;
    MyDial* dial;
    QWidget* couplingRow;
    QLabel* labCoupling;
    QButtonGroup* groupCoupling;
    QList<QRadioButton*> btnCoupling;
    QWidget* probeRow;
    QLabel* labProbe;
    QButtonGroup* groupProbe;
    QList<QRadioButton*> btnProbe;
    QWidget* offsetBox;
    QLabel* labOffset;
    QLineEdit* editOffset;
    QLabel* labUnit;
    QPushButton* btnReset;
    QLabel* filler;
    QLabel* divider;
    QWidget* settingsColumn;
    bool expanded = false;
    const int chnIndex;
    QStringList couplingTexts;
    QStringList probeTexts;
    int voltShown = 0;
    int decimals = 0;
};
