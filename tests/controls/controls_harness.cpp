// The toolbar and the threshold panel driving the demo device, above a
// waveform scene fed by the trace generator, wired the way the main window
// wires them. Clicks single, zooms, runs repeated captures and stops, then
// saves screenshots: <prefix>_window.png, _toolbar.png, _vth32.png, and the
// device settings drop-down and both PWM dialogs.
//
//   controls_harness <prefix>

#include "core/config.h"
#include "controls/devoptions.h"
#include "controls/dialogpwmsetting.h"
#include "controls/menudevsetting.h"
#include "controls/statusbar.h"
#include "controls/toolbar.h"
#include "controls/vthsetting.h"
#include "device/devbase.h"
#include "device/smpctrlfactory.h"
#include "device/smpdata.h"
#include "device/smpsimulate.h"
#include "waveview/itemwavebackground.h"
#include "waveview/itemwaveline.h"
#include "waveview/wavedatagen.h"
#include "widgets/mybutton.h"

#include <QApplication>
#include <QEventLoop>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>
#include <QImage>
#include <QShortcut>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

QThread* makeDemo(DevBase* d)
{
    return new SmpSimulate(d);
}

// Runs the event loop until pred holds or ms have passed; true when it held.
template <typename Pred>
bool waitFor(Pred pred, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start(10);
    loop.exec();
    return pred();
}

// The main window's part: device signals to the toolbar, the status bar and
// the generator; zoom texts to the generator; demo model choices.
class WindowStandIn : public QObject
{
public:
    WindowStandIn(Toolbar* tb, VthSetting* vth, StatusBar* sb, WaveDataGen* gen, QGraphicsScene* scene)
        : tb(tb), vth(vth), sb(sb), gen(gen), scene(scene)
    {
        connect(tb, &Toolbar::zoomValued, this, [this](const QString& s) { zoom(s); });
        connect(tb, &Toolbar::simDevModelChanged, this, [this](int m) { replaceDevice(m); }, Qt::DirectConnection);
        connect(gen, &WaveDataGen::sigViewRefresh, this, [this](bool) {
            this->scene->update();
            this->gen->setRefreshDone();
        });
        bindDevice();
    }

    int captures = 0;   // runs ended
    int passes = 0;     // captures shown
    QVector<int> startModes;

private:
    void bindDevice()
    {
        gen->devModelChanged();
        tb->devModelChanged();
        vth->devModelChanged();
        connect(devUsing, &DevBase::sigSmpSta, this, [this](int sta, int err, int value) {
            sb->setSmpProgress(sta, value);
            if (err != 0)
                return;
            if (sta == SmpStaIdle) {
                startModes.append(devUsing->smpStartMode);
                tb->devSmpStaChanged(devUsing->smpStartMode);
            } else if (sta == SmpStaDone) {
                tb->devSmpStaChanged(-1);
            }
        });
        connect(devUsing, &DevBase::sigSmpDataReady, this, [this](int decode) {
            if (devUsing->displayedSmpData()->smpCount > 0) {
                gen->zoomFirst();
                if (!decode)
                    ++passes;
            }
            if (decode)
                ++captures;
        });
        connect(devUsing, &DevBase::sigToolbarPWMEna, tb, &Toolbar::slotToolbarPWMEna);
    }

    void replaceDevice(int model)
    {
        if (devUsing->devModel == model)
            return;
        devUsing->smpStopAndWait();
        gen->releaseDevice();
        delete devUsing;
        devUsing = DevBase::createDevice(model);
        bindDevice();
    }

    void zoom(const QString& s)
    {
        if (devUsing->displayedSmpData()->smpCount <= 0)
            return;
        if (s == QLatin1String("All"))
            gen->zoomAll();
        else if (s == QLatin1String("Trg"))
            gen->zoomTrg();
        else if (s == QLatin1String("Out"))
            gen->zoomOutFine();
        else if (s == QLatin1String("In"))
            gen->zoomInFine();
        else {
            bool ok = false;
            const double v = s.toDouble(&ok);
            ok ? gen->zoomFixed(v) : gen->zoomAll();
        }
    }

    Toolbar* tb;
    VthSetting* vth;
    StatusBar* sb;
    WaveDataGen* gen;
    QGraphicsScene* scene;
};

bool save(QWidget* w, const QString& path)
{
    const bool ok = w->grab().save(path);
    std::printf("%s %dx%d -> %s\n", w->metaObject()->className(), w->width(), w->height(), qPrintable(path));
    return ok;
}

// The left part of a widget at twice its size, to check pixel sizes by eye.
void saveDoubled(QWidget* w, int width, const QString& path)
{
    const QImage img = w->grab().toImage();
    const int cut = qMin(img.width(), width);
    img.copy(0, 0, cut, img.height())
        .scaled(2 * cut, 2 * img.height(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(path);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString prefix = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("controls_harness");
    // Settings in memory only: nothing is written.
    Config::cfgDoc.setContent(Config::defaultDocument());
    Config::fillLists();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);
    std::printf("font %s %.1fpt\n", qPrintable(Config::fontNormal.family()), Config::fontNormal.pointSizeF());
    Config::viewState = ViewAll;
    Config::saveGlobalParam(QStringLiteral("toolbarPWM"), QStringLiteral("1"));
    SmpCtrlFactory::install(&makeDemo);
    devUsing = DevBase::createDevice(DevModelNone);
    devUsing->setSmpFrequ(devUsing->smpFrequList.indexOf(10000000));
    devUsing->setSmpDepth(devUsing->smpDepthList.indexOf(200000));

    WaveDataGen gen;
    QWidget window;
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, Config::grayColor[7]);
    window.setPalette(pal);
    window.setAutoFillBackground(true);

    auto* toolbar = new Toolbar;
    auto* vth = new VthSetting;
    auto* status = new StatusBar;
    const int rows = 16, rowH = 36, width = 1200;
    QGraphicsScene scene;
    scene.setBackgroundBrush(QColor("#2f2f2f"));
    for (int c = 0; c < rows; ++c) {
        auto* bg = new ItemWaveBackground(c);
        bg->setSize(width, rowH);
        bg->setPos(0, c * rowH);
        scene.addItem(bg);
        auto* line = new ItemWaveLine(c, &gen);
        line->setSize(width, rowH);
        line->setPos(0, c * rowH);
        line->setZValue(1);
        scene.addItem(line);
    }
    scene.setSceneRect(0, 0, width, rows * rowH);
    auto* view = new QGraphicsView(&scene);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    view->setStyleSheet(QStringLiteral("QGraphicsView{background-color:#2f2f2f;border:0;}"));
    view->setFixedSize(width, rows * rowH);

    auto* grid = new QGridLayout(&window);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(toolbar, 0, 0, 1, 2);
    grid->addWidget(vth, 1, 0, Qt::AlignTop);
    grid->addWidget(status, 2, 0, Qt::AlignBottom);
    grid->addWidget(view, 1, 1, 2, 1);

    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), &window);
    f5->setContext(Qt::WindowShortcut);
    f5->setAutoRepeat(false);
    QObject::connect(f5, &QShortcut::activated, toolbar, &Toolbar::slotShortcutF5);

    WindowStandIn wiring(toolbar, vth, status, &gen, &scene);
    status->setConnectSta(false);
    window.show();
    gen.setViewWidth(width);
    app.processEvents();

    // One single capture from the button, zoomed in from the toolbar.
    toolbar->findChild<MyButton*>(QStringLiteral("btnSingle"))->click();
    bool ok = waitFor([&] { return wiring.captures >= 1 && !devUsing->smpRunning; }, 20000);
    for (int i = 0; i < 25; ++i)
        toolbar->findChild<MyButton*>(QStringLiteral("btnZoomIn"))->click();
    waitFor([&] { return !gen.isAnimating(); }, 2000);
    app.processEvents();
    ok = save(&window, prefix + QStringLiteral("_window.png")) && ok;

    // Repeated captures, shown while they run, then stopped.
    toolbar->findChild<MyButton*>(QStringLiteral("btnAuto"))->click();
    const int before = wiring.passes;
    ok = waitFor([&] { return wiring.passes >= before + 3; }, 20000) && ok;
    app.processEvents();
    ok = save(toolbar, prefix + QStringLiteral("_toolbar.png")) && ok;
    saveDoubled(toolbar, 800, prefix + QStringLiteral("_toolbar2x.png"));
    toolbar->findChild<MyButton*>(QStringLiteral("btnStop"))->click();
    ok = waitFor([&] { return !devUsing->smpRunning; }, 20000) && ok;
    app.processEvents();

    // The drop-down and the dialogs, as they open from the toolbar.
    {
        MenuDevSetting menu(toolbar);
        menu.adjustSize();
        save(&menu, prefix + QStringLiteral("_menu.png"));
        DevOptions options;
        options.adjustSize();
        save(&options, prefix + QStringLiteral("_options.png"));
        DialogPWMSetting pwm;
        pwm.adjustSize();
        save(&pwm, prefix + QStringLiteral("_pwm.png"));
    }

    // A 32-channel demo model: the threshold panel offers both channel groups.
    emit toolbar->simDevModelChanged(DevModel6143A);
    app.processEvents();
    ok = save(vth, prefix + QStringLiteral("_vth32.png")) && ok;
    saveDoubled(vth, vth->width(), prefix + QStringLiteral("_vth32x2.png"));

    std::printf("runs %d, captures shown %d, start modes", wiring.captures, wiring.passes);
    for (int m : wiring.startModes)
        std::printf(" %d", m);
    std::printf("\n");
    const bool modes = wiring.startModes.value(0) == SmpStartSingle && wiring.startModes.value(1) == SmpStartRepeat;
    devUsing->smpStopAndWait();
    gen.releaseDevice();
    delete devUsing;
    devUsing = nullptr;
    return ok && modes ? 0 : 1;
}
