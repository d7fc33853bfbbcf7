#include "scope/calibrateosc.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "device/devsupport.h"
#include "widgets/colorlump.h"
#include "widgets/myspinbox.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextEdit>

namespace {

const char* const ZeroRowNames[] = {"20mV", "50mV", "1V"};
constexpr int MaxZeroRows = 3;

// The record keeps the offset zero entries as signed bytes; the slopes and
// gains as signed 16-bit values, which these ranges stay within.
constexpr int ZeroBoxMin = -128;
constexpr int ZeroBoxMax = 127;

QString stepText(int n)
{
    return Lang::tr(QStringLiteral("Step")) + QString::number(n);
}

QGridLayout* stepGrid()
{
    auto* g = new QGridLayout;
    g->setContentsMargins(Config::pixel(10), 0, Config::pixel(10), 0);
    g->setVerticalSpacing(Config::pixel(8));
    g->setHorizontalSpacing(Config::pixel(26));
    return g;
}

QGridLayout* chnGrid()
{
    auto* g = new QGridLayout;
    g->setContentsMargins(0, 0, 0, 0);
    g->setHorizontalSpacing(Config::pixel(4));
    g->setVerticalSpacing(Config::pixel(6));
    return g;
}

QString chnText(int chn)
{
    return QStringLiteral("CH") + QString::number(chn + 1);
}

} // namespace

CalibrateOsc::CalibrateOsc(QWidget* parent) : QWidget(parent, Qt::WindowCloseButtonHint)
{
    setWindowTitle(Lang::tr(QStringLiteral("Calibrate")));

    layoutStep1 = stepGrid();
    labelStep1 = new QLabel(stepText(1), this);
    layoutStep1->addWidget(labelStep1, 0, 0, Qt::AlignTop);
    layoutStep2 = stepGrid();
    labelStep2 = new QLabel(stepText(2), this);
    layoutStep2->addWidget(labelStep2, 0, 0);
    layoutStep4 = stepGrid();
    labelStep4 = new QLabel(stepText(4), this);
    layoutStep4->addWidget(labelStep4, 0, 0, Qt::AlignTop);
    for (int c = 0; c < ChnNum; ++c) {
        layoutZeroChn << chnGrid();
        layoutStep1->addLayout(layoutZeroChn[c], 0, c + 1);
        labelZeroChn << new QLabel(chnText(c), this);
        layoutZeroChn[c]->addWidget(labelZeroChn[c], 0, 2, Qt::AlignHCenter);

        labelSlopeChn << new QLabel(chnText(c), this);
        layoutStep2->addWidget(labelSlopeChn[c], 0, c + 1, Qt::AlignHCenter);
        auto* slope = new MySpinBox(this);
        slope->setObjectName(QString::number(c));
        slope->setFixedHeight(Config::pixel(26));
        slope->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        slope->setRange(0, 2000);
        slope->setSingleStep(1);
        connect(slope, QOverload<int>::of(&QSpinBox::valueChanged), this, &CalibrateOsc::slotSpinSlopeChanged);
        layoutStep2->addWidget(slope, 1, c + 1);
        spinSlope << slope;

        layoutGainChn << chnGrid();
        layoutStep4->addLayout(layoutGainChn[c], 0, c + 1);
        labelGainChn << new QLabel(chnText(c), this);
        layoutGainChn[c]->addWidget(labelGainChn[c], 0, 1, Qt::AlignHCenter);
    }

    layoutStep3 = stepGrid();
    labelStep3 = new QLabel(stepText(3), this);
    labelAuto = new QLabel(Lang::tr(QStringLiteral("ADC auto-Calibrate")), this);
    btnAuto = new QPushButton(Lang::tr(QStringLiteral("Calibrate")), this);
    btnAuto->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(btnAuto, &QPushButton::clicked, this, &CalibrateOsc::slotBtnAutoClicked);
    textLog = new QTextEdit(this);
    textLog->setFixedHeight(Config::pixel(60));
    layoutStep3->addWidget(labelStep3, 0, 0);
    layoutStep3->addWidget(labelAuto, 0, 1);
    layoutStep3->addWidget(btnAuto, 0, 2);
    layoutStep3->addWidget(textLog, 1, 1, 1, 2);

    layoutStep5 = stepGrid();
    labelStep5 = new QLabel(stepText(5), this);
    btnSave = new QPushButton(Lang::tr(QStringLiteral("Save")), this);
    btnSave->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(btnSave, &QPushButton::clicked, this, &CalibrateOsc::slotBtnSaveClicked);
    layoutStep5->addWidget(labelStep5, 0, 0);
    layoutStep5->addWidget(btnSave, 0, 1, Qt::AlignRight);

    for (int i = 0; i < 4; ++i)
        separators << new ColorLump(QColor(QStringLiteral("#7f7f7f")), 1, 0, 0, this);

    layoutMain = new QGridLayout(this);
    layoutMain->setContentsMargins(Config::pixel(30), Config::pixel(10), Config::pixel(30), Config::pixel(10));
    layoutMain->setVerticalSpacing(Config::pixel(8));
    layoutMain->setHorizontalSpacing(0);
    QGridLayout* steps[] = {layoutStep1, layoutStep2, layoutStep3, layoutStep4, layoutStep5};
    for (int i = 0; i < 5; ++i) {
        layoutMain->addLayout(steps[i], 2 * i, 0);
        if (i < 4)
            layoutMain->addWidget(separators[i], 2 * i + 1, 0);
    }

    buildRows();
}

int CalibrateOsc::zeroRowsOf(const DevBase* dev)
{
    return dev ? qMin(dev->offsetZero[0].size(), MaxZeroRows) : 0;
}

int CalibrateOsc::gainRowsOf(const DevBase* dev)
{
    return dev ? dev->voltDivList.size() : 0;
}

void CalibrateOsc::buildRows()
{
    const DevBase* dev = devUsing;
    const int zeroRows = zeroRowsOf(dev);
    const int gainRows = gainRowsOf(dev);
    if (zeroRows == builtZeroRows && gainRows == builtGainRows)
        return;
    builtZeroRows = zeroRows;
    builtGainRows = gainRows;
    for (int c = 0; c < ChnNum; ++c) {
        qDeleteAll(labelZeroRows[c]);
        qDeleteAll(spinZero[c]);
        qDeleteAll(labelGainRows[c]);
        qDeleteAll(spinGain[c]);
        labelZeroRows[c].clear();
        spinZero[c].clear();
        labelGainRows[c].clear();
        spinGain[c].clear();

        for (int r = 0; r < zeroRows; ++r) {
            auto* label = new QLabel(QLatin1String(ZeroRowNames[r]), this);
            auto* box = new MySpinBox(this);
            box->setObjectName(QString::number(c) + QStringLiteral(",") + QString::number(r));
            box->setFixedHeight(Config::pixel(26));
            box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            box->setRange(ZeroBoxMin, ZeroBoxMax);
            box->setSingleStep(1);
            connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &CalibrateOsc::slotSpinZeroChanged);
            layoutZeroChn[c]->addWidget(label, r + 1, 0);
            layoutZeroChn[c]->addWidget(box, r + 1, 2);
            labelZeroRows[c] << label;
            spinZero[c] << box;
        }
        for (int i = 0; i < gainRows; ++i) {
            auto* label = new QLabel(this);
            auto* box = new MySpinBox(this);
            box->setObjectName(QString::number(c) + QStringLiteral(",") + QString::number(i));
            box->setFixedSize(Config::pixel(90), Config::pixel(26));
            box->setRange(-2000, 2000);
            box->setSingleStep(1);
            connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, &CalibrateOsc::slotSpinGainChanged);
            layoutGainChn[c]->addWidget(label, i + 1, 0);
            layoutGainChn[c]->addWidget(box, i + 1, 1);
            labelGainRows[c] << label;
            spinGain[c] << box;
        }
    }
}

void CalibrateOsc::loadBoxes()
{
    const DevBase* dev = devUsing;
    if (!dev)
        return;
    for (int c = 0; c < ChnNum; ++c) {
        for (int r = 0; r < spinZero[c].size(); ++r) {
            const QSignalBlocker quiet(spinZero[c][r]);
            spinZero[c][r]->setValue(dev->offsetZero[c].value(r));
        }
        {
            const QSignalBlocker quiet(spinSlope[c]);
            spinSlope[c]->setValue(dev->offsetSlope[c]);
        }
        const QStringList names = dev->getVoltDivStringList(c);
        for (int i = 0; i < spinGain[c].size(); ++i) {
            labelGainRows[c][i]->setText(names.value(i));
            const QSignalBlocker quiet(spinGain[c][i]);
            spinGain[c][i]->setValue(dev->gainTable[c].value(i));
        }
    }
}

void CalibrateOsc::init()
{
    textLog->clear();
    // The rows follow the device object present now: another model's tables
    // have other lengths.
    buildRows();
    loadBoxes();
    setEna();
}

QVector<MySpinBox*> CalibrateOsc::allBoxes() const
{
    QVector<MySpinBox*> out;
    for (int c = 0; c < ChnNum; ++c)
        out << spinSlope[c] << spinZero[c] << spinGain[c];
    return out;
}

void CalibrateOsc::setEna()
{
    const DevBase* dev = devUsing;
    const bool on = dev && dev->isConnected && dev->workMode == WorkModeOsc;
    btnAuto->setEnabled(on);
    textLog->setEnabled(on);
    for (MySpinBox* b : allBoxes())
        b->setEnabled(on);
    btnSave->setEnabled(on);
}

bool CalibrateOsc::parsePair(const QString& name, int* chn, int* index)
{
    const QStringList parts = name.split(QLatin1Char(','));
    if (parts.size() != 2)
        return false;
    bool ok1 = false;
    bool ok2 = false;
    *chn = parts[0].toInt(&ok1);
    *index = parts[1].toInt(&ok2);
    return ok1 && ok2 && *chn >= 0 && *chn < ChnNum && *index >= 0;
}

DevBase* CalibrateOsc::beginEdit()
{
    if (auto* box = qobject_cast<QWidget*>(sender()))
        box->setStyleSheet(QStringLiteral("color:red;"));
    DevBase* dev = devUsing;
    if (!dev || !dev->isConnected)
        return nullptr;
    const QVector<bool> all(dev->aChnEna.size(), true);
    if (all != dev->aChnEna)
        dev->setAChnEna(all);
    return dev;
}

void CalibrateOsc::slotSpinZeroChanged(int value)
{
    const QString name = sender() ? sender()->objectName() : QString();
    DevBase* dev = beginEdit();
    int chn = 0;
    int row = 0;
    // A box left from another model's tables edits nothing.
    if (!dev || !parsePair(name, &chn, &row) || row >= dev->offsetZero[chn].size())
        return;
    dev->offsetZero[chn][row] = value;
    dev->setAChnOffset(chn, 0);
    const int index = row >= spinZero[chn].size() - 1 ? dev->voltDivList.size() - 2 : row;
    dev->setAVoltDivIndex(chn, index);
    // The offset, range and enables changed: both channels' panels and tags
    // show them again.
    emit calibSettingChanged(2, -1);
}

void CalibrateOsc::slotSpinSlopeChanged(int value)
{
    const QString name = sender() ? sender()->objectName() : QString();
    DevBase* dev = beginEdit();
    bool ok = false;
    const int chn = name.toInt(&ok);
    if (!dev || !ok || chn < 0 || chn >= ChnNum)
        return;
    dev->offsetSlope[chn] = value;
    dev->setAChnOffset(chn, 400);
    dev->setAVoltDivIndex(chn, dev->voltDivList.size() - 2);
    emit calibSettingChanged(2, -1);
}

void CalibrateOsc::slotSpinGainChanged(int value)
{
    const QString name = sender() ? sender()->objectName() : QString();
    DevBase* dev = beginEdit();
    int chn = 0;
    int index = 0;
    if (!dev || !parsePair(name, &chn, &index) || index >= dev->gainTable[chn].size())
        return;
    dev->gainTable[chn][index] = value;
    dev->setAVoltDivIndex(chn, index);
    dev->setAChnGain();
    emit calibSettingChanged(3, chn);
}

void CalibrateOsc::slotBtnSaveClicked()
{
    DevBase* dev = devUsing;
    const int r = dev && dev->isConnected ? dev->saveCalibParam() : int(UsbErrNoDevice);
    if (r != UsbOk) {
        // The marks stay red: the instrument does not hold these values.
        QMessageBox box(QMessageBox::Warning, Lang::tr(QStringLiteral("Calibrate")),
                        Lang::tr(QStringLiteral("The calibration could not be saved to the instrument.")),
                        QMessageBox::Close, this);
        box.button(QMessageBox::Close)->setText(Lang::tr(QStringLiteral("Close")));
        box.exec();
        return;
    }
    for (MySpinBox* b : allBoxes())
        b->setStyleSheet(QStringLiteral("color:black"));
}
