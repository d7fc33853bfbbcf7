#include "analysis/analyzerdatagen.h"

#include "analysis/analyzermanager.h"
#include "device/devbase.h"
#include "libanalyzer/analyzer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstring>

namespace {

DisplayBase validBase(int f)
{
    return (f >= DisplayBin && f <= DisplayAsciiHex) ? DisplayBase(f) : DisplayHex;
}

qint64 steadyMs()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t.elapsed();
}

// A window bound as a sample number; anything not finite counts as 0.
S64 sampleOf(double v)
{
    if (!(v == v) || v > 9.0e18 || v < -9.0e18)
        return 0;
    return S64(v);
}

inline char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

}  // namespace

// ---------------------------------------------------------------- matcher

void AnalyzerDataGen::Matcher::set(QString const& t)
{
    text = t;
    ascii = true;
    for (QChar ch : t)
        ascii = ascii && ch.unicode() < 0x80;
    asciiLower = ascii ? t.toLatin1().toLower() : QByteArray();
}

bool AnalyzerDataGen::Matcher::matches(const char* s) const
{
    if (text.isEmpty())
        return true;
    if (!s)
        return false;
    if (ascii) {
        // Plain ASCII on both sides: compare bytes. Any other text may hold
        // characters whose case folds onto ASCII letters, so Qt decides.
        // An ASCII match is a match whatever else the text holds.
        const size_t m = size_t(asciiLower.size());
        const char* p = asciiLower.constData();
        size_t i = 0;
        for (; s[i]; ++i) {
            if ((unsigned char)s[i] >= 0x80)
                break;
            if (lowerAscii(s[i]) == p[0]) {
                size_t k = 1;
                while (k < m && lowerAscii(s[i + k]) == p[k])
                    ++k;
                if (k == m)
                    return true;
            }
        }
        if (!s[i])
            return false;
    }
    return QString::fromUtf8(s).contains(text, Qt::CaseInsensitive);
}

// ---------------------------------------------------------------- life

AnalyzerDataGen::AnalyzerDataGen(AnalyzerManager* mgr, QObject* parent, Source src, Clock clk)
    : QThread(parent), manager(mgr), source(std::move(src)), clock(std::move(clk))
{
    if (!source.analyzers)
        source.analyzers = [] { return AnalyzerManager::getEnaAnalyzers(); };
    if (!source.displayFormat)
        source.displayFormat = [](Analyzer* a) { return AnalyzerManager::getAnalyzerDisplayFormat(a); };
    if (!clock)
        clock = &steadyMs;
    // The handshake waits for this thread, so the wake-up must not be queued.
    if (manager)
        connect(manager, &AnalyzerManager::modifyPrepared, this, &AnalyzerDataGen::slotModifyPrepare,
                Qt::DirectConnection);
    start(QThread::InheritPriority);
}

AnalyzerDataGen::~AnalyzerDataGen()
{
    threadExit = true;
    reqSem.release();
    wait();
}

// ---------------------------------------------------------------- requests

void AnalyzerDataGen::reStart(QString const& text, double t0, double t1, bool keepSelection)
{
    {
        QMutexLocker l(&lock);
        reselectPending = keepSelection && selectedFrameKnown && (isSelected || reselectPending);
        isSelected = false;
        findText = text;
        smpBegin = t0;
        smpEnd = t1;
    }
    restartReq = true;
    reqSem.release();
}

void AnalyzerDataGen::begFrameChanged(qlonglong index)
{
    {
        QMutexLocker l(&lock);
        if (index > totalFrame || index < 0)
            return;
        newBegFrame = index;
    }
    begFrameChg = true;
    // During a capture the move waits for the next wake-up.
    if (!(devUsing && devUsing->smpRunning))
        reqSem.release();
}

void AnalyzerDataGen::slotRowNumChanged(int n)
{
    QMutexLocker l(&lock);
    // The list reports every resize, also one that keeps its row count (it
    // snaps itself to whole rows): only a new count changes the page.
    if (std::max(0, n) == rowNum.load())
        return;
    rowNum = std::max(0, n);
    isSelected = false;
    reselectPending = false;
}

void AnalyzerDataGen::setSelected(int row)
{
    QMutexLocker l(&lock);
    isSelected = true;
    selectedListRow = row;
    reselectPending = false;
    selectedFrameKnown = row >= 0 && row < rowSmpPoints.size();
    if (selectedFrameKnown)
        selectedFrame = rowSmpPoints[row];
}

QPair<qint64, qint64> AnalyzerDataGen::getSmpPoint(int row, bool* ok) const
{
    QMutexLocker l(&lock);
    const bool in = row >= 0 && row < rowSmpPoints.size();
    if (ok)
        *ok = in;
    return in ? rowSmpPoints[row] : qMakePair(qint64(0), qint64(0));
}

void AnalyzerDataGen::slotModifyPrepare()
{
    reqSem.release();
}

bool AnalyzerDataGen::isIdle() const
{
    return waiting.load() && !restartReq.load() && !begFrameChg.load();
}

// ---------------------------------------------------------------- thread

void AnalyzerDataGen::run()
{
    for (;;) {
        if (!restartReq && !begFrameChg && !threadExit) {
            waiting = true;
            reqSem.acquire();
            waiting = false;
        }
        while (!AnalyzerManager::isModifyBusy()) {
            if (threadExit)
                break;
            if (restartReq || begFrameChg) {
                // A burst of requests costs one pass.
                const int n = reqSem.available();
                if (n > 0)
                    reqSem.tryAcquire(n);
            }
            // Read first: the exchange would write the flag's line every turn.
            if (begFrameChg.load(std::memory_order_relaxed) && begFrameChg.exchange(false)) {
                const Move m = movePage();
                if (m == Move::Idle)
                    break;
                if (m == Move::Interrupted)
                    continue;
            }
            if (restartReq.load(std::memory_order_relaxed) && restartReq.exchange(false) && !restart())
                break;
            if (topCursors.isEmpty())
                break;
            const int rows = rowLimit();
            if (pageRows.size() < rows) {
                if (!fillStep())
                    break;
                if (pageRows.size() >= rows)
                    pageReport();
                continue;
            }
            if (matcher.empty() || workCursors.isEmpty())
                break;
            if (!searchStep())
                break;
        }
        idlePoint();
        if (threadExit)
            return;
    }
}

bool AnalyzerDataGen::interruptRequested() const
{
    return AnalyzerManager::isModifyBusy() || threadExit.load(std::memory_order_relaxed)
        || restartReq.load(std::memory_order_relaxed) || begFrameChg.load(std::memory_order_relaxed);
}

int AnalyzerDataGen::rowLimit() const
{
    return rowNum.load(std::memory_order_relaxed);
}

void AnalyzerDataGen::addSelected(qint64 delta)
{
    QMutexLocker l(&lock);
    selectedListRow += delta;
}

void AnalyzerDataGen::publish(bool withPoints)
{
    QMutexLocker l(&lock);
    begFrame = beg;
    totalFrame = total;
    if (withPoints)
        rowSmpPoints = pageSmp;
}

void AnalyzerDataGen::reselect()
{
    if (!reselectPending)
        return;
    const int i = pageSmp.indexOf(selectedFrame);
    if (i < 0)
        return;
    isSelected = true;
    selectedListRow = i;
    reselectPending = false;
}

void AnalyzerDataGen::idlePoint()
{
    if (AnalyzerManager::isModifyBusy()) {
        // The host is about to change the analyzers: hold nothing of theirs.
        topCursors.clear();
        workCursors.clear();
        pageRows.clear();
        pageSmp.clear();
        begFrameChg = false;
        restartReq = false;
        beg = total = 0;
        publish(true);
        AnalyzerManager::clearModifyBusy();
    }
    // Nobody waits for the list of a thread that ends.
    if (!threadExit)
        report();
}

void AnalyzerDataGen::pageReport()
{
    total = std::max(total, beg + qint64(pageRows.size()));
    report();
}

void AnalyzerDataGen::report()
{
    publish(true);
    bool sel;
    qint64 selRow;
    {
        QMutexLocker l(&lock);
        reselect();
        sel = isSelected;
        selRow = selectedListRow;
    }
    emit listTotalChanged(beg, total, rowLimit());
    emit listChanged(pageRows, sel, int(selRow));
}

// ---------------------------------------------------------------- cursors

const char* AnalyzerDataGen::textOf(FrameCursor const& c, quint64 index) const
{
    c.results->MakeTabularText(index, c.displayBase);
    return c.results->GetTabularTextString();
}

bool AnalyzerDataGen::keep(FrameCursor const& c, quint64 index) const
{
    return matcher.empty() || matcher.matches(textOf(c, index));
}

void AnalyzerDataGen::setFrame(FrameCursor& c, quint64 index)
{
    c.frameIndex = index;
    const Frame f = c.results->GetFrame(index);
    c.startSample = f.startSample;
    c.endSample = f.endSample;
}

void AnalyzerDataGen::toTop(FrameCursor const& c)
{
    topCursors[c.slot] = c;
}

void AnalyzerDataGen::workToTop()
{
    for (FrameCursor const& c : workCursors)
        toTop(c);
}

void AnalyzerDataGen::removeWork(std::function<bool(FrameCursor const&)> pred)
{
    workCursors.erase(std::remove_if(workCursors.begin(), workCursors.end(), pred), workCursors.end());
}

int AnalyzerDataGen::forwardPick() const
{
    int best = 0;
    for (int i = 1; i < workCursors.size(); ++i)
        if (workCursors[i].startSample < workCursors[best].startSample)
            best = i;
    return best;
}

int AnalyzerDataGen::backwardPick()
{
    int best = -1;
    qint64 bestStart = 0;
    for (int i = 0; i < workCursors.size(); ++i) {
        FrameCursor const& c = workCursors[i];
        const qint64 s = c.results->GetFrame(c.frameIndex - 1).startSample;
        if (best < 0 || s > bestStart) {
            best = i;
            bestStart = s;
        }
    }
    return best;
}

// ---------------------------------------------------------------- restart

bool AnalyzerDataGen::restart()
{
    {
        QMutexLocker l(&lock);
        matcher.set(findText);
        winBegin = smpBegin;
        winEnd = smpEnd;
    }
    workCursors.clear();
    topCursors.clear();
    pageRows.clear();
    pageSmp.clear();
    beg = total = 0;
    if (winEnd == 0.0) {
        fillForward = true;
        counting = false;
        return false;
    }
    for (Analyzer* a : source.analyzers()) {
        AnalyzerResults* r = nullptr;
        if (!a || !a->GetAnalyzerResults(&r) || !r)
            continue;
        const quint64 n = r->GetNumFrames();
        if (n == 0)
            continue;
        FrameCursor c;
        c.results = r;
        c.frameCount = n;
        c.displayBase = validBase(source.displayFormat(a));
        c.slot = workCursors.size();
        workCursors.append(c);
    }
    topCursors = workCursors;
    QVector<bool> gone(workCursors.size(), false);
    for (int i = 0; i < workCursors.size(); ++i) {
        FrameCursor& c = workCursors[i];
        U64 first = 0, last = 0;
        // Frames added since the count was taken are not part of this list.
        if (c.results->GetFramesInRange(sampleOf(winBegin), sampleOf(winEnd), &first, &last) && first < c.frameCount) {
            setFrame(c, first);
        } else {
            setFrame(c, c.frameCount - 1);
            c.frameIndex = c.frameCount;
            gone[i] = true;
        }
        topCursors[i] = c;
    }
    removeWork([&gone](FrameCursor const& c) { return gone[c.slot]; });
    if (matcher.empty()) {
        for (FrameCursor const& c : topCursors) {
            total += qint64(c.frameCount);
            beg += qint64(c.frameIndex);
        }
    }
    fillForward = true;
    counting = false;
    publish(false);
    return true;
}

// ---------------------------------------------------------------- fill

bool AnalyzerDataGen::fillStep()
{
    if (workCursors.isEmpty()) {
        if (!fillForward)
            return false;
        // The rows after the page top are used up: fill up from above it.
        workCursors = topCursors;
        removeWork([](FrameCursor const& c) { return c.frameIndex == 0; });
        fillForward = false;
        if (workCursors.isEmpty())
            return false;
    }
    if (fillForward) {
        const int i = forwardPick();
        FrameCursor& c = workCursors[i];
        const char* t = textOf(c, c.frameIndex);
        if (matcher.matches(t)) {
            pageRows.append(QString::fromUtf8(t));
            pageSmp.append(qMakePair(c.startSample, c.endSample));
            if (!matcher.empty())
                total = std::max(total, beg + qint64(pageRows.size()));
        }
        if (c.frameIndex + 1 >= c.frameCount)
            workCursors.remove(i);
        else
            setFrame(c, c.frameIndex + 1);
        return true;
    }
    const int i = backwardPick();
    FrameCursor& c = workCursors[i];
    const quint64 idx = c.frameIndex - 1;
    const char* t = textOf(c, idx);
    setFrame(c, idx);
    if (matcher.matches(t)) {
        --beg;
        pageRows.prepend(QString::fromUtf8(t));
        pageSmp.prepend(qMakePair(c.startSample, c.endSample));
    }
    toTop(c);
    if (idx == 0)
        workCursors.remove(i);
    return true;
}

// ---------------------------------------------------------------- search total

bool AnalyzerDataGen::searchStep()
{
    if (!counting) {
        workCursors = topCursors;
        removeWork([](FrameCursor const& c) { return c.frameIndex >= c.frameCount; });
        counting = true;
        matchCount = 0;
        if (workCursors.isEmpty())
            return false;
    }
    // Only the number of matches counts here, not their order: the frames are
    // taken one analyzer after the other, without reading their samples.
    FrameCursor& c = workCursors[0];
    if (matcher.matches(textOf(c, c.frameIndex))) {
        ++matchCount;
        if (beg + matchCount > total)
            total = beg + matchCount;
        else
            emitTimer = clock();   // still inside what is known: no news
    }
    if (++c.frameIndex >= c.frameCount)
        workCursors.remove(0);
    // An unset timer counts as no time elapsed. The clock is read every few
    // frames only: it would cost as much as the match.
    if (emitTimer >= 0 && (++clockTick & 31) == 0) {
        const qint64 now = clock();
        if (now - emitTimer >= reportIntervalMs) {
            publish(false);
            emit listTotalChanged(beg, total, rowLimit());
            emitTimer = now;
        }
    }
    return true;
}

// ---------------------------------------------------------------- page move

AnalyzerDataGen::Move AnalyzerDataGen::movePage()
{
    qint64 target;
    {
        QMutexLocker l(&lock);
        target = newBegFrame;
    }
    if (topCursors.isEmpty() || winEnd == 0.0)
        return Move::Idle;
    const int rows = rowLimit();
    workCursors = topCursors;
    counting = false;
    if (target < beg) {
        const qint64 k = beg - target;
        addSelected(k);
        if (k < rows) {
            // Keep what stays on the page; the fill prepends k rows.
            if (pageRows.size() >= rows) {
                pageRows.erase(pageRows.end() - int(k), pageRows.end());
                pageSmp.erase(pageSmp.end() - int(k), pageSmp.end());
            }
        } else {
            pageRows.clear();
            pageSmp.clear();
            removeWork([](FrameCursor const& c) { return c.frameIndex == 0; });
            if (k > rows && skipBackward(k - rows) == Move::Interrupted) {
                workToTop();
                workCursors.clear();
                return Move::Interrupted;
            }
            workToTop();
        }
        workCursors.clear();
        fillForward = true;
        publish(false);
        return Move::Done;
    }
    const qint64 d = target - beg;
    pageRows.clear();
    pageSmp.clear();
    addSelected(-d);
    removeWork([](FrameCursor const& c) { return c.frameIndex >= c.frameCount; });
    const Move m = skipForward(d);
    if (m == Move::Interrupted) {
        workToTop();
        workCursors.clear();
        publish(false);
        return Move::Interrupted;
    }
    if (workCursors.isEmpty()) {
        fillForward = true;
        publish(false);
        return Move::Idle;   // the page stays empty
    }
    workToTop();
    fillForward = true;
    publish(false);
    return Move::Done;
}

AnalyzerDataGen::Move AnalyzerDataGen::skipForward(qint64 d)
{
    if (d <= 0)
        return Move::Done;
    if (matcher.empty()) {
        // Every row counts: find the new page top by search, not row by row.
        selectForward(d);
        return Move::Done;
    }
    for (qint64 skipped = 0; skipped < d;) {
        if (workCursors.isEmpty())
            return Move::Idle;
        if (interruptRequested())
            return Move::Interrupted;
        const int i = forwardPick();
        FrameCursor& c = workCursors[i];
        if (keep(c, c.frameIndex)) {
            ++beg;
            ++skipped;
        }
        if (c.frameIndex + 1 >= c.frameCount) {
            FrameCursor done = c;
            done.frameIndex = c.frameCount;
            toTop(done);
            workCursors.remove(i);
        } else {
            setFrame(c, c.frameIndex + 1);
        }
    }
    return Move::Done;
}

AnalyzerDataGen::Move AnalyzerDataGen::skipBackward(qint64 m)
{
    if (matcher.empty()) {
        selectBackward(m);
        return Move::Done;
    }
    for (qint64 skipped = 0; skipped < m;) {
        if (workCursors.isEmpty())
            return Move::Done;
        if (interruptRequested())
            return Move::Interrupted;
        const int i = backwardPick();
        FrameCursor& c = workCursors[i];
        const quint64 idx = c.frameIndex - 1;
        if (keep(c, idx)) {
            --beg;
            ++skipped;
        }
        setFrame(c, idx);
        if (idx == 0) {
            toTop(c);
            workCursors.remove(i);
        }
    }
    return Move::Done;
}

namespace {

// First index in [lo, hi) whose frame starts at s or later (strict: after s).
quint64 boundOf(AnalyzerResults* r, quint64 lo, quint64 hi, qint64 s, bool strict)
{
    while (lo < hi) {
        const quint64 mid = lo + (hi - lo) / 2;
        const qint64 v = r->GetFrame(mid).startSample;
        if (strict ? v <= s : v < s)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace

// The rows from the page top on are the frames after each cursor, ordered by
// start sample and, on equal starts, by analyzer (one frame per analyzer can
// start at a sample). The d-th of them starts at the smallest sample s with
// more than d frames starting at or before s.
void AnalyzerDataGen::selectForward(qint64 d)
{
    qint64 remaining = 0;
    for (FrameCursor const& c : workCursors)
        remaining += qint64(c.frameCount - c.frameIndex);
    if (d >= remaining) {
        for (FrameCursor c : workCursors) {
            setFrame(c, c.frameCount - 1);
            c.frameIndex = c.frameCount;
            toTop(c);
        }
        beg += remaining;
        workCursors.clear();
        return;
    }
    auto countUpTo = [this](qint64 s) {
        qint64 n = 0;
        for (FrameCursor const& c : workCursors)
            n += qint64(boundOf(c.results, c.frameIndex, c.frameCount, s, true) - c.frameIndex);
        return n;
    };
    qint64 lo = workCursors[0].startSample, hi = lo;
    for (FrameCursor const& c : workCursors) {
        lo = std::min(lo, c.startSample);
        hi = std::max(hi, qint64(c.results->GetFrame(c.frameCount - 1).startSample));
    }
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (countUpTo(mid) > d)
            hi = mid;
        else
            lo = mid + 1;
    }
    QVector<quint64> next(workCursors.size());
    qint64 before = 0;
    for (int i = 0; i < workCursors.size(); ++i) {
        FrameCursor const& c = workCursors[i];
        next[i] = boundOf(c.results, c.frameIndex, c.frameCount, lo, false);
        before += qint64(next[i] - c.frameIndex);
    }
    for (int i = 0; i < workCursors.size() && before < d; ++i) {
        FrameCursor const& c = workCursors[i];
        if (next[i] < c.frameCount && c.results->GetFrame(next[i]).startSample == lo) {
            ++next[i];
            ++before;
        }
    }
    for (int i = workCursors.size() - 1; i >= 0; --i) {
        FrameCursor& c = workCursors[i];
        if (next[i] >= c.frameCount) {
            FrameCursor done = c;
            setFrame(done, c.frameCount - 1);
            done.frameIndex = c.frameCount;
            toTop(done);
            workCursors.remove(i);
        } else {
            setFrame(c, next[i]);
        }
    }
    beg += d;
}

// Going up, the rows before the page top come latest start first and, on
// equal starts, earlier analyzer first. The m-th of them starts at the
// largest sample s with more than m frames starting at or after s.
void AnalyzerDataGen::selectBackward(qint64 m)
{
    qint64 before = 0;
    for (FrameCursor const& c : workCursors)
        before += qint64(c.frameIndex);
    if (m >= before) {
        for (FrameCursor c : workCursors) {
            setFrame(c, 0);
            toTop(c);
        }
        beg -= before;
        workCursors.clear();
        return;
    }
    auto countFrom = [this](qint64 s) {
        qint64 n = 0;
        for (FrameCursor const& c : workCursors)
            n += qint64(c.frameIndex - boundOf(c.results, 0, c.frameIndex, s, false));
        return n;
    };
    qint64 lo = 0, hi = 0;
    bool first = true;
    for (FrameCursor const& c : workCursors) {
        const qint64 a = qint64(c.results->GetFrame(0).startSample);
        const qint64 b = qint64(c.results->GetFrame(c.frameIndex - 1).startSample);
        lo = first ? a : std::min(lo, a);
        hi = first ? b : std::max(hi, b);
        first = false;
    }
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo + 1) / 2;
        if (countFrom(mid) > m)
            lo = mid;
        else
            hi = mid - 1;
    }
    QVector<quint64> keepN(workCursors.size());
    qint64 taken = 0;
    for (int i = 0; i < workCursors.size(); ++i) {
        FrameCursor const& c = workCursors[i];
        keepN[i] = boundOf(c.results, 0, c.frameIndex, lo, true);
        taken += qint64(c.frameIndex - keepN[i]);
    }
    for (int i = 0; i < workCursors.size() && taken < m; ++i) {
        FrameCursor const& c = workCursors[i];
        if (keepN[i] > 0 && c.results->GetFrame(keepN[i] - 1).startSample == lo) {
            --keepN[i];
            ++taken;
        }
    }
    for (int i = workCursors.size() - 1; i >= 0; --i) {
        FrameCursor& c = workCursors[i];
        setFrame(c, keepN[i]);
        if (keepN[i] == 0) {
            toTop(c);
            workCursors.remove(i);
        }
    }
    beg -= m;
}
