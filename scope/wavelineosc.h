#pragma once
// The analog traces of the enabled channels and the math trace, drawn over
// the graticule from the trace generator's column records.

#include <QGraphicsItem>
#include <QLine>
#include <QVector>

class WaveDataGenOsc;
struct WaveLineA;

class WaveLineOsc : public QGraphicsItem
{
public:
    explicit WaveLineOsc(WaveDataGenOsc* gen);

    void setSize(int width, int height);
    int itemWidth() const { return width; }
    int itemHeight() const { return height; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Row of a value on a trace whose zero line is y0 with k pixels per mV:
    // truncated, within 0 .. h - 1.
    static int mapY(double v, double y0, double k, int h);
    // The lines of one trace: a polyline through the low values when the
    // first record is a single sample, else a bar per column from low to high
    // with a connector where two columns do not overlap. Appends to out.
    static void traceLines(const WaveLineA* recs, int n, double y0, double k, int h, int pw, QVector<QLine>* out);

private:
    void drawTrace(QPainter* painter, const WaveLineA* recs, int n, int offset, int voltDiv);

    int height = 0;
    int width = 0;
    WaveDataGenOsc* gen;
    QVector<QLine> lines;   // reused from paint to paint
};
