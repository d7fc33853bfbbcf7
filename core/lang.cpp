#include "core/lang.h"

#include "core/apppaths.h"

#include <QDir>
#include <QFile>
#include <QLocale>

QDomDocument Lang::doc;
QString Lang::code;

QString Lang::builtinDocument()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><language><head><code>en-US</code>"
                          "<name>English</name></head><tav/><analyzers/></language>");
}

QString Lang::languageDir()
{
    return AppPaths::resources() + QStringLiteral("Language/");
}

QString Lang::codeForLocale(QLocale const& locale)
{
    if (locale.language() != QLocale::Chinese)
        return QStringLiteral("en-US");
    return locale.country() == QLocale::Taiwan ? QStringLiteral("zh-TW") : QStringLiteral("zh-CN");
}

bool Lang::parseFile(QString const& path, QDomDocument& out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QDomDocument d;
    if (!d.setContent(&f))
        return false;
    out = d;
    return true;
}

bool Lang::load(QString const& langCode)
{
    code = langCode;
    if (langCode != QLatin1String("en-US")) {
        QDomDocument d;
        if (parseFile(languageDir() + langCode + QStringLiteral(".xml"), d)) {
            doc = d;
            return true;
        }
    }
    doc.setContent(builtinDocument());
    return langCode == QLatin1String("en-US");
}

// The n-th child element of the root, or a null element.
static QDomElement section(QDomDocument const& d, int n)
{
    QDomElement e = d.documentElement().firstChildElement();
    for (int i = 0; i < n && !e.isNull(); ++i)
        e = e.nextSiblingElement();
    return e;
}

QString Lang::tr(QString const& src)
{
    const QString key = src.toLower();
    const QDomElement texts = section(doc, 1);
    for (QDomElement e = texts.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.attribute(QStringLiteral("src")).toLower() == key) {
            const QString t = e.text();
            return t.isEmpty() ? src : t;
        }
    }
    return src;
}

QString Lang::tr(QString const& src, QString const& cls)
{
    int n = 0;
    while (n < src.size()) {
        const QChar c = src.at(n);
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char(' '))
            break;
        ++n;
    }
    const QString prefix = src.left(n);
    const QString rest = src.mid(n).toLower();
    const QDomElement texts = section(doc, 2);
    for (QDomElement e = texts.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.attribute(QStringLiteral("class")) == cls && e.attribute(QStringLiteral("src")).toLower() == rest) {
            const QString t = e.text();
            return t.isEmpty() ? src : prefix + t;
        }
    }
    return src;
}

QString Lang::getLangHead(QString const& tag)
{
    return getLangHead(doc, tag);
}

QString Lang::getLangHead(QDomDocument const& d, QString const& tag)
{
    const QDomElement head = section(d, 0);
    for (QDomElement e = head.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.tagName() == tag)
            return e.text();
    }
    return QString();
}

QList<LangFile> Lang::getLangFileList()
{
    QList<LangFile> list;
    list.append({QStringLiteral("en-US"), QStringLiteral("English"),
                  QStringLiteral("You need to restart to make the language settings take effect!")});
    const QDir dir(languageDir());
    const QStringList files =
        dir.entryList(QStringList{QStringLiteral("*.xml")}, QDir::Files, QDir::NoSort);
    for (const QString& name : files) {
        QDomDocument d;
        if (!parseFile(dir.filePath(name), d))
            continue;
        const QString c = getLangHead(d, QStringLiteral("code"));
        if (c + QStringLiteral(".xml") != name)
            continue;
        LangFile lf{c, getLangHead(d, QStringLiteral("name")), getLangHead(d, QStringLiteral("info"))};
        const QString provider = getLangHead(d, QStringLiteral("provider"));
        if (!provider.isEmpty())
            lf.info += QStringLiteral("\r\n") + provider;
        if (c == QLatin1String("zh-CN") && list.size() >= 1)
            list.insert(1, lf);
        else if (c == QLatin1String("zh-TW") && list.size() >= 2)
            list.insert(2, lf);
        else
            list.append(lf);
    }
    return list;
}
