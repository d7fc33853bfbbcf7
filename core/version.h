#pragma once

#include <QString>

// A program version: parsed from dotted text, printed and compared on
// major.minor.patch only (the build number is carried but never shown).
class Version
{
public:
    Version() = default;
    explicit Version(QString const& text);
    Version& operator=(QString const& text);

    QString ToString() const;

    bool operator==(Version const& o) const;
    bool operator!=(Version const& o) const { return !(*this == o); }
    bool operator<(Version const& o) const;
    bool operator<=(Version const& o) const { return !(o < *this); }
    bool operator>(Version const& o) const { return o < *this; }
    bool operator>=(Version const& o) const { return !(*this < o); }

    qint32 major = 0;
    qint32 minor = 0;
    qint32 patch = 0;
    qint32 build = 0;

private:
    void parse(QString const& text);
};
