#pragma once

#include <QColor>
#include <QWidget>

// A strip of one colour inset by margins; used as a separator line.
class ColorLump : public QWidget
{
public:
    ColorLump(const QColor& color, int height, int marginX, int marginY, QWidget* parent = nullptr);

    QColor color() const { return lumpColor; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    const QColor lumpColor;
    const int mx;
    const int my;
};
