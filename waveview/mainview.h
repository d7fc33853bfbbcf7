#pragma once
// The central waveform area: the channel sidebar beside the graphics view
// over one scene that carries every trace, background, marker and overlay.
// One object, reached as MainView::me. Its work spreads over several files:
// mainview.cpp (frame, layout, refresh), mainviewnav.cpp (mouse, wheel,
// keys, period mark, edge buttons), mainviewmarkers.cpp (timing markers and
// pulse counts), mainviewrows.cpp (row order, heights, triggers, aliases),
// mainviewchnmenu.cpp (channel menu, dialogs, live levels) and
// mainviewosc.cpp (the oscilloscope work mode).

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

class QAction;
class QGraphicsItem;
class QFrame;
class QGraphicsScene;
class QMenu;
class QMouseEvent;
class QScrollArea;
class QShortcut;
class QTimerEvent;

class WaveDataGen;
class WaveDataGenOsc;
class WaveAnalyzerSource;
class WaveView;
class ItemChnSidebar;
class ItemWaveBackground;
class ItemWaveLine;
class ItemWaveArrow;
class NextEdge;
class ItemSmpProgress;
class CursorBody;
class DlgFilter;
class GlitchFilterJob;
// Oscilloscope work mode: panels and scene items.
class ChnSetOsc;
class TimeSetOsc;
class TriggerSetOsc;
class MathOperationOsc;
class ChnTagOsc;
class OscTagItem;
class TriggerTagOsc;
class GridVoltInforItem;
class GridLabelItem;
class AutoScaleItem;
class WaveBackgroundOsc;
class WaveLineOsc;
class CursorMarkerOsc;
class CursorMarkerNameOsc;
class OscGrid;

// What the waveform area asks of the pulse-counter panel: the counters to
// count. Registered by whoever builds the window; without one nothing is counted.
class PulseCounterSource
{
public:
    virtual ~PulseCounterSource() = default;
    // Every distinct "channel,time" of the counters; time 0 is the whole
    // capture, t >= 1 marker pair t - 1.
    virtual QStringList getChnAndTimeSet() const = 0;
    // The channels of the counters bound to marker pair `pair`.
    virtual QStringList getChnSet(int pair) const = 0;
};

class MainView : public QWidget
{
    Q_OBJECT

public:
    static MainView* me;

    MainView(WaveDataGen* gen, WaveDataGenOsc* genOsc, WaveAnalyzerSource* analyzers,
             QWidget* parent = nullptr);
    ~MainView() override;

    static void setPulseCounterSource(PulseCounterSource* source);
    static PulseCounterSource* pulseCounterSource();

    // --- frame (mainview.cpp)
    void init();
    void deleteShowItems();
    void updateViewDisplay();
    void setSmpDataReady();
    // state: a DevSmpSta; shows the progress disc first.
    void updateDevSmpSta(int state, int value);
    // Set by the window while Shift is held.
    void setShiftHeld(bool held) { shiftHeld = held; }
    bool isShiftHeld() const { return shiftHeld; }

    WaveView* getWaveView() const { return waveView; }
    QScrollArea* getSidebarArea() const { return sidebarArea; }
    QFrame* getSidebarFrame() const { return sidebarFrame; }
    QGraphicsScene* getScene() const { return scene; }
    ItemSmpProgress* getSmpProgress() const { return smpProgress; }
    const QVector<ItemChnSidebar*>& getChnSidebars() const { return chnSidebars; }
    const QVector<ItemWaveLine*>& getWaveLines() const { return waveLines; }
    const QVector<ItemWaveBackground*>& getWaveBackgrounds() const { return waveBackgrounds; }
    const QVector<int>& getRowTops() const { return rowTops; }
    const QVector<CursorBody*>& getCursorBodies() const { return cursorBodies; }
    ItemWaveArrow* getWaveArrow() const { return waveArrow; }
    NextEdge* getNextEdge() const { return nextEdge; }
    int shortcutCount() const { return shortcuts.size(); }

    // --- navigation (mainviewnav.cpp)
    void registerShortCutkey();
    int getMouseChnPhy(QPoint p) const;
    void updatePeriodMark(QPoint p);
    void updateMeasureValue(double width, double period, double duty, double freq);
    void setLeftEdgeShow(bool pre, int chn, int x);
    void moveEdgetoCenter();

    // --- timing markers (mainviewmarkers.cpp)
    int getCursorBodySub(int id);
    int getCursorBodyIndex(int state) const;
    // Vector index of marker id, -1 while its pair does not exist.
    int findCursorBody(int id) const;
    void setLogTimeMarkerStateType(int index, int state);
    void setLogTimeMarkerSmpPoint(int index, int state, int x);
    void setTimeMarkerPosition(int index, double smp);
    void getCursorBodyCoordinateX(int x, int chn, qint64* smp, int* xOut) const;
    void setLogTimeMarkerValue(int index, int state);
    void setLogTimeMarkerPulseMeasures(int id);
    QString timeDataToString(qint64 ps) const;
    static void getTimeMarkersShow(bool* show, int n);
    static void timeMarkersList(QStringList* names, QVector<qint64>* points);

    // --- rows (mainviewrows.cpp)
    void updateTrgStatus();
    void saveChnShowIndex();

    // --- channel menu, glitch filter (mainviewchnmenu.cpp)
    QMenu* getChnMenu() const { return chnMenu; }
    DlgFilter* getDlgFilter() const { return dlgFilter; }
    // Filters both stores with these widths (per logic channel, 0 = off) on
    // worker threads; a run is restarted, a shown capture drawn and decoded
    // again. False when cancelled (the capture stays as it was).
    bool applyFilter(const QVector<unsigned int>& widths);
    // How long a filter runs before its progress dialog shows.
    void setFilterProgressDelay(int ms) { filterProgressDelayMs = ms; }

    // --- oscilloscope work mode (mainviewosc.cpp)
    void setAChnVoltSet(int chn, int code);
    void updateATrgSet(int chn, int code);
    void updateATrgPercent();
    void setOscTrgHorMoved(int x);
    void setOscMathChnTagPosition(int y);
    void updateGridInforLabel(int kind, const QString& text, int x, int y);
    void setAMarkerPosition(int id, double fraction);
    void setAMarkerState(int id, int state);
    void updateAMarkerValue(int oscType);
    void updateAMarkerY(int chn);
    QStringList calculateX1X2() const;
    QStringList calculateY1Y2() const;
    static double getAGridVoltOffset(double v);
    static double getAGridTimeOffset(double v);
    static QString voltDataToString(double mV);

signals:
    void timMarkPairChanged(int type, int phyId, QString value, QString total);
    void timeMarkBodyChanged(int type, int index, int value);
    void pulseMeasureChangedbyTimeMarker(int index, QStringList res);
    void pulseMeasureChangedbySmpDone(QStringList res);
    void logMeasureChanged(QStringList res);
    void zoomChangedByMouse(int flag, int location);
    void mouseDraged(int width);
    void oscXyMeasureChanged(int oscType, QStringList list);
    void oscXyShortAddClicked(int index);
    void oscChnMeasureChanged(int chn);
    void smpStaChanged(int sta);

public slots:
    // frame
    void slotUpdateAnalyzerDecoded();
    void slotChnExpansion();
    // navigation
    void slotMousePressed(QMouseEvent* e);
    void slotMouseReleased(QMouseEvent* e);
    void slotMouseMoved(QMouseEvent* e);
    void slotMouseLeave();
    void slotWheelChanged(int flag, QPoint point);
    void slotMouseDraged(int move);
    void slotMouseZoomChanged(int flag, int location);
    void slotShortCutZoomIn();
    void slotShortCutZoomOut();
    void slotShortCutMovToBeg();
    void slotShortCutMovToEnd();
    void slotSidebarVerValueChanged(int value);
    void slotSidebarVerRangChanged(int min, int max);
    // timing markers
    void slotTimingMarkerPairClicked(int type, int phyId);
    void slotTimeViewMarkerChanged(int changedType, int index, int state, int midX);
    void slotShortCutTimeMarker();
    void slotPulseMeasureInfoChanged();
    // rows
    void slotChnMove(int mouseFlag, int movedPhyIndex, int move);
    void slotChnTrgEdgeChanged();
    void slotAnalyzerItemChanged();
    void slotChnHeightClicked();
    void slotChnResetClick();
    // channel menu, dialogs and live levels
    void slotChnSetMenu();
    void slotChnEnaClicked();
    void slotFilterClicked();
    void slotLogicProbeClicked(bool checked);
    void slotColorEnaClicked(bool checked);
    void slotChnEnaChanged();
    // oscilloscope work mode
    void slotOscChnSetChanged(int type, int chn);
    void slotOscTimeSetChanged(int type);
    void slotOscTrgSetChanged(int index, int type);
    void slotOscMathSetChanged(bool regenerate);
    void slotVoltAChnChanged(int chnIndex);
    void slotXyBtnClicked(int phyId, int oscType);
    void slotXyHideClicked(int index);
    void slotCalibSettingChanged(int type, int chn);
    void slotShortCutMarkerOsc();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    static bool isOscMode();
    bool samplesPresent() const;
    int logicChannelCount() const;
    void layoutLogic();
    void layoutOsc();
    void placeProgress();
    void initLogic();
    void initOsc();
    void deleteOscItems();
    void connectSidebarBar(bool on);
    // Marker x in view pixels for a sample, clamped far outside the view.
    int markerX(double smp) const;
    void removeCursorPair(int index);
    void moveRowTo(int chn, int top);
    // Waits for the job with the window live; false when cancelled.
    bool runFilterJob(GlitchFilterJob& job);
    void mouseMovedOsc(QMouseEvent* e);
    void mouseReleasedOsc(QMouseEvent* e);
    void mousePressedOsc(QMouseEvent* e);
    void mouseLeaveOsc();
    void wheelOsc(int flag, QPoint point);
    void updateViewDisplayOsc();
    OscGrid oscGrid() const;
    QVector<OscTagItem*> oscDragTags() const;

    // --- frame
    WaveDataGen* waveDataGen;
    WaveDataGenOsc* waveDataGenOsc;
    WaveAnalyzerSource* analyzerManager;
    QScrollArea* sidebarArea = nullptr;
    QFrame* sidebarFrame = nullptr;
    WaveView* waveView = nullptr;
    QGraphicsScene* scene = nullptr;
    QVector<ItemChnSidebar*> chnSidebars;
    QVector<ItemWaveBackground*> waveBackgrounds;
    QVector<ItemWaveLine*> waveLines;
    ItemWaveArrow* waveArrow = nullptr;
    NextEdge* nextEdge = nullptr;
    ItemSmpProgress* smpProgress = nullptr;
    QVector<CursorBody*> cursorBodies;
    QVector<QShortcut*> shortcuts;
    QVector<int> rowTops;
    QStringList freqUnits;
    QStringList timeUnits;
    int liveTimerId = 0;
    bool pulseRecountPending = false;
    int oscSceneHeight = 0;
    bool sidebarBarConnected = false;
    bool shiftHeld = false;

    // --- navigation
    bool mouseMoved = false;
    QPoint lastMousePoint;

    // --- channel menu and glitch filter
    QMenu* chnMenu = nullptr;
    DlgFilter* dlgFilter = nullptr;
    bool filterBusy = false;
    int filterProgressDelayMs = 300;

    // --- oscilloscope work mode
    QVector<ChnSetOsc*> chnSetPanels;
    TimeSetOsc* timeSetPanel = nullptr;
    TriggerSetOsc* trgSetPanel = nullptr;
    MathOperationOsc* mathPanel = nullptr;
    QVector<ChnTagOsc*> chnTags;
    QVector<TriggerTagOsc*> trgLevelTags;
    TriggerTagOsc* trgPosTag = nullptr;
    TriggerTagOsc* trgPosTagOutline = nullptr;
    GridVoltInforItem* voltInfoItem = nullptr;
    GridLabelItem* gridLabel = nullptr;
    AutoScaleItem* autoScaleItem = nullptr;
    WaveBackgroundOsc* gridBackground = nullptr;
    WaveLineOsc* traceItem = nullptr;
    ChnTagOsc* mathTag = nullptr;
    QVector<CursorMarkerOsc*> cursorMarkers;
    QVector<CursorMarkerNameOsc*> cursorNames;
    int oscCursorChnIndex = 0;
    int gridWidth = 0;
    int gridHeight = 0;
    int gridLeft = 0;
    int gridTop = 0;
    int autoScaleStepsSeen = 0;   // the generator's step count last acted on
};
