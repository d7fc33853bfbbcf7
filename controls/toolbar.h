#pragma once

#include <QWidget>

class DevSetting;
class PWMSetting;
class SmpCtrl;
class SmpSetting;
class SmpZoom;

// The strip across the top of the main window: device, depth and rate,
// capture buttons, zoom and PWM switches. It keeps no settings: commands go
// to the device object, zoom requests and demo model choices leave as signals.
class Toolbar : public QWidget
{
    Q_OBJECT

public:
    explicit Toolbar(QWidget* parent = nullptr);

    // A new device object: every group follows it.
    void devModelChanged();
    // Buffer or stream mode changed.
    void devSmpModeChanged();
    void devConnectChanged(bool connected);

    DevSetting* devSetting() const { return devSet; }
    SmpSetting* smpSetting() const { return smpSet; }
    SmpCtrl* smpCtrl() const { return ctrl; }
    SmpZoom* smpZoom() const { return zoom; }
    PWMSetting* pwmSetting() const { return pwm; }

signals:
    void zoomValued(QString str);
    void simDevModelChanged(int model);

public slots:
    void slotShortcutF5();
    // The start mode of a run that started, or -1 when it ended.
    void devSmpStaChanged(int sta);
    void slotToolbarPWMEna();

private:
    DevSetting* devSet;
    SmpSetting* smpSet;
    PWMSetting* pwm;
    SmpCtrl* ctrl;
    SmpZoom* zoom;
};
