#pragma once

#include <QStringList>
#include <QVector>
#include <QWidget>

class QLabel;
class QPushButton;

// Rotary selector over an ordered list of texts ("10mV" ... "5V"): a knob with
// a pointer, ticks and numbers, unit arcs, and a "-" value "+" box below.
// Angles are degrees clockwise from the direction pointing left of the knob
// centre: 0 left, 90 up, 180 right, 270 (or -90) down.
class MyDial : public QWidget
{
    Q_OBJECT
public:
    explicit MyDial(QWidget* parent = nullptr);

    void setTextList(const QStringList& list);
    void setCurrentIndex(int index);
    // Index of the position nearest to a mouse position (the knob geometry is
    // that of the last paint or resize).
    int mouseToPosion(QPoint pos) const;

    int currentIndex() const { return index; }
    QString currentText() const { return texts.value(index); }
    int count() const { return texts.size(); }
    int stepAngle() const { return step; }
    qreal startAngle() const { return start; }
    qreal angleOf(int position) const { return start + position * step; }
    const QStringList& unitNames() const { return units; }
    // First and last angle of every unit run, two entries per run.
    const QVector<qreal>& unitArcs() const { return arcs; }
    const QVector<qreal>& boundaries() const { return bounds; }
    QPoint knobCentre() const { return QPoint(centreX, centreY); }
    int knobRadius() const { return knobR; }
    // A position gets a long, numbered tick.
    bool isMajor(int position) const;
    // The text without its unit: "500mV" gives "500", "1V" gives "1".
    static QString numberPart(const QString& text);
    static QString unitPart(const QString& text);

signals:
    void btnClicked(int index);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private slots:
    void slotBtnClicked();

private:
    void updateGeometryCache();
    void pickFromMouse(QPoint pos);
    void moveTo(int newIndex);

    QWidget* bar;
    QPushButton* btnMinus;
    QPushButton* btnPlus;
    QLabel* label;
    int index = 0;
    int step = 0;
    qreal start = -35;
    QStringList texts;
    QStringList units;
    QVector<qreal> arcs;
    QVector<qreal> bounds;
    int digitHeight = 0;
    int ascent = 0;
    int tickLen = 5;
    int tickGap = 3;
    int outerR = 0;
    int knobR = 0;
    int centreX = 0;
    int centreY = 0;
};
