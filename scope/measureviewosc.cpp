#include "scope/measureviewosc.h"

#include "app/core/config.h"
#include "app/core/lang.h"
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

    btnDeploy = new MyButton(this);
    btnDeploy->setFixedSize(Config::pixel(16), Config::pixel(16));
    btnDeploy->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    btnDeploy->normalColor = QColor(0, 0, 0, 0);
    btnDeploy->hoverColor = Config::grayColor.value(5);
    btnDeploy->gradientNormal = false;
    btnDeploy->gradientHover = false;
    btnDeploy->setBorderRadius(Config::pixel(2));
    connect(btnDeploy, &QPushButton::clicked, this, &MeasureViewOsc::slotDeployClicked);

    labelTitle = new QLabel(Lang::tr(QStringLiteral("Measurements")), this);
    labelTitle->setFixedHeight(Config::pixel(16));
    labelTitle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    btnSet = new MyButton(this);
    btnSet->setFixedSize(int(Config::pixel(1) + Config::pixel(16) * 1.5), Config::pixel(16) + Config::pixel(1));
    btnSet->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    btnSet->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    btnSet->normalColor = Config::grayColor.value(6);
    btnSet->hoverColor = Config::grayColor.value(5);
    btnSet->borderWidth = Config::pixel(1);
    btnSet->setBorderRadius(Config::pixel(3));
    connect(btnSet, &QPushButton::clicked, this, &MeasureViewOsc::openMenuDig);

    menuChn = new MyMenu(nullptr);
    connect(menuChn, &QMenu::triggered, this, &MeasureViewOsc::slotMenuClicked);

    widgetPairs = new QWidget(this);
    widgetPairs->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layoutPairs = new QVBoxLayout(widgetPairs);
    layoutPairs->setContentsMargins(0, 0, 0, 0);
    layoutPairs->setSpacing(Config::pixel(4));

    layoutMain = new QGridLayout(this);
    layoutMain->setContentsMargins(0, 0, 0, 0);
    layoutMain->setHorizontalSpacing(0);
    layoutMain->setVerticalSpacing(Config::pixel(6));
    layoutMain->addWidget(btnDeploy, 0, 0);
    layoutMain->addWidget(labelTitle, 0, 1);
    layoutMain->addWidget(btnSet, 0, 2);
    layoutMain->addWidget(widgetPairs, 1, 0, 1, 3);

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
    QList<QAction*> entries = menuChn->actions();
    while (entries.size() > n) {
        QAction* a = entries.takeLast();
        menuChn->removeAction(a);
        delete a;
    }
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
    btnDeploy->setIcon(QIcon(deployed ? QStringLiteral(":/res/btnExpand") : QStringLiteral(":/res/btnCollapse")));
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
    QString text;
    for (QAction* a : menuChn->actions())
        text += a->isChecked() ? QStringLiteral("1,") : QStringLiteral("0,");
    text.chop(1);
    Config::saveGlobalParam(QStringLiteral("oscMeasureEna"), text);
}
