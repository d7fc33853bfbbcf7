#include "files/updatedialog.h"

#include "core/config.h"
#include "core/lang.h"
#include "core/updatelink.h"
#include "files/checkupdate.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

UpdateDialog::UpdateDialog(QWidget* parent)
    : QDialog(parent)
    , updaterProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/Updater"))
    , startDetached([](const QString& p, const QStringList& a) { return QProcess::startDetached(p, a); })
    , closeAllWindows([] { QApplication::closeAllWindows(); })
{
    setWindowTitle(Lang::tr(QStringLiteral("Check for updates")));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setMinimumSize(Config::pixel(370), Config::pixel(100));

    // Texts from the server are never taken as markup.
    labelHead = new QLabel(this);
    labelHead->setTextFormat(Qt::PlainText);
    labelMsg = new QLabel(this);
    labelMsg->setTextFormat(Qt::PlainText);
    labelMsg->setWordWrap(true);
    labelLink = new QLabel(this);
    labelLink->setTextFormat(Qt::RichText);
    labelLink->setWordWrap(true);
    labelLink->setOpenExternalLinks(true);
    labelLog = new QLabel(this);
    labelLog->setTextFormat(Qt::RichText);
    labelLog->setOpenExternalLinks(true);
    labelLog->setText(QStringLiteral("<a href=\"%1\">%2...</a>")
                          .arg(CheckUpdate::changeLogUrl().toHtmlEscaped(),
                               Lang::tr(QStringLiteral("Update Logs")).toHtmlEscaped()));

    buttonBox = new QDialogButtonBox(this);
    buttonOk = buttonBox->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    buttonCancel = buttonBox->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &UpdateDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &UpdateDialog::reject);

    layout = new QVBoxLayout(this);
    layout->addWidget(labelHead);
    layout->addWidget(labelMsg);
    layout->addWidget(labelLink);
    layout->addWidget(labelLog);
    layout->addWidget(buttonBox);
    buttonOk->hide();
}

QString UpdateDialog::linkHtml(const QString& link)
{
    const QString shown = link.toHtmlEscaped();
    const QString scheme = QUrl(link).scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return shown;
    return QStringLiteral("<a href=\"%1\">%1</a>").arg(shown);
}

void UpdateDialog::showTexts(const QString& head, const QString& msg, const QString& link, bool okShown)
{
    labelHead->setText(head);
    labelMsg->setText(msg);
    labelLink->setText(link);
    buttonOk->setVisible(okShown);
}

void UpdateDialog::setRequest()
{
    showTexts(QString(), Lang::tr(QStringLiteral("Looking for updates, please wait")) + QStringLiteral("..."),
              QString(), false);
}

void UpdateDialog::setResult(int result, const QString& lastVersion, const QString& dnlLink,
                             const QString& updLink)
{
    newVersion = lastVersion;
    downloadLink = dnlLink;
    updaterLink = updLink;
    const QString found = Lang::tr(QStringLiteral("Find a new version: "));
    const QString download = Lang::tr(QStringLiteral("Please click the link below to download."));
    switch (result) {
    case UpdateAuto:
        showTexts(QString(), found + lastVersion + QStringLiteral(", ") + Lang::tr(QStringLiteral("Update now?")),
                  QString(), true);
        break;
    case UpdateManual:
        showTexts(found + lastVersion, download, linkHtml(dnlLink), false);
        break;
    case UpdateNone:
        showTexts(QString(), Lang::tr(QStringLiteral("It's the latest version, no updates required.")), QString(),
                  false);
        break;
    case UpdateFailed:
        showTexts(QString(), Lang::tr(QStringLiteral("Update check failed.")), QString(), false);
        break;
    default:
        break;
    }
}

void UpdateDialog::accept()
{
    const QStringList args{updaterLink, Config::curVersion.ToString(), newVersion.ToString(),
                           Config::readGlobalParam(QStringLiteral("userLang"))};
    // The Updater takes plain http only from this machine; never hand it another link.
    if (UpdateLink::allowed(updaterLink) && startDetached(updaterProgram, args)) {
        QDialog::accept();
        closeAllWindows();
        return;
    }
    showTexts(Lang::tr(QStringLiteral("Automatic update failed.")),
              Lang::tr(QStringLiteral("Please click the link below to download.")), linkHtml(downloadLink), false);
}
