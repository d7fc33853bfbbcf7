#pragma once

#include <QLabel>
#include <QString>

// A label for a value that may not fit its room: while the mouse is over it
// and the text is cut, the whole text shows as a tool tip.
class TimingMarkerTip : public QLabel
{
public:
    TimingMarkerTip(const QString& text, QWidget* parent = nullptr);

    // True when the text is wider than the label.
    bool textCut() const;

protected:
    void enterEvent(QEvent* e) override;
};
