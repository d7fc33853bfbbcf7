#pragma once
// One row of the "Timing Marker Pairs" section: the pair's letter, buttons
// that set its two markers following the mouse, their distance, a button
// that brings the pair into view and one that deletes it; below, the time
// of each marker. The waveform view owns the markers; the row only shows
// the texts it is given and asks for things by signals.

#include <QString>
#include <QWidget>

class MyButton;
class QLabel;
class TimingMarkerTip;

class TimingMarkerPair : public QWidget
{
    Q_OBJECT

public:
    TimingMarkerPair(int id, QWidget* parent = nullptr);

    int getId() const { return id; }
    // which: 0 the first marker, 1 the second.
    void setTimeDate(int which, const QString& timeData, const QString& timeTotal);

    bool isDeployed() const { return deployed; }
    MyButton* deployButton() const { return btnDeploy; }
    MyButton* markerButton(int which) const { return which == 0 ? btnMarker1 : btnMarker2; }
    MyButton* locationButton() const { return btnLocation; }
    MyButton* removeButton() const { return btnRemove; }
    TimingMarkerTip* distanceLabel() const { return distance; }
    QLabel* timeLabel(int which) const { return which == 0 ? time1 : time2; }
    QWidget* detailArea() const { return detail; }

signals:
    void deleteClicked(int id);
    void markerClicked(int id);
    void locationClicked(int id);

private slots:
    void slotBtnLocationClicked();
    void slotBtnDeployClicked();
    void slotBtnRemoveSetClicked();
    void slotTimingBtn1Clicked();
    void slotTimingBtn2Clicked();

private:
    void markerButtonClicked(int phyId);

    bool deployed = false;
    int id;
    MyButton* btnDeploy;
    MyButton* btnMarker1;
    MyButton* btnMarker2;
    TimingMarkerTip* distance;
    MyButton* btnLocation;
    MyButton* btnRemove;
    QWidget* detail;
    QLabel* time1;
    QLabel* time2;
};
