// The updater's building blocks without its window: the file list, the
// command line, the archive listing and the steps that change the disk.

#include "updater/programwatch.h"
#include "updater/tarlisting.h"
#include "updater/updargs.h"
#include "updater/updfilelist.h"
#include "updater/updinstaller.h"
#include "updtesttools.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace updtest;

class TstUpdParts : public QObject
{
    Q_OBJECT

private slots:
    void stringToMd5_data();
    void stringToMd5();
    void fileListWalk();
    void fileListRejects_data();
    void fileListRejects();
    void safeNames_data();
    void safeNames();
    void deletionsStayInside();
    void arguments_data();
    void arguments();
    void tarListingReadsRealTar();
    void tarCheck_data();
    void tarCheck();
    void installReplacesAndKeeps();
    void installRefusesHostileArchive_data();
    void installRefusesHostileArchive();
    void installFailingTarLeavesOldFiles();
    void installConflictRollsBack();
    void deleteOldFile();
    void saveToTempPath();
    void programWatch();
};

void TstUpdParts::stringToMd5_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray full = QByteArray::fromHex("0123456789abcdeffedcba9876543210");
    QTest::newRow("lower") << QStringLiteral("0123456789abcdeffedcba9876543210") << full;
    QTest::newRow("upper") << QStringLiteral("0123456789ABCDEFFEDCBA9876543210") << full;
    QTest::newRow("non-hex at 10") << QStringLiteral("0123456789xbcdeffedcba9876543210")
                                   << QByteArray::fromHex("01234567890000000000000000000000");
    QTest::newRow("odd count") << QStringLiteral("abc") << QByteArray::fromHex("abc00000000000000000000000000000");
    QTest::newRow("after 32 ignored") << QStringLiteral("0123456789abcdeffedcba9876543210ffff") << full;
    QTest::newRow("empty") << QString() << QByteArray(16, '\0');
    QTest::newRow("blank first") << QStringLiteral(" 0123456789abcdeffedcba9876543210") << QByteArray(16, '\0');
}

void TstUpdParts::stringToMd5()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(UpdFileList::StringToMd5(text), bytes);
}

void TstUpdParts::fileListWalk()
{
    const QByteArray xml =
        "<?xml version=\"1.0\"?>\n"
        "<tav version=\"ignored\">\n"
        " <file name=\"app.tar\" len=\"100\" md5=\"00112233445566778899AABBCCDDEEFF\" ver=\"3.5.0\"/>\n"
        " <file name=\"old.bin\" len=\"7\" md5=\"00\" ver=\"3.4.0\"/>\n"
        " <file name=\"same.bin\" len=\"7\" md5=\"00\" ver=\"3.4.2.9\"/>\n"
        " <file name=\"zero\" len=\"0\" ver=\"3.9.0\"/>\n"
        " <file name=\"nolen\" ver=\"3.9.0\"/>\n"
        " <file name=\"minus2\" len=\"-2\" ver=\"3.9.0\"/>\n"
        " <file name=\"gone.so\" len=\"-1\" ver=\"1.0.0\"/>\n"
        " <file len=\"5\" ver=\"3.9.0\"/>\n"
        " <dir name=\"Resources\">\n"
        "  <dir name=\"Language\">\n"
        "   <file name=\"de-DE.xml\" len=\"20\" md5=\"ffeeddccbbaa99887766554433221100\" ver=\"3.4.3\"/>\n"
        "   <file name=\"old.xml\" len=\"-1\" ver=\"9.9.9\"/>\n"
        "  </dir>\n"
        "  <file name=\"guide.pdf\" len=\"3\" md5=\"0\" ver=\"4.0.0\"/>\n"
        " </dir>\n"
        " <dir><file name=\"hidden\" len=\"5\" ver=\"9.0.0\"/></dir>\n"
        " <other name=\"x\"><file name=\"nested\" len=\"5\" ver=\"9.0.0\"/></other>\n"
        " <File name=\"case\" len=\"5\" ver=\"9.0.0\"/>\n"
        "</tav>\n";
    UpdFileList list(Version(QStringLiteral("3.4.2")));
    QVERIFY(list.parse(xml));
    QStringList paths;
    for (const UpdFileEntry& e : list.fileList)
        paths << e.path + QLatin1Char('@') + e.ver.ToString();
    QCOMPARE(paths, (QStringList{"/app.tar@3.5.0", "/Resources/Language/de-DE.xml@3.4.3", "/Resources/guide.pdf@4.0.0"}));
    QCOMPARE(list.fileList.at(0).md5, QByteArray::fromHex("00112233445566778899aabbccddeeff"));
    QCOMPARE(list.deleteList, (QStringList{"/gone.so", "/Resources/Language/old.xml"}));
    QCOMPARE(list.totalBytes, qint64(100 + 20 + 3));
}

void TstUpdParts::fileListRejects_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::newRow("empty body") << QByteArray();
    QTest::newRow("not xml") << QByteArray("<html><body>404</html>");
    QTest::newRow("root not tav") << QByteArray("<TAV><file name=\"a\" len=\"1\" ver=\"9.0.0\"/></TAV>");
    QTest::newRow("dotdot file") << QByteArray("<tav><file name=\"..\" len=\"-1\"/></tav>");
    QTest::newRow("dotdot slash") << QByteArray("<tav><file name=\"../evil\" len=\"5\" ver=\"9.0.0\"/></tav>");
    QTest::newRow("dot dir") << QByteArray("<tav><dir name=\".\"><file name=\"a\" len=\"5\" ver=\"9.0.0\"/></dir></tav>");
    QTest::newRow("dotdot dir") << QByteArray("<tav><dir name=\"..\"><file name=\"a\" len=\"-1\"/></dir></tav>");
    QTest::newRow("slash in dir") << QByteArray("<tav><dir name=\"a/../..\"><file name=\"b\" len=\"-1\"/></dir></tav>");
    QTest::newRow("absolute") << QByteArray("<tav><file name=\"/etc/passwd\" len=\"-1\"/></tav>");
    QTest::newRow("backslash") << QByteArray("<tav><file name=\"..\\x\" len=\"5\" ver=\"9.0.0\"/></tav>");
    QTest::newRow("bad name of a dropped entry")
        << QByteArray("<tav><file name=\"ok\" len=\"5\" ver=\"9.0.0\"/><file name=\"../x\" len=\"0\"/></tav>");
}

void TstUpdParts::fileListRejects()
{
    QFETCH(QByteArray, xml);
    UpdFileList list(Version(QStringLiteral("3.0.0")));
    QVERIFY(!list.parse(xml));
    QVERIFY(list.fileList.isEmpty());
    QVERIFY(list.deleteList.isEmpty());
}

void TstUpdParts::safeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << QStringLiteral("VormelTAV") << true;
    QTest::newRow("dots inside") << QStringLiteral("a..b") << true;
    QTest::newRow("hidden") << QStringLiteral(".config") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("dot") << QStringLiteral(".") << false;
    QTest::newRow("dotdot") << QStringLiteral("..") << false;
    QTest::newRow("slash") << QStringLiteral("a/b") << false;
    QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
    QTest::newRow("nul") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << false;
}

void TstUpdParts::safeNames()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QCOMPARE(UpdFileList::isSafeName(name), safe);
}

void TstUpdParts::deletionsStayInside()
{
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/inst");
    const QString app = root + QStringLiteral("/bin");
    QVERIFY(writeFile(app + QStringLiteral("/plug/a.so"), "a"));
    QVERIFY(writeFile(tmp.path() + QStringLiteral("/outside/keep"), "k"));
    QVERIFY(QFile::link(tmp.path() + QStringLiteral("/outside"), app + QStringLiteral("/ext")));
    QVERIFY(QFile::link(tmp.path() + QStringLiteral("/outside/keep"), app + QStringLiteral("/keeplink")));
    QVERIFY(QFile::link(QStringLiteral("plug"), app + QStringLiteral("/inner")));

    auto inside = [&](QStringList const& dels) {
        UpdFileList l(Version(QStringLiteral("3.0.0")));
        l.deleteList = dels;
        return l.deletionsInside(app, root);
    };
    QVERIFY(inside({"/plug/a.so", "/missing/deep/x", "/inner/a.so"}));
    QVERIFY(!inside({"/plug/a.so", "/ext/keep"}));
    QVERIFY(!inside({"/ext/not-there"}));
    QVERIFY(!inside({"/keeplink"}));

    // Removal itself refuses the same escape, before touching anything outside.
    QCOMPARE(UpdInstaller::deleteOldFile(app, {"/ext/keep"}, root), 8);
    QVERIFY(QFile::exists(tmp.path() + QStringLiteral("/outside/keep")));
}

void TstUpdParts::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("url");
    const QString plat = UpdArgs::platformWord() + QString::number(QT_POINTER_SIZE * 8);
    const QString up = QStringLiteral("Updater");
    QTest::newRow("none") << QStringList{up} << false << QString();
    QTest::newRow("link only") << QStringList{up, "https://h.example/u"} << false << "https://h.example/u";
    QTest::newRow("https") << QStringList{up, "https://h.example/u", "3.4.0", "3.5.0", "en-US"} << true
                           << "https://h.example/u/3.5.0/" + plat;
    QTest::newRow("short new version") << QStringList{up, "https://h.example/u", "3.4.0", "3.5"} << true
                                       << "https://h.example/u/3.5.0/" + plat;
    QTest::newRow("capital scheme") << QStringList{up, "HTTPS://h.example/u", "3.4.0", "3.5.0"} << false
                                    << "HTTPS://h.example/u";
    QTest::newRow("leading blank") << QStringList{up, " https://h.example/u", "3.4.0", "3.5.0"} << false
                                   << " https://h.example/u";
    QTest::newRow("below 3.0.0") << QStringList{up, "https://h.example/u", "2.9.9", "3.5.0"} << false
                                 << "https://h.example/u";
    QTest::newRow("exactly 3.0.0") << QStringList{up, "https://h.example/u", "3.0.0", "3.0.1"} << true
                                   << "https://h.example/u/3.0.1/" + plat;
    QTest::newRow("not newer") << QStringList{up, "https://h.example/u", "3.5.0", "3.5.0"} << false
                               << "https://h.example/u";
    QTest::newRow("only build differs") << QStringList{up, "https://h.example/u", "3.5.0.1", "3.5.0.7"} << false
                                        << "https://h.example/u";
    QTest::newRow("older") << QStringList{up, "https://h.example/u", "3.5.0", "3.4.9"} << false
                           << "https://h.example/u";
    QTest::newRow("http remote") << QStringList{up, "http://updates.example/u", "3.4.0", "3.5.0"} << false
                                 << "http://updates.example/u";
    QTest::newRow("http lan") << QStringList{up, "http://192.168.1.5/u", "3.4.0", "3.5.0"} << false
                              << "http://192.168.1.5/u";
    QTest::newRow("http userinfo trick") << QStringList{up, "http://127.0.0.1@evil.example/u", "3.4.0", "3.5.0"}
                                         << false << "http://127.0.0.1@evil.example/u";
    QTest::newRow("http 127/8") << QStringList{up, "http://127.8.9.10:8080/u", "3.4.0", "3.5.0"} << true
                                << "http://127.8.9.10:8080/u/3.5.0/" + plat;
    QTest::newRow("http localhost") << QStringList{up, "http://localhost:1/u", "3.4.0", "3.5.0"} << true
                                    << "http://localhost:1/u/3.5.0/" + plat;
    QTest::newRow("http ::1") << QStringList{up, "http://[::1]:1/u", "3.4.0", "3.5.0"} << true
                              << "http://[::1]:1/u/3.5.0/" + plat;
    QTest::newRow("other scheme") << QStringList{up, "httpx://h.example/u", "3.4.0", "3.5.0"} << false
                                  << "httpx://h.example/u";
    QTest::newRow("no host") << QStringList{up, "https:///u", "3.4.0", "3.5.0"} << false << "https:///u";
}

void TstUpdParts::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(bool, accepted);
    QFETCH(QString, url);
    const UpdArgs a(args);
    QCOMPARE(a.accepted(), accepted);
    QCOMPARE(a.url, url);
    QCOMPARE(a.langCode, args.size() >= 5 ? args.at(4) : QStringLiteral("en-US"));
}

void TstUpdParts::tarListingReadsRealTar()
{
    QTemporaryDir tmp;
    const QString src = tmp.path() + QStringLiteral("/src");
    QVERIFY(writeFile(src + QStringLiteral("/bin/a"), "a"));
    QVERIFY(writeFile(src + QStringLiteral("/bin/we\"ird\nname \\ x"), "w"));
    QVERIFY(sh(src, QStringLiteral("ln -s a bin/in && ln -s '../../etc -> x' bin/out && ln bin/a bin/hard "
                                   "&& tar -cf ../t.tar bin")));
    QList<TarMember> m;
    QString err;
    QVERIFY2(TarListing::list(tmp.path() + QStringLiteral("/t.tar"), m, &err), qPrintable(err));
    QStringList got;
    for (const TarMember& e : m)
        got << QString(QLatin1Char(e.type)) + QLatin1Char('|') + e.name + QLatin1Char('|') + e.link;
    got.sort();
    // Hard links name whichever of the pair tar met first.
    QVERIFY(got.contains("d|bin/|"));
    QVERIFY(got.contains("-|bin/we\"ird\nname \\ x|"));
    QVERIFY(got.contains("l|bin/in|a"));
    QVERIFY(got.contains("l|bin/out|../../etc -> x"));
    QVERIFY(got.contains("h|bin/hard|bin/a") || got.contains("h|bin/a|bin/hard"));
    QCOMPARE(m.size(), 6);
    QVERIFY(!TarListing::list(tmp.path() + QStringLiteral("/missing.tar"), m, &err));
}

void TstUpdParts::tarCheck_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<bool>("safe");
    const QByteArray h = "-rw-r--r-- 0/0 1 2026-01-01 00:00 ";
    const QByteArray l = "lrwxrwxrwx 0/0 0 2026-01-01 00:00 ";
    QTest::newRow("plain tree") << h + "\"./bin/a\"\n" + h + "\"Resources/x\"\n" << true;
    QTest::newRow("links inside") << l + "\"bin/lib.so\" -> \"lib.so.1\"\n" + l + "\"bin/r\" -> \"../Resources/x\"\n"
                                  << true;
    QTest::newRow("absolute member") << h + "\"/etc/evil\"\n" << false;
    QTest::newRow("dotdot member") << h + "\"../evil\"\n" << false;
    QTest::newRow("dotdot inside member") << h + "\"bin/../../evil\"\n" << false;
    QTest::newRow("link out") << l + "\"bin/x\" -> \"../../etc\"\n" << false;
    QTest::newRow("absolute link") << l + "\"bin/x\" -> \"/etc/passwd\"\n" << false;
    QTest::newRow("link up through link") << l + "\"d/s\" -> \"../x\"\n" + l + "\"d/r\" -> \"s/../..\"\n" << false;
    QTest::newRow("hard link out") << QByteArray("hrw-r--r-- 0/0 0 2026-01-01 00:00 \"a\" link to \"../b\"\n")
                                   << false;
    QTest::newRow("device") << QByteArray("crw-r--r-- 0/0 1,3 2026-01-01 00:00 \"null\"\n") << false;
    QTest::newRow("fifo") << QByteArray("prw-r--r-- 0/0 0 2026-01-01 00:00 \"p\"\n") << false;
}

void TstUpdParts::tarCheck()
{
    QFETCH(QByteArray, listing);
    QFETCH(bool, safe);
    QList<TarMember> m;
    QVERIFY(TarListing::parseOutput(listing, m));
    QCOMPARE(TarListing::check(m).isEmpty(), safe);
}

void TstUpdParts::installReplacesAndKeeps()
{
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/inst");
    QVERIFY(writeFile(root + QStringLiteral("/bin/VormelTAV"), "old main"));
    QVERIFY(writeFile(root + QStringLiteral("/bin/keep"), "keep"));
    QVERIFY(writeFile(root + QStringLiteral("/Resources/x"), "old x"));
    const QString src = tmp.path() + QStringLiteral("/src");
    QVERIFY(writeFile(src + QStringLiteral("/bin/VormelTAV"), "new main"));
    QVERIFY(writeFile(src + QStringLiteral("/Resources/x"), "new x"));
    QVERIFY(writeFile(src + QStringLiteral("/Resources/Language/de-DE.xml"), "de"));
    // Links that stay inside once followed: through a self-link, to a folder,
    // to the top, and to a file the archive does not hold.
    QVERIFY(sh(src, QStringLiteral("ln -s ../Resources/x bin/xlink && ln -s . Resources/here && "
                                   "ln -s ../Resources/here/here/Language bin/lang && ln -s .. Resources/top && "
                                   "ln -s notyet.so bin/later && tar -czf ../new.tgz bin Resources")));
    QString err;
    QCOMPARE(UpdInstaller::installArchive(tmp.path() + QStringLiteral("/new.tgz"), root, &err), 0);
    QCOMPARE(snapshot(root), (QStringList{"Resources/", "Resources/Language/", "Resources/Language/de-DE.xml = de",
                                          "Resources/here -> " + root + "/Resources",
                                          "Resources/top -> " + root, "Resources/x = new x", "bin/",
                                          "bin/VormelTAV = new main", "bin/keep = keep",
                                          "bin/lang -> " + root + "/Resources/here/here/Language",
                                          "bin/later -> " + root + "/bin/notyet.so",
                                          "bin/xlink -> " + root + "/Resources/x"}));
    QCOMPARE(readFile(root + QStringLiteral("/bin/lang/de-DE.xml")), QByteArray("de"));
}

void TstUpdParts::installRefusesHostileArchive_data()
{
    QTest::addColumn<QString>("make");
    QTest::newRow("absolute member") << QStringLiteral("tar -cPf ../a.tar \"$PWD/bin/f\"");
    QTest::newRow("dotdot member") << QStringLiteral("cd bin && tar -cPf ../../a.tar ../bin/f");
    QTest::newRow("symlink out") << QStringLiteral("ln -s ../../outside bin/out && tar -cf ../a.tar bin");
    QTest::newRow("symlink absolute") << QStringLiteral("ln -s /etc bin/etc && tar -cf ../a.tar bin");
    // The text of these stays inside; followed through the self-link they do not.
    const QString self = QStringLiteral("mkdir R && ln -s . R/r && ");
    QTest::newRow("file link through a self-link")
        << self + QStringLiteral("ln -s r/r/r/r/../../outside/x R/p && tar -cf ../a.tar bin R");
    QTest::newRow("folder link through a self-link")
        << self + QStringLiteral("ln -s ../R/r/r/r/r/../../outside bin/plug && tar -cf ../a.tar bin R");
    QTest::newRow("dangling link through a self-link")
        << self + QStringLiteral("ln -s r/r/r/r/../../nothere/x R/p && tar -cf ../a.tar bin R");
    QTest::newRow("link loop") << QStringLiteral("ln -s b bin/a && ln -s a bin/b && tar -cf ../a.tar bin");
    QTest::newRow("not an archive") << QStringLiteral("echo garbage > ../a.tar");
}

void TstUpdParts::installRefusesHostileArchive()
{
    QFETCH(QString, make);
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/inst");
    QVERIFY(writeFile(root + QStringLiteral("/bin/f"), "old"));
    QVERIFY(writeFile(tmp.path() + QStringLiteral("/outside/x"), "x"));
    const QString src = tmp.path() + QStringLiteral("/src");
    QVERIFY(writeFile(src + QStringLiteral("/bin/f"), "new"));
    QVERIFY(sh(src, make));
    const QStringList before = snapshot(root);
    const QStringList outsideBefore = snapshot(tmp.path() + QStringLiteral("/outside"));
    QCOMPARE(UpdInstaller::installArchive(tmp.path() + QStringLiteral("/a.tar"), root), 7);
    QCOMPARE(snapshot(root), before);
    QCOMPARE(snapshot(tmp.path() + QStringLiteral("/outside")), outsideBefore);
}

void TstUpdParts::installFailingTarLeavesOldFiles()
{
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/inst");
    QVERIFY(writeFile(root + QStringLiteral("/bin/a"), "old a"));
    QVERIFY(writeFile(root + QStringLiteral("/bin/b"), "old b"));
    const QString src = tmp.path() + QStringLiteral("/src");
    QVERIFY(writeFile(src + QStringLiteral("/bin/a"), "new a"));
    QVERIFY(writeFile(src + QStringLiteral("/bin/b"), "new b"));
    QVERIFY(sh(src, QStringLiteral("tar -cf ../a.tar bin")));
    const QString fake = tmp.path() + QStringLiteral("/fake");
    const QString log = tmp.path() + QStringLiteral("/tar.log");
    QVERIFY(makeFailingTar(fake, log));
    const QStringList before = snapshot(root);
    {
        PathFirst path(fake);
        QCOMPARE(UpdInstaller::installArchive(tmp.path() + QStringLiteral("/a.tar"), root), 7);
    }
    // The stand-in did unpack a member before failing, only not into place.
    QVERIFY(readFile(log).contains("-xf"));
    QCOMPARE(snapshot(root), before);
}

void TstUpdParts::installConflictRollsBack()
{
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/inst");
    QVERIFY(writeFile(root + QStringLiteral("/a/f"), "old f"));
    QVERIFY(writeFile(root + QStringLiteral("/z/inside"), "folder"));
    const QString src = tmp.path() + QStringLiteral("/src");
    QVERIFY(writeFile(src + QStringLiteral("/a/f"), "new f"));
    QVERIFY(writeFile(src + QStringLiteral("/a/g"), "new g"));
    QVERIFY(writeFile(src + QStringLiteral("/m/n"), "new n"));
    QVERIFY(writeFile(src + QStringLiteral("/z"), "a file where a folder is"));
    QVERIFY(sh(src, QStringLiteral("tar -cf ../a.tar a m z")));
    const QStringList before = snapshot(root);
    QString err;
    QCOMPARE(UpdInstaller::installArchive(tmp.path() + QStringLiteral("/a.tar"), root, &err), 7);
    QVERIFY(err.contains(QLatin1String("z")));
    QCOMPARE(snapshot(root), before);
}

void TstUpdParts::deleteOldFile()
{
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/inst");
    const QString app = root + QStringLiteral("/bin");
    QVERIFY(writeFile(app + QStringLiteral("/one"), "1"));
    QVERIFY(writeFile(app + QStringLiteral("/sub/two"), "2"));
    QVERIFY(writeFile(app + QStringLiteral("/full/x"), "x"));
    QVERIFY(writeFile(app + QStringLiteral("/three"), "3"));
    QCOMPARE(UpdInstaller::deleteOldFile(app, {"/one", "/missing", "/sub/two", "/full", "/three"}, root), 8);
    QVERIFY(!QFile::exists(app + QStringLiteral("/one")));
    QVERIFY(!QFile::exists(app + QStringLiteral("/sub/two")));
    QVERIFY(QFile::exists(app + QStringLiteral("/full/x")));
    QVERIFY(QFile::exists(app + QStringLiteral("/three")));
    QCOMPARE(UpdInstaller::deleteOldFile(app, {"/three", "/nothing/here"}, root), 0);
    QVERIFY(!QFile::exists(app + QStringLiteral("/three")));
}

void TstUpdParts::saveToTempPath()
{
    QTemporaryDir tmp;
    const QByteArray data("archive bytes");
    const QByteArray md5 = QCryptographicHash::hash(data, QCryptographicHash::Md5);
    const QString work = tmp.path() + QStringLiteral("/work");

    UpdFileEntry bad{QStringLiteral("/a/b/c.tar"), md5, Version(QStringLiteral("3.5.0"))};
    bad.md5[0] = char(bad.md5.at(0) ^ 1);
    QCOMPARE(UpdInstaller::saveToTempPath(work, bad, data), 4);
    QVERIFY(!QFileInfo::exists(work));

    const UpdFileEntry good{QStringLiteral("/a/b/c.tar"), md5, Version(QStringLiteral("3.5.0"))};
    QVERIFY(writeFile(work + QStringLiteral("/a/b/c.tar"), "previous, longer content"));
    QCOMPARE(UpdInstaller::saveToTempPath(work, good, data), 0);
    QCOMPARE(readFile(work + QStringLiteral("/a/b/c.tar")), data);

    // The work folder is blocked by a file, so nothing can be opened below it.
    QVERIFY(writeFile(tmp.path() + QStringLiteral("/blocked"), "file"));
    QCOMPARE(UpdInstaller::saveToTempPath(tmp.path() + QStringLiteral("/blocked"), good, data), 5);
    // A device that takes no data: the write error must not pass as success.
    if (QFileInfo(QStringLiteral("/dev/full")).isWritable()) {
        const UpdFileEntry full{QStringLiteral("/full"), md5, Version(QStringLiteral("3.5.0"))};
        QCOMPARE(UpdInstaller::saveToTempPath(QStringLiteral("/dev"), full, data), 5);
    }
}

void TstUpdParts::programWatch()
{
    QTemporaryDir tmp;
    const QString exe = tmp.path() + QStringLiteral("/VormelTAV");
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), exe));
    QVERIFY(QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner));
    QVERIFY(!ProgramWatch::isRunning(exe));
    QProcess p;
    p.start(exe, {QStringLiteral("600")});
    QVERIFY(p.waitForStarted());
    QVERIFY(ProgramWatch::isRunning(exe));
    // Another file with the same content is another program.
    const QString twin = tmp.path() + QStringLiteral("/Twin");
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), twin));
    QVERIFY(!ProgramWatch::isRunning(twin));
    p.kill();
    QVERIFY(p.waitForFinished());
    QVERIFY(!ProgramWatch::isRunning(exe));
}

QTEST_GUILESS_MAIN(TstUpdParts)
#include "tst_updparts.moc"
