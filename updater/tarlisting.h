#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One member of a tar archive as the verbose listing shows it.
struct TarMember
{
    char type = '?';  // '-' file, 'd' folder, 'l' symbolic link, 'h' hard link, others refused
    QString name;
    QString link;  // target of a link, else empty
};

// Lists an archive with the system's tar before anything is unpacked, so that
// a member that would land outside the target folder is refused up front.
class TarListing
{
public:
    // Runs "tar -tvf" on archive (C-quoted names, numeric owners); false when
    // tar fails or prints a line that cannot be read.
    static bool list(QString const& archive, QList<TarMember>& out, QString* error = nullptr);
    static bool parseOutput(QByteArray const& output, QList<TarMember>& out);
    static bool parseLine(QByteArray const& line, TarMember& out);
    // Empty when every member stays inside the target folder, else the reason.
    static QString check(QList<TarMember> const& members);

    // The tar options for a listing whose lines parseLine reads.
    static QStringList listArguments(QString const& archive);
};
