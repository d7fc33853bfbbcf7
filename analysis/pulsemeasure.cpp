#include "analysis/pulsemeasure.h"

#include "analysis/sectionstyle.h"
#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "waveview/mainview.h"
#include "widgets/mybutton.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QWidgetAction>

#include <array>

using namespace PulseCounters;

PulseMeasure* PulseMeasure::me = nullptr;

namespace {

// How the waveform view reaches the counters without knowing the panel.
class PanelCounters : public PulseCounterSource
{
public:
    QStringList getChnAndTimeSet() const override { return PulseMeasure::getChnAndTimeSet(); }
    QStringList getChnSet(int pair) const override { return PulseMeasure::getChnSet(pair); }
};
PanelCounters panelCounters;

} // namespace

PulseMeasure::PulseMeasure(QWidget* parent)
    : QWidget(parent)
{
    me = this;
    MainView::setPulseCounterSource(&panelCounters);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setStyleSheet(QStringLiteral("background-color:transparent;color:#f7f7f7;"));

    area = new QWidget(this);
    area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    areaLayout = new QGridLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    areaLayout->setHorizontalSpacing(Config::pixel(2));
    areaLayout->setVerticalSpacing(Config::pixel(7));
    for (int c = 0; c < 6; ++c)
        areaLayout->setColumnStretch(c, c == 4 ? 1 : 0);

    auto* grid = new QGridLayout(this);
    const SectionStyle::TitleBar bar = SectionStyle::titleBar(this, grid, Lang::tr("Pulse Counters"),
                                                              QStringLiteral(":/res/btnAddItem"));
    btnDeploy = bar.expand;
    title = bar.title;
    btnAdd = bar.tool;
    title->setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));
    connect(btnDeploy, &QAbstractButton::clicked, this, &PulseMeasure::slotDeployClicked);
    connect(btnAdd, &QAbstractButton::clicked, this, &PulseMeasure::slotBtnAddClicked);
    grid->addWidget(area, 1, 0, 1, 3);
    grid->setRowStretch(0, 0);
    grid->setRowStretch(1, 1);

    menuType = newMenu();
    menuChn = newMenu();
    menuTime = newMenu();
    connect(menuType, &QMenu::triggered, this, &PulseMeasure::slotMenuTypeClicked);
    connect(menuChn, &QMenu::triggered, this, &PulseMeasure::slotMenuChnClicked);
    connect(menuTime, &QMenu::triggered, this, &PulseMeasure::slotMenuTimeClicked);

    const int p16 = Config::pixel(16);
    for (int t = 0; t < typeCount; ++t) {
        QPixmap pm(typeIcon(t));
        if (!pm.isNull())
            pm.setDevicePixelRatio(double(pm.height()) / p16);
        auto* label = new QLabel();
        label->setPixmap(pm);
        label->setFixedHeight(Config::pixel(2) + p16);
        addMenuEntry(menuType, label, t);
    }
    for (int k = 0; k < timeCount; ++k)
        addMenuEntry(menuTime, new QLabel(Lang::tr(timeLabel(k))), k);

    slotDeployClicked();
}

PulseMeasure::~PulseMeasure()
{
    if (me != this)
        return;
    me = nullptr;
    if (MainView::pulseCounterSource() == &panelCounters)
        MainView::setPulseCounterSource(nullptr);
}

QMenu* PulseMeasure::newMenu()
{
    auto* m = new QMenu(this);
    m->setStyleSheet(QStringLiteral("QMenu{background:#1f1f23;border:") + QString::number(Config::pixel(1))
                     + QStringLiteral("px solid #afafaf;}QLabel{background-color:transparent; color:#f7f7f7;}"
                                      "QLabel::disabled{color:#afafaf;}"
                                      "QLabel::hover{background-color: #575b5f;}"));
    return m;
}

QAction* PulseMeasure::addMenuEntry(QMenu* menu, QLabel* label, int data)
{
    label->setAlignment(Qt::AlignCenter);
    auto* act = new QWidgetAction(this);
    act->setDefaultWidget(label);
    act->setData(data);
    menu->addAction(act);
    return act;
}

QVector<bool> PulseMeasure::channelEnables()
{
    return devUsing ? devUsing->dChnEna : QVector<bool>();
}

bool PulseMeasure::samplesPresent()
{
    auto s = devUsing ? devUsing->displayedSmpData() : nullptr;
    return s && s->smpCount != 0;
}

void PulseMeasure::pairsShown(bool* shown)
{
    MainView::getTimeMarkersShow(shown, pairCount);
}

QStringList PulseMeasure::getChnAndTimeSet()
{
    if (!me)
        return QStringList();
    bool shown[pairCount];
    pairsShown(shown);
    return chnAndTimeSet(me->list, channelEnables(), shown);
}

QStringList PulseMeasure::getChnSet(int pair)
{
    return me ? chnSet(me->list, pair, channelEnables()) : QStringList();
}

void PulseMeasure::init()
{
    const int n = channelEnables().size();
    QList<QAction*> acts = menuChn->actions();
    while (acts.size() > n) {
        QAction* act = acts.takeLast();
        menuChn->removeAction(act);
        act->deleteLater();
    }
    for (int i = acts.size(); i < n; ++i)
        addMenuEntry(menuChn, new QLabel(QStringLiteral("CH") + QString::number(i)), i);
    for (const Row& r : rows)
        r.count->setText(QStringLiteral("###"));
}

void PulseMeasure::slotDeployClicked()
{
    deployed = !deployed;
    btnDeploy->setIcon(QIcon(SectionStyle::expandIcon(deployed)));
    btnAdd->setVisible(deployed);
    area->setVisible(deployed);
}

MyButton* PulseMeasure::newRowButton()
{
    auto* b = new MyButton(area);
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    SectionStyle::flatButton(b);
    return b;
}

void PulseMeasure::slotBtnAddClicked()
{
    const QVector<bool> ena = channelEnables();
    // Before init() has fitted the channel menu to this device nothing is added.
    if (menuChn->actions().size() != ena.size())
        return;
    if (list.isEmpty()) {
        const int m = Config::pixel(3);
        areaLayout->setContentsMargins(m, m, m, m);
    }
    PulseCounter c;
    c.type = newType(list);
    c.chn = newChannel(list, ena);
    c.time = 0;
    const int r = list.size();

    Row row;
    const int p1 = Config::pixel(1);
    const int p16 = Config::pixel(16);
    const int h = p16 + 2 * p1;
    const QFontMetrics fm(font());

    row.type = newRowButton();
    row.type->setFixedSize(int(2 * p1 + 1.5 * p16), h);
    row.type->setIconSize(QSize(p16, p16));
    row.type->setIcon(QIcon(typeIcon(c.type)));
    row.type->setObjectName(QString::number(c.type));
    row.type->buttonId = r;
    connect(row.type, &QAbstractButton::clicked, this, &PulseMeasure::slotBtTypeClicked);

    row.chn = newRowButton();
    row.chn->setFixedSize(fm.horizontalAdvance(QStringLiteral("CH15")) + Config::pixel(6), h);
    row.chn->setObjectName(QString::number(c.chn));
    row.chn->setText(QStringLiteral("CH") + QString::number(c.chn));
    row.chn->buttonId = r;
    connect(row.chn, &QAbstractButton::clicked, this, &PulseMeasure::slotBtChnClicked);

    row.time = newRowButton();
    row.time->setFixedSize(fm.horizontalAdvance(QStringLiteral("A1-A2")) + Config::pixel(6), h);
    row.time->setText(Lang::tr(timeLabel(0)));
    row.time->setObjectName(QStringLiteral("0"));
    row.time->buttonId = r;
    connect(row.time, &QAbstractButton::clicked, this, &PulseMeasure::slotBtTimeClicked);

    row.sep = new QLabel(QStringLiteral(": "), area);
    row.sep->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    row.count = new QLabel(QStringLiteral("###"), area);
    row.count->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    row.remove = new MyButton(area);
    SectionStyle::rowIconButton(row.remove, QStringLiteral(":/res/btnRemove"));
    row.remove->setObjectName(QString::number(r));
    connect(row.remove, &QAbstractButton::clicked, this, &PulseMeasure::slotBtnRemoveClicked);

    areaLayout->addWidget(row.type, r, 0);
    areaLayout->addWidget(row.chn, r, 1);
    areaLayout->addWidget(row.time, r, 2);
    areaLayout->addWidget(row.sep, r, 3);
    areaLayout->addWidget(row.count, r, 4, Qt::AlignLeft);
    areaLayout->addWidget(row.remove, r, 5, Qt::AlignRight);
    list.append(c);
    rows.append(row);

    if (samplesPresent())
        emit setChanged();
}

void PulseMeasure::slotBtnRemoveClicked()
{
    auto* b = dynamic_cast<MyButton*>(sender());
    bool ok = false;
    const int r = b ? b->objectName().toInt(&ok, 10) : -1;
    if (!ok || r < 0 || r >= rows.size())
        return;
    if (rows.size() == 1)
        areaLayout->setContentsMargins(0, 0, 0, 0);

    auto cells = [](const Row& row) {
        return std::array<QWidget*, 6>{row.type, row.chn, row.time, row.sep, row.count, row.remove};
    };
    static const Qt::Alignment align[6] = {{}, {}, {}, {}, Qt::AlignLeft, Qt::AlignRight};
    for (QWidget* w : cells(rows[r])) {
        areaLayout->removeWidget(w);
        w->deleteLater();
    }
    // The rows below move up one cell, each keeping its alignment.
    for (int i = r + 1; i < rows.size(); ++i) {
        const auto ws = cells(rows[i]);
        for (int col = 0; col < 6; ++col) {
            areaLayout->removeWidget(ws[size_t(col)]);
            areaLayout->addWidget(ws[size_t(col)], i - 1, col, align[col]);
        }
    }
    rows.remove(r);
    list.remove(r);
    for (int i = 0; i < rows.size(); ++i) {
        rows[i].type->buttonId = i;
        rows[i].chn->buttonId = i;
        rows[i].time->buttonId = i;
        rows[i].remove->setObjectName(QString::number(i));
    }
}

int PulseMeasure::currentRow() const
{
    return menuRow >= 0 && menuRow < rows.size() ? menuRow : -1;
}

void PulseMeasure::openMenu(QMenu* menu)
{
    auto* b = dynamic_cast<MyButton*>(sender());
    if (!b)
        return;
    menuRow = b->buttonId;
    if (menu == menuChn) {
        const QVector<bool> ena = channelEnables();
        const QList<QAction*> acts = menuChn->actions();
        for (int i = 0; i < acts.size(); ++i) {
            const bool on = chnEnabled(i, ena);
            acts[i]->setEnabled(on);
            if (auto* wa = qobject_cast<QWidgetAction*>(acts[i]))
                wa->defaultWidget()->setEnabled(on);
        }
    } else if (menu == menuTime) {
        bool shown[pairCount];
        pairsShown(shown);
        const QList<QAction*> acts = menuTime->actions();
        for (int k = 0; k < acts.size(); ++k) {
            const bool on = timeUsable(k, shown);
            acts[k]->setEnabled(on);
            if (auto* wa = qobject_cast<QWidgetAction*>(acts[k]))
                wa->defaultWidget()->setEnabled(on);
        }
    }
    menu->setFixedWidth(b->width());
    menu->exec(b->mapToGlobal(QPoint(0, b->height())));
}

void PulseMeasure::slotBtTypeClicked()
{
    openMenu(menuType);
}

void PulseMeasure::slotBtChnClicked()
{
    openMenu(menuChn);
}

void PulseMeasure::slotBtTimeClicked()
{
    openMenu(menuTime);
}

void PulseMeasure::slotMenuTypeClicked(QAction* act)
{
    const int r = currentRow();
    const int v = act->data().toInt();
    if (r < 0 || v < 0 || v >= typeCount)
        return;
    PulseCounter& c = list[r];
    const bool changed = c.type != v;
    c.type = v;
    rows[r].type->setIcon(QIcon(typeIcon(v)));
    rows[r].type->setObjectName(QString::number(v));
    bool shown[pairCount];
    pairsShown(shown);
    if (changed && samplesPresent() && chnEnabled(c.chn, channelEnables()) && timeUsable(c.time, shown))
        emit setChanged();
}

void PulseMeasure::slotMenuChnClicked(QAction* act)
{
    const int r = currentRow();
    const int v = act->data().toInt();
    if (r < 0 || v < 0 || v >= channelEnables().size())
        return;
    PulseCounter& c = list[r];
    const bool changed = c.chn != v;
    c.chn = v;
    rows[r].chn->setObjectName(QString::number(v));
    rows[r].chn->setText(QStringLiteral("CH") + QString::number(v));
    bool shown[pairCount];
    pairsShown(shown);
    if (changed && samplesPresent() && timeUsable(c.time, shown))
        emit setChanged();
}

void PulseMeasure::slotMenuTimeClicked(QAction* act)
{
    const int r = currentRow();
    const int v = act->data().toInt();
    if (r < 0 || v < 0 || v >= timeCount)
        return;
    PulseCounter& c = list[r];
    const bool changed = c.time != v;
    c.time = v;
    rows[r].time->setText(timeLabel(v));
    rows[r].time->setObjectName(QString::number(v));
    if (changed && samplesPresent() && chnEnabled(c.chn, channelEnables()))
        emit setChanged();
}

void PulseMeasure::slotValueChanged(QStringList pulseList)
{
    for (int i = 0; i < rows.size(); ++i)
        rows[i].count->setText(countFromAll(list[i], pulseList));
}

void PulseMeasure::slotValueChangedbyTimeMarker(int index, QStringList pulseList)
{
    QString n;
    for (int i = 0; i < rows.size(); ++i)
        if (countFromPair(list[i], index, pulseList, &n))
            rows[i].count->setText(n);
}
