#include "controls/pwmsetting.h"

#include "core/config.h"
#include "controls/dialogpwmsetting.h"
#include "device/devbase.h"
#include "widgets/mybutton.h"
#include "widgets/myswitch.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

PWMSetting::PWMSetting(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    auto makeSwitch = [this](const QString& name, int top, int bottom) {
        auto* s = new MySwitch(this);
        s->setObjectName(name);
        s->setFixedWidth(Config::pixel(26));
        s->setContentsMargins(1, top, 1, bottom);
        return s;
    };
    switch1 = makeSwitch(QStringLiteral("switchPWM1"), 2, 1);
    switch2 = makeSwitch(QStringLiteral("switchPWM2"), 1, 2);
    switch1->switchOn = devUsing ? devUsing->getPWMEnable(0) : false;
    switch2->switchOn = devUsing ? devUsing->getPWMEnable(1) : false;

    label1 = new QLabel(QStringLiteral("PWM1"), this);
    label2 = new QLabel(QStringLiteral("PWM2"), this);
    label1->setStyleSheet(QStringLiteral("color:#f7f7f7;"));
    label2->setStyleSheet(QStringLiteral("color:#f7f7f7;"));
    label1->setContentsMargins(0, 2, 4, 1);
    label2->setContentsMargins(0, 1, 4, 2);

    btnSetting = new MyButton(this);
    btnSetting->setObjectName(QStringLiteral("btnPWMSetting"));
    btnSetting->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    btnSetting->setFixedWidth(Config::pixel(20));
    btnSetting->setIconSize(QSize(Config::pixel(20), Config::pixel(20)));
    btnSetting->normalColor = Config::grayColor.value(8);
    btnSetting->hoverColor = Config::grayColor.value(6);
    btnSetting->gradientNormal = false;
    btnSetting->gradientHover = false;
    btnSetting->setBorderRadius(3, 0, 0, 3);
    btnSetting->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 2, 4);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(1);
    grid->addWidget(switch1, 0, 0);
    grid->addWidget(switch2, 1, 0);
    grid->addWidget(label1, 0, 1);
    grid->addWidget(label2, 1, 1);
    grid->addWidget(btnSetting, 0, 2, 2, 1);

    connect(switch1, &QAbstractButton::clicked, this, &PWMSetting::slotBtnPWM1Clicked);
    connect(switch2, &QAbstractButton::clicked, this, &PWMSetting::slotBtnPWM2Clicked);
    connect(btnSetting, &QAbstractButton::clicked, this, &PWMSetting::slotBtnSettingClicked);
}

void PWMSetting::slotBtnPWM1Clicked()
{
    switch1->switchOn = !switch1->switchOn;
    switch1->update();
    devUsing->setPWMEnable(switch1->switchOn, devUsing->getPWMEnable(1));
}

void PWMSetting::slotBtnPWM2Clicked()
{
    switch2->switchOn = !switch2->switchOn;
    switch2->update();
    devUsing->setPWMEnable(devUsing->getPWMEnable(0), switch2->switchOn);
}

void PWMSetting::slotBtnSettingClicked()
{
    DialogPWMSetting dialog(parentWidget());
    dialog.exec();
    updateSetting();
}

void PWMSetting::updateSetting()
{
    switch1->switchOn = devUsing->getPWMEnable(0);
    switch1->update();
    switch2->switchOn = devUsing->getPWMEnable(1);
    switch2->update();
    setVisible(Config::readGlobalParam(QStringLiteral("toolbarPWM")).toInt() != 0);
}

void PWMSetting::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int px = Config::pixel(2);
    const int t = grid->contentsMargins().top();
    const int w = width();
    const int h = height();
    p.setPen(QPen(Config::grayColor.value(2), px, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(Config::grayColor.value(8));
    p.drawRoundedRect(QRectF(px / 2, t - px / 2, w - px, h - 2 * t + px), 2 * px, 2 * px);
    const int x = w - px - btnSetting->width();
    p.fillRect(QRect(x - px / 2, t, px / 2, h - 2 * t), Config::grayColor.value(2));
}
