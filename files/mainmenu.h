#pragma once
// The square menu button at the right end of the toolbar row and the menu
// behind it: open, save and export files, language, options, user guide,
// update check, change log and the about box.

#include "core/lang.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <functional>

class CheckUpdate;
class MyButton;
class QAction;
class QDialog;
class QMenu;
class QUrl;

class MainMenu : public QWidget
{
    Q_OBJECT

public:
    explicit MainMenu(QWidget* parent = nullptr);

    // Opens a data file (".vtdat") or settings file (".vtset"). A data file's
    // samples are read completely before its settings are merged, so a file
    // that cannot be read changes nothing. True when the file was opened.
    bool loadFile(QString path);
    void fileOpenFailed(const QString& path);
    void createMainMenu();
    // Which entries can be chosen now; done at every pop-up.
    void updateEntryStates();

    // The update checker, handed over by the main window (not owned).
    CheckUpdate* checkUpdate = nullptr;
    QList<LangFile> langFiles;
    MyButton* menuButton;
    QMenu* mainMenu = nullptr;
    QMenu* exportMenu = nullptr;
    QMenu* langMenu = nullptr;
    QAction* actionOpen = nullptr;
    QAction* actionSaveSettings = nullptr;
    QAction* actionSaveData = nullptr;

    // Everything that waits for the user or leaves the program; the defaults
    // are the real dialogs and services, tests put stand-ins here.
    struct Hooks {
        std::function<QString()> openFileName;
        std::function<QString(int type)> saveFileName;
        std::function<int(QDialog& dialog)> execDialog;
        std::function<bool(const QUrl& url)> openUrl;
        std::function<void()> restart;   // closes every window and starts the program again
    } hooks;

signals:
    // The settings of a file were merged; the receiver (connected directly)
    // replaces the device object before the emission returns.
    void openSettingFile();
    void sigSmpProgPositionChanged();

public slots:
    void slotMainMenuPopup();
    void slotLangMenuTrig(QAction* action);
    void slotExportMenuTrig(QAction* action);
    void actOpenFile();
    void actSaveSettings();
    void actSaveData();
    void actOpenOptions();
    void actOpenUserGuide();
    void actCheckUpdate();
    void actUpdateLog();
    void actAboutTAV();

private:
    int showBox(QMessageBox::Icon icon, const char* title, const QString& text);
    bool refuseWhileRunning();
    // Save Data (type 0) or an export (2 text, 3 CSV, 4 binary) of the logic capture.
    void writeLogicCapture(int type);
    void saveOscCapture();
    void saveFailed(const QString& path);
};
