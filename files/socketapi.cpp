#include "files/socketapi.h"

#include "analysis/analyzermanager.h"
#include "core/config.h"
#include "core/finitenumber.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "files/datafile.h"

#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QVector>

#include <algorithm>

namespace {

// Seconds relative to the trigger to a sample position; only text that is
// not a finite number is refused. The data file clamps the range to the
// capture, so a time far beyond it is first held well inside 64 bits.
bool timeToSample(const QString& word, long long rate, long long trigger, long long* pos)
{
    double t = 0;
    if (!readFiniteNumber(word, &t))
        return false;
    const double x = std::max(-1e18, std::min(t * double(rate), 1e18));
    *pos = (long long)x + trigger;
    return true;
}

} // namespace

const SocketAPI::SocketCommand SocketAPI::commands[14] = {
    {"start", &SocketAPI::actStart, true, false},
    {"stop", &SocketAPI::actStop, false, false},
    {"set-sample-rate", &SocketAPI::actSetSampleRate, false, false},
    {"get-sample-rate", &SocketAPI::actGetSampleRate, false, true},
    {"get-supported-sample-rate", &SocketAPI::actGetSupportRate, false, true},
    {"set-sample-depth", &SocketAPI::actSetSampleDepth, false, false},
    {"set-sample-time", &SocketAPI::actSetSampleTime, false, false},
    {"get-actual-sample-depth", &SocketAPI::actGetActualDepth, false, true},
    {"get-actual-sample-time", &SocketAPI::actGetActualTime, false, true},
    {"set-threshold-voltage", &SocketAPI::actSetThresVoltage, false, false},
    {"set-trigger", &SocketAPI::actSetTrigger, false, false},
    {"save-data", &SocketAPI::actExportData, false, false},
    {"export-data", &SocketAPI::actExportData, false, false},
    {"get-last-error", &SocketAPI::actLastError, false, true},
};

SocketAPI::SocketAPI(QObject* parent)
    : QObject(parent)
    , server(new QTcpServer(this))
    , overLongRest(new QTimer(this))
{
    overLongRest->setSingleShot(true);
    overLongRest->setInterval(RestGapMs);
    connect(server, &QTcpServer::newConnection, this, &SocketAPI::slotNewConnection);
    port = configuredPort();
    if (configuredEnable())
        open(port);
}

bool SocketAPI::configuredEnable()
{
    return Config::readGlobalParam(QStringLiteral("enaSocket")).toInt(nullptr, 10) != 0;
}

quint16 SocketAPI::configuredPort()
{
    const int p = Config::readGlobalParam(QStringLiteral("listenPort")).toInt(nullptr, 10);
    return p >= 1 && p <= 65535 ? quint16(p) : DefaultPort;
}

bool SocketAPI::open(quint16 newPort, const QHostAddress& newAddress)
{
    if (newPort != port || newAddress != address) {
        port = newPort;
        address = newAddress;
        closeServer();
        return server->listen(address, port);
    }
    return server->isListening() || server->listen(address, port);
}

void SocketAPI::closeServer()
{
    if (!server->isListening())
        return;
    closeSocket();
    server->close();
}

void SocketAPI::closeSocket()
{
    if (!client)
        return;
    client->disconnect(this);
    client->close();
    // Later: this may run while the socket is still delivering a signal.
    client->deleteLater();
    client = nullptr;
}

bool SocketAPI::clientOpen() const
{
    return client && client->state() == QAbstractSocket::ConnectedState;
}

void SocketAPI::write(const QByteArray& bytes)
{
    if (!clientOpen())
        return;
    client->write(bytes);
    client->flush();
}

void SocketAPI::slotNewConnection()
{
    // The newest program takes over; the one before is dropped silently.
    while (QTcpSocket* next = server->nextPendingConnection()) {
        closeSocket();
        overLongRest->stop();
        client = next;
        connect(client, &QTcpSocket::readyRead, this, &SocketAPI::slotReadClient);
    }
}

void SocketAPI::slotReadClient()
{
    auto* sock = qobject_cast<QTcpSocket*>(sender());
    if (!sock)
        return;
    // Everything readable now is one arrival; only its start is kept.
    QByteArray data = sock->read(KeepBytes);
    bool cut = false;
    char sink[16384];
    while (sock->bytesAvailable() > 0 && sock->read(sink, sizeof sink) > 0)
        cut = true;
    if (sock != client)
        return;
    const int nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    // No UTF-16 unit comes from more than three bytes: a longer byte string is
    // too long without decoding it. A cut arrival is too long whatever its
    // NUL: what follows the NUL may be a command its writer never meant.
    QString text;
    const bool overLong = cut || data.size() > 3 * MaxCommandChars
        || (text = QString::fromUtf8(data)).size() > MaxCommandChars;
    if (overLong) {
        // Its rest may follow in further pieces: they are dropped with it.
        lastError = 1;
        overLongRest->start();
        return;
    }
    // A short piece within the window does not hold it open, so a client
    // that keeps asking is answered again soon after.
    if (overLongRest->isActive())
        return;
    execute(splitWords(text));
}

QStringList SocketAPI::splitWords(const QString& text)
{
    QStringList words;
    int s = 0;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(' ')) {
            if (i <= s) {
                s = i + 1;
            } else if (!quoted) {
                words << text.mid(s, i - s);
                s = i + 1;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        }
    }
    if (s < text.size())
        words << text.mid(s);
    return words;
}

void SocketAPI::execute(const QStringList& words)
{
    const SocketCommand* cmd = nullptr;
    for (const SocketCommand& c : commands) {
        if (!words.isEmpty() && words.first() == QLatin1String(c.word)) {
            cmd = &c;
            break;
        }
    }
    if (!cmd) {
        lastError = 2;
        respond(false, false);
        return;
    }
    bool ok = false;
    // A file job reads or fills a store while its dialog keeps events
    // turning: queries and "stop" (no run is active then) are answered.
    const bool harmless = cmd->withValue || cmd->handler == &SocketAPI::actStop;
    if (cmd->handler == &SocketAPI::actLastError)
        ok = actLastError(words);
    else if (DataFile::jobRunning() && !harmless)
        ok = fail(9);
    else if (!devUsing)
        ok = fail(7);
    else
        ok = (this->*cmd->handler)(words);
    if (!ok)
        respond(false, false);
    else if (!cmd->deferred)
        respond(true, cmd->withValue);
}

void SocketAPI::respond(bool ok, bool withValue)
{
    if (!ok)
        write(QByteArrayLiteral("NAK"));
    else if (!withValue)
        write(QByteArrayLiteral("ACK"));
    else
        write(QByteArrayLiteral("ACK ") + replyText.toUtf8());
}

bool SocketAPI::fail(int code)
{
    lastError = code;
    return false;
}

bool SocketAPI::settable(const QStringList& words, int count)
{
    if (devUsing->smpRunning)
        return fail(9);
    return words.size() == count || fail(3);
}

void SocketAPI::ackSampleComplete(bool ok)
{
    if (stopRequested)
        return;
    if (!ok)
        lastError = 4;
    write(ok ? QByteArrayLiteral("ACK") : QByteArrayLiteral("NAK"));
}

QString SocketAPI::errorText(int code)
{
    // Protocol texts: scripts compare them, so they are never translated.
    static const char* const texts[] = {"no error",
                                        "command is too long",
                                        "invalid command",
                                        "invalid parameter",
                                        "sample failed",
                                        "save file failed",
                                        "sampling has been started",
                                        "device unconnected, cannot start sample",
                                        "device connected, cannot start simulate",
                                        "sampling in progress, cannot execute the command",
                                        "there is no data to save or export"};
    if (code < 0 || code >= int(sizeof(texts) / sizeof(texts[0])))
        return QStringLiteral("unknown error");
    return QLatin1String(texts[code]);
}

// ---------------------------------------------------------------- handlers

bool SocketAPI::actStart(const QStringList& words)
{
    for (int i = 1; i < words.size(); ++i)
        if (words[i] != QLatin1String("--simulate"))
            return fail(3);
    const bool simulate = words.size() > 1;
    stopRequested = false;
    if (devUsing->smpRunning)
        return fail(6);
    if (devUsing->isConnected == simulate)
        return fail(simulate ? 8 : 7);
    AnalyzerManager::stopAllAnalyzer();
    AnalyzerManager::clearAnalyzerResult();
    devUsing->smpStart(SmpStartSingle, true);
    return true;
}

bool SocketAPI::actStop(const QStringList& words)
{
    if (words.size() != 1)
        return fail(3);
    stopRequested = true;
    if (devUsing->smpRunning)
        devUsing->smpStopAndWait();
    return true;
}

bool SocketAPI::actSetSampleRate(const QStringList& words)
{
    if (!settable(words, 2))
        return false;
    const int i = devUsing->smpFrequList.indexOf(words[1].toLongLong(nullptr, 10));
    if (i < 0)
        return fail(3);
    devUsing->setSmpFrequ(i);
    emit sigUpdateGUI(GuiSampling);
    return true;
}

bool SocketAPI::actGetSampleRate(const QStringList& words)
{
    if (words.size() != 1)
        return fail(3);
    replyText = QString::number(devUsing->getSmpFrequ());
    return true;
}

bool SocketAPI::actGetSupportRate(const QStringList& words)
{
    if (words.size() != 1)
        return fail(3);
    QStringList rates;
    for (qint64 r : devUsing->smpFrequList)
        rates << QString::number(r);
    replyText = rates.join(QLatin1Char(' '));
    return true;
}

bool SocketAPI::actSetSampleDepth(const QStringList& words)
{
    if (!settable(words, 2))
        return false;
    const qint64 rate = devUsing->getSmpFrequ();
    if (rate < 1 || !devUsing->setSmpTime(double(words[1].toLongLong(nullptr, 10)) / double(rate)))
        return fail(3);
    emit sigUpdateGUI(GuiSampling);
    return true;
}

bool SocketAPI::actSetSampleTime(const QStringList& words)
{
    if (!settable(words, 2))
        return false;
    double t = 0;
    if (!readFiniteNumber(words[1], &t) || !devUsing->setSmpTime(t))
        return fail(3);
    emit sigUpdateGUI(GuiSampling);
    return true;
}

bool SocketAPI::actGetActualDepth(const QStringList& words)
{
    if (words.size() != 1)
        return fail(3);
    auto s = devUsing->displayedSmpData();
    replyText = QString::number(s ? s->smpCount : 0);
    return true;
}

bool SocketAPI::actGetActualTime(const QStringList& words)
{
    if (words.size() != 1)
        return fail(3);
    auto s = devUsing->displayedSmpData();
    if (!s || s->smpFrequ < 1) {
        replyText = QStringLiteral("0 0");
        return true;
    }
    const double r = double(s->smpFrequ);
    replyText = QString::number(double(-s->trgPosition) / r, 'g', 9) + QLatin1Char(' ')
        + QString::number(double(s->smpCount - s->trgPosition) / r, 'g', 9);
    return true;
}

bool SocketAPI::actSetThresVoltage(const QStringList& words)
{
    // The device has two threshold groups; a third value would address
    // registers of other functions, so such a command changes nothing.
    if (words.size() < 2 || words.size() > 3)
        return fail(3);
    for (int i = 1; i < words.size(); ++i) {
        double v = 0;
        if (!readFiniteNumber(words[i], &v) || v < -4.0 || v > 4.0)
            return fail(3);
        devUsing->setVthValue(v, i - 1);
        const QString suffix = i == 1 ? QString() : QStringLiteral("2");
        Config::saveDeviceParam(devUsing->devName, QStringLiteral("chnLevel") + suffix,
                                Lang::tr(QStringLiteral("Custom I/O")));
        Config::saveDeviceParam(devUsing->devName, QStringLiteral("chnVth") + suffix, QString::number(v, 'f', 2));
        // Shown at once: a later word may still refuse the command.
        emit sigUpdateGUI(GuiThreshold);
    }
    return true;
}

bool SocketAPI::actSetTrigger(const QStringList& words)
{
    if (devUsing->smpRunning)
        return fail(9);
    QVector<TrgType> trg = devUsing->dChnTrg;
    TrgType kind = TrgNone;
    for (int i = 1; i < words.size(); ++i) {
        const QString& w = words[i];
        if (w.startsWith(QLatin1String("--"))) {
            if (w == QLatin1String("--low-level"))
                kind = TrgLow;
            else if (w == QLatin1String("--high-level"))
                kind = TrgHigh;
            else if (w == QLatin1String("--pos-edge"))
                kind = TrgRise;
            else if (w == QLatin1String("--neg-edge"))
                kind = TrgFall;
            else if (w == QLatin1String("--reset")) {
                trg.fill(TrgNone);
                kind = TrgNone;
            } else {
                return fail(3);
            }
            continue;
        }
        bool ok = false;
        const int chn = w.toInt(&ok, 10);
        if (kind == TrgNone || !ok || chn < 0 || chn >= trg.size())
            return fail(3);
        if (kind == TrgRise || kind == TrgFall)
            for (TrgType& t : trg)
                if (t == TrgRise || t == TrgFall)
                    t = TrgNone;
        trg[chn] = kind;
    }
    for (int chn = 0; chn < trg.size(); ++chn)
        devUsing->setDChnTrg(chn, devUsing->dChnEna.value(chn) ? trg[chn] : TrgNone);
    emit sigUpdateGUI(1);
    return true;
}

bool SocketAPI::actExportData(const QStringList& words)
{
    if (devUsing->smpRunning)
        return fail(9);
    // Held for the whole job, so the capture cannot go away under it.
    auto s = devUsing->displayedSmpData();
    if (!s || s->smpCount < 1)
        return fail(10);

    QString name;
    QStringList times, chns;
    QStringList* list = nullptr;
    for (int i = 1; i < words.size(); ++i) {
        const QString& w = words[i];
        if (w.startsWith(QLatin1String("--"))) {
            if (w == QLatin1String("--time-span"))
                list = &times;
            else if (w == QLatin1String("--chn-select"))
                list = &chns;
            else
                return fail(3);
        } else if (name.isEmpty()) {
            name = w;
        } else if (list) {
            *list << w;
        } else {
            return fail(3);
        }
    }

    long long start = 0, end = s->smpCount;
    if (!times.isEmpty() && !timeToSample(times[0], s->smpFrequ, s->trgPosition, &start))
        return fail(3);
    if (times.size() > 1 && !timeToSample(times[1], s->smpFrequ, s->trgPosition, &end))
        return fail(3);

    // One flag per channel of the device, and at least one per channel of the store.
    const int devChn = devUsing->dChnEna.size();
    QVector<bool> sel(qMax(devChn, s->chnNum), chns.isEmpty());
    for (const QString& w : chns) {
        bool ok = false;
        const int c = w.toInt(&ok, 10);
        if (!ok || c < 0 || c >= devChn)
            return fail(3);
        sel[c] = true;
    }

    if (name.isEmpty())
        return fail(3);
    const QString path = QString(name).remove(QLatin1Char('"'));
    const QString suffix = QFileInfo(path).suffix();
    DataFile df;
    df.smpData = &*s;
    bool ok = false;
    if (suffix == QLatin1String("vtdat")) {
        // The loader looks for the settings within its head window: a whole
        // document too large for it gives way to the reduced one.
        QByteArray head;
        if (!DataFile::fullConfigHead(&head) || head.size() > Config::headWindow)
            DataFile::minConfigHead(devUsing->devName, &head);
        ok = !head.isEmpty() && head.size() <= Config::headWindow
            && df.saveData(path, head, sel.constData(), start, end, true);
    } else if (suffix == QLatin1String("txt") || suffix == QLatin1String("csv")) {
        ok = df.exportCSV(path, sel.constData(), start, end, true);
    } else if (suffix == QLatin1String("bin")) {
        ok = df.exportBin(path, sel.constData(), start, end, true);
    } else {
        return fail(3);
    }
    return ok || fail(5);
}

bool SocketAPI::actLastError(const QStringList&)
{
    replyText = errorText(lastError);
    return true;
}

QStringList SocketAPI::commandWords()
{
    QStringList words;
    for (const SocketCommand& c : commands)
        words << QLatin1String(c.word);
    return words;
}

// Kept out of the library's shared moc unit, so users of the data file alone
// do not pull in the server and the device layer.
#include "moc_socketapi.cpp"
