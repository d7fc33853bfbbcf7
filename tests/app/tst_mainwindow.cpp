// The main window as the program builds it: its grid and shortcuts, the
// start-up and sampling reports turned into progress, codes, titles and
// boxes, the two roads of the start-up timer (device search; a data file
// named on the command line), device replacement, dropped files, close and
// shutdown with every worker busy.

#include "programrig.h"

#include "analysis/analyzerdatagen.h"
#include "analysis/analyzermanager.h"
#include "analysis/analyzerview.h"
#include "analysis/protocolresult.h"
#include "analysis/resultview.h"
#include "controls/pwmsetting.h"
#include "controls/smpsetting.h"
#include "controls/statusbar.h"
#include "controls/toolbar.h"
#include "controls/vthsetting.h"
#include "device/smpdata.h"
#include "files/checkupdate.h"
#include "files/exportdataset.h"
#include "files/mainmenu.h"
#include "scope/calibrateosc.h"
#include "waveview/cursorbody.h"
#include "waveview/mainview.h"
#include "waveview/posiview.h"
#include "waveview/timeview.h"
#include "waveview/wavedatagen.h"
#include "waveview/waveview.h"
#include "widgets/myprogressdlg.h"
#include "widgets/myscrollbar.h"
#include "widgets/myswitch.h"

#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTcpServer>
#include <QTcpSocket>
#include <QSignalSpy>
#include <QtTest>

using apptest::BoxCatcher;
using apptest::ProgramRig;
using apptest::settingsXml;

namespace {

// A short demo capture: 10 MHz, 20 000 samples.
const QString shortDemo = QStringLiteral("<Demo><smpFrequ>10000</smpFrequ><smpDepth>20</smpDepth></Demo>");

bool captureShown(qint64 count)
{
    auto s = devUsing ? devUsing->displayedSmpData() : nullptr;
    return s && s->smpCount == count && !devUsing->smpRunning;
}

// Drawn: the trace generator's frame shows the displayed capture.
bool captureDrawn(MainWindow* w, qint64 count)
{
    const WaveFramePtr f = w->getWaveDataGen()->frame();
    if (!f || f->smpCount != count)
        return false;
    for (int c : f->counts)
        if (c > 0)
            return true;
    return false;
}

// F5 in the window, as the user presses it, and the capture on screen.
bool captureWithF5(MainWindow* w)
{
    // Window shortcuts reach the active window only.
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        return false;
    QTest::keyClick(w, Qt::Key_F5);
    const qint64 depth = devUsing->getExpectDepth();
    QElapsedTimer t;
    t.start();
    while (!(captureShown(depth) && captureDrawn(w, depth)) && t.elapsed() < 20000)
        QTest::qWait(5);
    return captureShown(depth) && captureDrawn(w, depth);
}

// Ctrl+S in the window with the dialogs answered: the whole capture saved.
void saveWithCtrlS(MainWindow* w, const QString& path)
{
    MainMenu* m = w->getMainMenu();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    m->hooks.execDialog = [](QDialog&) { return int(QDialog::Accepted); };
    m->hooks.saveFileName = [path](int) { return path; };
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
}

// Channel 3's levels at a few places of the displayed 20 000-sample capture.
QVector<int> shownLevels()
{
    auto s = devUsing->displayedSmpData();
    return {s->getPointLevel(3, 0), s->getPointLevel(3, 777), s->getPointLevel(3, 19999)};
}

// The window shown after start-up, a capture taken with F5 and saved to path.
bool captureAndSave(MainWindow* w, const QString& path)
{
    w->show();
    if (!QTest::qWaitFor([w] { return !w->startupPending(); }, 5000) || !captureWithF5(w))
        return false;
    saveWithCtrlS(w, path);
    return QFile::exists(path);
}

// A short demo capture taken with F5 and saved to path; its levels.
QVector<int> savedDemoCapture(const QString& path)
{
    ProgramRig first(settingsXml(QString(), shortDemo));
    return captureAndSave(first.window, path) ? shownLevels() : QVector<int>();
}

QByteArray readAllOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A loopback port nobody listens on, 0 when none could be had.
quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

int requestCount(int request, int value)
{
    int n = 0;
    for (int i = 0; i < emu_log_count(); ++i) {
        emu_log_entry e;
        if (emu_log_get(i, &e) && e.kind == EMU_LOG_CONTROL && e.request == request && e.value == value &&
            !(e.request_type & 0x80))
            ++n;
    }
    return n;
}

QByteArray reg(int r)
{
    unsigned char b[16] = {};
    const int n = emu_reg_get(r, b, int(sizeof b));
    return QByteArray(reinterpret_cast<const char*>(b), n);
}

// The records a binary export of samples a..b of the store holds, built sample by sample.
QByteArray binaryRecords(const SmpData& s, qint64 a, qint64 b)
{
    const int recBytes = (s.chnNum + 7) / 8;
    QByteArray out(int(b - a + 1) * recBytes, '\0');
    for (qint64 p = a; p <= b; ++p)
        for (int c = 0; c < s.chnNum; ++c)
            if (s.chnData[size_t(c)] && s.getPointLevel(c, p))
                out.data()[int(p - a) * recBytes + c / 8] |= char(1 << (c % 8));
    return out;
}

// The text the status bar showed at each of its paints.
struct PaintLog : QObject {
    explicit PaintLog(StatusBar* b) : bar(b) { bar->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            texts << bar->text();
        return false;
    }
    StatusBar* bar;
    QStringList texts;
};

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void gridLayout();
    void shortcuts_data();
    void shortcuts();
    void initProgress_data();
    void initProgress();
    void initErrorCode_data();
    void initErrorCode();
    void damagedRecordCount_data();
    void damagedRecordCount();
    void samplingErrorBox_data();
    void samplingErrorBox();
    void titleAfterDataReview();
    void zoomText_data();
    void zoomText();
    void startupConnectsInstrument();
    void startupLoadsDataFile();
    void startupBrokenDataFile();
    void startupDataFileWithoutHead();
    void replaceDevice();
    void dropFiles();
    void closeWritesSettings();
    void maximizedKeepsStoredPosition();
    void hotplugAfterClose_data();
    void hotplugAfterClose();
    void shutdownWithWorkersBusy();
    void remoteCaptureThroughWindow();
    void guideSwitchesServerOn();
    void exportRangeIsMarkerPair();
    void pwmSwitchesAfterReconnect();
    void channelScrollHandle();
    void remoteSettersShown();
    void firstDecodedRowSelected();
    void statusTextFollowsReview();
    void sidePanelScrollsWhenLow();
};

void TstMainWindow::gridLayout()
{
    ProgramRig rig;
    MainWindow* w = rig.window;
    QGridLayout* g = w->getGridLayout();
    QCOMPARE(w->layout(), g);
    const struct {
        QWidget* widget;
        int row, col, rowSpan, colSpan;
    } cells[] = {
        {w->getToolbarArea(), 0, 0, 1, 3}, {w->getMainMenu(), 0, 3, 1, 1}, {w->getVthSetting(), 1, 0, 1, 1},
        {w->getTimeView(), 1, 1, 1, 1},    {w->getMainView(), 2, 0, 1, 2}, {w->getStatusBar(), 3, 0, 1, 1},
        {w->getPosiView(), 3, 1, 1, 1},    {w->getAnalyzerArea(), 1, 2, 3, 2},
    };
    for (const auto& c : cells) {
        const int i = g->indexOf(c.widget);
        QVERIFY(i >= 0);
        int r, col, rs, cs;
        g->getItemPosition(i, &r, &col, &rs, &cs);
        QCOMPARE(QVector<int>({r, col, rs, cs}), QVector<int>({c.row, c.col, c.rowSpan, c.colSpan}));
    }
    QCOMPARE(g->count(), 8);
    QCOMPARE(QVector<int>({g->rowStretch(0), g->rowStretch(1), g->rowStretch(2), g->rowStretch(3)}),
             QVector<int>({0, 0, 1, 0}));
    QCOMPARE(QVector<int>({g->columnStretch(0), g->columnStretch(1), g->columnStretch(2), g->columnStretch(3)}),
             QVector<int>({0, 1, 0, 0}));
    QCOMPARE(g->contentsMargins(), QMargins(2, 0, 2, 2));
    QCOMPARE(g->horizontalSpacing(), 0);
    QCOMPARE(g->verticalSpacing(), 0);
    QCOMPARE(w->getToolbarArea()->widget(), static_cast<QWidget*>(w->getToolbar()));
    QCOMPARE(w->getToolbarArea()->maximumHeight(), 48);
    QCOMPARE(w->getToolbarArea()->minimumHeight(), 48);
    QCOMPARE(w->getAnalyzerArea()->widget(), static_cast<QWidget*>(w->getAnalyzerView()));
    QCOMPARE(w->getAnalyzerArea()->maximumWidth(), 240);
    QCOMPARE(w->getAnalyzerArea()->minimumWidth(), 240);
    QCOMPARE(w->getStatusBar()->maximumWidth(), 196);
    QCOMPARE(w->windowTitle(), QStringLiteral("Demo Unconnected - VormelTAV"));
}

void TstMainWindow::shortcuts_data()
{
    QTest::addColumn<QString>("extparam");
    QTest::addColumn<int>("count");
    QTest::newRow("none") << QString() << 3;
    QTest::newRow("upper case") << QStringLiteral("52P64W81M93") << 3;
    QTest::newRow("trailing blank") << QStringLiteral("52p64w81m93 ") << 3;
    QTest::newRow("other text") << QStringLiteral("1") << 3;
    QTest::newRow("access code") << QStringLiteral("52p64w81m93") << 4;
}

void TstMainWindow::shortcuts()
{
    QFETCH(QString, extparam);
    QFETCH(int, count);
    ProgramRig rig(settingsXml(QStringLiteral("<extparam>%1</extparam>").arg(extparam)));
    const QList<QShortcut*>& s = rig.window->getShortcuts();
    QCOMPARE(s.size(), count);
    const QKeySequence keys[4] = {QKeySequence(Qt::CTRL + Qt::Key_O), QKeySequence(Qt::CTRL + Qt::Key_S),
                                  QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL + Qt::Key_J)};
    for (int i = 0; i < s.size(); ++i) {
        QCOMPARE(s[i]->key(), keys[i]);
        QVERIFY(!s[i]->autoRepeat());
        QCOMPARE(s[i]->context(), Qt::WindowShortcut);
        QCOMPARE(s[i]->parent(), rig.window);
    }
    if (count < 4)
        return;
    // Ctrl+J opens the calibration window once and brings the same one back;
    // closing the program takes it away with its timer.
    MainWindow* w = rig.window;
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCOMPARE(w->getCalibrateDlg(), nullptr);
    QTest::keyClick(w, Qt::Key_J, Qt::ControlModifier);
    CalibrateOsc* dlg = w->getCalibrateDlg();
    QVERIFY(dlg && dlg->isVisible());
    dlg->hide();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(w->getCalibrateDlg(), dlg);
    QVERIFY(dlg->isVisible());
    w->close();
    QCOMPARE(w->getCalibrateDlg(), nullptr);
}

void TstMainWindow::initProgress_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("progress");
    QTest::newRow("upload starts") << 0 << 0 << 10;
    QTest::newRow("3 s waited") << 1 << 3000 << 60;
    QTest::newRow("10 s waited, capped") << 1 << 10000 << 70;
    QTest::newRow("firmware present") << 2 << 0 << 70;
    QTest::newRow("model record leaves it") << 3 << 0 << 10;
    QTest::newRow("FPGA half") << 4 << 50 << 80;
    QTest::newRow("FPGA whole") << 4 << 100 << 90;
    QTest::newRow("connecting") << 5 << 0 << 90;
}

void TstMainWindow::initProgress()
{
    QFETCH(int, stage);
    QFETCH(int, value);
    QFETCH(int, progress);
    ProgramRig rig;
    MainWindow* w = rig.window;
    MyProgressDlg* dlg = w->getProgressDlg();
    w->slotDevInitStaShow(0, 0, 0);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->labelMsg->text(), QStringLiteral("Device connecting, please wait..."));
    QVERIFY(!dlg->findChild<QPushButton*>()->isVisibleTo(dlg));
    w->slotDevInitStaShow(stage, 0, value);
    QCOMPARE(dlg->value(), progress);
    QVERIFY(dlg->isVisible());
    w->slotDevInitStaShow(6, 0, 0);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Demo Connected - VormelTAV"));
    QCOMPARE(w->getStatusBar()->text(), QStringLiteral("Device connected"));
    w->slotDevInitStaShow(7, 0, 0);
    QCOMPARE(w->windowTitle(), QStringLiteral("Demo Unconnected - VormelTAV"));
    QCOMPARE(w->getStatusBar()->text(), QStringLiteral("Device unconnected"));
}

void TstMainWindow::initErrorCode_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("code");
    QTest::newRow("no firmware") << 0 << 1 << QStringLiteral("I-1");
    QTest::newRow("EEPROM") << 3 << 1 << QStringLiteral("I-301");
    QTest::newRow("re-enumeration") << 1 << 5 << QStringLiteral("I-105");
    QTest::newRow("FPGA status") << 4 << 7 << QStringLiteral("I-407");
    QTest::newRow("connect, two digits") << 5 << 0x2e << QStringLiteral("I-52e");
}

void TstMainWindow::initErrorCode()
{
    QFETCH(int, stage);
    QFETCH(int, error);
    QFETCH(QString, code);
    ProgramRig rig;
    MainWindow* w = rig.window;
    MyProgressDlg* dlg = w->getProgressDlg();
    w->slotDevInitStaShow(0, 0, 0);
    w->slotDevInitStaShow(stage, error, 0);
    QCOMPARE(dlg->labelMsg->text(), QStringLiteral("An error occurred: ") + code);
    QVERIFY(dlg->findChild<QPushButton*>()->isVisibleTo(dlg));
    QCOMPARE(dlg->value(), 10);
    QVERIFY(dlg->isVisible());
}

void TstMainWindow::damagedRecordCount_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("reading, offset 0") << 4 << 0 << QStringLiteral("0(3.5.0)");
    QTest::newRow("reading, offset 3") << 4 << 3 << QStringLiteral("3(3.5.0)");
    QTest::newRow("waiting for the trigger") << 2 << 7 << QString();
}

void TstMainWindow::damagedRecordCount()
{
    QFETCH(int, state);
    QFETCH(int, value);
    QFETCH(QString, stored);
    ProgramRig rig;
    BoxCatcher boxes;
    rig.window->slotDevSmpStaShow(state, 32, value);
    QCoreApplication::processEvents();
    QCOMPARE(Config::readGlobalParam(QStringLiteral("zeroSmpCnt")), stored);
    QCOMPARE(boxes.texts, QStringList());
}

void TstMainWindow::samplingErrorBox_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QString>("text");
    const QString keepUp = QStringLiteral("Cannot keep up with this sample rate.\r\nPlease try to reduce the sample rate.");
    QTest::newRow("buffer, short read") << 0 << 4 << 14 << false << QStringLiteral("An error occurred: S-40e");
    QTest::newRow("buffer, transfer") << 0 << 3 << 3 << false << QStringLiteral("An error occurred: S-303");
    QTest::newRow("stream, short") << 1 << 4 << 14 << false << keepUp;
    QTest::newRow("stream, transfer") << 1 << 3 << 3 << false << keepUp;
    QTest::newRow("out of memory") << 1 << 3 << 4 << false << QStringLiteral("Out of memory, Sample abort.");
    QTest::newRow("start failed") << 0 << 0 << 2 << false << QStringLiteral("An error occurred: S-2");
    QTest::newRow("remote run") << 0 << 4 << 14 << true << QString();
}

void TstMainWindow::samplingErrorBox()
{
    QFETCH(int, mode);
    QFETCH(int, state);
    QFETCH(int, error);
    QFETCH(bool, remote);
    QFETCH(QString, text);
    ProgramRig rig;
    BoxCatcher boxes;
    devUsing->smpMode = mode;
    devUsing->smpRemote = remote;
    rig.window->slotDevSmpStaShow(state, error, 0);
    QCoreApplication::processEvents();
    if (text.isEmpty()) {
        QCOMPARE(boxes.texts, QStringList());
        return;
    }
    QCOMPARE(boxes.texts, QStringList(text));
    QCOMPARE(boxes.titles, QStringList(QStringLiteral("An error occurred")));
    QCOMPARE(boxes.buttons, QStringList(QStringLiteral("Close")));
}

void TstMainWindow::titleAfterDataReview()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run 1.vtdat"));
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    QVERIFY(captureAndSave(w, path));
    QVERIFY(w->getMainMenu()->loadFile(path));
    QCOMPARE(w->windowTitle(), path + QStringLiteral(" - VormelTAV"));
    QCOMPARE(w->getStatusBar()->text(), QStringLiteral("Data review"));
    // A run started after the review ends it.
    QVERIFY(captureWithF5(w));
    QCOMPARE(Config::dataFile, QString());
    QCOMPARE(w->windowTitle(), QStringLiteral("Demo Unconnected - VormelTAV"));
    w->devModelChanged();
    QCOMPARE(w->windowTitle(), QStringLiteral("Demo Unconnected - VormelTAV"));
}

void TstMainWindow::zoomText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("all");
    QTest::newRow("All") << QStringLiteral("All") << true;
    QTest::newRow("lower-case all") << QStringLiteral("all") << true;
    QTest::newRow("nan") << QStringLiteral("nan") << true;
    QTest::newRow("inf") << QStringLiteral("inf") << true;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("a number") << QStringLiteral("2.5") << false;
}

void TstMainWindow::zoomText()
{
    QFETCH(QString, text);
    QFETCH(bool, all);
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    w->resize(1200, 700);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    WaveDataGen* gen = w->getWaveDataGen();
    // Without samples a zoom request changes nothing.
    const double before = gen->getSmpPerPixel();
    emit w->getToolbar()->zoomValued(QStringLiteral("7"));
    QCOMPARE(gen->getSmpPerPixel(), before);

    QVERIFY(captureWithF5(w));
    emit w->getToolbar()->zoomValued(QStringLiteral("1"));
    gen->moveTo(500);
    QCOMPARE(gen->getSmpPerPixel(), 1.0);
    emit w->getToolbar()->zoomValued(text);
    if (all) {
        QCOMPARE(gen->getSmpPerPixel(), 20000.0 / gen->getViewWidth());
        QCOMPARE(gen->getSmpOffset(), 0.0);
    } else {
        QCOMPARE(gen->getSmpPerPixel(), 2.5);
    }
}

void TstMainWindow::startupConnectsInstrument()
{
    // An instrument with running firmware is attached when the program starts.
    ProgramRig rig(settingsXml(QString(), QStringLiteral("<VX2127><chnLevel>Custom I/O</chnLevel><chnVth>2.5</chnVth></VX2127>")));
    emu_set_ids(TAV_VENDOR_ID, 0x01A2);
    emu_set_firmware_running(1);
    emu_plug();
    MainWindow* w = rig.window;
    QSignalSpy stages(devInit, &DevInit::sigInitSta);
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QStringLiteral("VX2127 Connected - VormelTAV"), 30000);
    QVERIFY(devUsing->isConnected);
    QCOMPARE(int(devUsing->devModel), int(DevModel2127));
    QVERIFY(!w->getProgressDlg()->isVisible());
    QCOMPARE(w->getStatusBar()->text(), QStringLiteral("Device connected"));
    QVERIFY(!stages.isEmpty());
    QCOMPARE(stages.first().at(0).toInt(), 2);

    // The instrument got the stored threshold and the PWM outputs: what the
    // setters write for those values now is what is already there.
    const QByteArray vth = reg(0x64);
    QVERIFY(!vth.isEmpty());
    devUsing->setVthValue(2.5, 0);
    QCOMPARE(reg(0x64), vth);
    QCOMPARE(reg(0x02), QByteArray(1, '\x01'));

    // Closing puts it into standby.
    QCOMPARE(requestCount(0x10, 0), 0);
    w->close();
    QCOMPARE(requestCount(0x10, 0), 1);
    QCOMPARE(emu_protocol_violations(nullptr, 0), 0);
}

void TstMainWindow::startupLoadsDataFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.vtdat"));
    const QVector<int> levels = savedDemoCapture(path);
    QVERIFY(!levels.isEmpty());
    ProgramRig rig(settingsXml(), {path});
    MainWindow* w = rig.window;
    QCOMPARE(w->windowTitle(), path + QStringLiteral(" - VormelTAV"));
    QCOMPARE(w->getStatusBar()->text(), QStringLiteral("Data review"));
    w->show();
    QTRY_VERIFY_WITH_TIMEOUT(captureShown(20000) && captureDrawn(w, 20000), 20000);
    auto s = devUsing->displayedSmpData();
    QCOMPARE(s->smpFrequ, 10000000LL);
    QCOMPARE(shownLevels(), levels);
    // No device search on this road.
    QVERIFY(!devInit->thrDevAttach->isRunning() && !devInit->thrRenumDone->isRunning());
}

void TstMainWindow::startupBrokenDataFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.vtdat"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(settingsXml().toUtf8() + "\r\nvtdat and then nothing that makes sense");
    f.close();
    BoxCatcher boxes;
    ProgramRig rig(settingsXml(), {path});
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 10000);
    QCOMPARE(boxes.texts.first(), QStringLiteral("File open failed.\r\n") + path);
    QCOMPARE(boxes.titles.first(), QStringLiteral("An error occurred"));
    QCOMPARE(boxes.buttons.first(), QStringLiteral("Close"));
    QCOMPARE(devUsing->displayedSmpData()->smpCount, 0LL);
}

// A data file without its settings part is read from its first byte.
void TstMainWindow::startupDataFileWithoutHead()
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("saved.vtdat"));
    const QString path = dir.filePath(QStringLiteral("bare.vtdat"));
    const QVector<int> levels = savedDemoCapture(saved);
    QVERIFY(!levels.isEmpty());
    QByteArray head;
    QVERIFY(Config::extractConfig(saved, head));
    QFile in(saved), out(path);
    QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    const QByteArray block = in.readAll().mid(head.size());
    QVERIFY(block.startsWith("vtdat"));
    out.write(block);
    out.close();
    BoxCatcher boxes;
    ProgramRig rig(settingsXml(), {path});
    rig.window->show();
    QTRY_VERIFY_WITH_TIMEOUT(captureShown(20000) && captureDrawn(rig.window, 20000), 20000);
    QCOMPARE(shownLevels(), levels);
    QCOMPARE(boxes.texts, QStringList());
}

void TstMainWindow::replaceDevice()
{
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    w->show();
    QPointer<DevBase> before = devUsing;
    w->slotDevPreConnect(0);
    QVERIFY(before);
    QCOMPARE(devUsing, before.data());
    // The toolbar's model choice replaces the object; the new one is bound.
    emit w->getToolbar()->simDevModelChanged(2);
    QVERIFY(!before);
    QCOMPARE(int(devUsing->devModel), 2);
    QCOMPARE(w->windowTitle(), QStringLiteral("VX2127 Unconnected - VormelTAV"));
    QCOMPARE(Config::getDevModel(), 2);
    QVERIFY(captureWithF5(w));
}

void TstMainWindow::dropFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dropped.vtdat"));
    const QString other = dir.filePath(QStringLiteral("other.vtdat"));
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    w->show();
    QVERIFY(captureWithF5(w));
    saveWithCtrlS(w, path);
    QVERIFY(QFile::copy(path, other));
    devUsing->clearSmpData();

    QMimeData text;
    text.setText(path);
    QDragEnterEvent enterText(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enterText);
    QVERIFY(!enterText.isAccepted());
    QDropEvent dropText(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &dropText);
    QCOMPARE(Config::dataFile, QString());
    QCOMPARE(devUsing->displayedSmpData()->smpCount, 0LL);

    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(path), QUrl::fromLocalFile(other)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &drop);
    QCOMPARE(Config::dataFile, path);
    QCOMPARE(w->windowTitle(), path + QStringLiteral(" - VormelTAV"));
    QTRY_VERIFY_WITH_TIMEOUT(captureShown(20000) && captureDrawn(w, 20000), 20000);
}

void TstMainWindow::closeWritesSettings()
{
    ProgramRig rig;
    MainWindow* w = rig.window;
    QCOMPARE(rig.savedGlobal(QStringLiteral("windowPosition")), QString());
    w->setGeometry(120, 90, 1010, 610);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect g = w->geometry();
    w->close();
    QCOMPARE(rig.savedGlobal(QStringLiteral("windowPosition")),
             QStringLiteral("%1,%2,%3,%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
    QCOMPARE(rig.savedGlobal(QStringLiteral("windowMaximized")), QStringLiteral("0"));
    QVERIFY(w->isClosing());
}

void TstMainWindow::maximizedKeepsStoredPosition()
{
    ProgramRig rig(settingsXml(
        QStringLiteral("<windowPosition>30,40,900,500</windowPosition><windowMaximized>1</windowMaximized>")));
    MainWindow* w = rig.window;
    QVERIFY(w->isMaximized());
    w->show();
    w->close();
    QCOMPARE(rig.savedGlobal(QStringLiteral("windowPosition")), QStringLiteral("30,40,900,500"));
    QCOMPARE(rig.savedGlobal(QStringLiteral("windowMaximized")), QStringLiteral("1"));
}

void TstMainWindow::hotplugAfterClose_data()
{
    QTest::addColumn<bool>("closed");
    QTest::newRow("open window") << false;
    QTest::newRow("closing window") << true;
}

void TstMainWindow::hotplugAfterClose()
{
    QFETCH(bool, closed);
    ProgramRig rig;
    if (closed)
        rig.window->close();
    QSignalSpy stages(devInit, &DevInit::sigInitSta);
    // An instrument without firmware arrives.
    emu_set_ids(TAV_VENDOR_ID, 0x01A2);
    emu_set_firmware_running(0);
    emu_plug();
    MainWindow::libusbHotplugCallback();
    if (closed) {
        QCOMPARE(stages.size(), 0);
        QVERIFY(!devInit->thrDevAttach->isRunning());
        QCOMPARE(emu_ram_bytes_written(), 0);
    } else {
        QCOMPARE(stages.size(), 1);
        QCOMPARE(stages.first().at(0).toInt(), 0);
    }
}

void TstMainWindow::shutdownWithWorkersBusy()
{
    const QString uart =
        QStringLiteral("<item0><fileName>libUART.so</fileName><parameters/><format>2</format></item0>");
    auto* rig = new ProgramRig(
        settingsXml(QStringLiteral("<disAnimateZoom>0</disAnimateZoom>"),
                    QStringLiteral("<Demo><smpFrequ>10000</smpFrequ><smpDepth>1000</smpDepth></Demo>"), uart),
        {}, true);
    QVERIFY(rig->uartLinked);
    MainWindow* w = rig->window;
    w->resize(1200, 700);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->getAnalyzerManager()->usingCount(), 1);
    QSignalSpy decoded(w->getAnalyzerManager(), &AnalyzerManager::analyzerDecodedChanged);
    QVERIFY(captureWithF5(w));
    QTRY_VERIFY_WITH_TIMEOUT(!decoded.isEmpty(), 20000);
    // Repeated captures, decoding started again on the shown one, and an
    // animated zoom under way: then the program ends without a close.
    devUsing->smpStart(SmpStartRepeat);
    w->getAnalyzerManager()->startDecode();
    w->getWaveDataGen()->zoomIn(300);
    QVERIFY(w->getWaveDataGen()->isAnimating());
    QVERIFY(devUsing->smpRunning);
    delete w;
    rig->window = nullptr;
    QVERIFY(!devUsing->smpRunning);
    QVERIFY(!WaveDataGen::me);
    QVERIFY(!AnalyzerManager::me);
    QVERIFY(!MainView::me);
    delete rig;
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"

// A test bench on TCP drives the program: the server the user switched on
// answers, "start --simulate" runs a demo capture and its ACK comes only once the window has
// the capture.
void TstMainWindow::remoteCaptureThroughWindow()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    ProgramRig rig(settingsXml(QStringLiteral("<enaSocket>1</enaSocket><listenPort>%1</listenPort>").arg(port),
                               QStringLiteral("<Demo><smpFrequ>10000</smpFrequ><smpDepth>20</smpDepth></Demo>")));
    MainWindow* w = rig.window;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));

    QTcpSocket c;
    c.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(c.waitForConnected(5000));
    auto ask = [&c](const QByteArray& cmd) {
        c.write(cmd);
        QByteArray reply;
        for (int i = 0; i < 400 && reply.isEmpty(); ++i) {
            QTest::qWait(50);
            reply = c.readAll();
        }
        return reply;
    };
    QCOMPARE(ask("get-sample-rate"), QByteArray("ACK 10000000"));
    // Without an instrument only a simulated run may start.
    QCOMPARE(ask("start"), QByteArray("NAK"));
    QCOMPARE(ask("start --simulate"), QByteArray("ACK"));
    QVERIFY(captureShown(20000));
    QVERIFY(!devUsing->smpRunning);
    QCOMPARE(ask("get-actual-sample-depth"), QByteArray("ACK 20000"));
}

// A reader follows the user guide on a fresh home folder: the settings file
// of the first close, edited as the guide's table of lines says, switches
// the server on at the next start.
void TstMainWindow::guideSwitchesServerOn()
{
    const QString guide = QString::fromUtf8(readAllOf(qEnvironmentVariable("TAV_SOURCE_DIR") + "/docs/user-guide.md"));
    const QString section = guide.section(QRegularExpression("\n#+ Switching the server on\n"), 1).section("\n#", 0, 0);
    const QRegularExpression row("^\\| *`([^`]+)` *\\| *`([^`]+)` *\\| *$", QRegularExpression::MultilineOption);
    QVERIFY2(row.match(section).hasMatch(), "the guide shows no line to change");

    const quint16 port = freePort();
    QVERIFY(port != 0);
    // Nothing leaves the machine should a start ask for updates.
    CheckUpdate::setUpdateServer(QStringLiteral("http://127.0.0.1:%1").arg(freePort()));
    const auto restore = qScopeGuard([] { CheckUpdate::setUpdateServer(QString()); });
    QString settings;
    {
        ProgramRig first{QString()};
        QVERIFY(!QFile::exists(first.env.settingsFile()));
        first.window->show();
        first.window->close();
        settings = QString::fromUtf8(readAllOf(first.env.settingsFile()));
    }
    for (auto it = row.globalMatch(section); it.hasNext();) {
        const auto m = it.next();
        QVERIFY2(settings.contains(m.captured(1)), qPrintable("not in the file the first close wrote: " + m.captured(1)));
        settings.replace(m.captured(1), m.captured(2));
    }
    // The guide's port is the default; this test takes a free one in its place.
    const QString guidePort = QStringLiteral("<listenPort>23367</listenPort>");
    QVERIFY2(settings.contains(guidePort), "the guide's edit sets no listenPort");
    settings.replace(guidePort, QStringLiteral("<listenPort>%1</listenPort>").arg(port));

    ProgramRig second(settings);
    QTcpSocket c;
    c.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY2(c.waitForConnected(5000), "the server is not on");
    c.write("get-last-error");
    QVERIFY(QTest::qWaitFor([&c] { return c.bytesAvailable() >= 12; }, 10000));
    QCOMPARE(c.readAll(), QByteArray("ACK no error"));
}

// A1 and A2 placed: Export Data offers the pair and writes exactly A1..A2.
void TstMainWindow::exportRangeIsMarkerPair()
{
    QTemporaryDir dir;
    const QString exported = dir.filePath(QStringLiteral("pair.bin"));
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    w->resize(1200, 700);
    QVERIFY(captureWithF5(w));
    MainView* mv = w->getMainView();
    mv->slotTimingMarkerPairClicked(0, 0);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(0), 3, 150);
    mv->setLogTimeMarkerSmpPoint(mv->findCursorBody(1), 3, 600);
    const qint64 a = mv->getCursorBodies()[mv->findCursorBody(0)]->smpPoint;
    const qint64 b = mv->getCursorBodies()[mv->findCursorBody(1)]->smpPoint;
    QVERIFY(0 < a && a < b && b < 20000);
    MainMenu* m = w->getMainMenu();
    QString offered;
    m->hooks.execDialog = [&offered](QDialog& d) {
        auto& dlg = static_cast<ExportDataSet&>(d);
        dlg.rangeButtons[ExportDataSet::RangeMarkers]->click();
        if (dlg.markerCombo)
            offered = dlg.markerCombo->currentText();
        dlg.accept();
        return dlg.result();
    };
    m->hooks.saveFileName = [&exported](int) { return exported; };
    m->createMainMenu();
    for (QAction* act : m->exportMenu->actions())
        if (act->data().toInt() == FileBinary)
            act->trigger();
    QCOMPARE(offered, QStringLiteral("A1 - A2"));
    QFile bin(exported);
    QVERIFY(bin.open(QIODevice::ReadOnly));
    QVERIFY(bin.readAll() == binaryRecords(*devUsing->displayedSmpData(), a, b));
}

// After a reconnect restored the PWM outputs, PWM 2's switch shows it off and
// one click turns it on again.
void TstMainWindow::pwmSwitchesAfterReconnect()
{
    ProgramRig rig(settingsXml(QStringLiteral("<toolbarPWM>1</toolbarPWM>")));
    emu_set_ids(TAV_VENDOR_ID, 0x01A2);
    emu_set_firmware_running(1);
    emu_plug();
    MainWindow* w = rig.window;
    w->resize(1600, 700);
    w->show();
    const QString connected = QStringLiteral("VX2127 Connected - VormelTAV");
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), connected, 30000);
    MySwitch* pwm2 = w->getToolbar()->pwmSetting()->pwmSwitch(1);
    QTest::mouseClick(pwm2, Qt::LeftButton);
    QCOMPARE(reg(0x02), QByteArray(1, '\x03'));
    emu_unplug();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QStringLiteral("VX2127 Unconnected - VormelTAV"), 30000);
    emu_plug();
    QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), connected, 30000);
    QCOMPARE(reg(0x02), QByteArray(1, '\x01'));
    QVERIFY(!pwm2->switchOn);
    QTest::mouseClick(pwm2, Qt::LeftButton);
    QCOMPARE(reg(0x02), QByteArray(1, '\x03'));
}

// The channel area's overlay bar has the sidebar bar's page step after every resize.
void TstMainWindow::channelScrollHandle()
{
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    MainView* mv = w->getMainView();
    const QScrollBar* side = mv->getSidebarArea()->verticalScrollBar();
    w->resize(1000, 700);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    for (int height : {700, 420, 640}) {
        w->resize(1000, height);
        QTRY_COMPARE(w->height(), height);
        QCoreApplication::processEvents();
        QVERIFY2(side->maximum() > 0, "the rows are taller than the view");
        QCOMPARE(mv->getWaveView()->overlayBar()->pageStep(), qlonglong(side->pageStep()));
    }
}

// Rate, depth and threshold set over TCP show in the toolbar and the threshold panel.
void TstMainWindow::remoteSettersShown()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    ProgramRig rig(settingsXml(QStringLiteral("<enaSocket>1</enaSocket><listenPort>%1</listenPort>").arg(port),
                               shortDemo));
    MainWindow* w = rig.window;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    SmpSetting* smp = w->getToolbar()->smpSetting();
    VthSetting* vth = w->getVthSetting();
    QTcpSocket c;
    c.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(c.waitForConnected(5000));
    auto ask = [&c](const char* command) {
        c.write(command);
        return QTest::qWaitFor([&c] { return c.bytesAvailable() > 0; }, 10000) ? c.readAll() : QByteArray();
    };
    QCOMPARE(ask("set-sample-rate 1000000"), QByteArray("ACK"));
    QCOMPARE(smp->frequCombo()->currentText(), QStringLiteral("1 MHz"));
    QCOMPARE(ask("set-sample-depth 200000"), QByteArray("ACK"));
    QCOMPARE(smp->depthCombo()->currentText(), QStringLiteral("200 KSa"));
    QCOMPARE(smp->timeText(), QStringLiteral("Expected Sample Time: 200ms"));
    QCOMPARE(ask("set-threshold-voltage 1.2"), QByteArray("ACK"));
    QCOMPARE(vth->levelCombo()->currentText(), QStringLiteral("Custom I/O"));
    QCOMPARE(vth->vthEdit()->text(), QStringLiteral("1.20"));
    // Shown only: the device keeps what the commands set.
    QCOMPARE(devUsing->getSmpFrequ(), 1000000LL);
    QCOMPARE(devUsing->getExpectDepth(), 200000LL);
}

// The first row of Decoded Results, clicked, stays selected through the restart that follows.
void TstMainWindow::firstDecodedRowSelected()
{
    ProgramRig rig(settingsXml(QString(), QStringLiteral("<Demo><smpFrequ>10000</smpFrequ><smpDepth>1000</smpDepth></Demo>"),
                               QStringLiteral("<item0><fileName>libUART.so</fileName><parameters/><format>2</format></item0>")),
                   {}, true);
    QVERIFY(rig.uartLinked);
    MainWindow* w = rig.window;
    WaveDataGen* gen = w->getWaveDataGen();
    w->resize(1200, 700);
    QVERIFY(captureWithF5(w));
    ResultView* list = w->getAnalyzerView()->getProtocolResult()->listView();
    AnalyzerDataGen* engine = w->getAnalyzerView()->getProtocolResult()->engine();
    auto settled = [&] { return engine->isIdle() && !gen->isAnimating(); };
    QTRY_VERIFY_WITH_TIMEOUT(list->model() && list->model()->rowCount() > 3 && settled(), 20000);
    QCoreApplication::processEvents();
    const QPair<qint64, qint64> frame = engine->getSmpPoint(0);
    // The list restarts once the window has the moved view (its slot runs first).
    QSignalSpy pages(engine, &AnalyzerDataGen::listChanged);
    bool followed = false;
    connect(gen, &WaveDataGen::sigViewRefresh, list, [&](bool follow) { followed = followed || follow; },
            Qt::QueuedConnection);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(list->model()->index(0, 0)).center());
    QTRY_VERIFY_WITH_TIMEOUT(followed && settled(), 20000);
    QCoreApplication::processEvents();
    QVERIFY(!pages.isEmpty() && pages.last().at(1).toBool());
    const int row = pages.last().at(2).toInt();
    QCOMPARE(engine->getSmpPoint(row), frame);
    QCOMPARE(list->currentIndex().row(), row);
}

// Opening a data file paints "Data review" at once; the next run paints the live status.
void TstMainWindow::statusTextFollowsReview()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("review.vtdat"));
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    QVERIFY(captureAndSave(w, path));
    PaintLog painted(w->getStatusBar());
    QVERIFY(w->getMainMenu()->loadFile(path));
    QTRY_VERIFY(painted.texts.contains(QStringLiteral("Data review")));
    painted.texts.clear();
    QVERIFY(captureWithF5(w));
    QCOMPARE(w->getStatusBar()->text(), QStringLiteral("Device unconnected"));
    QTRY_VERIFY(!painted.texts.isEmpty());
    QTRY_COMPARE(painted.texts.last(), QStringLiteral("Device unconnected"));
}

// At the window's smallest size the side panel scrolls its last section into view, whole.
void TstMainWindow::sidePanelScrollsWhenLow()
{
    ProgramRig rig(settingsXml(QString(), shortDemo));
    MainWindow* w = rig.window;
    w->resize(800, 320);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QScrollArea* area = w->getAnalyzerArea();
    QScrollBar* bar = area->verticalScrollBar();
    QTRY_VERIFY(bar->isVisible());
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    QWidget* results = w->getAnalyzerView()->getProtocolResult();
    const QRect shown(results->mapTo(area->viewport(), QPoint(0, 0)), results->size());
    QVERIFY(!results->visibleRegion().isEmpty());
    QVERIFY(shown.top() >= 0 && shown.bottom() < area->viewport()->height());
    QVERIFY(shown.right() < area->viewport()->width());
}
