#include "updater/updfilelist.h"

#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFileInfo>

UpdFileList::UpdFileList(Version const& curVersion) : cur_(curVersion) {}

bool UpdFileList::parse(QByteArray const& body)
{
    fileList.clear();
    deleteList.clear();
    totalBytes = 0;
    QDomDocument doc;
    if (!doc.setContent(body, false))
        return false;
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("tav"))
        return false;
    if (!getFileList(root, QStringLiteral("/"))) {
        fileList.clear();
        deleteList.clear();
        totalBytes = 0;
        return false;
    }
    return true;
}

bool UpdFileList::getFileList(QDomNode const& node, QString const& path)
{
    for (QDomNode n = node.firstChild(); !n.isNull(); n = n.nextSibling()) {
        const QDomElement e = n.toElement();
        if (e.isNull())
            continue;
        const QString tag = e.tagName();
        const QString name = e.attribute(QStringLiteral("name"));
        if (name.isEmpty())
            continue;
        const bool isFile = tag == QLatin1String("file");
        const bool isDir = tag == QLatin1String("dir");
        if (!isFile && !isDir)
            continue;
        if (!isSafeName(name))
            return false;
        if (isDir) {
            if (!getFileList(e, path + name + QLatin1Char('/')))
                return false;
            continue;
        }
        bool ok = false;
        qint64 len = e.attribute(QStringLiteral("len")).toLongLong(&ok, 10);
        if (!ok)
            len = 0;
        if (len == -1) {
            deleteList.append(path + name);
        } else if (len >= 1) {
            UpdFileEntry entry{path + name, StringToMd5(e.attribute(QStringLiteral("md5"))),
                               Version(e.attribute(QStringLiteral("ver")))};
            if (entry.ver > cur_) {
                fileList.append(entry);
                totalBytes += len;
            }
        }
    }
    return true;
}

bool UpdFileList::deletionsInside(QString const& appPath, QString const& root) const
{
    for (const QString& p : deleteList) {
        if (!resolvesInside(appPath + p, root))
            return false;
    }
    return true;
}

QByteArray UpdFileList::StringToMd5(QString const& text)
{
    QByteArray out(16, '\0');
    const QByteArray t = text.toLatin1();
    for (int i = 0; i < 32 && i < t.size(); ++i) {
        const char c = t.at(i);
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            break;
        if (i % 2 == 0)
            out[i / 2] = char(v * 16);
        else
            out[i / 2] = char(quint8(out.at(i / 2)) + v);
    }
    return out;
}

bool UpdFileList::isSafeName(QString const& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() == 0)
            return false;
    }
    return true;
}

bool UpdFileList::resolvesInside(QString const& path, QString const& root)
{
    const QString base = QFileInfo(root).canonicalFilePath();
    if (base.isEmpty())
        return false;
    QString probe = QFileInfo(path).absoluteFilePath();
    // A missing path is judged by the deepest part of it that exists.
    while (!QFileInfo::exists(probe)) {
        const QString up = QFileInfo(probe).absolutePath();
        if (up == probe)
            return false;
        probe = up;
    }
    const QString real = QFileInfo(probe).canonicalFilePath();
    if (real.isEmpty())
        return false;
    return real == base || real.startsWith(base == QLatin1String("/") ? base : base + QLatin1Char('/'));
}
