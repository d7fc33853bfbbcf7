#include "files/mainmenu.h"

#include "core/apppaths.h"
#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "device/smpdataosc.h"
#include "files/abouttav.h"
#include "files/checkupdate.h"
#include "files/datafile.h"
#include "files/exportdataset.h"
#include "files/options.h"
#include "widgets/mybutton.h"

#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include <memory>

namespace {

// What a save or an export reads, taken before a modal dialog: the event loop
// keeps running under it, so a remote command may start a capture or a file
// may replace the device object meanwhile.
struct CaptureState {
    QPointer<DevBase> dev;
    const void* store = nullptr;
    long long count = -1, rate = -1, trigger = -1;
    int dChn = -1, aChn = -1, workMode = -1;

    static CaptureState now()
    {
        CaptureState c;
        if (!devUsing)
            return c;
        c.dev = devUsing;
        c.dChn = devUsing->dChnEna.size();
        c.aChn = devUsing->aChnEna.size();
        c.workMode = devUsing->workMode;
        if (devUsing->workMode == WorkModeOsc) {
            auto s = devUsing->displayedSmpDataOsc();
            c.store = s ? &*s : nullptr;
        } else if (auto s = devUsing->displayedSmpData()) {
            c.store = &*s;
            c.count = s->smpCount;
            c.rate = s->smpFrequ;
            c.trigger = s->trgPosition;
        }
        return c;
    }
    bool sameAs(const CaptureState& o) const
    {
        return dev && dev == o.dev && !dev->smpRunning && store == o.store && count == o.count && rate == o.rate
            && trigger == o.trigger && dChn == o.dChn && aChn == o.aChn && workMode == o.workMode;
    }
};

// Channel count of a data file's logic block (8, 16 or 32), 0 for an
// oscilloscope block, -1 for anything else.
int blockChannels(const QString& path, qint64 offset)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
        return -1;
    const QByteArray h = f.read(DataFile::DataHeadSize);
    if (h.size() < DataFile::DataHeadSize)
        return -1;
    if (h.startsWith("vtdms"))
        return 0;
    const int chn = (signed char)h[32];
    return h.startsWith("vtdat") && (chn == 8 || chn == 16 || chn == 32) ? chn : -1;
}

// The model the settings will name once a file's head is merged: the head's
// "devModel", or the current one when the head has none.
int modelAfterMerge(const QByteArray& head)
{
    QDomDocument d;
    if (!d.setContent(head, false))
        return -1;
    const QString v = d.documentElement()
                          .firstChildElement(QStringLiteral("global"))
                          .firstChildElement(QStringLiteral("devModel"))
                          .text();
    return v.isEmpty() ? Config::getDevModel() : v.toInt(nullptr, 10);
}

// Whether a block of chn logic channels (0: an oscilloscope block) suits the
// device object the window builds for model. Checked before the head is
// merged, so a file that cannot load leaves the settings alone.
bool blockSuitsModel(int chn, int model)
{
    if (chn == 0)
        return model == DevModel7329;
    switch (model) {
    case DevModel2113: return chn == 8;
    case DevModel6143A: return chn == 32;
    default: return chn == 16;
    }
}

} // namespace

MainMenu::MainMenu(QWidget* parent)
    : QWidget(parent)
{
    hooks.openFileName = [] { return Config::getOpenFileName(); };
    hooks.saveFileName = [](int type) { return Config::getSaveFileName(type); };
    hooks.execDialog = [](QDialog& d) { return d.exec(); };
    hooks.openUrl = [](const QUrl& u) { return QDesktopServices::openUrl(u); };
    hooks.restart = [] {
        QApplication::closeAllWindows();
        QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList());
    };

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Config::grayColor.value(5));
    setPalette(pal);
    setAutoFillBackground(true);
    const int side = Config::pixel(48) - 2 * Config::pixel(2);
    setFixedSize(side, side);

    menuButton = new MyButton(this);
    const int b = Config::pixel(32);
    menuButton->setGeometry((side - b) / 2, (side - b) / 2, b, b);
    menuButton->setIcon(QIcon(QStringLiteral(":/res/btnMenu")));
    menuButton->setIconSize(QSize(b, b));
    menuButton->setBorderRadius(Config::pixel(3));
    menuButton->normalColor = Config::grayColor.value(5);
    menuButton->hoverColor = Config::grayColor.value(4);
    menuButton->gradientNormal = false;
    menuButton->gradientHover = false;
    connect(menuButton, &QPushButton::clicked, this, &MainMenu::slotMainMenuPopup);
}

// ---------------------------------------------------------------- the menu

void MainMenu::createMainMenu()
{
    if (mainMenu)
        return;
    mainMenu = new QMenu(this);

    langMenu = new QMenu(Lang::tr(QStringLiteral("Language")), mainMenu);
    langFiles = Lang::getLangFileList();
    const QString userLang = Config::readGlobalParam(QStringLiteral("userLang"));
    auto* group = new QActionGroup(langMenu);
    group->setExclusive(true);
    for (int i = 0; i < langFiles.size(); ++i) {
        QAction* a = langMenu->addAction(langFiles[i].name);
        a->setCheckable(true);
        a->setData(i);
        a->setChecked(langFiles[i].code == userLang);
        group->addAction(a);
    }
    connect(langMenu, &QMenu::triggered, this, &MainMenu::slotLangMenuTrig);

    exportMenu = new QMenu(Lang::tr(QStringLiteral("Export Data")), mainMenu);
    exportMenu->addAction(Lang::tr(QStringLiteral("Text file")) + QStringLiteral(" (*.txt)"))->setData(int(FileText));
    exportMenu->addAction(Lang::tr(QStringLiteral("CSV file")) + QStringLiteral(" (*.csv)"))->setData(int(FileCsv));
    exportMenu->addAction(Lang::tr(QStringLiteral("Binary file")) + QStringLiteral(" (*.bin)"))
        ->setData(int(FileBinary));
    connect(exportMenu, &QMenu::triggered, this, &MainMenu::slotExportMenuTrig);

    // The shortcut is only shown: the main window owns the keys.
    auto entry = [this](const char* text, const char* keys, void (MainMenu::*slot)()) {
        QString t = Lang::tr(QLatin1String(text)) + QStringLiteral("...");
        if (keys)
            t += QLatin1Char('\t') + QLatin1String(keys);
        QAction* a = mainMenu->addAction(t);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    actionOpen = entry("Open", "Ctrl+O", &MainMenu::actOpenFile);
    actionSaveSettings = entry("Save Settings", nullptr, &MainMenu::actSaveSettings);
    actionSaveData = entry("Save Data", "Ctrl+S", &MainMenu::actSaveData);
    mainMenu->addSeparator();
    mainMenu->addMenu(exportMenu);
    mainMenu->addSeparator();
    mainMenu->addMenu(langMenu);
    mainMenu->addSeparator();
    entry("Options", nullptr, &MainMenu::actOpenOptions);
    mainMenu->addSeparator();
    entry("User Guide", nullptr, &MainMenu::actOpenUserGuide);
    mainMenu->addSeparator();
    entry("Check for Updates", nullptr, &MainMenu::actCheckUpdate);
    entry("Update Logs", nullptr, &MainMenu::actUpdateLog);
    mainMenu->addSeparator();
    QAction* about = mainMenu->addAction(Lang::tr(QStringLiteral("About")) + QStringLiteral(" VormelTAV..."));
    connect(about, &QAction::triggered, this, &MainMenu::actAboutTAV);
}

void MainMenu::updateEntryStates()
{
    createMainMenu();
    const bool running = devUsing && devUsing->smpRunning;
    const bool hasData = !running && devUsing && devUsing->hasValidData();
    actionOpen->setEnabled(!running);
    actionSaveSettings->setEnabled(!running);
    actionSaveData->setEnabled(hasData);
    exportMenu->menuAction()->setEnabled(hasData);
}

void MainMenu::slotMainMenuPopup()
{
    updateEntryStates();
    mainMenu->exec(QCursor::pos());
}

// ---------------------------------------------------------------- messages

int MainMenu::showBox(QMessageBox::Icon icon, const char* title, const QString& text)
{
    QMessageBox box(icon, Lang::tr(QLatin1String(title)), text, QMessageBox::Close, this,
                    Qt::Dialog | Qt::WindowCloseButtonHint);
    box.button(QMessageBox::Close)->setText(Lang::tr(QStringLiteral("Close")));
    box.setStyleSheet(QStringLiteral("color:black;"));
    return hooks.execDialog(box);
}

void MainMenu::fileOpenFailed(const QString& path)
{
    showBox(QMessageBox::Critical, "An error occurred",
            Lang::tr(QStringLiteral("File open failed.")) + QStringLiteral("\r\n") + path);
}

void MainMenu::saveFailed(const QString& path)
{
    showBox(QMessageBox::Critical, "An error occurred",
            Lang::tr(QStringLiteral("File save failed.")) + QStringLiteral("\r\n") + path);
}

bool MainMenu::refuseWhileRunning()
{
    if (!devUsing || !devUsing->smpRunning)
        return false;
    showBox(QMessageBox::Warning, "Warning", Lang::tr(QStringLiteral("Sampling is running, please stop it first.")));
    return true;
}

// ---------------------------------------------------------------- open

void MainMenu::actOpenFile()
{
    const QString path = hooks.openFileName();
    if (!path.isEmpty())
        loadFile(path);
}

bool MainMenu::loadFile(QString path)
{
    // A dropped file too: a capture worker still writes the filling store.
    if (refuseWhileRunning())
        return false;
    const QString reviewedBefore = Config::dataFile;
    const int kind = Config::parseLoadFile(path);
    QByteArray head;
    std::unique_ptr<SmpData> loaded;
    bool ok = kind >= 0 && Config::extractConfig(path, head);
    // A logic block is read whole into a store of its own first: only a file
    // that loads completely may replace the settings and the capture.
    int chn = 0;
    if (ok && kind == 0) {
        chn = blockChannels(path, head.size());
        ok = chn >= 0 && blockSuitsModel(chn, modelAfterMerge(head));
        if (ok && chn > 0) {
            loaded.reset(new SmpData(chn));
            DataFile df;
            df.smpData = loaded.get();
            ok = df.loadData(path, head.size());
            if (!ok && df.abortFlag.load()) {
                Config::dataFile = reviewedBefore;
                return false;
            }
        }
    }
    if (!ok || !Config::replaceConfig(head)) {
        Config::dataFile = reviewedBefore;
        fileOpenFailed(path);
        return false;
    }
    emit openSettingFile();
    if (kind == 1)
        return true;

    DevBase* dev = devUsing;
    if (dev && dev->workMode == WorkModeOsc) {
        const SmpDataOscPtr target = dev->fillingSmpDataOsc();
        DataFile df;
        df.smpDataOsc = target.get();
        ok = chn == 0 && target && df.loadData(path, head.size());
    } else {
        const SmpDataPtr target = dev ? dev->fillingSmpData() : nullptr;
        ok = loaded && target && target->chnNum == loaded->chnNum;
        if (ok)
            DataFile::moveCapture(loaded.get(), target.get());
    }
    if (!ok) {
        fileOpenFailed(path);
        return false;
    }
    dev->toggleSmpData();
    emit dev->sigSmpDataReady(0);
    emit dev->sigSmpDataReady(1);
    return true;
}

// ---------------------------------------------------------------- save and export

void MainMenu::actSaveSettings()
{
    const QString path = hooks.saveFileName(FileSettings);
    if (path.isEmpty())
        return;
    if (!Config::saveConfig(path))
        saveFailed(path);
}

void MainMenu::actSaveData()
{
    if (refuseWhileRunning())
        return;
    if (!devUsing || !devUsing->hasValidData()) {
        showBox(QMessageBox::Warning, "Warning", Lang::tr(QStringLiteral("Sorry, there is no data that can be saved.")));
        return;
    }
    if (devUsing->workMode == WorkModeOsc)
        saveOscCapture();
    else
        writeLogicCapture(FileData);
}

void MainMenu::slotExportMenuTrig(QAction* action)
{
    if (refuseWhileRunning())
        return;
    if (!devUsing || !devUsing->hasValidData()) {
        showBox(QMessageBox::Warning, "Warning",
                Lang::tr(QStringLiteral("Sorry, there is no data that can be exported.")));
        return;
    }
    if (devUsing->workMode == WorkModeOsc) {
        showBox(QMessageBox::Warning, "Export Data",
                Lang::tr(QStringLiteral("Oscilloscope mode does not support data export yet.")));
        return;
    }
    const int type = action ? action->data().toInt() : -1;
    if (type == FileText || type == FileCsv || type == FileBinary)
        writeLogicCapture(type);
}

void MainMenu::writeLogicCapture(int type)
{
    const bool save = type == FileData;
    // Held for the whole job: the store must outlive the write.
    auto s = devUsing->displayedSmpData();
    if (!s)
        return;
    const CaptureState before = CaptureState::now();
    auto changed = [this, &before] {
        if (CaptureState::now().sameAs(before))
            return false;
        showBox(QMessageBox::Warning, "Warning",
                Lang::tr(QStringLiteral("The data changed while the dialog was open, please try again.")));
        return true;
    };

    ExportDataSet dlg(parentWidget());
    dlg.setWindowTitle(Lang::tr(save ? QStringLiteral("Save Data Settings") : QStringLiteral("Export Data Settings")));
    if (hooks.execDialog(dlg) != QDialog::Accepted || changed())
        return;
    QVector<bool> analog(devUsing->aChnEna.size(), true);
    QVector<bool> digital(devUsing->dChnEna.size(), true);
    long long start = 0, end = 0;
    dlg.getSetParameters(analog, digital, &start, &end);
    const QString path = hooks.saveFileName(type);
    if (path.isEmpty() || changed())
        return;

    QVector<bool> sel(s->chnNum, false);
    for (int i = 0; i < sel.size() && i < digital.size(); ++i)
        sel[i] = digital[i];
    DataFile df;
    df.smpData = &*s;
    bool ok = false;
    if (save) {
        QByteArray head;
        ok = DataFile::minConfigHead(devUsing->devName, &head)
            && df.saveData(path, head, sel.constData(), start, end, false);
    } else if (type == FileBinary) {
        ok = df.exportBin(path, sel.constData(), start, end, false);
    } else {
        ok = df.exportCSV(path, sel.constData(), start, end, false);
    }
    // A cancelled job was the user's choice, not a failure to report.
    if (!ok && !df.abortFlag.load())
        saveFailed(path);
}

void MainMenu::saveOscCapture()
{
    auto s = devUsing->displayedSmpDataOsc();
    if (!s)
        return;
    const CaptureState before = CaptureState::now();
    const QString path = hooks.saveFileName(FileData);
    if (path.isEmpty())
        return;
    if (!CaptureState::now().sameAs(before)) {
        showBox(QMessageBox::Warning, "Warning",
                Lang::tr(QStringLiteral("The data changed while the dialog was open, please try again.")));
        return;
    }
    QByteArray head;
    DataFile df;
    df.smpDataOsc = &*s;
    if (!DataFile::minConfigHead(devUsing->devName, &head) || !df.saveData(path, head, nullptr, 0, 0, false))
        saveFailed(path);
}

// ---------------------------------------------------------------- language, options, help

void MainMenu::slotLangMenuTrig(QAction* action)
{
    const int i = action ? action->data().toInt() : -1;
    if (i < 0 || i >= langFiles.size())
        return;
    const LangFile lang = langFiles[i];
    if (lang.code == Config::readGlobalParam(QStringLiteral("userLang")))
        return;
    Config::saveGlobalParam(QStringLiteral("userLang"), lang.code);
    QMessageBox box(QMessageBox::Information, Lang::tr(QStringLiteral("Language Settings")), lang.info,
                    QMessageBox::Ok | QMessageBox::Cancel, this, Qt::Dialog | Qt::WindowCloseButtonHint);
    box.button(QMessageBox::Ok)->setText(Lang::tr(QStringLiteral("OK")));
    box.button(QMessageBox::Cancel)->setText(Lang::tr(QStringLiteral("Cancel")));
    box.setStyleSheet(QStringLiteral("color:black;"));
    if (hooks.execDialog(box) == QMessageBox::Ok)
        hooks.restart();
}

void MainMenu::actOpenOptions()
{
    const bool before = Config::smpProgPosition;
    Options dlg(parentWidget());
    hooks.execDialog(dlg);
    if (Config::smpProgPosition != before)
        emit sigSmpProgPositionChanged();
}

void MainMenu::actOpenUserGuide()
{
    const QString english = QDir::cleanPath(AppPaths::resources() + QStringLiteral("ug-en.pdf"));
    QString file = english;
    if (Lang::code.startsWith(QLatin1String("zh"))) {
        file = QDir::cleanPath(AppPaths::resources() + QStringLiteral("ug-cn.pdf"));
        // A guide in another language is better than none.
        if (!QFileInfo(file).isFile())
            file = english;
    }
    if (QFileInfo(file).isFile() && hooks.openUrl(QUrl::fromLocalFile(file)))
        return;
    showBox(QMessageBox::Critical, "An error occurred",
            Lang::tr(QStringLiteral("File open failed.")) + QStringLiteral("\r\n")
                + Lang::tr(QStringLiteral("You may need to install a PDF reader to open the user guide.")));
}

void MainMenu::actCheckUpdate()
{
    if (checkUpdate)
        checkUpdate->manualCheck();
}

void MainMenu::actUpdateLog()
{
    hooks.openUrl(QUrl(CheckUpdate::changeLogUrl()));
}

void MainMenu::actAboutTAV()
{
    AboutTAV dlg(parentWidget());
    hooks.execDialog(dlg);
}

// Kept out of the library's shared moc unit, so users of the data file alone
// do not pull in the menu and the device layer.
#include "moc_mainmenu.cpp"
