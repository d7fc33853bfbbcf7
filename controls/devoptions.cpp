#include "controls/devoptions.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "widgets/colorlump.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegExpValidator>
#include <QSlider>
#include <QVBoxLayout>

DevOptions::DevOptions(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(Lang::tr(QStringLiteral("Device Options")));
    setMinimumWidth(Config::pixel(260));
    auto* layout = new QVBoxLayout(this);
    auto px = [](int n) { return QString::number(Config::pixel(n)); };
    setStyleSheet(QStringLiteral("QGroupBox{border:") + px(1) + QStringLiteral("px solid black;border-radius:") + px(4)
                  + QStringLiteral("px;;margin-top:") + px(8) + QStringLiteral("px;margin-bottom:") + px(4)
                  + QStringLiteral("px;}QGroupBox::title{subcontrol-origin:margin; position:relative;left:") + px(16)
                  + QStringLiteral("px;}"));

    if (devUsing->queryDevFunction(DevFuncPWM)) {
        auto* frequValidator = new QRegExpValidator(QRegExp(QStringLiteral("^[|0-9|.]+$")), this);
        auto* group = new QGroupBox(QStringLiteral("  ") + Lang::tr(QStringLiteral("PWM Settings")) + QStringLiteral("  "),
                                    this);
        auto* gl = new QVBoxLayout(group);
        gl->setContentsMargins(6, 12, 6, 10);
        gl->setSpacing(5);
        for (int i = 0; i < 2; ++i) {
            auto* box = new QWidget(group);
            auto* grid = new QGridLayout(box);
            grid->setContentsMargins(0, 0, 0, 0);
            grid->setVerticalSpacing(0);
            PwmRows::create(rows[i], i, box, frequValidator);
            PwmRows::place(rows[i], grid, 0);
            PwmRows::fill(rows[i], i);
            connect(rows[i].ena, &QCheckBox::clicked, this, &DevOptions::pwmEnaChecked);
            gl->addWidget(box);
            gl->addWidget(new ColorLump(Qt::lightGray, 1, 0, 2, group));
        }
        chkToolbar = new QCheckBox(Lang::tr(QStringLiteral("Place this setting on the toolbar.")), group);
        chkToolbar->setChecked(Config::readGlobalParam(QStringLiteral("toolbarPWM")).toInt() != 0);
        gl->addWidget(chkToolbar);
        layout->addWidget(group);
        pwmEnaChecked();
    }

    if (devUsing->aChnEna.isEmpty()) {
        auto* group = new QGroupBox(QStringLiteral("  ") + Lang::tr(QStringLiteral("Trigger Position"))
                                        + QStringLiteral("  "),
                                    this);
        sliderLabel = new QLabel(QStringLiteral("0%"), group);
        sliderLabel->setFixedWidth(Config::pixel(36));
        slider = new QSlider(Qt::Horizontal, group);
        slider->setFocusPolicy(Qt::StrongFocus);
        slider->setTickPosition(QSlider::TicksAbove);
        slider->setTickInterval(20);
        slider->setSingleStep(1);
        slider->setRange(0, 99);
        connect(slider, &QSlider::valueChanged, this, &DevOptions::setTriggerPosition);
        slider->setValue(devUsing->getTrgPosition());
        auto* hl = new QHBoxLayout(group);
        hl->setContentsMargins(6, 18, 6, 8);
        hl->setSpacing(0);
        hl->addWidget(sliderLabel);
        hl->addWidget(slider);
        layout->addWidget(group);
    }

    buttons = new QDialogButtonBox(this);
    buttons->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttons->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &DevOptions::saveClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    layout->addWidget(buttons);
}

void DevOptions::pwmEnaChecked()
{
    for (PwmRow& r : rows)
        PwmRows::followEnable(r);
}

void DevOptions::setTriggerPosition(int value)
{
    sliderLabel->setText(QString::number(value) + QStringLiteral("%"));
}

void DevOptions::saveClicked()
{
    if (devUsing->queryDevFunction(DevFuncPWM)) {
        if (!PwmRows::save(rows, this))
            return;
        devUsing->saveToolbarPWMSet(chkToolbar->isChecked());
    }
    if (devUsing->aChnEna.isEmpty()) {
        const int v = slider->value();
        if (v != devUsing->getTrgPosition()) {
            devUsing->smpStopForRestart();
            devUsing->setTrgPosition(v);
            devUsing->smpRestartIfNeed();
        }
    }
    close();
}
