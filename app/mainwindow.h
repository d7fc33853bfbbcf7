#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class AnalyzerManager;
class AnalyzerView;
class CheckUpdate;
class MainMenu;
class MainView;
class MyProgressDlg;
class PosiView;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QGridLayout;
class QKeyEvent;
class QKeySequence;
class CalibrateOsc;
class QScrollArea;
class QShortcut;
class QTimerEvent;
class SocketAPI;
class StatusBar;
class TimeView;
class Toolbar;
class VthSetting;
class WaveDataGen;
class WaveDataGenOsc;

// The program's only top-level window. It creates every panel and service of
// the program, lays them out in one grid, wires them together, binds the
// signals of the current device object (again after each replacement), turns
// start-up and sampling reports into what the user sees (mainwindowstatus.cpp)
// and saves its geometry and the settings on close.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    // The service code in "extparam" that enables the calibration shortcut.
    static const char* const accessCode;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // After every replacement of the device object.
    void devModelChanged();
    // Handed to the USB transport; called in the GUI thread on every USB change.
    static void libusbHotplugCallback();

    bool isClosing() const { return closing; }
    // True until the start-up timer has fired.
    bool startupPending() const { return startTimerId != 0; }
    const QList<QShortcut*>& getShortcuts() const { return shortcuts; }
    QGridLayout* getGridLayout() const { return gridLayout; }
    QScrollArea* getToolbarArea() const { return toolbarArea; }
    QScrollArea* getAnalyzerArea() const { return analyzerArea; }
    CalibrateOsc* getCalibrateDlg() const { return calibrateDlg; }
    AnalyzerManager* getAnalyzerManager() const { return analyzerManager; }
    WaveDataGen* getWaveDataGen() const { return waveDataGen; }
    MainMenu* getMainMenu() const { return mainMenu; }
    Toolbar* getToolbar() const { return toolbar; }
    VthSetting* getVthSetting() const { return vthSetting; }
    TimeView* getTimeView() const { return timeView; }
    MainView* getMainView() const { return mainView; }
    StatusBar* getStatusBar() const { return statusBar; }
    PosiView* getPosiView() const { return posiView; }
    AnalyzerView* getAnalyzerView() const { return analyzerView; }
    MyProgressDlg* getProgressDlg() const { return progressDlg; }
    SocketAPI* getSocketApi() const { return socketApi; }

public slots:
    void slotDevInitStaShow(int sta, int err, int n);
    void slotDevSmpStaShow(int sta, int err, int n);
    void slotDevPreConnect(int model);
    void slotSmpDataReady(int decode);
    void slotSmpModeChanged();
    void slotSmpProgPositionChanged();
    void slotWaveViewRefresh(bool decRefresh);
    void slotToolbarZoomChanged(QString str);
    void slotUpdateFromSocket(int ui);
    void slotReplaceConfig();
    void slotOpenCalibrate();
    void slotWaveDateMoved(int chn, double begSmp);
    void slotPosiViewUpdate();

protected:
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;

private:
    void createShortcuts();
    QShortcut* addShortcut(const QKeySequence& key);
    // Replaces the device object once nothing reads the old one any more.
    void replaceDevice(int model);
    // Loads the data file named on the command line into the store not shown.
    void loadCommandLineData();
    // The modal error box of the status slots and the start-up file load.
    void showErrorBox(const QString& text);

    // The window the hot-plug callback reaches; null once it started closing.
    static MainWindow* hotplugTarget;

    AnalyzerManager* analyzerManager = nullptr;
    WaveDataGen* waveDataGen = nullptr;
    WaveDataGenOsc* waveDataGenOsc = nullptr;
    CheckUpdate* checkUpdate = nullptr;
    SocketAPI* socketApi = nullptr;
    QList<QShortcut*> shortcuts;
    QGridLayout* gridLayout = nullptr;
    QScrollArea* toolbarArea = nullptr;
    QScrollArea* analyzerArea = nullptr;
    // Made on first Ctrl+J; lives until close.
    CalibrateOsc* calibrateDlg = nullptr;
    MainMenu* mainMenu = nullptr;
    Toolbar* toolbar = nullptr;
    VthSetting* vthSetting = nullptr;
    TimeView* timeView = nullptr;
    MainView* mainView = nullptr;
    StatusBar* statusBar = nullptr;
    AnalyzerView* analyzerView = nullptr;
    MyProgressDlg* progressDlg = nullptr;
    PosiView* posiView = nullptr;
    int startTimerId = 0;
    bool closing = false;
};
