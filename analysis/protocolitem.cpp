#include "analysis/protocolitem.h"

#include "analysis/analyzermanager.h"
#include "analysis/anlymessage.h"
#include "analysis/protocoledit.h"
#include "analysis/protocollists.h"
#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "libanalyzer/analyzer.h"
#include "widgets/mybutton.h"
#include "widgets/myprogressdlg.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QCursor>
#include <QDir>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

void styleRoundButton(MyButton* b, QString const& icon)
{
    const int s = Config::pixel(16);
    b->setFixedSize(s, s);
    b->setIconSize(QSize(s, s));
    b->setIcon(QIcon(icon));
    b->normalColor = QColor(0, 0, 0, 0);
    b->hoverColor = Config::grayColor[4];
    b->gradientNormal = false;
    b->gradientHover = false;
    b->setBorderRadius(s / 2);
}

QString extensionText(const char* name, const char* ext)
{
    return Lang::tr(QString::fromUtf8(name ? name : "")) + QStringLiteral(" (*.") + QString::fromUtf8(ext ? ext : "")
        + QStringLiteral(")");
}

void tagExport(QObject* entry, unsigned id, const char* ext)
{
    entry->setProperty(ProtocolItem::optionProperty, id);
    entry->setProperty(ProtocolItem::extensionProperty, QString::fromUtf8(ext ? ext : ""));
}

}  // namespace

ProtocolItem::ProtocolItem(AnalyzerManager* manager, int i, QWidget* parent)
    : QWidget(parent)
    , host(manager)
    , index(i)
    , layout(new QHBoxLayout(this))
    , name(new QLabel(this))
    , btnSetting(new MyButton(this))
    , btnRemove(new MyButton(this))
{
    setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));
    setObjectName(host->getUsingSpecFileName(index));
    name->setText(host->getUsingAnalyzerName(index));
    styleRoundButton(btnSetting, QStringLiteral(":/res/btnSetting"));
    styleRoundButton(btnRemove, QStringLiteral(":/res/btnRemove"));
    layout->addWidget(name);
    layout->addWidget(btnSetting, 1);
    layout->addWidget(btnRemove);
    layout->setContentsMargins(Config::pixel(16), 0, Config::pixel(4), 0);
    layout->setSpacing(Config::pixel(1));

    connect(btnSetting, &QAbstractButton::clicked, this, &ProtocolItem::slotMenuPopup);
    connect(btnRemove, &QAbstractButton::clicked, this, &ProtocolItem::slotBtnRemove);
    connect(host, &AnalyzerManager::exportFinished, this, &ProtocolItem::slotExportFinished);
}

// ---------------------------------------------------------------- menu

void ProtocolItem::createMenu()
{
    menu = new QMenu(this);
    menu->addAction(Lang::tr(QStringLiteral("Edit")), this, &ProtocolItem::actEditSettings);

    QMenu* formats = menu->addMenu(Lang::tr(QStringLiteral("Display Format")));
    formatGroup = new QActionGroup(formats);
    formatGroup->setExclusive(true);
    const QStringList texts = ProtocolLists::displayFormatTexts();
    for (int f = 0; f < texts.size(); ++f) {
        QAction* a = formats->addAction(texts[f]);
        a->setCheckable(true);
        a->setData(f);
        formatGroup->addAction(a);
    }
    connect(formats, &QMenu::triggered, this, &ProtocolItem::slotDisplyFormat);

    Analyzer* a = host->getUsingAnalyzer(index);
    AnalyzerSettings* s = a ? a->GetAnalyzerSettings() : nullptr;
    const unsigned n = s ? s->GetExportOptionsCount() : 0;
    if (n < 1) {
        menu->addAction(Lang::tr(QStringLiteral("Export Data")))->setEnabled(false);
    } else if (n == 1) {
        QMenu* sub = menu->addMenu(Lang::tr(QStringLiteral("Export Data")));
        unsigned id = 0;
        const char* optionName = nullptr;
        s->GetExportOption(0, &id, &optionName);
        for (unsigned j = 0; j < s->GetFileExtensionCount(id); ++j) {
            const char* extName = nullptr;
            const char* ext = nullptr;
            s->GetFileExtension(id, j, &extName, &ext);
            tagExport(sub->addAction(extensionText(extName, ext)), id, ext);
        }
        connect(sub, &QMenu::triggered, this, &ProtocolItem::slotExportTrig);
    } else {
        menu->addAction(Lang::tr(QStringLiteral("Export Data")) + QStringLiteral("..."), this,
                        &ProtocolItem::actExportDialog);
    }
}

void ProtocolItem::slotMenuPopup()
{
    if (!menu)
        createMenu();
    int f = host->getUsingDisplayFormat(index);
    if (f < DisplayBin || f > DisplayAsciiHex)
        f = DisplayHex;
    formatGroup->actions().at(f)->setChecked(true);
    menu->popup(QCursor::pos());
}

void ProtocolItem::slotDisplyFormat(QAction* action)
{
    if (action)
        host->setUsingDisplayFormat(index, action->data().toInt());
}

void ProtocolItem::actEditSettings()
{
    ProtocolEdit dlg(true, host, index, parentWidget());
    dlg.exec();
}

void ProtocolItem::slotBtnRemove()
{
    if (devUsing && devUsing->isConnected) {
        host->removeUsing(index);
        return;
    }
    // The demo capture simulates the analyzers in use on its own thread:
    // it must not run while the list changes.
    const bool running = devUsing && devUsing->smpStopForRestart();
    host->removeUsing(index);
    if (running)
        devUsing->smpRestartIfNeed();
}

// ---------------------------------------------------------------- export

void ProtocolItem::slotExportTrig(QAction* action)
{
    if (action && action->property(optionProperty).isValid())
        exportToFile(action->property(optionProperty).toUInt(), action->property(extensionProperty).toString());
}

void ProtocolItem::creatExportDialog()
{
    exportDlg = new QDialog(this);
    exportDlg->setWindowTitle(Lang::tr(QStringLiteral("Export File Select")));
    exportDlg->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    exportDlg->setMinimumWidth(Config::pixel(405));
    auto* v = new QVBoxLayout(exportDlg);
    v->setContentsMargins(Config::pixel(10), Config::pixel(12), Config::pixel(10), Config::pixel(8));
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    extButtons.clear();

    Analyzer* a = host->getUsingAnalyzer(index);
    AnalyzerSettings* s = a ? a->GetAnalyzerSettings() : nullptr;
    const unsigned n = s ? s->GetExportOptionsCount() : 0;
    for (unsigned i = 0; i < n; ++i) {
        unsigned id = 0;
        const char* optionName = nullptr;
        s->GetExportOption(i, &id, &optionName);
        auto* box = new QGroupBox(QStringLiteral("  ") + Lang::tr(QString::fromUtf8(optionName ? optionName : ""))
                                      + QStringLiteral("  "),
                                  exportDlg);
        box->setStyleSheet(QStringLiteral("QGroupBox{border:") + QString::number(Config::pixel(1))
                           + QStringLiteral("px solid black;border-radius:") + QString::number(Config::pixel(4))
                           + QStringLiteral("px;margin-top:") + QString::number(Config::pixel(6))
                           + QStringLiteral("px;margin-bottom:") + QString::number(Config::pixel(6))
                           + QStringLiteral("px;}QGroupBox::title{subcontrol-origin:margin; position:relative;left:")
                           + QString::number(Config::pixel(16)) + QStringLiteral("px;}"));
        v->addWidget(box);
        auto* inner = new QVBoxLayout(box);
        inner->setContentsMargins(Config::pixel(6), Config::pixel(18), Config::pixel(6), Config::pixel(10));
        for (unsigned j = 0; j < s->GetFileExtensionCount(id); ++j) {
            const char* extName = nullptr;
            const char* ext = nullptr;
            s->GetFileExtension(id, j, &extName, &ext);
            auto* r = new QRadioButton(extensionText(extName, ext), box);
            r->setCheckable(true);
            tagExport(r, id, ext);
            group->addButton(r, -1);
            extButtons.append(r);
            inner->addWidget(r);
        }
    }
    auto* bb = new QDialogButtonBox(exportDlg);
    bb->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    bb->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    bb->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    v->addWidget(bb);
    connect(bb, &QDialogButtonBox::accepted, this, &ProtocolItem::exportSavedClicked);
    connect(bb, &QDialogButtonBox::rejected, this, &ProtocolItem::exportCancelClicked);
}

void ProtocolItem::actExportDialog()
{
    if (!exportDlg)
        creatExportDialog();
    if (!extButtons.isEmpty())
        extButtons.first()->setChecked(true);
    exportDlg->exec();
}

void ProtocolItem::exportSavedClicked()
{
    exportDlg->close();
    for (QRadioButton* r : extButtons) {
        if (!r->isChecked())
            continue;
        exportToFile(r->property(optionProperty).toUInt(), r->property(extensionProperty).toString());
        return;
    }
}

void ProtocolItem::exportCancelClicked()
{
    exportDlg->close();
}

void ProtocolItem::exportToFile(unsigned optionId, QString const& extension)
{
    Analyzer* a = host->getUsingAnalyzer(index);
    AnalyzerResults* results = nullptr;
    if (a)
        a->GetAnalyzerResults(&results);
    if (!results || results->GetNumFrames() == 0) {
        AnlyMessage::warn(parentWidget(), Lang::tr(QStringLiteral("Warning")),
                          Lang::tr(QStringLiteral("Sorry, there is no data that can be exported.")));
        return;
    }
    // Asked before the file dialog, so nobody picks a file for nothing.
    if (exportRefused(AnalyzerManager::exportRefusal(results)))
        return;
    const QString path = Config::getSaveFileName(ProtocolLists::exportFileKind(extension));
    if (path.isEmpty())
        return;
    const DisplayBase base = ProtocolLists::displayBaseOf(host->getUsingDisplayFormat(index));
    // A decode or an export may have started while the dialog was open.
    if (exportRefused(AnalyzerManager::exportRefusal(results)))
        return;
    if (!AnalyzerManager::exportAnlyDataFile(results, path, base, optionId))
        return;
    exportRunning = true;
    exportCancelled = false;
    if (!progress)
        createExportProgress();
    progress->setValue(0);
    progress->show();
    pollTimer->start(200);
}

void ProtocolItem::createExportProgress()
{
    pollTimer = new QTimer(this);
    connect(pollTimer, &QTimer::timeout, this, &ProtocolItem::slotTimerOut);
    progress = new MyProgressDlg(Lang::tr(QStringLiteral("Save file")), Lang::tr(QStringLiteral("Stop")), this);
    progress->labelMsg->setText(Lang::tr(QStringLiteral("Saving file, please wait")) + QStringLiteral("..."));
    progress->closeOnFull = true;
    connect(progress, &QDialog::rejected, this, &ProtocolItem::slotExportStop);
    connect(progress, &QDialog::accepted, pollTimer, &QTimer::stop);
}

void ProtocolItem::slotTimerOut()
{
    progress->setValue(AnalyzerManager::getExportFileProgress());
}

void ProtocolItem::slotExportStop()
{
    exportCancelled = true;
    AnalyzerManager::cancelExport();
}

void ProtocolItem::slotExportFinished(bool ok, QString const& path)
{
    // Every row hears of every export; only the one that started it answers.
    if (!exportRunning)
        return;
    const bool cancelled = exportCancelled;
    exportRunning = false;
    exportCancelled = false;
    if (progress && progress->isVisible())
        progress->accept();
    if (!ok && !cancelled)
        exportFailed(path);
}

bool ProtocolItem::exportRefused(int refusal)
{
    QString text;
    switch (refusal) {
    case AnalyzerManager::ExportAllowed:
        return false;
    case AnalyzerManager::ExportDecoding:
        text = Lang::tr(QStringLiteral("The analyzer is still decoding, please export when it has finished."));
        break;
    case AnalyzerManager::ExportBusy:
        text = Lang::tr(QStringLiteral("Another export is still running, please wait until it has finished."));
        break;
    default:
        text = Lang::tr(QStringLiteral("Sorry, there is no data that can be exported."));
        break;
    }
    AnlyMessage::warn(parentWidget(), Lang::tr(QStringLiteral("Warning")), text);
    return true;
}

void ProtocolItem::exportFailed(QString const& path)
{
    AnlyMessage::warn(parentWidget(), Lang::tr(QStringLiteral("Warning")),
                      Lang::tr(QStringLiteral("The file could not be written")) + QStringLiteral(":\n")
                          + QDir::toNativeSeparators(path));
}
