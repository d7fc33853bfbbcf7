// The analyzer framework itself: result storage and its queries against
// brute-force references, readers beside a writer, number formats, the
// settings text, result export files, and the decode/stop protocol with the
// host's progress manager.
#include "tests/analyzers/capturebuilder.h"

#include "libanalyzer/analyzer.h"
#include "libanalyzer/analyzerhelpers.h"

#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

Q_DECLARE_METATYPE(DisplayBase)

namespace {

// Results whose texts come straight from the frame fields.
class PlainResults : public AnalyzerResults {
protected:
    void GenerateBubbleText(U64 i, const Channel&, DisplayBase) override
    {
        std::string s = std::to_string(GetFrame(i).data1);
        AddResultString(s.c_str());
        AddResultString("value ", s.c_str());
    }
    void GenerateTabularText(U64 i, DisplayBase) override
    {
        AddTabularText("frame ", std::to_string(GetFrame(i).data1).c_str());
    }
    void GenerateExportHeader(unsigned) override
    {
        AddExportField("Value");
        AddExportField("Note");
    }
    void GenerateExportRow(U64 i, DisplayBase base, unsigned) override
    {
        Frame f = GetFrame(i);
        AddExportField(AnalyzerHelpers::FormatNumber(f.data1, base, 8).c_str());
        AddExportField(f.data2 ? "say \"hi\", twice" : "");
    }
};

// Settings with one interface of every kind.
class AllKinds : public AnalyzerSettings {
public:
    AllKinds() : AnalyzerSettings("TEST")
    {
        a.SetTitleAndTooltip("A", "");
        a.SetChannel(Channel(0, 0));
        b.SetTitleAndTooltip("B", "");
        b.SetChannel(Channel(0, 1));
        b.SetSelectionOfNoneIsAllowed(true);
        list.SetTitleAndTooltip("List", "");
        list.AddNumber(0.5, "half", "");
        list.AddNumber(2, "two", "");
        list.AddNumber(-3, "minus three", "");
        num.SetTitleAndTooltip("Num", "");
        num.SetMin(-10);
        num.SetMax(1000);
        text.SetTitleAndTooltip("Text", "");
        flag.SetTitleAndTooltip("Flag", "");
        for (AnalyzerSettingInterface* s : std::initializer_list<AnalyzerSettingInterface*>{&a, &b, &list, &num, &text, &flag})
            AddInterface(s);
        ApplyInterfaces();
    }
    AnalyzerSettingInterfaceChannel a{"a"}, b{"b"};
    AnalyzerSettingInterfaceNumberList list{"list"};
    AnalyzerSettingInterfaceInteger num{"num"};
    AnalyzerSettingInterfaceText text{"text"};
    AnalyzerSettingInterfaceBool flag{"flag"};
};

// Adds one frame per edge of channel 0 (data1 = edge number).
class EdgeAnalyzer : public Analyzer {
public:
    EdgeAnalyzer()
    {
        SetAnalyzerSettings(&settings_);
        SetAnalyzerResults(&results_);
    }
    const char* GetProtocolName() const override { return "Edges"; }
    U32 MakeSimulationData(U64, U32, SimulationChannelDescriptor**) override { return 0; }
    std::function<void(U64)> onFrame;

protected:
    void SetupResults() override { results_.AddChannelBubblesWillAppearOn(Channel(0, 0)); }
    void WorkerThread() override
    {
        EdgeIterator it;
        if (!OpenChannel(Channel(0, 0), &it))
            return;
        U64 n = 0;
        while (!StopRequested() && it.HasNextEdge()) {
            S64 s = it.Sample();
            it.AdvanceToNextEdge();
            Frame f;
            f.startSample = s;
            f.endSample = it.Sample();
            f.data1 = n++;
            results_.AddFrame(f);
            ReportProgress(it.Sample());
        }
    }

private:
    AllKinds settings_;
    PlainResults results_;
};

// The host side: a thread per run, started and ended through the interface.
class ThreadManager : public ProgressManager {
public:
    explicit ThreadManager(Analyzer* a) : a_(a) {}
    ~ThreadManager()
    {
        if (thread_.joinable())
            thread_.join();
    }
    void startWorkThread() override
    {
        thread_ = std::thread([this] { a_->DecodeLoop(); });
        workerId = thread_.get_id();
    }
    void stopWorkThread() override
    {
        AnalyzerResults* r = nullptr;
        a_->GetAnalyzerResults(&r);
        std::lock_guard<std::mutex> lock(m_);
        stopThread = std::this_thread::get_id();
        framesAtStop = r->GetNumFrames();
        ++stops;
        cv_.notify_all();
    }
    void reportProgress(double p) override
    {
        ++reports;
        lastProgress = p;
        if (stopAtFirstReport && reports == 1) {
            AnalyzerResults* r = nullptr;
            a_->GetAnalyzerResults(&r);
            framesAtRequest = r->GetNumFrames();
            a_->StopWorkerThread();
        }
    }
    void waitStopped()
    {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return stops > 0; });
        lock.unlock();
        thread_.join();
    }
    bool stopAtFirstReport = false;
    std::atomic<int> reports{0};
    std::atomic<double> lastProgress{0};
    U64 framesAtRequest = 0;
    U64 framesAtStop = 0;
    int stops = 0;
    std::thread::id stopThread;
    std::thread::id workerId;

private:
    Analyzer* a_;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
};

QString readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString("<missing>");
    return QString::fromUtf8(f.readAll());
}

}  // namespace

class TestAnalyzerLib : public QObject {
    Q_OBJECT
private slots:
    void framesInRange();
    void markers();
    void framesKeepOrder();
    void numberFormats_data();
    void numberFormats();
    void settingsText();
    void settingsApply();
    void exportFiles_data();
    void exportFiles();
    void exportKeepsOldFileOnFailure();
    void readersBesideWriter_data();
    void readersBesideWriter();
    void decodeRun();
    void stopRequestEndsRunPromptly();
    void resetKeepsResultsObject();
    void simulationDescriptor();
};

void TestAnalyzerLib::framesInRange()
{
    PlainResults r;
    QVERIFY(!r.GetFramesInRange(0, 100, nullptr, nullptr));
    std::mt19937 rng(3);
    std::vector<std::pair<S64, S64>> ref;
    S64 t = 5;
    for (int i = 0; i < 20000; ++i) {  // crosses several storage chunks
        S64 len = 1 + S64(rng() % 20);
        Frame f;
        f.startSample = t;
        f.endSample = t + len;
        f.data1 = U64(i);
        QCOMPARE(r.AddFrame(f), U64(i));
        ref.push_back({t, t + len});
        t += len + S64(rng() % 3);  // frames touch or leave gaps
    }
    QCOMPARE(r.GetNumFrames(), U64(ref.size()));
    for (int k = 0; k < 3000; ++k) {
        S64 a = S64(rng() % U64(t + 20)) - 10, b = a + S64(rng() % 60);
        // Brute force: frames sharing a sample with [a, b]; a frame covers [start, end).
        S64 first = -1, last = -1;
        for (size_t i = 0; i < ref.size(); ++i)
            if (ref[i].first <= b && ref[i].second > a) {
                if (first < 0)
                    first = S64(i);
                last = S64(i);
            }
        U64 f = 77, l = 77;
        bool any = r.GetFramesInRange(a, b, &f, &l);
        QCOMPARE(any, first >= 0);
        if (any) {
            QCOMPARE(S64(f), first);
            QCOMPARE(S64(l), last);
        }
    }
    // The waveform's bubble walk: s = end of the last frame in [s, s + step]
    // always moves forward.
    S64 s = 0;
    int steps = 0;
    while (s < t && steps < 100000) {
        U64 f, l;
        if (r.GetFramesInRange(s, s + 7, &f, &l)) {
            S64 next = r.GetFrame(l).endSample;
            QVERIFY(next > s);
            s = next;
        } else {
            s += 7;
        }
        ++steps;
    }
    QVERIFY(s >= t);
    QCOMPARE(r.GetFrame(U64(ref.size())).endSample, S64(0));  // beyond the count: empty frame
}

void TestAnalyzerLib::markers()
{
    PlainResults r;
    const Channel c3(0, 3), c5(0, 5);
    QVERIFY(!r.DoMarkersAppearOnChannel(c3));
    std::vector<S64> ref;
    for (S64 s = 10; s < 50000; s += 7) {
        QVERIFY(r.AddMarker(s, MarkerType(s % 12), c3));
        ref.push_back(s);
    }
    QVERIFY(r.AddMarker(4, MarkerStart, c5));
    QVERIFY(!r.AddMarker(3, MarkerStart, c5));  // behind the last one
    QVERIFY(!r.AddMarker(5, MarkerStart, Channel()));
    QVERIFY(r.DoMarkersAppearOnChannel(c3));
    QVERIFY(!r.DoMarkersAppearOnChannel(Channel(0, 4)));
    QCOMPARE(r.GetNumMarkers(c3), U64(ref.size()));
    QCOMPARE(r.GetNumMarkers(c5), U64(1));
    QCOMPARE(r.GetMarker(c3, 2).sample, S64(24));
    QCOMPARE(int(r.GetMarker(c3, 2).type), 0);
    QCOMPARE(r.GetMarker(c3, U64(ref.size())).sample, S64(-1));
    std::mt19937 rng(5);
    for (int k = 0; k < 2000; ++k) {
        S64 a = S64(rng() % 51000), b = a + S64(rng() % 30);
        auto lo = std::lower_bound(ref.begin(), ref.end(), a);
        auto hi = std::upper_bound(ref.begin(), ref.end(), b);
        U64 f, l;
        bool any = r.GetMarkersInRange(c3, a, b, &f, &l);
        QCOMPARE(any, lo < hi);
        if (any) {
            QCOMPARE(S64(f), S64(lo - ref.begin()));
            QCOMPARE(S64(l), S64(hi - ref.begin()) - 1);
        }
    }
}

void TestAnalyzerLib::framesKeepOrder()
{
    PlainResults r;
    Frame f;
    f.startSample = 10;
    f.endSample = 10;  // empty
    QCOMPARE(r.AddFrame(f), AnalyzerResults::kNoFrame);
    f.endSample = 20;
    QCOMPARE(r.AddFrame(f), U64(0));
    f.startSample = 19;  // overlaps the previous frame
    f.endSample = 30;
    QCOMPARE(r.AddFrame(f), AnalyzerResults::kNoFrame);
    f.startSample = 20;
    QCOMPARE(r.AddFrame(f), U64(1));
    QCOMPARE(r.GetNumFrames(), U64(2));
}

void TestAnalyzerLib::numberFormats_data()
{
    QTest::addColumn<quint64>("value");
    QTest::addColumn<DisplayBase>("base");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QString>("text");
    QTest::newRow("bin 8") << quint64(0x41) << DisplayBin << 8 << "0b01000001";
    QTest::newRow("bin 5 masks") << quint64(0xFF) << DisplayBin << 5 << "0b11111";
    QTest::newRow("dec") << quint64(255) << DisplayDec << 8 << "255";
    QTest::newRow("dec 64") << ~quint64(0) << DisplayDec << 64 << "18446744073709551615";
    QTest::newRow("hex 8") << quint64(0x0D) << DisplayHex << 8 << "0x0D";
    QTest::newRow("hex 9") << quint64(0x1FF) << DisplayHex << 9 << "0x1FF";
    QTest::newRow("hex 11") << quint64(0x123) << DisplayHex << 11 << "0x123";
    QTest::newRow("hex 29") << quint64(0x18DAF110) << DisplayHex << 29 << "0x18DAF110";
    QTest::newRow("ascii letter") << quint64('z') << DisplayAscii << 8 << "z";
    QTest::newRow("ascii newline") << quint64('\n') << DisplayAscii << 8 << "\\n";
    QTest::newRow("ascii tab") << quint64('\t') << DisplayAscii << 8 << "\\t";
    QTest::newRow("ascii nul") << quint64(0) << DisplayAscii << 8 << "\\0";
    QTest::newRow("ascii escape") << quint64(0x1B) << DisplayAscii << 8 << "\\x1B";
    QTest::newRow("ascii del") << quint64(0x7F) << DisplayAscii << 8 << "\\x7F";
    QTest::newRow("ascii wide value") << quint64(0x141) << DisplayAscii << 9 << "0x141";
    QTest::newRow("ascii hex") << quint64('A') << DisplayAsciiHex << 8 << "A (0x41)";
    QTest::newRow("ascii hex cr") << quint64('\r') << DisplayAsciiHex << 8 << "\\r (0x0D)";
}

void TestAnalyzerLib::numberFormats()
{
    QFETCH(quint64, value);
    QFETCH(DisplayBase, base);
    QFETCH(int, bits);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(AnalyzerHelpers::FormatNumber(value, base, U32(bits))), text);
}

void TestAnalyzerLib::settingsText()
{
    AllKinds s;
    QCOMPARE(QString(s.SaveToText()), QString("TEST,1,a=0,b=1,list=0.5,num=0,text=,flag=0"));
    s.b.SetChannel(Channel());
    s.list.SetNumber(-3);
    s.num.SetInteger(-10);
    const char latin1[] = {'a', ',', 'b', ';', ' ', '=', '%', char(0xE9), '\0'};
    s.text.SetText(latin1);
    s.flag.SetValue(true);
    QVERIFY(s.ApplyInterfaces());
    const QByteArray saved = s.SaveToText();
    QCOMPARE(saved, QByteArray("TEST,1,a=0,b=none,list=-3,num=-10,text=a%2Cb%3B%20%3D%25%E9,flag=1"));
    AllKinds t;
    QVERIFY(t.LoadFromText(saved.constData()));
    QCOMPARE(QByteArray(t.SaveToText()), saved);
    QCOMPARE(t.text.Value(), std::string(latin1));
    QVERIFY(!t.b.Value().IsDefined());
    // Blanks around the text (the host trims, but so do we).
    QVERIFY(t.LoadFromText(("  " + saved + "\n").constData()));
    // One bad field: nothing of the text is taken.
    AllKinds u;
    const QByteArray before = u.SaveToText();
    for (const char* bad : {"TEST,1,a=5,num=1001", "TEST,1,a=5,text=%4", "TEST,1,a=5,text=%GG",
                            "TEST,1,a=5,text=%00", "TEST,1,a=5,text=a%20b c", "TEST,1,a=none",
                            "TEST,1,a=3,b=3", "TEST,1,list=1", "TEST,1,flag=2", "TEST,1,num=+5",
                            "TEST,1,a=5,a=6"}) {
        QVERIFY2(!u.LoadFromText(bad), bad);
        QCOMPARE(QByteArray(u.SaveToText()), before);
        QCOMPARE(u.a.GetChannel().index, 0u);  // edited values restored too
    }
    QVERIFY(!u.LoadFromText(("TEST,1,text=" + QByteArray(1025, 'x')).constData()));
    QVERIFY(u.LoadFromText(("TEST,1,text=" + QByteArray(1024, 'x')).constData()));
    QVERIFY(u.LoadFromText("TEST,1,unknown=7,num=1000"));  // unknown keys are ignored
    QCOMPARE(u.num.Value(), 1000);
}

void TestAnalyzerLib::settingsApply()
{
    AllKinds s;
    s.num.SetInteger(5000);
    QVERIFY(!s.ApplyInterfaces());
    QCOMPARE(QString(s.GetSaveErrorMessage()), QString("The value of Num is not valid."));
    QCOMPARE(s.num.Value(), 0);  // not applied
    QCOMPARE(s.num.GetInteger(), 5000);  // but still what the dialog wrote
    s.num.SetInteger(7);
    s.a.SetChannel(Channel());
    QVERIFY(!s.ApplyInterfaces());
    QCOMPARE(QString(s.GetSaveErrorMessage()), QString("Please choose a channel for A."));
    s.a.SetChannel(Channel(0, 1));
    QVERIFY(!s.ApplyInterfaces());
    QCOMPARE(QString(s.GetSaveErrorMessage()), QString("Please choose a different channel for each input."));
    s.b.SetChannel(Channel());
    QVERIFY(s.ApplyInterfaces());
    QCOMPARE(QString(s.GetSaveErrorMessage()), QString());
    QCOMPARE(s.num.Value(), 7);
    QCOMPARE(s.GetChannelsCount(), 2u);
    QVERIFY(s.GetSettingsInterface(6) == nullptr);
}

void TestAnalyzerLib::exportFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("csv") << "out.csv"
                         << "Time [s],Value,Note\n"
                            "-0.000001000,0x00,\n"
                            "0.000000000,0x01,\"say \"\"hi\"\", twice\"\n"
                            "0.000002500,0x02,\n";
    QTest::newRow("CSV in capitals") << "OUT.CSV"
                                     << "Time [s],Value,Note\n"
                                        "-0.000001000,0x00,\n"
                                        "0.000000000,0x01,\"say \"\"hi\"\", twice\"\n"
                                        "0.000002500,0x02,\n";
    QTest::newRow("txt") << "out.txt"
                         << "Time [s]\tValue\tNote\n"
                            "-0.000001000\t0x00\t\n"
                            "0.000000000\t0x01\tsay \"hi\", twice\n"
                            "0.000002500\t0x02\t\n";
}

void TestAnalyzerLib::exportFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    PlainResults r;
    r.SetTimeBase(2000000, 2);  // 2 MHz, trigger at sample 2
    for (int i = 0; i < 3; ++i) {
        Frame f;
        f.startSample = i == 2 ? 7 : i * 2;
        f.endSample = f.startSample + 2;
        f.data1 = U64(i);
        f.data2 = i == 1;
        r.AddFrame(f);
    }
    const QString path = dir.filePath(name);
    r.StartExportThread(nullptr, DisplayHex, 0);
    QCOMPARE(r.GetProgress(), 0.0);
    QVERIFY(r.WriteExportFile(QFile::encodeName(path).constData(), DisplayHex, 0));
    QCOMPARE(r.GetProgress(), 1.0);
    QCOMPARE(readFile(path), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});  // no leftovers
}

void TestAnalyzerLib::exportKeepsOldFileOnFailure()
{
    QTemporaryDir dir;
    PlainResults r;
    for (int i = 0; i < 5000; ++i) {
        Frame f;
        f.startSample = i;
        f.endSample = i + 1;
        r.AddFrame(f);
    }
    const QString path = dir.filePath("keep.csv");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents\n");
    }
    // Cancelled: the old file stays, nothing else is left behind.
    r.StartExportThread(nullptr, DisplayHex, 0);
    r.CancelExport();
    QVERIFY(!r.WriteExportFile(QFile::encodeName(path).constData(), DisplayHex, 0));
    QCOMPARE(readFile(path), QString("old contents\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.csv"});
    QCOMPARE(r.GetProgress(), 1.0);  // the host's poll sees the end
    // A folder that does not exist.
    r.StartExportThread(nullptr, DisplayHex, 0);
    QVERIFY(!r.WriteExportFile(QFile::encodeName(dir.filePath("no/such/dir/x.txt")).constData(), DisplayHex, 0));
    QVERIFY(!r.WriteExportFile(nullptr, DisplayHex, 0));
    // StartExportThread clears the cancel request.
    r.StartExportThread(nullptr, DisplayHex, 0);
    QVERIFY(r.WriteExportFile(QFile::encodeName(path).constData(), DisplayHex, 0));
    QVERIFY(readFile(path).startsWith("Time [s],Value,Note\n"));
}

void TestAnalyzerLib::readersBesideWriter_data()
{
    QTest::addColumn<bool>("clearing");
    QTest::newRow("append only") << false;
    QTest::newRow("results cleared while read") << true;
}

void TestAnalyzerLib::readersBesideWriter()
{
    QFETCH(bool, clearing);
    const U64 total = 1000000;
    PlainResults r;
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::atomic<U64> checks{0};
    auto reader = [&](unsigned seed) {
        std::mt19937_64 rng(seed);
        while (!done.load()) {
            U64 n = r.GetNumFrames();
            if (n == 0)
                continue;
            U64 i = rng() % n;
            Frame f = r.GetFrame(i);
            bool gone = f.startSample == 0 && f.endSample == 0 && f.data1 == 0;
            // A frame is never seen half written; after a clear an index may
            // name a newer frame, so only the append-only run pins the index.
            const U64 id = clearing ? f.data1 : i;
            if (!gone && (f.data1 != id || f.data2 != ~id || f.startSample != S64(3 * id)
                          || f.endSample != S64(3 * id + 2)))
                ++bad;
            r.MakeTabularText(i, DisplayHex);
            std::string text = r.GetTabularTextString();
            if (!text.empty() && (clearing ? text.rfind("frame ", 0) != 0 : text != "frame " + std::to_string(i)))
                ++bad;
            U64 a, b;
            if (r.GetFramesInRange(S64(3 * i), S64(3 * i + 4), &a, &b) && (a > b))
                ++bad;
            ++checks;
        }
    };
    std::thread r1(reader, 1), r2(reader, 2);
    std::atomic<bool> writerDone{false};
    std::thread writer([&] {
        for (U64 i = 0; i < total; ++i) {
            Frame f;
            f.startSample = S64(3 * i);
            f.endSample = S64(3 * i + 2);
            f.data1 = i;
            f.data2 = ~i;
            if (r.AddFrame(f) == AnalyzerResults::kNoFrame && !clearing)
                ++bad;
        }
        writerDone = true;
    });
    if (clearing) {
        // Clear a few times while both sides run; afterwards the writer
        // carries on into the fresh storage.
        for (int k = 0; k < 5; ++k) {
            while (r.GetNumFrames() < 1000 && !writerDone)
                std::this_thread::yield();
            r.ClearResults();
        }
    }
    writer.join();
    done = true;
    r1.join();
    r2.join();
    QCOMPARE(bad.load(), 0);
    QVERIFY(checks.load() > 0);
    if (!clearing)
        QCOMPARE(r.GetNumFrames(), total);
}

void TestAnalyzerLib::decodeRun()
{
    TestCapture cap(2, 100000, 1000000);
    std::vector<int64_t> edges;
    for (int64_t e = 10; e < 99990; e += 10)
        edges.push_back(e);  // 9998 edges across one block border
    cap.setChannel(0, 0, edges);
    EdgeAnalyzer a;
    ThreadManager pm(&a);
    a.Init(cap.record(), nullptr, &pm);
    a.ResetResults();
    a.InitialWorkerThread();
    a.StartProcessing();
    pm.waitStopped();
    QCOMPARE(pm.stops, 1);
    QCOMPARE(pm.stopThread, pm.workerId);  // on the worker thread
    AnalyzerResults* r = nullptr;
    QVERIFY(a.GetAnalyzerResults(&r));
    // Every frame was published before stopWorkThread was called.
    QCOMPARE(pm.framesAtStop, U64(edges.size()));
    QCOMPARE(r->GetNumFrames(), U64(edges.size()));
    QCOMPARE(r->GetFrame(5).startSample, S64(50));
    QVERIFY(pm.reports.load() > 100);
    QCOMPARE(a.GetProgress(), 1.0);
    QVERIFY(!a.WantsRestart());
    QVERIFY(r->DoBubblesAppearOnChannel(Channel(0, 0)));
}

void TestAnalyzerLib::stopRequestEndsRunPromptly()
{
    TestCapture cap(1, 2000000, 1000000);
    DigitalChnData* d = cap.begin(0, 1);
    EdgeListWriter w(d);
    for (int64_t e = 1; e < 2000000; e += 2)
        w.append(e);
    w.append(2000000);
    w.finish();
    EdgeAnalyzer a;
    ThreadManager pm(&a);
    pm.stopAtFirstReport = true;
    a.Init(cap.record(), nullptr, &pm);
    a.ResetResults();
    a.InitialWorkerThread();
    a.StartProcessing();
    pm.waitStopped();
    QCOMPARE(pm.stops, 1);
    // The decode noticed the request within one frame.
    QVERIFY(pm.framesAtStop <= pm.framesAtRequest + 1);
    QVERIFY(pm.framesAtStop < 1000);
    // A fresh run after a stop decodes everything.
    ThreadManager pm2(&a);
    a.Init(cap.record(), nullptr, &pm2);
    a.ResetResults();
    a.InitialWorkerThread();
    a.StartProcessing();
    pm2.waitStopped();
    QCOMPARE(pm2.framesAtStop, U64(1000000));
}

void TestAnalyzerLib::resetKeepsResultsObject()
{
    TestCapture cap(1, 1000, 1000000);
    cap.setChannel(0, 0, {100, 200, 300});
    EdgeAnalyzer a;
    a.Init(cap.record(), nullptr, nullptr);
    a.ResetResults();
    a.InitialWorkerThread();
    a.StartProcessing();  // no manager: runs here
    AnalyzerResults* before = nullptr;
    QVERIFY(a.GetAnalyzerResults(&before));
    QCOMPARE(before->GetNumFrames(), U64(3));
    a.ResetResults();
    AnalyzerResults* after = nullptr;
    QVERIFY(a.GetAnalyzerResults(&after));
    QCOMPARE(after, before);
    QCOMPARE(after->GetNumFrames(), U64(0));
    // A capture record with no samples decodes to nothing.
    DataForAnly empty = DataForAnly();
    a.Init(&empty, nullptr, nullptr);
    a.ResetResults();
    a.InitialWorkerThread();
    a.StartProcessing();
    QCOMPARE(after->GetNumFrames(), U64(0));
}

void TestAnalyzerLib::simulationDescriptor()
{
    SimulationChannelDescriptor d;
    d.SetChannel(Channel(0, 4));
    d.SetInitialBitState(BitHigh);
    d.Advance(10);
    d.Transition();
    d.Advance(5);
    d.Advance(5);  // same run
    d.TransitionIfNeeded(BitLow);  // already low: nothing
    d.TransitionIfNeeded(BitHigh);
    d.AdvanceTo(27);
    QCOMPARE(d.GetData(), std::vector<U32>({10, 10, 7}));
    QCOMPARE(d.GetCurrentBitState(), BitHigh);
    QCOMPARE(d.GetCurrentSampleNumber(), U64(27));
    d.GetData().clear();
    // A run cut at the batch border goes on at the same level.
    d.Advance(3);
    QCOMPARE(d.GetData(), std::vector<U32>({3}));
    QCOMPARE(d.GetCurrentBitState(), BitHigh);
    // A change right after the border is a new run of the other level.
    d.GetData().clear();
    d.Transition();
    QCOMPARE(d.GetCurrentBitState(), BitLow);
    d.Advance(4);
    QCOMPARE(d.GetData(), std::vector<U32>({4}));
    QCOMPARE(d.GetChannel().index, 4u);
}

QTEST_GUILESS_MAIN(TestAnalyzerLib)
#include "tst_analyzerlib.moc"
