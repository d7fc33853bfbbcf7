// The channel menu of the waveform area and its dialogs, driven as a user
// drives them; the glitch filter applied from the view (idle, during a run,
// while an analyzer decodes and the generator draws, cancelled) against the
// plain filter rules; and the live levels with and without an instrument.

#include "tests/waveview/demohost.h"
#include "tests/waveview/viewwiring.h"
#include "tests/waveview/wavetestutil.h"

#include "devobj/devtesthelp.h"
#include "store/storeref.h"

#include "waveview/dlgfilter.h"
#include "waveview/glitchfilterjob.h"
#include "waveview/itemchnsidebar.h"
#include "widgets/chnenagroupbox.h"
#include "widgets/chnstashow.h"
#include "widgets/mybutton.h"
#include "widgets/myprogressdlg.h"
#include "widgets/myspinbox.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QtTest>

#include <random>

using namespace WaveTest;

namespace {

// Counts what the view asks of the analyzer host.
class CountingHost : public WaveAnalyzerSource
{
public:
    QVector<Analyzer*> chnAnalyzers(int) const override { return {}; }
    int analyzerDisplayFormat(Analyzer*) const override { return 0; }
    void stopDecoding() override
    {
        ++stops;
        auto s = devUsing ? devUsing->displayedSmpData() : nullptr;
        listAtStop = s && s->chnNum > 0 ? s->chnData[0] : nullptr;
    }
    void redecode() override { ++redecodes; }
    int stops = 0;
    int redecodes = 0;
    const DigitalChnData* listAtStop = nullptr;   // channel 0 at the last stop
};

// Runs `act` on the modal widget that the code under test opens next, from
// inside its event loop; closes whatever is modal after 20 s so that a
// missing dialog fails the test instead of hanging it.
void whenModal(std::function<bool(QWidget*)> act)
{
    auto* t = new QTimer();
    auto ticks = std::make_shared<int>(0);
    QObject::connect(t, &QTimer::timeout, [t, act, ticks] {
        QWidget* w = QApplication::activeModalWidget();
        if ((w && act(w)) || ++*ticks > 4000) {
            t->stop();
            t->deleteLater();
            if (*ticks > 4000 && w)
                w->close();
        }
    });
    t->start(5);
}

void clickOk(QWidget* dlg)
{
    QTest::mouseClick(dlg->findChild<QDialogButtonBox*>()->buttons().first(), Qt::LeftButton);
}

// Everything a filter may change in a store, lists compared entry by entry.
struct StoreState {
    std::vector<const DigitalChnData*> lists, raws;
    std::vector<std::vector<long long>> entries;
    std::vector<unsigned int> widths;
    bool operator==(const StoreState& o) const
    {
        return lists == o.lists && raws == o.raws && entries == o.entries && widths == o.widths;
    }
};

StoreState stateOf(const SmpData& s)
{
    StoreState r;
    for (int c = 0; c < s.chnNum; ++c) {
        r.lists.push_back(s.chnData[size_t(c)]);
        r.raws.push_back(s.chnDataRaw[size_t(c)]);
        r.entries.push_back(flatten(s.chnData[size_t(c)]));
    }
    r.widths = s.filterWidth;
    return r;
}

} // namespace

class TstChnMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuOnlyInsideVisibleRow_data();
    void menuOnlyInsideVisibleRow();
    void menuEntriesDriveTheRows();
    void filterDialogRows_data();
    void filterDialogRows();
    void filterDialogFollowsChannelCount();
    void filterMatchesPlainRules();
    void filterDuringRunRestartsIt();
    void filterWhileDecodingAndDrawing();
    void cancelledFilterLeavesCapture();
    void liveLevels_data();
    void liveLevels();
    void emptyEnableDialogWarnsAndKeeps();

private:
    // The demo device's 16 channels with random glitchy edges, shown.
    void showCapture(WaveAnalyzerSource* analyzers);

    std::unique_ptr<DemoHost> host;
    std::unique_ptr<ViewWiring> wiring;
    std::vector<Chn> chns;
    CountingHost counting;
    static constexpr long long count = 200000;
};

void TstChnMenu::init()
{
    Config::fillLists();
    Config::createFont();
    Config::disAnimate = true;
    Config::enaLogicProbe = false;
    counting = CountingHost();
}

void TstChnMenu::cleanup()
{
    GlitchFilterJob::workerStartHook = nullptr;
    wiring.reset();
    host.reset();
}

void TstChnMenu::showCapture(WaveAnalyzerSource* analyzers)
{
    if (!host)
        host.reset(new DemoHost);
    wiring.reset(new ViewWiring(analyzers));
    wiring->devModelChanged();
    wiring->mainView->setFilterProgressDelay(0);
    wiring->window->resize(1200, 900);
    wiring->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(wiring->window));
    std::mt19937_64 rng(11);
    chns.assign(16, Chn());
    for (Chn& c : chns)
        c = randomChn(rng, count, 4000);
    fillStore(&*host->dev->fillingSmpData(), chns, count, 1000000, 0);
    host->dev->toggleSmpData();
    emit host->dev->sigSmpDataReady(0);
}

// ---------------------------------------------------------------- menu

void TstChnMenu::menuOnlyInsideVisibleRow_data()
{
    QTest::addColumn<int>("row");       // row aimed at
    QTest::addColumn<int>("dy");        // from its top; -1: its bottom edge
    QTest::addColumn<int>("multip");
    QTest::addColumn<int>("opened");    // channel of the menu, -1 none
    QTest::addColumn<int>("checked");   // index of the checked height entry

    QTest::newRow("middle of a x4 row") << 3 << 20 << 4 << 3 << 9;
    QTest::newRow("x1 row") << 0 << 5 << 1 << 0 << 7;
    QTest::newRow("x8 row") << 15 << 30 << 8 << 15 << 10;
    QTest::newRow("top edge") << 3 << 0 << 1 << -1 << -1;
    QTest::newRow("bottom edge") << 3 << -1 << 1 << -1 << -1;
    // Channel 5 is off: its row has no height, the point lies in row 6.
    QTest::newRow("over a disabled row") << 5 << 1 << 2 << 6 << 8;
}

void TstChnMenu::menuOnlyInsideVisibleRow()
{
    QFETCH(int, row);
    QFETCH(int, dy);
    QFETCH(int, multip);
    QFETCH(int, opened);
    QFETCH(int, checked);
    showCapture(&counting);
    QVector<bool> ena(16, true);
    ena[5] = false;
    host->dev->setDChnEna(ena);
    MainView* mv = wiring->mainView;
    ItemChnSidebar* r = mv->getChnSidebars()[opened >= 0 ? opened : row];
    r->setShowMultip(multip);
    mv->slotChnExpansion();
    const ItemChnSidebar* aim = mv->getChnSidebars()[row];
    const int y = aim->y() + (dy < 0 ? aim->height() : dy);
    QCursor::setPos(mv->getSidebarFrame()->mapToGlobal(QPoint(40, y)));
    mv->slotChnSetMenu();
    QMenu* menu = mv->getChnMenu();
    if (opened < 0) {
        QVERIFY(!menu || !menu->isVisible());
        return;
    }
    QVERIFY(menu && menu->isVisible());
    QCOMPARE(menu->objectName(), QString::number(opened));
    const QList<QAction*> acts = menu->actions();
    QCOMPARE(acts.size(), 13);
    for (int k = 7; k <= 10; ++k)
        QCOMPARE(acts[k]->isChecked(), k == checked);
    menu->hide();
}

void TstChnMenu::menuEntriesDriveTheRows()
{
    showCapture(&counting);
    MainView* mv = wiring->mainView;
    ItemChnSidebar* r = mv->getChnSidebars()[2];
    const int h = r->height();
    MyButton* b = r->settingButton();
    QCursor::setPos(b->mapToGlobal(b->rect().center()));
    QTest::mouseClick(b, Qt::LeftButton);
    QMenu* menu = mv->getChnMenu();
    QVERIFY(menu && menu->isVisible());
    const QList<QAction*> acts = menu->actions();
    QStringList texts;
    for (QAction* a : acts)
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(texts, QStringList({"Channel Enable Settings...", "Glitch Filter Settings...", "-",
                                 "Show Real Time Status", "-", "Use Color for Waveform", "-", "Channel Height x1",
                                 "Channel Height x2", "Channel Height x4", "Channel Height x8", "-",
                                 "Reset All Channels"}));
    menu->hide();
    acts[8]->trigger();
    QCOMPARE(r->showMultip, 2);
    QVERIFY(r->height() > h);
    const bool color = Config::colorWaveLine;
    acts[5]->trigger();
    QCOMPARE(Config::colorWaveLine, !color);
    // The live levels come on with the entry (no instrument: no reading).
    acts[3]->trigger();
    QTRY_VERIFY(!r->staShow()->isHidden());
    QVERIFY(!r->staShow()->isActive());
    acts[3]->trigger();
    QVERIFY(r->staShow()->isHidden());
}

// ---------------------------------------------------------------- filter dialog

void TstChnMenu::filterDialogRows_data()
{
    QTest::addColumn<int>("n");
    QTest::newRow("4") << 4;
    QTest::newRow("8") << 8;
    QTest::newRow("12") << 12;
    QTest::newRow("32") << 32;
}

void TstChnMenu::filterDialogRows()
{
    QFETCH(int, n);
    DlgFilter dlg(nullptr, n);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.channelCount(), n);
    for (int k = 0; k < n; ++k) {
        QCheckBox* c = dlg.checkBox(k);
        QVERIFY(c && c->isVisible());
        QCOMPARE(c->text(), QStringLiteral("Ch%1").arg(k));
        // Blocks of eight side by side, channels going down each block.
        const QCheckBox* first = dlg.checkBox(k - k % 8);
        QCOMPARE(c->x(), first->x());
        if (k % 8)
            QVERIFY(c->y() > dlg.checkBox(k - 1)->y());
        else if (k)
            QVERIFY(c->x() > dlg.checkBox(k - 8)->x());
    }
    // A channel ticked, given a width and unticked again is off.
    const int a = n - 1, b = n / 2;
    for (int k : {a, b}) {
        QTest::mouseClick(dlg.checkBox(k), Qt::LeftButton);
        QVERIFY(dlg.widthSpinBox(k)->isEnabled());
        dlg.widthSpinBox(k)->setFocus();
        QTest::keyClick(dlg.widthSpinBox(k), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dlg.widthSpinBox(k), QString::number(k + 2));
    }
    QTest::mouseClick(dlg.checkBox(b), Qt::LeftButton);
    QVERIFY(!dlg.widthSpinBox(b)->isEnabled());
    QCOMPARE(dlg.widthSpinBox(b)->value(), b + 2);
    QVector<unsigned int> want(n, 0u);
    want[a] = unsigned(a + 2);
    QCOMPARE(dlg.getSetting(), want);
}

void TstChnMenu::filterDialogFollowsChannelCount()
{
    showCapture(&counting);
    MainView* mv = wiring->mainView;
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<DlgFilter*>(w);
        if (d)
            d->close();
        return d;
    });
    mv->slotFilterClicked();
    QCOMPARE(mv->getDlgFilter()->channelCount(), 16);

    // A 32-channel device with a capture on every channel.
    host->dev->smpStopAndWait();
    std::unique_ptr<DevBase> dev(DevBase::createDevice(DevModel6143A));
    devUsing = dev.get();
    host->dev.swap(dev);
    dev.reset();
    wiring->devModelChanged();
    std::mt19937_64 rng(5);
    std::vector<Chn> wide(32);
    for (Chn& c : wide)
        c = randomChn(rng, count, 2000);
    fillStore(&*host->dev->fillingSmpData(), wide, count, 1000000, 0);
    host->dev->toggleSmpData();
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<DlgFilter*>(w);
        if (!d || d->channelCount() != 32)
            return false;
        QTest::mouseClick(d->checkBox(31), Qt::LeftButton);
        clickOk(d);
        return true;
    });
    mv->slotFilterClicked();
    QCOMPARE(mv->getDlgFilter()->channelCount(), 32);
    auto s = host->dev->displayedSmpData();
    RefChannel raw;
    raw.edges = wide[31].edges;
    raw.count = count;
    QCOMPARE(s->filterWidth[31], 1u);
    QCOMPARE(flatten(s->chnData[31]), plainFilter(raw.entries(), 1));
    QCOMPARE(host->dev->fillingSmpData()->filterWidth[31], 1u);
}

// ---------------------------------------------------------------- applying the filter

void TstChnMenu::filterMatchesPlainRules()
{
    showCapture(&counting);
    QVector<unsigned int> widths(16, 0u);
    for (int c = 0; c < 16; ++c)
        widths[c] = c % 4 == 3 ? 0u : unsigned(1 + c % 5);
    const unsigned long long serial = wiring->gen->frame()->serial;
    auto s = host->dev->displayedSmpData();
    const DigitalChnData* list0 = s->chnData[0];
    QVERIFY(wiring->mainView->applyFilter(widths));
    // The analyzers were stopped while the old lists were still in place.
    QCOMPARE(counting.listAtStop, list0);
    QVERIFY(s->chnData[0] != list0);
    for (int c = 0; c < 16; ++c) {
        RefChannel raw;
        raw.edges = chns[size_t(c)].edges;
        raw.count = count;
        QCOMPARE(flatten(s->chnData[size_t(c)]), widths[c] ? plainFilter(raw.entries(), widths[c]) : raw.entries());
        QCOMPARE(flatten(s->filterSource(c)), raw.entries());
        QVERIFY(s->searchIndexValid(c));
    }
    // Shown again through the filter and decoded again.
    QVERIFY(wiring->gen->frame()->serial > serial);
    QCOMPARE(counting.redecodes, 1);
    // Back to the capture as it came.
    QVERIFY(wiring->mainView->applyFilter(QVector<unsigned int>(16, 0u)));
    for (int c = 0; c < 16; ++c) {
        QCOMPARE(flatten(s->chnData[size_t(c)]), flatten(s->filterSource(c)));
        QVERIFY(!s->chnDataRaw[size_t(c)]);
    }
}

void TstChnMenu::filterDuringRunRestartsIt()
{
    // A demo device whose capture runs until it is stopped.
    host.reset(new DemoHost);
    devtest::FakeWorker::resetCounts();
    devtest::FakeWorker::hold = true;
    DevBase::smpWorkerFactory = &devtest::FakeWorker::make;
    std::unique_ptr<DevBase> dev(DevBase::createDevice(0));
    devUsing = dev.get();
    host->dev.swap(dev);
    dev.reset();
    showCapture(&counting);
    host->dev->smpStart(SmpStartRepeat);
    QTRY_COMPARE(devtest::FakeWorker::starts[SmpWorkerSimulate].load(), 1);
    QVERIFY(wiring->mainView->applyFilter(QVector<unsigned int>(16, 4u)));
    // Stopped and started again; the next capture comes filtered.
    QTRY_COMPARE(devtest::FakeWorker::starts[SmpWorkerSimulate].load(), 2);
    QVERIFY(host->dev->smpRunning);
    QCOMPARE(host->dev->fillingSmpData()->filterWidth, std::vector<unsigned int>(16, 4u));
    QVERIFY(counting.stops > 0);
    QCOMPARE(counting.redecodes, 0);
    host->dev->smpStopAndWait();
}

void TstChnMenu::filterWhileDecodingAndDrawing()
{
    host.reset(new DemoHost);
    if (!host->addUart())
        QSKIP("UART plug-in not built");
    showCapture(host->mgr.get());
    // UART at 100 samples a bit on channel 0, glitches of up to 3 samples on the others.
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += char('A' + i % 26);
    chns[0] = uartChn(text, 1000, 100, 2);
    const long long n = chns[0].edges.back() + 5000;
    fillStore(&*host->dev->fillingSmpData(), chns, n, 11520000, 0);
    host->dev->toggleSmpData();
    QSignalSpy decoded(host->mgr.get(), &AnalyzerManager::analyzerDecodedChanged);
    Config::disAnimate = false;
    int before = 0;
    for (int round = 0; round < 4; ++round) {
        host->mgr->startDecode();
        wiring->gen->zoomIn(300 + 100 * round);
        before = decoded.count();
        QVERIFY(wiring->mainView->applyFilter(QVector<unsigned int>(16, unsigned(round % 2 ? 0 : 3))));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!wiring->gen->isAnimating(), 10000);
    // The last decode ran on the shown lists: every character back.
    QTRY_VERIFY_WITH_TIMEOUT(decoded.count() > before && !host->mgr->anlyThreadIsRuning(0), 20000);
    const QVector<Frame> frames = host->uartFrames();
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(char(frames[i].data1), text[size_t(i)]);
}

void TstChnMenu::cancelledFilterLeavesCapture()
{
    showCapture(&counting);
    QVERIFY(wiring->mainView->applyFilter(QVector<unsigned int>(16, 2u)));
    auto s = host->dev->displayedSmpData();
    const StoreState before = stateOf(*s);
    const std::vector<unsigned int> otherWidths = host->dev->fillingSmpData()->filterWidth;

    // The workers wait until the user has pressed Cancel.
    QSemaphore gate;
    GlitchFilterJob::workerStartHook = [&gate] { gate.tryAcquire(1, 20000); };
    bool sawDialog = false;
    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<MyProgressDlg*>(w);
        if (!d)
            return false;
        sawDialog = true;
        QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
        gate.release(64);
        return true;
    });
    QVERIFY(!wiring->mainView->applyFilter(QVector<unsigned int>(16, 7u)));
    QVERIFY(sawDialog);
    QVERIFY(stateOf(*host->dev->displayedSmpData()) == before);
    QCOMPARE(host->dev->fillingSmpData()->filterWidth, otherWidths);
    // The decode of the unchanged capture comes back.
    QCOMPARE(counting.redecodes, 2);
}

// ---------------------------------------------------------------- live levels

void TstChnMenu::liveLevels_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<bool>("valid");
    QTest::newRow("no instrument") << 0 << false << false;
    QTest::newRow("16-channel instrument") << 3 << true << true;
    QTest::newRow("8-channel model gives none") << 1 << true << false;
}

void TstChnMenu::liveLevels()
{
    QFETCH(int, model);
    QFETCH(bool, connect);
    QFETCH(bool, valid);
    DevSupport* ds = devtest::openEmulated();
    QVERIFY(ds);
    std::unique_ptr<DevBase> dev(DevBase::createDevice(model));
    if (connect) {
        emu_set_status_override(0x85C1);
        unsigned char ident[DevIdentSize] = {200, 0, 250, 0};
        QCOMPARE(dev->devConnect(ident, 0.0), 0);
    }
    const unsigned char live[4] = {0x05, 0x80, 0xFF, 0x01};   // levels 0, 2, 15; second bits 0-8
    emu_set_live_levels(live, 4);
    devUsing = dev.get();
    {
        ViewWiring w(nullptr);
        w.devModelChanged();
        w.window->show();
        const int n = dev->dChnEna.size();
        QVector<bool> ena(n, true);
        ena[1] = false;
        dev->setDChnEna(ena);
        const QVector<ItemChnSidebar*>& rows = w.mainView->getChnSidebars();
        w.mainView->slotLogicProbeClicked(true);
        QTRY_VERIFY(!rows[0]->staShow()->isHidden());
        for (int c = 0; c < n; ++c) {
            const ChnStaShow* sta = rows[c]->staShow();
            QCOMPARE(sta->isHidden(), c == 1);
            if (c == 1)
                continue;
            QCOMPARE(sta->isActive(), valid);
            QCOMPARE(sta->isHigh(), valid && (c == 0 || c == 2 || c == 15));
            QCOMPARE(sta->isLamp(), valid && c <= 8);
        }
        w.mainView->slotLogicProbeClicked(false);
        for (ItemChnSidebar* r : rows)
            QVERIFY(r->staShow()->isHidden());
    }
    devUsing = nullptr;
    dev.reset();
    devtest::closeEmulated(ds);
}

// ---------------------------------------------------------------- channel enables

void TstChnMenu::emptyEnableDialogWarnsAndKeeps()
{
    showCapture(&counting);
    QDialog* first = nullptr;
    QString warning;
    bool kept = false;
    auto enableBox = [](QWidget* w) { return w->findChild<ChnEnaGroupBox*>(); };
    // Untick every channel and press OK: a warning, then the same dialog
    // with nothing ticked; tick channel 5 and press OK.
    whenModal([&](QWidget* w) {
        ChnEnaGroupBox* box = enableBox(w);
        if (!box)
            return false;
        first = qobject_cast<QDialog*>(w);
        for (QCheckBox* c : box->boxes())
            if (c->isChecked())
                QTest::mouseClick(c, Qt::LeftButton);
        whenModal([&](QWidget* m) {
            auto* mb = qobject_cast<QMessageBox*>(m);
            if (!mb)
                return false;
            warning = mb->windowTitle() + QLatin1Char('|') + mb->text();
            whenModal([&](QWidget* again) {
                ChnEnaGroupBox* b = enableBox(again);
                if (!b)
                    return false;
                kept = again == first;
                for (QCheckBox* c : b->boxes())
                    kept = kept && !c->isChecked();
                QTest::mouseClick(b->boxes()[5], Qt::LeftButton);
                clickOk(again);
                return true;
            });
            QTest::mouseClick(mb->button(QMessageBox::Close), Qt::LeftButton);
            return true;
        });
        clickOk(w);
        return true;
    });
    QSignalSpy changed(host->dev.get(), &DevBase::sigChnEnaChanged);
    wiring->mainView->slotChnEnaClicked();
    QCOMPARE(warning, QStringLiteral("A Setting is Invalid|Please select at least one channel.\r\n"));
    QVERIFY(kept);
    QCOMPARE(changed.count(), 1);
    QVector<bool> want(16, false);
    want[5] = true;
    QCOMPARE(host->dev->dChnEna, want);
    // The rows follow: only channel 5 keeps a height.
    for (int c = 0; c < 16; ++c)
        QCOMPARE(wiring->mainView->getChnSidebars()[c]->height() > 0, c == 5);
}

QTEST_MAIN(TstChnMenu)
#include "tst_chnmenu.moc"
