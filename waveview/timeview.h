#pragma once
// The time ruler above the waveform: labels and ticks for the visible span
// (absolute times from the trigger at major ticks, offsets at minor ones) and
// the heads of the timing markers.

#include <QStringList>
#include <QVector>
#include <QWidget>

class CursorHandle;

class TimeView : public QWidget
{
    Q_OBJECT

public:
    struct Tick {
        int x;            // logical pixel
        bool major;
        QString text;     // empty: a minor tick without label
    };

    explicit TimeView(QWidget* parent = nullptr);

    void init();
    void setTimesValues(double start, double perPixel);
    double getStartTime() const { return startTime; }
    double getTimePerPixel() const { return timePerPixel; }
    void setCursorHandleStateType(int id, int state);
    int getCursorHandleIndex(int state) const;
    const QVector<CursorHandle*>& getCursorHandles() const { return cursorHandles; }
    // The ticks drawn for a view W logical pixels wide.
    QVector<Tick> ticks(int w) const;

signals:
    void timeMarkerChanged(int changedType, int index, int state, int midX);

public slots:
    void slotMainViewMarkerChanged(int changedType, int index, int value);
    void slotMouseEnter(int phyId);
    void slotMouseLeave(int phyId);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QStringList units;
    double timePerPixel = 0;
    double startTime = 0;
    QVector<CursorHandle*> cursorHandles;
    bool moved = false;
};
