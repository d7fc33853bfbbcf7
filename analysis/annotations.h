#pragma once
// The "Timing Marker Pairs" section of the side panel: up to five pairs,
// A to E, one row each in id order. Rows are added here (the add button) or
// by the waveform view when it creates a pair; requests about markers go to
// the view by signals, each with a physical marker id (2 x pair id, + 1 for
// the second marker).

#include <QString>
#include <QVector>
#include <QWidget>

class MyButton;
class QLabel;
class QVBoxLayout;
class TimingMarkerPair;

class Annotations : public QWidget
{
    Q_OBJECT

public:
    static constexpr int maxPairs = 5;

    explicit Annotations(QWidget* parent = nullptr);

    // Removes every row and opens the panel.
    void init();
    void addTimingMarkerPair(int phyId);
    void setTimingMarkerDate(int phyId, const QString& timeData, const QString& timeToal);

    // The lowest pair id not in `ids`, which is sorted ascending.
    static int lowestFreeId(const QVector<int>& ids);

    bool isDeployed() const { return deployed; }
    const QVector<TimingMarkerPair*>& rows() const { return pairs; }
    TimingMarkerPair* row(int id) const;
    MyButton* deployButton() const { return btnDeploy; }
    MyButton* addButton() const { return btnAdd; }
    QWidget* rowContainer() const { return container; }

signals:
    void addPairClicked(int phyid);
    void delPairClicked(int phyid);
    void markerPairClicked(int phyid);
    void locationPairClicked(int phyid);

public slots:
    void slotTimingMarkerPairChanged(int type, int phyId, QString timeData, QString timeToal);

private slots:
    void slotBtnDeployClicked();
    void slotBtnAddClicked();
    void slotDeleteClicked(int id);

private:
    // Creates the row of pair id and puts it at its place in id order.
    void insertRow(int id);

    bool deployed = false;
    QVector<TimingMarkerPair*> pairs;
    MyButton* btnDeploy;
    QLabel* title;
    MyButton* btnAdd;
    QWidget* container;
    QVBoxLayout* containerLayout;
};
