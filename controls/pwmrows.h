#pragma once

#include <QString>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QValidator;
class QWidget;

// One PWM output's row of the PWM dialogs, and the rules both dialogs share:
// units, filling from the device object, checking and applying.
struct PwmRow {
    QCheckBox* ena = nullptr;
    QLabel* frequLabel = nullptr;
    QLabel* dutyLabel = nullptr;
    QLabel* percentLabel = nullptr;
    QLineEdit* frequEdit = nullptr;
    QLineEdit* dutyEdit = nullptr;
    QComboBox* unitCombo = nullptr;
};

namespace PwmRows {

constexpr double minFrequ = 0.1;        // Hz
constexpr double maxFrequ = 20000000.0;
constexpr double maxDuty = 100.0;       // percent

// Hz per unit: 0 MHz, 1 KHz, 2 Hz.
double unitMultiplier(int unit);
// The largest unit in which hz reads at least 1 (Hz below 1 kHz); *shown gets
// the number in that unit.
int unitFor(double hz, double* shown);
bool inRange(double hz, double duty);
// The warning for a row out of range; its duty range is in percent like the edit.
QString rangeText();

// Makes output i's widgets, parented to parent; frequency edits share one validator.
void create(PwmRow& row, int i, QWidget* parent, QValidator* frequValidator);
// Places a row's widgets in a grid from row r: the check box, then the values.
void place(const PwmRow& row, QGridLayout* grid, int r);
// Shows output i of the device object.
void fill(PwmRow& row, int i);
// The value edits follow the check box.
void followEnable(PwmRow& row);
// Reads a row: an unchecked one is off and not checked; a checked one is valid
// with a finite frequency and duty within the limits (an empty duty is 0 %).
bool read(const PwmRow& row, bool* on, double* hz, double* duty);
// OK of both dialogs: checks both rows, row 0 first, and warns over parent at
// the first invalid one (false, nothing sent); else switches the outputs
// off, sends the checked outputs' values and switches them to their states.
bool save(const PwmRow rows[2], QWidget* parent);

} // namespace PwmRows
