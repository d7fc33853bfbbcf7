#pragma once
// The head of one timing marker in the time ruler: a small pentagon with the
// marker's name, pointing down at its line.

#include <QLabel>
#include <QPoint>
#include <QVector>

class CursorHandle : public QLabel
{
    Q_OBJECT

public:
    CursorHandle(int id, QWidget* parent = nullptr);

    void setStateType(int s);

    int state = 0;
    int id;
    QString name;

signals:
    void mouseEnter(int id);
    void mouseLeave(int id);

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    int textWidth = 0;
    double a;
    double b;
    QVector<QPoint> outline;
};
