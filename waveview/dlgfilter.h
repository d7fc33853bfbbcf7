#pragma once
// The glitch filter dialog: per logic channel a check box and the width in
// samples below which pulses are dropped. Kept by the waveform area between
// uses, so its choices persist; rebuilt when the channel count changes.

#include <QDialog>
#include <QVector>

class QCheckBox;
class QGridLayout;
class QLabel;
class MySpinBox;

class DlgFilter : public QDialog
{
    Q_OBJECT

public:
    DlgFilter(QWidget* parent, int chnNum);

    int channelCount() const { return chnCheckBoxes.size(); }
    // Per channel the checked width, 0 where the channel is not checked.
    QVector<unsigned int> getSetting();

    QCheckBox* checkBox(int chn) const { return chnCheckBoxes.value(chn); }
    MySpinBox* widthSpinBox(int chn) const { return widthSpinBoxes.value(chn); }

public slots:
    void slotCheckChnClicked();

private:
    QGridLayout* filterGrid;
    QVector<QCheckBox*> chnCheckBoxes;
    QVector<QLabel*> lessLabels;
    QVector<MySpinBox*> widthSpinBoxes;
    QVector<QLabel*> unitLabels;
    QLabel* noteLabel;
    QVector<unsigned int> filterWidths;
};
