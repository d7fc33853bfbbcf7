// ChnQuickGroupBox and ChnEnaGroupBox, alone and wired together as their
// owners wire them.
#include "core/config.h"
#include "widgets/chnenagroupbox.h"
#include "widgets/chnquickgroupbox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QRadioButton>
#include <QtTest>

namespace {

const QString kGroupStyle = QStringLiteral(
    "QGroupBox{border:1px solid black;border-radius:4px;margin-top:8px;margin-bottom:4px;}"
    "QGroupBox::title{subcontrol-origin:margin; position:relative;left:16px;}");

QVector<bool> states(const ChnEnaGroupBox& box)
{
    QVector<bool> out;
    for (QCheckBox* c : box.boxes())
        out.append(c->isChecked());
    return out;
}

} // namespace

class TstChnBoxes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Config::fillLists(); }
    void quickLabels();
    void quickChoiceTicksChannels();
    void handTickClearsQuickChoice();
    void setNumFrequ();
    void enaLayout_data();
    void enaLayout();
    void getChnEna();
    void enaSelectBounds();
};

void TstChnBoxes::quickLabels()
{
    ChnQuickGroupBox box({125000000, 1500000, 500000000}, {8, 32, 16});
    QCOMPARE(box.title(), QStringLiteral("  Channel Quick Select  "));
    QCOMPARE(box.styleSheet(), kGroupStyle);
    QCOMPARE(box.choices().size(), 3);
    QCOMPARE(box.choices()[0]->text(), QStringLiteral(" CH0~7 (Maximum sample rate is 125MHz)"));
    QCOMPARE(box.choices()[1]->text(), QStringLiteral(" CH0~31 (Maximum sample rate is 1MHz)"));
    QCOMPARE(box.choices()[2]->text(), QStringLiteral(" CH0~15 (Maximum sample rate is 500MHz)"));
    QCOMPARE(box.choices()[1]->objectName(), QStringLiteral("31"));
    QVERIFY(box.noChoice());
    for (QRadioButton* b : box.choices())
        QVERIFY(!b->isChecked());
    // Vectors of different lengths: the shorter one bounds the choices.
    ChnQuickGroupBox odd({100000000, 50000000}, {4});
    QCOMPARE(odd.choices().size(), 1);

    // Laid out in the order given, top to bottom.
    box.show();
    QVERIFY(box.choices()[0]->y() < box.choices()[1]->y());
    QVERIFY(box.choices()[1]->y() < box.choices()[2]->y());
}

void TstChnBoxes::quickChoiceTicksChannels()
{
    QWidget owner;
    auto* quick = new ChnQuickGroupBox({500000000, 250000000}, {16, 32}, &owner);
    QVector<bool> en(32, false);
    en[20] = true;
    auto* ena = new ChnEnaGroupBox(en, &owner);
    connect(quick, &ChnQuickGroupBox::chnSelect, ena, &ChnEnaGroupBox::slotChnEnaSelect);
    connect(ena, &ChnEnaGroupBox::chnEnaChanged, quick, &ChnQuickGroupBox::chnSelectChanged);
    QSignalSpy select(quick, &ChnQuickGroupBox::chnSelect);
    QSignalSpy changed(ena, &ChnEnaGroupBox::chnEnaChanged);

    quick->choices()[0]->click();
    QCOMPARE(select.count(), 1);
    QCOMPARE(select.at(0).at(0).toInt(), 0);
    QCOMPARE(select.at(0).at(1).toInt(), 15);
    QCOMPARE(changed.count(), 0);
    QVector<bool> want(32, false);
    for (int i = 0; i < 16; ++i)
        want[i] = true;
    QCOMPARE(states(*ena), want);
    QVERIFY(!quick->noChoice());

    quick->choices()[1]->click();
    QCOMPARE(select.count(), 2);
    QCOMPARE(states(*ena), QVector<bool>(32, true));
}

void TstChnBoxes::handTickClearsQuickChoice()
{
    QWidget owner;
    auto* quick = new ChnQuickGroupBox({500000000}, {8}, &owner);
    auto* ena = new ChnEnaGroupBox(QVector<bool>(8, false), &owner);
    connect(quick, &ChnQuickGroupBox::chnSelect, ena, &ChnEnaGroupBox::slotChnEnaSelect);
    connect(ena, &ChnEnaGroupBox::chnEnaChanged, quick, &ChnQuickGroupBox::chnSelectChanged);
    QSignalSpy changed(ena, &ChnEnaGroupBox::chnEnaChanged);
    QSignalSpy select(quick, &ChnQuickGroupBox::chnSelect);
    quick->choices()[0]->click();
    QVERIFY(!quick->noChoice());

    ena->boxes()[3]->click();
    QCOMPARE(changed.count(), 1);
    QVERIFY(quick->noChoice());
    QVERIFY(!quick->choices()[0]->isChecked());
    QCOMPARE(select.count(), 1); // chnSelectChanged emits nothing
    QVector<bool> want(8, true);
    want[3] = false;
    QCOMPARE(states(*ena), want);
}

void TstChnBoxes::setNumFrequ()
{
    ChnQuickGroupBox box({400000000, 200000000}, {8, 16});
    box.choices()[1]->click();
    QVERIFY(box.choices()[1]->isChecked());
    QVERIFY(!box.setNumFrequ({100000000}, {8}));
    QCOMPARE(box.choices()[0]->text(), QStringLiteral(" CH0~7 (Maximum sample rate is 400MHz)"));
    QVERIFY(box.choices()[1]->isChecked());
    QVERIFY(!box.setNumFrequ({1, 2}, {8}));
    QVERIFY(box.choices()[1]->isChecked());

    QVERIFY(box.setNumFrequ({100000000, 50000000}, {4, 16}));
    QCOMPARE(box.choices()[0]->text(), QStringLiteral(" CH0~3 (Maximum sample rate is 100MHz)"));
    QCOMPARE(box.choices()[0]->objectName(), QStringLiteral("3"));
    QCOMPARE(box.choices()[1]->text(), QStringLiteral(" CH0~15 (Maximum sample rate is 50MHz)"));
    QVERIFY(box.noChoice());

    QSignalSpy select(&box, &ChnQuickGroupBox::chnSelect);
    box.choices()[0]->click();
    QCOMPARE(select.at(0).at(1).toInt(), 3);
}

void TstChnBoxes::enaLayout_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rows");
    QTest::newRow("2") << 2 << 1;
    QTest::newRow("4") << 4 << 1;
    QTest::newRow("5") << 5 << 1;
    QTest::newRow("7") << 7 << 1;
    QTest::newRow("8") << 8 << 2;
    QTest::newRow("16") << 16 << 4;
    QTest::newRow("32") << 32 << 8;
}

void TstChnBoxes::enaLayout()
{
    QFETCH(int, channels);
    QFETCH(int, rows);
    ChnEnaGroupBox box(QVector<bool>(channels, true));
    QCOMPARE(box.title(), QStringLiteral("  Channel Select  "));
    QCOMPARE(box.styleSheet(), kGroupStyle);
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    QVERIFY(grid);
    QCOMPARE(grid->contentsMargins(), QMargins(10, 10, 4, 4));
    QCOMPARE(grid->horizontalSpacing(), 6);
    QCOMPARE(grid->verticalSpacing(), 0);
    QCOMPARE(grid->rowCount(), rows);
    QCOMPARE(box.boxes().size(), channels);
    // Filled column by column.
    int ch = 0;
    for (int col = 0; ch < channels; ++col) {
        for (int row = 0; row < rows && ch < channels; ++row, ++ch) {
            QLayoutItem* item = grid->itemAtPosition(row, col);
            QVERIFY(item);
            QCOMPARE(item->widget(), box.boxes()[ch]);
            QCOMPARE(box.boxes()[ch]->text(), QStringLiteral("CH%1").arg(ch));
        }
    }
}

void TstChnBoxes::getChnEna()
{
    ChnEnaGroupBox box({true, false, true, false});
    QVector<bool> wrong(3, true);
    QVERIFY(!box.getChnEna(wrong));
    QCOMPARE(wrong, QVector<bool>(3, true));

    QVector<bool> out(4, false);
    QVERIFY(box.getChnEna(out));
    QCOMPARE(out, QVector<bool>({true, false, true, false}));

    box.slotChnEnaSelect(1, 0); // an empty choice: nothing checked
    out = QVector<bool>(4, true);
    QVERIFY(!box.getChnEna(out));
    QCOMPARE(out, QVector<bool>(4, false));

    ChnEnaGroupBox empty({});
    QVector<bool> none;
    QVERIFY(!empty.getChnEna(none));
}

void TstChnBoxes::enaSelectBounds()
{
    ChnEnaGroupBox box(QVector<bool>(8, true));
    QSignalSpy changed(&box, &ChnEnaGroupBox::chnEnaChanged);
    box.slotChnEnaSelect(2, 5);
    QCOMPARE(states(box), QVector<bool>({false, false, true, true, true, true, false, false}));
    // Bounds beyond the boxes do not crash and select what lies inside.
    box.slotChnEnaSelect(0, 40);
    QCOMPARE(states(box), QVector<bool>(8, true));
    box.slotChnEnaSelect(-3, 1);
    QCOMPARE(states(box), QVector<bool>({true, true, false, false, false, false, false, false}));
    QCOMPARE(changed.count(), 0);
}

QTEST_MAIN(TstChnBoxes)
#include "tst_chnboxes.moc"
