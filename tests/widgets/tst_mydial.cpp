// MyDial: position angles, unit runs, the buttons, the mouse, and a dial
// with a single position.
#include "kittest.h"

#include "widgets/mydial.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList numbered(int n)
{
    QStringList l;
    for (int i = 1; i <= n; ++i)
        l << QStringLiteral("%1V").arg(i);
    return l;
}

const QStringList kVolts = {"10mV", "20mV", "50mV", "100mV", "200mV", "500mV", "1V", "2V", "5V"};

QPushButton* button(MyDial& d, const char* name)
{
    return d.findChild<QPushButton*>(QLatin1String(name));
}

} // namespace

class TstMyDial : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Config::fillLists(); }
    void positions_data();
    void positions();
    void unitRuns();
    void numberAndUnit_data();
    void numberAndUnit();
    void endButtons();
    void shorterListClamps();
    void mouse_data();
    void mouse();
    void singleText();
    void beforeAnyList();
    void disabledLook();
};

void TstMyDial::positions_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("step");
    QTest::addColumn<double>("start");
    QTest::addColumn<QList<int>>("majors");
    QTest::newRow("11") << 11 << 25 << -35.0 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    QTest::newRow("20") << 20 << 13 << -33.5 << QList<int>{0, 3, 6, 9, 12, 15, 18, 19};
    QTest::newRow("13") << 13 << 20 << -30.0 << QList<int>{0, 3, 6, 9, 12};
    QTest::newRow("2") << 2 << 250 << -35.0 << QList<int>{0, 1};
}

void TstMyDial::positions()
{
    QFETCH(int, count);
    QFETCH(int, step);
    QFETCH(double, start);
    QFETCH(QList<int>, majors);
    MyDial d;
    d.resize(180, 200);
    d.setTextList(numbered(count));
    QCOMPARE(d.count(), count);
    QCOMPARE(d.stepAngle(), step);
    QCOMPARE(d.startAngle(), start);
    // Symmetric about the top, at most 250 degrees.
    QCOMPARE(d.angleOf(0) + d.angleOf(count - 1), 180.0);
    QVERIFY(d.angleOf(count - 1) - d.angleOf(0) <= 250);
    QList<int> got;
    for (int i = 0; i < count; ++i) {
        if (d.isMajor(i))
            got << i;
        QCOMPARE(d.boundaries()[i], start + (i + 0.5) * step);
    }
    QCOMPARE(got, majors);
}

void TstMyDial::unitRuns()
{
    MyDial d;
    d.setTextList(kVolts);
    QCOMPARE(d.stepAngle(), 31);
    QCOMPARE(d.startAngle(), -34.0);
    QCOMPARE(d.unitNames(), QStringList({"mV", "V"}));
    // mV over six positions (-34 .. 121), V over three (152 .. 214); the inner
    // ends move out by (31 - 10) / 2 = 10.5, leaving 10 degrees between them.
    QCOMPARE(d.unitArcs(), QVector<qreal>({-34.0, 131.5, 141.5, 214.0}));
    QCOMPARE(d.unitArcs()[2] - d.unitArcs()[1], 10.0);

    // A text that ends with the current unit joins the run, even when its own
    // unit is longer.
    d.setTextList({"1V", "2V", "10mV", "20ms"});
    QCOMPARE(d.unitNames(), QStringList({"V", "ms"}));

    // Steps of 10 or less get no margin.
    d.setTextList(numbered(13) + QStringList{"1s", "2s", "3s", "4s", "5s", "6s", "7s", "8s", "9s", "10s",
                                              "11s", "12s", "13s", "14s", "15s", "16s", "17s", "18s"});
    QCOMPARE(d.stepAngle(), 8);
    QCOMPARE(d.unitArcs()[1], d.startAngle() + 12 * 8);
    QCOMPARE(d.unitArcs()[2], d.startAngle() + 13 * 8);
}

void TstMyDial::numberAndUnit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("unit");
    QTest::newRow("500mV") << "500mV" << "500" << "mV";
    QTest::newRow("1V") << "1V" << "1" << "V";
    QTest::newRow("10us") << "10us" << "10" << "us";
    QTest::newRow("0V") << "0V" << "" << "0V";
    QTest::newRow("single") << "V" << "" << "V";
}

void TstMyDial::numberAndUnit()
{
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QString, unit);
    QCOMPARE(MyDial::numberPart(text), number);
    QCOMPARE(MyDial::unitPart(text), unit);
}

void TstMyDial::endButtons()
{
    MyDial d;
    d.resize(180, 200);
    d.setTextList(kVolts);
    auto* label = d.findChild<QLabel*>();
    QSignalSpy clicked(&d, &MyDial::btnClicked);
    button(d, "0")->click();
    QCOMPARE(d.currentIndex(), 0);
    QCOMPARE(clicked.count(), 0);

    button(d, "1")->click();
    QCOMPARE(d.currentIndex(), 1);
    QCOMPARE(label->text(), QStringLiteral("20mV"));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 1);

    d.setCurrentIndex(100); // clamps, silent
    QCOMPARE(d.currentIndex(), 8);
    QCOMPARE(label->text(), QStringLiteral("5V"));
    button(d, "1")->click();
    QCOMPARE(d.currentIndex(), 8);
    QCOMPARE(clicked.count(), 1);
    button(d, "0")->click();
    QCOMPARE(d.currentIndex(), 7);
    QCOMPARE(clicked.count(), 2);
    d.setCurrentIndex(-4);
    QCOMPARE(d.currentIndex(), 0);
    QCOMPARE(clicked.count(), 2);

    QCOMPARE(button(d, "0")->size(), QSize(24, 20));
    QCOMPARE(button(d, "1")->text(), QStringLiteral("+"));
}

void TstMyDial::shorterListClamps()
{
    MyDial d;
    d.setTextList(numbered(11));
    d.setCurrentIndex(9);
    QSignalSpy clicked(&d, &MyDial::btnClicked);
    d.setTextList(numbered(4));
    QCOMPARE(d.currentIndex(), 3);
    QCOMPARE(d.currentText(), QStringLiteral("4V"));
    d.setTextList({});
    QCOMPARE(d.count(), 4);
    QCOMPARE(clicked.count(), 0);
}

void TstMyDial::mouse_data()
{
    QTest::addColumn<int>("startIndex");
    QTest::addColumn<QPoint>("offset"); // from the knob centre
    QTest::addColumn<int>("want");
    // 11 positions at -35, -10, 15, 40, 65, 90, 115, 140, 165, 190, 215.
    QTest::newRow("straight up") << 0 << QPoint(0, -30) << 5;
    QTest::newRow("left") << 5 << QPoint(-30, 0) << 1;
    QTest::newRow("right") << 0 << QPoint(30, 0) << 9;
    QTest::newRow("down, pointer right") << 5 << QPoint(0, 20) << 10;
    QTest::newRow("down, pointer left") << 4 << QPoint(0, 20) << 0;
    QTest::newRow("down-left") << 5 << QPoint(-20, 20) << 0;
    QTest::newRow("down-right") << 5 << QPoint(20, 20) << 10;
    QTest::newRow("up-right") << 0 << QPoint(30, -30) << 7;
}

void TstMyDial::mouse()
{
    QFETCH(int, startIndex);
    QFETCH(QPoint, offset);
    QFETCH(int, want);
    MyDial d;
    d.resize(180, 200);
    d.setTextList(numbered(11));
    d.setCurrentIndex(startIndex);
    QSignalSpy clicked(&d, &MyDial::btnClicked);
    const QPoint at = d.knobCentre() + offset;
    QCOMPARE(d.mouseToPosion(at), want);
    QTest::mousePress(&d, Qt::LeftButton, {}, at);
    QCOMPARE(d.currentIndex(), want);
    QCOMPARE(clicked.count(), want == startIndex ? 0 : 1);
    QTest::mouseRelease(&d, Qt::LeftButton, {}, at);
}

void TstMyDial::singleText()
{
    MyDial d;
    d.resize(180, 200);
    d.setTextList({"1V"});
    QCOMPARE(d.stepAngle(), 0);
    QCOMPARE(d.angleOf(0), 90.0); // shown at the top
    QCOMPARE(d.currentText(), QStringLiteral("1V"));
    QSignalSpy clicked(&d, &MyDial::btnClicked);
    button(d, "1")->click();
    button(d, "0")->click();
    for (const QPoint& off : {QPoint(-30, 0), QPoint(30, 0), QPoint(0, 20), QPoint(0, -20)})
        QTest::mousePress(&d, Qt::LeftButton, {}, d.knobCentre() + off);
    QCOMPARE(d.currentIndex(), 0);
    QCOMPARE(clicked.count(), 0);
    const QImage img = KitTest::render(d);
    // The pointer sits straight above the centre.
    const QPoint c = d.knobCentre();
    const int r = int(0.35 * d.knobRadius());
    const QColor tip = KitTest::pixel(img, c.x(), c.y() - (d.knobRadius() - r - 4) + 2);
    QVERIFY(tip.red() > 200 && tip.green() > 200);

    // Going from one text to several works normally.
    d.setTextList(numbered(3));
    button(d, "1")->click();
    QCOMPARE(d.currentIndex(), 1);
}

void TstMyDial::beforeAnyList()
{
    MyDial d;
    d.resize(180, 200);
    QSignalSpy clicked(&d, &MyDial::btnClicked);
    d.setCurrentIndex(3);
    QCOMPARE(d.currentIndex(), 0);
    QTest::mousePress(&d, Qt::LeftButton, {}, QPoint(10, 10));
    button(d, "1")->click();
    QCOMPARE(clicked.count(), 0);
    const QImage img = KitTest::render(d);
    QCOMPARE(KitTest::pixel(img, 96, 50).alpha(), 0); // nothing painted
}

void TstMyDial::disabledLook()
{
    MyDial d;
    d.resize(180, 200);
    d.setTextList(kVolts);
    const QPoint c = d.knobCentre();
    // The middle of the 3-pixel outline on the knob's left edge.
    const QPoint edge(c.x() - d.knobRadius(), c.y());
    QCOMPARE(KitTest::pixel(KitTest::render(d), edge.x(), edge.y()), QColor(Qt::white));
    d.setEnabled(false);
    QCOMPARE(KitTest::pixel(KitTest::render(d), edge.x(), edge.y()), QColor(Qt::gray));
}

QTEST_MAIN(TstMyDial)
#include "tst_mydial.moc"
