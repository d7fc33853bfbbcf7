#pragma once
// Helpers for tests that talk to the instrument emulator.

#include "usbemu.h"

#include <QByteArray>
#include <QVector>

#include <initializer_list>

namespace usbtest {

inline QByteArray bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int x : v)
        b.append(char(x));
    return b;
}

inline QVector<emu_log_entry> logEntries(int kind = 0)
{
    QVector<emu_log_entry> out;
    const int n = emu_log_count();
    for (int i = 0; i < n; ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && (kind == 0 || e.kind == kind))
            out.append(e);
    }
    return out;
}

inline QByteArray data(const emu_log_entry& e)
{
    return QByteArray(reinterpret_cast<const char*>(e.data), e.data_len);
}

inline int countKind(int kind)
{
    return logEntries(kind).size();
}

// Control requests with this request number (and value, unless -1).
inline QVector<emu_log_entry> controls(int request, int value = -1)
{
    QVector<emu_log_entry> out;
    for (const emu_log_entry& e : logEntries(EMU_LOG_CONTROL))
        if (e.request == request && (value < 0 || e.value == value))
            out.append(e);
    return out;
}

}  // namespace usbtest
