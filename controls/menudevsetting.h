#pragma once

#include "widgets/menudialog.h"

#include <QVector>

class ChnEnaGroupBox;
class ChnQuickGroupBox;
class QPushButton;
class QRadioButton;
struct ChnFrequ;

// Drop-down of the device settings button: buffer or stream mode, the
// enabled channels, and the way to the Device Options dialog. Nothing
// reaches the device object before OK.
class MenuDevSetting : public MenuDialog
{
    Q_OBJECT

public:
    explicit MenuDevSetting(QWidget* parent = nullptr);

    // Splits a channel/rate map into its rates and channel counts.
    static void splitMap(const QVector<ChnFrequ>& map, QVector<qint64>* rates, QVector<int>* counts);

    QRadioButton* normalRadio() const { return radioNormal; }
    QRadioButton* streamRadio() const { return radioStream; }
    ChnQuickGroupBox* quickBox() const { return quick; }
    ChnEnaGroupBox* enaBox() const { return ena; }
    QPushButton* okButton() const { return btnOk; }
    QPushButton* moreButton() const { return btnMore; }

private slots:
    void slotMorSettingsClicked();
    void saveClicked();
    void slotModeChanged();

private:
    // A modal window closes every pop-up; the menu comes back where it was.
    void stayOpen(const QPoint& at);
    bool saveChnEna();
    void saveSmpMode();

    QRadioButton* radioNormal = nullptr;
    QRadioButton* radioStream = nullptr;
    ChnQuickGroupBox* quick;
    ChnEnaGroupBox* ena;
    QPushButton* btnOk;
    QPushButton* btnMore;
};
