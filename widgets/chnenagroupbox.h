#pragma once

#include <QGroupBox>
#include <QList>
#include <QVector>

class QCheckBox;

// One check box per logic channel ("CH0", "CH1", ...), filled column by column.
class ChnEnaGroupBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit ChnEnaGroupBox(QVector<bool> enables, QWidget* parent = nullptr);

    // Copies the states into out when its size matches; true when at least one is checked.
    bool getChnEna(QVector<bool>& out) const;
    const QList<QCheckBox*>& boxes() const { return checks; }

signals:
    void chnEnaChanged();

public slots:
    void slotChnEnaSelect(int start, int end);

private:
    QList<QCheckBox*> checks;
};
