#include "core/version.h"

#include <QtTest>

class TstVersion : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("patch");
        QTest::addColumn<int>("build");
        QTest::addColumn<QString>("printed");
        QTest::newRow("two parts") << "3.5" << 3 << 5 << 0 << 0 << "3.5.0";
        QTest::newRow("four parts") << "3.5.0.7" << 3 << 5 << 0 << 7 << "3.5.0";
        QTest::newRow("five parts") << "1.2.3.4.5" << 1 << 2 << 3 << 4 << "1.2.3";
        QTest::newRow("empty middle") << "3..1" << 3 << 0 << 1 << 0 << "3.0.1";
        QTest::newRow("letter first") << "v3.5.1" << 0 << 5 << 1 << 0 << "0.5.1";
        QTest::newRow("trailing letter") << "3.5b.2" << 3 << 0 << 2 << 0 << "3.0.2";
        QTest::newRow("empty") << "" << 0 << 0 << 0 << 0 << "0.0.0";
        QTest::newRow("negative") << "-1.2.3" << -1 << 2 << 3 << 0 << "-1.2.3";
        QTest::newRow("big") << "10.0.0" << 10 << 0 << 0 << 0 << "10.0.0";
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, patch);
        QFETCH(int, build);
        QFETCH(QString, printed);
        const Version v(text);
        QCOMPARE(v.major, major);
        QCOMPARE(v.minor, minor);
        QCOMPARE(v.patch, patch);
        QCOMPARE(v.build, build);
        QCOMPARE(v.ToString(), printed);
    }

    void assignmentResets()
    {
        Version v(QStringLiteral("9.8.7.6"));
        v = QStringLiteral("1");
        QCOMPARE(v.ToString(), QStringLiteral("1.0.0"));
        QCOMPARE(v.build, 0);
        Version d;
        QCOMPARE(d.ToString(), QStringLiteral("0.0.0"));
    }

    void compare_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");  // sign of a - b
        QTest::newRow("build ignored") << "3.5.0.7" << "3.5.0" << 0;
        QTest::newRow("numeric not text") << "10.0.0" << "9.9.9" << 1;
        QTest::newRow("minor") << "3.4.9" << "3.5.0" << -1;
        QTest::newRow("patch") << "3.5.1" << "3.5.0" << 1;
        QTest::newRow("short equals padded") << "3.5" << "3.5.0.0" << 0;
        QTest::newRow("signed") << "-1.0.0" << "0.0.0" << -1;
    }
    void compare()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        const Version va(a), vb(b);
        QCOMPARE(va == vb, order == 0);
        QCOMPARE(va != vb, order != 0);
        QCOMPARE(va < vb, order < 0);
        QCOMPARE(va <= vb, order <= 0);
        QCOMPARE(va > vb, order > 0);
        QCOMPARE(va >= vb, order >= 0);
    }
};

QTEST_APPLESS_MAIN(TstVersion)
#include "tst_version.moc"
