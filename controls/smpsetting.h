#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;

// Sample depth and rate of the toolbar, and the time a capture takes.
class SmpSetting : public QWidget
{
    Q_OBJECT

public:
    explicit SmpSetting(QWidget* parent = nullptr);

    void devModelChanged();
    void devSmpModeChanged();
    // "Expected Sample Time: " and the capture time of the current device object.
    QString getSmpTime() const;
    // The time text for a depth in samples at a rate in Hz.
    static QString smpTimeText(double depth, double rate);

    QComboBox* depthCombo() const { return comboDepth; }
    QComboBox* frequCombo() const { return comboFrequ; }
    QString timeText() const;

public slots:
    void updateFreqIndex();
    // Shows the device object's rate, depth and capture time as they are now
    // (changed elsewhere, such as by a remote command) and applies nothing.
    void showDeviceSetting();

protected:
    void paintEvent(QPaintEvent* e) override;

private slots:
    void slotSmpDepthClicked(int index);
    void slotSmpFrequClicked(int index);

private:
    QComboBox* comboDepth;
    QComboBox* comboFrequ;
    QLabel* timeLabel;
};
