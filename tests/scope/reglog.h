#pragma once
// The register writes the emulated instrument received, for tests that check
// what a change sends and in which order.

#include "usbemu.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace OscTest {

// Register writes (request 0x20) in log order as "reg:hexdata".
inline QStringList regLog()
{
    QStringList out;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && !(e.request_type & 0x80) && e.request == 0x20)
            out << QString::number(e.value, 16) + QLatin1Char(':')
                       + QByteArray(reinterpret_cast<const char*>(e.data), e.data_len).toHex();
    }
    return out;
}

// The first entry from `from` on that starts with prefix; -1 when none does.
inline int indexOf(const QStringList& log, const QString& prefix, int from = 0)
{
    for (int i = from; i < log.size(); ++i)
        if (log[i].startsWith(prefix))
            return i;
    return -1;
}

} // namespace OscTest
