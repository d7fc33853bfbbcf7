#pragma once
// The "Decoded Results" section of the side panel: a title row with the
// filter menu, a search box and a list that shows one page of the merged
// decoded results. The list engine (AnalyzerDataGen) holds the page; every
// scroll is a page request to it and every answer is shown here. A click on
// a row moves the waveform view to that frame.

#include <QStringList>
#include <QVector>
#include <QWidget>

class AnalyzerDataGen;
class AnalyzerManager;
class MyButton;
class QAction;
class QGridLayout;
class QLabel;
class QMenu;
class QModelIndex;
class QStringListModel;
class ResultView;
class SearchEdit;

class ProtocolResult : public QWidget
{
    Q_OBJECT

public:
    explicit ProtocolResult(AnalyzerManager* mgr, QWidget* parent = nullptr);
    // Ends the list engine's thread.
    ~ProtocolResult() override;

    static ProtocolResult* me;
    // After a view refresh that asks decoded results to follow the view, and
    // after the sampling mode changed: the list restarts at the view's left
    // edge, unless a search text is set or a capture runs.
    static void updateDecodeProtocols();
    // Another device model or a capture start: no search, an empty list.
    static void clearFindText();

    AnalyzerDataGen* engine() const { return dataGen; }
    SearchEdit* searchBox() const { return search; }
    ResultView* listView() const { return list; }
    QMenu* filterMenu() const { return menu; }
    MyButton* expandButton() const { return btnExpand; }
    MyButton* filterButton() const { return btnSetting; }
    bool isExpanded() const { return expanded; }
    // The texts of the page on show.
    QStringList pageTexts() const;

private slots:
    void staChangedSlot();
    void openMenuDig();
    void trigerMenu(QAction* action);
    void searchStart(QString const& text);
    void listViewClickedSlot(QModelIndex const& index);
    void slotScrollRangChanged(qlonglong, qlonglong);
    void slotScrollValueChanged(qlonglong value);
    void slotAnalyzerChanged();
    void slotResultViewUpdate(QStringList list, bool isSel, int selIndex);
    void setListScrollParametes(qlonglong index, qlonglong max, int pageNum);

private:
    void restartByRule();
    void restart(QString const& text, bool fromView, bool keepSelection = false);
    static qint64 displayedCount();

    bool expanded = false;
    bool skipScrollOnce = false;
    QStringList protocolList;
    QGridLayout* layout;
    QMenu* menu;
    QVector<QAction*> menuActions;
    MyButton* btnExpand;
    MyButton* btnSetting;
    QLabel* title;
    SearchEdit* search;
    ResultView* list;
    QStringListModel* model;
    AnalyzerManager* manager;
    AnalyzerDataGen* dataGen;
};
