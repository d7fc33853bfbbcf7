#pragma once

// Small helpers shared by the updater tests: files, archives made with the
// real tar, and a PATH that puts a stand-in tar first.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace updtest {

inline bool writeFile(QString const& path, QByteArray const& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(data) == data.size();
}

inline QByteArray readFile(QString const& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

inline bool writeScript(QString const& path, QByteArray const& text)
{
    if (!writeFile(path, text))
        return false;
    return QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

inline QString md5Hex(QByteArray const& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// Runs a shell command in dir; true on exit code 0.
inline bool sh(QString const& dir, QString const& command)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Puts dir first on PATH for the lifetime of the object.
class PathFirst
{
public:
    explicit PathFirst(QString const& dir) : old_(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(dir) + ':' + old_);
    }
    ~PathFirst() { qputenv("PATH", old_); }
    PathFirst(PathFirst const&) = delete;
    PathFirst& operator=(PathFirst const&) = delete;

private:
    QByteArray old_;
};

// A tar that records its arguments to log, extracts (when asked) only the
// first member through the real tar, and then fails: a half-done unpack.
inline bool makeFailingTar(QString const& dir, QString const& log)
{
    const QByteArray script =
        "#!/bin/sh\n"
        "echo \"$*\" >> '" + QFile::encodeName(log) + "'\n"
        "case \"$1\" in\n"
        "  -xf) first=$(/usr/bin/tar -tf \"$2\" | grep -v '/$' | head -n 1)\n"
        "       /usr/bin/tar -xf \"$2\" -C \"$4\" \"$first\"; exit 2 ;;\n"
        "  *) exec /usr/bin/tar \"$@\" ;;\n"
        "esac\n";
    return writeScript(dir + QStringLiteral("/tar"), script);
}

// Every path below dir (folders end with "/"), sorted, with file contents,
// to compare a tree before and after.
inline QStringList snapshot(QString const& dir)
{
    QStringList out;
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("find . -mindepth 1 | LC_ALL=C sort")});
    p.waitForFinished(-1);
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const QString rel = QString::fromLocal8Bit(line.mid(2));  // without "./"
        const QFileInfo fi(dir + QLatin1Char('/') + rel);
        if (fi.isSymLink())
            out << rel + QStringLiteral(" -> ") + fi.symLinkTarget();
        else if (fi.isDir())
            out << rel + QLatin1Char('/');
        else
            out << rel + QStringLiteral(" = ") + QString::fromLatin1(readFile(fi.filePath()));
    }
    return out;
}

}  // namespace updtest
