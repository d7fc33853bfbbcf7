#include "controls/menudevsetting.h"

#include "core/config.h"
#include "core/lang.h"
#include "controls/devoptions.h"
#include "controls/inputcheck.h"
#include "device/devbase.h"
#include "widgets/chnenagroupbox.h"
#include "widgets/chnquickgroupbox.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace {

QLabel* modeDescription(const QString& first, const QString& second)
{
    auto* label = new QLabel(Lang::tr(first) + QStringLiteral("\r\n") + Lang::tr(second));
    label->setContentsMargins(19, 0, 0, 0);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    label->setWordWrap(true);
    return label;
}

const QVector<ChnFrequ>& mapOfMode(bool buffer)
{
    return buffer ? devUsing->chnFrequMapBuf : devUsing->chnFrequMapStream;
}

} // namespace

void MenuDevSetting::splitMap(const QVector<ChnFrequ>& map, QVector<qint64>* rates, QVector<int>* counts)
{
    rates->clear();
    counts->clear();
    for (const ChnFrequ& e : map) {
        rates->append(e.maxFrequ);
        counts->append(e.chnNum);
    }
}

MenuDevSetting::MenuDevSetting(QWidget* parent)
    : MenuDialog(parent)
{
    setMinimumWidth(340);
    auto addWidget = [this](QWidget* w) {
        auto* action = new QWidgetAction(this);
        action->setDefaultWidget(w);
        addAction(action);
    };

    if (devUsing->isSmpModeSelectable()) {
        auto* box = new QGroupBox(QStringLiteral("  ") + Lang::tr(QStringLiteral("Sample Mode Select"))
                                  + QStringLiteral("  "));
        auto* l = new QVBoxLayout(box);
        l->setContentsMargins(6, 12, 6, 10);
        l->setSpacing(0);
        radioNormal = new QRadioButton(Lang::tr(QStringLiteral("Normal Mode")));
        radioNormal->setChecked(devUsing->smpMode == SmpModeBuffer);
        QLabel* normalText = modeDescription(
            QStringLiteral("Use the device's memory as the sample buffer, the data is uploaded to computer after sampled."),
            QStringLiteral("This mode can provide higher sample rate."));
        radioStream = new QRadioButton(Lang::tr(QStringLiteral("Stream Mode")));
        radioStream->setChecked(devUsing->smpMode == SmpModeStream);
        QLabel* streamText = modeDescription(
            QStringLiteral("Only use the computer's memory to store the sampled data, the data is uploaded in real time."),
            QStringLiteral("This mode can provide larger sample depth."));
        const int lineH = normalText->fontMetrics().lineSpacing();
        normalText->setFixedHeight(int(3.6 * lineH));
        streamText->setFixedHeight(int(3.3 * lineH));
        l->addWidget(radioNormal);
        l->addWidget(normalText);
        l->addWidget(radioStream);
        l->addWidget(streamText);
        auto* group = new QButtonGroup(this);
        group->setExclusive(true);
        group->addButton(radioNormal);
        group->addButton(radioStream);
        connect(radioNormal, &QRadioButton::toggled, this, &MenuDevSetting::slotModeChanged);
        addWidget(box);
    }

    QVector<qint64> rates;
    QVector<int> counts;
    splitMap(mapOfMode(devUsing->smpMode == SmpModeBuffer), &rates, &counts);
    quick = new ChnQuickGroupBox(rates, counts);
    addWidget(quick);
    ena = new ChnEnaGroupBox(devUsing->dChnEna);
    addWidget(ena);
    connect(quick, &ChnQuickGroupBox::chnSelect, ena, &ChnEnaGroupBox::slotChnEnaSelect);
    connect(ena, &ChnEnaGroupBox::chnEnaChanged, quick, &ChnQuickGroupBox::chnSelectChanged);

    auto* bottom = new QWidget;
    auto* hl = new QHBoxLayout(bottom);
    hl->setContentsMargins(0, 0, 0, 0);
    btnMore = new QPushButton(QStringLiteral("  ") + Lang::tr(QStringLiteral("More Settings")) + QStringLiteral("...  "));
    connect(btnMore, &QPushButton::clicked, this, &MenuDevSetting::slotMorSettingsClicked);
    auto* buttons = new QDialogButtonBox;
    btnOk = buttons->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttons->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &MenuDevSetting::saveClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    hl->addWidget(btnMore);
    hl->addWidget(buttons);
    addWidget(bottom);
}

void MenuDevSetting::slotModeChanged()
{
    QVector<qint64> rates;
    QVector<int> counts;
    splitMap(mapOfMode(radioNormal->isChecked()), &rates, &counts);
    quick->setNumFrequ(rates, counts);
}

void MenuDevSetting::slotMorSettingsClicked()
{
    const QPoint at = pos();
    DevOptions dialog(parentWidget());
    dialog.exec();
    stayOpen(at);
}

void MenuDevSetting::stayOpen(const QPoint& at)
{
    if (isHidden())
        popup(at);
}

void MenuDevSetting::saveSmpMode()
{
    if (!devUsing->isSmpModeSelectable())
        return;
    if (radioNormal->isChecked())
        devUsing->setSmpMode(SmpModeBuffer);
    else if (radioStream->isChecked())
        devUsing->setSmpMode(SmpModeStream);
}

bool MenuDevSetting::saveChnEna()
{
    QVector<bool> chn(devUsing->dChnEna.size());
    if (!ena->getChnEna(chn))
        return false;
    devUsing->setDChnEna(chn);
    return true;
}

void MenuDevSetting::saveClicked()
{
    devUsing->smpStopForRestart();
    bool chnOk;
    if (devUsing->smpMode == SmpModeBuffer) {
        chnOk = saveChnEna();
        saveSmpMode();
    } else {
        saveSmpMode();
        chnOk = saveChnEna();
    }
    if (chnOk) {
        close();
        devUsing->smpRestartIfNeed();
        return;
    }
    const QPoint at = pos();
    InputCheck::warnInvalid(parentWidget(), Lang::tr(QStringLiteral("Please select at least one channel.")));
    stayOpen(at);
    devUsing->smpRestartIfNeed();
}
