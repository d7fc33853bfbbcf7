// The analysis panels as a user works them: the Analyzers panel with its add
// menu and dialogs, the settings dialog, the analyzer rows with export, the
// Decoded Results list; and the whole path on a demo capture.

#include "analysistesthelp.h"

#include "analysis/analyzerdatagen.h"
#include "analysis/protocoledit.h"
#include "analysis/protocolitem.h"
#include "analysis/protocollists.h"
#include "analysis/protocolresult.h"
#include "analysis/protocolsetting.h"
#include "analysis/resultview.h"
#include "analysis/searchedit.h"
#include "device/smpsimulate.h"
#include "waveview/wavedatagen.h"
#include "widgets/mybutton.h"
#include "widgets/myprogressdlg.h"
#include "widgets/myscrollbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

using namespace anlytest;

namespace {

QByteArray tst(int input, QByteArray clock = "none", int work = 0, int burst = 1)
{
    return "TST,1,input=" + QByteArray::number(input) + ",clock=" + clock + ",restarts=0,work="
        + QByteArray::number(work) + ",burst=" + QByteArray::number(burst);
}

// Answers modal windows as they open: message boxes are closed with their
// Close button and their texts kept; any other window goes to `answer`
// (rejected when there is none). Each showing is answered once.
class Modals : public QObject
{
public:
    Modals()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            QWidget* w = QApplication::activeModalWidget();
            // The export progress closes by itself.
            if (!w || !w->isVisible() || qobject_cast<MyProgressDlg*>(w) || seen.contains(w))
                return;
            seen.insert(w);
            w->installEventFilter(this);
            titles << w->windowTitle();
            // Answered outside this timer's slot: a window the answer opens
            // must be seen by the timer again.
            QPointer<QWidget> p(w);
            QMetaObject::invokeMethod(this, [this, p] {
                if (!p)
                    return;
                if (auto* box = qobject_cast<QMessageBox*>(p.data())) {
                    boxes << box->text();
                    box->button(QMessageBox::Close)->click();
                } else if (answer) {
                    answer(p);
                } else if (auto* d = qobject_cast<QDialog*>(p.data())) {
                    d->reject();
                }
            }, Qt::QueuedConnection);
        });
        timer.start(5);
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Hide || e->type() == QEvent::Destroy)
            seen.remove(static_cast<QWidget*>(o));
        return false;
    }
    std::function<void(QWidget*)> answer;
    QStringList boxes, titles;
    QSet<QWidget*> seen;
    QTimer timer;
};

// Types a file name into the save dialog and confirms it, as a user does.
void saveAs(QWidget* w, QString const& path, QStringList* filters = nullptr)
{
    auto* fd = qobject_cast<QFileDialog*>(w);
    QVERIFY(fd);
    if (filters)
        *filters = fd->nameFilters();
    fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    QMetaObject::invokeMethod(fd, "accept");
}

void clickOk(QWidget* w)
{
    w->findChild<QDialogButtonBox*>()->buttons().first()->click();
}

struct Env {
    explicit Env(QStringList const& test, QStringList const& shipped = {})
    {
        resetSettings();
        Config::fillLists();
        Config::createFont();
        installPlugins(env, test, shipped);
        mgr.reset(new AnalyzerManager);
    }
    int plugin(QString const& file) const
    {
        for (int i = 0; i < mgr->files().size(); ++i)
            if (mgr->files()[i].fileName == file)
                return i;
        return -1;
    }
    TempEnv env;
    DeviceGuard dev{0};
    std::unique_ptr<AnalyzerManager> mgr;
};

QStringList menuTexts(QMenu* m)
{
    QStringList out;
    for (QAction* a : m->actions())
        out << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return out;
}

// The engine has answered every request, and its answers (which may ask
// for more pages) have been shown: two rounds in a row change nothing.
bool engineIdle(ProtocolResult& p)
{
    QElapsedTimer t;
    t.start();
    int stable = 0;
    while (stable < 2) {
        while (!p.engine()->isIdle())
            if (t.elapsed() > 30000)
                return false;
        const QStringList page = p.pageTexts();
        const QString count = p.searchBox()->totalText();
        const qlonglong value = p.listView()->scrollBar()->value();
        QCoreApplication::processEvents();
        const bool same = p.engine()->isIdle() && page == p.pageTexts() && count == p.searchBox()->totalText()
            && value == p.listView()->scrollBar()->value();
        stable = same ? stable + 1 : 0;
    }
    return true;
}

QString display(quint64 v)
{
    return QStringLiteral("F") + QString::number(v);
}

}  // namespace

class TstAnalysisPanels : public QObject
{
    Q_OBJECT

private slots:
    void recentList_data();
    void recentList();
    void strictIntegers_data();
    void strictIntegers();
    void initialChannels();

    void addMenuAndRecent();
    void analyzersDialog();
    void staleChoiceAfterModelChange();
    void supportTable();
    void newAnalyzerAddedOrFreed();
    void dialogChannelsAndLayout();
    void dialogIntegersRefused();
    void editDuringDecodeRestarts();
    void rowMenuFormatsAndExports();
    void exportFailureReported();
    void exportRefusedWhileDecoding();
    void resultListPanel();
    void resultFilterAndSearch();
    void demoCaptureEndToEnd();
};

// ---------------------------------------------------------------- plain rules

void TstAnalysisPanels::recentList_data()
{
    QTest::addColumn<QStringList>("recent");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("used");
    QTest::addColumn<QStringList>("want");
    const QString c = ProtocolLists::pluginFile("CAN"), i = ProtocolLists::pluginFile("I2C"),
                  s = ProtocolLists::pluginFile("SPI"), u = ProtocolLists::pluginFile("UART");
    QTest::newRow("defaults") << QStringList() << QString() << QStringList() << QStringList({c, i, s, u});
    QTest::newRow("I2C and UART in use") << QStringList() << QString() << QStringList({i, u})
                                         << QStringList({c, s, i, u});
    QStringList twelve;
    for (int k = 0; k < 12; ++k)
        twelve << QStringLiteral("libP%1.so").arg(k);
    QTest::newRow("twelve stored") << QStringList() << twelve.join(',') << QStringList() << QStringList(twelve.mid(2));
    QTest::newRow("empty part and unknown file") << QStringList() << (c + ",," + "libGone.so," + u) << QStringList()
                                                 << QStringList({c, u});
    QTest::newRow("list in memory wins") << QStringList({s}) << (c + "," + u) << QStringList({u})
                                         << QStringList({s, u});
}

void TstAnalysisPanels::recentList()
{
    QFETCH(QStringList, recent);
    QFETCH(QString, stored);
    QFETCH(QStringList, used);
    QFETCH(QStringList, want);
    const auto name = [](QString const& f) { return f == "libGone.so" ? QString() : "N-" + f; };
    const ProtocolLists::Recent r = ProtocolLists::updateRecent(recent, stored, used, name);
    QCOMPARE(r.recent, want);
    QCOMPARE(r.names.size(), want.size());
    QCOMPARE(r.names.value(0), "N-" + want.value(0));
    // Rows of the panel: the last ten distinct files, each once.
    QStringList rows;
    for (int k = 0; k < 14; ++k)
        rows << QStringLiteral("f%1").arg(k);
    QCOMPARE(ProtocolLists::usedFileNames(rows), rows.mid(4));
    QCOMPARE(ProtocolLists::usedFileNames({"a", "b", "a"}), QStringList({"b", "a"}));
}

void TstAnalysisPanels::strictIntegers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "115200" << true << 115200;
    QTest::newRow("blanks and sign") << "  -5 " << true << -5;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("inner blank") << "1 2" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("exponent") << "1e3" << false << 0;
    QTest::newRow("too large") << "99999999999" << false << 0;
    QTest::newRow("other digits") << QString::fromUtf8("\u0663") << false << 0;
}

void TstAnalysisPanels::strictIntegers()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int v = 0;
    QCOMPARE(ProtocolLists::parseInteger(text, &v), ok);
    QCOMPARE(v, value);
    QCOMPARE(ProtocolLists::integerRangeText(1, 255), QStringLiteral("Please enter an integer in the range [1, 255]"));
}

void TstAnalysisPanels::initialChannels()
{
    // Channels 0 and 1 bound elsewhere, 2 and 3 free.
    const QStringList uses = {"0", "X - Data", "1", "X - Clock", "2", "", "3", ""};
    const QStringList choices = {"0", " - 'a'", "1", " - 'b'", "2", " - 'c'", "3", " - 'd'"};
    QCOMPARE(ProtocolLists::initialChannel(true, 0, uses, 0, choices, 5), 2);
    QCOMPARE(ProtocolLists::initialChannel(true, 1, uses, 0, choices, 5), 3);
    QCOMPARE(ProtocolLists::initialChannel(true, 2, uses, 0, choices, 5), 2);   // fewer free than settings
    QCOMPARE(ProtocolLists::initialChannel(false, 0, uses, 3, choices, 4), 3);
    QCOMPARE(ProtocolLists::initialChannel(false, 0, uses, 9, choices, 4), 0);   // a channel no longer enabled
    QCOMPARE(ProtocolLists::initialChannel(false, 0, uses, ProtocolLists::noChannel, choices, 5), 4);
    QCOMPARE(ProtocolLists::exportFileKind("csv"), 3);
    QCOMPARE(ProtocolLists::exportFileKind("CSV"), 2);
    QCOMPARE(ProtocolLists::exportFileKind("lst"), 2);
}

// ---------------------------------------------------------------- Analyzers panel

void TstAnalysisPanels::addMenuAndRecent()
{
    Env e({}, {"libUART.so", "libSPI.so", "libI2C.so", "libCAN.so"});
    ProtocolSetting panel(e.mgr.get());
    QCOMPARE(menuTexts(panel.addMenu()), QStringList({"None"}));
    e.mgr->restoreUsing();
    QCOMPARE(menuTexts(panel.addMenu()),
             QStringList({"UART", "SPI", "I2C", "CAN", "|", "More Analyzers...", "|", "Device Supported List..."}));
    QCOMPARE(Config::readGlobalParam("recentAnalyzers"), QStringLiteral("libCAN.so,libI2C.so,libSPI.so,libUART.so"));

    // Adding I2C and UART makes them the newest.
    QVERIFY(addAnalyzer(*e.mgr, e.plugin("libI2C.so"), QByteArray()));
    QVERIFY(addAnalyzer(*e.mgr, e.plugin("libUART.so"), QByteArray()));
    QCOMPARE(panel.rows().size(), 2);
    QCOMPARE(panel.rows()[0]->objectName(), QStringLiteral("libI2C.so"));
    QCOMPARE(menuTexts(panel.addMenu()).mid(0, 4), QStringList({"UART", "I2C", "SPI", "CAN"}));
    // Removing a row leaves menu and stored value as they were.
    const QString stored = Config::readGlobalParam("recentAnalyzers");
    e.mgr->removeUsing(1);
    QCOMPARE(panel.rows().size(), 1);
    QCOMPARE(Config::readGlobalParam("recentAnalyzers"), stored);
    QCOMPARE(menuTexts(panel.addMenu()).mid(0, 4), QStringList({"UART", "I2C", "SPI", "CAN"}));

    // The expand button hides the add button and the rows, not the title.
    panel.show();
    QTest::mouseClick(panel.expandButton(), Qt::LeftButton);
    QVERIFY(!panel.isExpanded() && !panel.addButton()->isVisible() && !panel.rows()[0]->isVisible());
    QTest::mouseClick(panel.expandButton(), Qt::LeftButton);
    QVERIFY(panel.rows()[0]->isVisible());
}

QAction* entry(ProtocolSetting& panel, QString const& text)
{
    for (QAction* a : panel.addMenu()->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

void TstAnalysisPanels::analyzersDialog()
{
    Env e({"libTstA.so"}, {"libUART.so", "libI2C.so"});
    ProtocolSetting panel(e.mgr.get());
    e.mgr->restoreUsing();
    QListWidget* list = panel.analyzerList();
    QCOMPARE(list->count(), 3);
    QAbstractButton* ok = panel.buttonBox()->buttons().first();
    QVERIFY(!ok->isEnabled());
    // Searching ignores case; clearing lists all again.
    panel.searchBox()->setText("i2");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("I2C"));
    panel.searchBox()->setText(QString());
    QCOMPARE(list->count(), 3);

    Modals modals;
    bool enabledByClick = false;
    modals.answer = [&](QWidget* w) {
        if (w != panel.analyzersDialog()) {
            static_cast<QDialog*>(w)->reject();   // the settings dialog
            return;
        }
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        enabledByClick = ok->isEnabled();
        // A double-click acts as click and OK.
        const QPoint first = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
    };
    entry(panel, "More Analyzers...")->trigger();
    QVERIFY(enabledByClick);
    QCOMPARE(modals.titles, QStringList({"All Protocol Analyzers", "Analyzer - I2C"}));
    QVERIFY(!panel.analyzersDialog()->isVisible());
    QCOMPARE(panel.selectedName(), QStringLiteral("I2C"));
    // Cancelled: nothing added.
    QCOMPARE(e.mgr->usingCount(), 0);
}

void TstAnalysisPanels::staleChoiceAfterModelChange()
{
    // TstA serves models 0, 2 and 5; the demo model 0 first.
    Env e({"libTstA.so"}, {"libCAN.so", "libUART.so"});
    ProtocolSetting panel(e.mgr.get());
    e.mgr->restoreUsing();
    QListWidget* list = panel.analyzerList();
    const int tst = e.plugin("libTstA.so");
    QVERIFY(tst > 0);
    Modals modals;
    int rowShown = -1;
    modals.answer = [&](QWidget* w) {
        if (w != panel.analyzersDialog()) {
            static_cast<QDialog*>(w)->reject();
        } else if (rowShown < 0 && panel.selectedName().isEmpty()) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(tst)).center());
            panel.buttonBox()->buttons().last()->click();   // Cancel
        } else {
            rowShown = list->currentRow();
            clickOk(w);
        }
    };
    entry(panel, "More Analyzers...")->trigger();
    QCOMPARE(panel.selectedName(), QStringLiteral("TstA"));
    // Another model: the name now carries the support text.
    delete devUsing;
    devUsing = DevBase::createDevice(1);
    panel.devModelChanged();
    QCOMPARE(list->item(tst)->text(), QStringLiteral("TstA (Not Supported)"));
    // The chosen row is still found, and OK opens that analyzer, not the first.
    entry(panel, "More Analyzers...")->trigger();
    QCOMPARE(rowShown, tst);
    QCOMPARE(modals.titles.last(), QStringLiteral("Analyzer - TST"));
}

void TstAnalysisPanels::supportTable()
{
    Env e({});
    ProtocolSetting panel(e.mgr.get());
    Modals modals;
    panel.supportButton()->click();
    QDialog* first = panel.supportDialog();
    QTableView* t = panel.supportTable();
    QVERIFY(first && t);
    QCOMPARE(t->model()->rowCount(), 36);
    QCOMPARE(t->model()->columnCount(), 7);
    auto row = [t](QString const& name) {
        QStringList cells;
        for (int r = 0; r < t->model()->rowCount(); ++r)
            if (t->model()->index(r, 0).data().toString() == " " + name)
                for (int c = 1; c < 7; ++c)
                    cells << t->model()->index(r, c).data().toString();
        return cells.join(QString());
    };
    const QString dot(QChar(0x25CF));
    QCOMPARE(row("CAN-FD"), "xxx" + dot + dot + dot);
    QCOMPARE(row("MIPI-DSI LP"), "xxxx" + dot + dot);
    QCOMPARE(row("UART/RS232/485"), QString(6, QChar(0x25CF)));
    panel.supportButton()->click();
    QCOMPARE(panel.supportDialog(), first);
    QCOMPARE(panel.supportTable(), t);
    QCOMPARE(modals.titles.size(), 2);
}

// ---------------------------------------------------------------- settings dialog

void TstAnalysisPanels::newAnalyzerAddedOrFreed()
{
    Env e({"libTstA.so"});
    const int live = pluginCounter("libTstA.so", "TstLiveInstances");
    {
        ProtocolEdit dlg(false, e.mgr.get(), 0, nullptr);
        QVERIFY(dlg.analyzerObject());
        QCOMPARE(pluginCounter("libTstA.so", "TstLiveInstances"), live + 1);
        dlg.buttonBox()->buttons().last()->click();   // Cancel
    }
    QCOMPARE(pluginCounter("libTstA.so", "TstLiveInstances"), live);
    QCOMPARE(e.mgr->usingCount(), 0);
    {
        // OK with the defaults untouched still adds it.
        ProtocolEdit dlg(false, e.mgr.get(), 0, nullptr);
        clickOk(&dlg);
    }
    QCOMPARE(e.mgr->usingCount(), 1);
    QCOMPARE(pluginCounter("libTstA.so", "TstLiveInstances"), live + 1);
}

void TstAnalysisPanels::dialogChannelsAndLayout()
{
    Env e({"libTstA.so"}, {"libI2C.so"});
    QVERIFY(addAnalyzer(*e.mgr, e.plugin("libTstA.so"), tst(0, "1")));
    {
        // A new analyzer takes the free channels; bound ones name their user.
        ProtocolEdit dlg(false, e.mgr.get(), e.plugin("libTstA.so"), nullptr);
        QCOMPARE(dlg.channelBoxes().size(), 2);
        QCOMPARE(dlg.channelBoxes()[0]->currentIndex(), 2);
        QCOMPARE(dlg.channelBoxes()[1]->currentIndex(), 3);
        QCOMPARE(dlg.channelBoxes()[0]->itemText(0), QStringLiteral("0 - 'Channel 0'    (TST - Data)"));
        QCOMPARE(dlg.channelBoxes()[1]->itemText(16), QStringLiteral("None"));
        // Five settings, two channels: the buttons below a 2-pixel spacer.
        int row, col, rs, cs;
        dlg.grid()->getItemPosition(dlg.grid()->indexOf(dlg.buttonBox()), &row, &col, &rs, &cs);
        QCOMPARE(row, 7);
        // None for the clock: no channel.
        dlg.channelBoxes()[1]->setCurrentIndex(16);
        clickOk(&dlg);
    }
    QCOMPARE(e.mgr->usingCount(), 2);
    auto* clock = static_cast<AnalyzerSettingInterfaceChannel*>(
        e.mgr->getUsingAnalyzer(1)->GetAnalyzerSettings()->GetSettingsInterface(1));
    QCOMPARE(clock->Value().index, ProtocolLists::noChannel);
    QCOMPARE(clock->Value().deviceId, U64(0));
    {
        // Only channel settings: no spacer row, the buttons right below.
        ProtocolEdit dlg(false, e.mgr.get(), e.plugin("libI2C.so"), nullptr);
        int row, col, rs, cs;
        dlg.grid()->getItemPosition(dlg.grid()->indexOf(dlg.buttonBox()), &row, &col, &rs, &cs);
        QCOMPARE(row, 3);
    }
    // Editing an analyzer whose channel was disabled since: the first item.
    devUsing->dChnEna[0] = false;
    ProtocolEdit dlg(true, e.mgr.get(), 0, nullptr);
    QCOMPARE(dlg.channelBoxes()[0]->currentIndex(), 0);
    QCOMPARE(dlg.channelBoxes()[0]->itemText(0).left(1), QStringLiteral("1"));
}

void TstAnalysisPanels::dialogIntegersRefused()
{
    Env e({"libTstA.so"});
    QVERIFY(addAnalyzer(*e.mgr, 0, tst(0)));
    Analyzer* a = e.mgr->getUsingAnalyzer(0);
    const QByteArray before(a->GetAnalyzerSettings()->SaveToText());
    QSignalSpy changed(e.mgr.get(), &AnalyzerManager::analyzerItemChanged);
    Modals modals;
    {
        ProtocolEdit dlg(true, e.mgr.get(), 0, nullptr);
        QCOMPARE(dlg.integerFields().size(), 3);
        dlg.integerFields()[0]->setText("abc");    // restarts 0..1000: letters are no 0
        dlg.integerFields()[2]->setText("100001");   // burst 1..100000
        clickOk(&dlg);
        QCOMPARE(modals.boxes, QStringList({"Please enter an integer in the range [0, 1000]",
                                            "Please enter an integer in the range [1, 100000]"}));
        QCOMPARE(QByteArray(a->GetAnalyzerSettings()->SaveToText()), before);
        // Corrected: applied and stored.
        dlg.integerFields()[0]->setText(" 3 ");
        dlg.integerFields()[2]->setText("+2");
        clickOk(&dlg);
        QCOMPARE(modals.boxes.size(), 2);
    }
    QCOMPARE(changed.count(), 1);
    QVERIFY(QByteArray(a->GetAnalyzerSettings()->SaveToText()).contains("restarts=3"));
    // OK without a change: the host is not told.
    {
        ProtocolEdit dlg(true, e.mgr.get(), 0, nullptr);
        clickOk(&dlg);
    }
    QCOMPARE(changed.count(), 1);
}

void TstAnalysisPanels::editDuringDecodeRestarts()
{
    Env e({"libTstA.so"});
    putCapture(100000, 50);
    QVERIFY(addAnalyzer(*e.mgr, 0, tst(0, "none", -1)));   // decodes until stopped
    QSignalSpy changed(e.mgr.get(), &AnalyzerManager::analyzerItemChanged);
    const int runs = pluginCounter("libTstA.so", "TstRuns");
    e.mgr->startDecode();
    QTRY_COMPARE(pluginCounter("libTstA.so", "TstRuns"), runs + 1);
    // OK without a change stops the decode to apply; it must run again.
    {
        ProtocolEdit dlg(true, e.mgr.get(), 0, nullptr);
        clickOk(&dlg);
    }
    QTRY_COMPARE(pluginCounter("libTstA.so", "TstRuns"), runs + 2);
    QVERIFY(e.mgr->anlyThreadIsRuning(0));
    QCOMPARE(changed.count(), 0);
    // During a capture it stays stopped: the capture's end decodes again.
    devUsing->smpRunning = true;
    {
        ProtocolEdit dlg(true, e.mgr.get(), 0, nullptr);
        clickOk(&dlg);
    }
    devUsing->smpRunning = false;
    QVERIFY(!e.mgr->anlyThreadIsRuning(0));
    QCOMPARE(pluginCounter("libTstA.so", "TstRuns"), runs + 2);
}

// ---------------------------------------------------------------- analyzer rows

void TstAnalysisPanels::rowMenuFormatsAndExports()
{
    Env e({"libTstA.so", "libTstMulti.so"}, {"libUART.so"});
    // A stored format outside the five and a channel beyond the device.
    Config::saveAnalyzerParam(0, {"libUART.so", "UART,1,input=40", "9"});
    e.mgr->restoreUsing();
    QCOMPARE(e.mgr->getUsingDisplayFormat(0), int(DisplayHex));
    auto* input = static_cast<AnalyzerSettingInterfaceChannel*>(
        e.mgr->getUsingAnalyzer(0)->GetAnalyzerSettings()->GetSettingsInterface(0));
    QCOMPARE(input->Value().index, 0u);
    e.mgr->setUsingDisplayFormat(0, 7);
    QCOMPARE(e.mgr->getUsingDisplayFormat(0), int(DisplayHex));
    ProtocolSetting panel(e.mgr.get());
    e.mgr->saveConfig();
    ProtocolItem* row = panel.rows().value(0);
    QVERIFY(row);
    QCOMPARE(row->nameLabel()->text(), QStringLiteral("UART"));

    Modals modals;
    QTest::mouseClick(row->settingButton(), Qt::LeftButton);
    QMenu* menu = row->rowMenu();
    QCOMPARE(menuTexts(menu), QStringList({"Edit", "Display Format", "Export Data"}));
    QMenu* formats = menu->actions()[1]->menu();
    QCOMPARE(menuTexts(formats), QStringList({"Bin", "Dec", "Hex", "ASCII", "ASCII && Hex"}));
    QVERIFY(formats->actions()[2]->isChecked());
    formats->actions()[4]->trigger();
    QCOMPARE(e.mgr->getUsingDisplayFormat(0), int(DisplayAsciiHex));
    menu->hide();
    row = panel.rows().value(0);
    QTest::mouseClick(row->settingButton(), Qt::LeftButton);
    menu = row->rowMenu();
    QVERIFY(menu->actions()[1]->menu()->actions()[4]->isChecked());

    // One option with two extensions: a text and a CSV dialog; before any
    // capture only the no-data warning.
    QMenu* exports = menu->actions()[2]->menu();
    QCOMPARE(menuTexts(exports), QStringList({"Text file (*.txt)", "CSV file (*.csv)"}));
    exports->actions()[1]->trigger();
    QCOMPARE(modals.boxes, QStringList({"Sorry, there is no data that can be exported."}));

    // Two options: the dialog, with the first choice checked each time.
    QVERIFY(addAnalyzer(*e.mgr, e.plugin("libTstMulti.so"), tst(0)));
    ProtocolItem* multi = panel.rows().value(1);
    QTest::mouseClick(multi->settingButton(), Qt::LeftButton);
    QCOMPARE(multi->rowMenu()->actions().last()->text(), QStringLiteral("Export Data..."));
    QStringList radios;
    modals.answer = [&radios](QWidget* w) {
        const QList<QRadioButton*> r = w->findChildren<QRadioButton*>();
        for (QRadioButton* b : r)
            radios << b->text() + (b->isChecked() ? "*" : "");
        r.last()->setChecked(true);
        w->findChild<QDialogButtonBox*>()->buttons().last()->click();
    };
    multi->rowMenu()->actions().last()->trigger();
    multi->rowMenu()->actions().last()->trigger();
    const QStringList once = {"Text file (*.txt)*", "Value list (*.lst)", "CSV file (*.csv)"};
    QCOMPARE(radios, once + once);
}

void TstAnalysisPanels::exportFailureReported()
{
    Env e({"libTstA.so"});
    putCapture(100000, 50);
    QVERIFY(addAnalyzer(*e.mgr, 0, tst(0, "none", 3, 5)));
    QSignalSpy decoded(e.mgr.get(), &AnalyzerManager::analyzerDecodedChanged);
    e.mgr->startDecode();
    QVERIFY(decoded.wait(20000));
    QTRY_VERIFY(!e.mgr->anlyThreadIsRuning(0));
    ProtocolSetting panel(e.mgr.get());
    e.mgr->saveConfig();
    ProtocolItem* row = panel.rows().value(0);
    QTest::mouseClick(row->settingButton(), Qt::LeftButton);

    QSignalSpy finished(e.mgr.get(), &AnalyzerManager::exportFinished);
    Modals modals;
    QString target = e.env.path("no such folder/out.txt");
    modals.answer = [&target](QWidget* w) { saveAs(w, target); };
    row->rowMenu()->actions()[2]->menu()->actions()[0]->trigger();
    QVERIFY(finished.wait(20000) || finished.count() == 1);
    QCOMPARE(finished.first().at(0).toBool(), false);
    QTRY_COMPARE(modals.boxes.size(), 1);
    QVERIFY(modals.boxes[0].startsWith("The file could not be written"));
    QVERIFY(modals.boxes[0].contains("out.txt"));
    QTRY_VERIFY(!row->progressDialog()->isVisible());

    // A name outside ASCII is written under that name.
    target = e.env.path(QString::fromUtf8("Ergebnis \u00fc\u03bb.txt"));
    row->rowMenu()->actions()[2]->menu()->actions()[0]->trigger();
    QVERIFY(finished.wait(20000) || finished.count() == 2);
    QCOMPARE(finished.last().at(0).toBool(), true);
    QFile f(target);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().count('\n'), 16);   // heading and 15 frames
    QCOMPARE(modals.boxes.size(), 1);

    // The progress message keeps the dialog's own text colour, not the row's
    // light text meant for the dark panel.
    const QLabel* message = row->progressDialog()->labelMsg;
    QCOMPARE(message->text(), QStringLiteral("Saving file, please wait..."));
    QCOMPARE(message->palette().color(message->foregroundRole()),
             row->progressDialog()->palette().color(QPalette::WindowText));
}

// While the analyzer still decodes, its export is refused with the reason,
// before any file is asked for, and no file is blamed or written.
void TstAnalysisPanels::exportRefusedWhileDecoding()
{
    Env e({"libTstA.so"});
    putCapture(100000, 50);
    QVERIFY(addAnalyzer(*e.mgr, 0, tst(0, "none", -1, 5)));
    e.mgr->startDecode();
    QTRY_VERIFY(e.mgr->anlyThreadIsRuning(0));
    AnalyzerResults* results = nullptr;
    e.mgr->getUsingAnalyzer(0)->GetAnalyzerResults(&results);
    QTRY_VERIFY(results && results->GetNumFrames() > 0);
    ProtocolSetting panel(e.mgr.get());
    e.mgr->saveConfig();
    ProtocolItem* row = panel.rows().value(0);
    QVERIFY(row);
    QTest::mouseClick(row->settingButton(), Qt::LeftButton);

    Modals modals;
    const QString target = e.env.path("decoding.txt");
    modals.answer = [&target](QWidget* w) { saveAs(w, target); };
    row->rowMenu()->actions()[2]->menu()->actions()[0]->trigger();
    QTRY_COMPARE(modals.boxes.size(), 1);
    QCOMPARE(modals.boxes[0], QStringLiteral("The analyzer is still decoding, please export when it has finished."));
    QCOMPARE(modals.titles, QStringList({QStringLiteral("Warning")}));
    QVERIFY(!QFile::exists(target));
    QVERIFY(e.mgr->anlyThreadIsRuning(0));
    AnalyzerManager::stopAllAnalyzer();
}

// ---------------------------------------------------------------- decoded results

namespace {

// The Decoded Results panel on a capture, with the waveform generator whose
// view it follows.
struct ResultEnv {
    ResultEnv()
    {
        putCapture(100000, 50);
        gen.setSnapshotSource([] { return devUsing->readDisplayedSmpData(); });
        gen.setViewWidth(800);
        panel.resize(240, 400);
        panel.show();
    }
    Env e{{"libTstA.so"}};
    WaveDataGen gen;
    ProtocolResult panel{e.mgr.get()};
};

}  // namespace

void TstAnalysisPanels::resultListPanel()
{
    ResultEnv r;
    Env& e = r.e;
    WaveDataGen& gen = r.gen;
    ProtocolResult& panel = r.panel;
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    ResultView* list = panel.listView();
    QCOMPARE(list->height() % 18, 0);
    // Part of a row more: still whole rows, and the page follows.
    panel.resize(240, 409);
    QCoreApplication::processEvents();
    QCOMPARE(list->height() % 18, 0);

    QVERIFY(addAnalyzer(*e.mgr, 0, tst(0, "none", 1, 4)));   // 4 frames: shorter than the list
    QSignalSpy decoded(e.mgr.get(), &AnalyzerManager::analyzerDecodedChanged);
    e.mgr->startDecode();
    QVERIFY(decoded.wait(20000));
    QVERIFY(engineIdle(panel));
    QCOMPARE(panel.pageTexts(), QStringList({"F0", "F1", "F2", "F3"}));
    QCOMPARE(panel.searchBox()->totalText(), QStringLiteral("4"));
    QVERIFY(list->scrollBar()->isHidden());
    QWheelEvent wheel(QPointF(5, 5), list->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list, &wheel);
    QCOMPARE(list->scrollBar()->value(), 0LL);

    // A click on a row moves the view onto its frame: [4, 5) fills the middle half.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
    QCOMPARE(gen.getSmpPerPixel(), 2.0 / 400);
    QCOMPARE(gen.getSmpOffset(), 4.0 - 200 * (2.0 / 400));
    // The engine dropped the page (the host's handshake) before the panel
    // saw it: the click on the old row must not move the view.
    AnalyzerManager::clearAnalyzerResult();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(3, 0)).center());
    QCOMPARE(gen.getSmpOffset(), 4.0 - 200 * (2.0 / 400));

    // The expand button hides search and list, not the title row.
    QTest::mouseClick(panel.expandButton(), Qt::LeftButton);
    QVERIFY(!panel.searchBox()->isVisible() && !list->isVisible() && panel.expandButton()->isVisible());
}

void TstAnalysisPanels::resultFilterAndSearch()
{
    ResultEnv r;
    Env& e = r.e;
    WaveDataGen& gen = r.gen;
    ProtocolResult& panel = r.panel;
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(addAnalyzer(*e.mgr, 0, tst(0, "none", 10, 30)));   // F0..F299 at samples 0, 2, 4...
    QVERIFY(addAnalyzer(*e.mgr, 0, tst(1, "none", 2, 20)));    // F0..F39
    QSignalSpy decoded(e.mgr.get(), &AnalyzerManager::analyzerDecodedChanged);
    e.mgr->startDecode();
    QTRY_COMPARE_WITH_TIMEOUT(decoded.count(), 2, 20000);
    QVERIFY(engineIdle(panel));
    QCOMPARE(panel.searchBox()->totalText(), QStringLiteral("340"));
    QCOMPARE(panel.pageTexts().mid(0, 4), QStringList({"F0", "F0", "F1", "F1"}));

    // The filter menu: both ticked; unticking the second hides its rows.
    QTest::mouseClick(panel.filterButton(), Qt::LeftButton);
    QList<QAction*> acts = panel.filterMenu()->actions();
    QCOMPARE(acts.size(), 2);
    QVERIFY(acts[0]->isCheckable() && acts[0]->isChecked() && acts[1]->isChecked());
    acts[1]->trigger();
    QVERIFY(engineIdle(panel));
    QCOMPARE(panel.searchBox()->totalText(), QStringLiteral("300"));
    QTest::mouseClick(panel.filterButton(), Qt::LeftButton);
    acts = panel.filterMenu()->actions();
    QVERIFY(!acts[1]->isChecked());
    acts[1]->trigger();
    QVERIFY(engineIdle(panel));
    QCOMPARE(panel.searchBox()->totalText(), QStringLiteral("340"));
    panel.filterMenu()->hide();

    // Following the view: the list starts at the view's left edge.
    gen.moveTo(200);
    ProtocolResult::updateDecodeProtocols();
    QVERIFY(engineIdle(panel));
    QCOMPARE(panel.pageTexts().first(), QStringLiteral("F100"));

    // A search counts from the capture start, whatever the view shows.
    QTest::keyClicks(panel.searchBox(), "f2");
    QVERIFY(engineIdle(panel));
    QStringList hits;
    for (int k = 0; k < 300; ++k) {
        if (display(quint64(k)).contains("F2"))
            hits << display(quint64(k));
        if (k < 40 && display(quint64(k)).contains("F2"))
            hits << display(quint64(k));
    }
    QCOMPARE(panel.searchBox()->totalText(), QString::number(hits.size()));
    QCOMPARE(panel.pageTexts().mid(0, 3), QStringList({"F2", "F2", "F20"}));
    // With a search text, following the view restarts nothing; nor does it
    // during a capture.
    ProtocolResult::updateDecodeProtocols();
    QVERIFY(engineIdle(panel));
    QCOMPARE(panel.pageTexts().mid(0, 3), QStringList({"F2", "F2", "F20"}));
    panel.searchBox()->clear();   // cleared: from the capture start again
    QVERIFY(engineIdle(panel));
    QCOMPARE(panel.pageTexts().first(), QStringLiteral("F0"));
    devUsing->smpRunning = true;
    ProtocolResult::updateDecodeProtocols();
    QVERIFY(engineIdle(panel));
    devUsing->smpRunning = false;
    QCOMPARE(panel.pageTexts().first(), QStringLiteral("F0"));
    ProtocolResult::clearFindText();
    QVERIFY(panel.pageTexts().isEmpty());
    QCOMPARE(panel.searchBox()->text(), QString());
}

// ---------------------------------------------------------------- end to end

namespace {

QThread* demoWorker(DevBase* d, int kind)
{
    return kind == SmpWorkerSimulate ? new SmpSimulate(d) : nullptr;
}

// One export row as the UART analyzer writes it in ASCII and hexadecimal.
QString uartField(quint64 v)
{
    const QString hex = QString::asprintf("0x%02llX", v);
    if (v == '\r')
        return "\\r (" + hex + ")";
    if (v == '\n')
        return "\\n (" + hex + ")";
    return QString(QChar(char(v))) + " (" + hex + ")";
}

}  // namespace

void TstAnalysisPanels::demoCaptureEndToEnd()
{
    Env e({}, {"libUART.so", "libSPI.so"});
    DevBase::smpWorkerFactory = &demoWorker;
    struct Reset {
        ~Reset() { DevBase::smpWorkerFactory = nullptr; }
    } reset;
    QVERIFY(devUsing->setSmpFrequ(devUsing->smpFrequList.indexOf(10000000)));
    QVERIFY(devUsing->setSmpDepth(devUsing->smpDepthList.indexOf(1000000)));
    WaveDataGen gen;
    gen.setSnapshotSource([] { return devUsing->readDisplayedSmpData(); });
    gen.setViewWidth(800);
    ProtocolSetting setting(e.mgr.get());
    ProtocolResult result(e.mgr.get());
    setting.show();
    result.resize(240, 400);
    result.show();
    QVERIFY(QTest::qWaitForWindowExposed(&result));
    e.mgr->restoreUsing();

    // Add UART from the add menu through its settings dialog.
    Modals modals;
    modals.answer = [](QWidget* w) { clickOk(w); };
    QTest::mouseClick(setting.addButton(), Qt::LeftButton);
    QAction* uart = setting.addMenu()->actions().value(0);
    QCOMPARE(uart->text(), QStringLiteral("UART"));
    uart->trigger();
    QCOMPARE(e.mgr->usingCount(), 1);
    QCOMPARE(modals.titles, QStringList({"Analyzer - UART"}));
    ProtocolItem* row = setting.rows().value(0);
    QTest::mouseClick(row->settingButton(), Qt::LeftButton);
    row->rowMenu()->actions()[1]->menu()->actions()[DisplayAsciiHex]->trigger();
    // The host's change notice made the rows anew.
    row = setting.rows().value(0);
    QTest::mouseClick(row->settingButton(), Qt::LeftButton);

    // Capture with the demo's simulated traffic, then decode.
    QSignalSpy ready(devUsing, &DevBase::sigSmpDataReady);
    QSignalSpy decoded(e.mgr.get(), &AnalyzerManager::analyzerDecodedChanged);
    ProtocolResult::clearFindText();
    devUsing->smpStart(SmpStartSingle);
    QTRY_VERIFY_WITH_TIMEOUT(!devUsing->smpRunning && !ready.isEmpty(), 30000);
    e.mgr->startDecode();
    QVERIFY(decoded.wait(30000));
    QTRY_VERIFY(!e.mgr->anlyThreadIsRuning(0));
    AnalyzerResults* res = nullptr;
    e.mgr->getUsingAnalyzer(0)->GetAnalyzerResults(&res);
    QVector<Frame> frames;
    for (U64 k = 0; k < res->GetNumFrames(); ++k)
        frames << res->GetFrame(k);
    QVERIFY(frames.size() > 100);
    QVERIFY(engineIdle(result));
    QCOMPARE(result.searchBox()->totalText(), QString::number(frames.size()));

    // Search the letter o, jump to the third hit.
    QVector<int> os;
    for (int k = 0; k < frames.size(); ++k)
        if (frames[k].data1 == 'o')
            os << k;
    QTest::keyClicks(result.searchBox(), "(0X6f)");
    QVERIFY(engineIdle(result));
    QCOMPARE(result.searchBox()->totalText(), QString::number(os.size()));
    QCOMPARE(result.pageTexts().value(0), QStringLiteral("o (0x6F)"));
    ResultView* list = result.listView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
    const Frame& hit = frames[os[2]];
    const double spp = double(hit.endSample - hit.startSample + 1) / 400;
    QCOMPARE(gen.getSmpPerPixel(), spp);
    QCOMPARE(gen.getSmpOffset(), double(hit.startSample) - 200 * spp);

    // Export CSV and compare with the frames.
    const QString path = e.env.path("uart.csv");
    QStringList filters;
    modals.answer = [&](QWidget* w) { saveAs(w, path, &filters); };
    QSignalSpy finished(e.mgr.get(), &AnalyzerManager::exportFinished);
    row->rowMenu()->actions()[2]->menu()->actions()[1]->trigger();
    QVERIFY(finished.count() == 1 || finished.wait(20000));
    QVERIFY(finished.first().at(0).toBool());
    QCOMPARE(filters, QStringList({"CSV file (*.csv)"}));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), frames.size() + 1);
    QCOMPARE(lines[0], QStringLiteral("Time [s],Value,Error"));
    const double rate = 10e6;
    for (int k = 0; k < frames.size(); ++k) {
        const QStringList cells = lines[k + 1].split(',');
        QCOMPARE(cells.size(), 3);
        QCOMPARE(cells[0], QString::asprintf("%.9f", double(frames[k].startSample - devUsing->displayedSmpData()->trgPosition) / rate));
        QCOMPARE(cells[1], uartField(frames[k].data1));
    }
    QVERIFY(modals.boxes.isEmpty());
}

QTEST_MAIN(TstAnalysisPanels)
#include "tst_analysispanels.moc"
