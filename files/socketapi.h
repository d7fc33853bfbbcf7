#pragma once
// The TCP command server: another program drives captures over a plain TCP
// connection, one client at a time, one command per arrival of data, answered
// "ACK", "ACK <value>" or "NAK". A capture started by "start" is answered when
// it ends, through ackSampleComplete, which the main window calls.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;
class QTimer;

class SocketAPI : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 23367;
    // Longest command, in characters, that is still carried out.
    static constexpr int MaxCommandChars = 2048;
    // Bytes of an arrival that are kept: no character takes more than three,
    // so an arrival with more and no NUL among them is too long. The rest is
    // read and dropped in chunks; the kernel's receive buffer bounds what
    // waits unread while a long command keeps the event loop away.
    static constexpr int KeepBytes = 3 * MaxCommandChars + 1;
    // An over-long write may reach us in several pieces: what follows an
    // over-long arrival within this time is taken as its rest.
    static constexpr int RestGapMs = 200;

    // Listens when the global setting "enaSocket" is not 0, on "listenPort".
    explicit SocketAPI(QObject* parent = nullptr);

    // The switch and port from the settings: "enaSocket" not 0 enables the
    // server; "listenPort" in 1..65535 is the port, anything else the default.
    static bool configuredEnable();
    static quint16 configuredPort();

    // Listens on port (every local address unless another is given); true
    // when it listens. A new port or address drops the client and rebinds.
    bool open(quint16 port, const QHostAddress& address = QHostAddress::Any);
    void closeServer();
    void closeSocket();

    // End of a run started by "start": "ACK" or "NAK" to the client, unless
    // "stop" ended it. A failed run leaves "sample failed" as the last error.
    void ackSampleComplete(bool ok);

    // Text of an error code, as "get-last-error" answers it.
    static QString errorText(int code);
    // The command words the server accepts, in the order it looks them up.
    static QStringList commandWords();
    // Splits a command into words at spaces outside double quotes; the quotes
    // stay in the words.
    static QStringList splitWords(const QString& text);

    // What a command changed, for the window to show it.
    enum GuiChange { GuiTriggers = 1, GuiSampling = 2, GuiThreshold = 3 };

signals:
    // A GuiChange: the digital triggers, the rate or depth, or the thresholds.
    void sigUpdateGUI(int code);

private slots:
    void slotNewConnection();
    void slotReadClient();

private:
    using Handler = bool (SocketAPI::*)(const QStringList&);
    struct SocketCommand {
        const char* word;
        Handler handler;
        bool deferred;
        bool withValue;
    };
    static const SocketCommand commands[14];

    void execute(const QStringList& words);
    void respond(bool ok, bool withValue);
    void write(const QByteArray& bytes);
    bool clientOpen() const;
    bool fail(int code);
    // A setter's first checks: no run active (9), then its number of words (3).
    bool settable(const QStringList& words, int count);

    bool actStart(const QStringList& words);
    bool actStop(const QStringList& words);
    bool actSetSampleRate(const QStringList& words);
    bool actGetSampleRate(const QStringList& words);
    bool actGetSupportRate(const QStringList& words);
    bool actSetSampleDepth(const QStringList& words);
    bool actSetSampleTime(const QStringList& words);
    bool actGetActualDepth(const QStringList& words);
    bool actGetActualTime(const QStringList& words);
    bool actSetThresVoltage(const QStringList& words);
    bool actSetTrigger(const QStringList& words);
    bool actExportData(const QStringList& words);
    bool actLastError(const QStringList& words);

    QTcpServer* server = nullptr;
    QTcpSocket* client = nullptr;
    // Runs while the rest of a cut over-long write may still arrive.
    QTimer* overLongRest = nullptr;
    quint16 port = DefaultPort;
    QHostAddress address = QHostAddress::Any;
    QString replyText;
    int lastError = 0;
    bool stopRequested = false;
};
