#pragma once
// The buttons that the sections of the side panel share: the open/close
// button and the tool button of every title bar, the small grey setting
// buttons and the round icon buttons of the rows.

#include <QString>

class MyButton;
class QGridLayout;
class QLabel;
class QWidget;

namespace SectionStyle {

struct TitleBar {
    MyButton* expand;
    QLabel* title;
    MyButton* tool;
};
// The title row of a section in row 0 of its grid (which it sets up): the
// open/close button, the title and the section's own tool button, all
// children of `owner`. The body goes into row 1.
TitleBar titleBar(QWidget* owner, QGridLayout* grid, const QString& title, const QString& toolIcon);

// Icon of an open/close button: open sections show the expand icon.
QString expandIcon(bool open);
// 16 x 16, transparent, lit grey 5 under the mouse.
void expandButton(MyButton* b);
// The right button of a title bar: 26 x 18 at unit scale, grey 6 with a border.
void toolButton(MyButton* b, const QString& icon);
// Grey 6 with a one-pixel border and corners of 3; the caller sizes it.
void flatButton(MyButton* b);
// 16 x 16 round icon button of a row, lit grey 4 under the mouse.
void rowIconButton(MyButton* b, const QString& icon);

} // namespace SectionStyle
