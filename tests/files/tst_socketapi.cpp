// The command server through a real loopback client: framing, the command
// table with its replies and error codes, takeover, the deferred answer of
// "start", and the files "save-data" and "export-data" write, read back
// against the capture. The test plays the main window: it hands the device's
// end of run to ackSampleComplete as the window does.
#include "filetesthelp.h"

#include "../demo/demotesthelp.h"
#include "common/tempenv.h"
#include "files/datafile.h"
#include "files/socketapi.h"

#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <linux/sockios.h>
#include <sys/ioctl.h>

namespace {

// The demo worker, held at its start until the test lets it go.
QSemaphore gate;

class GatedSimulate : public SmpSimulate
{
public:
    explicit GatedSimulate(DevBase* d) : SmpSimulate(d), dev(d) {}

protected:
    void run() override
    {
        while (!gate.tryAcquire(1, 20) && !dev->smpStopReq) {
        }
        SmpSimulate::run();
    }
    DevBase* dev;
};

QThread* makeGatedWorker(DevBase* d, int kind)
{
    return kind == SmpWorkerSimulate ? new GatedSimulate(d) : nullptr;
}

QTcpServer* serverOf(QObject& api)
{
    return api.findChild<QTcpServer*>();
}

// Waits until what follows an over-long command is read as a command again.
bool dropWindowOver(QObject& api)
{
    QTimer* rest = api.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    return rest && QTest::qWaitFor([rest] { return !rest->isActive(); }, 10000);
}

// A client program on 127.0.0.1.
struct Client {
    explicit Client(SocketAPI& a) : api(a) { sock.connectToHost(QHostAddress::LocalHost, serverOf(a)->serverPort()); }

    bool connected()
    {
        return sock.waitForConnected(10000) && QTest::qWaitFor([this] { return peer() != nullptr; }, 10000);
    }
    // The server's end of this connection.
    QTcpSocket* peer()
    {
        for (QTcpSocket* s : serverOf(api)->findChildren<QTcpSocket*>())
            if (s->state() == QAbstractSocket::ConnectedState && s->peerPort() == sock.localPort())
                return s;
        return nullptr;
    }
    // Sends a command (none: only waits) and returns what is answered.
    QByteArray ask(const QByteArray& cmd = QByteArray())
    {
        QSignalSpy got(&sock, &QTcpSocket::readyRead);
        sock.write(cmd);
        if (sock.bytesAvailable() == 0)
            got.wait(30000);
        return sock.readAll();
    }
    // Sends a command that gets no answer; returns once the server has read it.
    bool tell(const QByteArray& cmd)
    {
        QSignalSpy read(peer(), &QTcpSocket::readyRead);
        sock.write(cmd);
        return read.wait(30000);
    }
    QByteArray lastError() { return ask("get-last-error"); }
    // All written has been read by the server: none left here, unacknowledged or unread there.
    bool allRead()
    {
        QTcpSocket* p = peer();
        int unacked = -1, unread = -1;
        return p && sock.bytesToWrite() == 0 && ioctl(int(sock.socketDescriptor()), SIOCOUTQ, &unacked) == 0
            && unacked == 0 && ioctl(int(p->socketDescriptor()), FIONREAD, &unread) == 0 && unread == 0
            && p->bytesAvailable() == 0;
    }

    SocketAPI& api;
    QTcpSocket sock;
};

RefCapture knownCapture()
{
    std::mt19937_64 rng(7);
    RefCapture r = randomCapture(rng, 16, 5000, 0.01);
    r.trigger = 1000;
    return r;
}

// The reference of what a store holds.
RefCapture refOf(const SmpData* s)
{
    RefCapture r{s->chnNum, s->smpCount, s->smpFrequ, s->trgPosition, std::vector<RefChn>(size_t(s->chnNum))};
    for (int c = 0; c < s->chnNum; ++c) {
        const DigitalChnData* d = s->chnData[size_t(c)];
        r.chn[size_t(c)] = {d != nullptr, d ? d->initLevel : 0, {}};
        for (long long e : demotest::edges(s, c))
            r.chn[size_t(c)].edges.push_back(e);
    }
    return r;
}

Sel all()
{
    Sel s;
    s.fill(true);
    return s;
}

// The block of a data file after the head the loader finds, which must merge.
QByteArray blockOf(const QString& path, QByteArray* head)
{
    if (!Config::extractConfig(path, *head) || !Config::replaceConfig(*head))
        return QByteArray();
    return readAllOf(path).mid(head->size());
}

} // namespace

class TstSocketApi : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;
    std::unique_ptr<DevBase> dev;
    std::unique_ptr<SocketAPI> api;
    int runsEnded = 0;
    bool runningAtAck = false;   // a run was still marked running when one was answered

    void fillDisplayed(const RefCapture& r) { fillStore(*dev->displayedSmpData(), r); }

private slots:
    void init()
    {
        demotest::resetSettings();
        env.reset(new TempEnv);
        DevBase::smpWorkerFactory = &makeGatedWorker;
        dev.reset(DevBase::createDevice(0));
        devUsing = dev.get();
        api.reset(new SocketAPI);
        QVERIFY(api->open(0, QHostAddress::LocalHost));
        runsEnded = 0;
        runningAtAck = false;
        // What the main window does with a run's end.
        connect(dev.get(), &DevBase::sigSmpSta, api.get(), [this](int state, int error, int) {
            if (state != SmpStaDone || error != 0)
                return;
            ++runsEnded;
            runningAtAck = runningAtAck || dev->smpRunning;
            if (dev->smpRemote)
                api->ackSampleComplete(dev->smpError == 0);
        });
    }
    void cleanup()
    {
        api.reset();
        dev->isConnected = false;
        dev.reset();
        devUsing = nullptr;
        gate.acquire(gate.available());
        env.reset();
    }

    void commandTable_data()
    {
        QTest::addColumn<int>("setup");   // 1 an instrument, 2 a capture on display
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("error");
        auto row = [](const QByteArray& cmd, const char* reply, const char* error, int setup = 0) {
            QTest::addRow("%d %s", setup, cmd.left(40).toPercentEncoding(" -/.").constData()) << setup << cmd << QByteArray(reply) << QByteArray(error);
        };
        row("get-last-error", "ACK no error", "no error");
        row("get-last-error a b", "ACK no error", "no error");
        row("START", "NAK", "invalid command");
        row("stop\r\n", "NAK", "invalid command");
        row(QByteArray("stop\0", 5) + QByteArray(6000, 'g'), "ACK", "no error");
        row(QByteArray("\0stop", 5), "NAK", "invalid command");
        row("  set-sample-rate   200000000", "ACK", "no error");
        row("stop stop", "NAK", "invalid parameter");
        row("stop", "ACK", "no error");
        row("set-sample-rate 1e6", "NAK", "invalid parameter");
        row("get-supported-sample-rate", "ACK 200000000 100000000 50000000 20000000 10000000 5000000 2000000 "
                                         "1000000 500000 200000 100000 50000 20000", "no error");
        row("get-actual-sample-depth", "ACK 0", "no error");
        row("get-actual-sample-time", "ACK 0 0", "no error");
        row("set-sample-time nan", "NAK", "invalid parameter");
        row("set-sample-time 1e300", "NAK", "invalid parameter");
        row("set-threshold-voltage -4", "ACK", "no error");
        row("set-threshold-voltage 4.01", "NAK", "invalid parameter");
        row("set-threshold-voltage nan", "NAK", "invalid parameter");
        row("set-trigger 3", "NAK", "invalid parameter");
        row("set-trigger --pos-edge 16", "NAK", "invalid parameter");
        row("start --fast", "NAK", "invalid parameter");
        row("start", "NAK", "device unconnected, cannot start sample");
        row("start --simulate", "NAK", "device connected, cannot start simulate", 1);
        // An instrument that cannot be reached: the run fails when it is configured.
        row("start", "NAK", "sample failed", 1);
        row("save-data /none/x.vtdat", "NAK", "there is no data to save or export");
        row("export-data /none/x.CSV", "NAK", "invalid parameter", 2);
        row("export-data --time-span 0 1 /none/x.csv", "NAK", "invalid parameter", 2);
        row("export-data /none/x.csv --time-span nan", "NAK", "invalid parameter", 2);
        row("export-data /none/x.csv --time-span 0 inf", "NAK", "invalid parameter", 2);
        row("export-data /none/x.csv --chn-select 16", "NAK", "invalid parameter", 2);
        row("export-data /none/x.csv stray", "NAK", "invalid parameter", 2);
        row("save-data /none/y.vtdat", "NAK", "save file failed", 2);
    }
    void commandTable()
    {
        QFETCH(int, setup);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, error);
        dev->isConnected = setup == 1;
        if (setup == 2)
            fillDisplayed(knownCapture());
        Client c(*api);
        QVERIFY(c.connected());
        QCOMPARE(c.ask(command), reply);
        QCOMPARE(c.lastError(), "ACK " + error);
        // A later success does not clear the error.
        QCOMPARE(c.ask("get-sample-rate").left(4), QByteArray("ACK "));
        QCOMPARE(c.lastError(), "ACK " + error);
    }

    // The first cells (as code) of the user guide's command table name each
    // command the server accepts, once.
    void guideCommandTable()
    {
        const QString guide =
            QString::fromUtf8(readAllOf(qEnvironmentVariable("TAV_SOURCE_DIR") + "/docs/user-guide.md"));
        const QString table = guide.section(QRegularExpression("\n#+ Command table\n"), 1).section("\n#", 0, 0);
        QStringList words, server = SocketAPI::commandWords();
        for (auto it = QRegularExpression("^\\| *`([^` ]+)", QRegularExpression::MultilineOption).globalMatch(table);
             it.hasNext();)
            words << it.next().captured(1);
        words.sort();
        server.sort();
        QCOMPARE(words, server);
    }

    void commandLength_data()
    {
        QTest::addColumn<QString>("filler");
        QTest::addColumn<int>("length");
        for (const char* f : {"x", "\xc3\xa9", "\xe2\x82\xac"})
            for (int n : {2048, 2049})
                QTest::addRow("%d-byte %d", int(strlen(f)), n) << QString::fromUtf8(f) << n;
    }
    void commandLength()
    {
        QFETCH(QString, filler);
        QFETCH(int, length);
        // "set-sample-rate", a rate, and the gap up to length characters.
        const QString cmd = "set-sample-rate " + filler.repeated(length - 25) + " 10000000";
        const QString spaced = "set-sample-rate" + QString(length - 23, ' ') + "10000000";
        QVERIFY(cmd.size() == length && spaced.size() == length);
        Client c(*api);
        QVERIFY(c.connected());
        // An arrival is all that is readable: a capped buffer would cut a long write.
        QCOMPARE(c.peer()->readBufferSize(), 0);
        if (length == 2048) {
            QCOMPARE(c.ask(cmd.toUtf8()), QByteArray("NAK"));   // three words
            QCOMPARE(c.ask(spaced.toUtf8()), QByteArray("ACK"));
            QCOMPARE(dev->getSmpFrequ(), 10000000LL);
        } else {
            QVERIFY(c.tell(cmd.toUtf8()) && c.tell(spaced.toUtf8()) && dropWindowOver(*api));
            // Neither was answered nor carried out.
            QCOMPARE(c.lastError(), QByteArray("ACK command is too long"));
            QVERIFY(dev->getSmpFrequ() != 10000000LL);
        }
    }

    // A write far longer than a command, in whatever pieces it arrives, is
    // neither carried out nor answered; the next command is served.
    void overLongWritesRunNothing_data()
    {
        QTest::addColumn<QByteArray>("write");
        QTest::newRow("64 KiB and a command") << QByteArray(65536, 'A') + " set-sample-rate 20000";
        QTest::newRow("10 MB without a line end") << QByteArray(10000000, 'A');
    }
    void overLongWritesRunNothing()
    {
        QFETCH(QByteArray, write);
        Client c(*api);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
        c.sock.write(write);
        QTRY_VERIFY_WITH_TIMEOUT(c.allRead(), 60000);
        // What follows a cut write within a moment is taken as its rest.
        QVERIFY(dropWindowOver(*api));
        QCOMPARE(c.sock.bytesAvailable(), 0);
        QCOMPARE(c.lastError(), QByteArray("ACK command is too long"));
        QCOMPARE(c.ask("get-sample-rate"), QByteArray("ACK 10000000"));
    }

    // An over-long command in pieces: each piece over the limit, or cut
    // whatever its NUL, holds the drop window open; pieces within it are
    // dropped without holding it, so a client polling after it is answered.
    void overLongPiecesAndPolling_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        const QByteArray tail = " set-sample-rate 20000";
        QTest::newRow("2,100 bytes, then a command") << QByteArrayList{QByteArray(2100, 'A'), tail};
        QTest::newRow("2 x 4,096 bytes, then a command")
            << QByteArrayList{QByteArray(4096, 'A'), QByteArray(4096, 'A'), tail};
        QByteArray nuls = QByteArray("get-sample-rate", 16);
        while (nuls.size() < 10000000)
            nuls += QByteArray(2000, ' ') + "set-sample-rate 20000" + '\0';
        QTest::newRow("10 MB of commands behind NULs") << QByteArrayList{nuls};
        QTest::newRow("10 kB of junk") << QByteArrayList{QByteArray(10000, '#')};
    }
    void overLongPiecesAndPolling()
    {
        QFETCH(QByteArrayList, pieces);
        Client c(*api);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
        for (const QByteArray& p : pieces) {
            c.sock.write(p);
            QTRY_VERIFY_WITH_TIMEOUT(c.allRead(), 60000);
        }
        QByteArray answer;
        for (int poll = 0; poll < 20 && answer.isEmpty(); ++poll) {
            c.sock.write("get-sample-rate");
            QTRY_VERIFY_WITH_TIMEOUT(c.allRead(), 10000);
            QTest::qWait(150);
            answer = c.sock.readAll();
        }
        QCOMPARE(answer, QByteArray("ACK 10000000"));
        QCOMPARE(c.lastError(), QByteArray("ACK command is too long"));
    }

    void settersReachTheDevice()
    {
        Client c(*api);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
        QCOMPARE(c.ask("get-sample-rate"), QByteArray("ACK 10000000"));
        QCOMPARE(c.ask("set-sample-depth 200000"), QByteArray("ACK"));
        QCOMPARE(dev->getExpectDepth(), 200000LL);
        QCOMPARE(c.ask("set-sample-time 0.1"), QByteArray("ACK"));
        QCOMPARE(dev->getExpectDepth(), 1000000LL);

        auto vth = [this] { return Config::readDeviceParam(dev->devName, "chnVth") + ' '
                               + Config::readDeviceParam(dev->devName, "chnVth2"); };
        QCOMPARE(c.ask("set-threshold-voltage 1.2 -3.333"), QByteArray("ACK"));
        QCOMPARE(vth(), QStringLiteral("1.20 -3.33"));
        QCOMPARE(Config::readDeviceParam(dev->devName, "chnLevel2"), QStringLiteral("Custom I/O"));
        // A third value is refused before any is applied; of two, the first
        // stays applied when the second is refused.
        QCOMPARE(c.ask("set-threshold-voltage 2 2 2"), QByteArray("NAK"));
        QCOMPARE(vth(), QStringLiteral("1.20 -3.33"));
        QCOMPARE(c.ask("set-threshold-voltage 0.5 volts"), QByteArray("NAK"));
        QCOMPARE(vth(), QStringLiteral("0.50 -3.33"));

        // The worked example: 1000 samples at 1 MHz, trigger at sample 100.
        fillDisplayed(RefCapture{16, 1000, 1000000, 100, std::vector<RefChn>(16)});
        QCOMPARE(c.ask("get-actual-sample-time"), QByteArray("ACK -0.0001 0.0009"));
        QCOMPARE(c.ask("get-actual-sample-depth"), QByteArray("ACK 1000"));
    }

    void triggerWords_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("before");   // one digit per channel; 14 is disabled
        QTest::addColumn<QString>("after");
        const QString none(16, '0');
        QTest::newRow("last edge wins") << QByteArray("--pos-edge 2 1") << none << "0300000000000000";
        QTest::newRow("levels, edge") << QByteArray("--high-level 0 1 --neg-edge 5") << none << "2200040000000000";
        QTest::newRow("edge moves") << QByteArray("--neg-edge 9") << "1300000000000000" << "1000000004000000";
        QTest::newRow("reset, kind") << QByteArray("--reset --low-level 15") << "2230000000000004"
                                     << "0000000000000001";
        QTest::newRow("disabled cleared") << QByteArray("--low-level 0 14") << none << "1000000000000000";
        QTest::newRow("bad word") << QByteArray("--low-level 1 x") << "0020000000000000" << QString();
    }
    void triggerWords()
    {
        QFETCH(QByteArray, command);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QVector<bool> ena(16, true);
        ena[14] = false;
        dev->setDChnEna(ena);
        for (int i = 0; i < 16; ++i)
            dev->dChnTrg[i] = TrgType(before[i].digitValue());
        QSignalSpy gui(api.get(), &SocketAPI::sigUpdateGUI);
        Client c(*api);
        QVERIFY(c.connected());
        // A refused command leaves every trigger as it was.
        const bool ok = !after.isNull();
        QCOMPARE(c.ask("set-trigger " + command), ok ? QByteArray("ACK") : QByteArray("NAK"));
        QString got;
        for (TrgType t : dev->dChnTrg)
            got += QString::number(int(t));
        QCOMPARE(got, ok ? after : before);
        QCOMPARE(gui.count(), ok ? 1 : 0);
        QVERIFY(!ok || gui.first().first().toInt() == 1);
    }

    void remoteCaptureSavedAndReloaded()
    {
        gate.release(100);
        Client c(*api);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
        QCOMPARE(c.ask("set-sample-depth 200000"), QByteArray("ACK"));
        // Answered when the run has ended.
        QCOMPARE(c.ask("start --simulate --simulate"), QByteArray("ACK"));
        QCOMPARE(runsEnded, 1);
        QVERIFY(!dev->smpRunning);
        QCOMPARE(c.ask("get-actual-sample-depth"), QByteArray("ACK 200000"));

        const RefCapture ref = refOf(dev->displayedSmpData().get());
        const QString p = env->path("run one.vtdat");
        const QByteArray whole = Config::configText();
        QCOMPARE(c.ask("save-data \"" + p.toUtf8() + "\""), QByteArray("ACK"));
        QByteArray head;
        QCOMPARE(blockOf(p, &head), refBlock(ref, all(), 0, ref.count));
        QCOMPARE(head, whole);
        SmpData back(16);
        DataFile rd;
        rd.smpData = &back;
        QVERIFY(rd.loadData(p, head.size()));
        QCOMPARE(back.smpCount, ref.count);
    }

    // A client that goes on the moment its run is answered finds the run
    // over: setters and the next start are accepted, never "busy".
    void commandRightAfterTheAck()
    {
        gate.release(100);
        Client c(*api);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
        QCOMPARE(c.ask("set-sample-depth 20000"), QByteArray("ACK"));
        for (int run = 0; run < 20; ++run) {
            QCOMPARE(c.ask("start --simulate"), QByteArray("ACK"));
            QCOMPARE(c.ask(run % 2 ? "set-sample-rate 10000000" : "set-trigger --reset"), QByteArray("ACK"));
        }
        QCOMPARE(runsEnded, 20);
        QVERIFY(!runningAtAck);
    }

    void runBlocksSettersAndStopIsNotAcknowledged()
    {
        fillDisplayed(knownCapture());
        Client c(*api);
        QVERIFY(c.connected());
        QVERIFY(c.tell("start --simulate"));
        QCOMPARE(c.ask("start --simulate"), QByteArray("NAK"));
        QCOMPARE(c.lastError(), QByteArray("ACK sampling has been started"));
        const QByteArray busy = "NAKACK sampling in progress, cannot execute the command";
        for (const char* cmd : {"set-sample-rate 10000000", "set-trigger --reset", "export-data /none/x.bin"}) {
            const QByteArray reply = c.ask(cmd);
            QCOMPARE(reply + c.lastError(), busy);
        }
        QCOMPARE(c.ask("set-threshold-voltage 1"), QByteArray("ACK"));
        QCOMPARE(c.ask("stop"), QByteArray("ACK"));
        QVERIFY(!dev->smpRunning);
        QTRY_COMPARE(runsEnded, 1);
        // The stopped run was not answered: only the next reply arrives.
        QCOMPARE("NAK" + c.lastError(), busy);
    }

    void takeoverGetsThePendingAck()
    {
        Client a(*api);
        QVERIFY(a.connected() && a.tell("start --simulate"));
        QSignalSpy dropped(&a.sock, &QTcpSocket::disconnected);
        Client b(*api);
        QVERIFY(b.connected());
        QVERIFY(dropped.count() == 1 || dropped.wait(10000));
        gate.release();
        QCOMPARE(b.ask(), QByteArray("ACK"));
        QCOMPARE(runsEnded, 1);
        QCOMPARE(a.sock.readAll(), QByteArray());
    }

    void filesMatchTheCapture()
    {
        const RefCapture ref = knownCapture();
        fillDisplayed(ref);
        Client c(*api);
        QVERIFY(c.connected());
        // At 100 MHz these times lie 100.49 and 200.49 samples from the trigger.
        const QString csv = env->path("span.csv");
        QCOMPARE(c.ask("export-data " + csv.toUtf8() + " --time-span -0.0000010049 0.0000020049 --chn-select 0 3"),
                 QByteArray("ACK"));
        Sel sel{};
        sel[0] = sel[3] = true;
        QCOMPARE(readAllOf(csv), refCsv(ref, sel, 900, 1200, "Time[s], Channel 0, Channel 3\n"));

        const QString bin = env->path("all.bin");
        QCOMPARE(c.ask("export-data " + bin.toUtf8()), QByteArray("ACK"));
        QCOMPARE(readAllOf(bin), refBin(ref, all(), 0, ref.count));

        // Another device's section takes the whole settings document past the
        // window in which the loader looks for its end: the data file still reopens.
        Config::saveDeviceParam("VX9151", "notes", QString(40000, 'n'));
        QVERIFY(Config::configText().size() > Config::headWindow);
        const QString p = env->path("big.vtdat");
        const QByteArray reduced = Config::minConfigText(dev->devName);
        QCOMPARE(c.ask("save-data " + p.toUtf8()), QByteArray("ACK"));
        QByteArray head;
        QCOMPARE(blockOf(p, &head), refBlock(ref, all(), 0, ref.count));
        QCOMPARE(head, reduced);
    }

    // Times far outside the capture are clamped to it, however far.
    void hugeTimeSpansAreClamped()
    {
        RefCapture ref = knownCapture();
        ref.rate = 1000000;
        fillDisplayed(ref);
        Client c(*api);
        QVERIFY(c.connected());
        const QString bin = env->path("span.bin");
        const struct { const char* span; long long from, to; } spans[] = {
            {"-1e10 1e10", 0, 4999}, {"1e300 -1e300", 0, 4999}, {"-1e20 0", 0, 1000}, {"-1e12 -1e11", 0, 0}};
        for (const auto& s : spans) {
            QCOMPARE(c.ask("export-data " + bin.toUtf8() + " --time-span " + s.span), QByteArray("ACK"));
            QVERIFY2(readAllOf(bin) == refBin(ref, all(), s.from, s.to), s.span);
        }
    }

    void fileJobRefusesCommands()
    {
        // A text export large enough for the file thread, of a store of its own.
        RefCapture big{16, 400001, 100000000, 0, std::vector<RefChn>(16)};
        big.chn[0].present = true;
        for (long long p = 1; p < big.count; p += 2)
            big.chn[0].edges.push_back(p);
        SmpData store(16);
        fillStore(store, big);
        Client c(*api);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
        // Queries and "stop" are answered while the job runs; a start or a setting waits.
        QByteArray during;
        bool jobRan = true;
        // Runs inside the job's wait, where events still turn.
        QTimer::singleShot(0, this, [&] {
            for (const char* cmd : {"get-sample-rate", "stop", "start --simulate", "set-sample-rate 20000"}) {
                jobRan = jobRan && DataFile::jobRunning();
                during += c.ask(cmd) + " / ";
                during += c.lastError() + '\n';
            }
        });
        DataFile df;
        df.useDialog = false;
        df.smpData = &store;
        QVERIFY(df.exportCSV(env->path("job.csv"), all().data(), 0, big.count, false));
        QVERIFY(jobRan);
        const QByteArray busy = "NAK / ACK sampling in progress, cannot execute the command\n";
        QCOMPARE(during, "ACK 10000000 / ACK no error\nACK / ACK no error\n" + busy + busy);
        QVERIFY(!dev->smpRunning);
        QCOMPARE(c.ask("get-sample-rate"), QByteArray("ACK 10000000"));
    }

    void settingsFromFileDoNotEnable()
    {
        api.reset();
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QByteArray port = QByteArray::number(probe.serverPort());
        probe.close();
        const QString p = env->path("remote.vtset");
        QVERIFY(writeFile(p, "<settings><global><devModel>0</devModel><enaSocket>1</enaSocket><listenPort>" + port
                                 + "</listenPort><viewState>2</viewState></global></settings>\n"));
        QByteArray head;
        QVERIFY(Config::extractConfig(p, head) && Config::replaceConfig(head));
        QCOMPARE(Config::viewState, 2);   // the file was taken
        QVERIFY(!SocketAPI::configuredEnable());
        QCOMPARE(SocketAPI::configuredPort(), SocketAPI::DefaultPort);
        api.reset(new SocketAPI);
        QVERIFY(!serverOf(*api)->isListening());

        // What the user's own settings may say.
        Config::saveGlobalParam("enaSocket", "yes");
        Config::saveGlobalParam("listenPort", "70000");
        QVERIFY(!SocketAPI::configuredEnable() && SocketAPI::configuredPort() == SocketAPI::DefaultPort);
        Config::saveGlobalParam("enaSocket", "-2");
        Config::saveGlobalParam("listenPort", "65535");
        QVERIFY(SocketAPI::configuredEnable() && SocketAPI::configuredPort() == 65535);
    }
};

QTEST_MAIN(TstSocketApi)
#include "tst_socketapi.moc"
