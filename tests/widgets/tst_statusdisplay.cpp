// StatusBar and ItemSmpProgress: the sampling-state table and what they paint.
#include "kittest.h"

#include "widgets/itemsmpprogress.h"
#include "controls/statusbar.h"

#include <QtTest>

#include <cmath>

using KitTest::grey;
using KitTest::pixel;

namespace {

const QColor kGreen(0, 192, 0);
const QColor kBlue(0, 160, 192);

// Runs of bar colour along row 3 (above a tiny text).
int runOf(const QImage& img, const QColor& c, int* first)
{
    int n = 0;
    *first = -1;
    for (int x = 0; x < img.width(); ++x) {
        if (pixel(img, x, 3) == c) {
            if (*first < 0)
                *first = x;
            ++n;
        }
    }
    return n;
}

QImage paintItem(ItemSmpProgress& item)
{
    QImage img(250, 250, QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    item.paint(&p, nullptr, nullptr);
    return img;
}

// Pixel on a circle round the item's centre, at an angle clockwise from 12 o'clock.
QColor onCircle(const QImage& img, double radius, double degrees)
{
    const double a = degrees * M_PI / 180;
    const int x = int(std::lround(125 + radius * std::sin(a)));
    const int y = int(std::lround(125 - radius * std::cos(a)));
    return pixel(img, x, y);
}

bool isGreen(const QColor& c)
{
    return c.green() > 150 && c.red() < 80 && c.blue() < 80;
}

bool isCyan(const QColor& c)
{
    return c.blue() > 150 && c.green() > 140 && c.red() < 80;
}

} // namespace

class TstStatusDisplay : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Config::fillLists(); }
    void statusTable_data();
    void statusTable();
    void itemTable_data();
    void itemTable();
    void statusConnectAndReview();
    void statusBars_data();
    void statusBars();
    void itemArcs_data();
    void itemArcs();
    void itemSize();
};

void TstStatusDisplay::statusTable_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("bar1");
    QTest::addColumn<int>("bar2");
    QTest::addColumn<QString>("text");
    const QString idle = QStringLiteral("Device connected");
    QTest::newRow("started") << 0 << 40 << 0 << 0 << QStringLiteral("Device connected");
    QTest::newRow("pre") << 1 << 30 << 30 << 0 << QStringLiteral("Pre-sampling...");
    QTest::newRow("waiting") << 2 << 50 << 50 << 0 << QStringLiteral("Waiting for trigger...");
    QTest::newRow("sampling") << 3 << 70 << 70 << 0 << QStringLiteral("Sampling...");
    QTest::newRow("sampling over") << 3 << 170 << 100 << 0 << QStringLiteral("Sampling...");
    QTest::newRow("sampling negative") << 3 << -4 << 0 << 0 << QStringLiteral("Sampling...");
    QTest::newRow("reading") << 4 << 20 << 100 << 20 << QStringLiteral("Data reading...");
    QTest::newRow("reading 0") << 4 << 0 << 100 << 0 << QStringLiteral("Data reading...");
    QTest::newRow("ended") << 5 << 90 << 0 << 0 << idle;
    QTest::newRow("negative state") << -1 << 90 << 0 << 0 << idle;
    QTest::newRow("state 9") << 9 << 90 << 0 << 0 << idle;
}

void TstStatusDisplay::statusTable()
{
    QFETCH(int, state);
    QFETCH(int, value);
    QFETCH(int, bar1);
    QFETCH(int, bar2);
    QFETCH(QString, text);
    StatusBar bar;
    bar.setConnectSta(true);
    bar.setSmpProgress(3, 10); // something to overwrite
    bar.setSmpProgress(4, 10);
    bar.setSmpProgress(state, value);
    QCOMPARE(bar.bar1(), bar1);
    QCOMPARE(bar.bar2(), bar2);
    // State 0 keeps the text of the previous state.
    QCOMPARE(bar.text(), state == 0 ? QStringLiteral("Data reading...") : text);
}

void TstStatusDisplay::itemTable_data()
{
    statusTable_data();
}

void TstStatusDisplay::itemTable()
{
    QFETCH(int, state);
    QFETCH(int, value);
    QFETCH(int, bar1);
    QFETCH(int, bar2);
    ItemSmpProgress item;
    QVERIFY(!item.isVisible());
    item.setValue(0, 0);
    QVERIFY(item.isVisible());
    item.setValue(1, 33);
    item.setValue(state, value);
    QCOMPARE(item.outerValue(), bar1);
    QCOMPARE(item.innerValue(), bar2);
    const bool running = state >= 0 && state <= 4;
    QCOMPARE(item.isVisible(), running);
    if (state >= 1 && state <= 4) {
        QFETCH(QString, text);
        QCOMPARE(item.text(), text);
    } else {
        QCOMPARE(item.text(), QStringLiteral("Pre-sampling...")); // unchanged
    }

    // States 1 to 4 leave a hidden item hidden.
    ItemSmpProgress hidden;
    hidden.setValue(3, 50);
    QVERIFY(!hidden.isVisible());
    QCOMPARE(hidden.outerValue(), 50);
}

void TstStatusDisplay::statusConnectAndReview()
{
    StatusBar bar;
    QCOMPARE(bar.size(), QSize(196, 20));
    QCOMPARE(bar.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(bar.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QVERIFY(bar.text().isEmpty());

    bar.setConnectSta(false);
    QCOMPARE(bar.text(), QStringLiteral("Device unconnected"));
    bar.setSmpProgress(3, 40);
    bar.setDataReview(false);
    QCOMPARE(bar.text(), QStringLiteral("Data review"));
    QCOMPARE(bar.bar1(), 40); // bars stay until the next state or connection
    bar.setSmpProgress(5, 0);
    QCOMPARE(bar.text(), QStringLiteral("Device unconnected"));
    bar.setDataReview(true);
    QCOMPARE(bar.text(), QStringLiteral("Device connected"));
    QVERIFY(bar.isConnected());
    bar.setSmpProgress(2, 60);
    bar.setConnectSta(true);
    QCOMPARE(bar.bar1(), 0);
    QCOMPARE(bar.text(), QStringLiteral("Device connected"));
}

void TstStatusDisplay::statusBars_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("greenFirst");
    QTest::addColumn<int>("greenLen");
    QTest::addColumn<int>("blueLen");
    // (196 - 4) x 50 / 100 = 96 pixels from x = 2.
    QTest::newRow("half") << 1 << 50 << 2 << 96 << 0;
    QTest::newRow("one") << 2 << 1 << 2 << 1 << 0;
    QTest::newRow("99") << 3 << 99 << 2 << 190 << 0;
    QTest::newRow("full") << 3 << 100 << 2 << 192 << 0;
    QTest::newRow("over") << 3 << 300 << 2 << 192 << 0;
    QTest::newRow("negative") << 3 << -20 << -1 << 0 << 0;
    QTest::newRow("reading 0") << 4 << 0 << 2 << 192 << 0;
    // Blue grows from the left over the full green bar.
    QTest::newRow("reading half") << 4 << 50 << 98 << 96 << 96;
    QTest::newRow("reading full") << 4 << 100 << -1 << 0 << 192;
}

void TstStatusDisplay::statusBars()
{
    QFETCH(int, state);
    QFETCH(int, value);
    QFETCH(int, greenFirst);
    QFETCH(int, greenLen);
    QFETCH(int, blueLen);
    StatusBar bar;
    QFont tiny = bar.font();
    tiny.setPixelSize(4);
    bar.setFont(tiny);
    bar.setSmpProgress(state, value);
    const QImage img = KitTest::render(bar);
    int first = 0;
    QCOMPARE(runOf(img, kGreen, &first), greenLen);
    QCOMPARE(first, greenFirst);
    QCOMPARE(runOf(img, kBlue, &first), blueLen);
    if (blueLen > 0)
        QCOMPARE(first, 2);
    // The frame: grey 4 outline, grey 7 inside, bars 2 pixels in from every edge.
    QCOMPARE(pixel(img, 0, 10), grey(4));
    QCOMPARE(pixel(img, 195, 10), grey(4));
    QCOMPARE(pixel(img, 100, 0), grey(4));
    QCOMPARE(pixel(img, 100, 19), grey(4));
    QCOMPARE(pixel(img, 1, 3), grey(7));
    QCOMPARE(pixel(img, 194, 3), grey(7));
    QCOMPARE(pixel(img, 100, 1), grey(7));
    QCOMPARE(pixel(img, 100, 18), grey(7));
    if (greenLen > 0 || blueLen > 0) {
        QVERIFY(pixel(img, 2, 2) == kGreen || pixel(img, 2, 2) == kBlue);
        QVERIFY(pixel(img, 2, 17) == kGreen || pixel(img, 2, 17) == kBlue);
    }
}

void TstStatusDisplay::itemArcs_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("value");
    QTest::addColumn<QList<double>>("greenAt");
    QTest::addColumn<QList<double>>("notGreenAt");
    QTest::addColumn<QList<double>>("cyanAt");
    QTest::addColumn<QList<double>>("notCyanAt");
    using L = QList<double>;
    // 1 % is 57 sixteenths, about 3.6 degrees (plus the square pen cap).
    QTest::newRow("1%") << 1 << 1 << L{1.8} << L{8, 90, 180, 270} << L{} << L{90};
    QTest::newRow("50%") << 3 << 50 << L{10, 90, 170} << L{190, 270} << L{} << L{90};
    QTest::newRow("full") << 3 << 100 << L{10, 90, 180, 270, 350} << L{} << L{} << L{};
    QTest::newRow("over") << 2 << 250 << L{10, 90, 180, 270, 350} << L{} << L{} << L{};
    QTest::newRow("negative") << 3 << -10 << L{} << L{1.8, 90, 180} << L{} << L{};
    QTest::newRow("reading 0") << 4 << 0 << L{10, 180, 350} << L{} << L{} << L{10, 90, 180};
    QTest::newRow("reading 50") << 4 << 50 << L{10, 180, 350} << L{} << L{10, 90, 170} << L{190, 270};
}

void TstStatusDisplay::itemArcs()
{
    QFETCH(int, state);
    QFETCH(int, value);
    QFETCH(QList<double>, greenAt);
    QFETCH(QList<double>, notGreenAt);
    QFETCH(QList<double>, cyanAt);
    QFETCH(QList<double>, notCyanAt);
    ItemSmpProgress item;
    item.setSize(250, 250);
    item.setValue(0, 0);
    item.setValue(state, value);
    const QImage img = paintItem(item);
    // Outer arc: radius (250 - 2 x 6) / 2 = 119; inner: (250 - 2 x 11) / 2 = 114.
    for (double a : greenAt)
        QVERIFY2(isGreen(onCircle(img, 119, a)), qPrintable(QStringLiteral("green at %1").arg(a)));
    for (double a : notGreenAt)
        QVERIFY2(!isGreen(onCircle(img, 119, a)), qPrintable(QStringLiteral("no green at %1").arg(a)));
    for (double a : cyanAt)
        QVERIFY2(isCyan(onCircle(img, 113, a)), qPrintable(QStringLiteral("cyan at %1").arg(a)));
    for (double a : notCyanAt)
        QVERIFY2(!isCyan(onCircle(img, 113, a)), qPrintable(QStringLiteral("no cyan at %1").arg(a)));
    // The disc: a light outline at (2, 2)..(247, 247), translucent grey inside.
    const QColor rim = onCircle(img, 122.5, 45);
    QVERIFY(rim.red() > 100 && rim.green() > 120);
    const QColor inside = pixel(img, 125, 60);
    QVERIFY(inside.red() > 20 && inside.red() < 60 && inside.red() == inside.blue());
}

void TstStatusDisplay::itemSize()
{
    ItemSmpProgress item;
    QCOMPARE(item.boundingRect(), QRectF());
    item.setSize(250, 200);
    QCOMPARE(item.boundingRect(), QRectF(0, 0, 250, 200));
    // Height 0 paints nothing.
    ItemSmpProgress flat;
    flat.setSize(250, 0);
    flat.setValue(3, 50);
    QImage img(10, 10, QImage::Format_ARGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        flat.paint(&p, nullptr, nullptr);
    }
    QCOMPARE(pixel(img, 5, 5), QColor(Qt::black));
}

QTEST_MAIN(TstStatusDisplay)
#include "tst_statusdisplay.moc"
