// The channel rows of the waveform area: drag and drop of the display
// order, height multipliers, trigger marks, analyzer aliases and the reset
// of all rows.

#include "waveview/mainview.h"

#include "core/config.h"
#include "device/devbase.h"
#include "scope/triggersetosc.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/itemwavebackground.h"
#include "waveview/itemwaveline.h"
#include "waveview/waveanalyzersource.h"
#include "waveview/waveview.h"

#include <QAction>
#include <QMenu>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

// The drag in progress: the slot the dragged row occupies and its top at the press.
int dragSlot = 0;
int dragStartTop = 0;

} // namespace

void MainView::moveRowTo(int chn, int top)
{
    chnSidebars[chn]->move(0, top);
    waveBackgrounds[chn]->setPos(0, top);
    waveLines[chn]->setPos(0, top);
}

void MainView::slotChnMove(int mouseFlag, int movedPhyIndex, int move)
{
    const int n = chnSidebars.size();
    if (movedPhyIndex < 0 || movedPhyIndex >= n || rowTops.size() != n)
        return;
    ItemChnSidebar* d = chnSidebars[movedPhyIndex];
    auto rowAt = [this](int slot) -> int {
        for (int i = 0; i < chnSidebars.size(); ++i)
            if (chnSidebars[i]->showIndex == slot)
                return i;
        return -1;
    };
    if (mouseFlag == 1) {
        dragSlot = d->showIndex;
        dragStartTop = d->y();
    } else if (mouseFlag == 3) {
        if (dragSlot < n - 1) {
            const int r = rowAt(dragSlot + 1);
            if (r >= 0) {
                ItemChnSidebar* rr = chnSidebars[r];
                if (rr->y() + rr->height() * 0.5 < d->y() + d->height()) {
                    moveRowTo(r, rowTops[dragSlot]);
                    rr->showIndex = dragSlot;
                    d->showIndex = dragSlot + 1;
                    rowTops[dragSlot + 1] = rowTops[dragSlot] + rr->height();
                    ++dragSlot;
                }
            }
        }
        if (dragSlot > 0) {
            const int r = rowAt(dragSlot - 1);
            if (r >= 0) {
                ItemChnSidebar* rr = chnSidebars[r];
                if (d->y() < rr->y() + rr->height() * 0.5) {
                    rowTops[dragSlot] = rowTops[dragSlot - 1] + d->height();
                    moveRowTo(r, rowTops[dragSlot]);
                    rr->showIndex = dragSlot;
                    d->showIndex = dragSlot - 1;
                    --dragSlot;
                }
            }
        }
        const int top = dragStartTop + move;
        if (top < 0) {
            moveRowTo(movedPhyIndex, 0);
        } else if (top > rowTops[n - 1]) {
            moveRowTo(movedPhyIndex, rowTops[n - 1]);
        } else {
            d->raise();
            waveBackgrounds[movedPhyIndex]->setZValue(5);
            waveLines[movedPhyIndex]->setZValue(6);
            moveRowTo(movedPhyIndex, top);
        }
    } else if (mouseFlag == 2) {
        const int top = rowTops.value(dragSlot);
        d->setGeometry(0, top, px(196), d->height());
        waveBackgrounds[movedPhyIndex]->setZValue(0);
        waveLines[movedPhyIndex]->setZValue(1);
        waveBackgrounds[movedPhyIndex]->setSize(waveView->width(), d->height());
        waveLines[movedPhyIndex]->setSize(waveView->width(), d->height());
        waveBackgrounds[movedPhyIndex]->setPos(0, top);
        waveLines[movedPhyIndex]->setPos(0, top);
        dragSlot = 0;
        saveChnShowIndex();
    }
}

void MainView::saveChnShowIndex()
{
    QVector<int> v;
    for (ItemChnSidebar* r : chnSidebars)
        v.append(r->showIndex);
    Config::saveGlobalParam(QStringLiteral("chnShowIndex"), Config::IntArrayToString(v.data(), v.size()));
}

void MainView::updateTrgStatus()
{
    if (!devUsing)
        return;
    const int n = std::min(int(chnSidebars.size()), int(devUsing->dChnTrg.size()));
    for (int i = 0; i < n; ++i)
        chnSidebars[i]->setTrgStatus(devUsing->dChnTrg[i]);
}

void MainView::slotChnTrgEdgeChanged()
{
    updateTrgStatus();
    if (isOscMode() && trgSetPanel)
        trgSetPanel->setTrigEdgeStatus();
}

void MainView::slotAnalyzerItemChanged()
{
    if (isOscMode())
        return;
    const QStringList list = analyzerManager ? analyzerManager->chnAliasList() : QStringList();
    const int n = chnSidebars.size();
    if (!list.isEmpty() && list.size() == 2 * n) {
        for (int k = 0; k + 1 < list.size(); k += 2) {
            bool ok = false;
            const int chn = list[k].toInt(&ok);
            if (ok && chn >= 0 && chn < n)
                chnSidebars[chn]->setSecondName(list[k + 1]);
        }
    }
    slotUpdateAnalyzerDecoded();
}

void MainView::slotChnHeightClicked()
{
    auto* act = qobject_cast<QAction*>(sender());
    if (!act || !chnMenu)
        return;
    bool ok = false;
    const int chn = chnMenu->objectName().toInt(&ok);
    if (!ok || chn < 0 || chn >= chnSidebars.size())
        return;
    chnSidebars[chn]->setShowMultip(act->data().toInt());
    QVector<int> v;
    for (ItemChnSidebar* r : chnSidebars)
        v.append(r->showMultip);
    Config::saveGlobalParam(QStringLiteral("chnShowMultip"), Config::IntArrayToString(v.data(), v.size()));
    resizeEvent(nullptr);
}

void MainView::slotChnResetClick()
{
    // One stop and one restart around the whole reset, not one per row.
    if (devUsing)
        devUsing->smpStopForRestart();
    for (ItemChnSidebar* r : chnSidebars)
        r->resetAll();
    QVector<int> ones(chnSidebars.size(), 1);
    Config::saveGlobalParam(QStringLiteral("chnShowMultip"), Config::IntArrayToString(ones.data(), ones.size()));
    saveChnShowIndex();
    if (devUsing)
        devUsing->smpRestartIfNeed();
    resizeEvent(nullptr);
}
