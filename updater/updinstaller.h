#pragma once

#include "updater/updfileentry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The steps that touch the disk: storing a download, unpacking the archive
// into the installation and removing the files the list marks for deletion.
class UpdInstaller
{
public:
    // 0 stored, 4 the MD5 sum differs (nothing written), 5 writing failed.
    static int saveToTempPath(QString const& tempPath, UpdFileEntry const& entry, QByteArray const& data);

    // Unpacks archive over root: the members are listed and checked first,
    // unpacked into a staging folder beside them, then moved into place; the
    // old files are kept until every move succeeded and put back otherwise.
    // 0 done, 7 refused or failed with the installation unchanged.
    static int installArchive(QString const& archive, QString const& root, QString* error = nullptr);

    // Removes each existing appPath + path in order; 8 at the first removal
    // that fails or that would reach outside root, the rest untried.
    static int deleteOldFile(QString const& appPath, QStringList const& deleteList, QString const& root);

private:
    struct Moved
    {
        QString target;
        QString staged;
        QString backup;  // empty when nothing stood at target
    };
    static bool moveTree(QString const& from, QString const& to, QString const& backup,
                         QList<Moved>& moved, QStringList& madeDirs, QString* error);
    static void rollBack(QList<Moved> const& moved, QStringList const& madeDirs);
};
