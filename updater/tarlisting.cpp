#include "updater/tarlisting.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>

QStringList TarListing::listArguments(QString const& archive)
{
    return {QStringLiteral("--numeric-owner"), QStringLiteral("--quoting-style=c"),
            QStringLiteral("-tvf"), archive};
}

bool TarListing::list(QString const& archive, QList<TarMember>& out, QString* error)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("tar"), listArguments(archive));
    const bool started = p.waitForStarted(-1);
    if (started)
        p.waitForFinished(-1);
    if (!started || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("tar could not list the archive: ")
                     + QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        return false;
    }
    if (!parseOutput(p.readAllStandardOutput(), out)) {
        if (error)
            *error = QStringLiteral("unreadable archive listing");
        return false;
    }
    return true;
}

bool TarListing::parseOutput(QByteArray const& output, QList<TarMember>& out)
{
    out.clear();
    for (const QByteArray& line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        TarMember m;
        if (!parseLine(line, m))
            return false;
        out.append(m);
    }
    return true;
}

// Reads a C-quoted string starting at the opening quote at pos; pos ends
// after the closing quote.
static bool unquote(QByteArray const& s, int& pos, QByteArray& out)
{
    if (pos >= s.size() || s.at(pos) != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        const char c = s.at(pos++);
        if (c == '"')
            return true;
        if (c != '\\') {
            out.append(c);
            continue;
        }
        if (pos >= s.size())
            return false;
        const char e = s.at(pos++);
        switch (e) {
        case 'a': out.append('\a'); break;
        case 'b': out.append('\b'); break;
        case 'f': out.append('\f'); break;
        case 'n': out.append('\n'); break;
        case 'r': out.append('\r'); break;
        case 't': out.append('\t'); break;
        case 'v': out.append('\v'); break;
        case '\\': case '"': case '?': case '\'': out.append(e); break;
        default:
            if (e >= '0' && e <= '7') {
                int v = e - '0';
                for (int k = 0; k < 2 && pos < s.size() && s.at(pos) >= '0' && s.at(pos) <= '7'; ++k)
                    v = v * 8 + (s.at(pos++) - '0');
                out.append(char(v));
            } else {
                return false;
            }
        }
    }
    return false;
}

bool TarListing::parseLine(QByteArray const& line, TarMember& out)
{
    if (line.isEmpty())
        return false;
    out = TarMember();
    out.type = line.at(0);
    // With numeric owners nothing before the name holds a quote.
    int pos = line.indexOf('"');
    QByteArray name;
    if (pos < 0 || !unquote(line, pos, name))
        return false;
    out.name = QFile::decodeName(name);
    const QByteArray rest = line.mid(pos);
    if (rest.isEmpty())
        return true;
    int lp;
    if (rest.startsWith(" -> \""))
        lp = 4;
    else if (rest.startsWith(" link to \""))
        lp = 9;
    else
        return false;
    QByteArray target;
    if (!unquote(rest, lp, target) || lp != rest.size())
        return false;
    out.link = QFile::decodeName(target);
    return true;
}

// The components of a relative name without "." parts; false for ".." parts.
static bool components(QString const& name, QStringList& out)
{
    out.clear();
    for (const QString& c : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (c == QLatin1String("."))
            continue;
        if (c == QLatin1String(".."))
            return false;
        out.append(c);
    }
    return true;
}

QString TarListing::check(QList<TarMember> const& members)
{
    // Links are resolved by their text; a ".." that steps back out of another
    // link could lead elsewhere than the text says, so that is refused too.
    QSet<QString> links;
    for (const TarMember& m : members) {
        QStringList c;
        if (m.type == 'l' && components(m.name, c))
            links.insert(c.join(QLatin1Char('/')));
    }
    for (const TarMember& m : members) {
        if (m.type != '-' && m.type != 'd' && m.type != 'l' && m.type != 'h')
            return QStringLiteral("unsupported member type: ") + m.name;
        if (m.name.isEmpty() || m.name.startsWith(QLatin1Char('/')))
            return QStringLiteral("absolute member: ") + m.name;
        QStringList parts;
        if (!components(m.name, parts))
            return QStringLiteral("member leaves the folder: ") + m.name;
        if (parts.isEmpty() && m.type != 'd')
            return QStringLiteral("member without a name");
        if (m.type == 'h') {
            QStringList t;
            if (m.link.isEmpty() || m.link.startsWith(QLatin1Char('/')) || !components(m.link, t))
                return QStringLiteral("hard link leaves the folder: ") + m.name;
        } else if (m.type == 'l') {
            if (m.link.isEmpty() || m.link.startsWith(QLatin1Char('/')))
                return QStringLiteral("absolute link: ") + m.name;
            QStringList at = parts;
            at.removeLast();
            for (const QString& c : m.link.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
                if (c == QLatin1String("."))
                    continue;
                if (c == QLatin1String("..")) {
                    if (at.isEmpty() || links.contains(at.join(QLatin1Char('/'))))
                        return QStringLiteral("link points outside: ") + m.name;
                    at.removeLast();
                } else {
                    at.append(c);
                }
            }
        }
    }
    return QString();
}
