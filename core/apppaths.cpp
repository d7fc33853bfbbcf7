#include "core/apppaths.h"

#include <QCoreApplication>

QString AppPaths::override_;

QString AppPaths::resources()
{
    if (!override_.isEmpty())
        return override_.endsWith(QLatin1Char('/')) ? override_ : override_ + QLatin1Char('/');
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../Resources/");
}

void AppPaths::setResources(QString const& dir)
{
    override_ = dir;
}
