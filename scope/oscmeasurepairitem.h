#pragma once
// One cursor pair block of the "Cursor measurement" panel: the two cursors'
// values and their absolute difference, as ready texts from the waveform
// area. Kind 1 holds the time cursors X1/X2, kind 0 the voltage cursors
// Y1/Y2 with a button that picks their analog channel.

#include <QStringList>
#include <QVector>
#include <QWidget>

class MyButton;
class QAction;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QMenu;
class QVBoxLayout;

class OscMeasurePairItem : public QWidget
{
    Q_OBJECT
    friend class TstOscMeasure;

public:
    explicit OscMeasurePairItem(int kind, QWidget* parent = nullptr);

    void init();
    // Exactly three texts: first value, second value, difference.
    void setValue(const QStringList& texts);
    int kind() const { return type; }
    // The button of cursor id (0 first, 1 second), or null.
    MyButton* markerButton(int id) const;
    // What setValue last showed, in its order.
    QStringList texts() const;

    // The voltage cursors' channel stored under "oscCursorChn", 0 when the
    // text is not an index below chnCount.
    static int cursorChnIndex(int chnCount);

signals:
    void markerClicked(int id, int type);
    void chnBtnClicked(int chnIndex);

private slots:
    void slotBtnDeployClicked();
    void slotBtnClicked();
    void slotBtnChnClicked();
    void slotMenuChnClicked(QAction* act);

private:
    QVBoxLayout* layoutMain = nullptr;
    QWidget* widgetHead = nullptr;
    QHBoxLayout* layoutHead = nullptr;
    MyButton* btnDeploy = nullptr;
    QWidget* widgetDiff = nullptr;
    MyButton* btnChn = nullptr;
    QMenu* menuChn = nullptr;
    QHBoxLayout* layoutDiff = nullptr;
    QLabel* labelBar1 = nullptr;
    QLabel* labelBar2 = nullptr;
    QLabel* labelMinus = nullptr;
    QLabel* labelEqual = nullptr;
    MyButton* btnFirst = nullptr;
    MyButton* btnSecond = nullptr;
    // Stands in for the marker tip label: the text again as its tool tip.
    QLabel* labelDiff = nullptr;
    QWidget* widgetValues = nullptr;
    QGridLayout* layoutValues = nullptr;
    QLabel* labelFirstName = nullptr;
    QLabel* labelSecondName = nullptr;
    QLabel* labelAt1 = nullptr;
    QLabel* labelAt2 = nullptr;
    QVector<QLabel*> labelValues;
    bool deployed = false;
    int type = 0;
};
