#pragma once

#include <QColor>
#include <QIcon>
#include <QPushButton>

// Rounded button with a radial glow under the mouse and a coloured shadow
// while selected.
class MyLightBtn : public QPushButton
{
public:
    explicit MyLightBtn(QWidget* parent = nullptr);

    // Stored for owners that want them; painting uses a fixed radius of 4.
    void setBorderRadius(int r);
    void setBorderRadius(int topRight, int topLeft, int bottomLeft, int bottomRight);
    void setSelected(bool sel);
    bool isSelected() const { return selected; }
    bool isHovered() const { return hovered; }

    bool showSelectedIcon = false;
    int borderWidth = 0;
    int margin = 1;
    QColor borderColor = Qt::transparent;
    QColor fillColor = Qt::transparent;
    QColor glowColor = Qt::transparent;
    QColor shadowColor = Qt::transparent;
    QColor textColor;
    QIcon selectedIcon;

protected:
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool hovered = false;
    bool selected = false;
    int radius[4] = {0, 0, 0, 0};
};
