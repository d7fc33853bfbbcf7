#include "core/version.h"

#include <QStringList>
#include <tuple>

Version::Version(QString const& text)
{
    parse(text);
}

Version& Version::operator=(QString const& text)
{
    major = minor = patch = build = 0;
    parse(text);
    return *this;
}

void Version::parse(QString const& text)
{
    const QStringList parts = text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    qint32* fields[4] = {&major, &minor, &patch, &build};
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        bool ok = false;
        const int v = parts[i].toInt(&ok, 10);
        *fields[i] = ok ? v : 0;
    }
}

QString Version::ToString() const
{
    return QString::number(major) + QLatin1Char('.') + QString::number(minor) + QLatin1Char('.')
           + QString::number(patch);
}

bool Version::operator==(Version const& o) const
{
    return major == o.major && minor == o.minor && patch == o.patch;
}

bool Version::operator<(Version const& o) const
{
    return std::tie(major, minor, patch) < std::tie(o.major, o.minor, o.patch);
}
