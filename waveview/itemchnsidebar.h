#pragma once
// The header of one logic channel row: number strip (the drag handle), name,
// analyzer aliases, settings button, trigger buttons and live level lamp.

#include "core/config.h"

#include <QVector>
#include <QWidget>

class QFrame;
class QGridLayout;
class QLineEdit;
class ChnStaShow;
class LabelMove;
class MyButton;

class ItemChnSidebar : public QWidget
{
    Q_OBJECT

public:
    ItemChnSidebar(const QString& name, int chn, QWidget* parent = nullptr);

    static QString defaultName(int chn);

    // True when m was refused (the multiplier is then 1).
    bool setShowMultip(int m);
    void setSecondName(const QString& text);
    void setTrgStatus(TrgType type);
    void setChnStaShow(bool show, bool valid, bool level, bool led);
    // Default name, own slot, multiplier 1, no trigger. Writes the device's
    // trigger: the caller brackets it with a stop and restart of the capture.
    void resetAll();

    int chnIndex;
    int showIndex = 0;
    int showMultip = 1;

    LabelMove* numberLabel() const { return numberLab; }
    QLineEdit* nameEdit() const { return nameEd; }
    QLineEdit* secondNameEdit() const { return secondNameEd; }
    MyButton* settingButton() const { return settingBtn; }
    MyButton* trigButton(int i) const { return trigButtons.value(i); }
    ChnStaShow* staShow() const { return sta; }

signals:
    void trigEdgeChanged();
    void chnSetClicked();

public slots:
    void slotTrigMouseClicked();
    void slotChnNameChanged();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString nameKey() const;

    LabelMove* numberLab;
    QLineEdit* nameEd;
    QLineEdit* secondNameEd;
    MyButton* settingBtn;
    QFrame* trigFrame;
    QVector<MyButton*> trigButtons;
    ChnStaShow* sta;
    QGridLayout* grid;
};
