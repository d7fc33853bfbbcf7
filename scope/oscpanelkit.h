#pragma once
// What the four collapsible side-bar panels of the oscilloscope mode share:
// the header strip with its collapse button, the frame style, the collapse
// toggle, and the pause of a running capture around a setting change.

#include <QString>

class MyButton;
class OscTabFrame;
class QHBoxLayout;
class QWidget;

class OscPanelKit
{
public:
    // The header strip (fixed height pixel(24) - pixel(2)) with an empty
    // horizontal layout, and the collapse button (not yet in the layout).
    static OscTabFrame* header(QWidget* parent, QHBoxLayout** layout);
    static MyButton* collapseButton(QWidget* parent);
    // The style sheet's opening rule, shared by every panel.
    static QString frameStyle();
    // The toggle's visible part: button icon and the panel's fixed height.
    static void showExpanded(QWidget* panel, MyButton* button, bool expanded, int expandedHeight);
};

// Stops a running capture while a setting changes and starts it again after,
// so the instrument is never reconfigured under a running capture.
class SmpPause
{
public:
    SmpPause();
    ~SmpPause();
    SmpPause(const SmpPause&) = delete;
    SmpPause& operator=(const SmpPause&) = delete;
};
