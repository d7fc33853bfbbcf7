// The small painted widgets: MyButton, MyLightBtn, MySwitch, ColorLump,
// MySpinBox, ChnStaShow and OscTabFrame.
#include "kittest.h"

#include "widgets/chnstashow.h"
#include "widgets/colorlump.h"
#include "widgets/mybutton.h"
#include "widgets/mylightbtn.h"
#include "widgets/myspinbox.h"
#include "widgets/myswitch.h"
#include "widgets/osctabframe.h"

#include <QGraphicsDropShadowEffect>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

using KitTest::grey;
using KitTest::pixel;

namespace {

QIcon solidIcon(const QColor& c, int size = 8)
{
    QPixmap pm(size, size);
    pm.fill(c);
    return QIcon(pm);
}

void hover(QWidget& w, bool in)
{
    QEvent e(in ? QEvent::Enter : QEvent::Leave);
    QApplication::sendEvent(&w, &e);
}

int brightestGrey(const QImage& img)
{
    int best = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            best = qMax(best, qGray(img.pixel(x, y)));
    return best;
}

} // namespace

class TstPaintedButtons : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Config::fillLists();
        Config::fontSmall = QFont(QStringLiteral("DejaVu Sans"), 7);
    }

    void buttonTextBaseline_data();
    void buttonTextBaseline();
    void buttonCornerOrder_data();
    void buttonCornerOrder();
    void buttonPlainAndOutline();
    void buttonDisabledHovered();
    void buttonGradientEnds();
    void buttonSelectedIcon();
    void buttonShadow();
    void lightButton();
    void switchPaintAndClick();
    void colorLump();
    void chnStaShow();
    void oscTabFrame();
    void spinBoxReturn();
};

void TstPaintedButtons::buttonTextBaseline_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("baseline");
    QTest::newRow("h20") << 20 << 15;
    QTest::newRow("h21") << 21 << 17;
    QTest::newRow("h16") << 16 << 13;
    QTest::newRow("h30") << 30 << 22;
}

// The button's text must land exactly where the text drawn by hand at the
// documented baseline lands.
void TstPaintedButtons::buttonTextBaseline()
{
    QFETCH(int, height);
    QFETCH(int, baseline);
    MyButton b;
    b.resize(64, height);
    b.normalColor = Qt::black;
    b.gradientNormal = false;
    b.setText(QStringLiteral("Hg"));
    // A pixel size, so that widget and image resolve the font alike.
    QFont f = b.font();
    f.setPixelSize(12);
    b.setFont(f);
    const QImage got = KitTest::render(b);

    QImage want(b.size(), QImage::Format_ARGB32);
    want.fill(Qt::transparent);
    {
        QPainter p(&want);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.fillRect(want.rect(), Qt::black);
        p.setFont(b.font());
        p.setPen(grey(0));
        const int tw = QFontMetrics(b.font()).horizontalAdvance(b.text());
        p.drawText((64 - tw) / 2, baseline, b.text());
    }
    QVERIFY(brightestGrey(want) > 200);
    QCOMPARE(got, want);
}

void TstPaintedButtons::buttonCornerOrder_data()
{
    QTest::addColumn<int>("corner"); // argument position of the rounded corner
    QTest::addColumn<QPoint>("where"); // its pixel in a 40 x 30 button
    QTest::newRow("top-right") << 0 << QPoint(39, 0);
    QTest::newRow("top-left") << 1 << QPoint(0, 0);
    QTest::newRow("bottom-left") << 2 << QPoint(0, 29);
    QTest::newRow("bottom-right") << 3 << QPoint(39, 29);
}

void TstPaintedButtons::buttonCornerOrder()
{
    QFETCH(int, corner);
    QFETCH(QPoint, where);
    MyButton b;
    b.resize(40, 30);
    b.normalColor = Qt::white;
    b.gradientNormal = false;
    int r[4] = {0, 0, 0, 0};
    r[corner] = 10;
    b.setBorderRadius(r[0], r[1], r[2], r[3]);
    const QImage img = KitTest::render(b);
    const QPoint corners[4] = {QPoint(39, 0), QPoint(0, 0), QPoint(0, 29), QPoint(39, 29)};
    for (const QPoint& c : corners) {
        if (c == where)
            QCOMPARE(pixel(img, c.x(), c.y()).alpha(), 0);
        else
            QCOMPARE(pixel(img, c.x(), c.y()), QColor(Qt::white));
    }
}

void TstPaintedButtons::buttonPlainAndOutline()
{
    MyButton b;
    b.resize(30, 20);
    b.normalColor = QColor(10, 200, 30);
    b.borderColor = QColor(250, 0, 0);
    b.gradientNormal = false;
    QImage img = KitTest::render(b);
    // Square corners, no outline: every pixel is the fill.
    for (const QPoint& pt : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 19), QPoint(29, 19), QPoint(15, 10)})
        QCOMPARE(pixel(img, pt.x(), pt.y()), b.normalColor);

    // A one-pixel outline runs half a pixel inside the bounds: the outer ring
    // of pixels is the border, the next one is the fill.
    b.borderWidth = 1;
    img = KitTest::render(b);
    QCOMPARE(pixel(img, 0, 10), b.borderColor);
    QCOMPARE(pixel(img, 29, 10), b.borderColor);
    QCOMPARE(pixel(img, 15, 0), b.borderColor);
    QCOMPARE(pixel(img, 15, 19), b.borderColor);
    QCOMPARE(pixel(img, 1, 10), b.normalColor);
    QCOMPARE(pixel(img, 15, 1), b.normalColor);
}

void TstPaintedButtons::buttonDisabledHovered()
{
    MyButton b;
    b.resize(40, 20);
    b.normalColor = QColor(200, 0, 0);
    b.hoverColor = QColor(0, 200, 0);
    b.gradientNormal = true;
    b.gradientHover = false;
    b.setIcon(solidIcon(QColor(0, 0, 255)));
    b.setIconSize(QSize(8, 8));

    hover(b, true);
    QVERIFY(b.isHovered());
    QCOMPARE(pixel(KitTest::render(b), 20, 2), b.hoverColor);

    b.setEnabled(false);
    QImage img = KitTest::render(b);
    // Normal colour, flat because gradientHover decides while hovered.
    QCOMPARE(pixel(img, 20, 0), b.normalColor);
    QCOMPARE(pixel(img, 2, 10), b.normalColor);
    // The icon is painted as it is, not in the disabled mode.
    QCOMPARE(pixel(img, 20, 10), QColor(0, 0, 255));

    b.gradientHover = true;
    img = KitTest::render(b);
    QVERIFY(qGray(img.pixel(20, 0)) > qGray(b.normalColor.rgb()) + 20);
    QCOMPARE(pixel(img, 2, 10), b.normalColor);

    hover(b, false);
    QVERIFY(!b.isHovered());

    // Text grey 2 when disabled, grey 0 when enabled.
    MyButton t;
    t.resize(40, 20);
    t.normalColor = Qt::black;
    t.gradientNormal = false;
    QFont big = t.font();
    big.setPixelSize(14);
    t.setFont(big);
    t.setText(QStringLiteral("IH"));
    QVERIFY(qAbs(brightestGrey(KitTest::render(t)) - qGray(grey(0).rgb())) <= 8);
    t.setEnabled(false);
    QVERIFY(qAbs(brightestGrey(KitTest::render(t)) - qGray(grey(2).rgb())) <= 8);
}

void TstPaintedButtons::buttonGradientEnds()
{
    MyButton b;
    b.resize(40, 40);
    b.normalColor = QColor(60, 90, 160);
    b.selectedColor = QColor(60, 90, 160);
    QImage img = KitTest::render(b);
    const int mid = qGray(img.pixel(20, 20));
    QCOMPARE(pixel(img, 20, 20), b.normalColor);
    QVERIFY(qGray(img.pixel(20, 0)) > mid + 20);
    QVERIFY(qGray(img.pixel(20, 39)) > mid + 20);

    b.setSelected(true);
    img = KitTest::render(b);
    QCOMPARE(pixel(img, 20, 20), b.selectedColor);
    QVERIFY(qGray(img.pixel(20, 0)) < mid - 20);
    QVERIFY(qGray(img.pixel(20, 39)) < mid - 20);
}

void TstPaintedButtons::buttonSelectedIcon()
{
    MyButton b;
    b.resize(30, 30);
    b.setIconSize(QSize(10, 10));
    b.setIcon(solidIcon(Qt::red, 10));
    b.selectedIcon = solidIcon(Qt::green, 10);
    QCOMPARE(pixel(KitTest::render(b), 15, 15), QColor(Qt::red));
    b.setSelected(true);
    QVERIFY(b.isSelected());
    const QImage img = KitTest::render(b);
    QCOMPARE(pixel(img, 15, 15), QColor(Qt::green));
    QCOMPARE(pixel(img, 10, 10), QColor(Qt::green));
    QCOMPARE(pixel(img, 19, 19), QColor(Qt::green));
}

void TstPaintedButtons::buttonShadow()
{
    MyButton b;
    b.setSelected(true); // no effect yet: only repaints
    QVERIFY(!b.graphicsEffect());
    b.setSelected(false);

    b.setShadowEnable();
    auto* effect = qobject_cast<QGraphicsDropShadowEffect*>(b.graphicsEffect());
    QVERIFY(effect);
    b.setShadowEnable();
    QCOMPARE(b.graphicsEffect(), effect);
    QCOMPARE(b.findChildren<QGraphicsEffect*>().size(), 1);
    QCOMPARE(effect->blurRadius(), 20.0);
    QCOMPARE(effect->color(), QColor(24, 160, 255, 255));
    QCOMPARE(effect->offset(), QPointF(0, 0));
    QVERIFY(!effect->isEnabled());
    b.setSelected(true);
    QVERIFY(effect->isEnabled());
    b.setSelected(false);
    QVERIFY(!effect->isEnabled());
}

void TstPaintedButtons::lightButton()
{
    MyLightBtn b;
    b.resize(40, 40);
    QCOMPARE(b.textColor, grey(0));
    b.glowColor = QColor(255, 0, 0);
    b.shadowColor = QColor(0, 255, 0);
    QCOMPARE(pixel(KitTest::render(b), 20, 20).alpha(), 0);
    hover(b, true);
    const QColor glow = pixel(KitTest::render(b), 20, 20);
    QVERIFY(glow.red() > 200 && glow.alpha() > 200);
    hover(b, false);

    b.setSelected(true);
    auto* first = qobject_cast<QGraphicsDropShadowEffect*>(b.graphicsEffect());
    QVERIFY(first);
    QCOMPARE(first->color(), b.shadowColor);
    QCOMPARE(first->blurRadius(), 30.0);
    b.setSelected(false);
    auto* second = qobject_cast<QGraphicsDropShadowEffect*>(b.graphicsEffect());
    QVERIFY(second);
    QCOMPARE(second->color().alpha(), 0);
    QCOMPARE(b.findChildren<QGraphicsEffect*>().size(), 1);

    // The second icon follows showSelectedIcon as well as selected.
    QVERIFY(b.graphicsEffect());
    b.setGraphicsEffect(nullptr); // paint the button itself, not through its shadow
    b.setIconSize(QSize(10, 10));
    b.setIcon(solidIcon(Qt::blue, 10));
    b.selectedIcon = solidIcon(Qt::yellow, 10);
    QCOMPARE(pixel(KitTest::render(b), 20, 20), QColor(Qt::blue));
    b.showSelectedIcon = true;
    QCOMPARE(pixel(KitTest::render(b), 20, 20), QColor(Qt::yellow));
}

void TstPaintedButtons::switchPaintAndClick()
{
    MySwitch s;
    s.resize(40, 20);
    // Knob: diameter 16, 2 pixels inside the track's end; track grey 5 when off.
    QImage img = KitTest::render(s);
    QCOMPARE(pixel(img, 10, 10), grey(0));
    QCOMPARE(pixel(img, 30, 10), grey(5));
    QCOMPARE(pixel(img, 20, 10), grey(5));

    QSignalSpy clicked(&s, &QPushButton::clicked);
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(s.switchOn, false);
    QCOMPARE(KitTest::render(s), img);

    s.switchOn = true;
    img = KitTest::render(s);
    QCOMPARE(pixel(img, 30, 10), grey(0));
    QCOMPARE(pixel(img, 10, 10), QColor(0, 180, 0));
}

void TstPaintedButtons::colorLump()
{
    ColorLump lump(Qt::red, 2, 3, 4);
    QCOMPARE(lump.height(), 10);
    QCOMPARE(lump.minimumHeight(), 10);
    QCOMPARE(lump.maximumHeight(), 10);
    QCOMPARE(lump.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(lump.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    lump.resize(20, 10);
    const QImage img = KitTest::render(lump);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 3 && x < 17 && y >= 4 && y < 6;
            QCOMPARE(pixel(img, x, y), inside ? QColor(Qt::red) : QColor(Qt::transparent));
        }
    }
}

void TstPaintedButtons::chnStaShow()
{
    ChnStaShow s;
    QCOMPARE(s.width(), 16);
    QCOMPARE(s.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(s.sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(s.font().family(), Config::fontSmall.family());
    QCOMPARE(s.font().pointSize(), Config::fontSmall.pointSize());
    s.resize(16, 20);

    const QImage idle = KitTest::render(s);
    // Not active: high and lamp change nothing.
    s.setSta(false, true, true);
    QCOMPARE(KitTest::render(s), idle);
    QCOMPARE(pixel(idle, 7, 8), grey(4));
    QVERIFY(pixel(idle, 0, 8).alpha() < 80); // radius 6 leaves the left column

    s.setSta(true, false, false);
    const QImage zero = KitTest::render(s);
    QVERIFY(pixel(zero, 0, 8).alpha() > 200); // radius 7
    s.setSta(true, true, false);
    const QImage one = KitTest::render(s);
    QVERIFY(one != zero);
    QVERIFY(qGray(zero.pixel(0, 8)) < 140);

    s.setSta(true, true, true);
    const QImage lamp = KitTest::render(s);
    const QColor c = pixel(lamp, 7, 8);
    QVERIFY2(c.green() > c.red() + 60 && c.green() > c.blue() + 60, "lamp is green");
    s.setSta(true, false, true);
    QCOMPARE(KitTest::render(s), lamp); // no digit on a lamp
}

void TstPaintedButtons::oscTabFrame()
{
    OscTabFrame f;
    f.resize(50, 40);
    const QImage img = KitTest::render(f);
    QCOMPARE(pixel(img, 0, 0), QColor(0x84, 0x84, 0x84));
    QCOMPARE(pixel(img, 49, 9), QColor(0x84, 0x84, 0x84));
    QCOMPARE(pixel(img, 0, 10), QColor(0x78, 0x78, 0x78));
    QCOMPARE(pixel(img, 49, 39), QColor(0x78, 0x78, 0x78));
}

void TstPaintedButtons::spinBoxReturn()
{
    QWidget win;
    auto* lay = new QVBoxLayout(&win);
    auto* spin = new MySpinBox(&win);
    auto* other = new QLineEdit(&win);
    spin->setRange(0, 1000);
    lay->addWidget(spin);
    lay->addWidget(other);
    win.show();
    QApplication::setActiveWindow(&win);
    QVERIFY(QTest::qWaitForWindowActive(&win));

    spin->setFocus();
    QTRY_VERIFY(spin->hasFocus());
    QSignalSpy finished(spin, &QAbstractSpinBox::editingFinished);
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spin, QStringLiteral("42"));
    // Keypad Enter is a plain spin box key: the focus stays.
    QTest::keyClick(spin, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(spin->hasFocus());
    QCOMPARE(spin->value(), 42);

    // Enter left the text selected, as in any spin box: typing replaces it.
    QTest::keyClicks(spin, QStringLiteral("7"));
    QTest::keyClick(spin, Qt::Key_Return);
    QVERIFY(!spin->hasFocus());
    QCOMPARE(spin->value(), 7);
    QVERIFY(finished.count() >= 1);

    // Other keys still step the value.
    spin->setFocus();
    QTRY_VERIFY(spin->hasFocus());
    QTest::keyClick(spin, Qt::Key_Up);
    QCOMPARE(spin->value(), 8);
}

QTEST_MAIN(TstPaintedButtons)
#include "tst_paintedbuttons.moc"
