#pragma once
// The waveform area in the oscilloscope work mode, wired as the main window
// wires it: every frame of the analog trace generator refreshes the area,
// a capture on display is placed by the generator.

#include "device/devbase.h"
#include "waveview/mainview.h"
#include "waveview/wavedatagen.h"
#include "scope/wavedatagenosc.h"

#include <QObject>

namespace OscTest {

class OscWiring : public QObject
{
public:
    OscWiring()
    {
        gen = new WaveDataGen(this);
        genOsc = new WaveDataGenOsc(this);
        view = new MainView(gen, genOsc, nullptr);
        connect(genOsc, &WaveDataGenOsc::sigViewRefreshOsc, this, [this](bool) {
            ++frames;
            view->updateViewDisplay();
        });
    }
    ~OscWiring() override { delete view; }

    // After a new device object, as the main window does it.
    void devModelChanged()
    {
        gen->devModelChanged();
        genOsc->devModelChanged();
        view->init();
        connect(devUsing, &DevBase::sigSmpDataReady, this, &OscWiring::dataReady, Qt::UniqueConnection);
    }

    void dataReady(int d)
    {
        if (d == 0)
            genOsc->zoomFirst();
    }

    WaveDataGen* gen;
    WaveDataGenOsc* genOsc;
    MainView* view;
    int frames = 0;
};

} // namespace OscTest
