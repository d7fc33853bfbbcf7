#pragma once

#include <QSaveFile>

// Puts a QSaveFile in place only when every byte reached the file. Qt 5's
// commit() flushes the last buffered bytes itself but renames the file over
// the old one even when that flush fails (a disk that is full), so the flush
// and the error state are checked first; on any failure the old file stays.
inline bool commitWholeFile(QSaveFile& f)
{
    if (!f.flush() || f.error() != QFileDevice::NoError) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

// Writes bytes as the whole new content of path, beside it and renamed over
// it: a failed write never leaves a cut file and keeps the old one.
inline bool writeWholeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return commitWholeFile(f);
}
