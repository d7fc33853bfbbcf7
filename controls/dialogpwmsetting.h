#pragma once

#include "controls/pwmrows.h"

#include <QDialog>

class ColorLump;
class QDialogButtonBox;
class QGridLayout;

// "PWM Settings", opened from the toolbar's PWM group: both outputs, applied on OK.
class DialogPWMSetting : public QDialog
{
    Q_OBJECT

public:
    explicit DialogPWMSetting(QWidget* parent = nullptr);

    const PwmRow& row(int i) const { return rows[i]; }
    QDialogButtonBox* buttonBox() const { return buttons; }

signals:
    void sigPWMSetSaved();

private slots:
    void pwmEnaChecked();
    void saveClicked();

private:
    QGridLayout* grid;
    PwmRow rows[2];
    ColorLump* separator;
    QDialogButtonBox* buttons;
};
