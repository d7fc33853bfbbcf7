#pragma once
// The cells of the main window that hold the ruler, the waveform area and
// the overview strip, wired as the main window wires them: the ruler and
// the markers talk both ways, the overview strip moves the generator, every
// generator frame refreshes ruler, area and strip and is acknowledged, and a
// new capture is placed and (given a host) decoded.

#include "device/devbase.h"
#include "device/smpdata.h"
#include "waveview/mainview.h"
#include "waveview/posiview.h"
#include "waveview/timeview.h"
#include "waveview/wavedatagen.h"
#include "scope/wavedatagenosc.h"

#include <QGridLayout>
#include <QWidget>

#include <functional>

namespace WaveTest {

class ViewWiring : public QObject
{
    Q_OBJECT

public:
    // decode: run when a capture is ready to decode (null: nothing).
    explicit ViewWiring(WaveAnalyzerSource* host, std::function<void()> decode = {})
        : decode(std::move(decode))
    {
        gen = new WaveDataGen(this);
        genOsc = new WaveDataGenOsc(this);
        window = new QWidget();
        window->setPalette(QPalette(QColor(0x3c, 0x3c, 0x3c)));
        window->setAutoFillBackground(true);
        timeView = new TimeView();
        posiView = new PosiView(window);
        mainView = new MainView(gen, genOsc, host);
        // Stand-ins of the threshold panel and the status bar: column 0 is 196 wide.
        auto* vth = new QWidget();
        vth->setFixedWidth(196);
        auto* status = new QWidget();
        status->setFixedSize(196, 20);
        auto* grid = new QGridLayout(window);
        grid->addWidget(vth, 1, 0);
        grid->addWidget(timeView, 1, 1);
        grid->addWidget(mainView, 2, 0, 1, 2);
        grid->addWidget(status, 3, 0);
        grid->addWidget(posiView, 3, 1);
        grid->setRowStretch(2, 1);
        grid->setColumnStretch(1, 1);
        grid->setContentsMargins(2, 0, 2, 2);
        grid->setSpacing(0);

        connect(timeView, &TimeView::timeMarkerChanged, mainView, &MainView::slotTimeViewMarkerChanged);
        connect(mainView, &MainView::timeMarkBodyChanged, timeView, &TimeView::slotMainViewMarkerChanged);
        connect(posiView, &PosiView::sigPosiChanged, this, [this](int, double b) { gen->moveTo(b); });
        connect(gen, &WaveDataGen::sigViewRefresh, this, &ViewWiring::refresh);
    }
    ~ViewWiring() override
    {
        delete window;
        delete gen;
        delete genOsc;
    }

    // After a new device object, as the main window does it.
    void devModelChanged()
    {
        gen->devModelChanged();
        genOsc->devModelChanged();
        timeView->init();
        mainView->init();
        posiUpdate();
        connect(devUsing, &DevBase::sigSmpDataReady, this, &ViewWiring::dataReady, Qt::UniqueConnection);
        connect(devUsing, &DevBase::sigChnEnaChanged, mainView, &MainView::slotChnEnaChanged,
                Qt::UniqueConnection);
    }

    void dataReady(int d)
    {
        if (d == 0) {
            mainView->setSmpDataReady();
            gen->zoomFirst();
        } else if (decode) {
            decode();
        }
        ++captures;
    }

    void refresh(bool)
    {
        auto s = devUsing ? devUsing->displayedSmpData() : nullptr;
        const WaveFramePtr f = gen->frame();
        if (!s || s->smpFrequ == 0 || s->smpCount == 0) {
            timeView->setTimesValues(0, 0);
        } else {
            const double ps = 1e12 / double(s->smpFrequ);
            timeView->setTimesValues((f->smpOffset - double(s->trgPosition)) * ps, ps * f->smpPerPixel);
        }
        gen->setRefreshDone();
        mainView->updateViewDisplay();
        posiUpdate();
        ++frames;
        emit refreshed();
    }

    void posiUpdate()
    {
        auto s = devUsing ? devUsing->displayedSmpData() : nullptr;
        const WaveFramePtr f = gen->frame();
        const double len = gen->getViewWidth() * gen->getSmpPerPixel();
        for (int c = 0; s && c < devUsing->dChnEna.size() && c < s->chnNum; ++c) {
            if (devUsing->dChnEna[c] && s->chnData[size_t(c)]) {
                posiView->slotSetPosition(c, s->trgPosition, s->smpCount, gen->getSmpOffset(), len);
                return;
            }
        }
        posiView->slotSetPosition(-1, 0, 0, gen->getSmpOffset(), len);
    }

    WaveDataGen* gen;
    WaveDataGenOsc* genOsc;
    QWidget* window;
    TimeView* timeView;
    MainView* mainView;
    PosiView* posiView;
    int frames = 0;
    int captures = 0;

signals:
    void refreshed();

private:
    std::function<void()> decode;
};

} // namespace WaveTest
