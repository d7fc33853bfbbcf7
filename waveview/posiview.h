#pragma once
// The overview strip under the waveform: the capture as a box, the visible
// window as a lighter box, the trigger as a green line. A click centres the
// view there; dragging the window box pans.

#include <QWidget>

class PosiView : public QWidget
{
    Q_OBJECT

public:
    explicit PosiView(QWidget* parent = nullptr);

    int getChn() const { return chn; }
    qint64 getTrgPoint() const { return trgPoint; }
    qint64 getSmpTotal() const { return smpTotal; }
    double getBegSmp() const { return begSmp; }
    double getViewSmpLen() const { return viewSmpLen; }
    int getWindowLeft() const { return windowLeft; }
    int getWindowRight() const { return windowRight; }

signals:
    void sigPosiChanged(int chn, double begSmp);

public slots:
    void slotSetPosition(int chn, qlonglong trg, qlonglong total, double begin, double length);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void updateSpan();
    double scale() const;

    int chn = -1;
    qint64 trgPoint = 0;
    qint64 smpTotal = 0;
    double begSmp = 0;
    double viewSmpLen = 0;
    double leftExtra = 0;
    double spanSmp = 0;
    int windowLeft = 0;
    int windowRight = 0;
    bool dragging = false;
    int lastX = 0;
};
