#include "waveview/dlgfilter.h"

#include "core/config.h"
#include "core/lang.h"
#include "widgets/myspinbox.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

} // namespace

DlgFilter::DlgFilter(QWidget* parent, int chnNum) : QDialog(parent)
{
    const int n = std::max(0, chnNum);
    setWindowTitle(Lang::tr(QStringLiteral("Glitch Filter Settings")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    filterGrid = new QGridLayout(this);
    filterGrid->setContentsMargins(px(20), px(12), px(20), px(12));
    filterGrid->setVerticalSpacing(px(12));
    filterGrid->setHorizontalSpacing(px(30));

    chnCheckBoxes.resize(n);
    lessLabels.resize(n);
    widthSpinBoxes.resize(n);
    unitLabels.resize(n);
    filterWidths.fill(0, n);
    // Blocks of eight rows side by side; a last, shorter block for the rest.
    const int blocks = (n + 7) / 8;
    for (int b = 0; b < blocks; ++b) {
        auto* g = new QGridLayout();
        g->setContentsMargins(0, 0, 0, 0);
        g->setVerticalSpacing(px(6));
        g->setHorizontalSpacing(px(4));
        filterGrid->addLayout(g, 0, b, Qt::AlignTop);
        for (int r = 0; r < 8 && 8 * b + r < n; ++r) {
            const int k = 8 * b + r;
            auto* check = new QCheckBox(QStringLiteral("Ch") + QString::number(k), this);
            check->setObjectName(QString::number(k));
            connect(check, &QCheckBox::clicked, this, &DlgFilter::slotCheckChnClicked);
            auto* less = new QLabel(QStringLiteral("\u2264"), this);
            less->setEnabled(false);
            auto* spin = new MySpinBox(this);
            spin->setRange(1, 999);
            spin->setValue(1);
            spin->setEnabled(false);
            auto* unit = new QLabel(Lang::tr(QStringLiteral("Samples")), this);
            unit->setEnabled(false);
            g->addWidget(check, r, 0);
            g->addWidget(less, r, 1);
            g->addWidget(spin, r, 2);
            g->addWidget(unit, r, 3);
            chnCheckBoxes[k] = check;
            lessLabels[k] = less;
            widthSpinBoxes[k] = spin;
            unitLabels[k] = unit;
        }
    }
    const int span = std::max(1, blocks);
    noteLabel = new QLabel(QStringLiteral("* ")
                               + Lang::tr(QStringLiteral(
                                   "When a channel is checked, pulses less than the set width will be filtered out.")),
                           this);
    noteLabel->setWordWrap(true);
    noteLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    filterGrid->addWidget(noteLabel, 1, 0, 1, span);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    filterGrid->addWidget(buttons, 2, 0, 1, span);
}

void DlgFilter::slotCheckChnClicked()
{
    auto* check = qobject_cast<QCheckBox*>(sender());
    if (!check)
        return;
    bool ok = false;
    const int k = check->objectName().toInt(&ok);
    if (!ok || k < 0 || k >= chnCheckBoxes.size())
        return;
    const bool on = check->isChecked();
    lessLabels[k]->setEnabled(on);
    widthSpinBoxes[k]->setEnabled(on);
    unitLabels[k]->setEnabled(on);
}

QVector<unsigned int> DlgFilter::getSetting()
{
    for (int k = 0; k < chnCheckBoxes.size(); ++k)
        filterWidths[k] = chnCheckBoxes[k]->isChecked() ? unsigned(widthSpinBoxes[k]->value()) : 0u;
    return filterWidths;
}
