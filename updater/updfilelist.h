#pragma once

#include "updater/updfileentry.h"

#include <QByteArray>
#include <QDomNode>
#include <QList>
#include <QStringList>

// The list of a new version's files ("files.xml"): the newer files to fetch
// and the installed files to remove. Names come from the network, so every
// name is checked before it can become a path.
class UpdFileList
{
public:
    explicit UpdFileList(Version const& curVersion);

    // Reads the list; false when it is not XML, its root is not "tav", or it
    // names a file or folder that is not a plain name.
    bool parse(QByteArray const& body);
    // Every deletion must stay inside root once symbolic links are resolved.
    bool deletionsInside(QString const& appPath, QString const& root) const;

    static QByteArray StringToMd5(QString const& text);
    // A single path component: not ".", "..", and no "/", "\" or NUL.
    static bool isSafeName(QString const& name);
    // Whether path, resolved canonically (its deepest existing part when it
    // does not exist yet), lies inside root.
    static bool resolvesInside(QString const& path, QString const& root);

    QList<UpdFileEntry> fileList;
    QStringList deleteList;
    qint64 totalBytes = 0;

private:
    bool getFileList(QDomNode const& node, QString const& path);

    Version cur_;
};
