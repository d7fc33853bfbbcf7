#pragma once
// The "Analyzers" section of the side panel: one row per analyzer in use and
// three ways to add one: the add menu with the recently used analyzers, the
// dialog of all installed analyzers with its search, and the table of the
// protocols each instrument model supports. Choosing an analyzer opens its
// settings dialog, which adds it to the host when confirmed.
//
// Choices are kept as plug-in file names, which stay the same when another
// instrument model changes the display names.

#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

class AnalyzerManager;
class MyButton;
class ProtocolItem;
class QDialog;
class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QListWidget;
class QMenu;
class QModelIndex;
class QPushButton;
class QTableView;
class QVBoxLayout;
class SearchEdit;

class ProtocolSetting : public QWidget
{
    Q_OBJECT

public:
    explicit ProtocolSetting(AnalyzerManager* manager, QWidget* parent = nullptr);
    ~ProtocolSetting() override;

    // The display names follow the new model's support.
    void devModelChanged();
    void updateProtocolMenu(QStringList const& used);

    QMenu* addMenu() const { return menu; }
    MyButton* expandButton() const { return btnExpand; }
    MyButton* addButton() const { return btnAdd; }
    bool isExpanded() const { return expanded; }
    QVector<ProtocolItem*> const& rows() const { return items; }
    QStringList const& recentList() const { return recent; }
    QDialog* analyzersDialog() const { return dlgAll; }
    SearchEdit* searchBox() const { return search; }
    QPushButton* supportButton() const { return btnSupport; }
    QListWidget* analyzerList() const { return listAll; }
    QDialogButtonBox* buttonBox() const { return btnBox; }
    QDialog* supportDialog() const { return dlgSupport; }
    QTableView* supportTable() const { return tableSupport; }
    QString selectedName() const { return selName; }

private slots:
    void staChangedSlot();
    void openMenuDig();
    void updateItem();
    void slotSearchChanged(QString const& text);
    void slotAddProtocolClicked();
    void slotMoreProtocolClicked();
    void slotDevicSupportListClicked();
    void slotListWidgetClicked(QModelIndex const& index);
    void slotListWidgetDoubleClicked(QModelIndex const& index);
    void slotBtnBoxAddClicked();
    void slotBtnBoxCloseClick();

private:
    void buildAnalyzersDialog();
    void fillList(QString const& text);
    void choose(QModelIndex const& index);
    int pluginOf(QString const& file) const;
    void runEdit(int plugin);

    bool expanded = false;
    AnalyzerManager* manager;
    QGridLayout* layout;
    MyButton* btnExpand;
    MyButton* btnAdd;
    QLabel* title;
    QMenu* menu;
    QVBoxLayout* rowsLayout;
    QWidget* rowsBox;
    QVector<ProtocolItem*> items;
    QStringList recent;
    QDialog* dlgAll;
    QGridLayout* dlgLayout;
    SearchEdit* search;
    QPushButton* btnSupport;
    QListWidget* listAll;
    QDialogButtonBox* btnBox;
    QDialog* dlgSupport = nullptr;
    QTableView* tableSupport = nullptr;
    QString selName;
    QString selFile;
};
