// The update check against a local HTTP server: the request body, the
// results and their texts, failures, and the start of the Updater.
#include "core/config.h"
#include "core/lang.h"
#include "common/tempenv.h"
#include "device/devbase.h"
#include "files/checkupdate.h"
#include "files/updatedialog.h"
#include "filetesthelp.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QtTest>

#include <memory>

class TstCheckUpdate : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;
    QProcess server;

    QString dir() const { return env->path(QStringLiteral("srv")); }
    void reply(const QByteArray& body) { QVERIFY(writeFile(dir() + "/reply", body)); }
    static QByteArray offer(const char* last, const char* support, const char* upd, const char* dnl)
    {
        return QByteArray("<?xml version=\"1.0\"?><tav><last>") + last + "</last><support>" + support
            + "</support><updlink>" + upd + "</updlink><dnllink>" + dnl + "</dnllink></tav>";
    }
    // Sends one request and waits for its reply to be handled.
    void check(CheckUpdate& cu, int kind = 1)
    {
        QSignalSpy done(&cu, &QNetworkAccessManager::finished);
        cu.requestKind = kind;
        cu.sendRequest();
        QVERIFY(done.wait(20000));
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QNetworkReply*>();
        env.reset(new TempEnv);
        QDir().mkpath(dir());
        server.start(QStringLiteral("python3"),
                     {QString::fromLocal8Bit(qgetenv("TAV_SOURCE_DIR")) + "/tests/files/updcheckserver.py",
                      QStringLiteral("--dir"), dir()});
        QVERIFY(server.waitForReadyRead(20000));
        CheckUpdate::setUpdateServer("http://127.0.0.1:" + QString::fromLatin1(server.readLine().trimmed()));
    }
    void cleanupTestCase()
    {
        server.kill();
        server.waitForFinished();
        env.reset();
    }
    void init()
    {
        Config::loadDefaultConfig();
        Lang::load(QStringLiteral("en-US"));
        QFile::remove(dir() + "/hang");
        QFile::remove(dir() + "/request");
    }

    void requestBodyExact()
    {
        devUsing = DevBase::createDevice(DevModel2127);
        Config::saveGlobalParam("zeroSmpCnt", "3(3.5.0) a&b");
        reply("<tav/>");
        CheckUpdate cu;
        check(cu);
        delete devUsing;
        devUsing = nullptr;
        const QByteArray req = readAllOf(dir() + "/request");
        const QRegularExpression re(
            "^application/x-www-form-urlencoded\napp=tav&ver=3\\.5\\.0&op=1&bw=64&os=linux&mod=2&vd=[0-9a-f]{32}"
            "&zc=3\\(3\\.5\\.0\\) a&b&osv=" + QRegularExpression::escape(QSysInfo::prettyProductName()) + "$");
        QVERIFY2(re.match(QString::fromUtf8(req)).hasMatch(), req.constData());
        QCOMPARE(Config::readGlobalParam("zeroSmpCnt"), QString());
        // Without a stored note the field is left out.
        check(cu, 0);
        QVERIFY(readAllOf(dir() + "/request").contains("&op=0&"));
        QVERIFY(!readAllOf(dir() + "/request").contains("&zc="));
    }

    void results_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("okShown");
        QTest::addColumn<bool>("shown");
        const QString found = "Find a new version: ";
        QTest::newRow("0 automatic") << offer("3.6.0", "3.0.0", "https://u.example/t", "https://d.example/")
                                     << "" << found + "3.6.0, Update now?" << true << true;
        QTest::newRow("0 loopback http") << offer("3.6.0", "", "http://127.0.0.1:9/t", "https://d.example/") << ""
                                         << found + "3.6.0, Update now?" << true << true;
        QTest::newRow("1 support newer") << offer("3.6.0", "3.5.1", "https://u.example/t", "https://d.example/")
                                         << found + "3.6.0" << "Please click the link below to download." << false
                                         << true;
        QTest::newRow("1 plain http elsewhere") << offer("3.6.0", "3.0.0", "http://10.0.0.1/t", "https://d/")
                                                << found + "3.6.0" << "Please click the link below to download."
                                                << false << true;
        QTest::newRow("2 fourth part ignored") << offer("3.5.0.7", "3.0.0", "https://u/", "https://d/") << ""
                                               << "It's the latest version, no updates required." << false << false;
        QTest::newRow("3 root case") << QByteArray("<TAV><last>9.0.0</last></TAV>") << ""
                                     << "Update check failed." << false << false;
        QTest::newRow("3 not xml") << QByteArray("<html><body>Bad gateway") << "" << "Update check failed."
                                   << false << false;
        QByteArray big = offer("9.0.0", "3.0.0", "https://u/", "https://d/");
        big.insert(5, "<pad>" + QByteArray(200000, 'x') + "</pad>");
        QTest::newRow("3 oversized") << big << "" << "Update check failed." << false << false;
    }
    void results()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, head);
        QFETCH(QString, message);
        QFETCH(bool, okShown);
        QFETCH(bool, shown);
        reply(body);
        CheckUpdate cu;
        check(cu, 0);
        QCOMPARE(cu.dialog->labelHead->text(), head);
        QCOMPARE(cu.dialog->labelMsg->text(), message);
        QCOMPARE(cu.dialog->buttonOk->isVisibleTo(cu.dialog), okShown);
        QCOMPARE(cu.dialog->isVisible(), shown);
    }

    void timeoutFails()
    {
        reply(offer("9.0.0", "3.0.0", "https://u/", "https://d/"));
        QVERIFY(writeFile(dir() + "/hang", ""));
        CheckUpdate cu;
        cu.timeoutMs = 300;
        check(cu);
        QCOMPARE(cu.dialog->labelMsg->text(), QStringLiteral("Update check failed."));
    }

    void manualCancelledStaysHidden()
    {
        reply(offer("3.6.0", "3.0.0", "https://u/", "https://d/"));
        QVERIFY(writeFile(dir() + "/hang", ""));
        CheckUpdate cu;
        QSignalSpy done(&cu, &QNetworkAccessManager::finished);
        cu.manualCheck();
        QVERIFY(cu.dialog->isVisible());
        QCOMPARE(cu.dialog->labelMsg->text(), QStringLiteral("Looking for updates, please wait..."));
        // Cancelled while the server has the request.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir() + "/request"), 20000);
        cu.dialog->buttonCancel->click();
        QFile::remove(dir() + "/hang");
        QVERIFY(done.wait(20000));
        QVERIFY(!cu.dialog->isVisible());
        QVERIFY(cu.dialog->buttonOk->isVisibleTo(cu.dialog));
        QVERIFY(!Config::readGlobalParam("lastUpdate").isEmpty());
    }

    void autoCheckAfterDelay()
    {
        reply("<tav><last>1.0.0</last></tav>");
        CheckUpdate cu;
        QSignalSpy done(&cu, &QNetworkAccessManager::finished);
        cu.autoCheck();
        QVERIFY(done.wait(30000));
        QVERIFY(readAllOf(dir() + "/request").contains("&op=0&"));
        QVERIFY(!cu.dialog->isVisible());
    }

    void checkDue_data()
    {
        QTest::addColumn<QString>("last");
        QTest::addColumn<bool>("due");
        QTest::newRow("never") << "" << true;
        QTest::newRow("malformed") << "2024-01-01 10:00:00" << true;
        QTest::newRow("evening before") << "2024-03-09_23:30:00" << false;
        QTest::newRow("six days") << "2024-03-04_07:00:00" << false;
        QTest::newRow("seven days") << "2024-03-03_09:00:00" << true;
        QTest::newRow("future") << "2024-04-01_00:00:00" << false;
    }
    void checkDue()
    {
        QFETCH(QString, last);
        QFETCH(bool, due);
        const QDateTime now = QDateTime::fromString("2024-03-10_08:00:00", CheckUpdate::DateFormat);
        QCOMPARE(CheckUpdate::checkDue(last, now), due);
    }

    void updaterStartedWithFourArguments()
    {
        Config::saveGlobalParam("userLang", "zh-CN");
        const QString log = env->path("args.txt");
        const QString prog = env->path("Updater");
        QVERIFY(writeFile(prog, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + log.toUtf8() + ".tmp'\nmv '"
                                    + log.toUtf8() + ".tmp' '" + log.toUtf8() + "'\n"));
        QVERIFY(QFile::setPermissions(prog, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        reply(offer("3.6", "3.0.0", "http://127.0.0.1:8/t", "https://d/"));
        CheckUpdate cu;
        int closed = 0;
        cu.dialog->closeAllWindows = [&closed] { ++closed; };
        cu.dialog->updaterProgram = prog;
        check(cu);
        cu.dialog->buttonOk->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log), 20000);
        QCOMPARE(readAllOf(log), QByteArray("http://127.0.0.1:8/t\n3.5.0\n3.6.0\nzh-CN\n"));
        QCOMPARE(closed, 1);
    }

    void updaterMissingShowsLink()
    {
        reply(offer("3.6.0", "3.0.0", "https://u.example/t", "https://d.example/a&quot;&gt;&lt;img src=x&gt;"));
        CheckUpdate cu;
        cu.dialog->updaterProgram = env->path("no-such-updater");
        check(cu);
        cu.dialog->buttonOk->click();
        QCOMPARE(cu.dialog->labelHead->text(), QStringLiteral("Automatic update failed."));
        QCOMPARE(cu.dialog->labelMsg->text(), QStringLiteral("Please click the link below to download."));
        QCOMPARE(cu.dialog->labelLink->text(),
                 QStringLiteral("<a href=\"https://d.example/a&quot;&gt;&lt;img src=x&gt;\">"
                                "https://d.example/a&quot;&gt;&lt;img src=x&gt;</a>"));
        QVERIFY(cu.dialog->isVisible());
        QVERIFY(!cu.dialog->buttonOk->isVisibleTo(cu.dialog));
    }
};

QTEST_MAIN(TstCheckUpdate)
#include "tst_checkupdate.moc"
