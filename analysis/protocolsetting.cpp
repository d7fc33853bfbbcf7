#include "analysis/protocolsetting.h"

#include "analysis/analyzermanager.h"
#include "analysis/protocoledit.h"
#include "analysis/protocolitem.h"
#include "analysis/protocollists.h"
#include "analysis/searchedit.h"
#include "core/config.h"
#include "core/lang.h"
#include "widgets/mybutton.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

ProtocolSetting::ProtocolSetting(AnalyzerManager* mgr, QWidget* parent)
    : QWidget(parent)
    , manager(mgr)
    , layout(new QGridLayout(this))
    , btnExpand(new MyButton(this))
    , btnAdd(new MyButton(this))
    , title(new QLabel(this))
    , menu(new QMenu())
    , rowsLayout(nullptr)
    , rowsBox(new QWidget(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const int p1 = Config::pixel(1), p16 = Config::pixel(16);

    btnExpand->setFixedSize(p16, p16);
    btnExpand->setIconSize(QSize(p16, p16));
    btnExpand->normalColor = QColor(0, 0, 0, 0);
    btnExpand->hoverColor = Config::grayColor[5];
    btnExpand->gradientNormal = false;
    btnExpand->gradientHover = false;
    btnExpand->setBorderRadius(Config::pixel(2));

    title->setFixedHeight(p16);
    title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    title->setText(Lang::tr(QStringLiteral("Analyzers")));
    title->setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));

    btnAdd->setFixedSize(int(2 * p1 + 1.5 * p16), p16 + 2 * p1);
    btnAdd->setIconSize(QSize(p16, p16));
    btnAdd->setIcon(QIcon(QStringLiteral(":/res/btnAddItem")));
    btnAdd->normalColor = Config::grayColor[6];
    btnAdd->hoverColor = Config::grayColor[5];
    btnAdd->borderWidth = p1;
    btnAdd->setBorderRadius(Config::pixel(3));

    rowsBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    rowsLayout = new QVBoxLayout(rowsBox);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(Config::pixel(6) / 2);

    layout->addWidget(btnExpand, 0, 0);
    layout->addWidget(title, 0, 1);
    layout->addWidget(btnAdd, 0, 2);
    layout->addWidget(rowsBox, 1, 0, 1, 3);
    layout->setRowStretch(0, 0);
    layout->setRowStretch(1, 1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(0);
    layout->setVerticalSpacing(Config::pixel(6) / 2);

    connect(manager, &AnalyzerManager::analyzerItemChanged, this, &ProtocolSetting::updateItem);
    connect(btnExpand, &QAbstractButton::clicked, this, &ProtocolSetting::staChangedSlot);
    connect(btnAdd, &QAbstractButton::clicked, this, &ProtocolSetting::openMenuDig);
    staChangedSlot();

    menu->addAction(Lang::tr(QStringLiteral("None")));
    buildAnalyzersDialog();
}

ProtocolSetting::~ProtocolSetting()
{
    delete menu;
}

void ProtocolSetting::buildAnalyzersDialog()
{
    dlgAll = new QDialog(this);
    dlgAll->setFixedSize(Config::pixel(360), Config::pixel(480));
    dlgAll->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dlgAll->setWindowTitle(Lang::tr(QStringLiteral("All Protocol Analyzers")));
    dlgLayout = new QGridLayout(dlgAll);
    dlgLayout->setHorizontalSpacing(Config::pixel(6));
    dlgLayout->setVerticalSpacing(Config::pixel(6));
    dlgLayout->setContentsMargins(Config::pixel(10), Config::pixel(10), Config::pixel(10), Config::pixel(10));

    search = new SearchEdit(QStringLiteral("#f7f7f7"), QStringLiteral("#1f1f23"), QStringLiteral("#1f1f23"), dlgAll);
    connect(search, &QLineEdit::textChanged, this, &ProtocolSetting::slotSearchChanged);
    dlgLayout->addWidget(search, 0, 0, 1, 2, Qt::AlignBottom);

    btnSupport = new QPushButton(QStringLiteral(" ") + Lang::tr(QStringLiteral("Device Supported List")) + QStringLiteral(" "),
                                 dlgAll);
    btnSupport->setFixedHeight(Config::pixel(36));
    connect(btnSupport, &QAbstractButton::clicked, this, &ProtocolSetting::slotDevicSupportListClicked);
    dlgLayout->addWidget(btnSupport, 0, 2);

    listAll = new QListWidget(dlgAll);
    fillList(QString());
    connect(listAll, &QAbstractItemView::clicked, this, &ProtocolSetting::slotListWidgetClicked);
    connect(listAll, &QAbstractItemView::doubleClicked, this, &ProtocolSetting::slotListWidgetDoubleClicked);
    dlgLayout->addWidget(listAll, 1, 0, 1, 3);

    btnBox = new QDialogButtonBox(dlgAll);
    btnBox->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole)->setEnabled(false);
    btnBox->addButton(Lang::tr(QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    connect(btnBox, &QDialogButtonBox::accepted, this, &ProtocolSetting::slotBtnBoxAddClicked);
    connect(btnBox, &QDialogButtonBox::rejected, this, &ProtocolSetting::slotBtnBoxCloseClick);
    dlgLayout->addWidget(btnBox, 2, 0, 1, 3);
}

// The names containing text, each with its plug-in's place as item data.
void ProtocolSetting::fillList(QString const& text)
{
    listAll->clear();
    const QStringList names = manager->getAllAnalyzerName();
    for (int i : ProtocolLists::filter(names, text)) {
        auto* item = new QListWidgetItem(names[i], listAll);
        item->setData(Qt::UserRole, i);
    }
}

void ProtocolSetting::devModelChanged()
{
    fillList(QString());
}

void ProtocolSetting::staChangedSlot()
{
    expanded = !expanded;
    btnExpand->setIcon(QIcon(expanded ? QStringLiteral(":/res/btnExpand") : QStringLiteral(":/res/btnCollapse")));
    btnAdd->setVisible(expanded);
    rowsBox->setVisible(expanded);
}

void ProtocolSetting::openMenuDig()
{
    menu->popup(QCursor::pos());
    menu->show();
}

void ProtocolSetting::updateItem()
{
    const int old = items.size();
    while (!items.isEmpty()) {
        ProtocolItem* r = items.takeFirst();
        rowsLayout->removeWidget(r);
        r->hide();
        r->deleteLater();
    }
    const int n = manager->usingCount();
    QStringList files;
    for (int i = 0; i < n; ++i) {
        auto* r = new ProtocolItem(manager, i, this);
        items.append(r);
        rowsLayout->addWidget(r);
        files << r->objectName();
    }
    // A removal leaves the recent list as it was.
    if (n < old && !recent.isEmpty())
        return;
    updateProtocolMenu(ProtocolLists::usedFileNames(files));
}

int ProtocolSetting::pluginOf(QString const& file) const
{
    const QVector<FileInterface>& f = manager->files();
    for (int i = 0; i < f.size(); ++i)
        if (f[i].fileName == file)
            return i;
    return -1;
}

void ProtocolSetting::updateProtocolMenu(QStringList const& used)
{
    const ProtocolLists::Recent r = ProtocolLists::updateRecent(
        recent, Config::readGlobalParam(QStringLiteral("recentAnalyzers")), used,
        [this](QString const& f) { return manager->getSpecAnalyzerName(f); });
    recent = r.recent;
    Config::saveGlobalParam(QStringLiteral("recentAnalyzers"), recent.join(QLatin1Char(',')));

    for (QAction* a : menu->actions()) {
        menu->removeAction(a);
        a->deleteLater();
    }
    for (int i = r.names.size() - 1; i >= 0; --i) {
        auto* a = new QAction(r.names[i], this);
        a->setData(r.recent[i]);
        connect(a, &QAction::triggered, this, &ProtocolSetting::slotAddProtocolClicked);
        menu->addAction(a);
    }
    menu->addSeparator();
    auto* more = new QAction(Lang::tr(QStringLiteral("More Analyzers")) + QStringLiteral("..."), this);
    connect(more, &QAction::triggered, this, &ProtocolSetting::slotMoreProtocolClicked);
    menu->addAction(more);
    menu->addSeparator();
    auto* support = new QAction(Lang::tr(QStringLiteral("Device Supported List")) + QStringLiteral("..."), this);
    connect(support, &QAction::triggered, this, &ProtocolSetting::slotDevicSupportListClicked);
    menu->addAction(support);
}

void ProtocolSetting::runEdit(int plugin)
{
    if (plugin < 0)
        return;
    ProtocolEdit dlg(false, manager, plugin, this);
    dlg.exec();
}

void ProtocolSetting::slotAddProtocolClicked()
{
    auto* a = qobject_cast<QAction*>(sender());
    if (a)
        runEdit(pluginOf(a->data().toString()));
}

void ProtocolSetting::slotSearchChanged(QString const& text)
{
    fillList(text);
}

void ProtocolSetting::choose(QModelIndex const& index)
{
    selName = index.data(Qt::DisplayRole).toString();
    const int plugin = index.data(Qt::UserRole).toInt();
    selFile = manager->files().value(plugin).fileName;
}

void ProtocolSetting::slotListWidgetClicked(QModelIndex const& index)
{
    btnBox->buttons().first()->setEnabled(true);
    choose(index);
}

void ProtocolSetting::slotListWidgetDoubleClicked(QModelIndex const& index)
{
    choose(index);
    slotBtnBoxAddClicked();
}

void ProtocolSetting::slotBtnBoxAddClicked()
{
    slotBtnBoxCloseClick();
    // By file: a name chosen before a model change may read differently now.
    runEdit(pluginOf(selFile));
}

void ProtocolSetting::slotBtnBoxCloseClick()
{
    search->setText(QString());
    dlgAll->close();
}

void ProtocolSetting::slotMoreProtocolClicked()
{
    const int plugin = pluginOf(selFile);
    for (int r = 0; plugin >= 0 && r < listAll->count(); ++r)
        if (listAll->item(r)->data(Qt::UserRole).toInt() == plugin) {
            listAll->setCurrentRow(r);
            break;
        }
    dlgAll->exec();
}

void ProtocolSetting::slotDevicSupportListClicked()
{
    if (dlgSupport) {
        dlgSupport->exec();
        return;
    }
    dlgSupport = new QDialog(this);
    dlgSupport->setWindowTitle(Lang::tr(QStringLiteral("Device Supported List")));
    dlgSupport->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMaximizeButtonHint
                               | Qt::WindowCloseButtonHint);
    auto* v = new QVBoxLayout(dlgSupport);
    v->setContentsMargins(Config::pixel(8), Config::pixel(8), Config::pixel(8), Config::pixel(8));
    v->setSpacing(0);
    tableSupport = new QTableView(dlgSupport);
    tableSupport->setAlternatingRowColors(true);
    tableSupport->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->addWidget(tableSupport);

    const QVector<ProtocolLists::Support> rowsData = ProtocolLists::supportTable();
    const QStringList models = ProtocolLists::supportModels();
    auto* model = new QStandardItemModel(rowsData.size(), models.size() + 1, dlgSupport);
    model->setHorizontalHeaderLabels(QStringList(QStringLiteral(" ")) + models);
    for (int r = 0; r < rowsData.size(); ++r) {
        auto* name = new QStandardItem(QStringLiteral(" ") + rowsData[r].protocol);
        name->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        model->setItem(r, 0, name);
        for (int c = 0; c < models.size(); ++c) {
            auto* cell = new QStandardItem(ProtocolLists::supports(rowsData[r], models[c]) ? QString(QChar(0x25CF))
                                                                                            : QStringLiteral("x"));
            cell->setTextAlignment(Qt::AlignCenter);
            model->setItem(r, c + 1, cell);
        }
    }
    tableSupport->setModel(model);
    tableSupport->verticalHeader()->hide();
    tableSupport->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section{background-color:#eeeeff;border-right:1px solid #d8d8d8;border-left:0;"
                       "border-top:0;border-bottom:1px solid #d8d8d8;}"));
    tableSupport->setColumnWidth(0, Config::pixel(120));
    for (int c = 1; c <= models.size(); ++c)
        tableSupport->setColumnWidth(c, Config::pixel(56));
    for (int r = 0; r < rowsData.size(); ++r)
        tableSupport->setRowHeight(r, Config::pixel(20));
    tableSupport->horizontalHeader()->setFixedHeight(Config::pixel(20));
    dlgSupport->setMinimumWidth(Config::pixel(120) + tableSupport->columnWidth(1) * model->columnCount());
    dlgSupport->setMinimumHeight(Config::pixel(500));
    dlgSupport->exec();
}
