// MyScrollbar: range, value and paging rules, the drawn handle, dragging,
// and 64-bit extremes.
#include "kittest.h"

#include "widgets/myscrollbar.h"

#include <QMouseEvent>
#include <QtTest>

#include <limits>

namespace {

const qlonglong kMin = std::numeric_limits<qlonglong>::min();
const qlonglong kMax = std::numeric_limits<qlonglong>::max();

void mouse(QWidget& w, QEvent::Type type, int y, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(4, y), QPointF(4, y), button, held, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

void drag(MyScrollbar& bar, int fromY, int toY)
{
    mouse(bar, QEvent::MouseButtonPress, fromY, Qt::LeftButton);
    mouse(bar, QEvent::MouseMove, toY, Qt::LeftButton);
    mouse(bar, QEvent::MouseButtonRelease, toY, Qt::NoButton);
}

// First and last row of the drawn handle in the middle column.
QPair<int, int> handleRows(MyScrollbar& bar)
{
    const QImage img = KitTest::render(bar);
    int first = -1;
    int last = -1;
    for (int y = 0; y < img.height(); ++y) {
        if (qAlpha(img.pixel(img.width() / 2, y)) > 100) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return qMakePair(first, last);
}

} // namespace

class TstMyScrollbar : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Config::fillLists(); }
    void hiddenUntilRange();
    void setRangeClampsFromAbove();
    void setRangeKeepsValueBelowMinimum();
    void idleBarSilentOnNegativeRange();
    void handleMinimumLength_data();
    void handleMinimumLength();
    void dragging();
    void extremes();
    void extremeDrag();
};

void TstMyScrollbar::hiddenUntilRange()
{
    QWidget parent;
    auto* bar = new MyScrollbar(&parent);
    parent.show();
    QVERIFY(bar->isHidden());
    QSignalSpy values(bar, &MyScrollbar::valueChanged);
    bar->setRange(0, 0);
    QVERIFY(bar->isHidden());
    bar->setValue(5);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(values.count(), 0);

    bar->setRange(0, 10);
    QVERIFY(!bar->isHidden());
    bar->setValue(5);
    QCOMPARE(bar->value(), 5);
    QCOMPARE(values.count(), 1);
    bar->setValue(5); // unchanged: silent
    QCOMPARE(values.count(), 1);
    bar->setValue(99);
    QCOMPARE(bar->value(), 10);
    bar->setValue(-99);
    QCOMPARE(bar->value(), 0);

    bar->setRange(3, 3);
    QVERIFY(bar->isHidden());
}

void TstMyScrollbar::setRangeClampsFromAbove()
{
    MyScrollbar bar;
    bar.setRange(0, 200);
    bar.setValue(150);
    QSignalSpy values(&bar, &MyScrollbar::valueChanged);
    QSignalSpy ranges(&bar, &MyScrollbar::rangChanged);
    bar.setRange(0, 100);
    QCOMPARE(bar.value(), 100);
    QCOMPARE(values.count(), 1);
    QCOMPARE(values.at(0).at(0).toLongLong(), 100);
    QCOMPARE(ranges.count(), 0);
    QCOMPARE(bar.maximum(), 100);

    bar.setValue(50);
    values.clear();
    bar.setRange(0, 200);
    QCOMPARE(ranges.count(), 1);
    QCOMPARE(ranges.at(0).at(0).toLongLong(), 0);
    QCOMPARE(ranges.at(0).at(1).toLongLong(), 200);
    QCOMPARE(bar.value(), 50);
    QCOMPARE(values.count(), 0);

    // The same range again emits nothing.
    bar.setRange(0, 200);
    QCOMPARE(ranges.count(), 1);
}

void TstMyScrollbar::setRangeKeepsValueBelowMinimum()
{
    MyScrollbar bar;
    bar.resize(8, 200);
    bar.setRange(0, 100);
    bar.setValue(5);
    bar.setRange(10, 100);
    QCOMPARE(bar.value(), 5);
    // A value below the minimum still draws the handle inside the bar.
    bar.setPageStep(10);
    const auto rows = handleRows(bar);
    QCOMPARE(rows.first, 0);

    QSignalSpy values(&bar, &MyScrollbar::valueChanged);
    bar.setValue(5);
    QCOMPARE(bar.value(), 10);
    QCOMPARE(values.count(), 1);
}

void TstMyScrollbar::idleBarSilentOnNegativeRange()
{
    MyScrollbar bar;
    QSignalSpy ranges(&bar, &MyScrollbar::rangChanged);
    bar.setRange(-10, -5);
    QCOMPARE(ranges.count(), 0);
    QCOMPARE(bar.minimum(), -10);
    bar.setRange(0, 50);
    QCOMPARE(ranges.count(), 1);
    bar.setRange(-10, -5); // the bar was working: it reports
    QCOMPARE(ranges.count(), 2);
}

void TstMyScrollbar::handleMinimumLength_data()
{
    QTest::addColumn<qlonglong>("page");
    QTest::addColumn<qlonglong>("value");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<double>("length");
    // page 10 on range 990 in 200 pixels: 2 pixels proportional, drawn 12 long.
    QTest::newRow("tiny at max") << 10LL << 990LL << 188 << 199 << 2.0;
    QTest::newRow("tiny at min") << 10LL << 0LL << 0 << 11 << 2.0;
    QTest::newRow("tiny half") << 10LL << 495LL << 94 << 105 << 2.0;
    // page 990: half the bar.
    QTest::newRow("half at min") << 990LL << 0LL << 0 << 99 << 100.0;
    QTest::newRow("half at max") << 990LL << 990LL << 100 << 199 << 100.0;
}

void TstMyScrollbar::handleMinimumLength()
{
    QFETCH(qlonglong, page);
    QFETCH(qlonglong, value);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(double, length);
    MyScrollbar bar;
    bar.resize(8, 200);
    bar.setRange(0, 990);
    bar.setPageStep(page);
    bar.setValue(value);
    const auto rows = handleRows(bar);
    QCOMPARE(bar.handleLength(), length);
    // Rounded ends: allow a pixel of antialiasing at either end.
    QVERIFY2(qAbs(rows.first - first) <= 1, qPrintable(QString::number(rows.first)));
    QVERIFY2(qAbs(rows.second - last) <= 1, qPrintable(QString::number(rows.second)));
    const QImage img = KitTest::render(bar);
    QCOMPARE(qAlpha(img.pixel(4, (first + last) / 2)), 200);
}

void TstMyScrollbar::dragging()
{
    MyScrollbar bar;
    bar.resize(8, 200);
    bar.setRange(0, 1000);
    bar.setPageStep(1000); // handle 100 pixels, free length 100
    KitTest::render(bar);
    QSignalSpy values(&bar, &MyScrollbar::valueChanged);

    drag(bar, 10, 110); // the whole free length: the whole range
    QCOMPARE(bar.value(), 1000);
    drag(bar, 150, 149); // anywhere on the bar, relative to the press
    QCOMPARE(bar.value(), 990);
    drag(bar, 150, 100);
    QCOMPARE(bar.value(), 490);
    drag(bar, 0, -500);
    QCOMPARE(bar.value(), 0);
    QCOMPARE(values.count(), 4);

    // A move without the button held does nothing.
    mouse(bar, QEvent::MouseButtonPress, 10, Qt::LeftButton);
    mouse(bar, QEvent::MouseButtonRelease, 10, Qt::NoButton);
    mouse(bar, QEvent::MouseMove, 90, Qt::NoButton);
    QCOMPARE(bar.value(), 0);
    QCOMPARE(values.count(), 4);
}

void TstMyScrollbar::extremes()
{
    MyScrollbar bar;
    bar.resize(8, 200);
    QSignalSpy ranges(&bar, &MyScrollbar::rangChanged);
    bar.setRange(kMin, kMax);
    QCOMPARE(ranges.count(), 1);
    QVERIFY(!bar.isHidden());
    bar.setPageStep(kMax);
    bar.setValue(kMax);
    QCOMPARE(bar.value(), kMax);
    auto rows = handleRows(bar);
    QVERIFY(rows.second >= 198);
    QVERIFY(rows.first > 100); // page is half of the range: a third of the bar
    bar.setValue(kMin);
    QCOMPARE(bar.value(), kMin);
    rows = handleRows(bar);
    QCOMPARE(rows.first, 0);
    QVERIFY(rows.second < 100);

    bar.setPageStep(0);
    bar.setValue(0);
    rows = handleRows(bar);
    QVERIFY2(qAbs(rows.first - 94) <= 1, qPrintable(QString::number(rows.first)));
    QVERIFY(bar.handleLength() >= 0);

    bar.setValue(kMax);
    rows = handleRows(bar);
    QVERIFY2(qAbs(rows.second - 199) <= 1, qPrintable(QString::number(rows.second)));
}

void TstMyScrollbar::extremeDrag()
{
    MyScrollbar bar;
    bar.resize(8, 200);
    bar.setRange(0, kMax);
    bar.setPageStep(0);
    KitTest::render(bar); // handle length 0: the whole height is free
    drag(bar, 0, 1);
    QCOMPARE(bar.value(), kMax / 200);
    drag(bar, 0, 1000);
    QCOMPARE(bar.value(), kMax);
    drag(bar, 100, -1000000);
    QCOMPARE(bar.value(), 0);

    bar.setRange(kMin, kMax);
    bar.setValue(kMax);
    KitTest::render(bar);
    drag(bar, 0, -199); // nearly the whole range down, from the top
    QVERIFY(bar.value() < kMax);
    QVERIFY(bar.value() > kMin);
    drag(bar, 0, -1000);
    QCOMPARE(bar.value(), kMin);
    drag(bar, 0, 100000);
    QCOMPARE(bar.value(), kMax);
}

QTEST_MAIN(TstMyScrollbar)
#include "tst_myscrollbar.moc"
