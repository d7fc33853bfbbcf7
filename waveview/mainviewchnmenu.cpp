// The channel menu of the waveform area, its dialogs (channel enables and
// the glitch filter), how the filter is applied to the shown capture, the
// colour switch and the live input levels of the rows.

#include "waveview/mainview.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "waveview/dlgfilter.h"
#include "waveview/glitchfilterjob.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/itemwaveline.h"
#include "waveview/waveanalyzersource.h"
#include "waveview/wavedatagen.h"
#include "widgets/chnenagroupbox.h"
#include "widgets/chnquickgroupbox.h"
#include "widgets/myprogressdlg.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

QString ltr(const char* text)
{
    return Lang::tr(QString::fromLatin1(text));
}

Qt::WindowFlags closeOnlyFlags()
{
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
}

// One width per channel of a store: what the dialog gave, 0 beyond it.
std::vector<unsigned int> widthsFor(const QVector<unsigned int>& widths, int chnNum)
{
    std::vector<unsigned int> w(size_t(std::max(0, chnNum)), 0u);
    for (int i = 0; i < chnNum && i < widths.size(); ++i)
        w[size_t(i)] = widths[i];
    return w;
}

int log2Floor(int m)
{
    int k = 0;
    while (m > 1) {
        m >>= 1;
        ++k;
    }
    return k;
}

} // namespace

// ---------------------------------------------------------------- menu

void MainView::slotChnSetMenu()
{
    const QPoint p = sidebarFrame->mapFromGlobal(QCursor::pos());
    int chn = -1;
    for (int i = 0; i < chnSidebars.size(); ++i) {
        const ItemChnSidebar* r = chnSidebars[i];
        if (r->isVisible() && r->y() < p.y() && p.y() < r->y() + r->height()) {
            chn = i;
            break;
        }
    }
    if (chn < 0)
        return;
    if (!chnMenu) {
        chnMenu = new QMenu();
        auto add = [this](const QString& text) {
            auto* a = new QAction(text, this);
            chnMenu->addAction(a);
            return a;
        };
        auto sep = [this] {
            auto* a = new QAction(this);
            a->setSeparator(true);
            chnMenu->addAction(a);
        };
        connect(add(ltr("Channel Enable Settings") + QStringLiteral("...")), &QAction::triggered, this,
                &MainView::slotChnEnaClicked);
        connect(add(ltr("Glitch Filter Settings") + QStringLiteral("...")), &QAction::triggered, this,
                &MainView::slotFilterClicked);
        sep();
        QAction* probe = add(ltr("Show Real Time Status"));
        probe->setCheckable(true);
        probe->setChecked(Config::enaLogicProbe);
        connect(probe, &QAction::triggered, this, &MainView::slotLogicProbeClicked);
        sep();
        QAction* color = add(ltr("Use Color for Waveform"));
        color->setCheckable(true);
        color->setChecked(Config::colorWaveLine);
        connect(color, &QAction::triggered, this, &MainView::slotColorEnaClicked);
        sep();
        auto* heights = new QActionGroup(this);
        heights->setExclusive(true);
        for (int m : {1, 2, 4, 8}) {
            QAction* h = add(ltr("Channel Height") + QStringLiteral(" x") + QString::number(m));
            h->setCheckable(true);
            h->setData(m);
            heights->addAction(h);
            connect(h, &QAction::triggered, this, &MainView::slotChnHeightClicked);
        }
        sep();
        connect(add(ltr("Reset All Channels")), &QAction::triggered, this, &MainView::slotChnResetClick);
    }
    chnMenu->setObjectName(QString::number(chn));
    const QList<QAction*> acts = chnMenu->actions();
    const int k = acts.size() - 6 + std::min(3, log2Floor(chnSidebars[chn]->showMultip));
    if (k >= 0 && k < acts.size())
        acts[k]->setChecked(true);
    chnMenu->popup(QCursor::pos());
    chnMenu->show();
}

void MainView::slotColorEnaClicked(bool checked)
{
    Config::saveColorWaveLine(checked);
    for (ItemWaveLine* l : waveLines)
        l->update();
}

// ---------------------------------------------------------------- channel enables

void MainView::slotChnEnaClicked()
{
    if (!devUsing)
        return;
    const QPointer<DevBase> dev(devUsing);
    QDialog dlg(this);
    dlg.setMinimumWidth(px(310));
    dlg.setWindowTitle(ltr("Channel Enable Settings"));
    dlg.setWindowFlags(closeOnlyFlags());

    const QVector<ChnFrequ>& map = dev->smpMode == SmpModeBuffer ? dev->chnFrequMapBuf : dev->chnFrequMapStream;
    QVector<qint64> rates;
    QVector<int> counts;
    for (const ChnFrequ& e : map) {
        rates.append(e.maxFrequ);
        counts.append(e.chnNum);
    }
    auto* quick = new ChnQuickGroupBox(rates, counts, &dlg);
    auto* boxes = new ChnEnaGroupBox(dev->dChnEna, &dlg);
    connect(quick, &ChnQuickGroupBox::chnSelect, boxes, &ChnEnaGroupBox::slotChnEnaSelect);
    connect(boxes, &ChnEnaGroupBox::chnEnaChanged, quick, &ChnQuickGroupBox::chnSelectChanged);
    auto* buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(ltr("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(ltr("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* box = new QVBoxLayout(&dlg);
    box->setContentsMargins(px(12), px(8), px(12), px(8));
    box->setSpacing(px(6));
    box->addWidget(quick);
    box->addWidget(boxes);
    box->addWidget(buttons);

    while (dlg.exec() == QDialog::Accepted) {
        // A device replaced while the dialog was open has other channels.
        if (!dev || dev != devUsing)
            break;
        QVector<bool> ena(dev->dChnEna.size(), false);
        if (boxes->getChnEna(ena)) {
            dev->smpStopForRestart();
            dev->setDChnEna(ena);
            dev->smpRestartIfNeed();
            break;
        }
        QMessageBox warn(QMessageBox::Warning, ltr("A Setting is Invalid"),
                         ltr("Please select at least one channel.") + QStringLiteral("\r\n"), QMessageBox::Close, this);
        warn.button(QMessageBox::Close)->setText(ltr("Close"));
        warn.setStyleSheet(QStringLiteral("color:black;"));
        warn.setWindowFlags(closeOnlyFlags());
        warn.exec();
    }
    dlg.close();
}

void MainView::slotChnEnaChanged()
{
    resizeEvent(nullptr);
    updateTrgStatus();
    slotPulseMeasureInfoChanged();
}

// ---------------------------------------------------------------- glitch filter

void MainView::slotFilterClicked()
{
    if (filterBusy)
        return;
    const int n = logicChannelCount();
    // A dialog of another device has other channels.
    if (dlgFilter && dlgFilter->channelCount() != n) {
        delete dlgFilter;
        dlgFilter = nullptr;
    }
    if (!dlgFilter)
        dlgFilter = new DlgFilter(this, n);
    const QPointer<DlgFilter> dlg(dlgFilter);
    if (dlg->exec() == QDialog::Accepted)
        applyFilter(dlg->getSetting());
    if (dlg)
        dlg->close();
}

bool MainView::applyFilter(const QVector<unsigned int>& widths)
{
    if (!devUsing || filterBusy)
        return false;
    const QScopedValueRollback<bool> busy(filterBusy, true);
    const QPointer<DevBase> dev(devUsing);
    const bool stopped = dev->smpStopForRestart();
    // The analyzer threads read the edge lists for a whole decode: they must
    // be gone before any list is replaced.
    if (analyzerManager)
        analyzerManager->stopDecoding();

    bool applied = true;
    for (;;) {
        auto shown = dev->displayedSmpData();
        if (!shown)
            break;
        GlitchFilterJob job(&*shown, widthsFor(widths, shown->chnNum));
        if (!runFilterJob(job) || !dev || dev != devUsing) {
            applied = false;
            break;
        }
        // Nothing may have started a decode meanwhile: the edit frees lists.
        if (analyzerManager)
            analyzerManager->stopDecoding();
        bool same = false;
        // Under the store's edit lock: a frame being drawn on the generator's
        // thread ends first, the next one sees the new lists.
        dev->editDisplayedSmpData([&](SmpData& s) {
            same = &s == &*shown;
            return same && job.install(s);
        });
        // Otherwise a new capture came meanwhile: it is the one to filter.
        if (same)
            break;
    }
    if (!dev || dev != devUsing)
        return false;
    if (applied && !dev->smpRunning) {
        auto other = dev->fillingSmpData();
        if (other)
            other->modifyFilter(widthsFor(widths, other->chnNum).data());
    }
    dev->smpRestartIfNeed();
    if (!stopped) {
        // The shown capture again, through the filter.
        if (applied && waveDataGen)
            waveDataGen->zoomFixed(waveDataGen->getSmpPerPixel());
        if (analyzerManager)
            analyzerManager->redecode();
    }
    return applied;
}

bool MainView::runFilterJob(GlitchFilterJob& job)
{
    QEventLoop loop;
    job.start(0, [&loop] { QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection); });
    if (!job.isDone() && filterProgressDelayMs > 0) {
        // Short filters show no dialog; paints and timers go on meanwhile,
        // input waits as it would under the dialog.
        QTimer later;
        later.setSingleShot(true);
        connect(&later, &QTimer::timeout, &loop, &QEventLoop::quit);
        later.start(filterProgressDelayMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!job.isDone()) {
        MyProgressDlg dlg(ltr("Glitch Filter Settings"), ltr("Cancel"), this);
        dlg.labelMsg->setText(ltr("Filtering, please wait") + QStringLiteral("..."));
        connect(&dlg, &QDialog::rejected, &loop, [&job, &loop] {
            job.cancel();
            loop.quit();
        });
        QTimer poll;
        connect(&poll, &QTimer::timeout, &dlg, [&dlg, &job] { dlg.setValue(job.percent()); });
        poll.start(50);
        dlg.setValue(job.percent());
        dlg.show();
        while (!job.isDone() && !job.isCancelled())
            loop.exec();
        poll.stop();
    }
    // After a cancel the workers end within one block.
    job.wait();
    return !job.isCancelled();
}

// ---------------------------------------------------------------- live levels

void MainView::slotLogicProbeClicked(bool checked)
{
    Config::saveLogicProbe(checked);
    if (!checked) {
        if (liveTimerId != 0)
            killTimer(liveTimerId);
        liveTimerId = 0;
        for (ItemChnSidebar* r : chnSidebars)
            r->setChnStaShow(false, false, false, false);
    } else if (liveTimerId == 0) {
        liveTimerId = startTimer(200, Qt::CoarseTimer);
    }
}

void MainView::timerEvent(QTimerEvent* e)
{
    if (!e || liveTimerId == 0 || e->timerId() != liveTimerId) {
        QWidget::timerEvent(e);
        return;
    }
    const int n = logicChannelCount();
    std::unique_ptr<bool[]> levels(new bool[size_t(n)]());
    std::unique_ptr<bool[]> seconds(new bool[size_t(n)]());
    bool valid = false;
    if (devUsing && devUsing->devModel != DevModel2113 && devUsing->isConnected) {
        // A failed read is no reading.
        valid = devUsing->getDChnSta(levels.get(), seconds.get()) == 0;
        if (!valid) {
            std::fill_n(levels.get(), n, false);
            std::fill_n(seconds.get(), n, false);
        }
    }
    for (int i = 0; i < n && i < chnSidebars.size(); ++i)
        chnSidebars[i]->setChnStaShow(devUsing->dChnEna[i], valid, levels[size_t(i)], seconds[size_t(i)]);
}
