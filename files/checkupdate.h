#pragma once
// Asks the update server whether a newer version exists: automatically after
// start (at most every seven days) and on request from the main menu. The
// answer is shown in the update dialog.

#include <QByteArray>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QString>

class QDomNode;
class QNetworkReply;
class UpdateDialog;

class CheckUpdate : public QNetworkAccessManager
{
    Q_OBJECT

public:
    // Delays before a request, and limits on the reply.
    static constexpr int AutoDelayMs = 5000;
    static constexpr int ManualDelayMs = 500;
    static constexpr int DefaultTimeoutMs = 30000;
    static constexpr qint64 MaxReplyBytes = 65536;
    // How the time of the last request is stored in "lastUpdate".
    static constexpr const char* DateFormat = "yyyy-MM-dd_hh:mm:ss";

    // The dialog gets the parent too (the main window), which must be a widget or null.
    explicit CheckUpdate(QObject* parent = nullptr);

    void autoCheck();
    void manualCheck();
    void sendRequest();

    static QString getSystemType();
    static QString getUpdateInfo(const QDomNode& node, const QString& key);
    // The form body of a request, byte for byte; empties "zeroSmpCnt" when it sent it.
    static QByteArray requestBody(int kind, int model, const QString& uuidHex);
    // Result 0..3 of a reply body, with the texts of the reply that it uses.
    static int interpretReply(const QByteArray& body, QString* last, QString* dnlLink, QString* updLink);
    // True when a check is due: the last request (as stored) lies seven or more
    // days (midnights) before now, or was never made.
    static bool checkDue(const QString& lastUpdate, const QDateTime& now);

    // Scheme and host of the update server; the build sets the default.
    static QString updateServer();
    static void setUpdateServer(const QString& base);
    static QString changeLogUrl();

    UpdateDialog* dialog;
    const QString dateFormat = QLatin1String(DateFormat);
    int requestKind = 0;   // 0 automatic, 1 manual
    bool cancelled = false;
    // A request that gets no complete answer within this time fails (result 3).
    int timeoutMs = DefaultTimeoutMs;

protected:
    void timerEvent(QTimerEvent* event) override;

private slots:
    void slotReplyFinished(QNetworkReply* reply);
    void slotUpdateCancel();

private:
    static QString server_;
};
