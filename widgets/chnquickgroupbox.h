#pragma once

#include <QGroupBox>
#include <QList>
#include <QVector>

class QButtonGroup;
class QRadioButton;

// One radio choice per supported channel count, labelled with the highest
// sample rate reached with that many channels. A hidden, checked button
// stands for "no quick choice".
class ChnQuickGroupBox : public QGroupBox
{
    Q_OBJECT
public:
    ChnQuickGroupBox(QVector<qint64> maxRates, QVector<int> chnCounts, QWidget* parent = nullptr);

    // Relabels the choices for a rate map of the same length; false changes nothing.
    bool setNumFrequ(QVector<qint64> maxRates, QVector<int> chnCounts);

    const QList<QRadioButton*>& choices() const { return buttons; }
    // True while no quick choice is checked.
    bool noChoice() const;

signals:
    void chnSelect(int start, int end);

public slots:
    void chnSelectChanged();

private slots:
    void slotQuickClicked();

private:
    static QString choiceText(qint64 maxRate, int chnCount);

    QRadioButton* hiddenButton;
    QList<QRadioButton*> buttons;
    QButtonGroup* group;
};
