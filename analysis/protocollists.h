#pragma once
// The plain rules behind the analysis panels: the recently used analyzers,
// the analyzer search, the table of supported protocols, the channel choices
// of the settings dialog, strict integer input and the file kinds of result
// exports. No widget is needed to reach them.

#include "libanalyzer/analyzertypes.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ProtocolLists
{
public:
    static constexpr int maxRecent = 10;
    static constexpr quint32 noChannel = 0xFFFFFFFFu;

    // Plug-in file name of a protocol on this platform ("UART" -> "libUART.so").
    static QString pluginFile(QString const& protocol);
    // CAN, I2C, SPI, UART: oldest first, so the menu lists UART first.
    static QStringList defaultRecent();

    // The plug-in files of the rows, last rows first counted: each once, at
    // most the newest ten, in row order.
    static QStringList usedFileNames(QStringList const& rowFiles);

    struct Recent {
        QStringList recent;   // plug-in files, oldest first
        QStringList names;    // their display names, same order
    };
    // The recent list after `used` (newest last); an empty list starts from
    // the stored value, or from the defaults when that is empty. Files that
    // have no display name (not installed) are dropped.
    static Recent updateRecent(QStringList recent, QString const& stored, QStringList const& used,
                               std::function<QString(QString const&)> const& displayName);

    // Positions of the names containing text, ignoring case; all when empty.
    static QVector<int> filter(QStringList const& names, QString const& text);

    struct Support {
        QString protocol;
        QStringList models;   // empty: every model
    };
    static QVector<Support> supportTable();
    static QStringList supportModels();
    static bool supports(Support const& row, QString const& model);

    // Decimal integer with optional sign and blanks around; false for
    // anything else, an empty text included.
    static bool parseInteger(QString const& text, int* value);
    static QString integerRangeText(int min, int max);

    static DisplayBase displayBaseOf(int format);
    static QStringList displayFormatTexts();
    // Save-dialog kind of a result export: 3 (CSV) for "csv", else 2 (text).
    static int exportFileKind(QString const& extension);

    // Two texts per enabled channel: its number and " - '<name>'".
    static QStringList channelChoices(QVector<bool> const& enabled);
    // The item a channel box starts on. `uses` holds two texts per enabled
    // channel (number, what binds it); k counts the channel settings.
    static int initialChannel(bool isNew, int k, QStringList const& uses, quint32 current,
                              QStringList const& choices, int itemCount);
};
