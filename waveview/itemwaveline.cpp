#include "waveview/itemwaveline.h"

#include "core/config.h"
#include "libanalyzer/analyzer.h"

#include <QFontMetrics>
#include <QTransform>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

WaveAnalyzerSource* anlySource = nullptr;

// Above this many separate edge columns a row stamps them as one stretched strip.
constexpr int stripColumns = 48;

QColor grey(int i)
{
    return Config::grayColor.value(i, QColor(Qt::gray));
}

QColor chnColorOf(int chn)
{
    if (Config::chnColor.isEmpty())
        return QColor(Qt::white);
    return Config::chnColor.at(chn % Config::chnColor.size());
}

QPen linePen(const QColor& c)
{
    QPen pen(c);
    pen.setStyle(Qt::SolidLine);
    pen.setWidth(Config::pixel(1));
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::BevelJoin);
    return pen;
}

// Item x of a sample: truncated view pixel, scaled, in 64 bits.
long long itemPixel(const WaveFrame& f, double sample)
{
    const int w = Config::pixel(1);
    return f.pixelOf(sample) * w + w / 2;
}

} // namespace

ItemWaveLine::ItemWaveLine(int chn, WaveDataGen* gen)
    : chn(chn), gen(gen), color(chnColorOf(chn).lighter(120))
{
    setFlags(GraphicsItemFlags());
}

void ItemWaveLine::setAnalyzerSource(WaveAnalyzerSource* source)
{
    anlySource = source;
}

WaveAnalyzerSource* ItemWaveLine::analyzerSource()
{
    return anlySource;
}

void ItemWaveLine::setSize(int w, int h)
{
    prepareGeometryChange();
    width = std::max(0, w);
    height = std::max(0, h);
    update();
}

QRectF ItemWaveLine::boundingRect() const
{
    return QRectF(0, 0, width, height);
}

int ItemWaveLine::levelHigh(int h)
{
    const int hw = Config::pixel(1) / 2;
    const int y = Config::pixel(4) + hw + int(0.11 * (h - 1));
    return std::min(y, Config::pixel(24));
}

int ItemWaveLine::levelLow(int h)
{
    const int hw = Config::pixel(1) / 2;
    const int y = int(0.89 * (h - 1)) + hw;
    if ((h - 1) - y > Config::pixel(20))
        return (h - 1) - Config::pixel(20);
    return y;
}

void ItemWaveLine::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (height == 0)
        return;
    WaveDataGen* g = gen ? gen : WaveDataGen::me;
    if (!g)
        return;
    // One frame for the whole paint: runs, bubbles and markers agree.
    const WaveFramePtr f = g->frame();
    if (f->smpCount <= 0)
        return;
    painter->setRenderHint(QPainter::Antialiasing, false);
    drawTrace(painter, *f);

    if (!anlySource)
        return;
    std::vector<Bubble> bubbles;
    std::vector<MarkerRec> markers;
    collectDecoded(*f, &bubbles, &markers);
    drawBubbles(painter, bubbles);
    for (const MarkerRec& m : markers) {
        const long long x = itemPixel(*f, double(m.pos));
        drawMarkers(m.type, wavePixelClamp(x, -Config::pixel(16), width + Config::pixel(16)), painter);
    }
}

void ItemWaveLine::drawTrace(QPainter* painter, const WaveFrame& f)
{
    const WaveLine* lines = nullptr;
    const int n = f.getData(chn, &lines);
    if (n <= 0)
        return;
    // Each record is filled as the rectangle a square-capped line of width w
    // covers: the raster engine fills a batch of rectangles many times faster
    // than it strokes the same lines. Adjacent edge columns merge into one.
    const int w = Config::pixel(1);
    const int hw = w / 2;
    const int yHigh = levelHigh(height);
    const int yLow = levelLow(height);
    const int colTop = yHigh - hw;
    const int colHeight = yLow - yHigh + w;
    const QColor c = Config::colorWaveLine ? color : grey(0);

    rectBuf.resize(0);
    rectBuf.reserve(n);
    colBuf.resize(0);
    for (int i = 0; i < n; ++i) {
        const WaveLine& l = lines[i];
        const int left = l.x * w;
        switch (l.type) {
        case 2:
            if (!colBuf.isEmpty() && colBuf.last().right() + 1 == left)
                colBuf.last().setRight(left + w - 1);
            else
                colBuf.append(QRect(left, colTop, w, colHeight));
            break;
        case 1:
        case 0:
            rectBuf.append(QRect(left, (l.type == 1 ? yHigh : yLow) - hw, l.width * w + w, w));
            break;
        default:
            break;
        }
    }

    // Many separate columns (a dense stretch) go, under a whole-pixel
    // translation, as one row of pixels tiled down the column height: one
    // blend per scanline instead of one span per column and scanline. Many
    // runs go the same way, one row of pixels for each level.
    const QTransform& t = painter->worldTransform();
    const bool whole = width > 0 && t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx())
                       && t.dy() == std::floor(t.dy());
    const bool stripCols = whole && colBuf.size() > stripColumns;
    const bool stripRuns = whole && rectBuf.size() > stripColumns;
    const quint32 argb = qPremultiply(c.rgba());
    painter->setPen(Qt::NoPen);
    if (stripRuns) {
        for (QImage* img : {&highStrip, &lowStrip}) {
            if (img->width() != width)
                *img = QImage(width, 1, QImage::Format_ARGB32_Premultiplied);
            img->fill(Qt::transparent);
        }
        quint32* hi = reinterpret_cast<quint32*>(highStrip.scanLine(0));
        quint32* lo = reinterpret_cast<quint32*>(lowStrip.scanLine(0));
        for (const QRect& r : rectBuf) {
            quint32* px = r.top() == yHigh - hw ? hi : lo;
            for (int x = std::max(0, r.left()), e = std::min(width, r.right() + 1); x < e; ++x)
                px[x] = argb;
        }
        painter->fillRect(QRect(0, yHigh - hw, width, w), QBrush(highStrip));
        painter->fillRect(QRect(0, yLow - hw, width, w), QBrush(lowStrip));
        rectBuf.resize(0);
    }
    if (!stripCols)
        rectBuf += colBuf;
    painter->setBrush(c);
    painter->drawRects(rectBuf);
    painter->setBrush(Qt::NoBrush);
    if (stripCols) {
        if (colStrip.width() != width)
            colStrip = QImage(width, 1, QImage::Format_ARGB32_Premultiplied);
        colStrip.fill(Qt::transparent);
        quint32* px = reinterpret_cast<quint32*>(colStrip.scanLine(0));
        for (const QRect& r : colBuf)
            for (int x = std::max(0, r.left()), e = std::min(width, r.right() + 1); x < e; ++x)
                px[x] = argb;
        painter->fillRect(QRect(0, colTop, width, colHeight), QBrush(colStrip));
    }
}

void ItemWaveLine::collectDecoded(const WaveFrame& f, std::vector<Bubble>* bubbles,
                                  std::vector<MarkerRec>* markers) const
{
    if (!anlySource || f.smpCount <= 0 || !(f.smpPerPixel > 0))
        return;
    const QVector<Analyzer*> list = anlySource->chnAnalyzers(chn);
    if (list.isEmpty())
        return;
    const int w = Config::pixel(1);
    const double spp = f.smpPerPixel;
    const double off = f.smpOffset;
    const double viewEnd = std::min(double(f.smpCount), double(width) * spp / w + off);
    if (!(viewEnd > 0))
        return;
    // Windows of one pixel's samples (at least one sample): the cost follows
    // the visible frames, not the capture depth.
    const long long step = std::max(1LL, wavePixelTrunc(spp));
    const long long first = wavePixelTrunc(off);
    const long long last = wavePixelTrunc(viewEnd);
    const long long start = std::max(0LL, first);
    const Channel ch(0, U32(chn));
    const QFontMetrics fm(Config::fontSmall);

    for (Analyzer* a : list) {
        AnalyzerResults* r = nullptr;
        if (!a || !a->GetAnalyzerResults(&r) || !r)
            continue;
        int fmt = anlySource->analyzerDisplayFormat(a);
        if (fmt < DisplayBin || fmt > DisplayAsciiHex)
            fmt = DisplayHex;
        U64 i0 = 0, i1 = 0;

        if (bubbles && r->DoBubblesAppearOnChannel(ch) && r->GetFramesInRange(first, last, &i0, &i1)) {
            long long s = start;
            while (double(s) < viewEnd) {
                const long long e = s + step - 1;
                if (!r->GetFramesInRange(s, e, &i0, &i1)) {
                    s = e + 1;
                    continue;
                }
                const Frame fr = r->GetFrame(i1);
                // Always forward, even for a frame that ends inside the window.
                const long long next = std::max<long long>(fr.endSample, s + 1);
                if (double(fr.endSample - fr.startSample) / spp >= w) {
                    Bubble b;
                    b.x1 = itemPixel(f, double(fr.startSample));
                    b.x2 = itemPixel(f, double(fr.endSample));
                    b.textWidth = 0;
                    const long long room = b.x2 - b.x1;
                    r->MakeBubbleText(i1, ch, DisplayBase(fmt));
                    const char* const* strs = nullptr;
                    unsigned count = 0;
                    r->GetResultStrings(&strs, &count);
                    for (unsigned k = 0; strs && k < count; ++k) {
                        const QString t = QString::fromUtf8(strs[k]);
                        const int tw = fm.horizontalAdvance(t);
                        if (tw <= room && (b.text.isNull() || tw > b.textWidth)) {
                            b.text = t;
                            b.textWidth = tw;
                        }
                    }
                    if (b.text.isNull() && room > Config::pixel(11)) {
                        b.text = QStringLiteral("...");
                        b.textWidth = Config::pixel(10);
                    }
                    bubbles->push_back(b);
                }
                s = next;
            }
        }

        if (markers && r->DoMarkersAppearOnChannel(ch) && r->GetMarkersInRange(ch, first, last, &i0, &i1)) {
            const U64 total = r->GetNumMarkers(ch);
            const double closeSpan = 8.0 * spp;   // 8 pixels
            bool prevClose = false;
            long long s = start;
            while (s <= last) {
                const long long we = std::min(s + step - 1, last);
                if (!r->GetMarkersInRange(ch, s, we, &i0, &i1)) {
                    s = we + 1;
                    continue;
                }
                const Marker m = r->GetMarker(ch, i1);
                bool close = false;
                if (i1 + 1 < total) {
                    const Marker nx = r->GetMarker(ch, i1 + 1);
                    close = double(nx.sample - m.sample) < closeSpan;
                }
                const bool several = i0 != i1;
                if (!several && !close && !prevClose)
                    markers->push_back(MarkerRec{int(m.type), m.sample});
                prevClose = close || several;
                s = std::max<long long>(we, m.sample) + 1;
            }
        }
    }
}

void ItemWaveLine::drawBubbles(QPainter* painter, const std::vector<Bubble>& bubbles)
{
    if (bubbles.empty())
        return;
    const int w = Config::pixel(1);
    const int hw = w / 2;
    const int bh = Config::pixel(14);
    const int margin = Config::pixel(10);
    QLinearGradient fill(0, 0, 0, bh / 2 + w);
    fill.setColorAt(0, grey(2));
    fill.setColorAt(1, QColor(0, 0, 0, 207));
    const QPen outline = linePen(Config::colorWaveLine ? grey(2) : chnColorOf(chn));
    const QPen textPen(grey(0));
    painter->setFont(Config::fontSmall);
    const int baseline = bh + hw - Config::pixel(3);
    for (const Bubble& b : bubbles) {
        if (!(b.x1 < width && b.x2 > 0))
            continue;
        const int x1 = wavePixelClamp(b.x1, -margin, width + margin);
        const int x2 = wavePixelClamp(b.x2, -margin, width + margin);
        // Outline drawn on x1 .. x2 - 1 and hw .. hw + bh - 1.
        painter->setPen(outline);
        painter->setBrush(fill);
        painter->drawRect(QRect(x1, hw, std::max(0, x2 - 1 - x1), bh - 1));
        if (b.textWidth <= 0)
            continue;
        const long long tx = (b.x1 + b.x2 + 1 - b.textWidth) / 2;
        if (tx < width && tx + b.textWidth > 0) {
            painter->setPen(textPen);
            painter->drawText(QPoint(int(tx), baseline), b.text);
        }
    }
    painter->setBrush(Qt::NoBrush);
}

void ItemWaveLine::drawMarkers(int type, int x, QPainter* painter)
{
    if (type < 0 || type > 11)
        return;
    const int w = Config::pixel(1);
    const int hw = w / 2;
    const int y = hw + 2 * w + height / 2;
    const QColor red(Qt::red);
    const QColor g1 = grey(1);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(Qt::NoBrush);
    auto pen = [painter](const QColor& c) { painter->setPen(linePen(c)); };

    switch (type) {
    case 0:
    case 1: {
        const QColor c = type == 0 ? g1 : red;
        pen(c);
        painter->setBrush(c);
        painter->drawEllipse(QRect(x - 2 * w, y - 2 * w, 4 * w, 4 * w));
        break;
    }
    case 2:
    case 3:
        painter->fillRect(QRect(x - 2 * w, y - 2 * w, 5 * w, 5 * w), type == 2 ? g1 : red);
        break;
    case 4:
    case 5: {
        pen(Config::colorWaveLine ? color : g1);
        if (type == 4) {
            painter->drawPoint(x, y - 2 * w);
            painter->drawLine(x - w, y - w, x + w, y - w);
            painter->drawLine(x - 2 * w, y, x + 2 * w, y);
            painter->drawLine(x - 3 * w, y + w, x + 3 * w, y + w);
        } else {
            painter->drawLine(x - 3 * w, y - 2 * w, x + 3 * w, y - 2 * w);
            painter->drawLine(x - 2 * w, y - w, x + 2 * w, y - w);
            painter->drawLine(x - w, y, x + w, y);
            painter->drawPoint(x, y + w);
        }
        break;
    }
    case 6:
    case 7:
        pen(type == 6 ? g1 : red);
        painter->drawLine(x - 3 * w, y + 3 * w, x + 3 * w, y - 3 * w);
        painter->drawLine(x + 3 * w, y + 3 * w, x - 3 * w, y - 3 * w);
        break;
    case 8:
        pen(g1);
        painter->setBrush(QColor(Qt::green));
        painter->drawEllipse(QRect(x - 3 * w, y - 3 * w, 6 * w, 6 * w));
        break;
    case 9:
        pen(g1);
        painter->setBrush(red);
        painter->drawRect(QRect(x - 3 * w, y - 3 * w, 6 * w, 6 * w));
        break;
    case 10:
    case 11: {
        pen(grey(2));
        painter->setBrush(grey(2));
        painter->drawEllipse(QRect(x - 5 * w, y - 5 * w, 9 * w, 9 * w));
        pen(grey(8));
        if (type == 10) {
            // A "1": stem, flag and foot.
            painter->drawLine(x, y - 3 * w, x, y + 2 * w);
            painter->drawLine(x - w, y - 2 * w, x, y - 3 * w);
            painter->drawLine(x - w, y + 2 * w, x + w, y + 2 * w);
        } else {
            // A "0": a small upright box.
            painter->drawLine(x - w, y - 3 * w, x + w, y - 3 * w);
            painter->drawLine(x + w, y - 3 * w, x + w, y + 2 * w);
            painter->drawLine(x + w, y + 2 * w, x - w, y + 2 * w);
            painter->drawLine(x - w, y + 2 * w, x - w, y - 3 * w);
        }
        break;
    }
    default:
        break;
    }
    painter->setBrush(Qt::NoBrush);
}
