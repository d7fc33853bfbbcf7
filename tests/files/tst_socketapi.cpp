// The command server through a real loopback client: framing, the command
// table with its replies and error codes, takeover, deferred "start", and the
// files "save-data" and "export-data" write, read back against the capture.
// The test plays the main window: it forwards the device's end-of-run report
// to ackSampleComplete as the window does.
#include "filetesthelp.h"

#include "../demo/demotesthelp.h"
#include "app/core/config.h"
#include "common/tempenv.h"
#include "files/datafile.h"
#include "files/socketapi.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// The demo worker, held at its start until the test lets it go.
QSemaphore* gate = nullptr;

class GatedSimulate : public SmpSimulate
{
public:
    explicit GatedSimulate(DevBase* d)
        : SmpSimulate(d)
        , dev(d)
    {
    }

protected:
    void run() override
    {
        while (gate && !gate->tryAcquire(1, 20))
            if (dev->smpStopReq)
                break;
        SmpSimulate::run();
    }

private:
    DevBase* dev;
};

QThread* makeGatedWorker(DevBase* d, int kind)
{
    return kind == SmpWorkerSimulate ? new GatedSimulate(d) : nullptr;
}

QTcpServer* serverOf(SocketAPI& api)
{
    return api.findChild<QTcpServer*>();
}

// A client program on 127.0.0.1.
class Client
{
public:
    Client(SocketAPI& api)
        : api(api)
    {
        sock.connectToHost(QHostAddress::LocalHost, serverOf(api)->serverPort());
    }

    bool connected()
    {
        if (sock.state() != QAbstractSocket::ConnectedState && !sock.waitForConnected(10000))
            return false;
        // Accepted by the server once its socket for us exists.
        return QTest::qWaitFor([this] { return peer() != nullptr; }, 10000);
    }

    // The server's end of this connection.
    QTcpSocket* peer()
    {
        for (QTcpSocket* s : serverOf(api)->findChildren<QTcpSocket*>())
            if (s->state() == QAbstractSocket::ConnectedState && s->peerPort() == sock.localPort())
                return s;
        return nullptr;
    }

    // Sends one command and returns the reply.
    QByteArray ask(const QByteArray& cmd)
    {
        QSignalSpy got(&sock, &QTcpSocket::readyRead);
        sock.write(cmd);
        sock.flush();
        if (sock.bytesAvailable() == 0)
            got.wait(30000);
        return sock.readAll();
    }

    // Sends one command that gets no reply and returns once the server has read it.
    bool tell(const QByteArray& cmd)
    {
        QTcpSocket* p = peer();
        if (!p)
            return false;
        QSignalSpy read(p, &QTcpSocket::readyRead);
        sock.write(cmd);
        sock.flush();
        return read.wait(30000);
    }

    // Waits for an unprompted reply (the end of a "start").
    QByteArray await()
    {
        QSignalSpy got(&sock, &QTcpSocket::readyRead);
        if (sock.bytesAvailable() == 0)
            got.wait(30000);
        return sock.readAll();
    }

    QByteArray lastError() { return ask("get-last-error"); }

    SocketAPI& api;
    QTcpSocket sock;
};

// A capture built plainly from a reference, as the displayed store.
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
    RefCapture r;
    r.chnNum = s->chnNum;
    r.count = s->smpCount;
    r.rate = s->smpFrequ;
    r.trigger = s->trgPosition;
    r.chn.resize(size_t(s->chnNum));
    for (int c = 0; c < s->chnNum; ++c) {
        const DigitalChnData* d = s->chnData[size_t(c)];
        r.chn[size_t(c)].present = d != nullptr;
        if (!d)
            continue;
        r.chn[size_t(c)].initLevel = d->initLevel;
        for (long long e : demotest::edges(s, c))
            r.chn[size_t(c)].edges.push_back(e);
    }
    return r;
}

Sel allChannels()
{
    Sel s{};
    s.fill(true);
    return s;
}

// The block of a data file, after the head the loader finds.
QByteArray blockOf(const QString& path, QByteArray* head)
{
    if (!Config::extractConfig(path, *head))
        return QByteArray();
    return readAllOf(path).mid(head->size());
}

} // namespace

class TstSocketApi : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandTable_data();
    void commandTable();
    void commandLength_data();
    void commandLength();
    void settersReachTheDevice();
    void thresholdValues();
    void triggerWords_data();
    void triggerWords();
    void remoteCaptureSavedAndReloaded();
    void runBlocksSettersAndStopIsNotAcknowledged();
    void takeoverGetsThePendingAck();
    void failedRemoteCapture();
    void exportsMatchTheCapture();
    void saveWithLargeSettingsReopens();
    void fileJobRefusesCommands();
    void settingsFromFileDoNotEnable();
    void configuredSwitchAndPort_data();
    void configuredSwitchAndPort();

private:
    void fillDisplayed(const RefCapture& r) { fillStore(*dev->displayedSmpData(), r); }

    std::unique_ptr<TempEnv> env;
    std::unique_ptr<DevBase> dev;
    std::unique_ptr<SocketAPI> api;
    std::unique_ptr<QSemaphore> gateSem;
    int runsEnded = 0;
};

void TstSocketApi::init()
{
    demotest::resetSettings();
    env.reset(new TempEnv);
    gateSem.reset(new QSemaphore);
    gate = gateSem.get();
    DevBase::smpWorkerFactory = &makeGatedWorker;
    dev.reset(DevBase::createDevice(0));
    devUsing = dev.get();
    api.reset(new SocketAPI);
    QVERIFY(api->open(0, QHostAddress::LocalHost));
    runsEnded = 0;
    // What the main window does with the end of a run.
    DevBase* d = dev.get();
    SocketAPI* a = api.get();
    connect(d, &DevBase::sigSmpSta, a, [this, d, a](int state, int error, int) {
        if (state != SmpStaDone || error != 0)
            return;
        ++runsEnded;
        if (d->smpRemote)
            a->ackSampleComplete(d->smpError == 0);
    });
}

void TstSocketApi::cleanup()
{
    api.reset();
    if (dev)
        dev->isConnected = false;
    if (gate)
        gate->release(100);
    dev.reset();
    devUsing = nullptr;
    DevBase::smpWorkerFactory = nullptr;
    gate = nullptr;
    gateSem.reset();
    env.reset();
}

void TstSocketApi::commandTable_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("error");

    auto row = [](const char* name, const QByteArray& cmd, const char* reply, const char* error, bool conn = false) {
        QTest::newRow(name) << conn << cmd << QByteArray(reply) << QByteArray(error);
    };
    row("last error first", "get-last-error", "ACK no error", "no error");
    row("last error ignores words", "get-last-error a b", "ACK no error", "no error");
    row("capitals", "START", "NAK", "invalid command");
    row("line end", "stop\r\n", "NAK", "invalid command");
    row("nul cut-off", QByteArray("stop\0garbage", 12), "ACK", "no error");
    row("nothing before nul", QByteArray("\0stop", 5), "NAK", "invalid command");
    row("only spaces", "   ", "NAK", "invalid command");
    row("spaces between words", "  set-sample-rate   200000000", "ACK", "no error");
    row("stop twice in one", "stop stop", "NAK", "invalid parameter");
    row("stop idle", "stop", "ACK", "no error");
    row("rate as float", "set-sample-rate 1e6", "NAK", "invalid parameter");
    row("rate not listed", "set-sample-rate 123", "NAK", "invalid parameter");
    row("rate missing", "set-sample-rate", "NAK", "invalid parameter");
    row("query with word", "get-sample-rate now", "NAK", "invalid parameter");
    row("depth no capture", "get-actual-sample-depth", "ACK 0", "no error");
    row("time no capture", "get-actual-sample-time", "ACK 0 0", "no error");
    row("depth zero", "set-sample-depth 0", "NAK", "invalid parameter");
    row("time nan", "set-sample-time nan", "NAK", "invalid parameter");
    row("time inf", "set-sample-time inf", "NAK", "invalid parameter");
    row("time huge", "set-sample-time 1e300", "NAK", "invalid parameter");
    row("time text", "set-sample-time soon", "NAK", "invalid parameter");
    row("threshold bound", "set-threshold-voltage -4", "ACK", "no error");
    row("threshold over", "set-threshold-voltage 4.01", "NAK", "invalid parameter");
    row("threshold nan", "set-threshold-voltage nan", "NAK", "invalid parameter");
    row("threshold inf", "set-threshold-voltage -inf", "NAK", "invalid parameter");
    row("threshold three", "set-threshold-voltage 1 2 3", "NAK", "invalid parameter");
    row("threshold none", "set-threshold-voltage", "NAK", "invalid parameter");
    row("trigger no kind", "set-trigger 3", "NAK", "invalid parameter");
    row("trigger bad option", "set-trigger --rising 3", "NAK", "invalid parameter");
    row("trigger beyond", "set-trigger --pos-edge 16", "NAK", "invalid parameter");
    row("trigger negative", "set-trigger --pos-edge -1", "NAK", "invalid parameter");
    row("start bad word", "start --fast", "NAK", "invalid parameter");
    row("start no instrument", "start", "NAK", "device unconnected, cannot start sample");
    row("simulate with instrument", "start --simulate", "NAK", "device connected, cannot start simulate", true);
    row("save nothing", "save-data /tmp/x.vtdat", "NAK", "there is no data to save or export");
    row("export nothing", "export-data /tmp/x.csv", "NAK", "there is no data to save or export");
}

void TstSocketApi::commandTable()
{
    QFETCH(bool, connected);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, error);
    dev->isConnected = connected;
    Client c(*api);
    QVERIFY(c.connected());
    QCOMPARE(c.ask(command), reply);
    QCOMPARE(c.lastError(), "ACK " + error);
    // A later success does not clear the error.
    QCOMPARE(c.ask("get-sample-rate").left(4), QByteArray("ACK "));
    QCOMPARE(c.lastError(), "ACK " + error);
}

void TstSocketApi::commandLength_data()
{
    QTest::addColumn<QString>("filler");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("carriedOut");
    for (const char* f : {"x", "\xc3\xa9", "\xe2\x82\xac"}) {
        const QString s = QString::fromUtf8(f);
        const QByteArray n = QByteArray::number(s.toUtf8().size());
        QTest::newRow(n + "-byte 2048") << s << 2048 << true;
        QTest::newRow(n + "-byte 2049") << s << 2049 << false;
    }
}

void TstSocketApi::commandLength()
{
    QFETCH(QString, filler);
    QFETCH(int, length);
    QFETCH(bool, carriedOut);
    // "set-sample-rate" and its rate, the gap filled up to length characters.
    const QString word = QStringLiteral("set-sample-rate");
    const QString rate = QStringLiteral("10000000");
    const QString cmd = word + QLatin1Char(' ') + filler.repeated(length - word.size() - rate.size() - 2)
        + QLatin1Char(' ') + rate;
    QCOMPARE(cmd.size(), length);
    const QString spaced = word + QString(length - word.size() - rate.size(), QLatin1Char(' ')) + rate;
    Client c(*api);
    QVERIFY(c.connected());
    // What a client can pile up unread is bounded.
    QCOMPARE(c.peer()->readBufferSize(), SocketAPI::MaxReadBytes);
    if (carriedOut) {
        // A word of filler makes three words: carried out, refused with 3.
        QCOMPARE(c.ask(cmd.toUtf8()), QByteArray("NAK"));
        QCOMPARE(c.lastError(), QByteArray("ACK invalid parameter"));
        QCOMPARE(c.ask(spaced.toUtf8()), QByteArray("ACK"));
        QCOMPARE(dev->getSmpFrequ(), 10000000LL);
    } else {
        QVERIFY(c.tell(cmd.toUtf8()));
        QVERIFY(c.tell(spaced.toUtf8()));
        // Nothing was answered and nothing changed.
        QCOMPARE(c.lastError(), QByteArray("ACK command is too long"));
        QVERIFY(dev->getSmpFrequ() != 10000000LL);
    }
}

void TstSocketApi::settersReachTheDevice()
{
    Client c(*api);
    QVERIFY(c.connected());
    QVERIFY(dev->smpFrequList.contains(10000000));
    QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
    QCOMPARE(c.ask("get-sample-rate"), QByteArray("ACK 10000000"));
    QStringList rates;
    for (qint64 r : dev->smpFrequList)
        rates << QString::number(r);
    QCOMPARE(c.ask("get-supported-sample-rate"), "ACK " + rates.join(' ').toUtf8());

    QCOMPARE(c.ask("set-sample-depth 200000"), QByteArray("ACK"));
    QCOMPARE(dev->getExpectDepth(), 200000LL);
    QCOMPARE(c.ask("set-sample-time 0.1"), QByteArray("ACK"));
    QCOMPARE(dev->getExpectDepth(), 1000000LL);
    // Outside the depth list: refused, the depth stays.
    QCOMPARE(c.ask("set-sample-depth 5"), QByteArray("NAK"));
    QCOMPARE(c.ask("set-sample-time -0.1"), QByteArray("NAK"));
    QCOMPARE(dev->getExpectDepth(), 1000000LL);

    // The worked example: 1000 samples at 1 MHz, trigger at sample 100.
    RefCapture r;
    r.count = 1000;
    r.rate = 1000000;
    r.trigger = 100;
    r.chn.resize(16);
    fillDisplayed(r);
    QCOMPARE(c.ask("get-actual-sample-time"), QByteArray("ACK -0.0001 0.0009"));
    QCOMPARE(c.ask("get-actual-sample-depth"), QByteArray("ACK 1000"));
}

void TstSocketApi::thresholdValues()
{
    Client c(*api);
    QVERIFY(c.connected());
    const QString dn = dev->devName;
    QCOMPARE(c.ask("set-threshold-voltage 1.2 -3.333"), QByteArray("ACK"));
    QCOMPARE(Config::readDeviceParam(dn, "chnVth"), QStringLiteral("1.20"));
    QCOMPARE(Config::readDeviceParam(dn, "chnVth2"), QStringLiteral("-3.33"));
    QCOMPARE(Config::readDeviceParam(dn, "chnLevel"), QStringLiteral("Custom I/O"));
    QCOMPARE(Config::readDeviceParam(dn, "chnLevel2"), QStringLiteral("Custom I/O"));
    // A third value is refused before any value is applied.
    QCOMPARE(c.ask("set-threshold-voltage 2 2 2"), QByteArray("NAK"));
    QCOMPARE(Config::readDeviceParam(dn, "chnVth"), QStringLiteral("1.20"));
    QCOMPARE(Config::readDeviceParam(dn, "chnVth2"), QStringLiteral("-3.33"));
    // Two values: the first stays applied when the second is refused.
    QCOMPARE(c.ask("set-threshold-voltage 0.5 volts"), QByteArray("NAK"));
    QCOMPARE(Config::readDeviceParam(dn, "chnVth"), QStringLiteral("0.50"));
    QCOMPARE(Config::readDeviceParam(dn, "chnVth2"), QStringLiteral("-3.33"));
}

void TstSocketApi::triggerWords_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("before");   // one digit per channel
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("ok");
    const QString none(16, '0');
    QTest::newRow("one edge") << QByteArray("set-trigger --pos-edge 1 2") << none << "0030000000000000" << true;
    QTest::newRow("levels and edge") << QByteArray("set-trigger --high-level 0 1 --neg-edge 5") << none
                                     << "2200040000000000" << true;
    QTest::newRow("edge moves") << QByteArray("set-trigger --neg-edge 9") << "1300000000000000"
                                << "1000000004000000" << true;
    QTest::newRow("reset") << QByteArray("set-trigger --reset") << "1230000000000004" << none << true;
    QTest::newRow("reset then kind") << QByteArray("set-trigger --reset --low-level 15") << "2200000000000000"
                                     << "0000000000000001" << true;
    QTest::newRow("disabled channel cleared") << QByteArray("set-trigger --low-level 0 14") << none
                                              << "1000000000000000" << true;
    QTest::newRow("bad word changes nothing") << QByteArray("set-trigger --low-level 1 x") << "0020000000000000"
                                              << "0020000000000000" << false;
    QTest::newRow("kind reset before number") << QByteArray("set-trigger --low-level 1 --reset 2")
                                              << "0200000000000000" << "0200000000000000" << false;
}

void TstSocketApi::triggerWords()
{
    QFETCH(QByteArray, command);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, ok);
    QVector<bool> ena(16, true);
    ena[14] = false;
    dev->setDChnEna(ena);
    for (int i = 0; i < 16; ++i)
        dev->dChnTrg[i] = TrgType(before[i].digitValue());
    QSignalSpy gui(api.get(), &SocketAPI::sigUpdateGUI);
    Client c(*api);
    QVERIFY(c.connected());
    QCOMPARE(c.ask(command), ok ? QByteArray("ACK") : QByteArray("NAK"));
    QString got;
    for (TrgType t : dev->dChnTrg)
        got += QString::number(int(t));
    QCOMPARE(got, after);
    QCOMPARE(gui.count(), ok ? 1 : 0);
    if (ok)
        QCOMPARE(gui.first().first().toInt(), 1);
}

void TstSocketApi::remoteCaptureSavedAndReloaded()
{
    gate->release(100);
    Client c(*api);
    QVERIFY(c.connected());
    QCOMPARE(c.ask("set-sample-rate 10000000"), QByteArray("ACK"));
    QCOMPARE(c.ask("set-sample-depth 200000"), QByteArray("ACK"));
    // The answer comes when the run has ended.
    QCOMPARE(c.ask("start --simulate --simulate"), QByteArray("ACK"));
    QCOMPARE(runsEnded, 1);
    QTRY_VERIFY(!dev->smpRunning);
    QCOMPARE(c.ask("get-actual-sample-depth"), QByteArray("ACK 200000"));

    const RefCapture ref = refOf(dev->displayedSmpData());
    QVERIFY(ref.count == 200000 && ref.rate == 10000000);
    const QString p = env->path("run one.vtdat");
    QCOMPARE(c.ask("save-data \"" + p.toUtf8() + "\""), QByteArray("ACK"));
    QByteArray head;
    QCOMPARE(blockOf(p, &head), refBlock(ref, allChannels(), 0, ref.count));
    QCOMPARE(head, Config::configText());

    // It reopens: the head merges and the block loads into a store.
    QVERIFY(Config::replaceConfig(head));
    SmpData back(16);
    DataFile rd;
    rd.smpData = &back;
    QVERIFY(rd.loadData(p, head.size()));
    QCOMPARE(back.smpCount, ref.count);
    QCOMPARE(back.trgPosition, ref.trigger);
    for (int ch = 0; ch < 16; ++ch)
        for (long long e : ref.chn[size_t(ch)].edges) {
            QCOMPARE(back.getPointLevel(ch, e - 1), ref.level(ch, e - 1));
            QCOMPARE(back.getPointLevel(ch, e), ref.level(ch, e));
        }
}

void TstSocketApi::runBlocksSettersAndStopIsNotAcknowledged()
{
    fillDisplayed(knownCapture());
    Client c(*api);
    QVERIFY(c.connected());
    QVERIFY(c.tell("start --simulate"));
    QVERIFY(dev->smpRunning);
    QCOMPARE(c.ask("start --simulate"), QByteArray("NAK"));
    QCOMPARE(c.lastError(), QByteArray("ACK sampling has been started"));
    for (const char* cmd : {"set-sample-rate 10000000", "set-sample-depth 20000", "set-sample-time 0.01",
                            "set-trigger --reset", "save-data /tmp/x.vtdat", "export-data /tmp/x.bin"}) {
        QCOMPARE(c.ask(cmd), QByteArray("NAK"));
        QCOMPARE(c.lastError(), QByteArray("ACK sampling in progress, cannot execute the command"));
    }
    // Thresholds are not held off by a run.
    QCOMPARE(c.ask("set-threshold-voltage 1"), QByteArray("ACK"));

    QCOMPARE(c.ask("stop"), QByteArray("ACK"));
    QVERIFY(!dev->smpRunning);
    QTRY_COMPARE(runsEnded, 1);
    // The run stopped this way was not answered: only the next reply arrives.
    QCOMPARE(c.lastError(), QByteArray("ACK sampling in progress, cannot execute the command"));
}

void TstSocketApi::takeoverGetsThePendingAck()
{
    Client a(*api);
    QVERIFY(a.connected());
    QVERIFY(a.tell("start --simulate"));
    QSignalSpy dropped(&a.sock, &QTcpSocket::disconnected);
    Client b(*api);
    QVERIFY(b.connected());
    QVERIFY(dropped.count() == 1 || dropped.wait(10000));
    QCOMPARE(b.ask("get-sample-rate").left(4), QByteArray("ACK "));
    gate->release();
    QCOMPARE(b.await(), QByteArray("ACK"));
    QCOMPARE(runsEnded, 1);
    QCOMPARE(a.sock.readAll(), QByteArray());
}

void TstSocketApi::failedRemoteCapture()
{
    // An instrument that cannot be reached: the start cannot configure it.
    dev->isConnected = true;
    Client c(*api);
    QVERIFY(c.connected());
    QCOMPARE(c.ask("start"), QByteArray("NAK"));
    QCOMPARE(runsEnded, 1);
    QVERIFY(dev->smpError != 0);
    QCOMPARE(c.lastError(), QByteArray("ACK sample failed"));
}

void TstSocketApi::exportsMatchTheCapture()
{
    const RefCapture ref = knownCapture();
    fillDisplayed(ref);
    Client c(*api);
    QVERIFY(c.connected());

    // 1 ms at 100 MHz is 100000 samples; these spans end 100.49 and 200.49 samples from the trigger.
    const QString csv = env->path("part.csv");
    QCOMPARE(c.ask("export-data " + csv.toUtf8() + " --time-span -0.0000010049 0.0000020049 --chn-select 0 3"),
             QByteArray("ACK"));
    Sel sel{};
    sel[0] = sel[3] = true;
    QCOMPARE(readAllOf(csv), refCsv(ref, sel, 900, 1200, "Time[s], Channel 0, Channel 3\n"));

    const QString bin = env->path("all.bin");
    QCOMPARE(c.ask("export-data " + bin.toUtf8()), QByteArray("ACK"));
    QCOMPARE(readAllOf(bin), refBin(ref, allChannels(), 0, ref.count));

    // "save-data" exports too; from 10.0049 us after the trigger to the end.
    const QString txt = env->path("tail.txt");
    QCOMPARE(c.ask("save-data " + txt.toUtf8() + " --time-span 0.0000100049"), QByteArray("ACK"));
    QByteArray header = "Time[s]";
    for (int ch = 0; ch < 16; ++ch)
        header += ", Channel " + QByteArray::number(ch);
    QCOMPARE(readAllOf(txt), refCsv(ref, allChannels(), 2000, ref.count, header + '\n'));

    // Refusals: suffix case, file name after the span, span not finite or huge,
    // channel out of range, an unwritable path.
    const QByteArray dir = env->path("x").toUtf8().chopped(1);
    const QList<QPair<QByteArray, QByteArray>> refused = {
        {"export-data " + dir + "x.CSV", "invalid parameter"},
        {"export-data --time-span 0 1 " + dir + "x.csv", "invalid parameter"},
        {"export-data " + dir + "x.csv --time-span nan", "invalid parameter"},
        {"export-data " + dir + "x.csv --time-span 0 1e300", "invalid parameter"},
        {"export-data " + dir + "x.csv --time-span 0 inf", "invalid parameter"},
        {"export-data " + dir + "x.csv --chn-select 16", "invalid parameter"},
        {"export-data " + dir + "x.csv stray", "invalid parameter"},
        {"save-data " + dir + "no/such/x.vtdat", "save file failed"},
    };
    for (const auto& r : refused) {
        QCOMPARE(c.ask(r.first), QByteArray("NAK"));
        QCOMPARE(c.lastError(), "ACK " + r.second);
    }
    QVERIFY(!QFile::exists(env->path("x.CSV")) && !QFile::exists(env->path("x.csv")));
}

void TstSocketApi::saveWithLargeSettingsReopens()
{
    // Another device's section makes the whole document larger than the
    // window the loader searches for its end.
    Config::saveDeviceParam(QStringLiteral("VX9151"), QStringLiteral("notes"), QString(40000, 'n'));
    QVERIFY(Config::configText().size() > Config::headWindow);
    const RefCapture ref = knownCapture();
    fillDisplayed(ref);
    Client c(*api);
    QVERIFY(c.connected());
    const QString p = env->path("big.vtdat");
    QCOMPARE(c.ask("save-data " + p.toUtf8()), QByteArray("ACK"));
    QByteArray head;
    QCOMPARE(blockOf(p, &head), refBlock(ref, allChannels(), 0, ref.count));
    QCOMPARE(head, Config::minConfigText(dev->devName));
    QVERIFY(Config::replaceConfig(head));
}

void TstSocketApi::fileJobRefusesCommands()
{
    // A text export large enough for the file thread, on a store of its own.
    RefCapture big;
    big.count = 400001;
    big.chn.resize(16);
    big.chn[0].present = true;
    for (long long p = 1; p < big.count; p += 2)
        big.chn[0].edges.push_back(p);
    SmpData store(16);
    fillStore(store, big);
    Client c(*api);
    QVERIFY(c.connected());

    QByteArray during, why;
    bool ran = false;
    // Runs inside the job's wait, where events still turn.
    QTimer::singleShot(0, this, [&] {
        ran = DataFile::jobRunning();
        during = c.ask("get-sample-rate");
        why = c.lastError();
    });
    DataFile df;
    df.useDialog = false;
    df.smpData = &store;
    Sel sel{};
    sel[0] = true;
    QVERIFY(df.exportCSV(env->path("job.csv"), sel.data(), 0, big.count, false));
    QVERIFY(ran);
    QCOMPARE(during, QByteArray("NAK"));
    QCOMPARE(why, QByteArray("ACK sampling in progress, cannot execute the command"));
    QVERIFY(!DataFile::jobRunning());
    QCOMPARE(c.ask("get-sample-rate").left(4), QByteArray("ACK "));
}

void TstSocketApi::settingsFromFileDoNotEnable()
{
    api.reset();
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const QByteArray port = QByteArray::number(probe.serverPort());
    probe.close();
    const QByteArray file = "<settings><global><devModel>0</devModel><enaSocket>1</enaSocket><listenPort>" + port
        + "</listenPort><viewState>2</viewState></global></settings>\n";
    const QString enaBefore = Config::readGlobalParam("enaSocket");
    const QString portBefore = Config::readGlobalParam("listenPort");
    const QString p = env->path("remote.vtset");
    QVERIFY(writeFile(p, file));
    QByteArray head;
    QVERIFY(Config::extractConfig(p, head));
    QVERIFY(Config::replaceConfig(head));
    QCOMPARE(Config::viewState, 2);   // the file was taken
    QCOMPARE(Config::readGlobalParam("enaSocket"), enaBefore);
    QCOMPARE(Config::readGlobalParam("listenPort"), portBefore);
    api.reset(new SocketAPI);
    QVERIFY(!serverOf(*api)->isListening());
}

void TstSocketApi::configuredSwitchAndPort_data()
{
    QTest::addColumn<QString>("ena");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("expectPort");
    QTest::newRow("missing") << QString() << QString() << false << 23367;
    QTest::newRow("zero") << "0" << "0" << false << 23367;
    QTest::newRow("text") << "yes" << "port" << false << 23367;
    QTest::newRow("on, too high") << "1" << "70000" << true << 23367;
    QTest::newRow("any non-zero") << "-2" << "65535" << true << 65535;
    QTest::newRow("lowest") << "1" << "1" << true << 1;
}

void TstSocketApi::configuredSwitchAndPort()
{
    QFETCH(QString, ena);
    QFETCH(QString, port);
    QFETCH(bool, enabled);
    QFETCH(int, expectPort);
    if (!ena.isNull())
        Config::saveGlobalParam("enaSocket", ena);
    if (!port.isNull())
        Config::saveGlobalParam("listenPort", port);
    QCOMPARE(SocketAPI::configuredEnable(), enabled);
    QCOMPARE(int(SocketAPI::configuredPort()), expectPort);
    if (!enabled) {
        SocketAPI off;
        QVERIFY(!serverOf(off)->isListening());
    }
}

QTEST_MAIN(TstSocketApi)
#include "tst_socketapi.moc"
