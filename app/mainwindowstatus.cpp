// The main window's answers to the start-up and sampling reports: the
// connection progress dialog, the title, the status bar, the toolbar's run
// state, error boxes with short codes, the sampling progress, and the
// hand-over of new capture data to the views and to decoding.

#include "app/mainwindow.h"

#include "analysis/analyzermanager.h"
#include "analysis/protocolresult.h"
#include "core/config.h"
#include "core/lang.h"
#include "app/statustexts.h"
#include "controls/statusbar.h"
#include "controls/toolbar.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "files/socketapi.h"
#include "scope/calibrateosc.h"
#include "waveview/mainview.h"
#include "waveview/wavedatagen.h"
#include "scope/wavedatagenosc.h"
#include "widgets/myprogressdlg.h"

#include <QLabel>

void MainWindow::slotDevInitStaShow(int sta, int err, int n)
{
    // Nothing more is shown, and the instrument is left alone, once the window closes.
    if (closing || !devUsing)
        return;
    if (err != 0) {
        progressDlg->setButtonShow(true);
        progressDlg->labelMsg->setText(StatusTexts::initErrorText(sta, err));
        return;
    }
    const int progress = StatusTexts::initProgress(sta, n);
    const QString wait = Lang::tr(QStringLiteral("Device connecting, please wait")) + QStringLiteral("...");
    switch (sta) {
    case 0:
        progressDlg->setButtonShow(false);
        progressDlg->setValue(progress);
        progressDlg->labelMsg->setText(wait);
        progressDlg->show();
        break;
    case 2:
        progressDlg->setButtonShow(false);
        progressDlg->setValue(progress);
        progressDlg->labelMsg->setText(wait);
        if (progressDlg->isHidden())
            progressDlg->show();
        break;
    case 1:
    case 4:
    case 5:
        progressDlg->setValue(progress);
        break;
    case 6:
        devUsing->restoreVthValue();
        devUsing->restorePWMValue();
        // The restore reset the enables; the switches must not show the old ones.
        toolbar->slotToolbarPWMEna();
        setWindowTitle(StatusTexts::modelTitle(devUsing->devName, true));
        statusBar->setConnectSta(true);
        toolbar->devConnectChanged(true);
        progressDlg->close();
        if (calibrateDlg)
            calibrateDlg->init();
        break;
    case 7:
        setWindowTitle(StatusTexts::modelTitle(devUsing->devName, false));
        statusBar->setConnectSta(false);
        toolbar->devConnectChanged(false);
        if (calibrateDlg)
            calibrateDlg->setEna();
        break;
    default:
        break;
    }
}

void MainWindow::slotDevSmpStaShow(int sta, int err, int n)
{
    if (!devUsing)
        return;
    if (err == 32) {
        if (sta == SmpStaReading)
            Config::saveGlobalParam(QStringLiteral("zeroSmpCnt"), StatusTexts::zeroSmpCntText(n));
        return;
    }
    if (err != 0) {
        // A remote client is answered instead; nothing pops up once closing.
        if (devUsing->smpRemote || closing)
            return;
        showErrorBox(StatusTexts::smpErrorText(devUsing->smpMode, sta, err));
        return;
    }
    if (sta == SmpStaDone) {
        if (devUsing->smpRemote)
            socketApi->ackSampleComplete(devUsing->smpError == 0);
        toolbar->devSmpStaChanged(-1);
    } else if (sta == SmpStaIdle) {
        ProtocolResult::clearFindText();
        if (!Config::dataFile.isEmpty()) {
            Config::dataFile.clear();
            setWindowTitle(StatusTexts::modelTitle(devUsing->devName, devUsing->isConnected));
            // The review is over; the run's own phases follow.
            statusBar->setConnectSta(devUsing->isConnected);
        }
        toolbar->devSmpStaChanged(devUsing->smpStartMode);
    }
    if (!Config::smpProgPosition)
        mainView->updateDevSmpSta(sta, n);
    else
        statusBar->setSmpProgress(sta, n);
}

void MainWindow::slotSmpDataReady(int decode)
{
    if (closing || !devUsing)
        return;
    if (devUsing->workMode == WorkModeLogic) {
        if (decode != 0) {
            // The host refills its record from the displayed capture itself.
            analyzerManager->startDecode();
            return;
        }
        if (devUsing->hasValidData()) {
            // The filter replaces edge lists the analyzers read for a whole
            // decode; the capture's own decode restarts them.
            AnalyzerManager::stopAllAnalyzer();
            devUsing->editDisplayedSmpData([](SmpData& s) { return s.updateFilter(); });
        }
        mainView->setSmpDataReady();
        waveDataGen->zoomFirst();
        return;
    }
    if (decode != 0)
        return;
    waveDataGenOsc->zoomFirst();
    // The window ignores captures it did not start itself.
    if (calibrateDlg)
        calibrateDlg->smpDataReady();
}
