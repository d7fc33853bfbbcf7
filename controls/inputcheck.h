#pragma once

#include <QString>

class QWidget;

// Checks shared by the panels for what a user types.
namespace InputCheck {

// The whole text as a finite number; QString::toDouble alone also takes
// "nan" and "inf".
bool toFinite(const QString& text, double* out);

// The one warning box of every panel: "A Setting is Invalid" with the
// explanation and a Close button, modal over parent.
void warnInvalid(QWidget* parent, const QString& text);

} // namespace InputCheck
