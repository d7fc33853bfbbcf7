#pragma once
// What the harnesses that take the user guide's pictures need to show the
// program as a user sees it: the window of its first start on a 1600 x 1000
// screen, and the font size a desktop gives it. The offscreen platform has no
// theme and hands out Qt's bare default of 12 pt, where X11's own theme gives
// 9 pt; the program builds its fonts from that size, so without this every
// label in a picture is a third larger than on screen and cut off.

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

namespace ProgramLook {

constexpr int WindowWidth = 1280;
constexpr int WindowHeight = 800;
// The main window's toolbar row and side column, as it lays them out.
constexpr int ToolbarHeight = 48;
constexpr int SideWidth = 240;
// The widest picture the guide prints at its scale (a pixel to 0.21 mm, the
// program's 9 pt labels at 7.5 pt) across its text: wider parts are cropped.
constexpr int GuideWidth = 800;

// Call before the program's fonts are made (Config::createFont).
inline void useDesktopFontSize()
{
    QFont f = QApplication::font();
    f.setPointSizeF(9);
    QApplication::setFont(f);
}

// Saves the part of a picture that a page of the guide describes, kept
// within the picture.
inline bool saveCrop(const QImage& shot, const QRect& part, const QString& path)
{
    return shot.copy(part & shot.rect()).save(path);
}

} // namespace ProgramLook
