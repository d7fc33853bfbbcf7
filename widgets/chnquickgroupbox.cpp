#include "widgets/chnquickgroupbox.h"

#include "core/config.h"
#include "core/lang.h"
#include "widgets/kitstyle.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

ChnQuickGroupBox::ChnQuickGroupBox(QVector<qint64> maxRates, QVector<int> chnCounts, QWidget* parent)
    : QGroupBox(parent)
    , hiddenButton(new QRadioButton(this))
    , group(new QButtonGroup(this))
{
    setTitle(QStringLiteral("  ") + Lang::tr(QStringLiteral("Channel Quick Select")) + QStringLiteral("  "));
    setStyleSheet(KitStyle::groupBox());
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(Config::pixel(10), Config::pixel(10), Config::pixel(4), Config::pixel(4));
    lay->setSpacing(Config::pixel(2));

    group->setExclusive(true);
    hiddenButton->setHidden(true);
    group->addButton(hiddenButton);

    // Both vectors describe the same map; a shorter one bounds it.
    const int n = qMin(maxRates.size(), chnCounts.size());
    for (int i = 0; i < n; ++i) {
        auto* btn = new QRadioButton(choiceText(maxRates[i], chnCounts[i]), this);
        btn->setObjectName(QString::number(chnCounts[i] - 1));
        connect(btn, &QRadioButton::clicked, this, &ChnQuickGroupBox::slotQuickClicked);
        group->addButton(btn);
        lay->addWidget(btn);
        buttons.append(btn);
    }
    hiddenButton->setChecked(true);
}

QString ChnQuickGroupBox::choiceText(qint64 maxRate, int chnCount)
{
    return QStringLiteral(" CH0~") + QString::number(chnCount - 1) + QStringLiteral(" (")
           + Lang::tr(QStringLiteral("Maximum sample rate is")) + QStringLiteral(" ")
           + QString::number(maxRate / 1000000) + QStringLiteral("MHz)");
}

bool ChnQuickGroupBox::setNumFrequ(QVector<qint64> maxRates, QVector<int> chnCounts)
{
    if (maxRates.size() != buttons.size() || chnCounts.size() != buttons.size())
        return false;
    for (int i = 0; i < buttons.size(); ++i) {
        buttons[i]->setText(choiceText(maxRates[i], chnCounts[i]));
        buttons[i]->setObjectName(QString::number(chnCounts[i] - 1));
    }
    hiddenButton->setChecked(true);
    return true;
}

bool ChnQuickGroupBox::noChoice() const
{
    return hiddenButton->isChecked();
}

void ChnQuickGroupBox::chnSelectChanged()
{
    hiddenButton->setChecked(true);
}

void ChnQuickGroupBox::slotQuickClicked()
{
    for (QRadioButton* btn : buttons) {
        if (btn->isChecked()) {
            emit chnSelect(0, btn->objectName().toInt());
            return;
        }
    }
}
