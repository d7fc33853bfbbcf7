#pragma once
// Pieces the oscilloscope side panels share: their two button looks, the
// title label of a panel or block, and the trimming of a channel menu.

#include <QList>

class MyButton;
class QAction;
class QColor;
class QGridLayout;
class QLabel;
class QMenu;
class QString;
class QWidget;

namespace PanelKit {

// A 16-pixel square without fill until hovered: the collapse/expand button of
// a panel or block, the settings button of a block.
void styleFlat(MyButton* b, const QColor& hover, int radius);
// A framed button on grey 6, grey 5 while hovered: the settings button of a
// panel, the cursor and channel buttons.
void styleFramed(MyButton* b);
// A title 16 pixels high that takes the free width.
QLabel* title(const QString& text, QWidget* parent);
// The grid of a side panel: the title row (collapse button, title, settings
// button), the body below it across the three columns.
QGridLayout* panelGrid(QWidget* panel, QWidget* deploy, QWidget* title, QWidget* set, QWidget* body);
// Deletes the menu's entries from index n on; returns the ones left.
QList<QAction*> trimMenu(QMenu* menu, int n);

} // namespace PanelKit
