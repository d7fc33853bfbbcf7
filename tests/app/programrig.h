#pragma once
// The program in the test's process, started and ended in the order of its
// entry point: settings (with a command line), the USB transport over the
// instrument emulator, the device object, the start-up controller, then the
// main window; deleted in reverse.

#include "../common/tempenv.h"
#include "core/config.h"
#include "app/mainwindow.h"
#include "app/processobjects.h"
#include "device/devbase.h"
#include "device/devinit.h"
#include "device/devsupport.h"
#include "usbemu.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace apptest {

// Settings that keep the program off the network.
inline QString settingsXml(const QString& global = QString(), const QString& devices = QString(),
                           const QString& analyzers = QString())
{
    return QStringLiteral("<?xml version=\"1.0\"?><settings><global><version>3.5.0</version>"
                          "<disAutoUpdate>1</disAutoUpdate>%1</global><devices>%2</devices>"
                          "<analyzers>%3</analyzers></settings>")
        .arg(global, devices, analyzers);
}

class ProgramRig
{
public:
    // settings: the settings file found at start, none for a null string (a
    // first start); args: the command line after the program name.
    explicit ProgramRig(const QString& settings = settingsXml(), const QStringList& args = {},
                        bool withUart = false)
    {
        emu_reset();
        QDir().mkpath(env.dataHome() + QStringLiteral("/vormel"));
        if (!settings.isNull()) {
            QFile f(env.settingsFile());
            if (f.open(QIODevice::WriteOnly))
                f.write(settings.toUtf8());
        }
        if (withUart) {
            const QString src = QString::fromLocal8Bit(qgetenv("TAV_BIN_DIR")) +
                                QStringLiteral("/../Resources/Analyzer/libUART.so");
            uartLinked = QFile::link(src, env.resources() + QStringLiteral("Analyzer/libUART.so"));
        }
        Config::dataFile.clear();
        Config::fillLists();
        Config::loadDefaultConfig();
        Config::loadCommandLineFile(QStringList{QStringLiteral("VormelTAV")} + args);
        Config::initWindowConfig();
        Config::initShadowConfig();
        ProcessObjects::initLanguageAndFonts();
        ProcessObjects::createDevices();
        window = new MainWindow(nullptr);
    }
    ~ProgramRig()
    {
        delete window;
        ProcessObjects::deleteDevices();
        DevBase::smpWorkerFactory = nullptr;
        Config::dataFile.clear();
    }

    // The settings file as the program left it on disk.
    QString savedGlobal(const QString& key) const
    {
        QFile f(env.settingsFile());
        QDomDocument d;
        if (!f.open(QIODevice::ReadOnly) || !d.setContent(&f))
            return QStringLiteral("<unreadable>");
        return d.documentElement().firstChildElement(QStringLiteral("global")).firstChildElement(key).text();
    }

    TempEnv env;
    bool uartLinked = false;
    MainWindow* window = nullptr;
};

// Answers every modal message box that opens while it exists, as a user
// clicking its only button, and keeps what the box said.
class BoxCatcher : public QObject
{
public:
    BoxCatcher()
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts.append(box->text());
            titles.append(box->windowTitle());
            const QList<QAbstractButton*> b = box->buttons();
            buttons.append(b.size() == 1 ? b.first()->text() : QStringLiteral("<%1 buttons>").arg(b.size()));
            if (!b.isEmpty())
                b.first()->click();
            else
                box->reject();
        });
        poll.start(0);
    }

    QStringList texts;
    QStringList titles;
    QStringList buttons;

private:
    QTimer poll;
};

} // namespace apptest
