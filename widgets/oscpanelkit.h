#pragma once
// What the side-bar panels of the oscilloscope mode share: the header strip
// with its collapse button, the frame style, the collapse toggle, the button
// looks and title of the measurement panels.

#include <QList>
#include <QString>

class MyButton;
class MySwitch;
class OscTabFrame;
class QAction;
class QColor;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QVBoxLayout;
class QWidget;

class OscPanelKit
{
public:
    struct Header {
        OscTabFrame* frame;
        QHBoxLayout* layout;
        MyButton* drop;
        QLabel* title;
    };
    // The header strip (fixed height pixel(24) - pixel(2)) with the collapse
    // button and the title in its layout; the title takes the free width
    // unless titleExpands is false (the caller then adds a spacer).
    static Header header(QWidget* parent, const QString& title, bool titleExpands = true);
    static MyButton* collapseButton(QWidget* parent);
    // The on/off switch at the right end of a header.
    static MySwitch* headerSwitch(QWidget* parent);
    // The style sheet's opening rule, shared by every panel.
    static QString frameStyle();
    // A settings panel: frameStyle() followed by style, as wide as the side
    // bar and as high as it says, over a column without margins.
    static QVBoxLayout* column(QFrame* panel, const QString& style, int spacing);
    // The toggle's visible part: button icon and the panel's fixed height.
    static void showExpanded(QWidget* panel, MyButton* button, bool expanded, int expandedHeight);
    // The collapse button's icon alone, for panels that hide their body.
    static void showExpandIcon(MyButton* button, bool expanded);

    // A 16-pixel square without fill until hovered (the collapse button, the
    // settings button of a measurement block).
    static void styleFlat(MyButton* b, const QColor& hover, int radius);
    // A framed button on grey 6, grey 5 while hovered: the settings button of
    // a measurement panel, the cursor and channel buttons.
    static void styleFramed(MyButton* b);
    // A title 16 pixels high that takes the free width.
    static QLabel* title(const QString& text, QWidget* parent);
    // The grid of a measurement panel: the title row (collapse button, title,
    // settings button), the body below it across the three columns.
    static QGridLayout* panelGrid(QWidget* panel, QWidget* deploy, QWidget* title, QWidget* set, QWidget* body);
    // Return finishes an edit while it has the focus: true then, with the
    // focus taken away, so the value is applied once, when the focus has gone.
    static bool finishEdit(QLineEdit* edit);
    // Deletes the menu's entries from index n on; returns the ones left.
    static QList<QAction*> trimMenu(QMenu* menu, int n);
};
