// The oscilloscope work mode of the waveform area: setting panels in the
// sidebar, graticule, traces, tags and cursors on the scene. The branches
// are filled with the oscilloscope view; until then a device object in that
// mode shows an empty area.

#include "waveview/mainview.h"

#include <QMouseEvent>

#include <cmath>

void MainView::initOsc()
{
    connectSidebarBar(false);
}

void MainView::layoutOsc() {}

void MainView::deleteOscItems()
{
    oscSceneHeight = 0;
}

void MainView::updateViewDisplayOsc() {}

void MainView::mousePressedOsc(QMouseEvent*) {}

void MainView::mouseMovedOsc(QMouseEvent*) {}

void MainView::mouseReleasedOsc(QMouseEvent*) {}

void MainView::mouseLeaveOsc() {}

void MainView::wheelOsc(int, QPoint) {}

void MainView::setAChnVoltSet(int, int) {}

void MainView::updateATrgSet(int, int) {}

void MainView::updateATrgPercent() {}

void MainView::setOscTrgHorMoved(int) {}

void MainView::setOscMathChnTagPosition(int) {}

void MainView::updateGridInforLabel(int, const QString&, int, int) {}

void MainView::setAMarkerPosition(int, double) {}

void MainView::setAMarkerState(int, int) {}

void MainView::updateAMarkerValue(int) {}

void MainView::updateAMarkerY(int) {}

QStringList MainView::calculateX1X2() const
{
    return {QStringLiteral("###"), QStringLiteral("###"), QStringLiteral("###")};
}

QStringList MainView::calculateY1Y2() const
{
    return {QStringLiteral("###"), QStringLiteral("###"), QStringLiteral("###")};
}

double MainView::getAGridVoltOffset(double v)
{
    if (v >= 1)
        return 1;
    if (!(v > 0))
        return 0;
    return std::trunc(v * 1000 + 0.5) / 1000;
}

double MainView::getAGridTimeOffset(double v)
{
    return getAGridVoltOffset(v);
}

QString MainView::voltDataToString(double mV)
{
    if (std::fabs(mV) >= 1000)
        return QString::number(mV / 1000, 'g', 6) + QStringLiteral("V");
    return QString::number(mV, 'g', 6) + QStringLiteral("mV");
}

void MainView::slotOscChnSetChanged(int, int) {}

void MainView::slotOscTimeSetChanged(int) {}

void MainView::slotOscTrgSetChanged(int, int) {}

void MainView::slotOscMathSetChanged(bool) {}

void MainView::slotVoltAChnChanged(int chnIndex)
{
    oscCursorChnIndex = chnIndex;
}

void MainView::slotXyBtnClicked(int, int) {}

void MainView::slotXyHideClicked(int) {}

void MainView::slotCalibSettingChanged(int, int) {}

void MainView::slotShortCutMarkerOsc() {}
