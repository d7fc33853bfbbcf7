#include "analysis/protocollists.h"

#include "core/config.h"
#include "core/lang.h"

QString ProtocolLists::pluginFile(QString const& protocol)
{
#ifdef Q_OS_MACOS
    return QStringLiteral("lib") + protocol + QStringLiteral(".dylib");
#else
    return QStringLiteral("lib") + protocol + QStringLiteral(".so");
#endif
}

QStringList ProtocolLists::defaultRecent()
{
    return {pluginFile(QStringLiteral("CAN")), pluginFile(QStringLiteral("I2C")), pluginFile(QStringLiteral("SPI")),
            pluginFile(QStringLiteral("UART"))};
}

QStringList ProtocolLists::usedFileNames(QStringList const& rowFiles)
{
    QStringList used;
    for (int i = rowFiles.size() - 1; i >= 0 && used.size() < maxRecent; --i)
        if (!used.contains(rowFiles[i]))
            used.prepend(rowFiles[i]);
    return used;
}

ProtocolLists::Recent ProtocolLists::updateRecent(QStringList recent, QString const& stored, QStringList const& used,
                                                  std::function<QString(QString const&)> const& displayName)
{
    if (recent.isEmpty())
        recent = stored.isEmpty() ? defaultRecent() : stored.split(QLatin1Char(','));
    for (QString const& u : used)
        recent.removeOne(u);
    recent += used;
    Recent out;
    for (QString const& f : recent) {
        const QString name = f.isEmpty() ? QString() : displayName(f);
        if (name.isEmpty())
            continue;
        out.recent << f;
        out.names << name;
    }
    while (out.names.size() > maxRecent) {
        out.names.removeFirst();
        out.recent.removeFirst();
    }
    return out;
}

QVector<int> ProtocolLists::filter(QStringList const& names, QString const& text)
{
    QVector<int> out;
    for (int i = 0; i < names.size(); ++i)
        if (text.isEmpty() || names[i].contains(text, Qt::CaseInsensitive))
            out << i;
    return out;
}

QVector<ProtocolLists::Support> ProtocolLists::supportTable()
{
    const QStringList newer = {QStringLiteral("VX6127"), QStringLiteral("VX6143"), QStringLiteral("VX9151")};
    const QStringList newest = {QStringLiteral("VX6143"), QStringLiteral("VX9151")};
    const char* const names[] = {"1-Wire",        "Atmel SWI",     "CAN",           "CAN-FD",      "DMX-512",
                                 "HDMI CEC",      "I2C-EEPROM",    "I2C",           "I2S/PCM",     "IR-NEC",
                                 "IR-JVC",        "IR-RC5",        "IR-SIRC",       "ISO7816",     "JTAG",
                                 "LCD1602/12864", "LIN",           "Manchester",    "MDIO",        "MIDI",
                                 "MIPI-DSI LP",   "Modbus",        "Parallel",      "Parallel 8080", "Parallel 6800",
                                 "PS/2 Keyboard", "QSPI-Flash",    "RGB-WS28xx",    "SDIO",        "SMBus",
                                 "SPI",           "SWD",           "UART/RS232/485", "UNI/O",      "USB-PD",
                                 "USB LS/FS"};
    QVector<Support> out;
    for (const char* n : names) {
        const QString p = QString::fromLatin1(n);
        QStringList models;
        if (p == QLatin1String("CAN-FD") || p == QLatin1String("ISO7816") || p == QLatin1String("QSPI-Flash")
            || p == QLatin1String("USB-PD"))
            models = newer;
        else if (p == QLatin1String("MIPI-DSI LP"))
            models = newest;
        out.append({p, models});
    }
    return out;
}

QStringList ProtocolLists::supportModels()
{
    return {QStringLiteral("VX2121"), QStringLiteral("VX2127"), QStringLiteral("VX3127"),
            QStringLiteral("VX6127"), QStringLiteral("VX6143"), QStringLiteral("VX9151")};
}

bool ProtocolLists::supports(Support const& row, QString const& model)
{
    return row.models.isEmpty() || row.models.contains(model, Qt::CaseInsensitive);
}

bool ProtocolLists::parseInteger(QString const& text, int* value)
{
    const QString t = text.trimmed();
    // Digits only after an optional sign: no blanks inside, no other base.
    int i = (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) ? 1 : 0;
    if (i >= t.size())
        return false;
    for (; i < t.size(); ++i)
        if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9'))
            return false;
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (ok && value)
        *value = v;
    return ok;
}

QString ProtocolLists::integerRangeText(int min, int max)
{
    return Lang::tr(QStringLiteral("Please enter an integer in the range")) + QStringLiteral(" [")
        + QString::number(min) + QStringLiteral(", ") + QString::number(max) + QStringLiteral("]");
}

DisplayBase ProtocolLists::displayBaseOf(int format)
{
    return (format >= DisplayBin && format <= DisplayAsciiHex) ? DisplayBase(format) : DisplayHex;
}

QStringList ProtocolLists::displayFormatTexts()
{
    return {Lang::tr(QStringLiteral("Bin")), Lang::tr(QStringLiteral("Dec")), Lang::tr(QStringLiteral("Hex")),
            QStringLiteral("ASCII"), QStringLiteral("ASCII && ") + Lang::tr(QStringLiteral("Hex"))};
}

int ProtocolLists::exportFileKind(QString const& extension)
{
    return extension == QLatin1String("csv") ? 3 : 2;
}

QStringList ProtocolLists::channelChoices(QVector<bool> const& enabled)
{
    QStringList out;
    for (int i = 0; i < enabled.size(); ++i)
        if (enabled[i])
            out << QString::number(i) << QStringLiteral(" - '") + Config::getChnName(i) + QStringLiteral("'");
    return out;
}

int ProtocolLists::initialChannel(bool isNew, int k, QStringList const& uses, quint32 current,
                                  QStringList const& choices, int itemCount)
{
    if (isNew) {
        int free = 0;
        for (int p = 0; p + 1 < uses.size(); p += 2) {
            if (!uses[p + 1].isEmpty())
                continue;
            if (free == k)
                return p / 2;
            ++free;
        }
        return (itemCount > 0 && free >= itemCount) ? free - itemCount : free;
    }
    if (current == noChannel)
        return itemCount - 1;
    for (int p = 0; p + 1 < choices.size(); p += 2)
        if (choices[p] == QString::number(current))
            return p / 2;
    return 0;
}
