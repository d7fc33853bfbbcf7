#pragma once
// The "Measurements" section of the side panel: width, period, duty cycle
// and frequency of the logic signal under the mouse, as texts the waveform
// view computes. The user picks which of the four are shown from a menu
// that stays open; the choice lives in the global key "lgcMeasure".

#include <QStringList>
#include <QVector>
#include <QWidget>

class MyButton;
class MyMenu;
class QAction;
class QGridLayout;
class QLabel;

class MeasureView : public QWidget
{
    Q_OBJECT

public:
    explicit MeasureView(QWidget* parent = nullptr);
    ~MeasureView() override;

    // Number of measurements: width, period, duty cycle, frequency.
    static constexpr int count = 4;
    // Shown flags of the measurements from the text of "lgcMeasure": missing
    // parts count as shown, parts that are not numbers as hidden, parts past
    // the fourth are ignored.
    static QVector<bool> shownFlags(const QString& text);

    // Applies "lgcMeasure" to the labels and the menu without writing it.
    void initMenuTriggered();
    void saveParam();

    bool isExpanded() const { return expanded; }
    MyButton* expandButton() const { return btnExpand; }
    MyButton* optionsButton() const { return btnOptions; }
    MyMenu* measureMenu() const { return menu; }
    QWidget* valuesBox() const { return values; }
    QLabel* nameLabel(int i) const { return names.value(i); }
    QLabel* valueLabel(int i) const { return texts.value(i); }

public slots:
    void slotValueChanged(QStringList data);

private slots:
    void slotDeployClicked();
    void openMenuDig();
    void slotMenuClicked(QAction* action);

private:
    bool expanded = false;
    QGridLayout* mainLayout;
    MyButton* btnExpand;
    QLabel* title;
    MyButton* btnOptions;
    MyMenu* menu;
    QGridLayout* valuesLayout;
    QWidget* values;
    QVector<QLabel*> names;
    QVector<QLabel*> texts;
};
