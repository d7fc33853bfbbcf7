#include "updater/updargs.h"

#include <QHostAddress>
#include <QUrl>

UpdArgs::UpdArgs(QStringList const& a)
{
    if (a.size() >= 2)
        url = a.at(1);
    if (a.size() >= 3)
        curVersion = a.at(2);
    if (a.size() >= 4)
        newVersion = a.at(3);
    langCode = a.size() >= 5 ? a.at(4) : QStringLiteral("en-US");

    accepted_ = url.indexOf(QLatin1String("http"), 0, Qt::CaseSensitive) == 0
                && curVersion >= Version(QStringLiteral("3.0.0")) && newVersion > curVersion;
    if (!accepted_)
        return;
    const QString folder = url + versionFolder(newVersion);
    // Judge the link that will be fetched, parsed as the requests parse it.
    if (!linkAllowed(folder)) {
        accepted_ = false;
        return;
    }
    url = folder;
}

bool UpdArgs::linkAllowed(QString const& link)
{
    if (link.indexOf(QLatin1String("http"), 0, Qt::CaseSensitive) != 0)
        return false;
    const QUrl u(link, QUrl::TolerantMode);
    if (!u.isValid() || u.host().isEmpty())
        return false;
    if (u.scheme() == QLatin1String("https"))
        return true;
    if (u.scheme() != QLatin1String("http"))
        return false;
    const QString host = u.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress addr;
    return addr.setAddress(host) && addr.isLoopback();
}

QString UpdArgs::platformWord()
{
#if defined(Q_OS_MACOS)
    return QStringLiteral("mac");
#elif defined(Q_OS_WIN)
    return QStringLiteral("win");
#else
    return QStringLiteral("linux");
#endif
}

QString UpdArgs::versionFolder(Version const& v)
{
    return QLatin1Char('/') + v.ToString() + QLatin1Char('/') + platformWord()
           + QString::number(QT_POINTER_SIZE * 8);
}
