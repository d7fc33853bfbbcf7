#include "scope/wavelineosc.h"

#include "core/config.h"
#include "device/analogchndata.h"
#include "device/devbase.h"
#include "scope/osccolors.h"
#include "scope/wavedatagenosc.h"

#include <QPainter>
#include <QPen>

#include <cmath>

WaveLineOsc::WaveLineOsc(WaveDataGenOsc* g) : gen(g) {}

void WaveLineOsc::setSize(int w, int h)
{
    prepareGeometryChange();
    width = w;
    height = h;
}

QRectF WaveLineOsc::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

int WaveLineOsc::mapY(double v, double y0, double k, int h)
{
    const double y = y0 - v * k;
    if (!(y > 0))
        return 0;
    if (y >= h)
        return h - 1;
    return int(y);
}

void WaveLineOsc::traceLines(const WaveLineA* recs, int n, double y0, double k, int h, int pw, QVector<QLine>* out)
{
    if (!recs || n <= 0)
        return;
    auto X = [pw](const WaveLineA& r) { return r.x * pw + pw / 2; };
    if (recs[0].single) {
        for (int i = 1; i < n; ++i)
            out->append(QLine(X(recs[i - 1]), mapY(recs[i - 1].low, y0, k, h), X(recs[i]), mapY(recs[i].low, y0, k, h)));
        return;
    }
    int prevX = 0;
    int prevLow = 0;
    int prevHigh = 0;
    for (int i = 0; i < n; ++i) {
        const int x = X(recs[i]);
        const int low = mapY(recs[i].low, y0, k, h);
        const int high = mapY(recs[i].high, y0, k, h);
        out->append(QLine(x, low, x, high));
        if (i > 0) {
            // Screen y grows downwards: a column's low end is its larger y.
            if (prevLow < high)
                out->append(QLine(prevX, prevLow, x, high));
            else if (prevHigh > low)
                out->append(QLine(prevX, prevHigh, x, low));
        }
        prevX = x;
        prevLow = low;
        prevHigh = high;
    }
}

void WaveLineOsc::drawTrace(QPainter* painter, const WaveLineA* recs, int n, int offset, int voltDiv)
{
    // A volts/div of 0 (no list) gives no scale to draw with.
    if (n <= 0 || voltDiv <= 0)
        return;
    const double y0 = height * (0.5 - offset / 1000.0);
    const double k = height * 0.1 / voltDiv;
    lines.clear();
    traceLines(recs, n, y0, k, height, Config::pixel(1), &lines);
    painter->drawLines(lines);
}

void WaveLineOsc::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (height <= 0 || !devUsing || !gen)
        return;
    const int pw = Config::pixel(1);
    painter->setRenderHint(QPainter::Antialiasing, true);
    for (int chn = 0; chn < devUsing->aChnEna.size(); ++chn) {
        if (!devUsing->aChnEna.at(chn))
            continue;
        WaveLineA* recs = nullptr;
        const int n = gen->getData(chn, &recs);
        if (n <= 0 || !recs)
            continue;
        painter->setPen(QPen(OscColors::channel(chn), pw, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        drawTrace(painter, recs, n, devUsing->aChnOffset.value(chn), devUsing->getAVoltDivValue(chn));
    }
    if (!devUsing->aMathEna)
        return;
    const int op = devUsing->aMathOperator;
    WaveLineA* recs = nullptr;
    const int n = gen->getMathData(&recs);
    if (n <= 0 || !recs || op < 0 || op >= devUsing->aMathScale.size())
        return;
    painter->setPen(QPen(Qt::white, pw));
    drawTrace(painter, recs, n, devUsing->aMathOffset.value(op), devUsing->aMathScale[op]);
}
