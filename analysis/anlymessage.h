#pragma once
// The one form of message box of the analysis panels: warning icon, a
// title, the text, a single Close button.

#include <QString>

class QWidget;

class AnlyMessage
{
public:
    static void warn(QWidget* parent, QString const& title, QString const& text);
};
