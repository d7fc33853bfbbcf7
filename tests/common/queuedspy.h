#pragma once

#include <QList>
#include <QObject>
#include <QVariant>

// Like QSignalSpy, but the record is written in the test's own thread: a
// signal emitted by a worker thread arrives queued, so reading the record
// while the worker still runs never races with it.
class QueuedSpy : public QObject
{
public:
    template <typename Sender, typename Obj, typename... Args>
    QueuedSpy(Sender* sender, void (Obj::*signal)(Args...))
    {
        connect(
            static_cast<Obj*>(sender), signal, this,
            [this](Args... args) { calls.append(QList<QVariant>{QVariant::fromValue(args)...}); },
            Qt::QueuedConnection);
    }

    QList<QList<QVariant>> calls;
};
