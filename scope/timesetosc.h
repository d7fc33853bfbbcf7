#pragma once
// Time-base panel of the oscilloscope side bar: the time/div dial and the
// horizontal trigger time (from the screen centre, in the unit of the current
// step). It writes the device object, a running capture paused around the
// write, and reports timeSetChanged: 17 time/div chosen, 18 trigger moved.

#include <QFrame>

class MyButton;
class MyDial;
class OscTabFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

class TimeSetOsc : public QFrame
{
    Q_OBJECT

public:
    explicit TimeSetOsc(QWidget* parent = nullptr);

    void init();
    // Unit, shown time/div and decimals from the device's step; rewrites the
    // trigger time and returns it with its unit ("25.0ns").
    QString setTrgTime();
    // One step from the dial's position: larger for a negative delta, smaller
    // otherwise. False, nothing changed, past either end of the list.
    bool setTimeDiv(int delta);

    bool isExpanded() const { return expanded; }
    qint64 shownTimeDiv() const { return timeShown; }
    int trgDecimals() const { return decimals; }
    MyButton* dropButton() const { return btnDrop; }
    MyDial* timeDial() const { return dial; }
    QLineEdit* trgTimeEdit() const { return editTime; }
    QLabel* unitLabel() const { return labUnit; }
    QPushButton* resetButton() const { return btnReset; }

    // Dial text of a time/div in ns: "10ns", "500us", "5s".
    static QString timeDivText(qint64 ns);

signals:
    void stateChanged();
    void timeSetChanged(int type);

private slots:
    void slotBtnDropClicked();
    void slotDivChanged(int index);
    void slotTrgTimeEdit();
    void slotResetClicked();

private:
    QString trgTimeText(int percent) const;
    double screenTime() const { return double(timeShown) * 10; }
    void applyTrgPercent(int percent);

    OscTabFrame* tab;
    MyButton* btnDrop;
    QLabel* labTitle;
    QLineEdit* editTime;
    QLabel* labUnit;
    QPushButton* btnReset;
    QWidget* dialHolder;
    MyDial* dial;
    qint64 timeShown = 0;
    int decimals = 0;
    bool expanded = false;
};
