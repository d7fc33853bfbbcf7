#include "app/statustexts.h"

#include "core/config.h"
#include "core/lang.h"

#include <algorithm>

namespace {

QString code(const char* letter, int state, int err)
{
    return QLatin1String(letter) + QString::number(state * 256 + err, 16);
}

} // namespace

int StatusTexts::initProgress(int stage, int n)
{
    switch (stage) {
    case 0:
        return 10;
    case 1:
        return std::min(10 + n / 60, 70);
    case 2:
        return 70;
    case 4:
        return std::min(70 + n / 5, 90);
    case 5:
        return 90;
    default:
        return -1;
    }
}

QString StatusTexts::initCode(int stage, int err)
{
    return code("I-", stage, err);
}

QString StatusTexts::smpCode(int state, int err)
{
    return code("S-", state, err);
}

QString StatusTexts::initErrorText(int stage, int err)
{
    return Lang::tr(QStringLiteral("An error occurred")) + QStringLiteral(": ") + initCode(stage, err);
}

QString StatusTexts::smpErrorText(int smpMode, int state, int err)
{
    if (smpMode == 1 && (err == 3 || err == 14))
        return Lang::tr(QStringLiteral("Cannot keep up with this sample rate.")) + QStringLiteral("\r\n") +
               Lang::tr(QStringLiteral("Please try to reduce the sample rate."));
    if (err == 4)
        return Lang::tr(QStringLiteral("Out of memory, Sample abort."));
    return Lang::tr(QStringLiteral("An error occurred")) + QStringLiteral(": ") + smpCode(state, err);
}

QString StatusTexts::zeroSmpCntText(int n)
{
    return QString::number(n) + QLatin1Char('(') + Config::curVersion.ToString() + QLatin1Char(')');
}

QString StatusTexts::modelTitle(const QString& model, bool connected)
{
    return model + QLatin1Char(' ') +
           Lang::tr(connected ? QStringLiteral("Connected") : QStringLiteral("Unconnected")) +
           QStringLiteral(" - VormelTAV");
}

QString StatusTexts::fileTitle(const QString& path)
{
    return path + QStringLiteral(" - VormelTAV");
}
