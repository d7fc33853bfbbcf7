#include "core/percent.h"

#include <QtTest>

#include <limits>

// The one percent rule of every progress report.
class TstPercent : public QObject
{
    Q_OBJECT

private slots:
    void table_data()
    {
        QTest::addColumn<long long>("part");
        QTest::addColumn<long long>("total");
        QTest::addColumn<int>("expect");
        const long long max = std::numeric_limits<long long>::max();
        QTest::newRow("empty total") << 0LL << 0LL << 0;
        QTest::newRow("part of an empty total") << 5LL << 0LL << 0;
        QTest::newRow("negative part") << -1LL << 10LL << 0;
        QTest::newRow("more than all") << 11LL << 10LL << 100;
        // part x 100 would overflow 64 bits in these.
        QTest::newRow("64-bit just short of all") << max - 1 << max << 99;
        QTest::newRow("64-bit half") << max / 2 << max << 49;
        QTest::newRow("64-bit two thirds") << (1LL << 62) << (1LL << 62) + (1LL << 61) << 66;
        QTest::newRow("64-bit one percent") << max / 100 + 1 << max << 1;
        QTest::newRow("64-bit just under one percent") << max / 100 << max << 0;
    }
    void table()
    {
        QFETCH(long long, part);
        QFETCH(long long, total);
        QFETCH(int, expect);
        QCOMPARE(percentOf(part, total), expect);
    }

    // Where part x 100 fits, the plain formula is the reference.
    void agreesWithPlainDivision()
    {
        for (long long total = 1; total <= 400; ++total) {
            for (long long part = 0; part <= total; ++part)
                QCOMPARE(percentOf(part, total), int(part * 100 / total));
        }
        const long long big = 1234567890123LL;  // a 40-bit sample count
        for (long long part = 0; part <= big; part += big / 997)
            QCOMPARE(percentOf(part, big), int(part * 100 / big));
    }
};

QTEST_APPLESS_MAIN(TstPercent)
#include "tst_percent.moc"
