#include "controls/menudevselect.h"

#include "core/lang.h"
#include "device/devbase.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace {
const char* const modelTexts[] = {"VX2121 - 100MHz, 16CH", "VX2127 - 100MHz, 16CH", "VX3127 - 200MHz, 16CH",
                                  "VX6127 - 500MHz, 16CH", "VX6143 - 500MHz, 32CH"};
}

const QList<int>& MenuDevSelect::modelCodes()
{
    static const QList<int> codes = {DevModel2121A, DevModel2127A, DevModel3127A, DevModel6127A, DevModel6143A};
    return codes;
}

int MenuDevSelect::radioOfModel(int code)
{
    switch (code) {
    case DevModel2121A: return 0;
    case DevModel2127:
    case DevModel2127A: return 1;
    case DevModel3127:
    case DevModel3127A: return 2;
    case DevModel6127:
    case DevModel6127A: return 3;
    case DevModel6143A: return 4;
    default: return -1;
    }
}

MenuDevSelect::MenuDevSelect(QWidget* parent)
    : MenuDialog(parent)
{
    auto* box = new QGroupBox(QStringLiteral("  ") + Lang::tr(QStringLiteral("Model Select")) + QStringLiteral("  "));
    auto* layout = new QVBoxLayout;
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (const char* text : modelTexts) {
        auto* radio = new QRadioButton(QString::fromLatin1(text), this);
        radio->setEnabled(!devUsing->isConnected);
        layout->addWidget(radio);
        group->addButton(radio);
        connect(radio, &QAbstractButton::clicked, this, &MenuDevSelect::radioButtonClicked);
        radioList.append(radio);
    }
    const int checked = radioOfModel(devUsing->devModel);
    if (checked >= 0)
        radioList[checked]->setChecked(true);
    box->setLayout(layout);
    auto* action = new QWidgetAction(this);
    action->setDefaultWidget(box);
    addAction(action);
}

void MenuDevSelect::radioButtonClicked()
{
    for (int i = 0; i < radioList.size(); ++i) {
        if (radioList[i]->isChecked()) {
            close();
            emit devModelChanged(modelCodes()[i]);
            return;
        }
    }
}
