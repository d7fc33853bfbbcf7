#include "analysis/protocolresult.h"

#include "analysis/analyzerdatagen.h"
#include "analysis/analyzermanager.h"
#include "analysis/resultview.h"
#include "analysis/searchedit.h"
#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "waveview/wavedatagen.h"
#include "widgets/mybutton.h"
#include "widgets/myscrollbar.h"

#include <QAction>
#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QStringListModel>

ProtocolResult* ProtocolResult::me = nullptr;

ProtocolResult::ProtocolResult(AnalyzerManager* mgr, QWidget* parent)
    : QWidget(parent)
    , layout(new QGridLayout(this))
    , menu(new QMenu())
    , btnExpand(new MyButton(this))
    , btnSetting(new MyButton(this))
    , title(new QLabel(this))
    , search(nullptr)
    , list(nullptr)
    , model(new QStringListModel())
    , manager(mgr)
    , dataGen(new AnalyzerDataGen(mgr))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    me = this;

    btnExpand->setFixedSize(Config::pixel(16), Config::pixel(16));
    btnExpand->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    btnExpand->normalColor = QColor(0, 0, 0, 0);
    btnExpand->hoverColor = Config::grayColor[5];
    btnExpand->gradientNormal = false;
    btnExpand->gradientHover = false;
    btnExpand->setBorderRadius(Config::pixel(2));

    title->setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));
    title->setFixedHeight(Config::pixel(16));
    title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    title->setText(Lang::tr(QStringLiteral("Decoded Results")));

    btnSetting->setFixedSize(Config::pixel(2) * 1 + int(Config::pixel(16) * 1.5), Config::pixel(16) + Config::pixel(2));
    btnSetting->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    btnSetting->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    btnSetting->normalColor = Config::grayColor[6];
    btnSetting->hoverColor = Config::grayColor[5];
    btnSetting->borderWidth = Config::pixel(1);
    btnSetting->setBorderRadius(Config::pixel(3));

    search = new SearchEdit(QStringLiteral("#1f1f23"), QStringLiteral("#1f1f23"), QStringLiteral("#f7f7f7"), this);

    list = new ResultView(this);
    list->setFont(Config::fontSmall);
    list->setGridSize(QSize(Config::pixel(10), Config::pixel(18)));
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    list->setModel(model);

    layout->addWidget(btnExpand, 0, 0);
    layout->addWidget(title, 0, 1);
    layout->addWidget(btnSetting, 0, 2);
    layout->addWidget(search, 1, 0, 1, 3);
    layout->addWidget(list, 2, 0, 1, 3);
    layout->setRowStretch(0, 0);
    layout->setRowStretch(1, 0);
    layout->setRowStretch(2, 1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(0);
    layout->setVerticalSpacing(Config::pixel(6));

    connect(menu, &QMenu::triggered, this, &ProtocolResult::trigerMenu);
    connect(btnExpand, &QAbstractButton::clicked, this, &ProtocolResult::staChangedSlot);
    connect(btnSetting, &QAbstractButton::clicked, this, &ProtocolResult::openMenuDig);
    connect(search, &QLineEdit::textChanged, this, &ProtocolResult::searchStart);
    connect(list, &QAbstractItemView::clicked, this, &ProtocolResult::listViewClickedSlot);
    connect(list->scrollBar(), &MyScrollbar::valueChanged, this, &ProtocolResult::slotScrollValueChanged);
    connect(list->scrollBar(), &MyScrollbar::rangChanged, this, &ProtocolResult::slotScrollRangChanged);
    if (manager) {
        connect(manager, &AnalyzerManager::analyzerItemChanged, this, &ProtocolResult::slotAnalyzerChanged);
        connect(manager, &AnalyzerManager::analyzerDecodedChanged, this, &ProtocolResult::slotAnalyzerChanged);
    }
    connect(list, &ResultView::listRowChanged, dataGen, &AnalyzerDataGen::slotRowNumChanged);
    connect(dataGen, &AnalyzerDataGen::listChanged, this, &ProtocolResult::slotResultViewUpdate);
    connect(dataGen, &AnalyzerDataGen::listTotalChanged, this, &ProtocolResult::setListScrollParametes);
    staChangedSlot();
}

ProtocolResult::~ProtocolResult()
{
    if (me == this)
        me = nullptr;
    // The engine's thread stops before the panel it reports to goes.
    delete dataGen;
    delete menu;
    delete model;
}

qint64 ProtocolResult::displayedCount()
{
    if (!devUsing)
        return 0;
    auto s = devUsing->displayedSmpData();
    if (!s)
        return 0;
    return s->smpCount;
}

QStringList ProtocolResult::pageTexts() const
{
    return model->stringList();
}

void ProtocolResult::restart(QString const& text, bool fromView, bool keepSelection)
{
    const double n = double(displayedCount());
    double t0 = 0.0;
    if (fromView && WaveDataGen::me)
        t0 = WaveDataGen::me->getSmpOffset();
    dataGen->reStart(text, t0, n, keepSelection);
}

// With a search text the list counts from the capture start; without one it
// starts where the waveform view does.
void ProtocolResult::restartByRule()
{
    const QString text = search->text();
    restart(text, text.isEmpty());
}

void ProtocolResult::staChangedSlot()
{
    expanded = !expanded;
    btnExpand->setIcon(QIcon(expanded ? QStringLiteral(":/res/btnExpand") : QStringLiteral(":/res/btnCollapse")));
    btnSetting->setVisible(expanded);
    search->setVisible(expanded);
    list->setVisible(expanded);
}

void ProtocolResult::openMenuDig()
{
    for (QAction* a : menu->actions()) {
        menu->removeAction(a);
        delete a;
    }
    protocolList = AnalyzerManager::getTotalProtocol();
    menuActions.resize(protocolList.size());
    for (int i = 0; i < protocolList.size(); ++i) {
        const QStringList parts = protocolList[i].split(QLatin1Char(','));
        auto* a = new QAction(Lang::tr(parts.value(0)), this);
        a->setData(i);
        a->setCheckable(true);
        a->setChecked(parts.value(1).toInt() != 0);
        menu->addAction(a);
        menuActions[i] = a;
    }
    if (protocolList.isEmpty()) {
        auto* a = new QAction(Lang::tr(QStringLiteral("None")), this);
        a->setEnabled(false);
        menu->addAction(a);
    }
    menu->popup(QCursor::pos());
    menu->show();
}

void ProtocolResult::trigerMenu(QAction* action)
{
    if (!action || !action->data().isValid())
        return;
    AnalyzerManager::setProtocolShow(action->data().toInt());
    restartByRule();
}

void ProtocolResult::searchStart(QString const& text)
{
    model->setStringList(QStringList());
    list->setModel(model);
    setListScrollParametes(0, 0, 0);
    restart(text, false);
}

void ProtocolResult::listViewClickedSlot(QModelIndex const& index)
{
    dataGen->setSelected(index.row());
    bool ok = false;
    const QPair<qint64, qint64> p = dataGen->getSmpPoint(index.row(), &ok);
    // A row of a page the engine no longer holds has no frame to show.
    if (!ok)
        return;
    WaveDataGen::moveDecode(double(p.first), double(p.second));
}

void ProtocolResult::slotScrollRangChanged(qlonglong, qlonglong)
{
    slotScrollValueChanged(list->scrollBar()->value());
}

void ProtocolResult::slotScrollValueChanged(qlonglong value)
{
    if (skipScrollOnce) {
        skipScrollOnce = false;
        return;
    }
    dataGen->begFrameChanged(value / list->rowHeight());
}

void ProtocolResult::slotAnalyzerChanged()
{
    if (!devUsing || devUsing->workMode != WorkModeLogic)
        return;
    skipScrollOnce = true;
    restartByRule();
}

void ProtocolResult::slotResultViewUpdate(QStringList rows, bool isSel, int selIndex)
{
    model->setStringList(rows);
    list->setModel(model);
    const qlonglong y = qlonglong(list->rowHeight()) * selIndex;
    if (isSel && y >= 0 && y < list->scrollBar()->pageStep())
        list->setCurrentIndex(list->indexAt(QPoint(0, int(y))));
}

void ProtocolResult::setListScrollParametes(qlonglong index, qlonglong max, int pageNum)
{
    const qlonglong h = list->rowHeight();
    const qlonglong maximum = (max - pageNum) * h;
    const qlonglong value = index * h;
    MyScrollbar* bar = list->scrollBar();
    skipScrollOnce = maximum != bar->maximum() || value != bar->value();
    bar->setRange(0, maximum);
    bar->setValue(value);
    if (displayedCount() > 0 && !AnalyzerManager::getTotalProtocol().isEmpty())
        search->setTotalNum(max);
    else
        search->setTotalNum(-1);
}

void ProtocolResult::updateDecodeProtocols()
{
    ProtocolResult* p = me;
    if (!p || !p->search->text().isEmpty() || (devUsing && devUsing->smpRunning))
        return;
    // The view moved (a row's click moves it too): the clicked row stays selected.
    p->restart(QString(), true, true);
}

void ProtocolResult::clearFindText()
{
    ProtocolResult* p = me;
    if (!p)
        return;
    p->search->clear();
    p->model->setStringList(QStringList());
    p->list->setModel(p->model);
    p->setListScrollParametes(0, 0, 0);
}
