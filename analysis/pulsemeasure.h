#pragma once
// The "Pulse Counters" section of the side panel. Each counter names a
// logic channel, a count type and a range (the whole capture or the stretch
// between the markers of one timing-marker pair). The panel counts nothing:
// the waveform view reads the counters through the two static accessors,
// counts, and hands back lists from which each counter takes its number.
// Counters live as long as the program runs; nothing of them is stored.

#include "analysis/pulsecounters.h"

#include <QStringList>
#include <QVector>
#include <QWidget>

class MyButton;
class QAction;
class QGridLayout;
class QLabel;
class QMenu;

class PulseMeasure : public QWidget
{
    Q_OBJECT

public:
    // The one panel, from its construction on; serves the static accessors.
    static PulseMeasure* me;

    explicit PulseMeasure(QWidget* parent = nullptr);
    ~PulseMeasure() override;

    // Fits the channel menu to the device and clears every count.
    void init();

    // Every distinct "channel,time" to count: enabled channels, usable ranges.
    static QStringList getChnAndTimeSet();
    // The enabled channels of the counters on marker pair `pair` (0 to 4).
    static QStringList getChnSet(int pair);

    const QVector<PulseCounter>& counters() const { return list; }
    bool isDeployed() const { return deployed; }
    MyButton* deployButton() const { return btnDeploy; }
    MyButton* addButton() const { return btnAdd; }
    QWidget* listArea() const { return area; }
    QGridLayout* listLayout() const { return areaLayout; }
    QMenu* typeMenu() const { return menuType; }
    QMenu* chnMenu() const { return menuChn; }
    QMenu* timeMenu() const { return menuTime; }
    MyButton* typeButton(int row) const { return rows.value(row).type; }
    MyButton* chnButton(int row) const { return rows.value(row).chn; }
    MyButton* timeButton(int row) const { return rows.value(row).time; }
    QLabel* countLabel(int row) const { return rows.value(row).count; }
    MyButton* removeButton(int row) const { return rows.value(row).remove; }

signals:
    void setChanged();

public slots:
    void slotValueChanged(QStringList pulseList);
    void slotValueChangedbyTimeMarker(int index, QStringList pulseList);

private slots:
    void slotDeployClicked();
    void slotBtnAddClicked();
    void slotBtnRemoveClicked();
    void slotBtTypeClicked();
    void slotBtChnClicked();
    void slotBtTimeClicked();
    void slotMenuTypeClicked(QAction* act);
    void slotMenuChnClicked(QAction* act);
    void slotMenuTimeClicked(QAction* act);

private:
    struct Row {
        MyButton* type = nullptr;
        MyButton* chn = nullptr;
        MyButton* time = nullptr;
        QLabel* sep = nullptr;
        QLabel* count = nullptr;
        MyButton* remove = nullptr;
    };

    static QVector<bool> channelEnables();
    static bool samplesPresent();
    // shown[k] for the five marker pairs.
    static void pairsShown(bool* shown);
    QMenu* newMenu();
    QAction* addMenuEntry(QMenu* menu, QLabel* label, int data);
    MyButton* newRowButton();
    void openMenu(QMenu* menu);
    // The row of the last opened selector, or -1 when it no longer exists.
    int currentRow() const;

    bool deployed = false;
    int menuRow = -1;
    MyButton* btnDeploy;
    QLabel* title;
    MyButton* btnAdd;
    QWidget* area;
    QGridLayout* areaLayout;
    QMenu* menuType;
    QMenu* menuChn;
    QMenu* menuTime;
    QVector<PulseCounter> list;
    QVector<Row> rows;
};
