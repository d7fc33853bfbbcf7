#include "files/checkupdate.h"

#include "core/config.h"
#include "core/lang.h"
#include "core/updatelink.h"
#include "device/devbase.h"
#include "files/updatedialog.h"

#include <QDomDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSysInfo>
#include <QTimerEvent>
#include <QUrl>
#include <QUuid>
#include <QWidget>

#ifndef TAV_UPDATE_SERVER
#define TAV_UPDATE_SERVER "https://www.vormel.example"
#endif

QString CheckUpdate::server_ = QStringLiteral(TAV_UPDATE_SERVER);

QString CheckUpdate::updateServer()
{
    return server_;
}

void CheckUpdate::setUpdateServer(const QString& base)
{
    server_ = base.isEmpty() ? QStringLiteral(TAV_UPDATE_SERVER) : base;
}

QString CheckUpdate::changeLogUrl()
{
    return server_ + QStringLiteral("/tav/ulog/") + Lang::code;
}

CheckUpdate::CheckUpdate(QObject* parent)
    : QNetworkAccessManager(parent)
    , dialog(new UpdateDialog(qobject_cast<QWidget*>(parent)))
{
    connect(dialog, &QDialog::rejected, this, &CheckUpdate::slotUpdateCancel);
    connect(this, &QNetworkAccessManager::finished, this, &CheckUpdate::slotReplyFinished);
    // Without a parent window nobody else deletes the dialog.
    if (!dialog->parent())
        connect(this, &QObject::destroyed, dialog, &QObject::deleteLater);
}

QString CheckUpdate::getSystemType()
{
    return UpdateLink::platformWord();
}

bool CheckUpdate::checkDue(const QString& lastUpdate, const QDateTime& now)
{
    QDateTime last = QDateTime::fromString(lastUpdate, QLatin1String(DateFormat));
    if (!last.isValid())
        last = QDateTime::fromTime_t(0);
    return last.daysTo(now) >= 7;
}

void CheckUpdate::autoCheck()
{
    if (!checkDue(Config::readGlobalParam(QStringLiteral("lastUpdate")), QDateTime::currentDateTime()))
        return;
    requestKind = 0;
    startTimer(AutoDelayMs, Qt::CoarseTimer);
}

void CheckUpdate::manualCheck()
{
    dialog->setRequest();
    dialog->show();
    requestKind = 1;
    startTimer(ManualDelayMs, Qt::CoarseTimer);
}

void CheckUpdate::timerEvent(QTimerEvent* event)
{
    killTimer(event->timerId());
    Config::saveGlobalParam(QStringLiteral("lastUpdate"), QDateTime::currentDateTime().toString(dateFormat));
    sendRequest();
}

QByteArray CheckUpdate::requestBody(int kind, int model, const QString& uuidHex)
{
    // Values go in as they are, not percent-encoded: the server reads them so.
    QByteArray body("app=tav");
    auto field = [&body](const char* name, const QString& value) {
        body += QByteArray("&") + name + '=' + value.toUtf8();
    };
    field("ver", Config::curVersion.ToString());
    field("op", QString::number(kind));
    field("bw", UpdateLink::bitWidth());
    field("os", getSystemType());
    field("mod", QString::number(model));
    field("vd", uuidHex);
    const QString zc = Config::readGlobalParam(QStringLiteral("zeroSmpCnt"));
    if (!zc.isEmpty()) {
        field("zc", zc);
        Config::saveGlobalParam(QStringLiteral("zeroSmpCnt"), QString());
    }
    field("osv", QSysInfo::prettyProductName());
    return body;
}

void CheckUpdate::sendRequest()
{
    cancelled = false;
    const QString uuid = QUuid::createUuid().toString().remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(
        QLatin1Char('-'));
    const QByteArray body = requestBody(requestKind, devUsing ? int(devUsing->devModel) : 0, uuid);
    QNetworkRequest req(QUrl(server_ + QStringLiteral("/update")));
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    req.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = post(req, body);
    // The reply is untrusted: stop reading once it is larger than any answer.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > MaxReplyBytes || total > MaxReplyBytes) {
            reply->setProperty("tavTooLarge", true);
            reply->abort();
        }
    });
}

QString CheckUpdate::getUpdateInfo(const QDomNode& node, const QString& key)
{
    for (QDomNode n = node.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (n.isElement() && n.toElement().tagName() == key)
            return n.toElement().text();
    }
    return QString();
}

int CheckUpdate::interpretReply(const QByteArray& body, QString* last, QString* dnlLink, QString* updLink)
{
    last->clear();
    dnlLink->clear();
    updLink->clear();
    QDomDocument doc;
    if (body.size() > MaxReplyBytes || !doc.setContent(body, false))
        return UpdateFailed;
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("tav"))
        return UpdateFailed;
    const QString newest = getUpdateInfo(root, QStringLiteral("last"));
    if (!(Version(newest) > Config::curVersion))
        return UpdateNone;
    *last = newest;
    *dnlLink = getUpdateInfo(root, QStringLiteral("dnllink"));
    const QString support = getUpdateInfo(root, QStringLiteral("support"));
    // Only a link the Updater may fetch from makes an automatic update.
    if (Version(support) <= Config::curVersion && UpdateLink::allowed(getUpdateInfo(root, QStringLiteral("updlink")))) {
        *updLink = getUpdateInfo(root, QStringLiteral("updlink"));
        return UpdateAuto;
    }
    return UpdateManual;
}

void CheckUpdate::slotReplyFinished(QNetworkReply* reply)
{
    // A transfer that failed or timed out, or an oversized answer, is a failed check.
    const bool failed = reply->error() != QNetworkReply::NoError || reply->property("tavTooLarge").toBool();
    const QByteArray body = failed ? QByteArray() : reply->read(MaxReplyBytes + 1);
    reply->deleteLater();
    QString last, dnl, upd;
    const int result = failed ? int(UpdateFailed) : interpretReply(body, &last, &dnl, &upd);
    dialog->setResult(result, last, dnl, upd);
    if ((result == UpdateAuto || result == UpdateManual) && !cancelled)
        dialog->show();
}

void CheckUpdate::slotUpdateCancel()
{
    cancelled = true;
}

// Kept out of the library's shared moc unit, so users of the data file alone
// do not pull in the menu and the device layer.
#include "moc_checkupdate.cpp"
