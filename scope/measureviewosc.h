#pragma once
// The "Measurements" panel of the oscilloscope mode: a title row with a
// channel menu and one ChnMeasurePair block per analog channel.

#include <QVector>
#include <QWidget>

class ChnMeasurePair;
class MyButton;
class MyMenu;
class QAction;
class QGridLayout;
class QLabel;
class QVBoxLayout;

class MeasureViewOsc : public QWidget
{
    Q_OBJECT
    friend class TstOscMeasure;

public:
    explicit MeasureViewOsc(QWidget* parent = nullptr);
    ~MeasureViewOsc() override;

    // Rebuilds the channel menu and the blocks for the current device object.
    void init();
    // The shown blocks stored under "oscMeasureEna"; every block shown by default.
    static QVector<bool> chnEnables(const QString& stored, int n);
    // The blocks the last init built, one per analog channel.
    int blockCount() const { return pairs.size(); }
    ChnMeasurePair* block(int chn) const { return pairs.value(chn); }

public slots:
    // chn must be below the number of blocks built by the last init.
    void updateMeasureParameter(int chn);

private slots:
    void slotDeployClicked();
    void openMenuDig();
    void slotMenuClicked(QAction* action);

private:
    QGridLayout* layoutMain = nullptr;
    MyButton* btnDeploy = nullptr;
    QLabel* labelTitle = nullptr;
    MyButton* btnSet = nullptr;
    MyMenu* menuChn = nullptr;
    QVBoxLayout* layoutPairs = nullptr;
    QWidget* widgetPairs = nullptr;
    QVector<ChnMeasurePair*> pairs;
    bool deployed = false;
};
