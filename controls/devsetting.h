#pragma once

#include <QWidget>

class MyButton;
class QLabel;

// The device group of the toolbar: device icon, model name (opens the demo
// model choice), settings button (opens mode and channel settings) and the
// sampling mode beneath.
class DevSetting : public QWidget
{
    Q_OBJECT

public:
    explicit DevSetting(QWidget* parent = nullptr);

    void devModelChanged();
    void devSmpModeChanged();
    // The mode line for the current device object.
    static QString modeText();

signals:
    void simDevModelChanged(int model);

protected:
    void paintEvent(QPaintEvent* e) override;

private slots:
    void slotDevModelClicked();
    void slotChnSettingClicked();

private:
    MyButton* btnModel;
    MyButton* btnSetting;
    QLabel* icon;
    QLabel* modeLabel;
};
