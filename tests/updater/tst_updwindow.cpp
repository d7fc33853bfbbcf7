// The updater's window driven end to end: a local HTTP server on 127.0.0.1
// stands in for the update server, the real tar unpacks, and a temporary
// installation holds a stand-in main program that records how it was started.

#include "core/apppaths.h"
#include "core/lang.h"
#include "updater/mainwindow.h"
#include "updater/updargs.h"
#include "updtesttools.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace updtest;

namespace {

// Records a program's arguments next to the installation, atomically.
const QByteArray kStub =
    "#!/bin/sh\n"
    "d=$(dirname \"$0\")/..\n"
    "{ echo \"$MARK\" \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > \"$d/args.tmp\"\n"
    "mv \"$d/args.tmp\" \"$d/args.txt\"\n";

QByteArray stub(QByteArray const& mark)
{
    QByteArray s = kStub;
    return s.replace("$MARK", mark);
}

// A shell command that writes app.tar with Python's tarfile, members as given.
QString mktar(QString const& members)
{
    return QStringLiteral("python3 '") + QString::fromLocal8Bit(qgetenv("TAV_SOURCE_DIR"))
           + QStringLiteral("/tests/updater/mktar.py' app.tar ") + members;
}

struct Install
{
    QString root;  // the folder the archive unpacks into
    QString app;   // root/bin: the updater's and the main program's folder
    QString work;  // the download folder
    QString args() const { return root + QStringLiteral("/args.txt"); }
};

}  // namespace

class TstUpdWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startupErrors_data();
    void startupErrors();
    void acceptedStartWaits();
    void translatedError();
    void fullRun();
    void onlyDeletionsRunNoTar();
    void internalLinksInstall();
    void runErrors_data();
    void runErrors();
    void quitWarning();
    void quitYesStopsTheRun();
    void waitsForMainProgram();
    void waitIsBounded();

private:
    Install makeInstall(QString const& name, bool withMain = true);
    // Serves files.xml (with "@file@" replaced by its len and md5 attributes) and
    // the files that make (a shell command run in the version folder) produced.
    QString publish(QString const& name, QByteArray xml, QString const& make = QString(),
                    QString const& newVersion = QStringLiteral("3.5.0"));
    UpdaterOptions options(Install const& in, QStringList const& args);
    QString link(QString const& name) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(port_).arg(name);
    }
    static QString message(MainWindow& w) { return w.findChild<QLabel*>()->text(); }
    // Answers the next message box with button; its text lands in *text.
    void answerNextBox(QMessageBox::StandardButton button, QString* title, QString* text);
    QStringList requested() const;

    QTemporaryDir tmp_;
    QProcess server_;
    QString srv_;
    QString log_;
    QString hold_;
    int port_ = 0;
};

void TstUpdWindow::initTestCase()
{
    QVERIFY(tmp_.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    srv_ = tmp_.path() + QStringLiteral("/srv");
    log_ = tmp_.path() + QStringLiteral("/requests.log");
    hold_ = tmp_.path() + QStringLiteral("/hold");
    QVERIFY(QDir().mkpath(srv_));
    AppPaths::setResources(tmp_.path() + QStringLiteral("/Resources"));
    const QString script = QString::fromLocal8Bit(qgetenv("TAV_SOURCE_DIR")) + QStringLiteral("/tests/updater/updserver.py");
    QVERIFY2(QFile::exists(script), qPrintable(script));
    server_.start(QStringLiteral("python3"), {script, "--root", srv_, "--log", log_, "--hold", hold_});
    QVERIFY(server_.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server_.canReadLine(), 20000);
    port_ = server_.readLine().trimmed().toInt();
    QVERIFY(port_ > 0);
}

void TstUpdWindow::cleanupTestCase()
{
    server_.kill();
    server_.waitForFinished();
}

Install TstUpdWindow::makeInstall(QString const& name, bool withMain)
{
    Install in;
    in.root = tmp_.path() + QLatin1Char('/') + name + QStringLiteral("/inst");
    in.app = in.root + QStringLiteral("/bin");
    in.work = tmp_.path() + QLatin1Char('/') + name + QStringLiteral("/work");
    QDir().mkpath(in.app);
    if (withMain)
        writeScript(in.app + QStringLiteral("/VormelTAV"), stub("old"));
    writeFile(in.root + QStringLiteral("/Resources/keep.txt"), "keep");
    return in;
}

QString TstUpdWindow::publish(QString const& name, QByteArray xml, QString const& make, QString const& newVersion)
{
    const QString dir = srv_ + QLatin1Char('/') + name + UpdArgs::versionFolder(Version(newVersion));
    QDir().mkpath(dir);
    if (!make.isEmpty() && !sh(dir, make))
        return QString();
    const QRegularExpression ref(QStringLiteral("@([^@]+)@"));
    for (;;) {
        const QRegularExpressionMatch m = ref.match(QString::fromUtf8(xml));
        if (!m.hasMatch())
            break;
        const QByteArray data = readFile(dir + QLatin1Char('/') + m.captured(1));
        const QByteArray attrs = "len=\"" + QByteArray::number(data.size()) + "\" md5=\"" + md5Hex(data).toLatin1() + '"';
        xml.replace(m.captured(0).toUtf8(), attrs);
    }
    writeFile(dir + QStringLiteral("/files.xml"), xml);
    return dir;
}

UpdaterOptions TstUpdWindow::options(Install const& in, QStringList const& args)
{
    UpdaterOptions o;
    o.arguments = QStringList{in.app + QStringLiteral("/Updater")} + args;
    o.appPath = in.app;
    o.tempPath = in.work;
    return o;
}

void TstUpdWindow::answerNextBox(QMessageBox::StandardButton button, QString* title, QString* text)
{
    auto* poll = new QTimer(this);
    poll->setInterval(1);
    connect(poll, &QTimer::timeout, this, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        *title = box->windowTitle();
        *text = box->text();
        box->button(button)->click();
    });
    poll->start();
}

QStringList TstUpdWindow::requested() const
{
    return QString::fromLatin1(readFile(log_)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TstUpdWindow::startupErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("withMain");
    QTest::addColumn<QString>("text");
    QTest::newRow("no arguments") << QStringList() << true << "An error occurred: 102";
    QTest::newRow("capital scheme") << QStringList{"HTTP://127.0.0.1:1/u", "3.4.0", "3.5.0", "en-US"} << true
                                    << "An error occurred: 102";
    QTest::newRow("leading blank") << QStringList{" http://127.0.0.1:1/u", "3.4.0", "3.5.0", "en-US"} << true
                                   << "An error occurred: 102";
    QTest::newRow("below 3.0.0") << QStringList{"http://127.0.0.1:1/u", "2.9.9", "3.5.0", "en-US"} << true
                                 << "An error occurred: 102";
    QTest::newRow("same version") << QStringList{"http://127.0.0.1:1/u", "3.5.0", "3.5.0.4", "en-US"} << true
                                  << "An error occurred: 102";
    QTest::newRow("plain http to another host") << QStringList{"http://10.1.2.3/u", "3.4.0", "3.5.0", "en-US"}
                                                << true << "An error occurred: 102";
    QTest::newRow("rejected without main") << QStringList{"ftp://x/u", "3.4.0", "3.5.0"} << false
                                           << "An error occurred: 102";
    QTest::newRow("main program missing") << QStringList{"http://127.0.0.1:1/u", "3.4.0", "3.5.0", "en-US"} << false
                                          << "An error occurred: 101";
}

void TstUpdWindow::startupErrors()
{
    QFETCH(QStringList, args);
    QFETCH(bool, withMain);
    QFETCH(QString, text);
    const Install in = makeInstall(QStringLiteral("startup"), withMain);
    QFile::remove(in.app + QStringLiteral("/VormelTAV"));
    if (withMain)
        QVERIFY(writeScript(in.app + QStringLiteral("/VormelTAV"), stub("old")));
    MainWindow w(options(in, args));
    w.show();
    QCOMPARE(message(w), text);
    QVERIFY(w.findChild<QLabel*>()->isVisible());
    QVERIFY(!w.findChild<QProgressBar*>()->isVisible());
    QCOMPARE(w.stage(), 5);
    QCOMPARE(w.windowTitle(), QStringLiteral("VormelTAV Updater"));
    // Nothing is asked: close() would block on a question otherwise.
    QVERIFY(w.close());
    QVERIFY(!QFileInfo::exists(in.work));
}

void TstUpdWindow::acceptedStartWaits()
{
    const Install in = makeInstall(QStringLiteral("accepted"));
    MainWindow w(options(in, {link("accepted"), "3.4.0", "3.5", "en-US"}));
    QCOMPARE(w.stage(), 1);
    QVERIFY(w.findChild<QLabel*>()->isHidden());
    QCOMPARE(w.url(), link("accepted") + "/3.5.0/" + UpdArgs::platformWord() + QString::number(QT_POINTER_SIZE * 8));
    QCOMPARE(w.findChild<QProgressBar*>()->value(), 0);
    QVERIFY(!w.findChild<QProgressBar*>()->isTextVisible());
}

void TstUpdWindow::translatedError()
{
    QVERIFY(writeFile(tmp_.path() + QStringLiteral("/Resources/Language/de-DE.xml"),
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><language><head><code>de-DE</code></head>"
                      "<tav><text src=\"An error occurred\">Ein Fehler ist aufgetreten</text></tav>"
                      "<analyzers/></language>"));
    const Install in = makeInstall(QStringLiteral("lang"));
    {
        MainWindow w(options(in, {"http://127.0.0.1:1/u", "2.0.0", "3.5.0", "de-DE"}));
        QCOMPARE(message(w), QStringLiteral("Ein Fehler ist aufgetreten: 102"));
    }
    {
        // Three arguments: the built-in English, whatever was loaded before.
        MainWindow w(options(in, {"http://127.0.0.1:1/u", "2.0.0", "3.5.0"}));
        QCOMPARE(message(w), QStringLiteral("An error occurred: 102"));
    }
    {
        MainWindow w(options(in, {"http://127.0.0.1:1/u", "2.0.0", "3.5.0", "xx-XX"}));
        QCOMPARE(message(w), QStringLiteral("An error occurred: 102"));
    }
}

void TstUpdWindow::fullRun()
{
    const Install in = makeInstall(QStringLiteral("full"));
    QVERIFY(writeFile(in.app + QStringLiteral("/obsolete.so"), "o"));
    QVERIFY(writeFile(in.app + QStringLiteral("/plug/old.so"), "o"));
    QVERIFY(writeFile(in.app + QStringLiteral("/zero.bin"), "stays"));
    const QByteArray xml =
        "<tav>"
        " <file name=\"app.tar\" @app.tar@ ver=\"3.5.0\"/>"
        " <file name=\"old.txt\" @old.txt@ ver=\"3.4.0\"/>"
        " <file name=\"zero.bin\" len=\"0\" ver=\"3.5.0\"/>"
        " <dir name=\"extra\"><file name=\"second.tar\" @extra/second.tar@ ver=\"3.5.0\"/></dir>"
        " <file name=\"obsolete.so\" len=\"-1\" ver=\"1.0.0\"/>"
        " <file name=\"missing.so\" len=\"-1\" ver=\"1.0.0\"/>"
        " <dir name=\"plug\"><file name=\"old.so\" len=\"-1\" ver=\"3.5.0\"/></dir>"
        "</tav>";
    const QString make = QStringLiteral(
        "mkdir -p a/bin a/Resources/Language b/bin extra && "
        "printf '%s' '") + QString::fromLatin1(stub("new")) + QStringLiteral("' > a/bin/VormelTAV && chmod +x a/bin/VormelTAV && "
        "echo lib > a/bin/newlib.so && echo de > a/Resources/Language/de-DE.xml && "
        "tar -C a -cf app.tar bin Resources && echo second > b/bin/second && tar -C b -cf extra/second.tar bin && "
        "echo old > old.txt && rm -r a b");
    QVERIFY(!publish(QStringLiteral("full"), xml, make).isEmpty());

    MainWindow w(options(in, {link("full"), "3.4.0", "3.5.0", "en-US"}));
    QSignalSpy ended(&w, &MainWindow::runEnded);
    w.show();
    QVERIFY(ended.wait(30000));
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QCOMPARE(w.stage(), 5);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.findChild<QProgressBar*>()->value(), 100);

    // The restarted program is the new one, and it got no arguments.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(in.args()), 10000);
    QCOMPARE(readFile(in.args()), QByteArray("new 0\n"));
    QCOMPARE(readFile(in.app + QStringLiteral("/newlib.so")), QByteArray("lib\n"));
    QCOMPARE(readFile(in.root + QStringLiteral("/Resources/Language/de-DE.xml")), QByteArray("de\n"));
    QCOMPARE(readFile(in.root + QStringLiteral("/Resources/keep.txt")), QByteArray("keep"));
    // Only the first archive is unpacked; the second stays in the work folder.
    QVERIFY(!QFileInfo::exists(in.app + QStringLiteral("/second")));
    QCOMPARE(readFile(in.work + QStringLiteral("/extra/second.tar")).size() % 512, 0);
    QVERIFY(QFileInfo::exists(in.work + QStringLiteral("/app.tar")));
    QVERIFY(!QFileInfo::exists(in.app + QStringLiteral("/obsolete.so")));
    QVERIFY(!QFileInfo::exists(in.app + QStringLiteral("/plug/old.so")));
    QCOMPARE(readFile(in.app + QStringLiteral("/zero.bin")), QByteArray("stays"));
    // Nothing is left over from the staging.
    QCOMPARE(QDir(in.root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{"Resources", "args.txt", "bin"}));

    const QString base = QStringLiteral("/full") + UpdArgs::versionFolder(Version(QStringLiteral("3.5.0")));
    const QStringList req = requested().filter(QStringLiteral("/full/"));
    QCOMPARE(req, (QStringList{base + "/files.xml", base + "/app.tar", base + "/extra/second.tar"}));
}

void TstUpdWindow::onlyDeletionsRunNoTar()
{
    const Install in = makeInstall(QStringLiteral("deletions"));
    QVERIFY(writeFile(in.app + QStringLiteral("/obsolete.so"), "o"));
    QVERIFY(!publish(QStringLiteral("deletions"),
                     "<tav><file name=\"obsolete.so\" len=\"-1\" ver=\"3.0.0\"/>"
                     "<file name=\"never.so\" len=\"-1\" ver=\"3.0.0\"/>"
                     "<file name=\"same.bin\" len=\"5\" md5=\"00\" ver=\"3.4.0\"/></tav>")
                 .isEmpty());
    const QString fake = tmp_.path() + QStringLiteral("/deletions/fake");
    const QString tarLog = tmp_.path() + QStringLiteral("/deletions/tar.log");
    QVERIFY(makeFailingTar(fake, tarLog));
    PathFirst path(fake);
    MainWindow w(options(in, {link("deletions"), "3.4.0", "3.5.0", "en-US"}));
    QSignalSpy ended(&w, &MainWindow::runEnded);
    QVERIFY(ended.wait(30000));
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(in.args()), 10000);
    QCOMPARE(readFile(in.args()), QByteArray("old 0\n"));
    QVERIFY(!QFileInfo::exists(in.app + QStringLiteral("/obsolete.so")));
    QVERIFY(!QFileInfo::exists(tarLog));
    QVERIFY(!QFileInfo::exists(in.work));
}

void TstUpdWindow::internalLinksInstall()
{
    // Links that stay inside once followed, a self-link among them, do not
    // stop an update.
    const Install in = makeInstall(QStringLiteral("links"));
    const QString make = mktar(QStringLiteral("Resources/ 'Resources/r->.' Resources/Analyzer/ "
                                              "Resources/Analyzer/libuart.so=uart 'bin/plugins->../Resources/r/r/Analyzer' "
                                              "bin/libx.so.1=x 'bin/libx.so->libx.so.1' 'bin/later->notyet.so'"));
    QVERIFY(!publish(QStringLiteral("links"), "<tav><file name=\"app.tar\" @app.tar@ ver=\"3.5.0\"/></tav>", make)
                 .isEmpty());
    MainWindow w(options(in, {link("links"), "3.4.0", "3.5.0", "en-US"}));
    QSignalSpy ended(&w, &MainWindow::runEnded);
    QVERIFY(ended.wait(30000));
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(in.args()), 10000);
    QCOMPARE(readFile(in.args()), QByteArray("old 0\n"));
    QCOMPARE(readFile(in.app + QStringLiteral("/plugins/libuart.so")), QByteArray("uart"));
    QCOMPARE(readFile(in.app + QStringLiteral("/libx.so")), QByteArray("x"));
    QCOMPARE(QFileInfo(in.app + QStringLiteral("/later")).symLinkTarget(), in.app + QStringLiteral("/notyet.so"));
    QCOMPARE(readFile(in.root + QStringLiteral("/Resources/keep.txt")), QByteArray("keep"));
}

void TstUpdWindow::runErrors_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("make");   // run in the served version folder
    QTest::addColumn<QString>("setup");  // run in the installation root
    QTest::addColumn<bool>("failingTar");
    QTest::addColumn<bool>("blockWork");
    QTest::addColumn<QString>("text");

    const QString mkTar = QStringLiteral("mkdir -p s/bin && echo new > s/bin/f && tar -C s -cf app.tar bin && rm -r s");
    const QByteArray appTar = "<tav><file name=\"app.tar\" @app.tar@ ver=\"3.5.0\"/></tav>";
    QTest::newRow("list not xml") << QByteArray("not xml at all") << QString() << QString() << false << false
                                  << "An error occurred: 203";
    QTest::newRow("list empty") << QByteArray() << QString() << QString() << false << false
                                << "An error occurred: 203";
    QTest::newRow("list root") << QByteArray("<files><file name=\"a\" len=\"-1\"/></files>") << QString() << QString()
                               << false << false << "An error occurred: 203";
    QTest::newRow("dotdot deletion") << QByteArray("<tav><file name=\"../../victim\" len=\"-1\"/></tav>") << QString()
                                     << QString() << false << false << "An error occurred: 203";
    QTest::newRow("dotdot folder") << QByteArray("<tav><dir name=\"..\"><file name=\"app.tar\" @app.tar@ ver=\"3.5.0\"/>"
                                                 "</dir></tav>")
                                   << mkTar << QString() << false << false << "An error occurred: 203";
    QTest::newRow("deletion through a link") << QByteArray("<tav><dir name=\"ext\"><file name=\"victim\" len=\"-1\"/>"
                                                           "</dir></tav>")
                                             << QString() << QStringLiteral("ln -s ../.. bin/ext") << false << false
                                             << "An error occurred: 203";
    QTest::newRow("md5 differs") << QByteArray("<tav><file name=\"app.tar\" len=\"5\" md5=\"00112233445566778899aabbccddeeff\""
                                               " ver=\"3.5.0\"/></tav>")
                                 << mkTar << QString() << false << false << "An error occurred: 304";
    QTest::newRow("work folder blocked") << appTar << mkTar << QString() << false << true << "An error occurred: 305";
    QTest::newRow("absolute member") << appTar << QStringLiteral("mkdir -p s && echo x > s/f && tar -cPf app.tar \"$PWD/s/f\"")
                                     << QString() << false << false << "An error occurred: 307";
    QTest::newRow("symlink out") << appTar
                                 << QStringLiteral("mkdir -p s/bin && ln -s ../../../victim s/bin/f && tar -C s -cf app.tar bin")
                                 << QString() << false << false << "An error occurred: 307";
    // Built with Python's tarfile: links whose text stays inside but which,
    // followed through the self-link r, lead to the victim beside the installation.
    const QString self = QStringLiteral("bin/f=new Resources/ 'Resources/r->.' ");
    QTest::newRow("file link through a self-link")
        << appTar << mktar(self + QStringLiteral("'Resources/p->r/r/r/r/../../victim'")) << QString() << false
        << false << "An error occurred: 307";
    QTest::newRow("plug-in folder link through a self-link")
        << appTar << mktar(self + QStringLiteral("'Resources/Analyzer->r/r/r/r/../..'")) << QString() << false
        << false << "An error occurred: 307";
    QTest::newRow("tar fails") << appTar << mkTar << QString() << true << false << "An error occurred: 307";
    QTest::newRow("deletion fails") << QByteArray("<tav><file name=\"app.tar\" @app.tar@ ver=\"3.5.0\"/>"
                                                  "<file name=\"first\" len=\"-1\"/><file name=\"full\" len=\"-1\"/>"
                                                  "<file name=\"later\" len=\"-1\"/></tav>")
                                    << mkTar << QStringLiteral("echo 1 > bin/first && mkdir bin/full && echo x > bin/full/x "
                                                               "&& echo 3 > bin/later")
                                    << false << false << "An error occurred: 308";
}

void TstUpdWindow::runErrors()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, make);
    QFETCH(QString, setup);
    QFETCH(bool, failingTar);
    QFETCH(bool, blockWork);
    QFETCH(QString, text);

    const QString name = QStringLiteral("err-") + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    Install in = makeInstall(name);
    QVERIFY(writeFile(in.app + QStringLiteral("/f"), "old"));
    QVERIFY(writeFile(tmp_.path() + QLatin1Char('/') + name + QStringLiteral("/victim"), "victim"));
    if (!setup.isEmpty())
        QVERIFY(sh(in.root, setup));
    QVERIFY(!publish(name, xml, make).isEmpty());
    if (blockWork) {
        QVERIFY(writeFile(in.work, "a file where the work folder belongs"));
    }
    const QStringList before = snapshot(in.root);

    std::unique_ptr<PathFirst> path;
    const QString tarLog = tmp_.path() + QLatin1Char('/') + name + QStringLiteral("/tar.log");
    if (failingTar) {
        QVERIFY(makeFailingTar(tmp_.path() + QLatin1Char('/') + name + QStringLiteral("/fake"), tarLog));
        path.reset(new PathFirst(tmp_.path() + QLatin1Char('/') + name + QStringLiteral("/fake")));
    }
    MainWindow w(options(in, {link(name), "3.4.0", "3.5.0", "en-US"}));
    QSignalSpy ended(&w, &MainWindow::runEnded);
    w.show();
    QVERIFY(ended.wait(30000));
    QCOMPARE(message(w), text);
    QCOMPARE(w.stage(), 5);
    QVERIFY(w.isVisible());
    QVERIFY(!w.findChild<QProgressBar*>()->isVisible());
    QVERIFY(w.close());  // no question after the run ended

    QCOMPARE(readFile(tmp_.path() + QLatin1Char('/') + name + QStringLiteral("/victim")), QByteArray("victim"));
    QVERIFY(!QFileInfo::exists(in.args()));
    const QStringList after = snapshot(in.root);
    if (text.endsWith(QLatin1String("308"))) {
        // Unpacked, the deletion before the failing one done, the later one untried.
        QCOMPARE(readFile(in.app + QStringLiteral("/f")), QByteArray("new\n"));
        QVERIFY(!QFileInfo::exists(in.app + QStringLiteral("/first")));
        QVERIFY(QFileInfo::exists(in.app + QStringLiteral("/later")));
    } else {
        QCOMPARE(after, before);
    }
    if (failingTar)
        QVERIFY(readFile(tarLog).contains("-xf"));
    if (text.endsWith(QLatin1String("304")))
        QVERIFY(!QFileInfo::exists(in.work + QStringLiteral("/app.tar")));
}

void TstUpdWindow::quitWarning()
{
    const Install in = makeInstall(QStringLiteral("quit"));
    QVERIFY(!publish(QStringLiteral("quit"), "<tav><file name=\"app.tar\" @app.tar@ ver=\"3.5.0\"/></tav>",
                     QStringLiteral("mkdir -p s/bin && echo new > s/bin/f && tar -C s -cf app.tar bin && rm -r s"))
                 .isEmpty());
    QVERIFY(writeFile(hold_, "hold the downloads"));
    MainWindow w(options(in, {link("quit"), "3.4.0", "3.5.0", "en-US"}));
    QSignalSpy ended(&w, &MainWindow::runEnded);
    w.show();
    QTRY_COMPARE_WITH_TIMEOUT(w.stage(), 3, 20000);  // list read, the archive's download held
    QCOMPARE(w.findChild<QProgressBar*>()->value(), 0);

    QString title, text;
    answerNextBox(QMessageBox::No, &title, &text);
    QVERIFY(!w.close());
    QCOMPARE(title, QStringLiteral("Warning"));
    QCOMPARE(text, QStringLiteral("The update is not complete.\r\nQuitting can lead to unpredictable errors.\r\n"
                                  "Are you sure to quit?"));
    QVERIFY(w.isVisible());
    QCOMPARE(w.stage(), 3);

    // The run goes on once the server answers.
    QVERIFY(QFile::remove(hold_));
    QVERIFY(ended.wait(30000));
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QCOMPARE(readFile(in.app + QStringLiteral("/f")), QByteArray("new\n"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(in.args()), 10000);
}

void TstUpdWindow::quitYesStopsTheRun()
{
    const Install in = makeInstall(QStringLiteral("quityes"));
    QVERIFY(!publish(QStringLiteral("quityes"), "<tav><file name=\"app.tar\" @app.tar@ ver=\"3.5.0\"/></tav>",
                     QStringLiteral("mkdir -p s/bin && echo new > s/bin/f && tar -C s -cf app.tar bin && rm -r s"))
                 .isEmpty());
    QVERIFY(writeFile(hold_, "hold the downloads"));
    MainWindow w(options(in, {link("quityes"), "3.4.0", "3.5.0", "en-US"}));
    QSignalSpy ended(&w, &MainWindow::runEnded);
    w.show();
    QTRY_COMPARE_WITH_TIMEOUT(w.stage(), 3, 20000);
    QString title, text;
    answerNextBox(QMessageBox::Yes, &title, &text);
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QCOMPARE(w.stage(), 5);
    QVERIFY(QFile::remove(hold_));
    // The dropped download never comes back to install anything.
    const QString base = QStringLiteral("/quityes") + UpdArgs::versionFolder(Version(QStringLiteral("3.5.0")));
    QTRY_VERIFY_WITH_TIMEOUT(requested().contains(base + QStringLiteral("/app.tar")), 10000);
    QCoreApplication::processEvents();
    QCOMPARE(ended.count(), 0);
    QVERIFY(!QFileInfo::exists(in.app + QStringLiteral("/f")));
    QVERIFY(!QFileInfo::exists(in.work));
}

void TstUpdWindow::waitsForMainProgram()
{
    const Install in = makeInstall(QStringLiteral("wait"));
    const QString target = in.app + QStringLiteral("/obsolete.so");
    QVERIFY(writeFile(target, "o"));
    QVERIFY(!publish(QStringLiteral("wait"), "<tav><file name=\"obsolete.so\" len=\"-1\"/></tav>").isEmpty());
    UpdaterOptions o = options(in, {link("wait"), "3.4.0", "3.5.0", "en-US"});
    QList<bool> presentWhileAsked;
    o.mainProgramRunning = [&] {
        presentWhileAsked << QFile::exists(target);
        return presentWhileAsked.size() < 4;  // exits after the third look
    };
    o.waitPollMs = 0;
    MainWindow w(o);
    QSignalSpy ended(&w, &MainWindow::runEnded);
    QVERIFY(ended.wait(30000));
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QCOMPARE(presentWhileAsked, (QList<bool>{true, true, true, true}));
    QVERIFY(!QFile::exists(target));
}

void TstUpdWindow::waitIsBounded()
{
    const Install in = makeInstall(QStringLiteral("waitbound"));
    const QString target = in.app + QStringLiteral("/obsolete.so");
    QVERIFY(writeFile(target, "o"));
    QVERIFY(!publish(QStringLiteral("waitbound"), "<tav><file name=\"obsolete.so\" len=\"-1\"/></tav>").isEmpty());
    UpdaterOptions o = options(in, {link("waitbound"), "3.4.0", "3.5.0", "en-US"});
    int asked = 0;
    o.mainProgramRunning = [&] { ++asked; return true; };
    o.waitPollMs = 0;
    o.waitPolls = 5;
    MainWindow w(o);
    QSignalSpy ended(&w, &MainWindow::runEnded);
    QVERIFY(ended.wait(30000));
    QCOMPARE(ended.at(0).at(0).toInt(), 0);
    QCOMPARE(asked, 5);
    QVERIFY(!QFile::exists(target));
}

QTEST_MAIN(TstUpdWindow)
#include "tst_updwindow.moc"
