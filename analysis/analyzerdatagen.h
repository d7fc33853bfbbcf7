#pragma once
// The worker behind the decoded-results list. It merges the frames of every
// shown analyzer into one list in time order but keeps only the page the
// panel shows, the page's place in the whole list and the list's length.
// Requests (restart, page move) come from the user-interface thread as a flag
// plus data and one semaphore permit; the thread serves them a step at a
// time, so a newer request, the host's change handshake or the end of the
// program is seen within one step.
//
// Shared with the user-interface thread: the request flags (atomic) and the
// request data, the totals and the sample pairs of the page (under `lock`,
// held only to copy them). Everything else belongs to the thread.

#include "libanalyzer/analyzertypes.h"

#include <QMutex>
#include <QPair>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>

class Analyzer;
class AnalyzerManager;
class AnalyzerResults;

class AnalyzerDataGen : public QThread
{
    Q_OBJECT

public:
    // Where the rows come from; empty members mean the host's shown analyzers
    // and their display formats.
    struct Source {
        std::function<QVector<Analyzer*>()> analyzers;
        std::function<int(Analyzer*)> displayFormat;
    };
    // Milliseconds of a steady clock; paces the progress reports of a search.
    using Clock = std::function<qint64()>;

    static constexpr int reportIntervalMs = 51;

    // Starts the thread. The host's modifyPrepared() wakes it for the handshake.
    explicit AnalyzerDataGen(AnalyzerManager* manager, QObject* parent = nullptr, Source source = Source(),
                             Clock clock = Clock());
    // Ends the thread at its next step and joins it.
    ~AnalyzerDataGen() override;

    // A new list of the rows of the window [t0, t1] (t1 0: no capture) that
    // contain text, ignoring case. It drops the selection, unless keepSelection:
    // then the selected frame is selected again where the new list shows it.
    void reStart(QString const& text, double t0, double t1, bool keepSelection = false);
    void setSelected(int row);
    // Start and end sample of the frame in a row of the last page reported;
    // (0, 0) and *ok false when the row is not on it.
    QPair<qint64, qint64> getSmpPoint(int row, bool* ok = nullptr) const;
    // Waiting for a request with none pending: every request made so far has
    // been answered (its signals are emitted).
    bool isIdle() const;

public slots:
    void begFrameChanged(qlonglong index);
    void slotRowNumChanged(int rowNum);
    void slotModifyPrepare();

signals:
    void listChanged(QStringList list, bool isSelected, int selectedListRow);
    void listTotalChanged(qlonglong index, qlonglong max, int pageNum);

protected:
    void run() override;

private:
    // The merge position in one analyzer's frames.
    struct FrameCursor {
        AnalyzerResults* results = nullptr;
        quint64 frameIndex = 0;
        quint64 frameCount = 0;
        qint64 startSample = 0;
        qint64 endSample = 0;
        DisplayBase displayBase = DisplayHex;
        int slot = 0;   // index of this analyzer's page-top cursor
    };
    // A search text, matched ignoring case.
    struct Matcher {
        QString text;
        QByteArray asciiLower;   // the text in lower case when it is plain ASCII
        bool ascii = false;
        void set(QString const& t);
        bool empty() const { return text.isEmpty(); }
        bool matches(const char* utf8) const;
    };
    enum class Move { Idle, Done, Interrupted };

    // Thread side.
    bool interruptRequested() const;
    bool restart();
    Move movePage();
    bool fillStep();
    bool searchStep();
    void pageReport();
    void report();
    void idlePoint();
    int rowLimit() const;
    void addSelected(qint64 delta);
    // Under lock: selects the row of the page that holds the kept frame.
    void reselect();
    void publish(bool withPoints);

    int forwardPick() const;
    int backwardPick();
    const char* textOf(FrameCursor const& c, quint64 index) const;
    bool keep(FrameCursor const& c, quint64 index) const;
    static void setFrame(FrameCursor& c, quint64 index);
    void toTop(FrameCursor const& c);
    void workToTop();
    void removeWork(std::function<bool(FrameCursor const&)> pred);
    // Skips rows; false when the list ended (forward) or a request came in.
    Move skipForward(qint64 d);
    Move skipBackward(qint64 m);
    void selectForward(qint64 d);
    void selectBackward(qint64 m);

    AnalyzerManager* manager;
    Source source;
    Clock clock;

    std::atomic<bool> threadExit{false};
    std::atomic<bool> begFrameChg{false};
    std::atomic<bool> restartReq{false};
    std::atomic<bool> waiting{false};
    QSemaphore reqSem;

    // Shared, under lock.
    mutable QMutex lock;
    bool isSelected = false;
    qint64 selectedListRow = -1;
    // The selected frame's samples, found again in the page after a restart
    // that keeps the selection.
    QPair<qint64, qint64> selectedFrame;
    bool selectedFrameKnown = false;
    bool reselectPending = false;
    QString findText;
    double smpBegin = 0;
    double smpEnd = 0;
    qint64 begFrame = 0;
    qint64 totalFrame = 0;
    qint64 newBegFrame = 0;
    std::atomic<int> rowNum{0};   // read by the thread every step
    QVector<QPair<qint64, qint64>> rowSmpPoints;

    // The thread's own.
    Matcher matcher;
    double winBegin = 0;
    double winEnd = 0;
    qint64 beg = 0;
    qint64 total = 0;
    QVector<FrameCursor> topCursors;
    QVector<FrameCursor> workCursors;
    QStringList pageRows;
    QVector<QPair<qint64, qint64>> pageSmp;
    bool fillForward = true;
    bool counting = false;
    qint64 matchCount = 0;
    qint64 emitTimer = -1;   // clock value when the timer was last restarted; -1 unset
    unsigned clockTick = 0;
};
