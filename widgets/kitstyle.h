#pragma once

#include <QString>

// Style-sheet texts shared by several widgets of the kit.
namespace KitStyle {

// Group boxes with a thin black rounded border and the title set into it.
QString groupBox();

} // namespace KitStyle
