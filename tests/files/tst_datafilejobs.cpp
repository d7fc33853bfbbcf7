// Jobs of DataFile as a whole: size thresholds of the thread, progress, Cancel
// (from the worker and from the dialog), write failures on a full disk.
#include "filetesthelp.h"

#include "core/config.h"
#include "core/lang.h"
#include "common/filesizelimit.h"
#include "common/tempenv.h"
#include "files/datafile.h"
#include "widgets/myprogressdlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// Channel 0 with an edge at every sample from 1 to edges; count edges + 1.
void fillDense(SmpData& s, long long edges, long long count = -1)
{
    const int chn = 0;
    if (count < 0)
        count = edges + 1;
    Sel ena{};
    ena[size_t(chn)] = true;
    QVERIFY(s.dataConvertStart(0, 100000000, ena.data()));
    DigitalChnData* d = s.chnData[size_t(chn)];
    for (long long p = 1; p <= edges; ++p) {
        if (!SmpData::appendEntry(d, p))
            QFAIL("out of memory");
    }
    s.smpCount = count;
    QVERIFY(s.dataConvertComplete(count));
    s.trgPosition = 3;
}

// A block of one channel section with records 1..n (count n), after an
// offset bytes long stand-in for the settings head.
QByteArray denseFile(int offset, long long n, const char* magic = "vtdat")
{
    QByteArray b(int(offset + 40 + 16 + 5 * n), 0);
    b.replace(offset, 5, magic, 5);
    wr40(b, offset + 8, n);
    wr40(b, offset + 16, 100000000);
    b[offset + 32] = 16;
    const long long sec = offset + 40;
    b.replace(int(sec), 3, "##D", 3);
    wr40(b, sec + 8, n);
    for (long long i = 1; i <= n; ++i)
        wr40(b, sec + 16 + 5 * (i - 1), i);
    return b;
}

RefCapture smallOther()
{
    RefCapture r;
    r.chnNum = 16;
    r.count = 77;
    r.rate = 5000;
    r.trigger = 9;
    r.chn.resize(16);
    r.chn[3] = {true, 1, {10, 20, 30}};
    return r;
}

// Checks a progress sequence: at most 101 reports, increasing, ending in 100.
bool progressSane(const QSignalSpy& spy, QString* why)
{
    if (spy.count() > 101 || spy.isEmpty()) {
        *why = QString("%1 reports").arg(spy.count());
        return false;
    }
    int last = -1;
    for (const QList<QVariant>& args : spy) {
        const int v = args.at(0).toInt();
        if (v <= last || v > 100) {
            *why = QString("%1 after %2").arg(v).arg(last);
            return false;
        }
        last = v;
    }
    if (last != 100) {
        *why = "no closing 100";
        return false;
    }
    return true;
}

} // namespace

class TstDataFileJobs : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;
    QString dir() const { return env->path(QStringLiteral("out")); }
    QString target(const QString& name) const { return dir() + QLatin1Char('/') + name; }

private slots:
    void init()
    {
        env.reset(new TempEnv);
        QDir().mkpath(dir());
        Lang::load(QStringLiteral("en-US"));
        Config::loadDefaultConfig();
    }
    void cleanup() { env.reset(); }

    void saveThreshold_data()
    {
        QTest::addColumn<long long>("records");
        QTest::addColumn<bool>("noThread");
        QTest::addColumn<bool>("threaded");
        QTest::newRow("9,999,999 records") << 9999999LL << false << false;
        QTest::newRow("10,000,000 records") << 10000000LL << false << true;
        QTest::newRow("10,000,000 records, no thread") << 10000000LL << true << false;
    }
    void saveThreshold()
    {
        QFETCH(long long, records);
        QFETCH(bool, noThread);
        QFETCH(bool, threaded);
        SmpData s(16);
        fillDense(s, records - 1);
        Sel sel{};
        sel[0] = true;
        const QString p = target("big.vtdat");
        DataFile df;
        df.smpData = &s;
        QSignalSpy spy(&df, &DataFile::sigReportProgress);
        QVERIFY(df.saveData(p, QByteArray("<settings/>"), sel.data(), 0, records, noThread));
        QCOMPARE(df.inThread, threaded);
        QCOMPARE(df.totalRecordNum, records);
        QCOMPARE(QFileInfo(p).size(), qint64(11 + 40 + 16 + 5 * records));
        QString why;
        QVERIFY2(progressSane(spy, &why), qPrintable(why));
        if (threaded)
            QVERIFY(spy.count() > 5);   // reports in whole percent while it works
        else
            QCOMPARE(spy.count(), 1);
        QCOMPARE(folderEntries(dir()), QStringList{"big.vtdat"});
    }

    // The file size decides; the dialog closes by itself at the end.
    void loadThreshold_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("threaded");
        QTest::newRow("49,999,999 bytes") << 3 << false;
        QTest::newRow("50,000,000 bytes") << 4 << true;
    }
    void loadThreshold()
    {
        QFETCH(int, offset);
        QFETCH(bool, threaded);
        const long long n = 9999988;
        const QByteArray file = denseFile(offset, n);
        QCOMPARE(file.size(), 49999996 + offset);
        const QString p = target("big.vtdat");
        QVERIFY(writeFile(p, file));
        SmpData s(16);
        DataFile df;
        df.smpData = &s;
        QSignalSpy spy(&df, &DataFile::sigReportProgress);
        // The first report reaches the dialog before any that closes it.
        QString title, message;
        // Queued to df, so that nothing left in the queue outlives this test.
        connect(&df, &DataFile::sigReportProgress, &df, [&](int) {
            auto* dlg = qobject_cast<MyProgressDlg*>(QApplication::activeModalWidget());
            if (dlg && title.isEmpty()) {
                title = dlg->windowTitle();
                message = dlg->labelMsg->text();
            }
        }, Qt::QueuedConnection);
        QVERIFY(df.loadData(p, offset));
        QCOMPARE(df.inThread, threaded);
        QCOMPARE(title, threaded ? QStringLiteral("Open File") : QString());
        QCOMPARE(message, threaded ? QStringLiteral("Loading file, please wait...") : QString());
        QCOMPARE(s.smpCount, n);
        QCOMPARE(s.getTwoPointEdgeNum(0, 0, n - 1), n - 1);
        QCOMPARE(s.getPointLevel(0, n - 1), int((n - 1) & 1));
        QString why;
        QVERIFY2(progressSane(spy, &why), qPrintable(why));
        QCOMPARE(spy.count() > 1, threaded);
    }

    void exportThresholds_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<long long>("size");
        QTest::addColumn<bool>("noThread");
        QTest::addColumn<bool>("threaded");
        QTest::newRow("text 199,999 records") << true << 199999LL << false << false;
        QTest::newRow("text 200,000 records") << true << 200000LL << false << true;
        QTest::newRow("text 200,000 records, no thread") << true << 200000LL << true << false;
        QTest::newRow("binary 19,999,999 samples") << false << 19999999LL << false << false;
        QTest::newRow("binary 20,000,000 samples") << false << 20000000LL << false << true;
        QTest::newRow("binary 20,000,000 samples, no thread") << false << 20000000LL << true << false;
    }
    void exportThresholds()
    {
        QFETCH(bool, csv);
        QFETCH(long long, size);
        QFETCH(bool, noThread);
        QFETCH(bool, threaded);
        SmpData s(8);
        Sel sel{};
        sel[0] = true;
        DataFile df;
        df.smpData = &s;
        df.useDialog = false;
        QSignalSpy spy(&df, &DataFile::sigReportProgress);
        if (csv) {
            fillDense(s, size - 1);   // size records over the whole capture
            const QString p = target("big.csv");
            QVERIFY(df.exportCSV(p, sel.data(), 0, size, noThread));
            QCOMPARE(df.totalRecordNum, size);
            // Header and one row per sample.
            QCOMPARE(readAllOf(p).count('\n'), int(size + 1));
        } else {
            fillDense(s, 1000, 30000000);
            const QString p = target("big.bin");
            QVERIFY(df.exportBin(p, sel.data(), 0, size - 1, noThread));
            QCOMPARE(df.totalSmpNum, size);
            QCOMPARE(QFileInfo(p).size(), qint64(size));
        }
        QCOMPARE(df.inThread, threaded);
        QString why;
        QVERIFY2(progressSane(spy, &why), qPrintable(why));
    }

    // Cancel from the worker's side: no partial file, the old one stays.
    void cancelThreadedSave()
    {
        SmpData s(16);
        fillDense(s, 12000000);
        Sel sel{};
        sel[0] = true;
        const QString p = target("keep.vtdat");
        QVERIFY(writeFile(p, "the user's old file"));
        DataFile df;
        df.smpData = &s;
        df.useDialog = false;
        connect(&df, &DataFile::sigReportProgress, &df, [&df](int v) {
            if (v < 100)
                df.cancel();
        }, Qt::DirectConnection);
        QVERIFY(!df.saveData(p, QByteArray("<settings/>"), sel.data(), 0, 12000000, false));
        QVERIFY(df.inThread);
        QCOMPARE(readAllOf(p), QByteArray("the user's old file"));
        QCOMPARE(folderEntries(dir()), QStringList{"keep.vtdat"});
    }

    // Cancel with the dialog's button while the worker waits for it.
    void cancelFromDialog()
    {
        SmpData s(16);
        fillDense(s, 12000000);
        Sel sel{};
        sel[0] = true;
        const QString p = target("keep.csv");
        QVERIFY(writeFile(p, "old"));
        DataFile df;
        df.smpData = &s;
        QSemaphore clicked;
        bool first = true;
        QString title, message;
        // The worker stops after its first report until the button was pressed.
        connect(&df, &DataFile::sigReportProgress, &df, [&](int v) {
            if (v < 100 && first) {
                first = false;
                QMetaObject::invokeMethod(qApp, [&] {
                    auto* dlg = qobject_cast<MyProgressDlg*>(QApplication::activeModalWidget());
                    if (dlg) {
                        title = dlg->windowTitle();
                        message = dlg->labelMsg->text();
                        dlg->findChild<QPushButton*>()->click();
                    }
                    clicked.release();
                }, Qt::QueuedConnection);
                clicked.acquire();
            }
        }, Qt::DirectConnection);
        QVERIFY(!df.exportCSV(p, sel.data(), 0, 12000000, false));
        QVERIFY(df.inThread);
        QCOMPARE(title, QStringLiteral("Save File"));
        QCOMPARE(message, QStringLiteral("Saving file, please wait..."));
        QCOMPARE(readAllOf(p), QByteArray("old"));
        QCOMPARE(folderEntries(dir()), QStringList{"keep.csv"});
        QVERIFY(!QApplication::activeModalWidget());
    }

    // A cancelled load leaves the store as it was.
    void cancelThreadedLoad()
    {
        const QString p = target("big.vtdat");
        QVERIFY(writeFile(p, denseFile(4, 9999988)));
        SmpData s(16);
        fillStore(s, smallOther());
        const StoreImage before = StoreImage::of(s);
        DataFile df;
        df.smpData = &s;
        df.useDialog = false;
        connect(&df, &DataFile::sigReportProgress, &df, [&df](int v) {
            if (v < 100)
                df.cancel();
        }, Qt::DirectConnection);
        QVERIFY(!df.loadData(p, 4));
        QVERIFY(df.inThread);
        QVERIFY(StoreImage::of(s) == before);
    }

    // A head refused in the thread closes the dialog without the user.
    void refusedHeadClosesDialog_data()
    {
        QTest::addColumn<QByteArray>("magic");
        QTest::addColumn<int>("chnNum");
        QTest::newRow("wrong magic") << QByteArray("vtdms") << 16;
        QTest::newRow("other channel count") << QByteArray("vtdat") << 32;
    }
    void refusedHeadClosesDialog()
    {
        QFETCH(QByteArray, magic);
        QFETCH(int, chnNum);
        const QString p = target("bad.vtdat");
        QVERIFY(writeFile(p, denseFile(4, 9999988, magic.constData())));
        SmpData s(chnNum);
        fillStore(s, [&] {
            RefCapture r = smallOther();
            r.chnNum = chnNum;
            r.chn.resize(size_t(chnNum));
            return r;
        }());
        const StoreImage before = StoreImage::of(s);
        DataFile df;
        df.smpData = &s;
        // Only a guard against a hang: the verdict is whether we had to close it.
        bool closedByWatchdog = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [&] {
            if (auto* dlg = QApplication::activeModalWidget()) {
                closedByWatchdog = true;
                static_cast<QDialog*>(dlg)->reject();
            }
        });
        watchdog.start(120000);
        QVERIFY(!df.loadData(p, 4));
        QVERIFY(df.inThread);
        QVERIFY(!closedByWatchdog);
        QVERIFY(StoreImage::of(s) == before);
    }

    // Writes that fail on a full disk: false, the old file untouched.
    void diskFull_data()
    {
        QTest::addColumn<int>("job");   // 0 save, 1 threaded save, 2 text, 3 binary
        QTest::addColumn<long long>("limit");
        QTest::newRow("save") << 0 << 1000000LL;
        QTest::newRow("save, head does not fit") << 0 << 5LL;
        QTest::newRow("threaded save") << 1 << 20000000LL;
        QTest::newRow("text") << 2 << 1000000LL;
        QTest::newRow("binary") << 3 << 300000LL;
    }
    void diskFull()
    {
        QFETCH(int, job);
        QFETCH(long long, limit);
        SmpData s(16);
        fillDense(s, job == 1 ? 10000000 : 500000);
        Sel sel{};
        sel[0] = true;
        const QString p = target(job == 2 ? "keep.csv" : job == 3 ? "keep.bin" : "keep.vtdat");
        QVERIFY(writeFile(p, "old"));
        bool ok = true;
        bool threaded = false;
        {
            FileSizeLimit lim{rlim_t(limit)};
            QVERIFY(lim.ok);
            DataFile df;
            df.smpData = &s;
            const long long end = s.smpCount - 1;
            switch (job) {
            case 0:
            case 1:
                ok = df.saveData(p, QByteArray("<settings>0123456789</settings>"), sel.data(), 0, end, false);
                break;
            case 2:
                ok = df.exportCSV(p, sel.data(), 0, end, false);
                break;
            default:
                ok = df.exportBin(p, sel.data(), 0, end * 4, true);
                break;
            }
            threaded = df.inThread;
        }
        QVERIFY(!ok);
        QCOMPARE(threaded, job == 1 || job == 2);
        QCOMPARE(readAllOf(p), QByteArray("old"));
        QCOMPARE(folderEntries(dir()), QStringList{QFileInfo(p).fileName()});
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Only the file's last bytes find no room, so the failure shows first in
    // the final flush of buffered bytes: the job fails and the old file stays.
    void tailFindsNoRoom_data()
    {
        QTest::addColumn<int>("job");   // 0 data file, 1 text, 2 binary
        QTest::newRow("data file") << 0;
        QTest::newRow("text") << 1;
        QTest::newRow("binary") << 2;
    }
    void tailFindsNoRoom()
    {
        QFETCH(int, job);
        std::mt19937_64 rng(11);
        SmpData s(16);
        fillStore(s, randomCapture(rng, 16, 3000, 0.02, 1.0));
        Sel sel{};
        sel[0] = sel[3] = true;
        const auto run = [&](const QString& p) {
            DataFile df;
            df.smpData = &s;
            const long long end = s.smpCount - 1;
            return job == 0   ? df.saveData(p, "<settings>0123456789</settings>\n", sel.data(), 0, end, false)
                   : job == 1 ? df.exportCSV(p, sel.data(), 0, end, false)
                              : df.exportBin(p, sel.data(), 0, end, false);
        };
        const QString whole = target("whole"), p = target("keep");
        QVERIFY(run(whole));
        QVERIFY(writeFile(p, "the old file"));
        bool ok = true;
        {
            FileSizeLimit lim{rlim_t(QFileInfo(whole).size() - 1)};
            QVERIFY(lim.ok);
            ok = run(p);
        }
        QVERIFY(!ok);
        QCOMPARE(readAllOf(p), QByteArray("the old file"));
        QCOMPARE(folderEntries(dir()), (QStringList{"keep", "whole"}));
    }
};

QTEST_MAIN(TstDataFileJobs)
#include "tst_datafilejobs.moc"
