#pragma once
// Shared set-up of the capture-control tests: a device object as devUsing
// whose capture workers only count their runs (and, with hold set, run
// until stopped), and a watcher that answers the panels' warning boxes.

#include "devobj/devtesthelp.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <memory>

namespace ctltest {

using devtest::FakeWorker;

// Makes devUsing a device object of a model (or the one given) and deletes
// it again, stopping a run first.
class DevScope
{
public:
    explicit DevScope(int model) : DevScope(DevBase::createDevice(model)) {}
    explicit DevScope(DevBase* dev)
    {
        devUsing = dev;
    }
    ~DevScope()
    {
        FakeWorker::hold = false;
        devUsing->smpStopAndWait();
        devUsing->isConnected = false;
        delete devUsing;
        devUsing = nullptr;
    }
    DevBase* operator->() const { return devUsing; }
};

// Fresh settings and language, counting workers.
inline void resetAll()
{
    devtest::resetSettings();
    Lang::doc.setContent(Lang::builtinDocument());
    FakeWorker::resetCounts();
    DevBase::smpWorkerFactory = &FakeWorker::make;
}

// Closes every warning box that opens while it lives, keeping title and text.
class BoxWatcher : public QObject
{
public:
    BoxWatcher()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            titles << box->windowTitle();
            texts << box->text();
            buttons << box->buttons().size();
            box->button(QMessageBox::Close)->click();
        });
        timer.start(5);
    }
    QStringList titles;
    QStringList texts;
    QList<int> buttons;

private:
    QTimer timer;
};

} // namespace ctltest
