#pragma once
// One logic channel's trace, with the decoded bubbles and markers of the
// analyzers bound to the channel. Paints one published generator frame, so
// runs, bubbles and markers agree.

#include "waveview/waveanalyzersource.h"
#include "waveview/wavedatagen.h"

#include <QColor>
#include <QGraphicsItem>
#include <QImage>
#include <QRect>
#include <QString>
#include <QVector>

#include <vector>

class ItemWaveLine : public QGraphicsItem
{
public:
    struct Bubble {
        long long x1;   // item pixels of the frame's ends, unclipped
        long long x2;
        QString text;
        int textWidth;
    };
    struct MarkerRec {
        int type;
        long long pos;  // sample
    };

    ItemWaveLine(int chn, WaveDataGen* gen);

    // The host the rows ask for analyzers; null draws traces only.
    static void setAnalyzerSource(WaveAnalyzerSource* source);
    static WaveAnalyzerSource* analyzerSource();

    void setSize(int w, int h);
    int channel() const { return chn; }
    QColor traceColor() const { return color; }

    // Trace levels of a row of height h.
    static int levelHigh(int h);
    static int levelLow(int h);

    // The bubbles and markers a paint of this frame draws.
    void collectDecoded(const WaveFrame& f, std::vector<Bubble>* bubbles,
                        std::vector<MarkerRec>* markers) const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    void drawMarkers(int type, int x, QPainter* painter);

private:
    void drawTrace(QPainter* painter, const WaveFrame& f);
    void drawBubbles(QPainter* painter, const std::vector<Bubble>& bubbles);

    int chn;
    WaveDataGen* gen;
    QColor color;
    int width = 0;
    int height = 0;
    QVector<QRect> rectBuf;   // runs, reused by every paint
    QVector<QRect> colBuf;    // edge columns, adjacent ones merged
    QImage colStrip;          // edge columns of one scanline, reused
    QImage highStrip;         // high runs of one scanline, reused
    QImage lowStrip;          // low runs of one scanline, reused
};
