// The oscilloscope side panels and the calibration window on captures of the
// emulated mixed-signal instrument: an automatic calibration runs first (its
// log fills the window), then a capture of a pulse and a sine is measured.
// Saves one screenshot of the panels, the snapshot window and the calibration
// window side by side.
//
//   osc_panel_harness <png>

#include "devobj/devtesthelp.h"
#include "scope/dev7329help.h"

#include "core/config.h"
#include "device/smpctrlfactory.h"
#include "scope/annotationsosc.h"
#include "scope/calibrateosc.h"
#include "scope/chnmeasurepair.h"
#include "scope/measureviewosc.h"
#include "scope/wavedatagenosc.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

namespace {

// Counts the capture runs that end and runs the event loop until `runs` of
// them have, at most ms; then joins the last run's thread.
bool untilRunsEnd(DevBase* dev, int runs, int ms)
{
    int ended = 0;
    QEventLoop loop;
    QObject::connect(dev, &DevBase::sigSmpSta, &loop, [&](int state, int, int) {
        if (state == SmpStaDone && ++ended >= runs)
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    dev->smpStopAndWait();
    return ended >= runs;
}

void script(const QByteArray& r)
{
    emu_script_analog(reinterpret_cast<const signed char*>(r.constData()), r.size(), 10000);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("osc_panel_harness.png");
    Config::fillLists();
    Config::initResources();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);

    DevSupport* ds = devtest::openEmulated();
    if (!ds) {
        std::fprintf(stderr, "no emulated instrument\n");
        return 1;
    }
    Config::saveGlobalParam(QStringLiteral("oscMeasureChn0"), QStringLiteral("1,1,1,1,1,1,1,1,1,1,1,1,1"));
    SmpCtrlFactory::install();
    auto dev = osctest::connectedDev();
    if (!dev || !osctest::runFpga(ds, 1, 1, 1)) {
        std::fprintf(stderr, "connection failed\n");
        return 1;
    }
    devUsing = dev.get();

    // The calibration: constant ADC codes per step.
    const QByteArray level = osctest::adcRecord([](int) { return 1; }, [](int i) { return i % 10 < 7 ? -2 : -1; });
    const QByteArray high = osctest::adcRecord([](int) { return 95; }, [](int) { return 90; });
    CalibrateOsc calib;
    calib.init();
    QObject::connect(dev.get(), &DevBase::sigSmpDataReady, &calib, [&calib](int flag) {
        if (flag == 0)
            calib.smpDataReady();
    });
    int steps = 0;
    QObject::connect(&calib, &CalibrateOsc::calibSettingChanged, &calib, [&](int, int) {
        script(++steps == 3 ? high : level);
    });
    script(level);
    calib.show();
    for (QPushButton* b : calib.findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Calibrate"))
            b->click();
    // Five captures: the preparation, three steps, and the one that ends the run.
    if (!untilRunsEnd(dev.get(), 5, 20000) || steps != 4)
        std::fprintf(stderr, "calibration did not finish (%d steps)\n", steps);
    QObject::disconnect(dev.get(), nullptr, &calib, nullptr);

    // A capture to measure: a pulse with ramps on CH1 (period 2000 samples,
    // 30 % high), a sine on CH2 (period 4096 samples).
    script(osctest::adcRecord(
        [](int i) {
            const int p = i % 2000;
            return p < 40 ? -60 + 3 * p : p < 600 ? 60 : p < 640 ? 60 - 3 * (p - 600) : -60;
        },
        [](int i) { return int(std::lround(80 * std::sin(i * 2 * M_PI / 4096))); }));
    dev->setAProbeRate(1, 10);
    dev->setATimeDivValue(200000);
    WaveDataGenOsc gen;
    gen.devModelChanged();
    gen.setViewWidth(800);
    dev->smpStart(SmpStartSingle, false);
    if (!untilRunsEnd(dev.get(), 1, 20000) || !dev->hasValidData())
        std::fprintf(stderr, "no capture\n");
    gen.zoomFirst();

    QWidget side;
    side.setStyleSheet(QStringLiteral("background-color:#3f3f3f;"));
    side.setFixedWidth(260);
    auto* lay = new QVBoxLayout(&side);
    auto* meas = new MeasureViewOsc;
    auto* cursors = new AnnotationsOsc;
    lay->addWidget(meas);
    lay->addWidget(cursors);
    lay->addStretch(1);
    meas->init();
    cursors->init();
    for (int c = 0; c < 2; ++c)
        meas->updateMeasureParameter(c);
    cursors->setValue(1, {QStringLiteral("-250us"), QStringLiteral("750us"), QStringLiteral("1ms")});
    cursors->setValue(0, {QStringLiteral("1.2V"), QStringLiteral("-0.8V"), QStringLiteral("2V")});
    side.resize(260, 720);
    side.show();
    calib.adjustSize();

    // The snapshot window of CH1, grabbed while it runs.
    QPixmap snap;
    if (auto* pair = meas->findChild<ChnMeasurePair*>()) {
        QTimer::singleShot(50, pair, [&snap, pair] {
            if (auto* dlg = pair->findChild<QDialog*>()) {
                snap = dlg->grab();
                dlg->accept();
            }
        });
        QMetaObject::invokeMethod(pair, "slotBtnSnapshotClicked");
    }
    app.processEvents();

    const QPixmap a = side.grab();
    const QPixmap b = calib.grab();
    QImage img(a.width() + snap.width() + b.width() + 40, qMax(a.height(), qMax(snap.height(), b.height())) + 20,
               QImage::Format_RGB32);
    img.fill(QColor(90, 90, 90));
    QPainter p(&img);
    p.drawPixmap(10, 10, a);
    p.drawPixmap(20 + a.width(), 10, snap);
    p.drawPixmap(30 + a.width() + snap.width(), 10, b);
    p.end();
    const bool saved = img.save(out);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(out));

    dev->smpStopAndWait();
    devUsing = nullptr;
    dev.reset();
    devtest::closeEmulated(ds);
    return saved ? 0 : 1;
}
