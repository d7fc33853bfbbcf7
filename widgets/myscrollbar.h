#pragma once

#include <QWidget>

// Thin vertical scroll bar with a 64-bit range, drawn as a translucent
// rounded handle over the view it scrolls. Hidden while maximum <= minimum.
class MyScrollbar : public QWidget
{
    Q_OBJECT
public:
    explicit MyScrollbar(QWidget* parent = nullptr);

    qlonglong minimum() const { return minV; }
    qlonglong maximum() const { return maxV; }
    qlonglong pageStep() const { return page; }
    qlonglong value() const { return val; }
    // The proportional handle length of the last paint (the drawn one is at least 12).
    qreal handleLength() const { return handleLen; }

signals:
    void rangChanged(qlonglong min, qlonglong max);
    void valueChanged(qlonglong value);

public slots:
    void setRange(qlonglong minV, qlonglong maxV);
    void setPageStep(qlonglong pageStep);
    void setValue(qlonglong value);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    qlonglong minV = 0;
    qlonglong maxV = 0;
    qlonglong page = 0;
    qlonglong val = 0;
    qreal handleLen = 0;
    int pressPos = 0;
    qlonglong pressValue = 0;
};
