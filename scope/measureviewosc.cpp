#include "scope/measureviewosc.h"

#include "core/config.h"
#include "core/lang.h"
#include "widgets/oscpanelkit.h"
#include "device/devbase.h"
#include "scope/chnmeasurepair.h"
#include "widgets/mybutton.h"
#include "widgets/mymenu.h"

#include <QAction>
#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

MeasureViewOsc::MeasureViewOsc(QWidget* parent) : QWidget(parent)
{
    setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));

    btnDeploy = OscPanelKit::collapseButton(this);
    connect(btnDeploy, &QPushButton::clicked, this, &MeasureViewOsc::slotDeployClicked);

    labelTitle = OscPanelKit::title(Lang::tr(QStringLiteral("Measurements")), this);

    btnSet = new MyButton(this);
    btnSet->setFixedSize(int(Config::pixel(1) + Config::pixel(16) * 1.5), Config::pixel(16) + Config::pixel(1));
    btnSet->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    btnSet->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    OscPanelKit::styleFramed(btnSet);
    connect(btnSet, &QPushButton::clicked, this, &MeasureViewOsc::openMenuDig);

    menuChn = new MyMenu(nullptr);
    connect(menuChn, &QMenu::triggered, this, &MeasureViewOsc::slotMenuClicked);

    widgetPairs = new QWidget(this);
    widgetPairs->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layoutPairs = new QVBoxLayout(widgetPairs);
    layoutPairs->setContentsMargins(0, 0, 0, 0);
    layoutPairs->setSpacing(Config::pixel(4));

    layoutMain = OscPanelKit::panelGrid(this, btnDeploy, labelTitle, btnSet, widgetPairs);

    slotDeployClicked();
}

MeasureViewOsc::~MeasureViewOsc()
{
    delete menuChn;
}

QVector<bool> MeasureViewOsc::chnEnables(const QString& stored, int n)
{
    QVector<bool> ena(qMax(n, 0), true);
    Config::StringToBoolArray(stored, ena.data(), ena.size());
    return ena;
}

void MeasureViewOsc::init()
{
    const int n = devUsing ? devUsing->aChnEna.size() : 0;
    QList<QAction*> entries = OscPanelKit::trimMenu(menuChn, n);
    for (int i = entries.size(); i < n; ++i) {
        QAction* a = menuChn->addAction(QStringLiteral("CH") + QString::number(i + 1));
        a->setParent(this);
        a->setData(i);
        a->setCheckable(true);
        entries << a;
    }
    const QVector<bool> ena = chnEnables(Config::readGlobalParam(QStringLiteral("oscMeasureEna")), n);
    for (int i = 0; i < n; ++i)
        entries[i]->setChecked(ena[i]);

    // A block whose snapshot window is open goes too: its window closes with
    // it and its slot touches nothing of it afterwards.
    for (ChnMeasurePair* p : pairs)
        delete p;
    pairs.clear();
    for (int i = 0; i < n; ++i) {
        auto* p = new ChnMeasurePair(i, widgetPairs);
        pairs << p;
        p->setState(ena[i]);
        layoutPairs->addWidget(p, 0);
    }
}

void MeasureViewOsc::updateMeasureParameter(int chn)
{
    if (chn >= 0 && chn < pairs.size())
        pairs[chn]->updateMeasureValue();
}

void MeasureViewOsc::slotDeployClicked()
{
    btnSet->setVisible(!deployed);
    widgetPairs->setVisible(!deployed);
    deployed = !deployed;
    OscPanelKit::showExpandIcon(btnDeploy, deployed);
}

void MeasureViewOsc::openMenuDig()
{
    menuChn->popup(QCursor::pos());
    menuChn->show();
}

void MeasureViewOsc::slotMenuClicked(QAction* action)
{
    if (!action)
        return;
    const int i = action->data().toInt();
    if (i >= 0 && i < pairs.size())
        pairs[i]->setState(action->isChecked());
    QVector<bool> ena;
    for (QAction* a : menuChn->actions())
        ena << a->isChecked();
    Config::saveGlobalParam(QStringLiteral("oscMeasureEna"), Config::BoolArrayToString(ena.constData(), ena.size()));
}
