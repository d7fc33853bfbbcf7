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
