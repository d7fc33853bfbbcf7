#pragma once

#include <QColor>
#include <QIcon>
#include <QPushButton>

// Rounded push button painted by itself: four corner radii, an optional
// outline, three fill colours with an optional vertical gradient, a second
// icon and a blue glow while selected. Owners set the public fields right
// after construction.
class MyButton : public QPushButton
{
public:
    explicit MyButton(QWidget* parent = nullptr);

    void setBorderRadius(int r);
    void setBorderRadius(int topRight, int topLeft, int bottomLeft, int bottomRight);
    // Installs the (disabled) glow effect once; later calls do nothing.
    void setShadowEnable();
    void setSelected(bool sel);
    bool isSelected() const { return selected; }
    bool isHovered() const { return hovered; }

    // Owners read it to toggle the button; change it only through setSelected,
    // which also switches the glow.
    bool selected = false;
    bool gradientNormal = true;
    bool gradientHover = true;
    int buttonId = -1;
    int borderWidth = 0;
    QColor borderColor;
    QColor normalColor;
    QColor hoverColor;
    QColor selectedColor;
    QIcon selectedIcon;

protected:
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool hovered = false;
    int radiusTR = 0;
    int radiusTL = 0;
    int radiusBL = 0;
    int radiusBR = 0;
};
