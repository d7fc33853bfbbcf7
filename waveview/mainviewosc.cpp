// The oscilloscope work mode of the waveform area: setting panels in the
// sidebar; graticule, traces, tags and cursors on the scene; the slots the
// panels report to, the tag drags, the auto-scale steps and the cursor
// readouts.

#include "waveview/mainview.h"

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdataosc.h"
#include "scope/autoscaleitem.h"
#include "scope/chnsetosc.h"
#include "scope/chntagosc.h"
#include "scope/cursormarkernameosc.h"
#include "scope/cursormarkerosc.h"
#include "scope/gridlabelitem.h"
#include "scope/gridvoltinforitem.h"
#include "scope/mathoperationosc.h"
#include "scope/osccalc.h"
#include "scope/oscgrid.h"
#include "scope/smppause.h"
#include "widgets/oscpanelkit.h"
#include "scope/oscsetcode.h"
#include "scope/timesetosc.h"
#include "scope/triggersetosc.h"
#include "scope/triggertagosc.h"
#include "scope/wavebackgroundosc.h"
#include "scope/wavelineosc.h"
#include "waveview/nextedge.h"
#include "waveview/waveanalyzersource.h"
#include "scope/wavedatagenosc.h"
#include "waveview/waveview.h"
#include "widgets/myscrollbar.h"

#include <QDebug>
#include <QFrame>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QScrollArea>
#include <QShortcut>

#include <algorithm>
#include <cmath>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

int toInt(double v)
{
    return int(std::trunc(v));
}

int chnCount()
{
    return devUsing ? devUsing->aChnEna.size() : 0;
}

bool validChn(int chn)
{
    return chn >= 0 && chn < chnCount();
}

const QString unknown = QStringLiteral("###");

} // namespace

OscGrid MainView::oscGrid() const
{
    OscGrid g;
    g.left = gridLeft;
    g.top = gridTop;
    g.width = gridWidth;
    g.height = gridHeight;
    return g;
}

// ---------------------------------------------------------------- build and tear down

void MainView::initOsc()
{
    waveView->overlayBar()->hide();
    connectSidebarBar(false);
    sidebarArea->setFixedWidth(px(271));
    sidebarFrame->setFixedWidth(px(271));
    const int n = chnCount();
    // A stored channel outside the device's list (edited settings) measures the first.
    const int cursorChn = Config::readGlobalParam(QStringLiteral("oscCursorChn")).toInt();
    oscCursorChnIndex = validChn(cursorChn) ? cursorChn : 0;

    for (int i = 0; i < n; ++i) {
        auto* panel = new ChnSetOsc(i, sidebarFrame);
        connect(panel, &ChnSetOsc::stateChanged, this, &MainView::slotChnExpansion);
        connect(panel, &ChnSetOsc::chnSetChanged, this, &MainView::slotOscChnSetChanged);
        chnSetPanels.append(panel);
    }
    timeSetPanel = new TimeSetOsc(sidebarFrame);
    connect(timeSetPanel, &TimeSetOsc::stateChanged, this, &MainView::slotChnExpansion);
    connect(timeSetPanel, &TimeSetOsc::timeSetChanged, this, &MainView::slotOscTimeSetChanged);
    trgSetPanel = new TriggerSetOsc(sidebarFrame);
    connect(trgSetPanel, &TriggerSetOsc::stateChanged, this, &MainView::slotChnExpansion);
    connect(trgSetPanel, &TriggerSetOsc::trigSetChanged, this, &MainView::slotOscTrgSetChanged);
    mathPanel = new MathOperationOsc(sidebarFrame);
    connect(mathPanel, &MathOperationOsc::stateChanged, this, &MainView::slotChnExpansion);
    connect(mathPanel, &MathOperationOsc::mathSetChanged, this, &MainView::slotOscMathSetChanged);

    auto add = [this](QGraphicsItem* item, int z) {
        item->setZValue(z);
        scene->addItem(item);
    };
    for (int i = 0; i < n; ++i) {
        chnTags.append(new ChnTagOsc(i));
        add(chnTags.last(), 3);
    }
    for (int i = 0; i < n; ++i) {
        trgLevelTags.append(new TriggerTagOsc(0, i, true));
        add(trgLevelTags.last(), 1);
        trgLevelTags.last()->setVisible(i == devUsing->aTrgChn);
    }
    trgPosTag = new TriggerTagOsc(1, 0, true);
    add(trgPosTag, 2);
    trgPosTagOutline = new TriggerTagOsc(1, 0, false);
    add(trgPosTagOutline, 1);
    trgPosTagOutline->hide();
    voltInfoItem = new GridVoltInforItem();
    add(voltInfoItem, 4);
    autoScaleItem = new AutoScaleItem();
    add(autoScaleItem, 4);
    gridLabel = new GridLabelItem();
    add(gridLabel, 4);
    gridBackground = new WaveBackgroundOsc(waveDataGenOsc);
    add(gridBackground, 0);
    traceItem = new WaveLineOsc(waveDataGenOsc);
    add(traceItem, 1);
    mathTag = new ChnTagOsc(n);
    add(mathTag, 3);
    mathTag->setVisible(devUsing->aMathEna);
    for (int kind : {1, 0}) {
        for (int i = 0; i < 2; ++i) {
            cursorMarkers.append(new CursorMarkerOsc(i, kind));
            add(cursorMarkers.last(), 3);
            cursorNames.append(new CursorMarkerNameOsc((kind ? QStringLiteral("x") : QStringLiteral("Y"))
                                                       + QString::number(i + 1)));
            add(cursorNames.last(), 3);
        }
    }

    for (int i = 0; i < n; ++i) {
        chnSetPanels[i]->init();
        chnTags[i]->setVisible(devUsing->aChnEna.at(i));
    }
    timeSetPanel->init();
    trgSetPanel->init();
    registerShortCutkey();
}

void MainView::deleteOscItems()
{
    auto drop = [this](QGraphicsItem* item) {
        if (!item)
            return;
        scene->removeItem(item);
        delete item;
    };
    drop(traceItem);
    drop(gridBackground);
    for (int i = cursorMarkers.size() - 1; i >= 0; --i) {
        drop(cursorMarkers[i]);
        drop(cursorNames.value(i));
    }
    drop(trgPosTag);
    drop(trgPosTagOutline);
    for (int i = 0; i < chnTags.size(); ++i) {
        drop(chnTags[i]);
        drop(trgLevelTags.value(i));
    }
    drop(voltInfoItem);
    drop(gridLabel);
    delete trgSetPanel;
    delete mathPanel;
    delete timeSetPanel;
    qDeleteAll(chnSetPanels);
    drop(mathTag);
    drop(autoScaleItem);
    traceItem = nullptr;
    gridBackground = nullptr;
    cursorMarkers.clear();
    cursorNames.clear();
    trgPosTag = nullptr;
    trgPosTagOutline = nullptr;
    chnTags.clear();
    trgLevelTags.clear();
    voltInfoItem = nullptr;
    gridLabel = nullptr;
    trgSetPanel = nullptr;
    mathPanel = nullptr;
    timeSetPanel = nullptr;
    chnSetPanels.clear();
    mathTag = nullptr;
    autoScaleItem = nullptr;
    oscSceneHeight = 0;
}

// ---------------------------------------------------------------- layout

void MainView::layoutOsc()
{
    if (!gridBackground)
        return;   // a resize before the items were built
    const int p = px(1);
    const int H = sidebarArea->height();
    const int W = waveView->width();
    // Non-zero while the items exist, also for a sidebar of no height yet.
    oscSceneHeight = std::max(H, 1);
    const int tagW = chnTags.isEmpty() ? mathTag->itemWidth() : chnTags[0]->itemWidth();
    const OscGrid g = OscGrid::layout(W, H, tagW, trgPosTag->itemHeight(), cursorNames[0]->itemWidth(), p);
    gridLeft = g.left;
    gridTop = g.top;
    gridWidth = g.width;
    gridHeight = g.height;
    // A window too small for a grid keeps every item empty rather than negative.
    const int gw = std::max(0, gridWidth);
    const int gh = std::max(0, gridHeight);

    int y = 0;
    QVector<QWidget*> panels;
    for (ChnSetOsc* c : qAsConst(chnSetPanels))
        panels << c;
    panels << timeSetPanel << trgSetPanel << mathPanel;
    for (QWidget* w : qAsConst(panels)) {
        w->setGeometry(0, y, px(271), w->height());
        y += w->height();
    }
    sidebarFrame->setFixedHeight(std::max(y, H));

    gridBackground->setSize((gw + 3) * p, (gh + 3) * p);
    gridBackground->setPos((gridLeft - 1) * p, (gridTop - 1) * p);
    traceItem->setSize((gw + 1) * p, (gh + 1) * p);
    traceItem->setPos(gridLeft * p, gridTop * p);
    scene->setSceneRect(0, 0, W, H);
    voltInfoItem->setWidth(gw * p);
    for (TriggerTagOsc* t : {trgPosTag, trgPosTagOutline})
        t->setPos(0, (gridTop - 2) * p - t->itemHeight());

    for (int i = 0; i < chnTags.size(); ++i) {
        ChnTagOsc* tag = chnTags[i];
        const double off = devUsing->aChnOffset.value(i);
        tag->setPos((gridLeft - 2) * p - tag->itemWidth(),
                    (gridHeight * (0.5 - off / 1000) + gridTop) * p - tag->itemHeight() / 2);
        trgLevelTags[i]->setPos((gridLeft + 3 + gridWidth) * p, trgLevelTags[i]->y());
        updateATrgSet(i, OscSetCode::OffsetFromTag);
    }
    traceItem->update();

    const int s = toInt(std::min(gw, gh) * 0.2) * p;
    autoScaleItem->setSize(s, s);
    autoScaleItem->setPos((gridWidth + gridLeft) * p - (px(10) + s), (gridHeight + gridTop) * p - (px(10) + s));

    for (int i = 0; i < cursorMarkers.size(); ++i) {
        CursorMarkerOsc* c = cursorMarkers[i];
        c->setLen(c->kind() == 0 ? (gw + 1) * p : (gh + 1) * p);
        if (c->isVisible())
            setAMarkerPosition(i, c->fraction);
    }
    updateATrgPercent();
    if (waveDataGenOsc)
        waveDataGenOsc->setViewWidth(gridWidth);
    // The math tag beside the grid, on the math trace's zero line.
    mathTag->setPos((gridLeft - 2) * p - mathTag->itemWidth(), mathTag->y());
    slotOscMathSetChanged(false);
}

// ---------------------------------------------------------------- refresh and auto-scale

void MainView::updateViewDisplayOsc()
{
    if (!waveDataGenOsc || !traceItem)
        return;
    switch (waveDataGenOsc->autoScaleState) {
    case -1:
        updateATrgPercent();
        traceItem->update();
        break;
    case 0:
        traceItem->update();
        autoScaleItem->show();
        break;
    case 1:
    case 2:
        // One restart per step: a refresh from a zoom or a resize during the
        // run took no step and must not throw the capture away.
        if (waveDataGenOsc->autoScaleSteps == autoScaleStepsSeen)
            break;
        autoScaleStepsSeen = waveDataGenOsc->autoScaleSteps;
        devUsing->smpStopAndWait();
        if (analyzerManager)
            analyzerManager->stopDecoding();
        devUsing->smpStart(SmpStartAuto, false);
        break;
    case 4:
        qDebug() << "AutoScale > --- No Period!";
        Q_FALLTHROUGH();
    case 3: {
        autoScaleStepsSeen = waveDataGenOsc->autoScaleSteps;
        devUsing->smpStopAndWait();
        waveDataGenOsc->autoScaleState = -1;
        autoScaleItem->hide();
        for (int i = 0; i < chnSetPanels.size(); ++i) {
            chnSetPanels[i]->init();
            setAChnVoltSet(i, OscSetCode::OffsetTyped);
            updateATrgSet(i, OscSetCode::OffsetTyped);
            updateAMarkerY(i);
        }
        timeSetPanel->init();
        trgSetPanel->init();
        updateATrgPercent();
        if (analyzerManager)
            analyzerManager->stopDecoding();
        const int mode = Config::readGlobalParam(QStringLiteral("autoWaitTrig")).toInt() == 0 ? SmpStartRepeat
                                                                                              : SmpStartRepeatTrg;
        devUsing->smpStart(SmpStartMode(mode), false);
        emit smpStaChanged(mode);
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------- panel slots

void MainView::slotOscChnSetChanged(int type, int chn)
{
    if (!validChn(chn) || chn >= chnTags.size())
        return;
    SmpPause pause;
    switch (type) {
    case OscSetCode::ChnEnable:
        chnTags[chn]->setVisible(devUsing->aChnEna.at(chn));
        updateATrgPercent();
        emit oscChnMeasureChanged(chn);
        break;
    case OscSetCode::ProbeRate:
        updateAMarkerY(chn);
        emit oscChnMeasureChanged(chn);
        break;
    case OscSetCode::VoltDiv:
        updateATrgSet(chn, OscSetCode::VoltDiv);
        updateAMarkerY(chn);
        break;
    case OscSetCode::OffsetTyped:
    case OscSetCode::OffsetReset:
        setAChnVoltSet(chn, type);
        updateATrgSet(chn, type);
        updateAMarkerY(chn);
        break;
    default:
        break;
    }
    // The traces are drawn at the current scale and offset.
    traceItem->update();
}

void MainView::slotOscTimeSetChanged(int type)
{
    SmpPause pause;
    if (type == OscSetCode::TimeDiv && waveDataGenOsc)
        waveDataGenOsc->zoomChangedByTimediv();
    else if (type == OscSetCode::TrgTime)
        updateATrgPercent();
}

void MainView::slotOscTrgSetChanged(int index, int type)
{
    SmpPause pause;
    if (type == OscSetCode::TrgChannel)
        updateATrgSet(index, OscSetCode::TrgChannel);
    else
        devUsing->setATrgType(index);
}

void MainView::slotOscMathSetChanged(bool regenerate)
{
    if (!mathTag || !devUsing)
        return;
    const int op = devUsing->aMathOperator;
    const int off = devUsing->aMathOffset.value(op);
    const int p = px(1);
    mathTag->setPos(mathTag->x(), toInt(gridTop + gridHeight * (0.5 - off / 1000.0)) * p - mathTag->itemHeight() / 2);
    mathTag->setVisible(devUsing->aMathEna);
    if (regenerate && waveDataGenOsc)
        waveDataGenOsc->genMathData();
    traceItem->update();
}

void MainView::slotCalibSettingChanged(int type, int chn)
{
    if (type > 3 || type < 0 || chnSetPanels.isEmpty())
        return;
    auto refresh = [this](int i, int voltCode, int trgCode) {
        chnTags[i]->show();
        chnSetPanels[i]->init();
        if (voltCode)
            setAChnVoltSet(i, voltCode);
        updateATrgSet(i, trgCode);
        updateAMarkerY(i);
    };
    if (type == 2) {
        for (int i = 0; i < 2 && i < chnSetPanels.size(); ++i)
            refresh(i, OscSetCode::OffsetReset, OscSetCode::OffsetReset);
        timeSetPanel->init();
        return;
    }
    if (!validChn(chn) || chn >= chnSetPanels.size())
        return;
    refresh(chn, type == 1 ? int(OscSetCode::OffsetFromTag) : 0, OscSetCode::OffsetTyped);
    if (type == 1)
        timeSetPanel->init();
}

// ---------------------------------------------------------------- offsets, levels, trigger position

void MainView::setAChnVoltSet(int chn, int code)
{
    if (!validChn(chn) || chn >= chnTags.size())
        return;
    const int p = px(1);
    const OscGrid g = oscGrid();
    ChnTagOsc* tag = chnTags[chn];
    const int h = tag->itemHeight();
    if (code == OscSetCode::OffsetTyped || code == OscSetCode::OffsetReset) {
        tag->setPos(tag->x(), g.zeroLine(devUsing->aChnOffset.at(chn)) * p - h / 2);
    } else if (code == OscSetCode::OffsetFromTag) {
        const int r = g.perMilleOfRow((tag->y() + h / 2) / p);
        const int y = g.rowOf(r / 1000.0);
        tag->setPos(tag->x(), y * p - h / 2);
        devUsing->setAChnOffset(chn, OscGrid::offsetOfPerMille(r));
        updateGridInforLabel(chn, chnSetPanels[chn]->setChnVolt(), gridLeft + 2, y);
    }
    traceItem->update();
}

void MainView::updateATrgSet(int chn, int code)
{
    if (!validChn(chn) || chn >= trgLevelTags.size())
        return;
    const int p = px(1);
    const OscGrid g = oscGrid();
    TriggerTagOsc* tag = trgLevelTags[chn];
    const int h = tag->itemHeight();
    const int off = devUsing->aChnOffset.at(chn);
    const int voltDiv = devUsing->getAVoltDivValue(chn);
    switch (code) {
    case OscSetCode::TrgChannel:
        devUsing->setATrgChn(chn);
        for (int i = 0; i < trgLevelTags.size(); ++i)
            trgLevelTags[i]->setVisible(i == devUsing->aTrgChn);
        Q_FALLTHROUGH();
    case OscSetCode::OffsetFromTag:
    case OscSetCode::VoltDiv:
    case OscSetCode::OffsetTyped:
    case OscSetCode::OffsetReset:
    case OscSetCode::TrgLevelPlace:
        tag->fraction = OscGrid::levelFraction(off, devUsing->aTrgVolt.value(chn), voltDiv);
        tag->setPos(tag->x(), p * (OscGrid::placeable(tag->fraction) * gridHeight + gridTop) - h / 2);
        break;
    case OscSetCode::TrgLevelDragged: {
        const double r = OscCalc::snapFraction(g.fractionY((tag->y() + h / 2) / p));
        const int y = g.rowOf(r);
        tag->fraction = r;
        tag->setPos(tag->x(), y * p - h / 2);
        const double level = OscGrid::levelAt(r, off, voltDiv);
        devUsing->setATrgVolt(chn, level);
        // The level is kept at the probe's 1X; shown like every other voltage.
        voltInfoItem->setText(chn, OscCalc::voltText(level * devUsing->aProbeRate.value(chn, 1)));
        voltInfoItem->setPos(p * gridLeft, y * p - voltInfoItem->itemHeight());
        voltInfoItem->show();
        break;
    }
    default:
        break;
    }
}

void MainView::updateATrgPercent()
{
    if (!trgPosTag || !devUsing)
        return;
    const int p = px(1);
    const SmpDataOscPtr s = devUsing->displayedSmpDataOsc();
    bool shown = false;
    for (int i = 0; waveDataGenOsc && i < chnCount(); ++i) {
        const double spp = waveDataGenOsc->smpPerPixel.value(i);
        if (!devUsing->aChnEna.at(i) || spp == 0)
            continue;
        const AnalogChnData* d = s && i < s->chnNum ? s->chnData[size_t(i)] : nullptr;
        const double x = ((d ? d->trgPosition : 0) - waveDataGenOsc->smpOffset.value(i)) / spp;
        trgPosTagOutline->fraction = gridWidth > 0 ? x / gridWidth : 0.0;
        shown = gridWidth > 0 && x >= 0 && x <= gridWidth;
        if (shown)
            trgPosTagOutline->setPos((gridLeft + toInt(x)) * p - trgPosTagOutline->itemWidth() / 2,
                                     trgPosTagOutline->y());
        break;
    }
    trgPosTagOutline->setVisible(shown);
    if (cursorMarkers.size() > 1 && (cursorMarkers[0]->isVisible() || cursorMarkers[1]->isVisible()))
        updateAMarkerValue(1);
    trgPosTag->setPos((toInt(gridWidth * devUsing->aTrgPercent / 1000.0) + gridLeft) * p - trgPosTag->itemWidth() / 2,
                      trgPosTag->y());
}

void MainView::setOscTrgHorMoved(int x)
{
    if (!trgPosTag)
        return;
    const int p = px(1);
    const OscGrid g = oscGrid();
    const double r = OscCalc::snapFraction(g.fractionX(x));
    // The snapped fraction holds whole thousandths; rounding keeps them whole.
    devUsing->setATrgPercent(int(std::lround(r * 1000)));
    const int xs = g.columnOf(r);
    trgPosTag->setPos(xs * p - trgPosTag->itemWidth() / 2, trgPosTag->y());
    updateGridInforLabel(-1, timeSetPanel->setTrgTime(), xs, gridTop + 2);
    if (!trgPosTagOutline->isVisible())
        updateAMarkerValue(1);
}

void MainView::setOscMathChnTagPosition(int y)
{
    if (!mathTag)
        return;
    const int p = px(1);
    const OscGrid g = oscGrid();
    const int r = g.perMilleOfRow(y);
    const int ys = toInt(gridHeight * r / 1000.0 + gridTop);
    mathTag->setPos(mathTag->x(), ys * p - mathTag->itemHeight() / 2);
    const int op = devUsing->aMathOperator;
    if (op < 0 || op >= devUsing->aMathOffset.size() || op >= devUsing->aMathScale.size())
        return;
    devUsing->aMathOffset[op] = OscGrid::offsetOfPerMille(r);
    devUsing->saveAMathSet();
    const QString text = OscCalc::mathOffsetText(devUsing->aMathOffset[op], devUsing->aMathScale[op]);
    mathPanel->setChnOffsetValue(text);
    updateGridInforLabel(mathTag->channel(), text, gridLeft + 2, ys);
    traceItem->update();
}

void MainView::updateGridInforLabel(int kind, const QString& text, int x, int y)
{
    if (!gridLabel)
        return;
    const int p = px(1);
    const int w = gridLabel->itemWidth() / p;
    const int h = gridLabel->itemHeight() / p;
    if (kind == -1) {
        const int X = std::max(gridLeft, std::min(gridLeft + gridWidth - w, x - w / 2));
        gridLabel->setPos(X * p, y * p);
    } else {
        const int Y = std::max(gridTop, std::min(gridTop + gridHeight - h, y - h / 2));
        gridLabel->setPos(x * p, Y * p);
    }
    gridLabel->setText(kind, text);
    gridLabel->show();
}

// ---------------------------------------------------------------- cursors

void MainView::setAMarkerPosition(int id, double v)
{
    if (id < 0 || id >= cursorMarkers.size())
        return;
    const int p = px(1);
    CursorMarkerOsc* c = cursorMarkers[id];
    CursorMarkerNameOsc* name = cursorNames[id];
    c->fraction = v;
    if (c->kind() == 0) {
        const int y = toInt(p * (gridHeight * v + gridTop));
        c->setPos(gridLeft * p, y - c->itemHeight() / 2);
        name->setPos((gridLeft + 2 + gridWidth) * p, y - name->itemWidth() / 2);
    } else {
        const int x = toInt(p * (gridWidth * v + gridLeft));
        c->setPos(x - c->itemWidth() / 2, gridTop * p);
        name->setPos(x - name->itemWidth() / 2, p);
    }
}

void MainView::setAMarkerState(int id, int state)
{
    if (id < 0 || id >= cursorMarkers.size())
        return;
    cursorMarkers[id]->setStateType(state);
    cursorNames[id]->setStateType(state);
}

void MainView::updateAMarkerValue(int oscType)
{
    if (oscType != 0)
        emit oscXyMeasureChanged(oscType, calculateX1X2());
    else
        emit oscXyMeasureChanged(0, calculateY1Y2());
}

void MainView::updateAMarkerY(int chn)
{
    if (chn == oscCursorChnIndex)
        emit oscXyMeasureChanged(0, calculateY1Y2());
}

QStringList MainView::calculateX1X2() const
{
    QStringList out = {unknown, unknown, unknown};
    if (cursorMarkers.size() < 2 || !devUsing)
        return out;
    int k = 0;
    const double t = double(OscCalc::timeShown(devUsing->timeDivList.value(devUsing->timeDivIndex), &k));
    const QString unit = OscCalc::timeUnit(k);
    const double ref = trgPosTagOutline->isVisible() ? trgPosTagOutline->fraction : devUsing->aTrgPercent / 1000.0;
    double v[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        if (!cursorMarkers[i]->isVisible())
            continue;
        v[i] = (cursorMarkers[i]->fraction - ref) * t * 10;
        out[i] = QString::number(v[i], 'g', 6) + unit;
    }
    if (cursorMarkers[0]->isVisible() && cursorMarkers[1]->isVisible())
        out[2] = QString::number(std::fabs(v[0] - v[1]), 'g', 4) + unit;
    return out;
}

QStringList MainView::calculateY1Y2() const
{
    QStringList out = {unknown, unknown, unknown};
    if (cursorMarkers.size() < 4 || !validChn(oscCursorChnIndex))
        return out;
    const int ch = oscCursorChnIndex;
    const int scale = devUsing->getAVoltDivValue(ch) * devUsing->aProbeRate.value(ch, 1) * 10;
    const double zero = 0.5 - devUsing->aChnOffset.value(ch) / 1000.0;
    double v[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const CursorMarkerOsc* c = cursorMarkers[2 + i];
        if (!c->isVisible())
            continue;
        v[i] = (zero - c->fraction) * scale;
        out[i] = voltDataToString(v[i]);
    }
    if (cursorMarkers[2]->isVisible() && cursorMarkers[3]->isVisible())
        out[2] = voltDataToString(std::fabs(v[0] - v[1]));
    return out;
}

double MainView::getAGridVoltOffset(double v)
{
    return OscCalc::snapFraction(v);
}

double MainView::getAGridTimeOffset(double v)
{
    return OscCalc::snapFraction(v);
}

QString MainView::voltDataToString(double mV)
{
    return OscCalc::voltText(mV);
}

void MainView::slotVoltAChnChanged(int chnIndex)
{
    if (!validChn(chnIndex))
        return;
    oscCursorChnIndex = chnIndex;
    updateAMarkerValue(0);
}

void MainView::slotXyBtnClicked(int phyId, int oscType)
{
    const int index = (oscType != 0 ? 0 : 2) + phyId;
    if (phyId < 0 || phyId > 1 || index >= cursorMarkers.size())
        return;
    // A following cursor of the other pair that is dropped here leaves the
    // waveform: its pair's readout must say so too.
    bool otherDropped = false;
    for (int i = 0; i < cursorMarkers.size(); ++i) {
        if (i != index && cursorMarkers[i]->state() == 1) {
            setAMarkerState(i, 0);
            otherDropped = otherDropped || cursorMarkers[i]->kind() != cursorMarkers[index]->kind();
        }
    }
    CursorMarkerOsc* c = cursorMarkers[index];
    if (c->state() == 0) {
        const QPoint m = waveView->mapFromGlobal(QCursor::pos());
        const int p = px(1);
        const OscGrid g = oscGrid();
        // In floating point: an integer division would give only 0 or 1.
        const double v = c->kind() == 0 ? g.fractionY(double(m.y()) / p) : g.fractionX(double(m.x()) / p);
        setAMarkerPosition(index, OscCalc::snapFraction(v));
        setAMarkerState(index, 1);
    } else {
        setAMarkerState(index, c->state() == 1 ? 0 : 1);
    }
    if (otherDropped)
        updateAMarkerValue(oscType != 0 ? 0 : 1);
    updateAMarkerValue(oscType);
}

void MainView::slotXyHideClicked(int index)
{
    if (index < 0 || 2 * index + 1 >= cursorMarkers.size())
        return;
    setAMarkerState(2 * index, 0);
    setAMarkerState(2 * index + 1, 0);
    updateAMarkerValue(cursorMarkers[2 * index]->kind());
}

void MainView::slotShortCutMarkerOsc()
{
    auto* s = qobject_cast<QShortcut*>(sender());
    if (!s || cursorMarkers.size() < 4)
        return;
    const int k = s->key()[0] - Qt::Key_0;
    if (k < 1 || k > 4)
        return;
    slotXyBtnClicked((k - 1) % 2, cursorMarkers[k - 1]->kind());
    emit oscXyShortAddClicked((k - 1) / 2);
}

// ---------------------------------------------------------------- mouse

// The tags a press can pick up, in the order they are tested.
QVector<OscTagItem*> MainView::oscDragTags() const
{
    QVector<OscTagItem*> tags = {mathTag, trgPosTag};
    for (int i = 0; i < chnTags.size(); ++i)
        tags << chnTags[i] << trgLevelTags[i];
    return tags;
}

void MainView::mousePressedOsc(QMouseEvent* e)
{
    if (!traceItem)
        return;
    const QPointF at = waveView->mapToScene(e->pos());
    for (OscTagItem* tag : oscDragTags()) {
        if (tag && tag->isVisible() && tag->sceneBoundingRect().contains(at)) {
            tag->dragging = true;
            devUsing->smpStopForRestart();
            return;
        }
    }
}

void MainView::mouseMovedOsc(QMouseEvent* e)
{
    if (!traceItem)
        return;
    const int p = px(1);
    const QPointF at = waveView->mapToScene(e->pos());
    const OscGrid g = oscGrid();
    if (e->buttons() & Qt::LeftButton) {
        if (mathTag->dragging) {
            setOscMathChnTagPosition(toInt(at.y() / p));
            return;
        }
        if (trgPosTag->dragging) {
            setOscTrgHorMoved(toInt(at.x() / p));
            return;
        }
        for (int i = 0; i < chnTags.size(); ++i) {
            if (chnTags[i]->dragging) {
                chnTags[i]->setPos(chnTags[i]->x(), at.y() - chnTags[i]->itemHeight() / 2);
                setAChnVoltSet(i, OscSetCode::OffsetFromTag);
                updateATrgSet(i, OscSetCode::OffsetFromTag);
                updateAMarkerY(i);
                return;
            }
            if (trgLevelTags[i]->dragging) {
                trgLevelTags[i]->setPos(trgLevelTags[i]->x(), at.y() - trgLevelTags[i]->itemHeight() / 2);
                updateATrgSet(i, OscSetCode::TrgLevelDragged);
                return;
            }
        }
        // No tag: a drag that starts inside the grid pans the traces.
        const QPoint last = lastMousePoint;
        const auto inColumns = [&](int x) { return x >= gridLeft * p && x <= (gridLeft + gridWidth) * p; };
        if (inColumns(last.x()) && last.y() >= gridTop * p && inColumns(e->pos().x())) {
            emit mouseDraged((e->pos().x() - last.x()) / p);
            lastMousePoint = QPoint(e->pos().x(), std::max(e->pos().y(), gridTop * p));
        }
        return;
    }
    if (e->buttons() != Qt::NoButton)
        return;
    for (int i = 0; i < cursorMarkers.size(); ++i) {
        CursorMarkerOsc* c = cursorMarkers[i];
        if (c->state() != 1)
            continue;
        const double v = c->kind() == 0 ? g.fractionY(at.y() / p) : g.fractionX(at.x() / p);
        setAMarkerPosition(i, OscCalc::snapFraction(v));
        updateAMarkerValue(c->kind());
        nextEdge->hide();
        return;
    }
    for (int i = 0; i < cursorMarkers.size(); ++i) {
        CursorMarkerOsc* c = cursorMarkers[i];
        if (c->state() != 2 && c->state() != 3)
            continue;
        const bool over = c->sceneBoundingRect().adjusted(-p, -p, p, p).contains(at);
        if (over && c->state() == 3) {
            setAMarkerState(i, 2);
            return;
        }
        if (!over && c->state() == 2) {
            setAMarkerState(i, 3);
            return;
        }
    }
}

void MainView::mouseReleasedOsc(QMouseEvent* e)
{
    if (!traceItem)
        return;
    voltInfoItem->hide();
    gridLabel->hide();
    for (OscTagItem* tag : oscDragTags()) {
        if (tag && tag->dragging) {
            tag->dragging = false;
            devUsing->smpRestartIfNeed();
            return;
        }
    }
    if (mouseMoved)
        return;
    for (int i = 0; i < cursorMarkers.size(); ++i) {
        const int s = cursorMarkers[i]->state();
        if (s != 1 && s != 2)
            continue;
        if (e->button() == Qt::RightButton) {
            setAMarkerState(i, 0);
            updateAMarkerValue(cursorMarkers[i]->kind());
        } else if (e->button() == Qt::LeftButton) {
            setAMarkerState(i, s == 1 ? 3 : 1);
        }
        return;
    }
}

void MainView::mouseLeaveOsc()
{
    for (int i = 0; i < cursorMarkers.size(); ++i)
        if (cursorMarkers[i]->state() == 2)
            setAMarkerState(i, 3);
}

void MainView::wheelOsc(int flag, QPoint point)
{
    if (timeSetPanel && timeSetPanel->setTimeDiv(flag))
        emit zoomChangedByMouse(flag == 1 ? 1 : 2, point.x() / px(1) - gridLeft);
}
