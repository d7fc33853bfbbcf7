#pragma once
// Math panel of the oscilloscope side bar: math trace on/off, operator,
// scale (volts/div) and offset. Scale and offset are kept per operator in the
// device object and stored in its settings; mathSetChanged(true) asks the
// view to compute the math trace again, false only to repaint it.

#include <QFrame>

class MyButton;
class MySwitch;
class OscTabFrame;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

class MathOperationOsc : public QFrame
{
    Q_OBJECT

public:
    explicit MathOperationOsc(QWidget* parent = nullptr);

    void devModelChanged();
    void setChnOffsetValue(const QString& text);

    bool isExpanded() const { return expanded; }
    MyButton* dropButton() const { return btnDrop; }
    MySwitch* enableSwitch() const { return swEna; }
    QComboBox* operatorBox() const { return boxOperator; }
    QComboBox* scaleBox() const { return boxScale; }
    QLineEdit* offsetEdit() const { return editOffset; }
    QWidget* bodyWidget() const { return body; }

    // Operator texts for n analog channels: three per pair of channels.
    static QStringList operatorTexts(int chnNum);

signals:
    void stateChanged();
    void mathSetChanged(bool regenerate);

private slots:
    void slotBtnDropClicked();
    void slotMathEnaClicked();
    void slotOperatorChanged(int index);
    void slotScaleActivated(const QString& text);
    void slotEditFinished();

private:
    // The current operator when the per-operator lists hold it, else -1.
    int currentOperator() const;
    // Scale box and offset edit from the operator's stored scale and offset.
    void showOperator(int op, bool shortNumber);
    // Minimum widths of the two boxes from their longest items.
    void fitBoxWidths();

    OscTabFrame* tab;
    MyButton* btnDrop;
    QLabel* labTitle;
    MySwitch* swEna;
    QWidget* body;
    QComboBox* boxOperator;
    QComboBox* boxScale;
    QLineEdit* editOffset;
    bool expanded = false;
};
