#pragma once
// The range dialog of Save Data and Export Data: which channels and which part
// of the displayed capture. It reads the device object once, when it is built;
// the caller checks after it closed that the capture is still the same.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QVector>

class ChnEnaGroupBox;
class QButtonGroup;
class QComboBox;
class QDialogButtonBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class ExportDataSet : public QDialog
{
    Q_OBJECT

public:
    enum Range { RangeAll = 0, RangeMarkers = 1, RangeInterval = 2 };

    // The timing-marker pairs shown in the waveform: names, and two sample
    // positions per pair. The main window points this at the waveform
    // area's list; without it the dialog offers no marker pairs.
    using MarkerSource = void (*)(QStringList* names, QVector<qint64>* points);
    static MarkerSource markerSource;

    explicit ExportDataSet(QWidget* parent = nullptr);

    // Fills the caller's selections (copied only when their sizes agree with
    // the dialog's boxes) and the two sample positions of the chosen range.
    void getSetParameters(QVector<bool>& analog, QVector<bool>& digital, long long* start, long long* end);

    // Time text (seconds) of a sample position, exact to the time format of
    // the rate, rounded down or up in its last decimal; "###" for a rate that
    // has no time format (0, or above 10^12 Hz).
    static QString timeText(long long pos, long long trigger, long long rate, bool roundUp);
    // Strict parse of a typed time: an optional "-", digits with at most one
    // point, nothing else. Gives trunc(seconds x rate) + trigger; times far
    // outside any capture are clamped (in floating point, before any integer
    // is formed) to just outside it. False for any other text or a bad rate.
    static bool parseTime(const QString& text, long long rate, long long trigger, long long* pos);

    // What the dialog was built from (the displayed logic store then).
    long long smpRate = 0;
    long long smpTrigger = 0;
    long long smpCount = 0;

    QGridLayout* mainLayout;
    ChnEnaGroupBox* chnAnalog = nullptr;
    ChnEnaGroupBox* chnDigital;
    QGroupBox* timeGroup;
    QButtonGroup* rangeGroup;
    QVector<QRadioButton*> rangeButtons;
    QComboBox* markerCombo = nullptr;
    QLabel* labelStart;
    QLabel* labelEnd;
    QLineEdit* startEdit;
    QLineEdit* endEdit;
    QDialogButtonBox* buttonBox;
    QStringList markerNames;
    QVector<qint64> markerPoints;

public slots:
    void radioButtonClicked();
    // Refuses a typed interval that is not a number, and keeps the dialog open.
    void accept() override;

private:
    bool rateUsable() const;
    QString defaultStart;
    QString defaultEnd;
};
