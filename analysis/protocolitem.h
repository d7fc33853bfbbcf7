#pragma once
// One row of the Analyzers panel: the analyzer's name, a settings button
// with its menu (Edit, Display Format, Export Data) and a remove button.
// The row holds no analyzer state: only the host and its place in the
// host's list, which stays valid while the row lives (the panel makes new
// rows whenever that list changes).

#include <QString>
#include <QVector>
#include <QWidget>

class AnalyzerManager;
class MyButton;
class MyProgressDlg;
class QAction;
class QActionGroup;
class QDialog;
class QHBoxLayout;
class QLabel;
class QMenu;
class QRadioButton;
class QTimer;

class ProtocolItem : public QWidget
{
    Q_OBJECT

public:
    // An export entry (menu action or radio button) carries the export
    // option's id and the file extension (without the dot) as these properties.
    static constexpr const char* optionProperty = "exportOption";
    static constexpr const char* extensionProperty = "exportExtension";

    ProtocolItem(AnalyzerManager* manager, int index, QWidget* parent = nullptr);

    QLabel* nameLabel() const { return name; }
    MyButton* settingButton() const { return btnSetting; }
    MyButton* removeButton() const { return btnRemove; }
    QMenu* rowMenu() const { return menu; }
    QDialog* exportDialog() const { return exportDlg; }
    MyProgressDlg* progressDialog() const { return progress; }

private slots:
    void slotBtnRemove();
    void slotMenuPopup();
    void slotDisplyFormat(QAction* action);
    void slotExportTrig(QAction* action);
    void actEditSettings();
    void actExportDialog();
    void exportSavedClicked();
    void exportCancelClicked();
    void slotTimerOut();
    void slotExportStop();
    void slotExportFinished(bool ok, QString const& path);

private:
    void createMenu();
    void creatExportDialog();
    void createExportProgress();
    void exportToFile(unsigned optionId, QString const& extension);
    void exportFailed(QString const& path);
    // Tells the user why an export is refused (an AnalyzerManager::ExportRefusal); false when it is not.
    bool exportRefused(int refusal);

    AnalyzerManager* host;
    int index;
    QHBoxLayout* layout;
    QLabel* name;
    MyButton* btnSetting;
    MyButton* btnRemove;
    QMenu* menu = nullptr;
    QActionGroup* formatGroup = nullptr;
    QDialog* exportDlg = nullptr;
    QVector<QRadioButton*> extButtons;
    QTimer* pollTimer = nullptr;
    MyProgressDlg* progress = nullptr;
    bool exportRunning = false;
    bool exportCancelled = false;
};
