#include "files/abouttav.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "device/devsupport.h"
#include "core/updatelink.h"
#include "files/checkupdate.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSysInfo>

QString AboutTAV::systemInfo(const QString& osName, int scalePercent, unsigned usbVersion,
                             const QByteArray& deviceId, unsigned batch)
{
    QStringList lines;
    lines << Lang::tr(QStringLiteral("System Information"));
    lines << QStringLiteral("OS: ") + osName;
    lines << QStringLiteral("Display Scale: ") + QString::number(scalePercent) + QStringLiteral("%");
    lines << QStringLiteral("Device Level: ") + QString::number(usbVersion, 16);
    lines << QStringLiteral("Device ID: ") + QString::fromLatin1(deviceId.toHex()) + QStringLiteral("-")
                 + QStringLiteral("%1").arg(batch & 0xffff, 4, 16, QLatin1Char('0'));
    return lines.join(QStringLiteral("\r\n"));
}

AboutTAV::AboutTAV(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(Lang::tr(QStringLiteral("About")) + QStringLiteral(" Vormel TAV"));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setMinimumSize(Config::pixel(380), Config::pixel(120));

    logo = new QLabel(this);
    logo->setFixedSize(Config::pixel(96), Config::pixel(80));
    logo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    logo->setStyleSheet(QStringLiteral("border-image:url(:/res/imgLogo);"));

    name = new QLabel(QStringLiteral("Vormel TAV"), this);
    QFont big = Config::fontLarge;
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() / 0.55);
    name->setFont(big);
    name->setStyleSheet(QStringLiteral("color:#ff4500"));

    version = new QLabel(Lang::tr(QStringLiteral("Version: ")) + Config::curVersion.ToString() + QStringLiteral(" (")
                             + UpdateLink::bitWidth() + QStringLiteral("-bit)"),
                         this);
    maker = new QLabel(QStringLiteral("Copyright (C) Vormel. All rights reserved."), this);

    // The demo device has read no identification: its bytes stay empty.
    const DevBase* dev = devUsing;
    const QByteArray id = dev && dev->isConnected ? dev->deviceID : QByteArray();
    sysInfo = new QLabel(systemInfo(QSysInfo::prettyProductName(), Config::pixel(9600) / 96,
                                    devSupport ? unsigned(devSupport->usbVersion) : 0u, id, DevBase::devBatch),
                         this);
    sysInfo->setTextFormat(Qt::PlainText);
    sysInfo->setContentsMargins(Config::pixel(8), Config::pixel(8), Config::pixel(8), Config::pixel(8));
    sysInfo->setStyleSheet(QStringLiteral("background-color:#dfdfdf;border:1px solid #afafaf"));
    sysInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);

    const QString site = CheckUpdate::updateServer();
    webLine = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                             .arg(site.toHtmlEscaped(), Lang::tr(QStringLiteral("Visit the Vormel web site"))),
                         this);
    webLine->setTextFormat(Qt::RichText);
    webLine->setOpenExternalLinks(true);

    buttonBox = new QDialogButtonBox(this);
    closeButton = buttonBox->addButton(Lang::tr(QStringLiteral("Close")), QDialogButtonBox::RejectRole);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    layout = new QGridLayout(this);
    const int m = Config::pixel(8);
    layout->setContentsMargins(m, m, m, m);
    layout->setHorizontalSpacing(m);
    layout->setVerticalSpacing(m / 2);
    // Rows 0-2 only: the information block below takes all of row 3.
    layout->addWidget(logo, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1);
    layout->addWidget(version, 1, 1);
    layout->addWidget(maker, 2, 1);
    layout->addWidget(sysInfo, 3, 0, 1, 2);
    layout->addWidget(webLine, 4, 0, 1, 2);
    layout->addWidget(buttonBox, 5, 0, 1, 2);
    layout->setColumnStretch(0, 0);
    layout->setColumnStretch(1, 1);
}
