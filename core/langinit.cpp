// Lang::init reads the settings, so it lives with Config in tav_core; the rest
// of Lang is shared with the Updater, which has no settings store.
#include "core/config.h"
#include "core/lang.h"

#include <QLocale>

void Lang::init()
{
    QString c = Config::readGlobalParam(QStringLiteral("userLang"));
    if (c.isEmpty()) {
        c = codeForLocale(QLocale::system());
        Config::saveGlobalParam(QStringLiteral("userLang"), c);
    }
    load(c);
}
