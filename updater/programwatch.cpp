#include "updater/programwatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

bool ProgramWatch::isRunning(QString const& path)
{
#if defined(Q_OS_LINUX)
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return false;
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        const QString exe = QFileInfo(QStringLiteral("/proc/") + pid + QStringLiteral("/exe")).symLinkTarget();
        if (exe == target)
            return true;
    }
    return false;
#else
    Q_UNUSED(path);
    return false;
#endif
}
