#include "updater/updinstaller.h"

#include "updater/tarlisting.h"
#include "updater/updfilelist.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Kind { Absent, Dir, Other };

// Links are never followed: a link is moved as a link.
Kind kindOf(QString const& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Kind::Absent;
    return S_ISDIR(st.st_mode) ? Kind::Dir : Kind::Other;
}

bool renamePath(QString const& from, QString const& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool readLink(QByteArray const& path, QByteArray& target)
{
    char buf[4096];
    const ssize_t n = ::readlink(path.constData(), buf, sizeof buf);
    if (n <= 0 || size_t(n) >= sizeof buf)
        return false;
    target = QByteArray(buf, int(n));
    return true;
}

bool within(QByteArray const& path, QByteArray const& base)
{
    return path == base || path.startsWith(base + '/');
}

// Follows the link at path (whose folder is a real path below base) the way
// the system would, and whether every step stays inside base. A part of the
// target that does not exist is taken by its text; after it, a ".." proves
// nothing, and neither does an absolute target, a loop or an unreadable step.
bool linkStaysInside(QByteArray const& path, QByteArray const& base)
{
    QByteArray target;
    if (!readLink(path, target) || target.startsWith('/'))
        return false;
    QByteArray cur = path.left(path.lastIndexOf('/'));
    QList<QByteArray> todo = target.split('/');
    bool missing = false;
    int hops = 0;
    while (!todo.isEmpty()) {
        const QByteArray c = todo.takeFirst();
        if (c.isEmpty() || c == ".")
            continue;
        if (c == "..") {
            if (missing)
                return false;
            cur = cur.left(cur.lastIndexOf('/'));
            if (!within(cur, base))
                return false;
            continue;
        }
        const QByteArray next = cur + '/' + c;
        if (missing) {
            cur = next;
            continue;
        }
        struct stat st;
        if (::lstat(next.constData(), &st) != 0) {
            if (errno != ENOENT)
                return false;
            missing = true;
            cur = next;
        } else if (S_ISLNK(st.st_mode)) {
            QByteArray more;
            if (++hops > 40 || !readLink(next, more) || more.startsWith('/'))
                return false;
            todo = more.split('/') + todo;
        } else {
            cur = next;
        }
    }
    return within(cur, base);
}

// The first link below dir (links themselves are not entered) whose real
// path leaves base, relative to base; empty when there is none.
QString linkLeaving(QByteArray const& dir, QByteArray const& base)
{
    const QStringList names = QDir(QFile::decodeName(dir))
                                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QByteArray path = dir + '/' + QFile::encodeName(name);
        struct stat st;
        if (::lstat(path.constData(), &st) != 0)
            return QFile::decodeName(path.mid(base.size() + 1));
        if (S_ISLNK(st.st_mode)) {
            if (!linkStaysInside(path, base))
                return QFile::decodeName(path.mid(base.size() + 1));
        } else if (S_ISDIR(st.st_mode)) {
            const QString inner = linkLeaving(path, base);
            if (!inner.isEmpty())
                return inner;
        }
    }
    return QString();
}

}  // namespace

int UpdInstaller::saveToTempPath(QString const& tempPath, UpdFileEntry const& entry, QByteArray const& data)
{
    if (QCryptographicHash::hash(data, QCryptographicHash::Md5) != entry.md5)
        return 4;
    const QString target = tempPath + entry.path;
    const QString dir = QFileInfo(target).absolutePath();
    if (!QFileInfo::exists(dir))
        QDir(QDir::rootPath()).mkpath(dir);
    QFile f(target);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 5;
    const qint64 n = f.write(data);
    f.close();
    return n == data.size() && f.error() == QFileDevice::NoError ? 0 : 5;
}

int UpdInstaller::installArchive(QString const& archive, QString const& root, QString* error)
{
    QList<TarMember> members;
    if (!TarListing::list(archive, members, error))
        return 7;
    const QString refused = TarListing::check(members);
    if (!refused.isEmpty()) {
        if (error)
            *error = refused;
        return 7;
    }

    // Staging and backup live inside the target so that every move is a rename
    // on one file system.
    QTemporaryDir staging(root + QStringLiteral("/.tavupd-new-XXXXXX"));
    QTemporaryDir backup(root + QStringLiteral("/.tavupd-old-XXXXXX"));
    if (!staging.isValid() || !backup.isValid()) {
        if (error)
            *error = QStringLiteral("cannot create a staging folder in ") + root;
        return 7;
    }

    QProcess tar;
    tar.start(QStringLiteral("tar"),
              {QStringLiteral("-xf"), archive, QStringLiteral("-C"), staging.path()});
    const bool started = tar.waitForStarted(-1);
    if (started)
        tar.waitForFinished(-1);
    if (!started || tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("tar failed: ") + QString::fromLocal8Bit(tar.readAllStandardError()).trimmed();
        return 7;
    }

    // The listing judges link targets by their text; links that run through
    // other links can still lead out, so every unpacked link is followed for
    // real before anything is moved.
    const QByteArray base = QFile::encodeName(QFileInfo(staging.path()).canonicalFilePath());
    const QString leaving = base.isEmpty() ? QStringLiteral(".") : linkLeaving(base, base);
    if (!leaving.isEmpty()) {
        if (error)
            *error = QStringLiteral("link may lead outside the installation: ") + leaving;
        return 7;
    }

    QList<Moved> moved;
    QStringList madeDirs;
    if (!moveTree(staging.path(), QFileInfo(root).absoluteFilePath(), backup.path(), moved, madeDirs, error)) {
        rollBack(moved, madeDirs);
        return 7;
    }
    return 0;
}

bool UpdInstaller::moveTree(QString const& from, QString const& to, QString const& backup,
                            QList<Moved>& moved, QStringList& madeDirs, QString* error)
{
    const QStringList names =
        QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString src = from + QLatin1Char('/') + name;
        const QString dst = to + QLatin1Char('/') + name;
        const QString bak = backup + QLatin1Char('/') + name;
        const Kind ks = kindOf(src);
        const Kind kd = kindOf(dst);
        if (ks == Kind::Dir) {
            if (kd == Kind::Absent) {
                if (!QDir().mkdir(dst)) {
                    if (error)
                        *error = QStringLiteral("cannot create ") + dst;
                    return false;
                }
                madeDirs.append(dst);
            } else if (kd != Kind::Dir) {
                if (error)
                    *error = QStringLiteral("a folder would replace a file: ") + dst;
                return false;
            }
            if (!moveTree(src, dst, bak, moved, madeDirs, error))
                return false;
            continue;
        }
        if (kd == Kind::Dir) {
            if (error)
                *error = QStringLiteral("a file would replace a folder: ") + dst;
            return false;
        }
        Moved m{dst, src, QString()};
        if (kd == Kind::Other) {
            if (!QDir().mkpath(backup) || !renamePath(dst, bak)) {
                if (error)
                    *error = QStringLiteral("cannot set aside ") + dst;
                return false;
            }
            m.backup = bak;
        }
        if (!renamePath(src, dst)) {
            if (!m.backup.isEmpty())
                renamePath(bak, dst);
            if (error)
                *error = QStringLiteral("cannot move into place: ") + dst;
            return false;
        }
        moved.append(m);
    }
    return true;
}

void UpdInstaller::rollBack(QList<Moved> const& moved, QStringList const& madeDirs)
{
    for (int i = moved.size() - 1; i >= 0; --i) {
        const Moved& m = moved.at(i);
        renamePath(m.target, m.staged);
        if (!m.backup.isEmpty())
            renamePath(m.backup, m.target);
    }
    for (int i = madeDirs.size() - 1; i >= 0; --i)
        QDir().rmdir(madeDirs.at(i));
}

int UpdInstaller::deleteOldFile(QString const& appPath, QStringList const& deleteList, QString const& root)
{
    for (const QString& p : deleteList) {
        const QFileInfo fi(appPath + p);
        if (!fi.exists())
            continue;
        if (!UpdFileList::resolvesInside(fi.absoluteFilePath(), root))
            return 8;
        if (!QFile::remove(fi.absoluteFilePath()))
            return 8;
    }
    return 0;
}
