#pragma once

#include <QWidget>

class MyButton;

// The capture buttons of the toolbar: auto-scale (oscilloscope only), single,
// repeated and stop. The selected button shows the run state.
class SmpCtrl : public QWidget
{
    Q_OBJECT

public:
    explicit SmpCtrl(QWidget* parent = nullptr);

    void devModelChanged();
    // sta: the start mode of a run that started, or -1 when it ended.
    void devSmpStaChanged(int sta);
    void devConnectChanged(bool connected);

    // Repeated runs wait for the trigger when the stored flag is a non-zero integer.
    static int autoStartMode();
    // The volts/div index auto-scale picks from a list of count entries: the
    // one before the last, the only one of a single list, -1 for none.
    static int autoScaleVoltDivIndex(int count);

public slots:
    void slotAutoScaleClicked();
    void slotAutoClicked();
    void slotSingleClicked();
    void slotStopClicked();

private:
    MyButton* makeButton(const QString& name, const QString& tip);
    // Ends a run still going and stops and clears the analyzers.
    static void prepareStart();

    MyButton* btnAutoScale;
    MyButton* btnSingle;
    MyButton* btnAuto;
    MyButton* btnStop;
};
