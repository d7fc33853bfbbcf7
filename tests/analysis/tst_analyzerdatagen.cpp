// The decoded-results list thread against a reference list built here: all
// frames of all analyzers sorted by start sample and analyzer, the texts
// written out plainly, pages cut from it.

#include "../common/tempenv.h"
#include "fakeanalyzer.h"

#include "analysis/analyzerdatagen.h"
#include "analysis/analyzermanager.h"
#include "core/config.h"

#include <QtTest>

#include <algorithm>
#include <memory>
#include <mutex>

using namespace fakeanly;

namespace {

struct Ref {
    qint64 start, end;
    int a;
    quint64 idx;
    QString text;
};

// What the thread reported, in order.
struct Report {
    qlonglong beg, total;
    int rows;
    bool page;   // a page came with it (page and idle reports; not the search progress)
    QStringList list;
    bool sel;
    int selRow;
    qint64 clock;
};

class Recorder
{
public:
    explicit Recorder(AnalyzerDataGen* g, std::atomic<qint64>* clk = nullptr)
    {
        c1 = QObject::connect(g, &AnalyzerDataGen::listTotalChanged, g,
                         [this, clk](qlonglong b, qlonglong t, int r) {
                             std::lock_guard<std::mutex> l(m);
                             ev.push_back({b, t, r, false, {}, false, 0, clk ? clk->load() : 0});
                         },
                         Qt::DirectConnection);
        c2 = QObject::connect(g, &AnalyzerDataGen::listChanged, g,
                         [this](QStringList list, bool sel, int row) {
                             std::lock_guard<std::mutex> l(m);
                             ev.back().page = true;
                             ev.back().list = list;
                             ev.back().sel = sel;
                             ev.back().selRow = row;
                         },
                         Qt::DirectConnection);
    }
    ~Recorder()
    {
        QObject::disconnect(c1);
        QObject::disconnect(c2);
    }
    Report last()
    {
        std::lock_guard<std::mutex> l(m);
        return ev.empty() ? Report() : ev.back();
    }
    std::vector<Report> take()
    {
        std::lock_guard<std::mutex> l(m);
        std::vector<Report> out;
        out.swap(ev);
        return out;
    }

private:
    QMetaObject::Connection c1, c2;
    std::mutex m;
    std::vector<Report> ev;
};

// Frames of analyzer a: every `step` samples from `first`, `len` long, value
// a * 100000 + k.
void fill(FakeAnalyzer& an, int a, qint64 first, qint64 step, qint64 len, int n)
{
    for (int k = 0; k < n; ++k)
        an.add(first + k * step, len, quint64(a) * 100000 + quint64(k));
}

QString textOf(QString const& name, quint64 v)
{
    return name + QStringLiteral(" 0x") + QString::number(v, 16);
}

QStringList texts(std::vector<Ref> const& v, size_t from, size_t to)
{
    QStringList out;
    for (size_t i = from; i < to && i < v.size(); ++i)
        out << v[i].text;
    return out;
}

class Fixture
{
public:
    // Three analyzers whose frames tie at every multiple of 30 samples.
    explicit Fixture(int n = 2000)
    {
        an.emplace_back(new FakeAnalyzer("A0"));
        an.emplace_back(new FakeAnalyzer("A1"));
        an.emplace_back(new FakeAnalyzer("A2"));
        fill(*an[0], 0, 0, 10, 4, n);
        fill(*an[1], 1, 0, 15, 6, n);
        fill(*an[2], 2, 0, 30, 2, n / 2);
        for (size_t a = 0; a < an.size(); ++a) {
            AnalyzerResults* r = nullptr;
            an[a]->GetAnalyzerResults(&r);
            for (U64 k = 0; k < r->GetNumFrames(); ++k) {
                const Frame f = r->GetFrame(k);
                all.push_back({f.startSample, f.endSample, int(a), k,
                               textOf(QString::fromStdString(an[a]->results.name), f.data1)});
            }
        }
        std::stable_sort(all.begin(), all.end(),
                         [](Ref const& x, Ref const& y) { return x.start != y.start ? x.start < y.start : x.a < y.a; });
    }
    AnalyzerDataGen::Source source()
    {
        AnalyzerDataGen::Source s;
        s.analyzers = [this] {
            QVector<Analyzer*> v;
            for (auto& a : an)
                v.append(a.get());
            return v;
        };
        s.displayFormat = [](Analyzer*) { return DisplayHex; };
        return s;
    }
    // The rows before the first `top` of the list, as filling upwards takes them.
    std::vector<Ref> backward(size_t top) const
    {
        std::vector<Ref> b(all.begin(), all.begin() + long(top));
        std::stable_sort(b.begin(), b.end(),
                         [](Ref const& x, Ref const& y) { return x.start != y.start ? x.start > y.start : x.a < y.a; });
        return b;
    }
    // A page whose first m rows were prepended upwards from list position top.
    QStringList upPage(size_t top, size_t m, size_t after) const
    {
        const std::vector<Ref> b = backward(top);
        QStringList out;
        for (size_t i = m; i-- > 0;)
            out << b[i].text;
        return out + texts(all, top, top + after);
    }
    long long made() const
    {
        long long n = 0;
        for (auto& a : an)
            n += a->results.texts;
        return n;
    }
    std::vector<std::unique_ptr<FakeAnalyzer>> an;
    std::vector<Ref> all;
};

bool idle(AnalyzerDataGen& g)
{
    QElapsedTimer t;
    t.start();
    while (!g.isIdle()) {
        if (t.elapsed() > 30000)
            return false;
        QThread::usleep(200);
    }
    return true;
}

const int kRows = 20;

// Rows per page, then a first list; true once it is answered.
bool begin(AnalyzerDataGen& g, int rows = kRows, QString const& text = QString(), double t0 = 0)
{
    g.slotRowNumChanged(rows);
    g.reStart(text, t0, 1e9);
    return idle(g);
}

}  // namespace

class TstAnalyzerDataGen : public QObject
{
    Q_OBJECT

private slots:
    void pagesForward_data();
    void pagesForward();
    void tiesAtTheTopAndFromBelow();
    void firstFrameAtTheWindow();
    void upByThreeKeepsSeventeen();
    void farUpMove();
    void noRows();
    void displayFormats();
    void searchPagesAndTotal();
    void searchReportsPaced();
    void handshakeDuringSearch();
    void handshakeDuringFarSearchMove();
};

void TstAnalyzerDataGen::pagesForward_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("first") << 0;
    QTest::newRow("second") << 1;
    QTest::newRow("inside a tie") << 7;
    QTest::newRow("middle") << 2345;
    QTest::newRow("last page") << -kRows;
    QTest::newRow("last row") << -1;
    QTest::newRow("the total") << 0x7fffffff;
    QTest::newRow("beyond") << 0x7ffffffe;
}

void TstAnalyzerDataGen::pagesForward()
{
    QFETCH(int, index);
    Fixture fx;
    AnalyzerDataGen gen(nullptr, nullptr, fx.source());
    Recorder rec(&gen);
    const qint64 total = qint64(fx.all.size());
    QVERIFY(begin(gen));
    Report r = rec.last();
    QCOMPARE(r.total, total);
    QCOMPARE(r.beg, 0LL);
    QCOMPARE(r.list, texts(fx.all, 0, kRows));

    const qint64 want = index == 0x7fffffff ? total : index == 0x7ffffffe ? total + 1 : index < 0 ? total + index : index;
    gen.begFrameChanged(want);
    QVERIFY(idle(gen));
    r = rec.last();
    if (want > total) {
        // Ignored: the page stays.
        QCOMPARE(r.beg, 0LL);
        QCOMPARE(r.list, texts(fx.all, 0, kRows));
    } else if (want == total) {
        QCOMPARE(r.beg, total);
        QVERIFY(r.list.isEmpty());
    } else if (want + kRows > total) {
        // The list ends inside the page: the rest is filled from above.
        const size_t after = size_t(total - want);
        QCOMPARE(r.beg, total - kRows);
        QCOMPARE(r.list, fx.upPage(size_t(want), kRows - after, after));
    } else {
        QCOMPARE(r.beg, want);
        QCOMPARE(r.list, texts(fx.all, size_t(want), size_t(want) + kRows));
    }
    QCOMPARE(r.total, total);
}

void TstAnalyzerDataGen::tiesAtTheTopAndFromBelow()
{
    Fixture fx(60);
    AnalyzerDataGen gen(nullptr, nullptr, fx.source());
    Recorder rec(&gen);
    QVERIFY(begin(gen, 6));
    // Forward: equal starts in analyzer order.
    QCOMPARE(rec.last().list, QStringList({"A0 0x0", "A1 0x186a0", "A2 0x30d40", "A0 0x1", "A1 0x186a1", "A0 0x2"}));
    // A window past the last start: every row is taken upwards, so equal
    // starts come in reverse analyzer order.
    gen.reStart(QString(), 1e5, 1e6);
    QVERIFY(idle(gen));
    const Report r = rec.last();
    QCOMPARE(r.beg, qint64(fx.all.size()) - 6);
    QCOMPARE(r.list, fx.upPage(fx.all.size(), 6, 0));
    QCOMPARE(r.list, QStringList({"A2 0x30d5c", "A1 0x186d8", "A1 0x186d9", "A2 0x30d5d", "A1 0x186da", "A1 0x186db"}));
}

void TstAnalyzerDataGen::firstFrameAtTheWindow()
{
    Fixture fx;
    // A fourth analyzer whose frames all lie before the window.
    auto* early = new FakeAnalyzer("A3");
    fx.an.emplace_back(early);
    fill(*early, 3, 1, 50, 3, 40);
    AnalyzerDataGen gen(nullptr, nullptr, fx.source());
    Recorder rec(&gen);
    gen.slotRowNumChanged(kRows);
    const qint64 w = 12342;   // inside A0's frame at 12340
    gen.reStart(QString(), double(w), 1e6);
    QVERIFY(idle(gen));
    const Report r = rec.last();
    // Before the page: every frame that ends by the window start.
    qint64 before = 40;
    std::vector<quint64> first(3, 0);
    for (Ref const& e : fx.all)
        if (e.end <= w) {
            ++before;
            first[size_t(e.a)] = std::max(first[size_t(e.a)], e.idx + 1);
        }
    QCOMPARE(r.beg, before);
    QCOMPARE(r.total, qint64(fx.all.size()) + 40);
    QStringList want;
    for (Ref const& e : fx.all)
        if (e.idx >= first[size_t(e.a)] && want.size() < kRows)
            want << e.text;
    QCOMPARE(r.list, want);
    QCOMPARE(r.list.first(), QStringLiteral("A0 0x4d2"));   // the frame the window starts in
    QCOMPARE(gen.getSmpPoint(0), qMakePair(qint64(12340), qint64(12344)));

    // Fewer rows after the window than a page: the rest comes from above.
    const size_t n = fx.all.size();
    const qint64 w2 = fx.all[n - 5].start;
    QStringList tail;
    for (Ref const& e : fx.all)
        if (e.end > w2)
            tail << e.text;
    QVERIFY(tail.size() >= 5 && tail.size() < kRows);
    gen.reStart(QString(), double(w2), 1e6);
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().beg, qint64(n) + 40 - kRows);
    QCOMPARE(rec.last().list.size(), kRows);
    QCOMPARE(rec.last().list.mid(kRows - tail.size()), tail);
}

void TstAnalyzerDataGen::upByThreeKeepsSeventeen()
{
    Fixture fx;
    AnalyzerDataGen gen(nullptr, nullptr, fx.source());
    Recorder rec(&gen);
    QVERIFY(begin(gen));
    gen.begFrameChanged(600);
    QVERIFY(idle(gen));
    gen.setSelected(5);
    gen.slotRowNumChanged(kRows);   // a resize that keeps the row count
    const long long made = fx.made();
    gen.begFrameChanged(597);
    QVERIFY(idle(gen));
    const Report r = rec.last();
    QCOMPARE(r.beg, 597LL);
    QCOMPARE(r.list, fx.upPage(600, 3, 17));
    // Only the three new rows were made; the selection moved with its row.
    QCOMPARE(fx.made() - made, 3LL);
    QVERIFY(r.sel);
    QCOMPARE(r.selRow, 8);
}

void TstAnalyzerDataGen::farUpMove()
{
    Fixture fx;
    AnalyzerDataGen gen(nullptr, nullptr, fx.source());
    Recorder rec(&gen);
    QVERIFY(begin(gen));
    gen.begFrameChanged(4000);
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().list, texts(fx.all, 4000, 4000 + kRows));
    // Up by more than a page: the rows come from above the old top, upwards.
    // Six targets in a row: some cut through frames of equal start.
    const std::vector<Ref> b = fx.backward(4000);
    for (qint64 target = 1234; target < 1240; ++target) {
        gen.begFrameChanged(target);
        QVERIFY(idle(gen));
        const Report r = rec.last();
        QCOMPARE(r.beg, target);
        QStringList want;
        for (size_t i = size_t(4000 - target); i-- > size_t(4000 - target - kRows);)
            want << b[i].text;
        QCOMPARE(r.list, want);
        gen.begFrameChanged(4000);
        QVERIFY(idle(gen));
        QCOMPARE(rec.last().list, texts(fx.all, 4000, 4000 + kRows));
    }
    // To the very top.
    gen.begFrameChanged(0);
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().beg, 0LL);
    QCOMPARE(rec.last().list.size(), kRows);
}

void TstAnalyzerDataGen::noRows()
{
    Fixture fx(100);
    AnalyzerDataGen gen(nullptr, nullptr, fx.source());
    Recorder rec(&gen);
    QVERIFY(begin(gen, 0));
    const Report r = rec.last();
    QVERIFY(r.page);
    QVERIFY(r.list.isEmpty());
    QCOMPARE(r.rows, 0);
    QCOMPARE(r.total, qint64(fx.all.size()));
    QCOMPARE(fx.made(), 0LL);
    // No capture: an empty list.
    gen.slotRowNumChanged(kRows);
    gen.reStart(QString(), 0, 0);
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().total, 0LL);
    QVERIFY(rec.last().list.isEmpty());
}

void TstAnalyzerDataGen::displayFormats()
{
    Fixture fx(10);
    AnalyzerDataGen::Source src = fx.source();
    // Decimal for A0, a stored value outside the formats for A1 (shown as hex).
    FakeAnalyzer* a0 = fx.an[0].get();
    src.displayFormat = [a0](Analyzer* a) { return a == a0 ? int(DisplayDec) : 9; };
    AnalyzerDataGen gen(nullptr, nullptr, src);
    Recorder rec(&gen);
    QVERIFY(begin(gen, 4));
    QCOMPARE(rec.last().list, QStringList({"A0 0", "A1 0x186a0", "A2 0x30d40", "A0 1"}));
}

void TstAnalyzerDataGen::searchPagesAndTotal()
{
    Fixture fx;
    AnalyzerDataGen gen(nullptr, nullptr, fx.source());
    Recorder rec(&gen);
    gen.slotRowNumChanged(kRows);
    // Lower case in the rows, upper case in the search.
    gen.reStart(QStringLiteral("A1 0X18"), 0, 1e6);
    QVERIFY(idle(gen));
    std::vector<Ref> hits;
    for (Ref const& e : fx.all)
        if (e.text.contains(QStringLiteral("a1 0x18"), Qt::CaseInsensitive))
            hits.push_back(e);
    QVERIFY(hits.size() > 100 && hits.size() < fx.all.size() / 2);
    const std::vector<Report> reps = rec.take();
    QVERIFY(!reps.empty());
    QCOMPARE(reps.front().beg, 0LL);
    for (size_t i = 1; i < reps.size(); ++i)
        QVERIFY(reps[i].total >= reps[i - 1].total);
    QCOMPARE(reps.back().total, qint64(hits.size()));
    QCOMPARE(reps.back().list, texts(hits, 0, kRows));

    gen.begFrameChanged(50);
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().beg, 50LL);
    QCOMPARE(rec.last().list, texts(hits, 50, 50 + kRows));
    gen.begFrameChanged(30);
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().beg, 30LL);
    QCOMPARE(rec.last().list, texts(hits, 30, 30 + kRows));
    // A text nothing contains: an empty list.
    gen.reStart(QStringLiteral("zz"), 0, 1e6);
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().total, 0LL);
    QVERIFY(rec.last().list.isEmpty());
}

void TstAnalyzerDataGen::searchReportsPaced()
{
    Fixture fx(20000);
    auto now = std::make_shared<std::atomic<qint64>>(0);
    // Each reading of the clock advances it by a millisecond.
    AnalyzerDataGen gen(nullptr, nullptr, fx.source(), [now] { return ++*now; });
    Recorder rec(&gen, now.get());
    QVERIFY(begin(gen, kRows, QStringLiteral("a")));
    const std::vector<Report> reps = rec.take();
    std::vector<Report> progress;
    for (Report const& r : reps)
        if (!r.page)
            progress.push_back(r);
    QVERIFY2(progress.size() >= 5, qPrintable(QString::number(progress.size())));
    for (size_t i = 1; i < progress.size(); ++i) {
        QVERIFY2(progress[i].clock - progress[i - 1].clock >= AnalyzerDataGen::reportIntervalMs,
                 qPrintable(QString("%1 -> %2").arg(progress[i - 1].clock).arg(progress[i].clock)));
        QVERIFY(progress[i].total > progress[i - 1].total);
    }
    QCOMPARE(reps.back().total, qint64(fx.all.size()));
}

void TstAnalyzerDataGen::handshakeDuringSearch()
{
    Config::cfgDoc.setContent(Config::defaultDocument());
    TempEnv env;
    AnalyzerManager mgr;
    Fixture fx(20000);
    AnalyzerDataGen gen(&mgr, nullptr, fx.source());
    Recorder rec(&gen);
    gen.slotRowNumChanged(kRows);
    fx.an[1]->results.gateAt = 5000;
    gen.reStart(QStringLiteral("0x"), 0, 1e9);
    QTRY_VERIFY_WITH_TIMEOUT(fx.an[1]->results.gateReached.load(), 20000);
    // The host's handshake, while the count is under way.
    mgr.startDecode();
    QVERIFY(!AnalyzerManager::isModifyBusy());
    QVERIFY(idle(gen));
    const Report r = rec.last();
    QCOMPARE(r.total, 0LL);
    QCOMPARE(r.beg, 0LL);
    QVERIFY(r.list.isEmpty());
    QVERIFY(fx.made() < qint64(fx.all.size()));
    bool ok = true;
    QCOMPARE(gen.getSmpPoint(0, &ok), qMakePair(qint64(0), qint64(0)));
    QVERIFY(!ok);
}

void TstAnalyzerDataGen::handshakeDuringFarSearchMove()
{
    Config::cfgDoc.setContent(Config::defaultDocument());
    TempEnv env;
    AnalyzerManager mgr;
    Fixture fx(20000);
    AnalyzerDataGen gen(&mgr, nullptr, fx.source());
    Recorder rec(&gen);
    QVERIFY(begin(gen, kRows, QStringLiteral("0x")));
    const qint64 total = rec.last().total;
    QCOMPARE(total, qint64(fx.all.size()));
    // A far move with a search text reads every row it skips; the host's
    // handshake must not wait for it.
    const long long made = fx.made();
    fx.an[0]->results.gateAt = fx.an[0]->results.texts + 1000;
    gen.begFrameChanged(total - kRows);
    QTRY_VERIFY_WITH_TIMEOUT(fx.an[0]->results.gateReached.load(), 20000);
    mgr.startDecode();
    QVERIFY(!AnalyzerManager::isModifyBusy());
    QVERIFY(idle(gen));
    QCOMPARE(rec.last().total, 0LL);
    QVERIFY(rec.last().list.isEmpty());
    QVERIFY(fx.made() - made < total / 2);
}

QTEST_GUILESS_MAIN(TstAnalyzerDataGen)
#include "tst_analyzerdatagen.moc"
