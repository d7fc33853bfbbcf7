#include "controls/pwmrows.h"

#include "core/config.h"
#include "core/lang.h"
#include "controls/inputcheck.h"
#include "device/devbase.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

namespace PwmRows {

double unitMultiplier(int unit)
{
    static const double mult[3] = {1000000.0, 1000.0, 1.0};
    return unit >= 0 && unit < 3 ? mult[unit] : 1.0;
}

int unitFor(double hz, double* shown)
{
    int unit = 2;
    while (unit > 0 && hz >= 1000) {
        hz /= 1000;
        --unit;
    }
    *shown = hz;
    return unit;
}

bool inRange(double hz, double duty)
{
    return hz >= minFrequ && hz <= maxFrequ && duty >= 0 && duty <= maxDuty;
}

QString rangeText()
{
    return Lang::tr(QStringLiteral("The effective range of PWM:[0.1Hz,20MHz], duty cycle:[0%,100%]."));
}

void create(PwmRow& row, int i, QWidget* parent, QValidator* frequValidator)
{
    const QString name = QStringLiteral("PWM") + QString::number(i + 1);
    row.ena = new QCheckBox(name, parent);
    row.ena->setObjectName(name + QStringLiteral("Ena"));
    row.frequLabel = new QLabel(Lang::tr(QStringLiteral("Frequency")), parent);
    row.frequEdit = new QLineEdit(parent);
    row.frequEdit->setObjectName(name + QStringLiteral("Frequ"));
    row.frequEdit->setFixedWidth(Config::pixel(53));
    row.frequEdit->setValidator(frequValidator);
    row.unitCombo = new QComboBox(parent);
    row.unitCombo->setObjectName(name + QStringLiteral("Unit"));
    row.unitCombo->setMinimumContentsLength(5);
    row.unitCombo->addItems({QStringLiteral("MHz"), QStringLiteral("KHz"), QStringLiteral("Hz")});
    row.dutyLabel = new QLabel(Lang::tr(QStringLiteral("DutyCycle")), parent);
    row.dutyEdit = new QLineEdit(parent);
    row.dutyEdit->setObjectName(name + QStringLiteral("Duty"));
    row.dutyEdit->setFixedWidth(Config::pixel(53));
    row.dutyEdit->setValidator(new QIntValidator(0, 100, parent));
    row.percentLabel = new QLabel(QStringLiteral("%"), parent);
}

void place(const PwmRow& row, QGridLayout* grid, int r)
{
    grid->addWidget(row.ena, r, 0, 1, 6);
    grid->addWidget(row.frequLabel, r + 1, 0);
    grid->addWidget(row.frequEdit, r + 1, 1);
    grid->addWidget(row.unitCombo, r + 1, 2);
    grid->addWidget(row.dutyLabel, r + 1, 3);
    grid->addWidget(row.dutyEdit, r + 1, 4);
    grid->addWidget(row.percentLabel, r + 1, 5);
}

void fill(PwmRow& row, int i)
{
    row.ena->setChecked(devUsing->getPWMEnable(i));
    double hz = 0;
    double duty = 0;
    devUsing->getPWMValue(i, &hz, &duty);
    double shown = 0;
    const int unit = unitFor(hz, &shown);
    row.dutyEdit->setText(QString::number(duty, 'g', 6));
    row.frequEdit->setText(QString::number(shown, 'g', 6));
    row.unitCombo->setCurrentIndex(unit);
}

void followEnable(PwmRow& row)
{
    const bool on = row.ena->isChecked();
    row.frequEdit->setEnabled(on);
    row.unitCombo->setEnabled(on);
    row.dutyEdit->setEnabled(on);
}

bool read(const PwmRow& row, bool* on, double* hz, double* duty)
{
    *on = row.ena->isChecked();
    *hz = 0;
    *duty = 0;
    if (!*on)
        return true;
    double f = 0;
    if (!InputCheck::toFinite(row.frequEdit->text(), &f))
        return false;
    double d = 0;
    const QString dutyText = row.dutyEdit->text();
    if (!dutyText.isEmpty() && !InputCheck::toFinite(dutyText, &d))
        return false;
    *hz = f * unitMultiplier(row.unitCombo->currentIndex());
    *duty = d;
    return inRange(*hz, *duty);
}

bool save(const PwmRow rows[2], QWidget* parent)
{
    bool on[2];
    double hz[2];
    double duty[2];
    if (!read(rows[0], &on[0], &hz[0], &duty[0]) || !read(rows[1], &on[1], &hz[1], &duty[1])) {
        InputCheck::warnInvalid(parent, rangeText());
        return false;
    }
    devUsing->setPWMEnable(false, false);
    for (int i = 0; i < 2; ++i)
        if (on[i])
            devUsing->setPWMValue(i, hz[i], duty[i]);
    devUsing->setPWMEnable(on[0], on[1]);
    return true;
}

} // namespace PwmRows
