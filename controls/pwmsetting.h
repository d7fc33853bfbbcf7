#pragma once

#include <QWidget>

class MyButton;
class MySwitch;
class QGridLayout;
class QLabel;

// The toolbar's PWM group: an on/off switch per output and a button to the
// PWM Settings dialog; shown while "toolbarPWM" is set.
class PWMSetting : public QWidget
{
    Q_OBJECT

public:
    explicit PWMSetting(QWidget* parent = nullptr);

    // Switches from the device object, visibility from "toolbarPWM".
    void updateSetting();

    MySwitch* pwmSwitch(int i) const { return i == 0 ? switch1 : switch2; }
    MyButton* settingButton() const { return btnSetting; }

protected:
    void paintEvent(QPaintEvent* e) override;

private slots:
    void slotBtnPWM1Clicked();
    void slotBtnPWM2Clicked();
    void slotBtnSettingClicked();

private:
    QGridLayout* grid;
    MyButton* btnSetting;
    MySwitch* switch1;
    MySwitch* switch2;
    QLabel* label1;
    QLabel* label2;
};
