#include "widgets/chnenagroupbox.h"

#include "core/config.h"
#include "core/lang.h"
#include "widgets/kitstyle.h"

#include <QCheckBox>
#include <QGridLayout>

ChnEnaGroupBox::ChnEnaGroupBox(QVector<bool> enables, QWidget* parent)
    : QGroupBox(parent)
{
    setTitle(QStringLiteral("  ") + Lang::tr(QStringLiteral("Channel Select")) + QStringLiteral("  "));
    setStyleSheet(KitStyle::groupBox());
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(Config::pixel(10), Config::pixel(10), Config::pixel(4), Config::pixel(4));
    grid->setHorizontalSpacing(Config::pixel(6));
    grid->setVerticalSpacing(0);

    const int n = enables.size();
    const int rows = n >= 4 ? n / 4 : 1;
    for (int i = 0; i < n; ++i) {
        auto* box = new QCheckBox(QStringLiteral("CH") + QString::number(i), this);
        box->setChecked(enables[i]);
        connect(box, &QCheckBox::clicked, this, &ChnEnaGroupBox::chnEnaChanged);
        grid->addWidget(box, i % rows, i / rows);
        checks.append(box);
    }
}

bool ChnEnaGroupBox::getChnEna(QVector<bool>& out) const
{
    if (checks.isEmpty() || out.size() != checks.size())
        return false;
    bool any = false;
    for (int i = 0; i < checks.size(); ++i) {
        out[i] = checks[i]->isChecked();
        any = any || out[i];
    }
    return any;
}

void ChnEnaGroupBox::slotChnEnaSelect(int start, int end)
{
    // Out-of-range bounds simply select what lies inside the boxes.
    for (int i = 0; i < checks.size(); ++i)
        checks[i]->setChecked(i >= start && i <= end);
}
