#pragma once
// Trigger panel of the oscilloscope side bar: the trigger channel and the
// trigger edge. It writes nothing itself: trigSetChanged(index, type) tells
// the view, type 19 a channel (index 0-based), 20 an edge (index 3 rising,
// 4 falling).

#include <QFrame>
#include <QList>

class MyButton;
class OscTabFrame;
class QButtonGroup;
class QFrame;
class QRadioButton;
class QWidget;

class TriggerSetOsc : public QFrame
{
    Q_OBJECT

public:
    explicit TriggerSetOsc(QWidget* parent = nullptr);

    void init();
    void setTrigEdgeStatus();

    bool isExpanded() const { return expanded; }
    MyButton* dropButton() const { return btnDrop; }
    QWidget* bodyWidget() const { return body; }
    const QList<QRadioButton*>& channelButtons() const { return btnChn; }
    const QList<MyButton*>& edgeButtons() const { return btnEdge; }

signals:
    void stateChanged();
    void trigSetChanged(int index, int type);

private slots:
    void slotBtnDropClicked();
    void slotModeClicked();
    void slotChnClicked();

private:
    OscTabFrame* tab;
    MyButton* btnDrop;
    QWidget* body;
    QList<QRadioButton*> btnChn;
    QButtonGroup* groupChn;
    QFrame* edgeFrame;
    QList<MyButton*> btnEdge;
    bool expanded = false;
};
