#include "updater/updargs.h"

#include "core/updatelink.h"

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
    return UpdateLink::allowed(link);
}

QString UpdArgs::platformWord()
{
    return UpdateLink::platformWord();
}

QString UpdArgs::versionFolder(Version const& v)
{
    return QLatin1Char('/') + v.ToString() + QLatin1Char('/') + platformWord() + UpdateLink::bitWidth();
}
