#pragma once

#include <QDomDocument>
#include <QList>
#include <QString>

struct LangFile
{
    QString code;
    QString name;
    QString info;
};

// Translation of user-visible texts. English is written in the code; a
// language document loaded at start-up maps it to another language.
class Lang
{
public:
    static QDomDocument doc;
    static QString code;

    // Chooses the code from the settings (or the system locale) and loads it.
    static void init();
    // Loads the document of a code; falls back to the built-in English one.
    static bool load(QString const& langCode);

    static QString tr(QString const& src);
    static QString tr(QString const& src, QString const& cls);

    static QString getLangHead(QString const& tag);
    static QString getLangHead(QDomDocument const& d, QString const& tag);
    static QList<LangFile> getLangFileList();

    static QString languageDir();
    static QString builtinDocument();
    // The code for a system locale: "en-US", "zh-CN" or "zh-TW".
    static QString codeForLocale(class QLocale const& locale);

private:
    static bool parseFile(QString const& path, QDomDocument& out);
};
