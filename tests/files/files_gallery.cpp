// Shows the menu and the dialogs of the file actions on a demo capture and
// saves screenshots: files_gallery [output-folder]
#include "core/config.h"
#include "core/lang.h"
#include "common/programlook.h"
#include "common/tempenv.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "files/abouttav.h"
#include "files/checkupdate.h"
#include "files/exportdataset.h"
#include "files/mainmenu.h"
#include "files/options.h"
#include "files/updatedialog.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QMenu>

namespace {
void pairs(QStringList* n, QVector<qint64>* p)
{
    *n = QStringList({"A1 - A2"});
    *p = {120, 880};
}
bool save(QWidget* w, const QString& path)
{
    w->show();
    QApplication::processEvents();
    return w->grab().save(path);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TempEnv env;
    Config::initResources();
    Config::fillLists();
    Config::loadDefaultConfig();
    ProgramLook::useDesktopFontSize();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);
    Lang::load(QStringLiteral("en-US"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    QDir().mkpath(out);

    devUsing = DevBase::createDevice(DevModelNone);
    const SmpDataPtr s = devUsing->displayedSmpData();
    s->smpCount = 1000000;
    s->smpFrequ = 24000000;
    s->trgPosition = 1000;
    ExportDataSet::markerSource = &pairs;

    QWidget host;
    host.setAutoFillBackground(true);
    QPalette pal = host.palette();
    pal.setColor(QPalette::Window, Config::grayColor.value(5));
    host.setPalette(pal);
    auto* row = new QHBoxLayout(&host);
    auto* menu = new MainMenu(&host);
    row->addStretch();
    row->addWidget(menu);
    host.resize(240, 60);
    bool ok = save(&host, out + "/files_button.png");
    menu->updateEntryStates();
    menu->mainMenu->popup(host.mapToGlobal(QPoint(200, 50)));
    ok = save(menu->mainMenu, out + "/files_menu.png") && ok;
    menu->mainMenu->hide();

    ExportDataSet exportDlg(&host);
    exportDlg.setWindowTitle(Lang::tr("Export Data Settings"));
    ok = save(&exportDlg, out + "/files_export.png") && ok;
    Options options(&host);
    ok = save(&options, out + "/files_options.png") && ok;
    AboutTAV about(&host);
    ok = save(&about, out + "/files_about.png") && ok;
    UpdateDialog upd(&host);
    upd.setResult(UpdateManual, "3.6.0", "https://www.vormel.example/download?a=1&b=<2>", QString());
    ok = save(&upd, out + "/files_update_manual.png") && ok;
    upd.setResult(UpdateAuto, "3.6.0", "https://d.example/", "https://u.example/");
    ok = save(&upd, out + "/files_update_auto.png") && ok;

    delete devUsing;
    devUsing = nullptr;
    return ok ? 0 : 1;
}
