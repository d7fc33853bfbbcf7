// The measurement and cursor panels of the oscilloscope mode, driven as a user
// drives them, on a mixed-signal device object.
#include "devobj/devtesthelp.h"

#include "device/dev7329.h"
#include "device/smpdataosc.h"
#include "scope/annotationsosc.h"
#include "scope/chnmeasurepair.h"
#include "scope/measureviewosc.h"
#include "scope/oscmeasurepairitem.h"
#include "scope/wavedatagenosc.h"
#include "widgets/mybutton.h"
#include "widgets/mymenu.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QWidgetAction>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

QString key(const char* k)
{
    return Config::readGlobalParam(QLatin1String(k));
}

void setKey(const char* k, const char* v)
{
    Config::saveGlobalParam(QLatin1String(k), QLatin1String(v));
}

QStringList hashes(int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QStringLiteral("###");
    return out;
}

} // namespace

class TstOscMeasure : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formats_data();
    void formats();
    void parameterTexts();
    void valuesFromGenerator();
    void channelBlocks_data();
    void channelBlocks();
    void rowsAndRemove();
    void channelMenuShowsBlockExpanded();
    void snapshotSurvivesRebuild();
    void snapshotShowsWholeTexts();

    void cursorBlocks_data();
    void cursorBlocks();
    void cursorPairMenu();
    void cursorTexts();
    void cursorChannel();
    void storedCursorChannelOutOfRange_data();
    void storedCursorChannelOutOfRange();
    void cursorButtons();

private:
    static QVector<QLabel*>& values(ChnMeasurePair* p) { return p->labelValues; }
    static QVector<ChnMeasurePair*>& pairs(MeasureViewOsc& v) { return v.pairs; }
    static QStringList rowsShown(ChnMeasurePair* p)
    {
        QStringList out;
        for (int i = 0; i < p->labelNames.size(); ++i)
            if (p->labelNames[i]->isVisibleTo(p->widgetBody))
                out << Config::measTabACH[i];
        return out;
    }

    DevSupport* ds = nullptr;
    std::unique_ptr<Dev7329> dev;
};

void TstOscMeasure::initTestCase()
{
    Config::fillLists();
}

void TstOscMeasure::init()
{
    ds = devtest::openEmulated();
    QVERIFY(ds);
    dev = std::make_unique<Dev7329>();
    devUsing = dev.get();
}

void TstOscMeasure::cleanup()
{
    devUsing = nullptr;
    dev.reset();
    devtest::closeEmulated(ds);
}

void TstOscMeasure::formats_data()
{
    QTest::addColumn<char>("kind");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("v 99.9") << 'v' << 99.9 << "99.9mV";
    QTest::newRow("v 99.99 rounds after the test") << 'v' << 99.99 << "100mV";
    QTest::newRow("v 100") << 'v' << 100.0 << "0.1V";
    QTest::newRow("v -150") << 'v' << -150.0 << "-0.15V";
    QTest::newRow("v -99.5") << 'v' << -99.5 << "-99.5mV";
    QTest::newRow("v 1234.5678") << 'v' << 1234.5678 << "1.235V";
    QTest::newRow("v 0") << 'v' << 0.0 << "0mV";
    QTest::newRow("v inf") << 'v' << Inf << "###";
    QTest::newRow("v nan") << 'v' << NaN << "###";
    QTest::newRow("t 0") << 't' << 0.0 << "0s";
    QTest::newRow("t 999") << 't' << 999.0 << "999ps";
    QTest::newRow("t 1000") << 't' << 1000.0 << "1ns";
    QTest::newRow("t 999999") << 't' << 999999.0 << "1000ns";
    QTest::newRow("t 123456789") << 't' << 123456789.0 << "123.46us";
    QTest::newRow("t 2500000000000") << 't' << 2500000000000.0 << "2.5s";
    QTest::newRow("t -5000") << 't' << -5000.0 << "-5000ps";
    QTest::newRow("f 0") << 'f' << 0.0 << "0Hz";
    QTest::newRow("f 999.9") << 'f' << 999.9 << "999.9Hz";
    QTest::newRow("f 1500") << 'f' << 1500.0 << "1.5KHz";
    QTest::newRow("f 999999.9") << 'f' << 999999.9 << "1000KHz";
    QTest::newRow("f 12345678") << 'f' << 12345678.0 << "12.346MHz";
    QTest::newRow("f 2500000000") << 'f' << 2500000000.0 << "2.5GHz";
    QTest::newRow("f inf") << 'f' << Inf << "###";
    QTest::newRow("f nan") << 'f' << NaN << "###";
}

void TstOscMeasure::formats()
{
    QFETCH(char, kind);
    QFETCH(double, value);
    QFETCH(QString, text);
    const QString got = kind == 'v'   ? ChnMeasurePair::voltToStr(value)
                        : kind == 't' ? ChnMeasurePair::timeToStr(qint64(value))
                                      : ChnMeasurePair::freqToStr(value);
    QCOMPARE(got, text);
}

void TstOscMeasure::parameterTexts()
{
    double v[13] = {10, 20, 10, 150, 15, 16, 2e6, 5e5, 1000, 2000, 1e6, 1e6, 50};
    bool ok[13];
    std::fill(ok, ok + 13, true);
    ok[1] = false;
    QStringList t = ChnMeasurePair::parameterToStrOsc(0, ok, v, 13);
    QCOMPARE(t.size(), 13);
    QCOMPARE(t[0], QStringLiteral("10mV"));
    QCOMPARE(t[1], QStringLiteral("###"));
    QCOMPARE(t[3], QStringLiteral("0.15V"));
    QCOMPARE(t[6], QStringLiteral("2us"));
    QCOMPARE(t[7], QStringLiteral("500KHz"));
    QCOMPARE(t[12], QStringLiteral("50.00%"));
    dev->setAProbeRate(0, 10);
    t = ChnMeasurePair::parameterToStrOsc(0, ok, v, 13);
    QCOMPARE(t[3], QStringLiteral("1.5V"));
    QCOMPARE(t[6], QStringLiteral("2us"));   // times keep their scale

    // A period at a rate of 0 is infinite; its frequency and duty are NaN.
    v[6] = Inf;
    v[8] = -Inf;
    v[9] = NaN;
    v[10] = 1e300;
    v[7] = NaN;
    v[12] = NaN;
    v[5] = Inf;
    t = ChnMeasurePair::parameterToStrOsc(0, ok, v, 13);
    for (int i : {5, 6, 7, 8, 9, 10, 12})
        QCOMPARE(t[i], QStringLiteral("###"));
    QCOMPARE(t[11], QStringLiteral("1us"));

    // A disabled channel shows "###" in all rows, valid or not.
    dev->setAChnEna({true, false});
    t = ChnMeasurePair::parameterToStrOsc(1, ok, v, 13);
    QCOMPARE(t, hashes(13));
}

void TstOscMeasure::valuesFromGenerator()
{
    WaveDataGenOsc gen;
    gen.devModelChanged();
    MeasureViewOsc view;
    view.init();
    for (int i = 0; i < 13; ++i)
        QCOMPARE(values(pairs(view)[1])[i]->text(), QStringLiteral("###"));   // new block
    gen.paramValues[13 + 3] = 1500;
    gen.paramValid[13 + 3] = true;
    gen.paramValues[13 + 7] = 254;
    gen.paramValid[13 + 7] = true;
    gen.paramValues[3] = 99;   // channel 0's value is not valid
    view.updateMeasureParameter(1);
    view.updateMeasureParameter(0);
    QCOMPARE(values(pairs(view)[1])[3]->text(), QStringLiteral("1.5V"));
    QCOMPARE(values(pairs(view)[1])[7]->text(), QStringLiteral("254Hz"));   // a hidden row is updated too
    QCOMPARE(values(pairs(view)[1])[0]->text(), QStringLiteral("###"));
    QCOMPARE(values(pairs(view)[0])[3]->text(), QStringLiteral("###"));
    // Beyond the blocks built: nothing happens.
    view.updateMeasureParameter(2);
    view.updateMeasureParameter(-1);
}

void TstOscMeasure::channelBlocks_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("shown0");
    QTest::addColumn<bool>("shown1");
    QTest::newRow("no value: every block") << QString() << true << true;
    QTest::newRow("0: first hidden, second default") << "0" << false << true;
    QTest::newRow("0, letters: both hidden") << "0,ab" << false << false;
    QTest::newRow("1,0") << "1,0" << true << false;
}

void TstOscMeasure::channelBlocks()
{
    QFETCH(QString, stored);
    QFETCH(bool, shown0);
    QFETCH(bool, shown1);
    Config::saveGlobalParam(QStringLiteral("oscMeasureEna"), stored);
    MeasureViewOsc view;
    view.init();
    QCOMPARE(pairs(view).size(), 2);
    QCOMPARE(!pairs(view)[0]->isHidden(), shown0);
    QCOMPARE(!pairs(view)[1]->isHidden(), shown1);
    QCOMPARE(view.menuChn->actions()[0]->isChecked(), shown0);
    QCOMPARE(view.menuChn->actions()[1]->isChecked(), shown1);
    // Built before the panel is shown, a shown block is still expanded.
    for (ChnMeasurePair* p : pairs(view))
        if (!p->isHidden())
            QVERIFY(p->deployed && !p->btnDeploy->icon().isNull() && !p->widgetBody->isHidden());
}

void TstOscMeasure::rowsAndRemove()
{
    {
        MeasureViewOsc view;
        view.init();
        ChnMeasurePair* p = pairs(view)[0];
        QCOMPARE(rowsShown(p), (QStringList{"Vamp", "Vavg", "Frequency"}));
        // The parameter menu: "Vtop" on, "Vamp" off.
        QList<QAction*> entries;
        for (QAction* a : p->menuParam->actions())
            if (!a->isSeparator())
                entries << a;
        QCOMPARE(entries.size(), 13);
        entries[0]->trigger();
        entries[2]->trigger();
        QCOMPARE(rowsShown(p), (QStringList{"Vtop", "Vavg", "Frequency"}));
        QCOMPARE(key("oscMeasureChn0"), QStringLiteral("1,0,0,0,1,0,0,1,0,0,0,0,0"));
        QVERIFY(key("oscMeasureChn1").isEmpty());
        QVERIFY(QMetaObject::invokeMethod(p, "slotBtnRemoveClicked"));
        QCOMPARE(key("oscMeasureChn0"), QStringLiteral("0,0,0,0,0,0,0,0,0,0,0,0,0"));
        QVERIFY(rowsShown(p).isEmpty());
        QVERIFY(!entries[4]->isChecked());
    }
    // The next start shows no row for that channel, the defaults for the other.
    MeasureViewOsc view;
    view.init();
    QVERIFY(rowsShown(pairs(view)[0]).isEmpty());
    QCOMPARE(rowsShown(pairs(view)[1]), (QStringList{"Vamp", "Vavg", "Frequency"}));
}

void TstOscMeasure::channelMenuShowsBlockExpanded()
{
    MeasureViewOsc view;
    view.resize(300, 500);
    view.show();
    view.init();
    ChnMeasurePair* p = pairs(view)[0];
    QVERIFY(p->deployed);
    QTest::mouseClick(p->btnDeploy, Qt::LeftButton);
    QVERIFY(!p->deployed);
    QVERIFY(p->widgetBody->isHidden());
    QAction* ch1 = view.menuChn->actions()[0];
    ch1->trigger();
    QVERIFY(p->isHidden());
    QCOMPARE(key("oscMeasureEna"), QStringLiteral("0,1"));
    ch1->trigger();
    QVERIFY(!p->isHidden());
    QVERIFY(p->deployed);
    QVERIFY(!p->widgetBody->isHidden());
    QCOMPARE(key("oscMeasureEna"), QStringLiteral("1,1"));
    // Collapsing the panel hides the blocks and the menu button.
    QTest::mouseClick(view.btnDeploy, Qt::LeftButton);
    QVERIFY(view.widgetPairs->isHidden() && view.btnSet->isHidden());
}

void TstOscMeasure::snapshotSurvivesRebuild()
{
    WaveDataGenOsc gen;
    gen.devModelChanged();
    gen.paramValues[3] = 150;
    gen.paramValid[3] = true;
    MeasureViewOsc view;
    view.show();
    view.init();
    view.updateMeasureParameter(0);
    QPointer<ChnMeasurePair> old = pairs(view)[0];
    QStringList shown;
    bool rebuilt = false;
    // While the snapshot runs, a device change rebuilds the blocks.
    QTimer::singleShot(0, this, [&] {
        QPointer<QDialog> dlg = old ? old->findChild<QDialog*>() : nullptr;
        if (!dlg || !dlg->isVisible())
            return;
        for (QLabel* l : old->snapValues)
            shown << l->text();
        view.init();
        rebuilt = true;
        if (dlg)
            dlg->reject();   // keeps a wrong build from waiting here for ever
    });
    QVERIFY(QMetaObject::invokeMethod(old, "slotBtnSnapshotClicked"));
    QVERIFY(rebuilt);
    QVERIFY(!old);
    QCOMPARE(shown.size(), 13);   // every parameter, hidden rows included
    QCOMPARE(shown[3], QStringLiteral("0.15V"));
    QCOMPARE(shown[0], QStringLiteral("###"));
    QCOMPARE(pairs(view).size(), 2);
    view.updateMeasureParameter(0);
    QCOMPARE(values(pairs(view)[0])[3]->text(), QStringLiteral("0.15V"));
}

void TstOscMeasure::snapshotShowsWholeTexts()
{
    // Every reading valid and long: no name, value or group title is cut.
    WaveDataGenOsc gen;
    gen.devModelChanged();
    for (int i = 0; i < SmpDataOsc::ParamNum; ++i) {
        gen.paramValues[i] = i < 6 ? -1234.5678 : i == 12 ? 49.98 : i == 7 ? 123456.7 : 123456789.0;
        gen.paramValid[i] = true;
    }
    MeasureViewOsc view;
    view.show();
    view.init();
    view.updateMeasureParameter(0);
    ChnMeasurePair* pair = pairs(view)[0];
    QStringList cut{QStringLiteral("(no window)")};
    QTimer::singleShot(0, this, [&] {
        auto* dlg = pair->findChild<QDialog*>();
        cut.clear();
        for (QLabel* l : pair->snapNames + pair->snapValues)
            if (l->width() < l->sizeHint().width() || l->mapTo(dlg, QPoint(l->width(), 0)).x() > dlg->width())
                cut << l->text();
        for (QGroupBox* g : dlg->findChildren<QGroupBox*>())   // the title is drawn above the frame
            if (g->contentsRect().top() < g->fontMetrics().height())
                cut << g->title();
        dlg->accept();
    });
    QVERIFY(QMetaObject::invokeMethod(pair, "slotBtnSnapshotClicked"));
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

void TstOscMeasure::cursorBlocks_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("time");
    QTest::addColumn<bool>("volt");
    QTest::newRow("no value: both") << QString() << true << true;
    QTest::newRow("0,1: voltage only") << "0,1" << false << true;
    QTest::newRow("0: time hidden, voltage default") << "0" << false << true;
}

void TstOscMeasure::cursorBlocks()
{
    QFETCH(QString, stored);
    QFETCH(bool, time);
    QFETCH(bool, volt);
    Config::saveGlobalParam(QStringLiteral("oscCursorEna"), stored);
    AnnotationsOsc panel;
    QCOMPARE(panel.items[0]->kind(), 1);
    QCOMPARE(panel.items[1]->kind(), 0);
    QCOMPARE(!panel.items[0]->isHidden(), time);
    QCOMPARE(!panel.items[1]->isHidden(), volt);
}

void TstOscMeasure::cursorPairMenu()
{
    AnnotationsOsc panel;
    panel.show();
    QSignalSpy hidden(&panel, &AnnotationsOsc::hideClicked);
    QVERIFY(!panel.menuItems);
    QTest::mouseClick(panel.btnSet, Qt::LeftButton);
    QVERIFY(panel.menuItems);
    const QList<QAction*> entries = panel.menuItems->actions();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[1]->text(), QStringLiteral("|Y1-Y2|"));
    QVERIFY(entries[1]->isChecked());
    entries[1]->trigger();
    QVERIFY(panel.items[1]->isHidden());
    QCOMPARE(key("oscCursorEna"), QStringLiteral("1,0"));
    QCOMPARE(hidden.size(), 1);
    QCOMPARE(hidden[0][0].toInt(), 1);
    entries[1]->trigger();
    QVERIFY(!panel.items[1]->isHidden());
    QCOMPARE(key("oscCursorEna"), QStringLiteral("1,1"));
    QCOMPARE(hidden.size(), 1);
    panel.menuItems->hide();

    // Shown again by the waveform area: checked at the next opening, key unchanged.
    entries[0]->trigger();
    QCOMPARE(key("oscCursorEna"), QStringLiteral("0,1"));
    panel.setItemEna(0);
    QVERIFY(!panel.items[0]->isHidden());
    QCOMPARE(key("oscCursorEna"), QStringLiteral("0,1"));
    QTest::mouseClick(panel.btnSet, Qt::LeftButton);
    QVERIFY(entries[0]->isChecked());
    panel.menuItems->hide();
}

void TstOscMeasure::cursorTexts()
{
    AnnotationsOsc panel;
    auto texts = [&panel](int i) {
        OscMeasurePairItem* b = panel.items[i];
        return QStringList{b->labelValues[0]->text(), b->labelValues[1]->text(), b->labelDiff->text()};
    };
    const QStringList none = hashes(3);
    panel.setValue(1, {"1us", "3us"});
    panel.setValue(1, {"1us", "3us", "2us", "x"});
    panel.setValue(2, {"1us", "3us", "2us"});
    QCOMPARE(texts(0), none);
    QCOMPARE(texts(1), none);
    panel.setValue(1, {"1us", "3us", "2us"});
    QCOMPARE(texts(0), (QStringList{"1us", "3us", "2us"}));
    QCOMPARE(panel.items[0]->labelDiff->toolTip(), QStringLiteral("2us"));
    panel.setValue(0, {"1V", "-1V", "2V"});
    QCOMPARE(texts(1), (QStringList{"1V", "-1V", "2V"}));
    // init empties every value and expands a collapsed block.
    QTest::mouseClick(panel.items[1]->btnDeploy, Qt::LeftButton);
    QVERIFY(!panel.items[1]->deployed);
    panel.init();
    QCOMPARE(texts(0), none);
    QCOMPARE(texts(1), none);
    QVERIFY(panel.items[1]->deployed);
    QVERIFY(!panel.items[1]->widgetValues->isHidden());
}

void TstOscMeasure::cursorChannel()
{
    setKey("oscCursorChn", "1");
    AnnotationsOsc panel;
    QSignalSpy changed(&panel, &AnnotationsOsc::chnChanged);
    OscMeasurePairItem* volt = panel.items[1];
    QVERIFY(volt->btnChn->isHidden() == false && panel.items[0]->btnChn->isHidden());
    panel.init();
    QCOMPARE(volt->btnChn->text(), QStringLiteral("CH2"));
    const QList<QAction*> entries = volt->menuChn->actions();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(qobject_cast<QLabel*>(qobject_cast<QWidgetAction*>(entries[1])->defaultWidget())->text(),
             QStringLiteral("CH2"));
    entries[1]->trigger();
    QCOMPARE(changed.size(), 0);
    entries[0]->trigger();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toInt(), 0);
    QCOMPARE(key("oscCursorChn"), QStringLiteral("0"));
    QCOMPARE(volt->btnChn->text(), QStringLiteral("CH1"));

    // A device with one analog channel: the surplus entry goes.
    dev->aChnEna.resize(1);
    panel.init();
    QCOMPARE(volt->menuChn->actions().size(), 1);
}

void TstOscMeasure::storedCursorChannelOutOfRange_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("5 of two channels") << "5";
    QTest::newRow("2 of two channels") << "2";
    QTest::newRow("negative") << "-1";
    QTest::newRow("not a number") << "x1";
}

void TstOscMeasure::storedCursorChannelOutOfRange()
{
    QFETCH(QString, stored);
    Config::saveGlobalParam(QStringLiteral("oscCursorChn"), stored);
    QCOMPARE(OscMeasurePairItem::cursorChnIndex(2), 0);
    AnnotationsOsc panel;
    panel.init();
    QCOMPARE(panel.items[1]->btnChn->text(), QStringLiteral("CH1"));
    // Repaired, so every reader of the key gets a channel that exists.
    QCOMPARE(key("oscCursorChn"), QStringLiteral("0"));
}

void TstOscMeasure::cursorButtons()
{
    AnnotationsOsc panel;
    panel.show();
    QSignalSpy clicked(&panel, &AnnotationsOsc::labelClicked);
    QTest::mouseClick(panel.items[0]->btnSecond, Qt::LeftButton);
    QTest::mouseClick(panel.items[1]->btnFirst, Qt::LeftButton);
    QCOMPARE(clicked.size(), 2);
    QCOMPARE(clicked[0], (QList<QVariant>{1, 1}));
    QCOMPARE(clicked[1], (QList<QVariant>{0, 0}));
    QCOMPARE(panel.items[0]->btnSecond->text(), QStringLiteral("X2"));
    QCOMPARE(panel.items[1]->btnFirst->text(), QStringLiteral("Y1"));
    // Collapsing the panel hides the blocks and the settings button.
    QTest::mouseClick(panel.btnDeploy, Qt::LeftButton);
    QVERIFY(panel.widgetItems->isHidden() && panel.btnSet->isHidden());
}

QTEST_MAIN(TstOscMeasure)
#include "tst_oscmeasure.moc"
