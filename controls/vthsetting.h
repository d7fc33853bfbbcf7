#pragma once

#include <QPair>
#include <QString>
#include <QVector>
#include <QWidget>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;

// The input threshold of the current device: an I/O standard from a fixed
// list, or a custom voltage, for channels 0-15 or (32 channels) 16-31. Every
// choice is sent to the device object and kept per device.
class VthSetting : public QWidget
{
    Q_OBJECT

public:
    explicit VthSetting(QWidget* parent = nullptr);

    // Adapts the panel to the current device object and applies group 0's stored choice.
    void devModelChanged();
    // Shows the stored choice of the group on display, as changed elsewhere
    // (such as by a remote command), and sends nothing.
    void showStoredSetting();

    static constexpr double vthMin = -4.0;
    static constexpr double vthMax = 4.0;
    // The standards (name, volts); the last entry is the custom one.
    static const QVector<QPair<QString, double>>& standards();
    // What "chnLevel" holds for the custom entry, in every language.
    static QString customKey();
    // The entry a stored "chnLevel" names: a standard, the custom entry (its
    // key, or its name in the current language as older versions stored it),
    // else "3.3V CMOS".
    static int levelIndexOf(const QString& stored);
    // What "chnLevel" gets for an entry.
    static QString levelKey(int index);
    // A stored custom "chnVth": a finite value within the limits, else 0.
    static double storedCustomVth(const QString& stored);
    // A typed custom voltage: a finite value within the limits.
    static bool acceptVth(const QString& text, double* volts);
    static QString keySuffix(int group) { return group == 1 ? QStringLiteral("2") : QString(); }

    QComboBox* groupCombo() const { return comboGroup; }
    QComboBox* levelCombo() const { return comboLevel; }
    QLineEdit* vthEdit() const { return edit; }

protected:
    void paintEvent(QPaintEvent* e) override;

private slots:
    void slotComboGroupChanged(int index);
    void slotComboLevelChanged(int index);
    void slotVthEditFinish();

private:
    void applyEdit();
    // Sends a threshold for the current group and keeps it.
    void sendVth(double volts, const QString& suffix);
    // The threshold an entry of the level list stands for in a group.
    double levelVth(int index, const QString& suffix) const;
    QString deviceName() const;

    QGridLayout* grid;
    QLabel* title;
    QComboBox* comboGroup;
    QComboBox* comboLevel;
    QLabel* arrow;
    QLabel* vthLabel;
    QLineEdit* edit;
    QLabel* unit;
    QLabel* compatible;
    bool editPending = false;
};
