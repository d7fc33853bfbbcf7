#include "controls/devsetting.h"

#include "core/config.h"
#include "core/lang.h"
#include "controls/menudevselect.h"
#include "controls/menudevsetting.h"
#include "device/devbase.h"
#include "widgets/mybutton.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

DevSetting::DevSetting(QWidget* parent)
    : QWidget(parent)
{
    btnModel = new MyButton(this);
    btnModel->setObjectName(QStringLiteral("btnModel"));
    QFont f = Config::fontNormal;
    f.setPixelSize(Config::pixel(19));
    f.setWeight(QFont::Bold);
    btnModel->setFont(f);
    btnModel->setFixedWidth(Config::pixel(84));
    btnModel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    btnModel->gradientNormal = false;
    btnModel->gradientHover = false;
    btnModel->normalColor = Config::grayColor.value(8);
    btnModel->hoverColor = Config::grayColor.value(6);

    btnSetting = new MyButton(this);
    btnSetting->setObjectName(QStringLiteral("btnDevSetting"));
    btnSetting->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    btnSetting->setFixedSize(Config::pixel(24), Config::pixel(24));
    btnSetting->setIconSize(QSize(Config::pixel(20), Config::pixel(20)));
    btnSetting->normalColor = Config::grayColor.value(8);
    btnSetting->hoverColor = Config::grayColor.value(6);
    btnSetting->setBorderRadius(3, 0, 0, 0);
    btnSetting->setToolTip(Lang::tr(QStringLiteral("Device Options")));

    icon = new QLabel(this);
    icon->setFixedSize(Config::pixel(40), Config::pixel(40));
    icon->setStyleSheet(QStringLiteral("border:0;border-image:url(:/res/icoDeviceLA);"));

    modeLabel = new QLabel(this);
    modeLabel->setObjectName(QStringLiteral("modeLabel"));
    modeLabel->setFixedHeight(Config::pixel(16));
    modeLabel->setContentsMargins(Config::pixel(2), 0, Config::pixel(2), 0);
    modeLabel->setAlignment(Qt::AlignCenter);
    modeLabel->setStyleSheet(QStringLiteral("QLabel{background-color:transparent; color:#afafaf;}"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1);
    grid->addWidget(btnModel, 0, 1, 1, 1);
    grid->addWidget(btnSetting, 0, 2, 1, 1);
    grid->addWidget(modeLabel, 1, 1, 1, 2);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(Config::pixel(2) / 2);
    const int m = Config::pixel(2);
    grid->setContentsMargins(m, m, m, m);

    connect(btnModel, &QAbstractButton::clicked, this, &DevSetting::slotDevModelClicked);
    connect(btnSetting, &QAbstractButton::clicked, this, &DevSetting::slotChnSettingClicked);
}

void DevSetting::devModelChanged()
{
    btnModel->setText(devUsing->devName);
    devSmpModeChanged();
}

QString DevSetting::modeText()
{
    if (!devUsing->isSmpModeSelectable())
        return Lang::tr(QStringLiteral("Logic Analyzer"));
    return devUsing->smpMode == SmpModeStream ? Lang::tr(QStringLiteral("Stream Mode"))
                                              : Lang::tr(QStringLiteral("Normal Mode"));
}

void DevSetting::devSmpModeChanged()
{
    modeLabel->setText(modeText());
}

void DevSetting::slotDevModelClicked()
{
    MenuDevSelect menu(nullptr);
    connect(&menu, &MenuDevSelect::devModelChanged, this, &DevSetting::simDevModelChanged);
    menu.exec(btnModel->mapToGlobal(QPoint(0, btnModel->height() + Config::pixel(1))));
}

void DevSetting::slotChnSettingClicked()
{
    MenuDevSetting menu(this);
    menu.exec(btnSetting->mapToGlobal(QPoint(0, btnSetting->height() + Config::pixel(1))));
    // Back after a refused OK or the options dialog: run it until it is closed.
    while (menu.isVisible())
        menu.exec(menu.pos());
}

void DevSetting::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int px = Config::pixel(2);
    const int w = width();
    const int h = height();
    p.setPen(QPen(Config::grayColor.value(2), px, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(Config::grayColor.value(6));
    p.drawRoundedRect(QRectF(px / 2, px / 2, w - px, h - px), 2 * px, 2 * px);

    const QColor line = Config::grayColor.value(2);
    const int t = px / 2;
    const int x = px + icon->width();
    const int y = h - px - modeLabel->height();
    p.fillRect(QRect(x, px, t, h - px - px), line);
    p.fillRect(QRect(x + btnModel->width() + px / 2, px, t, y - px), line);
    p.fillRect(QRect(x, y, w - px - x, t), line);
}
