#include "analysis/measureview.h"

#include "analysis/sectionstyle.h"
#include "core/config.h"
#include "core/lang.h"
#include "widgets/mybutton.h"
#include "widgets/mymenu.h"

#include <QCursor>
#include <QGridLayout>
#include <QLabel>

namespace {
const char* const measureNames[MeasureView::count] = {"Width", "Period", "DutyCycle", "Frequency"};
const QString key = QStringLiteral("lgcMeasure");
} // namespace

MeasureView::MeasureView(QWidget* parent)
    : QWidget(parent)
{
    setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));

    values = new QWidget(this);
    values->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    valuesLayout = new QGridLayout(values);
    for (int i = 0; i < count; ++i) {
        auto* name = new QLabel(Lang::tr(measureNames[i]) + QLatin1Char(':'), values);
        name->setFixedHeight(Config::pixel(18));
        name->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* text = new QLabel(QStringLiteral("###"), values);
        text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        valuesLayout->addWidget(name, i, 0);
        valuesLayout->addWidget(text, i, 1);
        names.append(name);
        texts.append(text);
    }
    valuesLayout->setColumnStretch(0, 2);
    valuesLayout->setColumnStretch(1, 3);
    valuesLayout->setContentsMargins(Config::pixel(6), 0, 0, 0);
    valuesLayout->setHorizontalSpacing(Config::pixel(6));
    valuesLayout->setVerticalSpacing(0);

    // Made without a parent; the destructor deletes it.
    menu = new MyMenu();
    for (int i = 0; i < count; ++i) {
        auto* act = new QAction(Lang::tr(measureNames[i]), this);
        act->setData(i);
        act->setCheckable(true);
        act->setChecked(true);
        menu->addAction(act);
    }
    connect(menu, &QMenu::triggered, this, &MeasureView::slotMenuClicked);

    mainLayout = new QGridLayout(this);
    const SectionStyle::TitleBar bar = SectionStyle::titleBar(this, mainLayout, Lang::tr("Measurements"),
                                                              QStringLiteral(":/res/btnSetting"));
    btnExpand = bar.expand;
    title = bar.title;
    btnOptions = bar.tool;
    connect(btnExpand, &QAbstractButton::clicked, this, &MeasureView::slotDeployClicked);
    connect(btnOptions, &QAbstractButton::clicked, this, &MeasureView::openMenuDig);
    mainLayout->addWidget(values, 1, 0, 1, 3);

    slotDeployClicked();
    initMenuTriggered();
}

MeasureView::~MeasureView()
{
    delete menu;
}

QVector<bool> MeasureView::shownFlags(const QString& text)
{
    QVector<bool> flags(count, true);
    Config::StringToBoolArray(text, flags.data(), count);
    return flags;
}

void MeasureView::initMenuTriggered()
{
    const QVector<bool> flags = shownFlags(Config::readGlobalParam(key));
    const QList<QAction*> acts = menu->actions();
    for (int i = 0; i < count; ++i) {
        names[i]->setVisible(flags[i]);
        texts[i]->setVisible(flags[i]);
        acts[i]->setChecked(flags[i]);
    }
}

void MeasureView::saveParam()
{
    QString s;
    for (QAction* act : menu->actions())
        s += act->isChecked() ? QStringLiteral("1,") : QStringLiteral("0,");
    s.chop(1);
    Config::saveGlobalParam(key, s);
}

void MeasureView::slotValueChanged(QStringList data)
{
    if (data.isEmpty() || data.size() > texts.size())
        return;
    // Hidden values follow too, so a measurement switched on shows its latest value.
    for (int i = 0; i < data.size(); ++i)
        texts[i]->setText(Lang::tr(data[i]));
}

void MeasureView::slotDeployClicked()
{
    expanded = !expanded;
    btnOptions->setVisible(expanded);
    values->setVisible(expanded);
    btnExpand->setIcon(QIcon(SectionStyle::expandIcon(expanded)));
}

void MeasureView::openMenuDig()
{
    menu->popup(QCursor::pos());
}

void MeasureView::slotMenuClicked(QAction* action)
{
    const int i = action->data().toInt();
    if (i < 0 || i >= count)
        return;
    names[i]->setVisible(action->isChecked());
    texts[i]->setVisible(action->isChecked());
    saveParam();
}
