// The automatic ADC calibration of the calibration window: a series of single
// captures, each evaluated when it is on display, separated by the window's
// own 250 ms timer.
#include "scope/calibrateosc.h"

#include "core/lang.h"
#include "device/devbase.h"
#include "device/smpdataosc.h"
#include "scope/calibadc.h"

#include <QTextEdit>
#include <QTimerEvent>

namespace {

QString fixed(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

} // namespace

void CalibrateOsc::slotBtnAutoClicked()
{
    textLog->clear();
    DevBase* dev = devUsing;
    if (!dev)
        return;
    // A tick left from an earlier run would start a capture of its own.
    if (autoTimer) {
        killTimer(autoTimer);
        autoTimer = 0;
    }
    autoStep = 0;
    dev->setAChnOffset(0, 0);
    dev->setAChnOffset(1, 0);
    const int n = dev->voltDivList.size();
    dev->setAVoltDivIndex(0, n - 2);
    dev->setAVoltDivIndex(1, n - 2);
    dev->setATimeDivValue(5000);
    startOwnCapture();
}

void CalibrateOsc::startOwnCapture()
{
    DevBase* dev = devUsing;
    ownRun = 0;
    if (!dev || !dev->isConnected || dev->workMode != WorkModeOsc)
        return;
    // smpStart stops and joins a running capture before it clears the stores.
    dev->smpStart(SmpStartSingle, false);
    ownRun = dev->smpRunSerial;
}

void CalibrateOsc::timerEvent(QTimerEvent* event)
{
    killTimer(event->timerId());
    if (event->timerId() == autoTimer)
        autoTimer = 0;
    startOwnCapture();
}

void CalibrateOsc::smpDataReady()
{
    DevBase* dev = devUsing;
    if (!dev || !dev->isConnected || !dev->hasValidData())
        return;
    if (autoStep < 0 || autoStep > 3)
        return;
    // Only the capture this run started counts: one started from the
    // toolbar, the command server or the auto-scale, or a loaded file, is no
    // calibration step. Each capture is evaluated once.
    // The snapshot stays as it is while held, whatever the sampling does.
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    if (!s || ownRun == 0 || s->runSerial != ownRun)
        return;
    ownRun = 0;
    if (!evaluateStep(dev, *s))
        return;
    ++autoStep;
    autoTimer = startTimer(250, Qt::CoarseTimer);
    emit calibSettingChanged(2, -1);
}

void CalibrateOsc::failStep(const char* word)
{
    // The run ends here; the corrections keep their values.
    textLog->append(QLatin1String(word) + QStringLiteral("\t") + Lang::tr(QStringLiteral("failed")));
}

bool CalibrateOsc::evaluateStep(DevBase* dev, const SmpDataOsc& shown)
{
    CalibAdcData& cal = dev->calibData;
    CalibAdc::Means m;
    if (autoStep >= 1) {
        m = CalibAdc::adcMeans(shown);
        if (!m.ok) {
            failStep(autoStep == 1 ? "zero-dual:" : autoStep == 2 ? "zero-single:" : "slope:");
            return false;
        }
    }
    switch (autoStep) {
    case 0:
        dev->setAChnEna({true, true});
        dev->setAChnOffset(0, 0);
        dev->setAChnOffset(1, 0);
        return true;
    case 1:
    case 2: {
        const bool dual = autoStep == 1;
        int* zero = dual ? cal.zeroDual : cal.zeroSingle;
        const char* word = dual ? "zero-dual:" : "zero-single:";
        double dA = 0;
        double dB = 0;
        int zA = 0;
        int zB = 0;
        if (!CalibAdc::zeroCorrection(m.a, zero[0], &dA, &zA) || !CalibAdc::zeroCorrection(m.b, zero[1], &dB, &zB)) {
            failStep(word);
            return false;
        }
        zero[0] = zA;
        zero[1] = zB;
        textLog->append(QLatin1String(word) + QStringLiteral("\t") + fixed(dA, 2) + QStringLiteral("\t")
                        + fixed(dB, 2) + QStringLiteral("\t") + QString::number(zA) + QStringLiteral("\t")
                        + QString::number(zB));
        dev->setAChnEna(dual ? QVector<bool>{true, false} : QVector<bool>{true, true});
        const int offset = dual ? 0 : 400;
        dev->setAChnOffset(0, offset);
        dev->setAChnOffset(1, offset);
        return true;
    }
    case 3: {
        double rA = 0;
        double rB = 0;
        int sA = 0;
        int sB = 0;
        if (!CalibAdc::slopeCorrection(m.a, cal.zeroDual[0], cal.slope[0], &rA, &sA)
            || !CalibAdc::slopeCorrection(m.b, cal.zeroDual[1], cal.slope[1], &rB, &sB)) {
            failStep("slope:");
            return false;
        }
        cal.slope[0] = sA;
        cal.slope[1] = sB;
        textLog->append(QStringLiteral("slope:\t\t") + fixed(rA, 1) + QStringLiteral("\t") + fixed(rB, 1)
                        + QStringLiteral("\t") + QString::number(sA) + QStringLiteral("\t") + QString::number(sB));
        dev->setAChnOffset(0, 0);
        dev->setAChnOffset(1, 0);
        return true;
    }
    default:
        return false;
    }
}
