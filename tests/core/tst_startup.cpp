#include <QtTest>

#include <QDomDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

// The real program starts with a private data location, closes cleanly and
// leaves a well-formed settings file with what the window saved.
class TstStartup : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_DATA_HOME", dir.filePath("data"));
        e.insert("HOME", dir.filePath("home"));
        e.insert("QT_QPA_PLATFORM", "offscreen");
        return e;
    }
    static bool catchesSigterm(qint64 pid)
    {
        QFile f(QStringLiteral("/proc/%1/status").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
        }
        return false;
    }
    QString settings() const { return dir.filePath("data/vormel/tav.config"); }

    void runAndClose(QStringList const& args, QByteArray* out = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(TAV_PROGRAM, args);
        QVERIFY(p.waitForStarted());
        // Once the program catches SIGTERM, the close request is queued and handled
        // when the window runs.
        QTRY_VERIFY_WITH_TIMEOUT(catchesSigterm(p.processId()), 20000);
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(30000));
        if (out)
            *out = p.readAll();
        QVERIFY2(p.exitStatus() == QProcess::NormalExit, p.readAll().constData());
        QCOMPARE(p.exitCode(), 0);
    }

private slots:
    void firstRunWritesSettings()
    {
        QVERIFY(dir.isValid());
        QVERIFY(!QFile::exists(settings()));
        runAndClose({"-platform", "offscreen"});
        QFile f(settings());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QDomDocument d;
        QString err;
        QVERIFY2(d.setContent(&f, &err), qPrintable(err));
        const QDomElement g = d.documentElement().firstChildElement("global");
        QCOMPARE(d.documentElement().tagName(), QStringLiteral("settings"));
        QCOMPARE(g.firstChildElement("version").text(), QStringLiteral("3.5.0"));
        QCOMPARE(g.firstChildElement("windowMaximized").text(), QStringLiteral("0"));
        const QStringList pos = g.firstChildElement("windowPosition").text().split(',');
        QCOMPARE(pos.size(), 4);
        QVERIFY(pos[2].toInt() >= 800);
        QVERIFY(pos[3].toInt() >= 320);
        QVERIFY(!g.firstChildElement("userLang").text().isEmpty());
    }

    void secondRunKeepsGeometryAndMergesCommandLine()
    {
        // A stored geometry inside the offscreen screen is taken and saved back.
        QFile f(settings());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("<?xml version=\"1.0\"?><settings><global><version>3.0.0</version>"
                "<windowPosition>30,40,900,500</windowPosition><userLang>en-US</userLang></global>"
                "<devices/><analyzers/></settings>");
        f.close();
        const QString set = dir.filePath("x.vtset");
        QFile s(set);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("<settings><global><viewState>2</viewState><userLang>zh-CN</userLang></global></settings>");
        s.close();
        runAndClose({"-platform", "offscreen", set});
        QVERIFY(f.open(QIODevice::ReadOnly));
        QDomDocument d;
        QVERIFY(d.setContent(&f));
        const QDomElement g = d.documentElement().firstChildElement("global");
        QCOMPARE(g.firstChildElement("version").text(), QStringLiteral("3.5.0"));
        QCOMPARE(g.firstChildElement("windowPosition").text(), QStringLiteral("30,40,900,500"));
        QCOMPARE(g.firstChildElement("viewState").text(), QStringLiteral("2"));
        QCOMPARE(g.firstChildElement("userLang").text(), QStringLiteral("en-US"));
    }
};

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
