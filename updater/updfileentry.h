#pragma once

#include "core/version.h"

#include <QByteArray>
#include <QString>

// One file of the new version to download: its path below the version's
// folder ("/dir/name"), its announced MD5 digest and the version it last changed in.
struct UpdFileEntry
{
    QString path;
    QByteArray md5;
    Version ver;
};
