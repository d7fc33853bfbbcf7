// The export range dialog (times, ranges, markers), the options dialog and
// the about box, driven with clicks and keys.
#include "core/config.h"
#include "core/lang.h"
#include "common/tempenv.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "files/abouttav.h"
#include "files/exportdataset.h"
#include "files/options.h"
#include "widgets/chnenagroupbox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {
QStringList pairNames;
QVector<qint64> pairPoints;
void pairs(QStringList* n, QVector<qint64>* p)
{
    *n = pairNames;
    *p = pairPoints;
}
} // namespace

class TstFileDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;

    void capture(long long count, long long rate, long long trigger)
    {
        const SmpDataPtr s = devUsing->displayedSmpData();
        s->smpCount = count;
        s->smpFrequ = rate;
        s->trgPosition = trigger;
    }
    static void range(ExportDataSet& d, long long* a, long long* b)
    {
        QVector<bool> an, dig(16, true);
        d.getSetParameters(an, dig, a, b);
    }

private slots:
    void init()
    {
        env.reset(new TempEnv);
        Config::loadDefaultConfig();
        Lang::load(QStringLiteral("en-US"));
        devUsing = DevBase::createDevice(DevModelNone);
        pairNames.clear();
        pairPoints.clear();
        ExportDataSet::markerSource = &pairs;
    }
    void cleanup()
    {
        delete devUsing;
        devUsing = nullptr;
        env.reset();
    }

    // Typed times: exact truncation, strict syntax, and no overflow.
    void parseTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<long long>("rate");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<long long>("pos");   // trigger 1000
        QTest::newRow("tenth of a us") << "0.0000001" << 100000000LL << true << 1010LL;
        QTest::newRow("0.29 s at 100 Hz") << "0.29" << 100LL << true << 1029LL;
        QTest::newRow("exact 3/24MHz") << "0.000000125" << 24000000LL << true << 1003LL;
        QTest::newRow("truncated toward zero") << "-0.000000085" << 100000000LL << true << 992LL;
        QTest::newRow("no leading digit") << "-.5" << 10LL << true << 995LL;
        QTest::newRow("huge clamps") << "99999999999999999999999" << 1000000000000LL << true << (1LL << 62);
        QTest::newRow("huge negative") << "-1234567890123456789" << 1LL << true << -(1LL << 62);
        QTest::newRow("bar") << "1|2" << 1000LL << false << 0LL;
        QTest::newRow("two points") << "1.2.3" << 1000LL << false << 0LL;
        QTest::newRow("minus only") << "-" << 1000LL << false << 0LL;
        QTest::newRow("exponent") << "1e3" << 1000LL << false << 0LL;
        QTest::newRow("nan") << "nan" << 1000LL << false << 0LL;
        QTest::newRow("rate 0") << "1" << 0LL << false << 0LL;
    }
    void parseTime()
    {
        QFETCH(QString, text);
        QFETCH(long long, rate);
        QFETCH(bool, ok);
        QFETCH(long long, pos);
        long long got = -7;
        QCOMPARE(ExportDataSet::parseTime(text, rate, 1000, &got), ok);
        if (ok)
            QCOMPARE(got, pos);
    }

    // Whatever the rate, the default texts give back exactly 0 and N.
    void defaultsCoverWholeCapture_data()
    {
        QTest::addColumn<long long>("rate");
        QTest::addColumn<long long>("trigger");
        QTest::addColumn<long long>("count");
        QTest::newRow("100 MHz") << 100000000LL << 5LL << 1000LL;
        QTest::newRow("24 MHz") << 24000000LL << 1000LL << 123457LL;
        QTest::newRow("3 MHz") << 3000000LL << 7LL << 10000001LL;
        QTest::newRow("7e11 Hz") << 700000000000LL << 999999LL << 1099511627775LL;
        QTest::newRow("1 Hz, trigger 0") << 1LL << 0LL << 1LL;
    }
    void defaultsCoverWholeCapture()
    {
        QFETCH(long long, rate);
        QFETCH(long long, trigger);
        QFETCH(long long, count);
        capture(count, rate, trigger);
        ExportDataSet d;
        d.rangeButtons[ExportDataSet::RangeInterval]->click();
        QVERIFY(d.startEdit->isEnabled());
        d.buttonBox->buttons().first()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        long long a = -1, b = -1;
        range(d, &a, &b);
        QCOMPARE(a, 0LL);
        QCOMPARE(b, count);
    }

    void rateZeroIsSafe()
    {
        capture(500, 0, 3);
        ExportDataSet d;
        QCOMPARE(d.startEdit->text(), QStringLiteral("###"));
        QCOMPARE(d.endEdit->text(), QStringLiteral("###"));
        QVERIFY(!d.rangeButtons[ExportDataSet::RangeInterval]->isEnabled());
        long long a = -1, b = -1;
        range(d, &a, &b);
        QCOMPARE(a, 0LL);
        QCOMPARE(b, 500LL);
    }

    void invalidIntervalKeepsDialogOpen()
    {
        capture(1000, 1000, 0);
        ExportDataSet d;
        d.show();
        d.rangeButtons[ExportDataSet::RangeInterval]->click();
        d.startEdit->clear();
        QTest::keyClicks(d.startEdit, "1|.2.3");
        QCOMPARE(d.startEdit->text(), QStringLiteral("1.23"));   // the validator let no bar or second point in
        d.endEdit->setText("-");
        QString warned;
        QTimer::singleShot(0, this, [&warned] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box) {
                warned = box->text();
                box->button(QMessageBox::Close)->click();
            }
        });
        d.buttonBox->buttons().first()->click();
        QCOMPARE(warned, QStringLiteral("Please enter a valid time."));
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void markers()
    {
        capture(1000, 1000, 0);
        {
            ExportDataSet d;
            QVERIFY(!d.rangeButtons[ExportDataSet::RangeMarkers]->isEnabled());
            QVERIFY(!d.markerCombo);
            QVERIFY(!d.chnAnalog);
            QCOMPARE(d.chnDigital->title(), QStringLiteral("  Channel Select  "));
        }
        pairNames = QStringList({"A - B", "C - D"});
        pairPoints = {10, 20, 700, 400};
        ExportDataSet d;
        QVERIFY(d.markerCombo && !d.markerCombo->isEnabled());
        d.rangeButtons[ExportDataSet::RangeMarkers]->click();
        QVERIFY(d.markerCombo->isEnabled() && !d.startEdit->isEnabled());
        d.markerCombo->setCurrentIndex(1);
        long long a = -1, b = -1;
        range(d, &a, &b);
        QCOMPARE(a, 400LL);
        QCOMPARE(b, 700LL);
    }

    void optionsEdgeCases()
    {
        Config::saveGlobalParam("disAutoUpdate", "2");
        Config::viewState = 7;
        {
            Options o;
            QCOMPARE(o.tabs->currentIndex(), 0);
            QVERIFY(o.updateCheck.isChecked(1));
            QVERIFY(!o.viewState.isChecked(0) && !o.viewState.isChecked(1) && !o.viewState.isChecked(2));
            o.show();
            QVERIFY(QTest::qWaitForWindowActive(&o));
            QCOMPARE(QApplication::focusWidget(), o.buttonBox->buttons().last());
            o.zoomAnimate.radios[1]->click();
            QTest::keyClick(&o, Qt::Key_Escape);
            QVERIFY(!o.isVisible());
        }
        QCOMPARE(Config::readGlobalParam("disAnimateZoom"), QString());
        Options o;
        o.buttonBox->buttons().first()->click();
        QCOMPARE(Config::readGlobalParam("disAutoUpdate"), QStringLiteral("1"));
        QCOMPARE(Config::readGlobalParam("viewState"), QStringLiteral("1"));
        QCOMPARE(Config::readGlobalParam("disAnimateZoom"), QStringLiteral("0"));
        QCOMPARE(Config::readGlobalParam("autoWaitTrig"), QStringLiteral("0"));
        QCOMPARE(Config::readGlobalParam("smpProgPosition"), QStringLiteral("0"));
    }

    void aboutBox()
    {
        QCOMPARE(AboutTAV::systemInfo("Debian", 100, 0x210, QByteArray::fromHex("0aff"), 0x12),
                 QStringLiteral("System Information\r\nOS: Debian\r\nDisplay Scale: 100%\r\nDevice Level: 210\r\n"
                                "Device ID: 0aff-0012"));
        AboutTAV a;
        QCOMPARE(a.windowTitle(), QStringLiteral("About Vormel TAV"));
        QCOMPARE(a.version->text(), QStringLiteral("Version: 3.5.0 (64-bit)"));
        QVERIFY(a.sysInfo->text().endsWith("\r\nDisplay Scale: 100%\r\nDevice Level: 0\r\nDevice ID: -0000"));
        a.show();
        QTest::keyClick(&a, Qt::Key_Escape);
        QVERIFY(!a.isVisible());
    }
};

QTEST_MAIN(TstFileDialogs)
#include "tst_filedialogs.moc"
