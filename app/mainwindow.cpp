#include "app/mainwindow.h"

#include "analysis/analyzermanager.h"
#include "analysis/analyzerview.h"
#include "analysis/protocolresult.h"
#include "core/config.h"
#include "core/lang.h"
#include "app/statustexts.h"
#include "controls/inputcheck.h"
#include "controls/smpsetting.h"
#include "controls/statusbar.h"
#include "controls/toolbar.h"
#include "controls/vthsetting.h"
#include "device/devbase.h"
#include "device/devinit.h"
#include "device/devsupport.h"
#include "device/smpdata.h"
#include "device/smpdataosc.h"
#include "files/checkupdate.h"
#include "files/datafile.h"
#include "files/exportdataset.h"
#include "files/mainmenu.h"
#include "scope/calibrateosc.h"
#include "files/socketapi.h"
#include "waveview/mainview.h"
#include "waveview/posiview.h"
#include "waveview/timeview.h"
#include "waveview/wavedatagen.h"
#include "scope/wavedatagenosc.h"
#include "widgets/itemsmpprogress.h"
#include "widgets/myprogressdlg.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPalette>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QUrl>

const char* const MainWindow::accessCode = "52p64w81m93";
MainWindow* MainWindow::hotplugTarget = nullptr;

namespace {

QScrollArea* fixedArea(QWidget* content)
{
    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setStyleSheet(QStringLiteral("QScrollArea{border:0;}"));
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The window's grey shows wherever the content does not paint.
    area->viewport()->setAutoFillBackground(false);
    return area;
}

bool logicMode()
{
    return devUsing && devUsing->workMode != WorkModeOsc;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent)
{
    Config::initResources();
    setWindowIcon(QIcon(QStringLiteral(":/res/Logo.ico")));
    setMinimumSize(Config::pixel(800), Config::pixel(320));
    setGeometry(Config::windowPosition);
    if (Config::readGlobalParam(QStringLiteral("windowMaximized")).toInt() != 0)
        setWindowState(windowState() | Qt::WindowMaximized);
    setAcceptDrops(true);
    QPalette pal = palette();
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        pal.setBrush(QPalette::ColorGroup(g), QPalette::Window, Config::grayColor.value(5));
    setPalette(pal);
    setAutoFillBackground(true);

    analyzerManager = new AnalyzerManager(this);
    waveDataGen = new WaveDataGen(this);
    waveDataGenOsc = new WaveDataGenOsc(this);
    socketApi = new SocketAPI(this);
    connect(socketApi, &SocketAPI::sigUpdateGUI, this, &MainWindow::slotUpdateFromSocket);
    progressDlg = new MyProgressDlg(Lang::tr(QStringLiteral("Device connect")), Lang::tr(QStringLiteral("Close")),
                                    this);
    toolbar = new Toolbar;
    mainMenu = new MainMenu;
    vthSetting = new VthSetting;
    timeView = new TimeView;
    posiView = new PosiView(this);
    statusBar = new StatusBar;
    analyzerView = new AnalyzerView(analyzerManager);
    mainView = new MainView(waveDataGen, waveDataGenOsc, analyzerManager);

    // The menu has replaced the device object when the emission returns.
    connect(mainMenu, &MainMenu::openSettingFile, this, &MainWindow::slotReplaceConfig);
    connect(mainMenu, &MainMenu::sigSmpProgPositionChanged, this, &MainWindow::slotSmpProgPositionChanged);
    // The side panel relays between the waveform view and its sections.
    connect(mainView, &MainView::timMarkPairChanged, analyzerView, &AnalyzerView::slotTimMarkPairChanged);
    connect(mainView, &MainView::pulseMeasureChangedbySmpDone, analyzerView,
            &AnalyzerView::slotPulseMeasureChangedAll);
    connect(mainView, &MainView::pulseMeasureChangedbyTimeMarker, analyzerView,
            &AnalyzerView::slotPulseMeasureChangedbyTimeMarker);
    connect(mainView, &MainView::logMeasureChanged, analyzerView, &AnalyzerView::slotLogMeasureChanged);
    connect(mainView, &MainView::oscXyMeasureChanged, analyzerView, &AnalyzerView::slotOscXyMeasureChanged);
    connect(mainView, &MainView::oscXyShortAddClicked, analyzerView, &AnalyzerView::slotOscXyAddClicked);
    connect(mainView, &MainView::oscChnMeasureChanged, analyzerView, &AnalyzerView::slotOscMeasureView);
    connect(analyzerManager, &AnalyzerManager::analyzerItemChanged, mainView, &MainView::slotAnalyzerItemChanged);
    connect(analyzerManager, &AnalyzerManager::analyzerDecodedChanged, mainView,
            &MainView::slotUpdateAnalyzerDecoded);
    connect(analyzerView, &AnalyzerView::timingMarkerPairClicked, mainView, &MainView::slotTimingMarkerPairClicked);
    connect(analyzerView, &AnalyzerView::pulseMeasureChanged, mainView, &MainView::slotPulseMeasureInfoChanged);
    connect(analyzerView, &AnalyzerView::voltChnChanged, mainView, &MainView::slotVoltAChnChanged);
    connect(analyzerView, &AnalyzerView::oscCursorLabelClicked, mainView, &MainView::slotXyBtnClicked);
    connect(analyzerView, &AnalyzerView::oscCursorHideClicked, mainView, &MainView::slotXyHideClicked);
    connect(timeView, &TimeView::timeMarkerChanged, mainView, &MainView::slotTimeViewMarkerChanged);
    connect(mainView, &MainView::timeMarkBodyChanged, timeView, &TimeView::slotMainViewMarkerChanged);
    connect(mainView, &MainView::smpStaChanged, toolbar, &Toolbar::devSmpStaChanged);
    connect(toolbar, &Toolbar::simDevModelChanged, this, &MainWindow::slotDevPreConnect, Qt::DirectConnection);
    connect(toolbar, &Toolbar::zoomValued, this, &MainWindow::slotToolbarZoomChanged);
    connect(posiView, &PosiView::sigPosiChanged, this, &MainWindow::slotWaveDateMoved);
    connect(waveDataGen, &WaveDataGen::sigViewRefresh, this, &MainWindow::slotWaveViewRefresh);
    connect(waveDataGenOsc, &WaveDataGenOsc::sigViewRefreshOsc, this, &MainWindow::slotWaveViewRefresh);
    // The range dialog of Save Data and Export Data offers the pairs the waveform area shows.
    ExportDataSet::markerSource = &MainView::timeMarkersList;

    toolbarArea = fixedArea(toolbar);
    toolbarArea->setFixedHeight(Config::pixel(48));
    analyzerArea = fixedArea(analyzerView);
    analyzerArea->setFixedWidth(Config::pixel(240));
    // In a low window the sections below the first ones stay reachable. The
    // bar is as thin as the panel's right margin, so it hides no section.
    analyzerArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const QString barW = QString::number(Config::pixel(6));
    analyzerArea->verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical{width:%1px;background:%2;margin:0;border:0;}"
                       "QScrollBar::handle:vertical{background:%3;min-height:%4px;border-radius:%5px;}"
                       "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0;border:0;}"
                       "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:none;}")
            .arg(barW, Config::grayColor.value(5).name(), Config::grayColor.value(3).name(),
                 QString::number(Config::pixel(20)), QString::number(Config::pixel(3))));

    gridLayout = new QGridLayout(this);
    gridLayout->addWidget(toolbarArea, 0, 0, 1, 3);
    gridLayout->addWidget(mainMenu, 0, 3);
    gridLayout->addWidget(vthSetting, 1, 0);
    gridLayout->addWidget(timeView, 1, 1);
    gridLayout->addWidget(mainView, 2, 0, 1, 2);
    gridLayout->addWidget(statusBar, 3, 0);
    gridLayout->addWidget(posiView, 3, 1);
    gridLayout->addWidget(analyzerArea, 1, 2, 3, 2);
    const int rowStretch[4] = {0, 0, 1, 0};
    const int colStretch[4] = {0, 1, 0, 0};
    for (int i = 0; i < 4; ++i) {
        gridLayout->setRowStretch(i, rowStretch[i]);
        gridLayout->setColumnStretch(i, colStretch[i]);
    }
    gridLayout->setContentsMargins(Config::pixel(2), 0, Config::pixel(2), Config::pixel(2));
    gridLayout->setHorizontalSpacing(0);
    gridLayout->setVerticalSpacing(0);

    createShortcuts();

    connect(devInit, &DevInit::sigInitSta, this, &MainWindow::slotDevInitStaShow);
    // Emitted in this thread while the start-up thread waits for the new device object.
    connect(devInit, &DevInit::sigDevPreConnect, this, &MainWindow::slotDevPreConnect);

    devModelChanged();

    hotplugTarget = this;
    if (devSupport)
        devSupport->registerNotification(reinterpret_cast<void*>(&MainWindow::libusbHotplugCallback));

    checkUpdate = new CheckUpdate(this);
    if (Config::readGlobalParam(QStringLiteral("disAutoUpdate")).toInt() == 0)
        checkUpdate->autoCheck();
    mainMenu->checkUpdate = checkUpdate;

    startTimerId = startTimer(200, Qt::CoarseTimer);
}

MainWindow::~MainWindow()
{
    closing = true;
    if (ExportDataSet::markerSource == &MainView::timeMarkersList)
        ExportDataSet::markerSource = nullptr;
    if (hotplugTarget == this) {
        hotplugTarget = nullptr;
        if (devSupport)
            devSupport->registerNotification(nullptr);
    }
    // Every thread that reads what goes now ends first: the capture (it asks
    // the analyzer host for traffic and hands data to the views), the
    // analyzer workers, the trace generator (even in an animated zoom).
    if (devUsing)
        devUsing->smpStopAndWait();
    AnalyzerManager::stopAllAnalyzer();
    delete mainView;
    mainView = nullptr;
    delete analyzerArea;
    analyzerArea = nullptr;
    delete waveDataGen;
    waveDataGen = nullptr;
    delete waveDataGenOsc;
    waveDataGenOsc = nullptr;
    delete analyzerManager;
    analyzerManager = nullptr;
}

void MainWindow::createShortcuts()
{
    connect(addShortcut(QKeySequence(Qt::CTRL + Qt::Key_O)), &QShortcut::activated, mainMenu,
            &MainMenu::actOpenFile);
    connect(addShortcut(QKeySequence(Qt::CTRL + Qt::Key_S)), &QShortcut::activated, mainMenu,
            &MainMenu::actSaveData);
    connect(addShortcut(QKeySequence(Qt::Key_F5)), &QShortcut::activated, toolbar, &Toolbar::slotShortcutF5);
    if (Config::readGlobalParam(QStringLiteral("extparam")) == QLatin1String(accessCode))
        connect(addShortcut(QKeySequence(Qt::CTRL + Qt::Key_J)), &QShortcut::activated, this,
                &MainWindow::slotOpenCalibrate);
}

QShortcut* MainWindow::addShortcut(const QKeySequence& key)
{
    auto* s = new QShortcut(key, this);
    s->setContext(Qt::WindowShortcut);
    s->setAutoRepeat(false);
    shortcuts.append(s);
    return s;
}

// ---------------------------------------------------------------- device object

void MainWindow::devModelChanged()
{
    if (!Config::dataFile.isEmpty()) {
        setWindowTitle(StatusTexts::fileTitle(Config::dataFile));
        statusBar->setDataReview(devUsing->isConnected);
        // The bar itself waits for a repaint; the file is open now.
        statusBar->update();
    } else {
        setWindowTitle(StatusTexts::modelTitle(devUsing->devName, false));
        statusBar->setConnectSta(false);
    }
    waveDataGen->devModelChanged();
    waveDataGenOsc->devModelChanged();
    analyzerView->devModelChanged();
    toolbar->devModelChanged();
    vthSetting->devModelChanged();
    timeView->init();
    mainView->init();
    ProtocolResult::clearFindText();
    // The host points its record at the displayed capture when it starts a
    // decode (and holds that capture while its workers read it).
    analyzerManager->restoreUsing();
    slotPosiViewUpdate();

    const bool osc = devUsing->workMode == WorkModeOsc;
    statusBar->setFixedWidth(Config::pixel(osc ? 271 : 196));
    timeView->setVisible(!osc);
    vthSetting->setVisible(!osc);

    connect(devUsing, &DevBase::sigSmpSta, this, &MainWindow::slotDevSmpStaShow);
    connect(devUsing, &DevBase::sigSmpDataReady, this, &MainWindow::slotSmpDataReady);
    connect(devUsing, &DevBase::sigSmpModeChanged, this, &MainWindow::slotSmpModeChanged);
    connect(devUsing, &DevBase::sigChnEnaChanged, this, &MainWindow::slotPosiViewUpdate);
    connect(devUsing, &DevBase::sigAChnEnaChanged, this, &MainWindow::slotPosiViewUpdate);
    connect(devUsing, &DevBase::sigChnEnaChanged, mainView, &MainView::slotChnEnaChanged);
    connect(devUsing, &DevBase::sigToolbarPWMEna, toolbar, &Toolbar::slotToolbarPWMEna);
}

void MainWindow::replaceDevice(int model)
{
    // The analyzer workers and the trace generator read the old object's
    // stores: they let go before it is deleted (the object joins its own
    // capture thread, or stays until a stuck one ends).
    AnalyzerManager::stopAllAnalyzer();
    waveDataGen->releaseDevice();
    DevBase::deleteWhenStopped(devUsing);
    devUsing = DevBase::createDevice(model);
}

void MainWindow::slotDevPreConnect(int model)
{
    if (devUsing && int(devUsing->devModel) == model)
        return;
    replaceDevice(model);
    devModelChanged();
}

void MainWindow::slotReplaceConfig()
{
    const bool wasConnected = devUsing && devUsing->isConnected;
    const int oldModel = devUsing ? int(devUsing->devModel) : -1;
    const int model = Config::getDevModel();
    replaceDevice(model);
    if (wasConnected && oldModel == model) {
        devUsing->devConnect(DevInit::devIdent, 0.0);
        devUsing->restoreVthValue();
        devUsing->restorePWMValue();
    }
    devModelChanged();
    analyzerView->updateMeasureView();
}

void MainWindow::libusbHotplugCallback()
{
    if (hotplugTarget && !hotplugTarget->closing && devInit)
        devInit->init();
}

// ---------------------------------------------------------------- start-up timer, files

void MainWindow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != startTimerId) {
        QWidget::timerEvent(event);
        return;
    }
    killTimer(startTimerId);
    startTimerId = 0;
    if (closing)
        return;
    if (Config::dataFile.isEmpty()) {
        if (devInit)
            devInit->init();
        return;
    }
    loadCommandLineData();
}

void MainWindow::loadCommandLineData()
{
    const QString path = Config::dataFile;
    // A file without a settings part holds only the block: it is read from
    // its first byte (the head stays empty).
    QByteArray head;
    Config::extractConfig(path, head);
    DataFile file;
    const SmpDataPtr logic = devUsing->workMode == WorkModeOsc ? nullptr : devUsing->fillingSmpData();
    const SmpDataOscPtr analog = devUsing->workMode == WorkModeOsc ? devUsing->fillingSmpDataOsc() : nullptr;
    file.smpData = logic.get();
    file.smpDataOsc = analog.get();
    const bool ok = (file.smpData || file.smpDataOsc) && file.loadData(path, head.size());
    if (!ok) {
        showErrorBox(Lang::tr(QStringLiteral("File open failed.")) + QStringLiteral("\r\n") + path);
        return;
    }
    devUsing->toggleSmpData();
    emit devUsing->sigSmpDataReady(0);
    emit devUsing->sigSmpDataReady(1);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls())
        return;
    const QList<QUrl> urls = event->mimeData()->urls();
    const QString path = urls.isEmpty() ? QString() : urls.first().toLocalFile();
    if (!path.isEmpty())
        mainMenu->loadFile(path);
}

// ---------------------------------------------------------------- close

void MainWindow::closeEvent(QCloseEvent* event)
{
    closing = true;
    // Its timer would start captures on a device that is going away.
    delete calibrateDlg;
    calibrateDlg = nullptr;
    if (devUsing) {
        devUsing->smpStopAndWait();
        devUsing->devStandby();
    }
    const bool maximized = isMaximized();
    if (!maximized) {
        const QRect g = geometry();
        const int pos[4] = {g.x(), g.y(), g.right() - g.left() + 1, g.bottom() - g.top() + 1};
        Config::saveGlobalParam(QStringLiteral("windowPosition"), Config::IntArrayToString(pos, 4));
    }
    Config::saveGlobalParam(QStringLiteral("windowMaximized"), maximized ? QStringLiteral("1") : QStringLiteral("0"));
    if (!Config::close())
        qWarning("VormelTAV: the settings file %s could not be written", qPrintable(Config::cfgFile));
    event->accept();
}

// ---------------------------------------------------------------- small slots

void MainWindow::slotUpdateFromSocket(int ui)
{
    switch (ui) {
    case SocketAPI::GuiTriggers:
        mainView->updateTrgStatus();
        break;
    case SocketAPI::GuiSampling:
        toolbar->smpSetting()->showDeviceSetting();
        break;
    case SocketAPI::GuiThreshold:
        vthSetting->showStoredSetting();
        break;
    default:
        break;
    }
}

void MainWindow::slotSmpProgPositionChanged()
{
    if (!Config::smpProgPosition)
        statusBar->setConnectSta(devUsing && devUsing->isConnected);
    else
        mainView->getSmpProgress()->hide();
}

void MainWindow::slotToolbarZoomChanged(QString str)
{
    if (!logicMode())
        return;
    auto shown = devUsing->displayedSmpData();
    if (!shown || shown->smpCount <= 0)
        return;
    if (str == QLatin1String("All")) {
        waveDataGen->zoomAll();
    } else if (str == QLatin1String("Trg")) {
        waveDataGen->zoomTrg();
    } else if (str == QLatin1String("Out")) {
        waveDataGen->zoomOutFine();
    } else if (str == QLatin1String("In")) {
        waveDataGen->zoomInFine();
    } else {
        double v = 0;
        if (InputCheck::toFinite(str, &v))
            waveDataGen->zoomFixed(v);
        else
            waveDataGen->zoomAll();
    }
}

void MainWindow::slotWaveDateMoved(int chn, double begSmp)
{
    if (logicMode())
        waveDataGen->moveTo(begSmp);
    else
        waveDataGenOsc->moveTo(chn, begSmp);
}

void MainWindow::slotWaveViewRefresh(bool decRefresh)
{
    if (logicMode()) {
        auto shown = devUsing->displayedSmpData();
        const WaveFramePtr f = waveDataGen->frame();
        if (!shown || shown->smpFrequ == 0 || shown->smpCount == 0 || !f) {
            timeView->setTimesValues(0, 0);
        } else {
            const double ps = 1e12 / double(shown->smpFrequ);
            timeView->setTimesValues((f->smpOffset - double(shown->trgPosition)) * ps, ps * f->smpPerPixel);
        }
        if (decRefresh)
            ProtocolResult::updateDecodeProtocols();
        waveDataGen->setRefreshDone();
    } else {
        analyzerView->slotOscMeasureView(-1);
    }
    mainView->updateViewDisplay();
    slotPosiViewUpdate();
}

void MainWindow::slotPosiViewUpdate()
{
    if (!devUsing)
        return;
    if (logicMode()) {
        auto shown = devUsing->displayedSmpData();
        const double begin = waveDataGen->getSmpOffset();
        const double length = waveDataGen->getViewWidth() * waveDataGen->getSmpPerPixel();
        for (int c = 0; shown && c < devUsing->dChnEna.size() && c < shown->chnNum; ++c) {
            if (devUsing->dChnEna[c] && shown->chnData[size_t(c)]) {
                posiView->slotSetPosition(c, shown->trgPosition, shown->smpCount, begin, length);
                return;
            }
        }
        posiView->slotSetPosition(-1, 0, 0, begin, length);
        return;
    }
    const SmpDataOscPtr shown = devUsing->displayedSmpDataOsc();
    for (int c = 0; shown && c < devUsing->aChnEna.size() && c < shown->chnNum; ++c) {
        const AnalogChnData* d = shown->chnData[size_t(c)];
        if (!devUsing->aChnEna.at(c) || !d || c >= waveDataGenOsc->smpOffset.size())
            continue;
        posiView->slotSetPosition(c, d->trgPosition, d->smpCount, waveDataGenOsc->smpOffset[c],
                                  waveDataGenOsc->viewWidth * waveDataGenOsc->smpPerPixel[c]);
        return;
    }
    posiView->slotSetPosition(-1, 0, 0, 0.0, 0.0);
}

void MainWindow::slotSmpModeChanged()
{
    toolbar->devSmpModeChanged();
    devUsing->clearSmpData();
    slotSmpDataReady(0);
    if (!closing && logicMode())
        analyzerManager->startDecode();
    ProtocolResult::updateDecodeProtocols();
}

void MainWindow::slotOpenCalibrate()
{
    if (!calibrateDlg) {
        calibrateDlg = new CalibrateOsc(nullptr);
        connect(calibrateDlg, &CalibrateOsc::calibSettingChanged, mainView, &MainView::slotCalibSettingChanged);
    }
    calibrateDlg->init();
    calibrateDlg->show();
    calibrateDlg->raise();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    QWidget::keyPressEvent(event);
    if (event->key() == Qt::Key_Shift)
        mainView->setShiftHeld(true);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    QWidget::keyReleaseEvent(event);
    if (event->key() == Qt::Key_Shift)
        mainView->setShiftHeld(false);
}

bool MainWindow::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(eventType);
    Q_UNUSED(result);
    if (devSupport && devSupport->isDevChangeNotification(message) && !closing && devInit)
        devInit->init();
    return false;
}

void MainWindow::showErrorBox(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, Lang::tr(QStringLiteral("An error occurred")), text, QMessageBox::NoButton,
                    this);
    box.addButton(Lang::tr(QStringLiteral("Close")), QMessageBox::RejectRole);
    box.setWindowFlags(box.windowFlags() | Qt::WindowCloseButtonHint);
    box.setStyleSheet(QStringLiteral("color:black;"));
    box.exec();
}
