#pragma once
// One block of the "Measurements" panel: the automatic measurements of one
// analog channel as rows of name and value, a menu that picks the rows, and
// a snapshot window with all thirteen values. Computes nothing: the values
// come from the analog trace generator.

#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

class MyButton;
class MyMenu;
class QDialog;
class QDialogButtonBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;

class ChnMeasurePair : public QWidget
{
    Q_OBJECT
    friend class TstOscMeasure;

public:
    ChnMeasurePair(int chn, QWidget* parent = nullptr);
    ~ChnMeasurePair() override;

    void setState(bool on);
    void updateMeasureValue();
    // The text of value row i (Config::measTabACH order).
    QString valueText(int row) const;

    // The shown rows stored under "oscMeasureChn" + n; empty text: the defaults.
    static QVector<bool> rowEnables(const QString& stored);
    // The texts of all parameters of channel chn; "###" for a disabled channel,
    // an invalid value, or one that is not a finite number.
    static QStringList parameterToStrOsc(int chn, const bool* valid, const double* values, int count);
    static QString voltToStr(double mv);
    static QString timeToStr(qint64 ps);
    static QString freqToStr(double hz);

private slots:
    void slotBtnDeployClicked();
    void slotBtnSetClicked();
    void slotMenuActionClicked();
    void slotBtnRemoveClicked();
    void slotBtnSnapshotClicked();

private:
    void saveRows();
    void buildSnapshot();

    QVBoxLayout* layoutMain = nullptr;
    QWidget* widgetHead = nullptr;
    QHBoxLayout* layoutHead = nullptr;
    MyButton* btnDeploy = nullptr;
    QLabel* labelTitle = nullptr;
    MyButton* btnSet = nullptr;
    MyMenu* menuParam = nullptr;
    QWidget* widgetBody = nullptr;
    QGridLayout* layoutBody = nullptr;
    QVector<QLabel*> labelNames;
    QVector<QLabel*> labelValues;
    QDialog* dlgSnapshot = nullptr;
    QVBoxLayout* layoutSnapshot = nullptr;
    QGroupBox* groupVolt = nullptr;
    QGroupBox* groupTime = nullptr;
    QGridLayout* layoutVolt = nullptr;
    QGridLayout* layoutTime = nullptr;
    QVector<QLabel*> snapNames;
    QVector<QLabel*> snapColons;
    QVector<QLabel*> snapValues;
    QDialogButtonBox* btnBoxSnapshot = nullptr;
    bool deployed = false;
    int chnIndex = 0;
    QString chnName;
};
