#pragma once
// The "Cursor measurement" panel of the oscilloscope mode: the time cursor
// pair (index 0) and the voltage cursor pair (index 1), each shown or hidden
// through a check menu remembered in "oscCursorEna".

#include <QVector>
#include <QWidget>

class MyButton;
class MyMenu;
class OscMeasurePairItem;
class QAction;
class QGridLayout;
class QLabel;
class QVBoxLayout;

class AnnotationsOsc : public QWidget
{
    Q_OBJECT
    friend class TstOscMeasure;

public:
    explicit AnnotationsOsc(QWidget* parent = nullptr);

    void init();
    // Hands texts to the first block of that kind (1 time, 0 voltage).
    void setValue(int kind, const QStringList& texts);
    // Shows block index (0 time, 1 voltage) again; the key is written at the
    // next menu toggle.
    void setItemEna(int index);
    // Block index (0 time, 1 voltage), or null.
    OscMeasurePairItem* item(int index) const { return items.value(index); }

signals:
    void labelClicked(int id, int oscType);
    void hideClicked(int id);
    void chnChanged(int chnIndex);

private slots:
    void slotDeployClicked();
    void openMenuDig();
    void slotMenuClicked(QAction* action);

private:
    bool deployed = false;
    QGridLayout* layoutMain = nullptr;
    MyButton* btnDeploy = nullptr;
    MyButton* btnSet = nullptr;
    QLabel* labelTitle = nullptr;
    MyMenu* menuItems = nullptr;
    QVBoxLayout* layoutItems = nullptr;
    QWidget* widgetItems = nullptr;
    QVector<OscMeasurePairItem*> items;
    QVector<bool> itemEna;
};
