#pragma once
// What the update check and the Updater must agree on: the platform folder of
// this build on the update server, and which links an update may come from.
// Header only, so that both programs share it without a common library; the
// includer links Qt Network.

#include <QHostAddress>
#include <QString>
#include <QUrl>

namespace UpdateLink {

// The operating-system word of this build ("linux", "mac" or "win").
inline QString platformWord()
{
#if defined(Q_OS_MACOS)
    return QStringLiteral("mac");
#elif defined(Q_OS_WIN)
    return QStringLiteral("win");
#else
    return QStringLiteral("linux");
#endif
}

// The program's word size in bits, "64" or "32".
inline QString bitWidth()
{
    return QString::number(QT_POINTER_SIZE * 8);
}

// A link an update may be fetched from: it starts with "http" (case-sensitive),
// and only "https" may leave this machine; plain "http" goes to a loopback
// host alone.
inline bool allowed(QString const& link)
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

} // namespace UpdateLink
