#include "controls/smpsetting.h"

#include "core/config.h"
#include "core/lang.h"
#include "core/engunit.h"
#include "device/devbase.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>

SmpSetting::SmpSetting(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    const QString p = QString::number(Config::pixel(2));
    const QString p2 = QString::number(2 * Config::pixel(2));
    const QString half = QString::number(Config::pixel(2) / 2);
    const QString d = QString::number(Config::pixel(16));
    setStyleSheet(QStringLiteral("QLabel{background-color:transparent; color:#afafaf;}QComboBox{background-color:#1f1f23;"
                                 "color:#f7f7f7;border:")
                  + p + QStringLiteral("px solid #afafaf;border-radius:") + p2 + QStringLiteral("px;padding-left:") + p2
                  + QStringLiteral("px;padding-right:") + p2
                  + QStringLiteral("px;combobox-popup:0;}QComboBox::drop-down{width:") + d
                  + QStringLiteral("px;border-left:") + half
                  + QStringLiteral("px solid #afafaf;image:url(:/res/icoDropDown);}QComboBox QAbstractItemView{"
                                   "background-color:#1f1f23;selection-background-color:#3f3f3f;color:#f7f7f7;border:")
                  + half + QStringLiteral("px solid #afafaf;}QComboBox:hover{background-color:#3f3f3f;}"));

    auto makeCombo = [this](const QString& name, const QString& tip) {
        auto* c = new QComboBox(this);
        c->setObjectName(name);
        c->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        c->setFont(Config::fontLarge);
        c->setMaxVisibleItems(20);
        c->setToolTip(tip);
        return c;
    };
    comboDepth = makeCombo(QStringLiteral("comboDepth"), Lang::tr(QStringLiteral("Sample Depth (samples per acquisition)")));
    comboFrequ = makeCombo(QStringLiteral("comboFrequ"), Lang::tr(QStringLiteral("Sample Rate (samples per second)")));

    auto* at = new QLabel(QStringLiteral("@"), this);
    at->setFixedWidth(Config::pixel(20));
    at->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    at->setFont(Config::fontLarge);
    at->setAlignment(Qt::AlignCenter);
    at->setStyleSheet(QStringLiteral("background-color:transparent;color:#dfdfdf;"));

    timeLabel = new QLabel(this);
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    timeLabel->setFixedHeight(Config::pixel(18));
    timeLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    timeLabel->setContentsMargins(Config::pixel(2), 0, Config::pixel(2), 0);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(comboDepth, 0, 0);
    grid->addWidget(at, 0, 1);
    grid->addWidget(comboFrequ, 0, 2);
    grid->addWidget(timeLabel, 1, 0, 1, 3);
}

QString SmpSetting::timeText() const
{
    return timeLabel->text();
}

void SmpSetting::devModelChanged()
{
    connect(devUsing, &DevBase::sigSmpFrequToLower, this, &SmpSetting::updateFreqIndex, Qt::UniqueConnection);
    devSmpModeChanged();
}

void SmpSetting::devSmpModeChanged()
{
    // A refill only shows the device object's choice; it applies nothing.
    auto refill = [this](QComboBox* c, const QStringList& labels, int index, void (SmpSetting::*slot)(int)) {
        disconnect(c, QOverload<int>::of(&QComboBox::currentIndexChanged), nullptr, nullptr);
        c->clear();
        c->addItems(labels);
        c->setCurrentIndex(index);
        connect(c, QOverload<int>::of(&QComboBox::currentIndexChanged), this, slot);
    };
    refill(comboFrequ, devUsing->getSmpFrequStringList(), devUsing->smpFrequIndex, &SmpSetting::slotSmpFrequClicked);
    refill(comboDepth, devUsing->getSmpDepthStringList(), devUsing->smpDepthIndex, &SmpSetting::slotSmpDepthClicked);
    timeLabel->setText(getSmpTime());
}

void SmpSetting::slotSmpDepthClicked(int index)
{
    devUsing->smpStopForRestart();
    devUsing->setSmpDepth(index);
    timeLabel->setText(getSmpTime());
    devUsing->smpRestartIfNeed();
}

void SmpSetting::slotSmpFrequClicked(int index)
{
    devUsing->smpStopForRestart();
    devUsing->setSmpFrequ(index);
    timeLabel->setText(getSmpTime());
    devUsing->smpRestartIfNeed();
}

void SmpSetting::updateFreqIndex()
{
    comboFrequ->setCurrentIndex(devUsing->smpFrequIndex);
}

void SmpSetting::showDeviceSetting()
{
    const QSignalBlocker quietFrequ(comboFrequ);
    const QSignalBlocker quietDepth(comboDepth);
    comboFrequ->setCurrentIndex(devUsing->smpFrequIndex);
    // A depth set as a time need not be one of the list's; then none is marked.
    comboDepth->setCurrentIndex(devUsing->smpDepthList.indexOf(devUsing->getExpectDepth()));
    timeLabel->setText(getSmpTime());
}

QString SmpSetting::smpTimeText(double depth, double rate)
{
    const double t = depth / rate;
    // From microseconds up to seconds, no further.
    static const QStringList units = EngUnit::psUnits().mid(2);
    return Lang::tr(QStringLiteral("Expected Sample Time")) + QStringLiteral(": ")
           + EngUnit::text(t * 1e6, units, 9, EngUnit::AtOnce);
}

QString SmpSetting::getSmpTime() const
{
    return smpTimeText(double(devUsing->getExpectDepth()), double(devUsing->getSmpFrequ()));
}

void SmpSetting::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(Config::grayColor.value(6));
    const int r = Config::pixel(3);
    p.drawRoundedRect(QRectF(0, 0, width(), height()), r, r);
}
