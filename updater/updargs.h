#pragma once

#include "core/version.h"

#include <QString>
#include <QStringList>

// The updater's command line: link, current version, new version, language code.
class UpdArgs
{
public:
    // arguments as QCoreApplication::arguments() gives them (index 0 the program).
    explicit UpdArgs(QStringList const& arguments);

    bool accepted() const { return accepted_; }
    // The base link; once accepted, the new version's folder on the server.
    QString url;
    Version curVersion;
    Version newVersion;
    QString langCode;  // "en-US" when not given

    // The link must start with "http"; only "https" may leave this machine,
    // plain "http" is allowed to a loopback host alone.
    static bool linkAllowed(QString const& link);
    // The folder of a version's files below the base link: "/3.5.0/linux64".
    static QString versionFolder(Version const& v);
    static QString platformWord();

private:
    bool accepted_ = false;
};
