#include "controls/dialogpwmsetting.h"

#include "core/lang.h"
#include "widgets/colorlump.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QRegExpValidator>

DialogPWMSetting::DialogPWMSetting(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(Lang::tr(QStringLiteral("PWM Settings")));
    grid = new QGridLayout(this);
    auto* frequValidator = new QRegExpValidator(QRegExp(QStringLiteral("^[|0-9|.]+$")), this);
    for (int i = 0; i < 2; ++i) {
        PwmRows::create(rows[i], i, this, frequValidator);
        PwmRows::place(rows[i], grid, 3 * i);
        PwmRows::fill(rows[i], i);
        connect(rows[i].ena, &QCheckBox::clicked, this, &DialogPWMSetting::pwmEnaChecked);
        auto* line = new ColorLump(Qt::lightGray, 1, 0, 2, this);
        if (i == 0)
            separator = line;
        grid->addWidget(line, 3 * i + 2, 0, 1, 6);
    }
    buttons = new QDialogButtonBox(this);
    buttons->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttons->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &DialogPWMSetting::saveClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    grid->addWidget(buttons, 6, 0, 1, 6);
    pwmEnaChecked();
}

void DialogPWMSetting::pwmEnaChecked()
{
    for (PwmRow& r : rows)
        PwmRows::followEnable(r);
}

void DialogPWMSetting::saveClicked()
{
    if (!PwmRows::save(rows, this))
        return;
    emit sigPWMSetSaved();
    close();
}
