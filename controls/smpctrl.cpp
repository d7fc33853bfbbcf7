#include "controls/smpctrl.h"

#include "analysis/analyzermanager.h"
#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "scope/wavedatagenosc.h"
#include "widgets/mybutton.h"

#include <QDebug>
#include <QHBoxLayout>

SmpCtrl::SmpCtrl(QWidget* parent)
    : QWidget(parent)
{
    btnAutoScale = makeButton(QStringLiteral("btnAutoScale"), Lang::tr(QStringLiteral("Auto Scale")));
    btnAutoScale->setText(QStringLiteral("Auto"));
    btnSingle = makeButton(QStringLiteral("btnSingle"),
                           Lang::tr(QStringLiteral("Start single sampling")) + QStringLiteral(" (F5)"));
    btnSingle->setIcon(QIcon(QStringLiteral(":/res/btnSmpSingle")));
    btnAuto = makeButton(QStringLiteral("btnAuto"), Lang::tr(QStringLiteral("Auto restart sampling")));
    btnAuto->setIcon(QIcon(QStringLiteral(":/res/btnSmpAuto")));
    btnStop = makeButton(QStringLiteral("btnStop"), Lang::tr(QStringLiteral("Stop sampling")));
    btnStop->setIcon(QIcon(QStringLiteral(":/res/btnSmpStop")));

    auto* layout = new QHBoxLayout(this);
    layout->setAlignment(Qt::AlignLeft);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3 * Config::pixel(2));
    for (MyButton* b : {btnAutoScale, btnSingle, btnAuto, btnStop})
        layout->addWidget(b);

    connect(btnAutoScale, &QAbstractButton::clicked, this, &SmpCtrl::slotAutoScaleClicked);
    connect(btnSingle, &QAbstractButton::clicked, this, &SmpCtrl::slotSingleClicked);
    connect(btnAuto, &QAbstractButton::clicked, this, &SmpCtrl::slotAutoClicked);
    connect(btnStop, &QAbstractButton::clicked, this, &SmpCtrl::slotStopClicked);
}

MyButton* SmpCtrl::makeButton(const QString& name, const QString& tip)
{
    auto* b = new MyButton(this);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setIconSize(QSize(Config::pixel(32), Config::pixel(32)));
    b->setFixedSize(Config::pixel(44), Config::pixel(36));
    b->borderWidth = Config::pixel(1);
    b->borderColor = Config::grayColor.value(2);
    b->setBorderRadius(Config::pixel(3));
    b->normalColor = Config::grayColor.value(7);
    b->hoverColor = QColor(30, 90, 160);
    b->selectedColor = QColor(30, 90, 160);
    b->gradientNormal = false;
    b->gradientHover = true;
    b->setShadowEnable();
    return b;
}

int SmpCtrl::autoStartMode()
{
    bool ok = false;
    const int v = Config::readGlobalParam(QStringLiteral("autoWaitTrig")).toInt(&ok, 10);
    return ok && v != 0 ? SmpStartRepeatTrg : SmpStartRepeat;
}

int SmpCtrl::autoScaleVoltDivIndex(int count)
{
    return count < 1 ? -1 : qMax(count - 2, 0);
}

void SmpCtrl::prepareStart()
{
    devUsing->smpStopAndWait();
    AnalyzerManager::stopAllAnalyzer();
    AnalyzerManager::clearAnalyzerResult();
}

void SmpCtrl::slotSingleClicked()
{
    prepareStart();
    devUsing->smpStart(SmpStartSingle, false);
}

void SmpCtrl::slotAutoClicked()
{
    prepareStart();
    devUsing->smpStart(SmpStartMode(autoStartMode()), false);
}

void SmpCtrl::slotStopClicked()
{
    devUsing->smpStop();
}

void SmpCtrl::slotAutoScaleClicked()
{
    if (!devUsing->isConnected) {
        qDebug() << ">----- The device is not connected, the auto-Scale function is not enabled.";
        slotAutoClicked();
        return;
    }
    prepareStart();
    devUsing->saveSmpCtrlSet();
    bool changed = false;
    for (int i = 0; i < devUsing->aChnEna.size(); ++i) {
        if (!devUsing->aChnEna.at(i))
            continue;
        // A list too short for "the one before the last" must not give a negative index.
        const int index = autoScaleVoltDivIndex(devUsing->getVoltDivStringList(i).size());
        if (index < 0)
            continue;
        devUsing->setAVoltDivIndex(i, index);
        devUsing->setAChnOffset(i, 0);
        changed = true;
    }
    if (changed) {
        devUsing->setATimeDivIndex(9);
        devUsing->setATrgPercent(500);
    }
    WaveDataGenOsc::setAutoScaleStart();
    devUsing->smpStart(SmpStartAuto, false);
}

void SmpCtrl::devSmpStaChanged(int sta)
{
    btnAutoScale->setSelected(sta == SmpStartAuto);
    btnSingle->setSelected(sta == SmpStartSingle);
    // A repeated run lights its button whether or not it waits for the trigger.
    btnAuto->setSelected(sta == SmpStartRepeat || sta == SmpStartRepeatTrg);
    btnStop->setSelected(sta < 0);
}

void SmpCtrl::devModelChanged()
{
    btnAutoScale->setVisible(devUsing->workMode == WorkModeOsc);
    btnAuto->setVisible(devUsing->devModel != DevModel2113);
    devSmpStaChanged(-1);
}

void SmpCtrl::devConnectChanged(bool connected)
{
    const QString suffix = connected ? QStringLiteral("2") : QString();
    btnSingle->setIcon(QIcon(QStringLiteral(":/res/btnSmpSingle") + suffix));
    btnAuto->setIcon(QIcon(QStringLiteral(":/res/btnSmpAuto") + suffix));
    btnSingle->update();
    btnAuto->update();
}
