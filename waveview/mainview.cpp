#include "waveview/mainview.h"

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "waveview/cursorbody.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/itemwavearrow.h"
#include "waveview/itemwavebackground.h"
#include "waveview/itemwaveline.h"
#include "waveview/labelmove.h"
#include "waveview/nextedge.h"
#include "waveview/wavedatagen.h"
#include "waveview/wavemeasure.h"
#include "waveview/waveview.h"
#include "widgets/itemsmpprogress.h"
#include "widgets/myscrollbar.h"

#include <QCursor>
#include <QFrame>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>

MainView* MainView::me = nullptr;

namespace {

PulseCounterSource* pulseSource = nullptr;

int px(int n)
{
    return Config::pixel(n);
}

} // namespace

void MainView::setPulseCounterSource(PulseCounterSource* source)
{
    pulseSource = source;
}

PulseCounterSource* MainView::pulseCounterSource()
{
    return pulseSource;
}

MainView::MainView(WaveDataGen* gen, WaveDataGenOsc* genOsc, WaveAnalyzerSource* analyzers, QWidget* parent)
    : QWidget(parent), waveDataGen(gen), waveDataGenOsc(genOsc), analyzerManager(analyzers)
{
    me = this;
    // The rows draw the host's bubbles.
    ItemWaveLine::setAnalyzerSource(analyzers);
    freqUnits = WaveMeasure::freqUnits;
    timeUnits = WaveMeasure::timeUnits;

    scene = new QGraphicsScene();
    scene->setBackgroundBrush(QColor(QStringLiteral("#2f2f2f")));
    smpProgress = new ItemSmpProgress();
    smpProgress->setZValue(4);
    scene->addItem(smpProgress);

    sidebarArea = new QScrollArea(this);
    sidebarArea->setWidgetResizable(true);
    sidebarArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sidebarArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sidebarArea->setStyleSheet(QStringLiteral("QScrollArea{background-color:#2f2f2f;border:0;}"));
    sidebarFrame = new QFrame();
    QPalette pal = sidebarFrame->palette();
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        pal.setBrush(QPalette::ColorGroup(g), QPalette::Window, Config::grayColor.value(7));
    sidebarFrame->setPalette(pal);
    sidebarFrame->setAutoFillBackground(true);
    sidebarArea->setWidget(sidebarFrame);

    waveArrow = new ItemWaveArrow();
    waveArrow->setZValue(2);
    waveArrow->setVisible(false);
    scene->addItem(waveArrow);
    nextEdge = new NextEdge();
    nextEdge->setZValue(3);
    scene->addItem(nextEdge);

    waveView = new WaveView(this);
    waveView->setScene(scene);

    connect(waveView, &WaveView::vScrollValueChanged, this,
            [this](qlonglong v) { sidebarArea->verticalScrollBar()->setValue(int(v)); });
    connectSidebarBar(true);
    connect(waveView, &WaveView::wheelChanged, this, &MainView::slotWheelChanged);
    connect(waveView, &WaveView::mousePressed, this, &MainView::slotMousePressed);
    connect(waveView, &WaveView::mouseReleased, this, &MainView::slotMouseReleased);
    connect(waveView, &WaveView::mouseMoved, this, &MainView::slotMouseMoved);
    connect(waveView, &WaveView::mouseLeave, this, &MainView::slotMouseLeave);

    auto* box = new QHBoxLayout(this);
    box->addWidget(sidebarArea, 0);
    box->addWidget(waveView, 1);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    connect(this, &MainView::mouseDraged, this, &MainView::slotMouseDraged);
    connect(this, &MainView::zoomChangedByMouse, this, &MainView::slotMouseZoomChanged);
}

MainView::~MainView()
{
    deleteShowItems();
    delete chnMenu;   // made without a parent
    if (ItemWaveLine::analyzerSource() == analyzerManager)
        ItemWaveLine::setAnalyzerSource(nullptr);
    // The view goes with the widget; it must not paint a deleted scene meanwhile.
    waveView->setScene(nullptr);
    delete scene;
    if (me == this)
        me = nullptr;
}

void MainView::connectSidebarBar(bool on)
{
    QScrollBar* bar = sidebarArea->verticalScrollBar();
    if (on && !sidebarBarConnected) {
        connect(bar, &QScrollBar::valueChanged, this, &MainView::slotSidebarVerValueChanged);
        connect(bar, &QScrollBar::rangeChanged, this, &MainView::slotSidebarVerRangChanged);
    } else if (!on && sidebarBarConnected) {
        disconnect(bar, &QScrollBar::valueChanged, this, &MainView::slotSidebarVerValueChanged);
        disconnect(bar, &QScrollBar::rangeChanged, this, &MainView::slotSidebarVerRangChanged);
    }
    sidebarBarConnected = on;
}

bool MainView::samplesPresent() const
{
    if (!devUsing)
        return false;
    auto s = devUsing->displayedSmpData();
    return s && s->smpCount > 0;
}

int MainView::logicChannelCount() const
{
    return devUsing ? devUsing->dChnEna.size() : 0;
}

bool MainView::isOscMode()
{
    return devUsing && devUsing->workMode == WorkModeOsc;
}

// ---------------------------------------------------------------- build and tear down

void MainView::init()
{
    deleteShowItems();
    if (isOscMode())
        initOsc();
    else
        initLogic();
    // The row header width just changed: place the wave view now, so that the
    // rows and the generator take its new width rather than the old one.
    if (layout())
        layout()->activate();
    resizeEvent(nullptr);
    if (!isOscMode()) {
        // The overlay bar shows while the rows are taller than the view.
        const QScrollBar* bar = sidebarArea->verticalScrollBar();
        slotSidebarVerRangChanged(bar->minimum(), bar->maximum());
    }
}

void MainView::initLogic()
{
    connectSidebarBar(true);
    const int n = logicChannelCount();
    rowTops.fill(0, n);
    QVector<int> pos(n), mult(n);
    Config::getChnShowIndex(n, pos.data());
    Config::getChnShowMultip(n, mult.data());
    sidebarArea->setFixedWidth(px(196));
    sidebarFrame->setFixedWidth(px(196));
    for (int i = 0; i < n; ++i) {
        auto* row = new ItemChnSidebar(Config::getChnName(i), i, sidebarFrame);
        row->showIndex = pos[i];
        if (row->setShowMultip(mult[i]))
            row->setShowMultip(1);
        connect(row->numberLabel(), &LabelMove::channelMoveCallback, this, &MainView::slotChnMove);
        connect(row, &ItemChnSidebar::trigEdgeChanged, this, &MainView::slotChnTrgEdgeChanged);
        connect(row, &ItemChnSidebar::chnSetClicked, this, &MainView::slotChnSetMenu);
        row->show();
        chnSidebars.append(row);
        auto* bg = new ItemWaveBackground(i);
        bg->setZValue(0);
        scene->addItem(bg);
        waveBackgrounds.append(bg);
        auto* line = new ItemWaveLine(i, waveDataGen);
        line->setZValue(1);
        scene->addItem(line);
        waveLines.append(line);
    }
    updateTrgStatus();
    registerShortCutkey();
    slotLogicProbeClicked(Config::enaLogicProbe);
}

void MainView::deleteShowItems()
{
    gridLeft = 0;
    gridTop = 0;
    if (liveTimerId != 0)
        killTimer(liveTimerId);
    liveTimerId = 0;
    if (oscSceneHeight != 0)
        deleteOscItems();
    for (int i = 0; i < chnSidebars.size(); ++i) {
        scene->removeItem(waveBackgrounds[i]);
        delete waveBackgrounds[i];
        scene->removeItem(waveLines[i]);
        delete waveLines[i];
        delete chnSidebars[i];
    }
    qDeleteAll(shortcuts);
    shortcuts.clear();
    waveArrow->hide();
    // The edge button names a channel of the rows just removed.
    nextEdge->hide();
    chnSidebars.clear();
    waveBackgrounds.clear();
    waveLines.clear();
    for (CursorBody* c : cursorBodies) {
        scene->removeItem(c);
        delete c;
    }
    cursorBodies.clear();
}

// ---------------------------------------------------------------- layout

void MainView::resizeEvent(QResizeEvent*)
{
    if (isOscMode())
        layoutOsc();
    else
        layoutLogic();
    placeProgress();
}

void MainView::slotChnExpansion()
{
    resizeEvent(nullptr);
}

void MainView::layoutLogic()
{
    oscSceneHeight = 0;
    const int n = chnSidebars.size();
    QVector<int> pos(n), mult(n);
    QVector<bool> ena(n, false);
    for (int i = 0; i < n; ++i) {
        pos[i] = chnSidebars[i]->showIndex;
        mult[i] = chnSidebars[i]->showMultip;
        ena[i] = devUsing && i < devUsing->dChnEna.size() && devUsing->dChnEna[i];
    }
    const WaveMeasure::RowLayout l = WaveMeasure::layoutRows(pos, mult, ena, sidebarArea->height());
    rowTops = l.rowTops;
    const int w = waveView->width();
    for (int i = 0; i < n; ++i) {
        const int p = pos[i];
        const int top = p >= 0 && p < n ? rowTops[p] : 0;
        const int h = p >= 0 && p < n ? l.heights[p] : 0;
        chnSidebars[i]->setGeometry(0, top, px(196), h);
        waveBackgrounds[i]->setSize(w, h);
        waveBackgrounds[i]->setPos(0, top);
        waveLines[i]->setSize(w, h);
        waveLines[i]->setPos(0, top);
        waveLines[i]->update();
    }
    sidebarFrame->setFixedHeight(l.total);
    scene->setSceneRect(0, 0, w, l.total);
    for (CursorBody* c : cursorBodies)
        c->setLen(l.total);
    if (waveDataGen) {
        waveDataGen->setViewWidth(w / px(1));
        waveDataGen->genData();
    }
}

void MainView::placeProgress()
{
    const int s = px(250);
    const int w = waveView->width(), h = waveView->height();
    smpProgress->setSize(s, s);
    const int x = w >= s ? (w - s) / 2 : 0;
    const int y = int(waveView->mapToScene(0, 0).y()) + (h >= s ? (h - s) / 2 : 0);
    smpProgress->setPos(x, y);
}

// ---------------------------------------------------------------- refresh

void MainView::updateViewDisplay()
{
    if (isOscMode()) {
        updateViewDisplayOsc();
        return;
    }
    for (ItemWaveLine* l : waveLines)
        l->update();
    updatePeriodMark(waveView->mapFromGlobal(QCursor::pos()));
    for (int i = 0; i < cursorBodies.size(); ++i)
        if (cursorBodies[i]->isVisible())
            setTimeMarkerPosition(i, double(cursorBodies[i]->smpPoint));
    if (pulseRecountPending) {
        slotPulseMeasureInfoChanged();
        pulseRecountPending = false;
    }
}

void MainView::setSmpDataReady()
{
    for (int i = 0; i < cursorBodies.size(); ++i)
        setLogTimeMarkerStateType(i, 0);
    pulseRecountPending = true;
}

void MainView::updateDevSmpSta(int state, int value)
{
    if (!smpProgress->isVisible())
        smpProgress->show();
    smpProgress->setValue(state, value);
}

void MainView::slotUpdateAnalyzerDecoded()
{
    for (ItemWaveLine* l : waveLines)
        l->update();
}
