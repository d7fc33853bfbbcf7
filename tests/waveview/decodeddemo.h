#pragma once
// Start-up shared by the harnesses that show a decoded demo capture: the
// program's look, a demo device object at 10 MHz with 1 M samples and UART
// decoded on channel 0, the view cells wired as the main window wires them,
// and a single capture waited for until it is shown and decoded.

#include "tests/waveview/demohost.h"
#include "tests/waveview/viewwiring.h"

#include "core/config.h"

#include <QApplication>
#include <QtTest>

#include <cstdio>
#include <memory>

namespace WaveTest {

// Lists, resources and fonts, as the program sets them up before its first window.
inline void setUpLook()
{
    Config::fillLists();
    Config::initResources();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);
}

// The host is declared first, so the views go before it.
struct DecodedDemo {
    DemoHost host;
    std::unique_ptr<ViewWiring> wiring;

    // False, with a message, when the UART plug-in cannot be loaded.
    bool start()
    {
        if (!host.addUart()) {
            std::fprintf(stderr, "UART plug-in not available\n");
            return false;
        }
        host.setRateDepth(10000000, 1000000);
        wiring.reset(new ViewWiring(host.mgr.get(), [this] { host.mgr->startDecode(); }));
        QObject::connect(host.mgr.get(), &AnalyzerManager::analyzerDecodedChanged, wiring->mainView,
                         &MainView::slotUpdateAnalyzerDecoded);
        QObject::connect(host.mgr.get(), &AnalyzerManager::analyzerItemChanged, wiring->mainView,
                         &MainView::slotAnalyzerItemChanged);
        return true;
    }

    // Starts a single capture; false, with a message, unless it is shown and
    // decoded within 30 s.
    bool capture()
    {
        int decoded = 0;
        const QMetaObject::Connection counter = QObject::connect(
            host.mgr.get(), &AnalyzerManager::analyzerDecodedChanged, [&decoded] { ++decoded; });
        host.dev->smpStart(SmpStartSingle);
        const bool done = QTest::qWaitFor([&] { return wiring->captures >= 2 && decoded > 0; }, 30000);
        QObject::disconnect(counter);
        if (!done)
            std::fprintf(stderr, "no decoded capture\n");
        return done;
    }
};

} // namespace WaveTest
