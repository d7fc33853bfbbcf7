#pragma once

#include "core/apppaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

// A private home, data location and resource tree for one test, so no test
// reads or writes the real user's settings.
class TempEnv
{
public:
    TempEnv()
    {
        qputenv("HOME", dir.filePath(QStringLiteral("home")).toUtf8());
        qputenv("XDG_DATA_HOME", dataHome().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
        QDir().mkpath(dir.filePath(QStringLiteral("home")));
        QDir().mkpath(resources() + QStringLiteral("Language"));
        QDir().mkpath(resources() + QStringLiteral("Analyzer"));
        AppPaths::setResources(resources());
    }
    ~TempEnv() { AppPaths::setResources(QString()); }

    QString path(QString const& name) const { return dir.filePath(name); }
    QString dataHome() const { return dir.filePath(QStringLiteral("data")); }
    QString settingsFile() const { return dataHome() + QStringLiteral("/vormel/tav.config"); }
    QString resources() const { return dir.filePath(QStringLiteral("Resources")) + QLatin1Char('/'); }

private:
    QTemporaryDir dir;
};
