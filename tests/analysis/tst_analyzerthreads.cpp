// Decoding and export threads of the analyzer host: one run and its
// report, restarts, stops of running and parked workers, late reports,
// exports beside captures, and the handshake with the list thread.

#include "analysistesthelp.h"

#include "analysis/analyzerprogmng.h"
#include "analysis/exportdatapromng.h"
#include "libanalyzer/analyzer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace anlytest;

namespace {

const QStringList kPlugins = {"libTstA.so", "libTstB.so"};
const QString kLib = "libTstA.so";

QByteArray tst(int input, int restarts = 0, int work = 0, int burst = 1)
{
    return "TST,1,input=" + QByteArray::number(input) + ",clock=none,restarts=" + QByteArray::number(restarts)
        + ",work=" + QByteArray::number(work) + ",burst=" + QByteArray::number(burst);
}

U64 frames(Analyzer* a)
{
    AnalyzerResults* r = nullptr;
    a->GetAnalyzerResults(&r);
    return r ? r->GetNumFrames() : 0;
}

// Waits for a worker to park without running the event loop, so its
// end-of-run report stays queued.
bool waitParked(AnalyzerProgMng* p)
{
    QElapsedTimer t;
    t.start();
    while (!p->isParked()) {
        if (t.elapsed() > 20000)
            return false;
        QThread::usleep(200);
    }
    return true;
}

int lineCount(QString const& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().count('\n');
}

}  // namespace

class TstAnalyzerThreads : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noAnalyzerStillHandshakes();
    void oneReportPerRun();
    void restartWithoutInit();
    void stopWithoutWorker();
    void clearWithoutAnalyzer();
    void decodeRestartsOnNewCapture();
    void exportFileAndProgress();
    void exportRefused();
    void simulationCopies();
    void secondExportWhileFirstEnds();
    void shutdownWhileBusy();
    void unansweredHandshakeChangesNothing();

    void stressStopParked();
    void stressRemoveWhileReportQueued();
    void stressNewRunWhileReportQueued();
    void stressOwnAcknowledgement();
    void stressCaptureDuringExport();

private:
    TempEnv* env = nullptr;
    DeviceGuard* dev = nullptr;
    AnalyzerManager* mgr = nullptr;
    ListThread* list = nullptr;
};

void TstAnalyzerThreads::init()
{
    resetSettings();
    env = new TempEnv;
    installPlugins(*env, kPlugins);
    dev = new DeviceGuard(0);
    putCapture(100000, 50);
    mgr = new AnalyzerManager;
    list = new ListThread(mgr);
    connect(mgr, &AnalyzerManager::analyzerDecodedChanged, list, [this]() { list->request(); });
}

void TstAnalyzerThreads::cleanup()
{
    AnalyzerManager::handshakeTimeoutMs = 5000;
    if (list)
        list->stalled = false;
    delete mgr;   // the list thread still runs: shutdown completes the handshake
    delete list;
    delete dev;
    delete env;
    mgr = nullptr;
    list = nullptr;
    dev = nullptr;
    env = nullptr;
}

void TstAnalyzerThreads::noAnalyzerStillHandshakes()
{
    const int before = list->handshakes;
    mgr->startDecode();
    QCOMPARE(list->handshakes.load(), before + 1);
    QVERIFY(!AnalyzerManager::isModifyBusy());
}

void TstAnalyzerThreads::oneReportPerRun()
{
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, 5));
    QVERIFY(a);
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    const int runs = pluginCounter(kLib, "TstRuns");
    for (int k = 1; k <= 3; ++k) {
        mgr->startDecode();
        QVERIFY(decoded.wait(10000));
        QTRY_VERIFY(!mgr->anlyThreadIsRuning(0));
        QCoreApplication::processEvents();
        QCOMPARE(decoded.count(), k);
        QCOMPARE(frames(a), U64(5));
    }
    QCOMPARE(pluginCounter(kLib, "TstRuns"), runs + 3);
    // The capture record follows the displayed store.
    QCOMPARE(mgr->dataForAnly.smpCount, 100000LL);
    QCOMPARE(mgr->dataForAnly.chnNum, 16);
    QCOMPARE(mgr->dataForAnly.devModelWord, tavModelWord(0));
}

void TstAnalyzerThreads::restartWithoutInit()
{
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 2, 3));
    QVERIFY(a);
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    const int runs = pluginCounter(kLib, "TstRuns");
    mgr->startDecode();
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 3, 10000);
    QTRY_VERIFY(!mgr->anlyThreadIsRuning(0));
    QCoreApplication::processEvents();
    QCOMPARE(decoded.count(), 3);
    QCOMPARE(pluginCounter(kLib, "TstRuns"), runs + 3);
    // Init limits the channels to the capture's 16; the restarted runs kept
    // the limit the first run left, so no Init came between.
    QCOMPARE(pluginCounter(kLib, "TstLastLimit"), 64);
    mgr->startDecode();
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 4, 10000);
    QCOMPARE(frames(a), U64(3));
}

void TstAnalyzerThreads::stopWithoutWorker()
{
    QVERIFY(addAnalyzer(*mgr, 0, tst(1)));
    QVERIFY(!mgr->anlyThreadIsRuning(0));
    AnalyzerManager::stopAllAnalyzer();   // nothing runs: returns at once
    QVERIFY(!mgr->anlyThreadIsRuning(0));
    mgr->stopAnlyThread(0);
    mgr->stopAnlyThread(5);
    QVERIFY(!AnalyzerManager::isInterruptAnly());
}

void TstAnalyzerThreads::clearWithoutAnalyzer()
{
    const int before = list->handshakes;
    AnalyzerManager::clearAnalyzerResult();
    QCOMPARE(list->handshakes.load(), before);

    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, 4));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    mgr->startDecode();
    QVERIFY(decoded.wait(10000));
    QCOMPARE(frames(a), U64(4));
    const int h = list->handshakes;
    AnalyzerManager::clearAnalyzerResult();
    QCOMPARE(list->handshakes.load(), h + 1);
    QCOMPARE(frames(a), U64(0));
}

void TstAnalyzerThreads::decodeRestartsOnNewCapture()
{
    // A worker that never ends by itself is stopped before the record is
    // refilled for the next capture.
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, -1));
    QVERIFY(a);
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    for (int k = 0; k < 20; ++k) {
        mgr->startDecode();
        QVERIFY(mgr->anlyThreadIsRuning(0));
        putCapture(1000 + k, 10);
    }
    mgr->startDecode();
    QCOMPARE(mgr->dataForAnly.smpCount, 1019LL);
    AnalyzerManager::stopAllAnalyzer();
    QVERIFY(!mgr->anlyThreadIsRuning(0));
    QCoreApplication::processEvents();
    QCOMPARE(decoded.count(), 0);   // stops on request report nothing
}

void TstAnalyzerThreads::exportFileAndProgress()
{
    QCOMPARE(AnalyzerManager::getExportFileProgress(), 100);
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, 50));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    mgr->startDecode();
    QVERIFY(decoded.wait(10000));
    QTRY_VERIFY(!mgr->anlyThreadIsRuning(0));
    AnalyzerResults* r = nullptr;
    a->GetAnalyzerResults(&r);
    const QString path = env->path("out.txt");
    QVERIFY(AnalyzerManager::exportAnlyDataFile(r, path, DisplayHex, 0));
    QTRY_COMPARE(AnalyzerManager::getExportFileProgress(), 100);
    QTRY_VERIFY(mgr->findChildren<QThread*>().isEmpty());   // the export object is gone
    QCOMPARE(AnalyzerManager::getExportFileProgress(), 100);
    QCOMPARE(lineCount(path), 51);   // head line and one line per frame
}

void TstAnalyzerThreads::exportRefused()
{
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, -1));
    AnalyzerResults* r = nullptr;
    a->GetAnalyzerResults(&r);
    mgr->startDecode();
    // Decoding: refused.
    QVERIFY(!AnalyzerManager::exportAnlyDataFile(r, env->path("a.txt"), DisplayHex, 0));
    AnalyzerManager::stopAllAnalyzer();
    // Results of no analyzer in use: refused.
    Analyzer* loose = mgr->getNewAnalyzer(0);
    AnalyzerResults* lr = nullptr;
    loose->GetAnalyzerResults(&lr);
    QVERIFY(!AnalyzerManager::exportAnlyDataFile(lr, env->path("b.txt"), DisplayHex, 0));
    mgr->files()[0].destroyAnalyzer(loose);
    QVERIFY(AnalyzerManager::exportAnlyDataFile(r, env->path("c.txt"), DisplayHex, 0));
    QTRY_VERIFY(mgr->findChildren<QThread*>().isEmpty());
    QVERIFY(QFile::exists(env->path("c.txt")));
    QVERIFY(!QFile::exists(env->path("a.txt")));
}

void TstAnalyzerThreads::simulationCopies()
{
    Analyzer* a = addAnalyzer(*mgr, 0, tst(4, 0, 6));
    QVERIFY(addAnalyzer(*mgr, 1, tst(9)));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    mgr->startDecode();
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 2, 10000);
    const int live = pluginCounter(kLib, "TstLiveInstances");
    QVector<SimuAnalyzer> sims = AnalyzerManager::getAllSimuAnalyzers(1000000);
    // Made on the demo thread: the results in use are left alone (the
    // capture start has cleared them on the user-interface thread).
    QCOMPARE(frames(a), U64(6));
    QCOMPARE(sims.size(), 2);
    QCOMPARE(pluginCounter(kLib, "TstLiveInstances"), live + 1);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(QString(sims[i].analyzer->GetAnalyzerSettings()->SaveToText()),
                 QString(mgr->getUsingAnalyzer(i)->GetAnalyzerSettings()->SaveToText()));
    // The copies outlive a change of the list: each is freed by its own plug-in.
    mgr->removeAllUsing();
    AnalyzerManager::deleteSimuAnalyzers(sims);
    QVERIFY(sims.isEmpty());
    QCOMPARE(pluginCounter(kLib, "TstLiveInstances"), live - 1);
}

void TstAnalyzerThreads::secondExportWhileFirstEnds()
{
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, 300));
    Analyzer* b = addAnalyzer(*mgr, 1, tst(2, 0, 20, 10000));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    mgr->startDecode();
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 2, 10000);
    QTRY_VERIFY(!mgr->anlyThreadIsRuning(0) && !mgr->anlyThreadIsRuning(1));
    AnalyzerResults* ra = nullptr;
    AnalyzerResults* rb = nullptr;
    a->GetAnalyzerResults(&ra);
    b->GetAnalyzerResults(&rb);

    QVERIFY(AnalyzerManager::exportAnlyDataFile(ra, env->path("a.txt"), DisplayHex, 0));
    // The first export's thread ends; its deletion is still queued.
    const QList<ExportDataProMng*> first = mgr->findChildren<ExportDataProMng*>();
    QCOMPARE(first.size(), 1);
    QVERIFY(first[0]->wait(20000));
    QVERIFY(AnalyzerManager::exportAnlyDataFile(rb, env->path("b.txt"), DisplayHex, 0));
    ExportDataProMng* second = nullptr;
    for (ExportDataProMng* e : mgr->findChildren<ExportDataProMng*>())
        if (e != first[0])
            second = e;
    QVERIFY(second);
    // While the second one runs a third is refused: still running after the
    // call means running during it.
    const bool third = AnalyzerManager::exportAnlyDataFile(ra, env->path("c.txt"), DisplayHex, 0);
    if (second->isRunning())
        QVERIFY(!third);
    // The first one's deletion takes the first one only.
    QTRY_VERIFY(mgr->findChildren<ExportDataProMng*>().isEmpty());
    QCOMPARE(lineCount(env->path("a.txt")), 301);
    QCOMPARE(lineCount(env->path("b.txt")), 200001);
    QCOMPARE(AnalyzerManager::getExportFileProgress(), 100);
}

void TstAnalyzerThreads::shutdownWhileBusy()
{
    // Exporting, decoding and parked at once when the host goes.
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, 400));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    mgr->startDecode(0);
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 1, 10000);
    QTRY_VERIFY(!mgr->anlyThreadIsRuning(0));
    QVERIFY(addAnalyzer(*mgr, 0, tst(2, 0, -1)));
    QVERIFY(addAnalyzer(*mgr, 0, tst(3, 0, 0)));
    mgr->startDecode(1);
    mgr->startDecode(2);
    AnalyzerResults* ra = nullptr;
    a->GetAnalyzerResults(&ra);
    QVERIFY(AnalyzerManager::exportAnlyDataFile(ra, env->path("a.txt"), DisplayHex, 0));
    QVERIFY(waitParked(mgr->getProgMng(2)));
    QVERIFY(mgr->anlyThreadIsRuning(1));
    const int live = pluginCounter(kLib, "TstLiveInstances");
    delete mgr;
    mgr = nullptr;
    QCOMPARE(pluginCounter(kLib, "TstLiveInstances"), live - 3);
    QCoreApplication::processEvents();
}

void TstAnalyzerThreads::unansweredHandshakeChangesNothing()
{
    // A list thread that does not answer: every change is refused with
    // false after the bound instead of freezing the user interface, and
    // nothing the list thread may hold is touched.
    Analyzer* a = addAnalyzer(*mgr, 0, tst(1, 0, 400), false);
    QVERIFY(a);
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    AnalyzerManager::handshakeTimeoutMs = 50;
    list->stalled = true;
    QVERIFY(!mgr->startDecode());
    QVERIFY(!mgr->restartDecode(0));
    QVERIFY(!mgr->removeUsing(0));
    QVERIFY(!mgr->removeAllUsing());
    QVERIFY(!mgr->setUsingDisplayFormat(0, 1));
    QVERIFY(!AnalyzerManager::setProtocolShow(0));
    QCOMPARE(mgr->usingCount(), 1);
    QCOMPARE(mgr->getUsingAnalyzer(0), a);
    QCOMPARE(mgr->getUsingDisplayFormat(0), 2);
    QCOMPARE(AnalyzerManager::getEnaAnalyzers().size(), 1);
    QVERIFY(!mgr->anlyThreadIsRuning(0));

    // Answering again, the same requests go through.
    list->stalled = false;
    AnalyzerManager::handshakeTimeoutMs = 5000;
    QVERIFY(mgr->startDecode());
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 1, 10000);
    QVERIFY(mgr->removeUsing(0));
    QCOMPARE(mgr->usingCount(), 0);
}

void TstAnalyzerThreads::stressStopParked()
{
    QVERIFY(addAnalyzer(*mgr, 0, tst(1, 0, 0)));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    int parkedStops = 0;
    for (int k = 0; k < 300; ++k) {
        mgr->startDecode();
        if (k % 2 == 0) {
            // Let it finish and park; its report stays queued.
            QVERIFY(waitParked(mgr->getProgMng(0)));
            ++parkedStops;
        }
        AnalyzerManager::stopAllAnalyzer();
        QVERIFY(!mgr->anlyThreadIsRuning(0));
    }
    QCoreApplication::processEvents();
    QCOMPARE(parkedStops, 150);
    QCOMPARE(decoded.count(), 0);   // every late report was stale
}

void TstAnalyzerThreads::stressRemoveWhileReportQueued()
{
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    for (int k = 0; k < 100; ++k) {
        QVERIFY(addAnalyzer(*mgr, k % 2, tst(k % 16, 0, k % 3)));
        mgr->startDecode();
        QVERIFY(waitParked(mgr->getProgMng(0)));
        mgr->removeUsing(0);
        QCoreApplication::processEvents();
    }
    QCOMPARE(decoded.count(), 0);
    QCOMPARE(mgr->usingCount(), 0);
}

void TstAnalyzerThreads::stressNewRunWhileReportQueued()
{
    QVERIFY(addAnalyzer(*mgr, 0, tst(2, 0, 1)));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    for (int k = 0; k < 100; ++k) {
        mgr->startDecode();
        QVERIFY(waitParked(mgr->getProgMng(0)));
        // A new capture: the old report must not end or restart the new run.
        AnalyzerManager::stopAllAnalyzer();
        AnalyzerManager::clearAnalyzerResult();
        mgr->startDecode();
        QVERIFY(waitParked(mgr->getProgMng(0)));
        QCoreApplication::processEvents();
        QTRY_VERIFY(!mgr->anlyThreadIsRuning(0));
        QCOMPARE(decoded.count(), k + 1);
    }
}

void TstAnalyzerThreads::stressOwnAcknowledgement()
{
    // Worker 0 never ends by itself; worker 1 ends at once. Stopping 0 while
    // 1 reports its end must neither hang nor swallow 1's report.
    QVERIFY(addAnalyzer(*mgr, 0, tst(1, 0, -1)));
    QVERIFY(addAnalyzer(*mgr, 1, tst(2, 0, 0)));
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    for (int k = 0; k < 100; ++k) {
        mgr->startDecode();
        mgr->stopAnlyThread(0);
        QVERIFY(!mgr->anlyThreadIsRuning(0));
        QTRY_COMPARE(decoded.count(), k + 1);
        QTRY_VERIFY(!mgr->anlyThreadIsRuning(1));
    }
}

void TstAnalyzerThreads::stressCaptureDuringExport()
{
    QVERIFY(addAnalyzer(*mgr, 0, tst(1, 0, 400)));
    Analyzer* a = mgr->getUsingAnalyzer(0);
    QSignalSpy decoded(mgr, &AnalyzerManager::analyzerDecodedChanged);
    int started = 0;
    for (int k = 0; k < 40; ++k) {
        mgr->startDecode();
        QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), k + 1, 10000);
        QTRY_VERIFY(!mgr->anlyThreadIsRuning(0));
        AnalyzerResults* r = nullptr;
        a->GetAnalyzerResults(&r);
        const QString path = env->path("x" + QString::number(k) + ".txt");
        if (AnalyzerManager::exportAnlyDataFile(r, path, DisplayHex, 0))
            ++started;
        if (k % 3 == 1)
            QTest::qWait(1);
        // The capture start sequence; the export reads the results being reset.
        AnalyzerManager::stopAllAnalyzer();
        AnalyzerManager::clearAnalyzerResult();
        QCOMPARE(AnalyzerManager::getExportFileProgress(), 100);
        QCOMPARE(frames(a), U64(0));
        if (k % 4 == 0) {
            mgr->removeUsing(0);
            QVERIFY(addAnalyzer(*mgr, 0, tst(1, 0, 400)));
            a = mgr->getUsingAnalyzer(0);
        }
    }
    QCOMPARE(started, 40);
    QTRY_VERIFY(mgr->findChildren<QThread*>().isEmpty());
}

QTEST_GUILESS_MAIN(TstAnalyzerThreads)
#include "tst_analyzerthreads.moc"
