// The channel menu of the waveform area, its dialogs, the glitch filter and
// the live levels. The menu, the enable and filter dialogs, the colour switch
// and the live-level timer come with the channel menu work; what the rows
// need already is here.

#include "waveview/mainview.h"

#include <QTimerEvent>

void MainView::slotChnSetMenu()
{
    // Opens the channel menu of the row under the cursor (channel menu work).
}

void MainView::slotChnEnaClicked()
{
    // Channel enable dialog (channel menu work).
}

void MainView::slotFilterClicked()
{
    // Glitch filter dialog and its application (channel menu work).
}

void MainView::slotLogicProbeClicked(bool checked)
{
    // Live-level timer on or off (channel menu work); rows start with it off.
    Q_UNUSED(checked);
}

void MainView::slotColorEnaClicked(bool checked)
{
    // Coloured traces on or off (channel menu work).
    Q_UNUSED(checked);
}

void MainView::timerEvent(QTimerEvent* e)
{
    // One live-level refresh per tick (channel menu work).
    QWidget::timerEvent(e);
}

void MainView::slotChnEnaChanged()
{
    resizeEvent(nullptr);
    updateTrgStatus();
    slotPulseMeasureInfoChanged();
}
