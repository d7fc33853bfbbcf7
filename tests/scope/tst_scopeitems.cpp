// The oscilloscope scene items painted into images: trace mapping and
// connectors, graticule lines, colours of labels and tags, cursor states, and
// a demo capture drawn end to end from the device object to the trace item.
#include "common/queuedspy.h"
#include "devobj/devtesthelp.h"

#include "device/analogchndata.h"
#include "device/dev7329.h"
#include "device/smpctrlfactory.h"
#include "device/smpdataosc.h"
#include "device/smpsimulate.h"
#include "scope/autoscaleitem.h"
#include "scope/chntagosc.h"
#include "scope/cursormarkernameosc.h"
#include "scope/cursormarkerosc.h"
#include "scope/gridlabelitem.h"
#include "scope/gridvoltinforitem.h"
#include "scope/triggertagosc.h"
#include "scope/wavebackgroundosc.h"
#include "scope/wavelineosc.h"
#include "scope/wavedatagenosc.h"

#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QtTest>

#include <memory>

namespace {

QImage render(QGraphicsItem* item, int w, int h, QColor background = Qt::black)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(background);
    QPainter p(&img);
    QStyleOptionGraphicsItem opt;
    item->paint(&p, &opt, nullptr);
    return img;
}

// Pixels matching a test, counted over the image or one row.
template <typename F>
int count(const QImage& img, F test, int row = -1)
{
    int n = 0;
    for (int y = (row < 0 ? 0 : row); y < (row < 0 ? img.height() : row + 1); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += test(img.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool lit(const QColor& c) { return c != QColor(Qt::black); }
bool grey(const QColor& c) { return lit(c) && c.red() == c.green() && c.green() == c.blue(); }
// The two analog channels are yellow and blue: blends on black keep their hue.
bool yellowish(const QColor& c) { return c.red() > 40 && c.green() > 40 && c.blue() * 2 < c.red(); }
bool bluish(const QColor& c) { return c.blue() > 40 && c.red() * 2 < c.blue(); }

WaveLineA rec(int x, double high, double low, bool single = false)
{
    WaveLineA r;
    r.x = x;
    r.high = high;
    r.low = low;
    r.single = single;
    return r;
}

} // namespace

Q_DECLARE_METATYPE(QVector<WaveLineA>)
Q_DECLARE_METATYPE(QVector<QLine>)

class TstScopeItems : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void valueRows();
    void traceShapes_data();
    void traceShapes();
    void graticule();
    void tracesFollowSettings();
    void labelColours();
    void tags();
    void hoverCursors();
    void cursorStates();
    void autoScaleDisc();
    void demoCaptureDrawn();

private:
    // Ramps on both channels in the displayed store, generated for a 200-pixel grid.
    void fillRamps();

    std::unique_ptr<Dev7329> dev;
    std::unique_ptr<WaveDataGenOsc> gen;
};

void TstScopeItems::initTestCase()
{
    Config::fillLists();
}

void TstScopeItems::init()
{
    devtest::resetSettings();
    dev = std::make_unique<Dev7329>();
    devUsing = dev.get();
    gen = std::make_unique<WaveDataGenOsc>();
    gen->devModelChanged();
}

void TstScopeItems::cleanup()
{
    if (dev)
        dev->smpStopAndWait();
    gen.reset();
    devUsing = nullptr;
    dev.reset();
    DevBase::smpWorkerFactory = nullptr;
}

void TstScopeItems::fillRamps()
{
    const SmpDataOscPtr s = dev->displayedSmpDataOsc();
    const int vd[2] = {1000, 1000};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {true, true};
    QVERIFY(s->dataConvertStart(0, 1000000, vd, hs, off, ena));
    for (int c = 0; c < 2; ++c) {
        AnalogChnData* b = s->chnData[size_t(c)];
        b->smpCount = 20000;
        b->trgPosition = 10000;
        for (int i = 0; i < 20000; ++i)
            b->data[i] = short((c ? -1 : 1) * ((i % 400) - 200));
    }
    dev->setATimeDivIndex(9);
    gen->setViewWidth(200);
    gen->zoomFirst();
    QVERIFY(gen->getData(0, nullptr) > 0 && gen->getData(1, nullptr) > 0);
}

void TstScopeItems::valueRows()
{
    // Offset +500 puts the zero line on the top row, -500 on the bottom one.
    const int h = 400;
    QCOMPARE(WaveLineOsc::mapY(0, h * (0.5 - 500 / 1000.0), 1, h), 0);
    QCOMPARE(WaveLineOsc::mapY(0, h * (0.5 + 500 / 1000.0), 1, h), h - 1);
    // Beyond the graticule: its edge rows, never outside.
    QCOMPARE(WaveLineOsc::mapY(1e9, 200, 0.4, h), 0);
    QCOMPARE(WaveLineOsc::mapY(-1e9, 200, 0.4, h), h - 1);
    QCOMPARE(WaveLineOsc::mapY(std::nan(""), 200, 0.4, h), 0);
    QCOMPARE(WaveLineOsc::mapY(100, 200, 0.4, h), 160);
    QCOMPARE(WaveLineOsc::mapY(-101, 200, 0.4, h), 240);   // 240.4 truncated
}

void TstScopeItems::traceShapes_data()
{
    QTest::addColumn<QVector<WaveLineA>>("recs");
    QTest::addColumn<QVector<QLine>>("lines");
    // y0 = 50, one pixel per mV.
    QTest::newRow("single samples: a polyline through the lows")
        << QVector<WaveLineA>{rec(0, 99, 10, true), rec(3, 99, -20, true), rec(6, 99, 0, true)}
        << QVector<QLine>{QLine(0, 40, 3, 70), QLine(3, 70, 6, 50)};
    QTest::newRow("one single sample draws nothing") << QVector<WaveLineA>{rec(4, 0, 0, true)} << QVector<QLine>{};
    QTest::newRow("rising columns joined from the upper end")
        << QVector<WaveLineA>{rec(0, 10, 0), rec(1, 30, 20)}
        << QVector<QLine>{QLine(0, 50, 0, 40), QLine(1, 30, 1, 20), QLine(0, 40, 1, 30)};
    QTest::newRow("falling columns joined from the lower end")
        << QVector<WaveLineA>{rec(0, 30, 20), rec(1, 10, 0)}
        << QVector<QLine>{QLine(0, 30, 0, 20), QLine(1, 50, 1, 40), QLine(0, 30, 1, 40)};
    QTest::newRow("overlapping columns: no connector")
        << QVector<WaveLineA>{rec(0, 30, 0), rec(1, 20, 10)}
        << QVector<QLine>{QLine(0, 50, 0, 20), QLine(1, 40, 1, 30)};
    QTest::newRow("clamped to the edges")
        << QVector<WaveLineA>{rec(2, 500, -500)} << QVector<QLine>{QLine(2, 99, 2, 0)};
}

void TstScopeItems::traceShapes()
{
    QFETCH(QVector<WaveLineA>, recs);
    QFETCH(QVector<QLine>, lines);
    QVector<QLine> out;
    WaveLineOsc::traceLines(recs.constData(), recs.size(), 50, 1, 100, 1, &out);
    QCOMPARE(out, lines);
}

void TstScopeItems::graticule()
{
    const QVector<int> rows = {41, 81, 121, 161, 201, 241, 281, 321, 361};
    for (int i = 1; i <= 9; ++i)
        QCOMPARE(WaveBackgroundOsc::gridLine(i, 403, 1), rows[i - 1]);
    WaveBackgroundOsc bg(gen.get());
    QCOMPARE(count(render(&bg, 50, 50), lit), 0);   // no size: nothing
    bg.setSize(503, 403);
    const QImage img = render(&bg, 503, 403);
    const QColor border = Config::grayColor[2];
    QCOMPARE(img.pixelColor(0, 0), border);
    QCOMPARE(img.pixelColor(502, 402), border);
    // Between two rows of the grid only the border and the nine columns are lit.
    QVector<int> columns = {0, 502};
    for (int i = 1; i <= 9; ++i)
        columns << WaveBackgroundOsc::gridLine(i, 503, 1);
    for (int x = 0; x < 503; ++x)
        QCOMPARE(lit(img.pixelColor(x, 100)) && !columns.contains(x), false);
    QCOMPARE(WaveBackgroundOsc::gridLine(5, 503, 1), 251);
    // The centre line is dashed, the others dotted: more of it is lit.
    const int dashed = count(img, lit, 201);
    const int dotted = count(img, lit, 41);
    QVERIFY2(dashed > dotted * 3 / 2, qPrintable(QString("%1 %2").arg(dashed).arg(dotted)));
}

void TstScopeItems::tracesFollowSettings()
{
    fillRamps();
    WaveLineOsc item(gen.get());
    QCOMPARE(count(render(&item, 201, 101), lit), 0);   // height 0: nothing
    item.setSize(201, 101);
    QImage img = render(&item, 201, 101);
    QVERIFY(count(img, yellowish) > 100 && count(img, bluish) > 100);

    // A disabled channel draws nothing though the generator holds its records.
    dev->aChnEna[1] = false;
    img = render(&item, 201, 101);
    QVERIFY(count(img, yellowish) > 100);
    QCOMPARE(count(img, bluish), 0);
    QCOMPARE(count(img, grey), 0);   // math is off

    // The math trace is white, only while on; a scale of 0 draws nothing.
    dev->aChnEna[0] = false;
    dev->aMathEna = true;
    gen->genMathData();
    QVERIFY(gen->getMathData(nullptr) > 0);
    img = render(&item, 201, 101);
    QVERIFY(count(img, lit) > 50);
    QCOMPARE(count(img, lit), count(img, grey));
    dev->aMathScale[dev->aMathOperator] = 0;
    QCOMPARE(count(render(&item, 201, 101), lit), 0);
    dev->aMathOperator = 17;
    QCOMPARE(count(render(&item, 201, 101), lit), 0);

    // Without a volts/div list a channel has no scale to draw with.
    dev->aMathEna = false;
    dev->aChnEna[0] = true;
    dev->voltDivList.clear();
    QCOMPARE(count(render(&item, 201, 101), lit), 0);
}

void TstScopeItems::labelColours()
{
    const QColor green = QColor(0, 207, 0).lighter(120);
    GridLabelItem label;
    QVERIFY(!label.isVisible());
    label.setText(-1, QStringLiteral("25.0ns"));
    QCOMPARE(label.textColor(), green);
    label.setText(2, QStringLiteral("1.00V"));   // the math trace's label
    QCOMPARE(label.textColor(), QColor(Qt::white));
    label.setText(1, QStringLiteral("20.0mV"));
    QCOMPARE(label.textColor(), Config::chnColorOsc[1].lighter(120));
    label.setText(-3, QStringLiteral("x"));
    QCOMPARE(label.textColor(), Config::chnColorOsc[1].lighter(120));

    GridVoltInforItem info;
    info.setText(5, QStringLiteral("250mV"));   // modulo the channel count
    QCOMPARE(info.lineColor(), Config::chnColorOsc[1].lighter(120));
    info.setWidth(200);
    QCOMPARE(info.boundingRect(), QRectF(0, 0, 200, 18));
    const QImage img = render(&info, 200, 19);
    auto lineColour = [&info](const QColor& c) { return c.rgb() == info.lineColor().rgb(); };
    QVERIFY(count(img, lineColour, 18) > 50);   // the dashed bottom line
    QCOMPARE(count(img, lineColour) - count(img, lineColour, 18), 0);
    QVERIFY(count(img, [](const QColor& c) { return c == QColor(Qt::white); }) > 20);   // box and text
}

void TstScopeItems::tags()
{
    const QColor bg(255, 0, 255);
    auto dark = [](const QColor& c) { return c.red() < 80 && c.green() < 80 && c.blue() < 80; };
    ChnTagOsc t0(0);
    ChnTagOsc math(2);
    QCOMPARE(t0.label(), QStringLiteral("1"));
    QVERIFY(t0.isChannel() && !math.isChannel());
    QCOMPARE(t0.tagColor(), Config::chnColorOsc[0].lighter(120));
    QCOMPARE(math.tagColor(), QColor(Qt::white));
    QVERIFY(count(render(&t0, 11, 11, bg), dark) > 3);   // the black number
    const QImage m = render(&math, 11, 11, bg);
    QCOMPARE(count(m, dark), 0);
    QCOMPARE(m.pixelColor(2, 5), QColor(Qt::white));
    QCOMPARE(m.pixelColor(10, 0), bg);   // the flag points right

    TriggerTagOsc level(0, 1, true);
    QCOMPARE(level.tagColor(), Config::chnColorOsc[1].lighter(120));
    QImage img = render(&level, 11, 11, bg);
    QCOMPARE(img.pixelColor(8, 5).rgb(), level.tagColor().rgb());
    QCOMPARE(img.pixelColor(1, 1), bg);   // pointing left

    TriggerTagOsc outline(1, -4, false);
    QCOMPARE(outline.channel(), 0);
    QCOMPARE(outline.tagColor(), QColor(0, 207, 0).lighter(120));
    img = render(&outline, 11, 11, bg);
    QCOMPARE(img.pixelColor(5, 0).rgb(), outline.tagColor().rgb());
    QCOMPARE(img.pixelColor(5, 3), QColor(Qt::black));   // an outline on black
    QCOMPARE(img.pixelColor(1, 8), bg);                    // pointing down
}

void TstScopeItems::hoverCursors()
{
    QGraphicsScene scene;
    auto* chn = new ChnTagOsc(0);
    auto* level = new TriggerTagOsc(0, 0, true);
    auto* pos = new TriggerTagOsc(1, 0, true);
    auto* outline = new TriggerTagOsc(1, 0, false);
    for (QGraphicsItem* i : {static_cast<QGraphicsItem*>(chn), static_cast<QGraphicsItem*>(level),
                             static_cast<QGraphicsItem*>(pos), static_cast<QGraphicsItem*>(outline)})
        scene.addItem(i);
    auto hover = [&scene](QGraphicsItem* item) {
        QGraphicsSceneHoverEvent e(QEvent::GraphicsSceneHoverEnter);
        scene.sendEvent(item, &e);
        return item->hasCursor() ? int(item->cursor().shape()) : -1;
    };
    QCOMPARE(hover(chn), int(Qt::SizeVerCursor));
    QCOMPARE(hover(level), int(Qt::SizeVerCursor));
    QCOMPARE(hover(pos), int(Qt::SizeHorCursor));
    QCOMPARE(hover(outline), -1);   // an outline takes no drags: no cursor
    QGraphicsSceneHoverEvent leave(QEvent::GraphicsSceneHoverLeave);
    scene.sendEvent(pos, &leave);
    QCOMPARE(pos->cursor().shape(), Qt::ArrowCursor);
}

void TstScopeItems::cursorStates()
{
    CursorMarkerOsc time(1, 1);
    CursorMarkerNameOsc name(QStringLiteral("x2"));
    QVERIFY(!time.isVisible() && !name.isVisible());
    QCOMPARE(time.name(), QStringLiteral("X1"));
    time.setLen(300);
    QCOMPARE(time.boundingRect(), QRectF(0, 0, 3, 300));
    time.setStateType(2);
    name.setStateType(2);
    QVERIFY(time.isVisible() && name.isVisible());
    QCOMPARE(time.cursor().shape(), Qt::SizeHorCursor);
    QImage img = render(&time, 3, 300);
    QCOMPARE(img.pixelColor(1, 150), QColor(0, 255, 0));
    time.setStateType(3);
    QCOMPARE(time.cursor().shape(), Qt::CrossCursor);
    QCOMPARE(render(&time, 3, 300).pixelColor(1, 10), QColor(31, 191, 31));
    time.setStateType(0);
    QVERIFY(!time.isVisible());

    CursorMarkerOsc volt(0, 0);
    volt.setLen(200);
    QCOMPARE(volt.boundingRect(), QRectF(0, 0, 200, 3));
    volt.setStateType(3);
    QCOMPARE(volt.cursor().shape(), Qt::ArrowCursor);
    img = render(&volt, 200, 3);
    QCOMPARE(img.pixelColor(100, 1), QColor(31, 191, 31));
    QCOMPARE(img.pixelColor(100, 0), QColor(Qt::black));
}

void TstScopeItems::autoScaleDisc()
{
    AutoScaleItem disc;
    QVERIFY(!disc.isVisible());
    disc.setSize(40, 10);   // the height does not enter the drawing
    const QImage img = render(&disc, 40, 40);
    const QColor c = img.pixelColor(20, 20);
    QVERIFY(c.green() > 20 && c.green() < 50 && c.red() == 0 && c.blue() == 0);
    QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(img.pixelColor(20, 35), c);
}

void TstScopeItems::demoCaptureDrawn()
{
    // Device object, demo generator, analog store, trace generator, trace item.
    SmpCtrlFactory::install([](DevBase* d) -> QThread* { return new SmpSimulate(d); });
    QueuedSpy ready(dev.get(), &DevBase::sigSmpDataReady);
    dev->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(ready.calls.contains(QList<QVariant>{0}), 20000);
    dev->smpStopAndWait();
    QVERIFY(dev->hasValidData());
    gen->setViewWidth(300);
    gen->zoomFirst();
    WaveLineOsc item(gen.get());
    item.setSize(301, 201);
    const QImage img = render(&item, 301, 201);
    QVERIFY(count(img, yellowish) > 200);
    QVERIFY(count(img, bluish) > 200);
}

QTEST_MAIN(TstScopeItems)
#include "tst_scopeitems.moc"
