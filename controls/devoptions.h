#pragma once

#include "controls/pwmrows.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QSlider;

// "Device Options": both PWM outputs with the toolbar switch option (models
// with PWM outputs) and the pre-trigger position (logic analyzers). Applied
// on OK only.
class DevOptions : public QDialog
{
    Q_OBJECT

public:
    explicit DevOptions(QWidget* parent = nullptr);

    const PwmRow& row(int i) const { return rows[i]; }
    QCheckBox* toolbarCheck() const { return chkToolbar; }
    QSlider* triggerSlider() const { return slider; }
    QLabel* triggerLabel() const { return sliderLabel; }
    QDialogButtonBox* buttonBox() const { return buttons; }

private slots:
    void pwmEnaChecked();
    void setTriggerPosition(int value);
    void saveClicked();

private:
    PwmRow rows[2];
    QCheckBox* chkToolbar = nullptr;
    QSlider* slider = nullptr;
    QLabel* sliderLabel = nullptr;
    QDialogButtonBox* buttons;
};
